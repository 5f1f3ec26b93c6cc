#include "disk/name_text.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(NameText, EveryNameHasOneLineOfTextOfItsOwnThatReadsBack) {
    const struct {
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"plain.log", u"plain.log"_s},
        {"alias\xff.log", u"alias\\xff.log"_s},
        {"alias\\xff.log", u"alias\\\\xff.log"_s},        // the text of the name above, as a name
        {"alias\xef\xbf\xbd.log", u"alias\uFFFD.log"_s},  // the replacement character itself
        {"\xe6\x97\xa5\xe6\x9c\xac.log", u"日本.log"_s},
        {"cut\xe6\x97.log", u"cut\\xe6\\x97.log"_s},    // a sequence cut short
        {"over\xc0\xaf.log", u"over\\xc0\\xaf.log"_s},  // an overlong "/"
        {"sur\xed\xa0\x80.log", u"sur\\xed\\xa0\\x80.log"_s},
        {"\x80", u"\\x80"_s},
        {"two\nlines.log", u"two\\x0alines.log"_s},
        {"tab\tcr\r\x7f\x1b.log", u"tab\\x09cr\\x0d\\x7f\\x1b.log"_s},
        {"\\", u"\\\\"_s},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nameText(c.bytes), c.text) << c.bytes.toHex().constData();
        EXPECT_EQ(nameBytes(c.text), c.bytes) << c.bytes.toHex().constData();
    }
    // Texts nameText never makes name no file.
    for (const QString& text :
         {u"a\\"_s, u"a\\x4"_s, u"a\\q"_s, u"a\\x41"_s, u"a\\xFF"_s, u"a\\x+f"_s, u"a\nb"_s}) {
        EXPECT_EQ(nameBytes(text), std::nullopt) << text.toStdString();
    }
}
