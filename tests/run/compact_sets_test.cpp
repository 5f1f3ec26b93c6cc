#include "run/compact_sets.h"

#include <gtest/gtest.h>

#include <string>

// Tens of thousands of entries, so that each table grows many times over and every entry
// must survive each growth.
TEST(CompactSets, EveryEntryIsFoundAfterManyGrowthsAndNothingElseIs) {
    NameIndex names;
    InodeSet inodes;
    const auto nameOf = [](int i) { return "f\xff" + std::to_string(i) + ".log"; };
    for (int i = 0; i < 20000; ++i) {
        bool added = false;
        EXPECT_EQ(names.insert(nameOf(i), added), static_cast<size_t>(i));
        EXPECT_TRUE(added);
        inodes.insert(static_cast<ino_t>(i) * 4096);  // 0 among them
    }
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(names.find(nameOf(i)), static_cast<size_t>(i)) << i;
        EXPECT_EQ(names.name(static_cast<size_t>(i)), nameOf(i));
        bool added = true;
        EXPECT_EQ(names.insert(nameOf(i), added), static_cast<size_t>(i));
        EXPECT_FALSE(added);
        ASSERT_TRUE(inodes.contains(static_cast<ino_t>(i) * 4096)) << i;
        EXPECT_FALSE(inodes.contains(static_cast<ino_t>(i) * 4096 + 1));
    }
    EXPECT_EQ(names.size(), 20000u);
    EXPECT_EQ(names.find("f\xff"
                         "20000.log"),
              NameIndex::kNone);
    EXPECT_EQ(names.find(""), NameIndex::kNone);
    EXPECT_EQ(NameIndex().find("x"), NameIndex::kNone);
    EXPECT_FALSE(InodeSet().contains(0));
}
