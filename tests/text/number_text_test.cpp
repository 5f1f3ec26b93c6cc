#include "text/number_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(NumberText, PlainDecimalTextsWithSignFractionAndBlanks) {
    struct Case {
        QString text;
        bool numeric;
        double value;
    };
    const Case cases[] = {
        {u"7"_s, true, 7},      {u" 07 "_s, true, 7},  {u"\t-1\t"_s, true, -1},
        {u"+2"_s, true, 2},     {u"1.5"_s, true, 1.5}, {u".5"_s, true, 0.5},
        {u"7."_s, true, 7},     {u"0"_s, true, 0},     {u""_s, false, 0},
        {u"  "_s, false, 0},    {u"abc"_s, false, 0},  {u"."_s, false, 0},
        {u"-"_s, false, 0},     {u"7日"_s, false, 7},  {u"1 2"_s, false, 1},
        {u"1,000"_s, false, 1}, {u"1e3"_s, false, 1},  {u"0x10"_s, false, 0},
        {u"--1"_s, false, 0},   {u"１２"_s, false, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsNumeric(c.text), c.numeric) << c.text.toStdString();
        EXPECT_DOUBLE_EQ(Val(c.text), c.value) << c.text.toStdString();
    }
}
