#include <gtest/gtest.h>

#include "ui/window_layout.h"

using namespace Qt::StringLiterals;

TEST(WindowLayout, CaptionTakesTheLastTwoDigitsOfMinorAndRevision) {
    EXPECT_EQ(windowCaption(2003, 3, 29), u"Quillon V20030329"_s);
    EXPECT_EQ(windowCaption(1, 0, 5), u"Quillon V10005"_s);
    EXPECT_EQ(windowCaption(1, 12, 345), u"Quillon V11245"_s);
}

TEST(WindowLayout, TheLogTakesAThirdOfTheScreenAndTheRulesTheRest) {
    const WindowLayout tall = startupLayout(16200);  // 1080 pixels at 96 dots per inch
    EXPECT_DOUBLE_EQ(tall.logTop, 735);
    EXPECT_DOUBLE_EQ(tall.logHeight, 5400);
    EXPECT_DOUBLE_EQ(tall.logGridHeight, 5000);
    EXPECT_DOUBLE_EQ(tall.scheduleTop, 6135);
    EXPECT_DOUBLE_EQ(tall.rulesTop, 7230);
    EXPECT_DOUBLE_EQ(tall.rulesHeight, 16200 - 735 - 5400 - 1095 - 400);
    EXPECT_DOUBLE_EQ(tall.ruleGridHeight, tall.rulesHeight - 735 - 735 - 600);
    const WindowLayout low = startupLayout(11520, 420);  // 768 pixels, a title bar of 28
    EXPECT_DOUBLE_EQ(low.windowHeight, 11100);
    EXPECT_DOUBLE_EQ(low.logHeight, 3840);  // a third of the screen, not of the inside
    EXPECT_DOUBLE_EQ(low.rulesHeight, 11100 - 735 - 3840 - 1095 - 400);
    EXPECT_LT(low.ruleGridHeight, tall.ruleGridHeight);
    // 768 pixels at a scale of 1.5, 512 to lay out: the log gives way to four rules.
    const WindowLayout scaled = startupLayout(7680, 420);
    EXPECT_DOUBLE_EQ(scaled.ruleGridHeight, 1800);
    EXPECT_DOUBLE_EQ(scaled.logHeight, 7260 - 735 - 1095 - 400 - 735 - 735 - 600 - 1800);
    EXPECT_DOUBLE_EQ(scaled.rulesTop + scaled.rulesHeight + 400, scaled.windowHeight);
}
