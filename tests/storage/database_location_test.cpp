#include "storage/database_location.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "support/qt_printers.h"

using namespace Qt::StringLiterals;

TEST(DatabaseLocation, BesideABuiltProgramInTheUsersDataWhenInstalledOrWhereTheUserSays) {
    QTemporaryDir root;
    const QString bin = root.filePath(u"usr/bin"_s);
    QDir().mkpath(bin);
    QFile::link(bin, root.filePath(u"bin"_s));  // /bin reached as a link to /usr/bin
    const auto env = [](std::initializer_list<std::pair<QString, QString>> values) {
        QProcessEnvironment environment;
        for (const auto& [name, value] : values) {
            environment.insert(name, value);
        }
        return environment;
    };
    const struct {
        QString programDir;
        QProcessEnvironment environment;
        QString path;
    } cases[] = {
        {u"/work/build/src"_s, env({{u"HOME"_s, u"/home/u"_s}}), u"/work/build/src/sweeprun.db"_s},
        {bin, env({{u"HOME"_s, u"/home/u"_s}}), u"/home/u/.local/share/quillon/sweeprun.db"_s},
        {root.filePath(u"bin"_s), env({{u"HOME"_s, u"/home/u"_s}}),
         u"/home/u/.local/share/quillon/sweeprun.db"_s},
        {bin, env({{u"HOME"_s, u"/home/u"_s}, {u"XDG_DATA_HOME"_s, u"/data"_s}}),
         u"/data/quillon/sweeprun.db"_s},
        {bin, env({{u"HOME"_s, u"/home/u"_s}, {u"XDG_DATA_HOME"_s, u"relative"_s}}),
         u"/home/u/.local/share/quillon/sweeprun.db"_s},
        {bin, env({{u"HOME"_s, u"/home/u"_s}, {u"QUILLON_DB"_s, u"/srv/q.db"_s}}), u"/srv/q.db"_s},
        {u"/work/build/src"_s, env({{u"QUILLON_DB"_s, u"/srv/q.db"_s}}), u"/srv/q.db"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(databasePath(c.programDir, bin, c.environment), c.path)
            << c.programDir.toStdString();
    }
}

TEST(DatabaseLocation, TheDataFolderIsMadeForTheUserAlone) {
    QTemporaryDir home;
    const QString path = home.filePath(u".local/share/quillon/sweeprun.db"_s);
    EXPECT_EQ(prepareDatabaseFolder(path), QString());
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(QFileInfo(path).path()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(prepareDatabaseFolder(path), QString());  // there already: left as it is

    QFile blocker(home.filePath(u"file"_s));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    EXPECT_TRUE(prepareDatabaseFolder(home.filePath(u"file/quillon/sweeprun.db"_s))
                    .startsWith(u"フォルダ "_s));
}
