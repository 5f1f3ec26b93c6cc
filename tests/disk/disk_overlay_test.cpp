// The overlay a dry run works on must answer as the disk answers after the same changes: the
// preview is only as true as this.
#include "disk/disk_overlay.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <functional>

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
    using Step = std::function<FileResult(FileSystem&, int src, int dst)>;
    // The file as the run checks it just before it acts.
    const auto checked = [](FileSystem& fs, int directory, const char* name) {
        struct stat info {};
        fs.statAt(directory, name, info);
        return info;
    };
    const struct {
        const char* what;
        Step step;
    } steps[] = {
        {"copy to a free name",
         [&](FileSystem& fs, int src, int dst) {
             return fs.copyFile(src, "a.log", checked(fs, src, "a.log"), dst);
         }},
        {"copy over a file",
         [&](FileSystem& fs, int src, int dst) {
             return fs.copyFile(src, "b.log", checked(fs, src, "b.log"), dst);
         }},
        {"rename onto a taken name, without replacing",
         [&](FileSystem& fs, int src, int dst) {
             return fs.moveFile(src, "a.log", checked(fs, src, "a.log"), dst, false);
         }},
        {"move over a file",
         [&](FileSystem& fs, int src, int dst) {
             return fs.moveFile(src, "a.log", checked(fs, src, "a.log"), dst);
         }},
        {"move onto a folder",
         [&](FileSystem& fs, int src, int dst) {
             return fs.moveFile(src, "c.log", checked(fs, src, "c.log"), dst);
         }},
        {"copy onto a folder",
         [&](FileSystem& fs, int src, int dst) {
             return fs.copyFile(src, "c.log", checked(fs, src, "c.log"), dst);
         }},
        {"delete", [](FileSystem& fs, int src, int) { return fs.removeFile(src, "b.log"); }},
        {"delete again", [](FileSystem& fs, int src, int) { return fs.removeFile(src, "b.log"); }},
        {"copy of a file gone",
         [&](FileSystem& fs, int src, int dst) {
             return fs.copyFile(src, "gone.log", checked(fs, src, "c.log"), dst);
         }},
        {"copy of a file replaced since its check",
         [&](FileSystem& fs, int src, int dst) {
             return fs.copyFile(src, "c.log", checked(fs, dst, "b.log"), dst);
         }},
        {"move back to a name freed",
         [&](FileSystem& fs, int src, int dst) {
             return fs.moveFile(dst, "b.log", checked(fs, dst, "b.log"), src, false);
         }},
        {"delete what was put there",
         [](FileSystem& fs, int, int dst) { return fs.removeFile(dst, "a.log"); }},
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

    for (const auto& s : steps) {
        const FileResult done = s.step(disk, realSrc.get(), realDst.get());
        const FileResult modelledResult = s.step(overlay, modelSrc.get(), modelDst.get());
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
