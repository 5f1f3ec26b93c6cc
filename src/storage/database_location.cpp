#include "storage/database_location.h"

#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include "storage/module_values.h"

using namespace Qt::StringLiterals;

namespace {

const QString kFolderName = u"quillon"_s;

QString sameFolderForm(const QString& path) {
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QDir(path).absolutePath()) : canonical;
}

}  // namespace

QString databasePath(const QString& programDir, const QString& installedBinDir,
                     const QProcessEnvironment& environment) {
    const QString overridden = environment.value(u"QUILLON_DB"_s);
    if (!overridden.isEmpty()) {
        return overridden;
    }
    if (sameFolderForm(programDir) != sameFolderForm(installedBinDir)) {
        return QDir(programDir).filePath(kDatabaseFileName);  // run from where it was built
    }
    QString dataHome = environment.value(u"XDG_DATA_HOME"_s);
    if (dataHome.isEmpty() || QDir::isRelativePath(dataHome)) {  // as the XDG rules say
        dataHome = environment.value(u"HOME"_s) + u"/.local/share"_s;
    }
    return dataHome + u'/' + kFolderName + u'/' + kDatabaseFileName;
}

QString databasePath() {
    return databasePath(QCoreApplication::applicationDirPath(),
                        QStringLiteral(QUILLON_INSTALL_BINDIR),
                        QProcessEnvironment::systemEnvironment());
}

QString prepareDatabaseFolder(const QString& path) {
    const QString folder = QFileInfo(path).absolutePath();
    if (QFileInfo::exists(folder)) {
        return {};
    }
    if (!QDir().mkpath(QFileInfo(folder).absolutePath()) ||
        (::mkdir(QFile::encodeName(folder).constData(), 0700) != 0 && errno != EEXIST)) {
        return u"フォルダ "_s + folder + u" を作成できません（"_s +
               QString::fromLocal8Bit(std::strerror(errno)) + u"）"_s;
    }
    return {};
}
