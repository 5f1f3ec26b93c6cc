#include "rules/rule_checks.h"

#include <gtest/gtest.h>

#include <QFile>
#include <cerrno>
#include <map>

#include "support/failing_file_system.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// Directories answer as the test says; the rest is the real disk.
class ScriptedDirectories : public FailingFileSystem {
public:
    std::map<QByteArray, OpenedDirectory::Status> answers;
    bool statFails = false;

    OpenedDirectory openDirectory(const QByteArray& path, bool mayBePathOnly) override {
        const auto answer = answers.find(path);
        if (answer == answers.end()) {
            return FailingFileSystem::openDirectory(path, mayBePathOnly);
        }
        OpenedDirectory opened;
        opened.status = answer->second;
        opened.error = EACCES;
        return opened;
    }
    FileResult statOpen(int fd, struct stat& info) override {
        return statFails ? FileResult::fromErrno(EIO) : FailingFileSystem::statOpen(fd, info);
    }
};

}  // namespace

TEST(RuleChecks, DirectoriesAreLookedForAsTheRunReachesThem) {
    TempTree tree;
    const QString in = tree.dir(u"in"_s);
    const QString out = tree.dir(u"out"_s);
    ASSERT_TRUE(QFile::link(in, tree.path(u"alias"_s)));
    const QString file = tree.file(u"file"_s, "", at(u"2003/01/01 00:00:00"_s));
    using Status = OpenedDirectory::Status;
    const QString missingSource = u"元ディレクトリが存在しません"_s;
    const QString missingDestination = u"先ディレクトリが存在しません"_s;
    const QString same = u"元ディレクトリと先ディレクトリは別の場所を指定してください"_s;
    const struct {
        QString source;
        QString destination;
        QString process;
        std::map<QByteArray, Status> answers;
        bool statFails;
        QString message;  // empty: accepted
    } cases[] = {
        {in, out, kCopyProcess, {}, false, {}},
        {file, out, kCopyProcess, {}, false, missingSource},
        {in, file, kMoveProcess, {}, false, missingDestination},
        {in, u""_s, kDeleteProcess, {}, false, {}},
        {u""_s, out, kCopyProcess, {}, false, missingSource},
        {in, tree.path(u"alias"_s), kCopyProcess, {}, false, same},
        {in, in, kCopyProcess, {}, false, same},
        {in, in + u"/"_s, kMoveProcess, {}, false, same},
        // One the run would refuse is told about when the run comes to it; one that can be
        // reached but not opened exists.
        {in, out, kCopyProcess, {{QFile::encodeName(out), Status::Unsafe}}, false, {}},
        {in, out, kCopyProcess, {{QFile::encodeName(in), Status::Failed}}, false, {}},
        {in, out, kCopyProcess, {{QFile::encodeName(in), Status::Missing}}, false, missingSource},
        // Sameness that cannot be told is not assumed.
        {in, tree.path(u"alias"_s), kCopyProcess, {}, true, {}},
    };
    for (const auto& c : cases) {
        ScriptedDirectories fs;
        fs.answers = c.answers;
        fs.statFails = c.statFails;
        const auto failure =
            checkRule({{}, c.source, c.destination, u"txt"_s, u"7"_s, c.process}, fs);
        EXPECT_EQ(failure ? failure->message : QString(), c.message)
            << c.source.toStdString() << " → " << c.destination.toStdString();
    }
}
