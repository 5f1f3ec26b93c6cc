// Root running on folders that other users write into: nothing another user puts there may
// gain rights, redirect the run, or be lost.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "run/maintenance_run.h"
#include "run/run_notice.h"
#include "storage/connection.h"
#include "support/disk_entries.h"
#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

constexpr uid_t kNobody = 65534;
const QString kRun = u"2003/03/29 09:05:07"_s;
const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

void give(const QString& path, uid_t owner, mode_t mode = 0) {
    ASSERT_EQ(::lchown(QFile::encodeName(path).constData(), owner, owner), 0);
    if (mode != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0);
    }
}

class SharedFolderTest : public testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "acting as root among other users needs root";
        }
    }
    RunOutcome run() {
        MaintenanceRun maintenance(tree.values(), fs);
        maintenance.setBatchSize(2);
        return maintenance.EXEC_DEL(at(kRun), u"30"_s);
    }

    TempTree tree;
    FailingFileSystem fs;
};

}  // namespace

TEST_F(SharedFolderTest, AFolderOfAnotherUserNeverLeadsTheRunWhereTheyCouldNotGo) {
    const QString secret = tree.dir(u"secret"_s);
    const QString kept = tree.file(u"secret/keep.log"_s, "root only", kOld);
    const QString share = tree.dir(u"share"_s);
    give(share, kNobody, 0755);
    const QString theirs = tree.dir(u"share/theirs"_s);
    give(tree.file(u"share/theirs/old.log"_s, "theirs", kOld), kNobody);
    give(theirs, kNobody);
    const auto link = [&](const QString& name, const QString& target, uid_t owner) {
        const QString path = tree.path(name);
        EXPECT_TRUE(QFile::link(target, path));
        give(path, owner);
        return path;
    };
    // A folder everybody may write into, root's own, as the system's temporary folder is.
    give(tree.dir(u"tmp"_s), 0, 01777);
    const struct {
        QString source;
        bool refused;
    } cases[] = {
        {link(u"share/logs"_s, secret, kNobody), true},        // their link out of their folder
        {link(u"share/up"_s, u"../secret"_s, kNobody), true},  // the same, relative
        {link(u"tmp/abs"_s, secret, kNobody), true},           // their link in root's folder
        {link(u"tmp/rel"_s, u"../secret"_s, kNobody), true},   // the same, relative
        {link(u"tmp/hop"_s, u".."_s, kNobody) + u"/secret"_s, true},  // as an inner step
        {theirs, false},                                              // their own folder
        {link(u"root-link"_s, theirs, 0), false},                     // root's link into theirs
        {link(u"tmp/root-rel"_s, u"../share/theirs"_s, 0), false},    // root's, in the shared one
    };
    for (const auto& c : cases) {
        tree.file(u"share/theirs/old.log"_s, "theirs", kOld);
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        tree.addRule({u"003"_s, c.source, u""_s, u"log"_s, u"7"_s, u"削除"_s});
        const RunOutcome outcome = run();
        EXPECT_EQ(outcome.unsafeDirectory, c.refused) << c.source.toStdString();
        EXPECT_EQ(
            directoryStopMessage(outcome),
            c.refused
                ? u"順序　003　の　"_s + c.source +
                      u" は他のユーザーが差し替えられる場所にあります。正しく設定を行なってください"_s
                : QString());
        EXPECT_EQ(QFile::exists(theirs + u"/old.log"_s), c.refused) << c.source.toStdString();
        EXPECT_TRUE(QFile::exists(kept));
    }
    // A destination is reached the same way.
    for (const QString& destination : {u"share/logs"_s, u"tmp/rel"_s, u"tmp/hop/secret"_s}) {
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        tree.addRule({u"001"_s, theirs, tree.path(destination), u"log"_s, u"7"_s, u"移動"_s});
        EXPECT_TRUE(run().unsafeDirectory) << destination.toStdString();
        EXPECT_EQ(QDir(secret).entryList(QDir::Files), QStringList{u"keep.log"_s});
    }
}

TEST_F(SharedFolderTest, AnotherUsersFileAtTheTargetIsNeverReplacedNorTheirForgeryTrusted) {
    constexpr uid_t kVictim = 65533;
    constexpr uid_t kAttacker = kNobody;
    const QString in = tree.dir(u"in"_s);
    const QString archive = tree.dir(u"archive"_s);
    give(in, 0, 01777);
    give(archive, 0, 01777);
    const auto owned = [&](const QString& relative, const QByteArray& content, uid_t owner,
                           mode_t mode) {
        const QString path = tree.file(relative, content, kOld);
        give(path, owner, mode);
        return path;
    };
    const struct {
        const char* what;
        QString process;
        uid_t sourceOwner, targetOwner;
        mode_t targetMode;
        QByteArray targetContent;
        bool replaced;
    } cases[] = {
        // The attacker's old file of the victim's name, planted in the source.
        {"planted over the victim's", kMoveProcess, kAttacker, kVictim, 0600, "victim's", false},
        {"planted, copied", kCopyProcess, kAttacker, kVictim, 0600, "victim's", false},
        // The victim's own file replaces the victim's own.
        {"the same user's", kMoveProcess, kVictim, kVictim, 0600, "older", true},
        // Same size and time as the victim's source, but the attacker's: no copy at all.
        {"a forged copy", kCopyProcess, kVictim, kAttacker, 0600, "FORGED!!", false},
        // The victim's own, of another mode: not what the copy would give, so written again.
        {"the victim's, other mode", kCopyProcess, kVictim, kVictim, 0644, "STALE!!!", true},
    };
    for (const auto& c : cases) {
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        const QString source = owned(u"in/pay.csv"_s, "payroll", c.sourceOwner, 0600);
        const QString target =
            owned(u"archive/pay.csv"_s, c.targetContent.leftJustified(7, '.', true), c.targetOwner,
                  c.targetMode);
        tree.addRule({u"001"_s, in, archive, u"csv"_s, u"7"_s, c.process});
        // A chain: what the copy left is deleted next, but never a file whose copy failed.
        tree.addRule({u"002"_s, in, u""_s, u"csv"_s, u"7"_s, kDeleteProcess});

        const RunOutcome outcome = run();
        EXPECT_EQ(TempTree::read(target) == "payroll", c.replaced) << c.what;
        EXPECT_EQ(statOf(target).st_uid, c.replaced ? c.sourceOwner : c.targetOwner) << c.what;
        if (c.replaced) {
            EXPECT_TRUE(outcome.failures.isEmpty()) << c.what;
            EXPECT_FALSE(QFile::exists(source)) << c.what;
            EXPECT_EQ(statOf(target).st_mode & 07777, 0600u) << c.what;
        } else {
            ASSERT_EQ(outcome.failures.size(), 1) << c.what;
            EXPECT_EQ(outcome.failures[0].message(),
                      source + u" の処理に失敗しました（先に別のユーザーのファイルがあります）"_s);
            EXPECT_EQ(TempTree::read(source), "payroll") << c.what;  // held from rule 002
            EXPECT_EQ(outcome.heldFiles, 1) << c.what;
        }
        ::unlink(QFile::encodeName(source).constData());
        ::unlink(QFile::encodeName(target).constData());
    }
}
