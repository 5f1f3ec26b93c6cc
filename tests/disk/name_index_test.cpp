#include "disk/name_index.h"

#include <gtest/gtest.h>

#include <string>

// Tens of thousands of names, so that the table grows many times over and every name must
// survive each growth.
TEST(NameIndex, EveryNameIsFoundAfterManyGrowthsAndNothingElseIs) {
    NameIndex names;
    const auto nameOf = [](int i) { return "f\xff" + std::to_string(i) + ".log"; };
    for (int i = 0; i < 20000; ++i) {
        EXPECT_EQ(names.insert(nameOf(i)), std::pair(static_cast<size_t>(i), true));
    }
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(names.find(nameOf(i)), static_cast<size_t>(i)) << i;
        EXPECT_EQ(names.name(static_cast<size_t>(i)), nameOf(i));
        EXPECT_EQ(names.insert(nameOf(i)), std::pair(static_cast<size_t>(i), false));
    }
    EXPECT_EQ(names.size(), 20000u);
    EXPECT_EQ(names.find("f\xff"
                         "20000.log"),
              NameIndex::kNone);
    EXPECT_EQ(names.find(""), NameIndex::kNone);
    EXPECT_EQ(NameIndex().find("x"), NameIndex::kNone);
}
