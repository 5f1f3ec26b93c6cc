#include "storage/database_trust.h"

#include <pwd.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

QString message(const QString& path, const QString& reason) {
    return u"データベース "_s + path + u" は他のユーザーが書き換えられる場所にあります（"_s +
           reason + u"）"_s;
}

bool ownedByUs(const struct stat& info) {
    return info.st_uid == ::geteuid() || info.st_uid == 0;
}

QString userName(uid_t uid) {
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return QString::fromLocal8Bit(found->pw_name);
    }
    return u"UID "_s + QString::number(uid);
}

QString foreignOwner(const QString& file, const struct stat& info) {
    return file + u" の所有者が "_s + userName(info.st_uid) + u" です"_s;
}

}  // namespace

std::optional<QString> untrustedCompanion(const QString& databasePath, const QString& file,
                                          const struct stat& info) {
    if (!S_ISREG(info.st_mode)) {
        return message(databasePath, file + u" が通常のファイルではありません"_s);
    }
    if (!ownedByUs(info)) {
        return message(databasePath, foreignOwner(file, info));
    }
    return std::nullopt;
}

std::optional<QString> untrustedDatabase(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) == 0) {
        if (!ownedByUs(info)) {
            return message(path, foreignOwner(folder, info));
        }
        if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            return message(path, folder + u" にグループか他のユーザーが書き込めます"_s);
        }
    }
    // The database itself may be reached through a link its folder's owner made; the files
    // beside it are SQLite's and the run's own, and never links.
    for (const QString& suffix : {u""_s, u"-wal"_s, u"-shm"_s, u"-journal"_s, u".lock"_s}) {
        const QString companion = path + suffix;
        const QByteArray encoded = QFile::encodeName(companion);
        if ((suffix.isEmpty() ? ::stat(encoded.constData(), &info)
                              : ::lstat(encoded.constData(), &info)) == 0) {
            if (std::optional<QString> problem = untrustedCompanion(path, companion, info)) {
                return problem;
            }
        }
    }
    return std::nullopt;
}
