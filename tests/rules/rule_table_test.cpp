#include "rules/rule_table.h"

#include <gtest/gtest.h>

#include <functional>

#include "storage/connection.h"
#include "storage/storage_error.h"
#include "support/temp_tree.h"

using namespace Qt::StringLiterals;

namespace {

// A table of four rules r1…r4, each an extension of its own.
class RuleTableTest : public testing::Test {
protected:
    RuleTableTest() {
        for (int i = 1; i <= 4; ++i) {
            tree.addRule(
                {orderNumber(i), tree.path(), u""_s, u"r%1"_s.arg(i), u"7"_s, kDeleteProcess});
        }
    }

    static Rule rule(const QString& extension) {
        return {{}, QString(), u""_s, extension, u"7"_s, kDeleteProcess};
    }

    // "001 r1", … as stored, in order.
    QStringList table() const {
        Connection connection(tree.values());
        QStringList rows;
        for (const Rule& stored : readRules(connection, tree.values().tbl_rule)) {
            rows << stored.order + u' ' + stored.extension;
        }
        return rows;
    }

    TempTree tree;
    int yields = 0;
    RuleTable rules{tree.values(), [this] { ++yields; }};
};

}  // namespace

// Every registration, change and deletion leaves the rules numbered 001… in their order, the entry
// directly after the rule it was registered after.
TEST_F(RuleTableTest, RegistrationAndDeletionRenumberFromOne) {
    const Rule inserted = {{}, tree.path(), u""_s, u"new"_s, u"7"_s, kDeleteProcess};
    static const auto found = [](bool yes) { return yes ? u"found"_s : u"none"_s; };
    const struct {
        std::function<QString(RuleTable&)> change;
        QString number;  // what a registration returns, or whether the rule was found
        QStringList after;
    } cases[] = {
        {[&](RuleTable& t) { return t.registerRule(inserted, u""_s, false); },
         u"005"_s,
         {u"001 r1"_s, u"002 r2"_s, u"003 r3"_s, u"004 r4"_s, u"005 new"_s}},
        {[&](RuleTable& t) { return t.registerRule(inserted, u" 001 "_s, false); },
         u"002"_s,
         {u"001 r1"_s, u"002 new"_s, u"003 r2"_s, u"004 r3"_s, u"005 r4"_s}},
        {[&](RuleTable& t) { return t.registerRule(inserted, u"004"_s, false); },
         u"005"_s,
         {u"001 r1"_s, u"002 r2"_s, u"003 r3"_s, u"004 r4"_s, u"005 new"_s}},
        // Overwriting: the identical rule, letter case aside, goes; the entry takes its place.
        {[&](RuleTable& t) {
             Rule upper = inserted;
             upper.source = tree.path();
             upper.extension = u"R2"_s;
             return t.registerRule(upper, t.findIdentical(upper), true);
         },
         u"002"_s,
         {u"001 r1"_s, u"002 R2"_s, u"003 r3"_s, u"004 r4"_s}},
        // A change keeps the rule's number and place.
        {[&](RuleTable& t) { return found(t.changeRule(u" 003 "_s, inserted)); },
         u"found"_s,
         {u"001 r1"_s, u"002 r2"_s, u"003 new"_s, u"004 r4"_s}},
        {[&](RuleTable& t) { return found(t.changeRule(u"005"_s, inserted)); },
         u"none"_s,
         {u"001 r1"_s, u"002 r2"_s, u"003 r3"_s, u"004 r4"_s}},
        {[](RuleTable& t) { return found(t.deleteRule(u"002"_s)); },
         u"found"_s,
         {u"001 r1"_s, u"002 r3"_s, u"003 r4"_s}},
        {[](RuleTable& t) { return found(t.deleteRule(u"004"_s)); },
         u"found"_s,
         {u"001 r1"_s, u"002 r2"_s, u"003 r3"_s}},
        {[](RuleTable& t) { return found(t.deleteRule(u""_s)); },
         u"none"_s,
         {u"001 r1"_s, u"002 r2"_s, u"003 r3"_s, u"004 r4"_s}},
    };
    const QStringList start = table();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.after.join(u", "_s).toStdString());
        EXPECT_EQ(c.change(rules), c.number);
        EXPECT_EQ(table(), c.after);
        // Back to the four rules for the next case.
        Connection(tree.values()).Execute(u"DELETE FROM sweeprun"_s);
        for (const QString& row : start) {
            tree.addRule({row.left(3), tree.path(), u""_s, row.mid(4), u"7"_s, kDeleteProcess});
        }
    }
    EXPECT_GT(yields, 0);  // the window repaints while rows are renumbered
}

// A failure part-way leaves the table exactly as it was: no "_0" number, no gap.
TEST_F(RuleTableTest, AFailurePartWayLeavesTheTableAsItWas) {
    Connection(tree.values())
        .Execute(
            u"CREATE TRIGGER refuse BEFORE UPDATE ON sweeprun "
            u"WHEN NEW.順序 = '003' BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s);
    const QStringList before = table();
    EXPECT_THROW(rules.registerRule(rule(u"new"_s), u"001"_s, false), StorageError);
    EXPECT_EQ(table(), before);
    EXPECT_THROW(rules.deleteRule(u"001"_s), StorageError);
    EXPECT_EQ(table(), before);
    Connection(tree.values())
        .Execute(
            u"CREATE TRIGGER refuseInsert BEFORE INSERT ON sweeprun "
            u"BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s);
    EXPECT_THROW(rules.changeRule(u"002"_s, rule(u"new"_s)), StorageError);
    EXPECT_EQ(table(), before);
}
