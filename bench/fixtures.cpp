#include "fixtures.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>

#include "storage/connection.h"
#include "storage/module_values.h"
#include "storage/schema.h"
#include "storage/sql_text.h"

using namespace Qt::StringLiterals;

void makeTree(const QString& dir, int n, qsizetype size, const char* extension) {
    QDir().mkpath(dir);
    const QByteArray content(size, 'q');
    for (int i = 0; i < n; ++i) {
        const QByteArray path =
            QFile::encodeName(dir) + QByteArray("/file") + QByteArray::number(i) + '.' + extension;
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0 || ::write(fd, content.constData(), content.size()) != content.size()) {
            std::perror(path.constData());
            std::exit(1);
        }
        const timespec times[2] = {{1262304000 + i, 0}, {1262304000 + i, 0}};
        ::futimens(fd, times);
        ::close(fd);
    }
}

QString makeDatabase(const QString& root, const QString& process, const char* extension) {
    const ModuleValues values = ModuleValues::forDatabase(root + u"/sweeprun.db"_s);
    ensureSchema(values);
    Connection connection(values);
    connection.Execute(
        SqlText::insertValues(values.tbl_set, {u"日月火水木金土"_s, u"09"_s, u"05"_s, u"30"_s}));
    connection.Execute(
        SqlText::insertValues(values.tbl_rule, {u"001"_s, root + u"/src"_s, root + u"/dst"_s,
                                                QString::fromLatin1(extension), u"7"_s, process}));
    return values.db_path;
}

void makeYoungTree(const QString& dir, int n) {
    QDir().mkpath(dir);
    for (int i = 0; i < n; ++i) {
        const QByteArray name =
            QFile::encodeName(dir) + '/' + QByteArray::number(i).rightJustified(246, 'y') + ".log";
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            std::perror(name.constData());
            std::exit(1);
        }
        ::close(fd);
    }
}

namespace {

bool installed(const QString& program) {
    return !QStandardPaths::findExecutable(program).isEmpty() ||
           QFileInfo::exists(u"/usr/sbin/"_s + program);
}

}  // namespace

QStringList toolCommand(const QString& tool, const QString& op, const QString& root,
                        const char* extension) {
    const QString src = root + u"/src"_s;
    const QString dst = root + u"/dst"_s;
    const QString pattern = u"*."_s + QString::fromLatin1(extension);
    if (tool == u"quillon"_s || tool == u"start"_s) {
        const QString process = op == u"delete"_s ? u"削除"_s
                                : op == u"move"_s ? u"移動"_s
                                                  : u"複写"_s;
        // "start": the same run over the same tree, whose rule matches none of its files.
        return {QStringLiteral(SWEEPRUN_BATCH), u"--db"_s,
                makeDatabase(root, process, tool == u"start"_s ? "none" : extension)};
    }
    if (tool == u"floor"_s) {
        return {QStringLiteral(BENCH_FLOOR), op, src, QString::fromLatin1(extension), dst};
    }
    if (tool == u"safe"_s || tool == u"checked"_s) {
        return {QStringLiteral(BENCH_FLOOR),
                u"--"_s + tool,
                op,
                src,
                QString::fromLatin1(extension),
                dst};
    }
    if (tool == u"find"_s && op == u"delete"_s) {
        return {u"find"_s, src, u"-name"_s, pattern, u"-delete"_s};
    }
    if (tool == u"find"_s) {
        const QStringList action = op == u"move"_s ? QStringList{u"mv"_s, u"-t"_s, dst}
                                                   : QStringList{u"cp"_s, u"-p"_s, u"-t"_s, dst};
        return QStringList{u"find"_s, src, u"-name"_s, pattern, u"-exec"_s} + action +
               QStringList{u"{}"_s, u"+"_s};
    }
    if (tool == u"tmpreaper"_s && installed(tool)) {
        return {u"/usr/sbin/tmpreaper"_s, u"--mtime"_s, u"7d"_s, src};
    }
    if (tool == u"tmpfiles"_s && installed(u"systemd-tmpfiles"_s)) {
        QFile config(root + u"/clean.conf"_s);
        if (!config.open(QIODevice::WriteOnly)) {
            std::exit(1);
        }
        config.write(("e " + QFile::encodeName(src) + " - - - m:7d\n"));
        return {u"systemd-tmpfiles"_s, u"--clean"_s, config.fileName()};
    }
    return {};
}
