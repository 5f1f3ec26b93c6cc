// The overlay a dry run works on must answer as the disk answers after the same changes: the
// preview is only as true as this.
#include "disk/disk_overlay.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

const QDateTime kOld = at(u"2003/03/01 10:00:00"_s);

// Two identical trees: one changed for real, the other only through an overlay.
QString makeTree(const TempTree& tree) {
    tree.file(u"src/a.log"_s, "aaa", kOld);
    tree.file(u"src/b.log"_s, "bbbb", kOld.addSecs(1));
    tree.file(u"src/c.log"_s, "c", kOld.addSecs(2));
    tree.dir(u"src/dir.log"_s);
    tree.file(u"dst/b.log"_s, "older b", kOld.addDays(-1));
    tree.dir(u"dst/c.log"_s);  // a folder takes the name a copy or move would need
    return tree.path();
}

// What a run can see of both folders: each name's kind, size and time, and each listing.
QStringList seen(FileSystem& fs, int src, int dst) {
    QStringList lines;
    for (const auto& [folder, fd] : {std::pair{"src", src}, std::pair{"dst", dst}}) {
        for (const char* name : {"a.log", "b.log", "c.log", "dir.log", "gone.log"}) {
            struct stat info {};
            const FileResult result = fs.statAt(fd, name, info);
            lines << u"%1/%2 %3"_s.arg(QString::fromLatin1(folder), QString::fromLatin1(name),
                                       result.ok() ? u"%1 %2 %3"_s.arg(S_ISREG(info.st_mode))
                                                         .arg(info.st_size)
                                                         .arg(info.st_mtim.tv_sec)
                                                   : u"error %1"_s.arg(result.error));
        }
        const std::shared_ptr<const Listing> listing = fs.listDirectory(fd, u"log"_s, {}, {});
        QStringList listed;
        for (const ListedFile& file : listing->files) {
            listed << QString::fromUtf8(listing->nameView(file)) + u'@' +
                          QString::number(file.mtime);
        }
        lines << QString::fromLatin1(folder) + u" lists "_s + listed.join(u' ');
    }
    return lines;
}

}  // namespace

TEST(DiskOverlay, AnswersAsTheDiskDoesAfterTheSameChanges) {
    enum class Op { Copy, Move, RenameToFree, Remove };
    // Each step acts on `name` from one folder to the other; a copy or move is given the file
    // as it was checked just before, which may be another file than the one it finds.
    const struct Step {
        const char* what;
        Op op;
        bool fromDst;
        const char* name;
        bool checkedInDst;
        const char* checked;
    } steps[] = {
        {"copy to a free name", Op::Copy, false, "a.log", false, "a.log"},
        {"copy over a file", Op::Copy, false, "b.log", false, "b.log"},
        {"rename onto a taken name", Op::RenameToFree, false, "a.log", false, "a.log"},
        {"move over a file", Op::Move, false, "a.log", false, "a.log"},
        {"move onto a folder", Op::Move, false, "c.log", false, "c.log"},
        {"copy onto a folder", Op::Copy, false, "c.log", false, "c.log"},
        {"delete", Op::Remove, false, "b.log", false, "b.log"},
        {"delete again", Op::Remove, false, "b.log", false, "b.log"},
        {"copy of a file gone", Op::Copy, false, "gone.log", false, "c.log"},
        {"copy of a file replaced since its check", Op::Copy, false, "c.log", true, "b.log"},
        {"move back to a name freed", Op::RenameToFree, true, "b.log", true, "b.log"},
        {"delete what was put there", Op::Remove, true, "a.log", true, "a.log"},
    };
    const auto apply = [](FileSystem& fs, int src, int dst, const Step& step) {
        const int from = step.fromDst ? dst : src;
        const int to = step.fromDst ? src : dst;
        struct stat checked {};
        fs.statAt(step.checkedInDst ? dst : src, step.checked, checked);
        switch (step.op) {
            case Op::Copy:
                return fs.copyFile(from, step.name, checked, to);
            case Op::Move:
                return fs.moveFile(from, step.name, checked, to);
            case Op::RenameToFree:
                return fs.moveFile(from, step.name, checked, to, false);
            case Op::Remove:
                break;
        }
        return fs.removeFile(from, step.name);
    };

    TempTree realTree;
    TempTree modelTree;
    PosixFileSystem disk;
    DiskOverlay overlay(disk);
    const auto open = [](FileSystem& fs, const QString& path) {
        OpenedDirectory opened = fs.openDirectory(QFile::encodeName(path), false);
        EXPECT_EQ(opened.status, OpenedDirectory::Status::Open) << path.toStdString();
        return std::move(opened.fd);
    };
    const QString real = makeTree(realTree);
    const QString modelled = makeTree(modelTree);
    const UniqueFd realSrc = open(disk, real + u"/src"_s);
    const UniqueFd realDst = open(disk, real + u"/dst"_s);
    const UniqueFd modelSrc = open(overlay, modelled + u"/src"_s);
    const UniqueFd modelDst = open(overlay, modelled + u"/dst"_s);
    ASSERT_EQ(seen(overlay, modelSrc.get(), modelDst.get()),
              seen(disk, realSrc.get(), realDst.get()));

    for (const Step& s : steps) {
        const FileResult done = apply(disk, realSrc.get(), realDst.get(), s);
        const FileResult modelledResult = apply(overlay, modelSrc.get(), modelDst.get(), s);
        EXPECT_EQ(modelledResult.error, done.error) << s.what;
        EXPECT_EQ(seen(overlay, modelSrc.get(), modelDst.get()),
                  seen(disk, realSrc.get(), realDst.get()))
            << s.what;
    }
    // The overlay changed nothing on its own tree.
    EXPECT_EQ(TempTree::read(modelled + u"/src/a.log"_s), "aaa");
    EXPECT_EQ(QDir(modelled + u"/dst"_s).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{u"b.log"_s, u"c.log"_s}));
}
