#include "disk/trash.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <functional>

#include "support/disk_entries.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);
const QDateTime kDeleted = at(u"2026/12/07 09:05:30"_s);

// A tmpfs at `path` for as long as it lives, where the test may mount one.
class Volume {
public:
    explicit Volume(const QString& path) : m_path(QFile::encodeName(path)) {
        QDir().mkpath(path);
        m_mounted = ::mount("tmpfs", m_path.constData(), "tmpfs", 0, "size=4m,mode=0755") == 0;
    }
    ~Volume() {
        if (m_mounted) {
            ::umount2(m_path.constData(), MNT_DETACH);
        }
    }
    bool mounted() const { return m_mounted; }

private:
    QByteArray m_path;
    bool m_mounted = false;
};

// Puts tree/<relative> into the trash as a run would, and says where it went.
FileResult put(Trash& trash, const TempTree& tree, const QString& relative, TrashEntry& entry) {
    const QString path = tree.path(relative);
    const QFileInfo info(path);
    const UniqueFd folder = openDir(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());
    return trash.put(folder.get(), name.constData(), statOf(path), QFile::encodeName(path),
                     kDeleted, entry);
}

}  // namespace

// The home trash where the file shares its file system: files/ and info/, a description a
// file manager reads, and a name of its own for each file of the same name.
TEST(Trash, AFileGoesToTheHomeTrashWithItsDescriptionUnderAFreeName) {
    TempTree tree;
    const QString home = tree.path(u"data/Trash"_s);
    tree.dir(u"data"_s);
    Trash trash(QFile::encodeName(home));
    const QString odd = u"in/50% of it & more.log"_s;
    QStringList given;
    for (const QString& folder : {u"in/"_s, u"in/sub/"_s, u"in/"_s}) {
        tree.file(folder + u"a.log"_s, folder.toUtf8(), kOld);
        TrashEntry entry;
        ASSERT_TRUE(put(trash, tree, folder + u"a.log"_s, entry).ok());
        EXPECT_EQ(entry.trash, QFile::encodeName(home));
        given << QString::fromUtf8(entry.name);
    }
    EXPECT_EQ(given, (QStringList{u"a.log"_s, u"a.log_2"_s, u"a.log_3"_s}));
    EXPECT_EQ(TempTree::read(home + u"/files/a.log_2"_s), "in/sub/");
    EXPECT_FALSE(QFile::exists(tree.path(u"in/a.log"_s)));

    tree.file(odd, "odd", kOld);
    TrashEntry entry;
    ASSERT_TRUE(put(trash, tree, odd, entry).ok());
    EXPECT_EQ(TempTree::read(home + u"/info/50% of it & more.log.trashinfo"_s),
              "[Trash Info]\nPath=" + QFile::encodeName(tree.path(u"in"_s)).toPercentEncoding("/") +
                  "/50%25%20of%20it%20%26%20more.log\nDeletionDate=2026-12-07T09:05:30\n");
    EXPECT_EQ(statOf(home).st_mode & 0777, 0700u);
    EXPECT_EQ(names(home + u"/files"_s).size(), 4);
    EXPECT_EQ(names(home + u"/info"_s).size(), 4);

    // Emptied only while it is the file put there.
    const struct stat trashed = statOf(home + u"/files/a.log"_s);
    EXPECT_EQ(trash.remove({entry.trash, "a.log_3"}, trashed).error, ESTALE);
    EXPECT_TRUE(trash.remove({entry.trash, "a.log"}, trashed).ok());
    EXPECT_FALSE(QFile::exists(home + u"/files/a.log"_s));
    EXPECT_FALSE(QFile::exists(home + u"/info/a.log.trashinfo"_s));
    EXPECT_EQ(trash.remove({entry.trash, "a.log"}, trashed).error, ENOENT);
    EXPECT_TRUE(QFile::exists(home + u"/files/a.log_3"_s));

    // A trash the user removed whole is made again for the next file.
    ASSERT_TRUE(QDir(home).removeRecursively());
    tree.file(u"in/later.log"_s, "later", kOld);
    ASSERT_TRUE(put(trash, tree, u"in/later.log"_s, entry).ok());
    EXPECT_EQ(TempTree::read(home + u"/files/later.log"_s), "later");
}

// On another file system the file goes to that file system's own trash, never copied across:
// $topdir/.Trash/$uid where .Trash is a sticky folder, else $topdir/.Trash-$uid; a trash folder
// that is a link, or not the user's, is never used, and the file then stays.
TEST(Trash, AFileOnAnotherFileSystemGoesToThatFileSystemsTrashOrStays) {
    TempTree tree;
    tree.dir(u"data"_s);
    const QString top = tree.path(u"vol"_s);
    const Volume volume(top);
    if (!volume.mounted()) {
        GTEST_SKIP() << "no file system can be mounted here";
    }
    const QString uid = QString::number(::geteuid());
    const QString elsewhere = tree.dir(u"elsewhere"_s);
    const struct {
        const char* what;
        std::function<void()> prepare;
        QString trash;  // empty: the file stays
    } cases[] = {
        {"a shared .Trash",
         [&] {
             QDir(top).mkdir(u".Trash"_s);
             ::chmod(QFile::encodeName(top + u"/.Trash"_s).constData(), 01777);
         },
         top + u"/.Trash/"_s + uid},
        {"a .Trash that is not sticky",
         [&] { ::chmod(QFile::encodeName(top + u"/.Trash"_s).constData(), 0777); },
         top + u"/.Trash-"_s + uid},
        {"a .Trash-$uid that is a link",
         [&] {
             QDir(top + u"/.Trash-"_s + uid).removeRecursively();
             QFile::link(elsewhere, top + u"/.Trash-"_s + uid);
         },
         QString()},
    };
    for (const auto& c : cases) {
        c.prepare();
        Trash trash(QFile::encodeName(tree.path(u"data/Trash"_s)));
        tree.file(u"vol/f.log"_s, "on the volume", kOld);
        TrashEntry entry;
        // A dry run asks first, and finds what the run finds, making nothing.
        const UniqueFd volumeFd = openDir(top);
        const QStringList before = QDir(top).entryList(QDir::AllEntries | QDir::Hidden);
        EXPECT_EQ(trash.problemFor(volumeFd.get(), statOf(top).st_dev).isEmpty(),
                  !c.trash.isEmpty())
            << c.what;
        EXPECT_EQ(QDir(top).entryList(QDir::AllEntries | QDir::Hidden), before) << c.what;
        const FileResult result = put(trash, tree, u"vol/f.log"_s, entry);
        if (c.trash.isEmpty()) {
            EXPECT_TRUE(result.reason.startsWith(u"ごみ箱に移せません："_s)) << c.what;
            EXPECT_EQ(TempTree::read(top + u"/f.log"_s), "on the volume") << c.what;
            EXPECT_TRUE(QDir(elsewhere).isEmpty()) << c.what;
            continue;
        }
        ASSERT_TRUE(result.ok()) << c.what << result.reason.toStdString();
        EXPECT_EQ(QFile::decodeName(entry.trash), c.trash) << c.what;
        EXPECT_EQ(TempTree::read(c.trash + u"/files/f.log"_s), "on the volume") << c.what;
        EXPECT_TRUE(QFile::exists(c.trash + u"/info/f.log.trashinfo"_s)) << c.what;
        EXPECT_FALSE(QFile::exists(tree.path(u"data/Trash"_s))) << c.what;  // nothing crossed
    }
}

// A trash client nobody here wrote lists what was put there, with the old paths, odd names
// included, and puts it back.
TEST(Trash, ATrashClientListsWhatWasPutThereAndPutsItBack) {
    if (QStandardPaths::findExecutable(u"trash-list"_s).isEmpty()) {
        GTEST_SKIP() << "trash-cli is not installed";
    }
    TempTree tree;
    tree.dir(u"data"_s);
    Trash trash(QFile::encodeName(tree.path(u"data/Trash"_s)));
    const QStringList files = {u"in/a.log"_s, u"in/with space & 50%.log"_s};
    for (const QString& file : files) {
        tree.file(file, file.toUtf8(), kOld);
        TrashEntry entry;
        ASSERT_TRUE(put(trash, tree, file, entry).ok());
    }
    const auto client = [&](const QString& program, const QStringList& arguments,
                            const QByteArray& input = {}) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, tree.path(u"data"_s));
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        process.write(input);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(30'000));
        return QString::fromUtf8(process.readAllStandardOutput());
    };
    const QString listed = client(u"trash-list"_s, {});
    for (const QString& file : files) {
        EXPECT_TRUE(listed.contains(u"2026-12-07 09:05:30 "_s + tree.path(file)))
            << listed.toStdString();
    }
    client(u"trash-restore"_s, {tree.path(files[1])}, "0\n");
    EXPECT_EQ(TempTree::read(tree.path(files[1])), files[1].toUtf8());
    EXPECT_FALSE(QFile::exists(tree.path(u"in/a.log"_s)));  // only what was asked for
}
