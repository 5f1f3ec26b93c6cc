#include "disk/name_index.h"

#include <gtest/gtest.h>

#include <string>

// Tens of thousands of names, many blocks of copies and one name longer than a block, so that
// the table grows many times over and every name must survive each growth; the names given are
// gone by the time they are looked up.
TEST(NameIndex, EveryNameIsFoundAfterManyGrowthsAndNothingElseIs) {
    NameIndex names;
    const std::string padding(60, 'p');
    const auto nameOf = [&](int i) {
        return i == 777 ? std::string(300 * 1024, 'L') : "f\xff" + std::to_string(i) + padding;
    };
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
                         "20000" +
                         padding),
              NameIndex::kNone);
    EXPECT_EQ(names.find(""), NameIndex::kNone);
    EXPECT_EQ(NameIndex().find("x"), NameIndex::kNone);
}

// A name its owner keeps in place is found where it lies, not copied; the others are copies. A
// name that begins another, or is its beginning, is another name.
TEST(NameIndex, AKeptNameIsNotCopied) {
    const std::string listing("a.log\0b.log\0a.lo\0", 17);
    NameIndex names;
    const std::string_view a(listing.data(), 5);
    const std::string_view b(listing.data() + 6, 5);
    names.insert(a, true);
    names.insert(b, false);
    EXPECT_EQ(names.name(0).data(), a.data());
    EXPECT_NE(names.name(1).data(), b.data());
    EXPECT_EQ(names.name(1), "b.log");
    EXPECT_EQ(names.find("b.log"), 1u);
    EXPECT_EQ(names.insert(std::string("a.log"), false), std::pair(size_t{0}, false));
    EXPECT_EQ(names.find("a.lo"), NameIndex::kNone);
    EXPECT_EQ(names.find("a.logs"), NameIndex::kNone);
    EXPECT_EQ(names.insert(std::string_view(listing.data() + 12, 4), true),
              std::pair(size_t{2}, true));
    EXPECT_EQ(names.find("a.lo"), 2u);
}
