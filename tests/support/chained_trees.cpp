#include "support/chained_trees.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "storage/rule_row.h"

using namespace Qt::StringLiterals;

namespace {

QDateTime daysOld(double days) {
    return at(u"2003/03/29 09:00:00"_s).addSecs(static_cast<qint64>(-days * 86400));
}

// A file whose name is the given bytes, UTF-8 or not.
void rawFile(const QString& dir, const QByteArray& name, const QDateTime& mtime) {
    const QByteArray path = QFile::encodeName(dir) + '/' + name;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.constData();
    ASSERT_EQ(::write(fd, name.constData(), static_cast<size_t>(name.size())), name.size());
    const timespec times[2] = {{mtime.toSecsSinceEpoch(), 0}, {mtime.toSecsSinceEpoch(), 0}};
    ::futimens(fd, times);
    ::close(fd);
}

void moveIntoTheNextRulesFolder(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    const QString b = tree.dir(u"b"_s);
    tree.file(u"a/x.log"_s, "x", daysOld(11));
    tree.file(u"a/y.log"_s, "yy", daysOld(4));  // moved, but too young for the deletion
    tree.file(u"a/z.log"_s, "z", daysOld(0));
    tree.file(u"b/w.log"_s, "www", daysOld(10));
    tree.file(u"b/v.log"_s, "v", daysOld(2));
    tree.addRule({u"001"_s, a, b, u"log"_s, u"3"_s, kMoveProcess});
    tree.addRule({u"002"_s, b, u""_s, u"log"_s, u"5"_s, kDeleteProcess});
}

// Two names of one file: deleting one name leaves the other for the next rule.
void twoNamesOfOneFile(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    const QString first = tree.file(u"a/first.tmp"_s, "linked", daysOld(9));
    ASSERT_EQ(::link(QFile::encodeName(first).constData(),
                     QFile::encodeName(a + u"/second.log"_s).constData()),
              0);
    tree.addRule({u"001"_s, a, u""_s, u"tmp"_s, u"1"_s, kDeleteProcess});
    tree.addRule({u"002"_s, a, tree.dir(u"b"_s), u"log"_s, u"1"_s, kCopyProcess});
}

void copyThenDelete(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    const QString b = tree.dir(u"b"_s);
    tree.file(u"a/p.txt"_s, "p", daysOld(9));
    tree.file(u"b/p.txt"_s, "p", daysOld(9));  // already copied: kept as it is
    tree.file(u"a/q.txt"_s, "qq", daysOld(8.1));
    tree.file(u"a/R.TXT"_s, "r", daysOld(9.5));
    tree.file(u"b/q.txt"_s, "older copy", daysOld(20));  // replaced by the copy
    tree.addRule({u"001"_s, a, b, u"txt"_s, u"3"_s, kCopyProcess});
    tree.addRule({u"002"_s, a, u""_s, u"txt"_s, u"3"_s, kDeleteProcess});
    tree.addRule({u"003"_s, b, u""_s, u"txt"_s, u"8"_s, kDeleteProcess});
}

void eachRuleReadsTheLastOnesDestination(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    const QString b = tree.dir(u"b"_s);
    const QString c = tree.dir(u"c"_s);
    const QString d = tree.dir(u"d"_s);
    tree.file(u"a/m.dat"_s, "from a", daysOld(6));
    tree.file(u"a/n.dat"_s, "n", daysOld(1.5));
    tree.file(u"b/o.dat"_s, "o", daysOld(3));
    tree.file(u"c/m.dat"_s, "new in c", daysOld(0));  // replaced by the old m.dat
    tree.addRule({u"001"_s, a, b, u"dat"_s, u"1"_s, kMoveProcess});
    tree.addRule({u"002"_s, b, c, u"dat"_s, u"2"_s, kMoveProcess});
    tree.addRule({u"003"_s, c, d, u"dat"_s, u"1"_s, kCopyProcess});
    tree.addRule({u"004"_s, d, u""_s, u"DAT"_s, u"5"_s, kDeleteProcess});
}

void namesThatAreNotUtf8(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    const QString b = tree.dir(u"b"_s);
    rawFile(a, "bad\xff.log", daysOld(5));
    rawFile(a, "caf\xe9.LOG", daysOld(6));
    rawFile(a, "\xe5\xa0\xb1\xe5\x91\x8a \xf0\x9f\x93\x84.log", daysOld(6));  // 報告 📄, in UTF-8
    rawFile(a, "clash.log", daysOld(7));
    tree.dir(u"b/clash.log"_s);  // a folder: moving the file over it fails
    rawFile(b, "\xfe\xff.log", daysOld(5));
    tree.addRule({u"001"_s, a, b, u"log"_s, u"1"_s, kMoveProcess});
    tree.addRule({u"002"_s, b, u""_s, u"log"_s, u"1"_s, kDeleteProcess});
}

// Enough names that each table of the model grows several times over.
void hundredsOfFiles(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    const QString b = tree.dir(u"b"_s);
    const QString c = tree.dir(u"c"_s);
    for (int i = 0; i < 300; ++i) {
        rawFile(a, "f" + QByteArray::number(i) + ".log", daysOld(2 + i % 9));
    }
    for (int i = 0; i < 300; i += 3) {  // every third name stands in b already
        rawFile(b, "f" + QByteArray::number(i) + ".log", daysOld(1 + i % 5));
    }
    tree.addRule({u"001"_s, a, b, u"log"_s, u"4"_s, kMoveProcess});
    tree.addRule({u"002"_s, b, c, u"log"_s, u"7"_s, kCopyProcess});
    tree.addRule({u"003"_s, b, u""_s, u"log"_s, u"6"_s, kDeleteProcess});
}

void stopsAtAMissingFolder(TempTree& tree) {
    const QString a = tree.dir(u"a"_s);
    tree.file(u"a/x.log"_s, "x", daysOld(3));
    tree.addRule({u"001"_s, a, u""_s, u"log"_s, u"1"_s, kDeleteProcess});
    tree.addRule({u"002"_s, tree.path(u"gone"_s), a, u"log"_s, u"1"_s, kMoveProcess});
    tree.addRule({u"003"_s, a, u""_s, u"log"_s, u"0"_s, kDeleteProcess});
}

}  // namespace

const std::vector<ChainedTree>& chainedTrees() {
    static const std::vector<ChainedTree> trees = {
        {"move into the next rule's folder", moveIntoTheNextRulesFolder},
        {"copy, then delete both sides", copyThenDelete},
        {"two names of one file", twoNamesOfOneFile},
        {"each rule reads the last one's destination", eachRuleReadsTheLastOnesDestination},
        {"names that are not UTF-8", namesThatAreNotUtf8},
        {"hundreds of files", hundredsOfFiles},
        {"stops at a missing folder", stopsAtAMissingFolder},
    };
    return trees;
}
