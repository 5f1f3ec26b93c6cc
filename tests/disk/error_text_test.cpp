#include "disk/error_text.h"

#include <gtest/gtest.h>

#include <QSet>
#include <cerrno>
#include <clocale>
#include <cstring>

using namespace Qt::StringLiterals;

TEST(ErrorText, JapaneseForWhatARunMeetsWhateverTheLocaleAndTheSystemsTextBeyond) {
    std::setlocale(LC_ALL, "C");  // a system without a Japanese locale
    QSet<QString> texts;
    for (const int error :
         {EACCES, EPERM, EROFS, ENOSPC, EDQUOT, EBUSY, ETXTBSY, ENOENT, ENOTDIR, EISDIR, EEXIST,
          EXDEV, ENAMETOOLONG, ELOOP, EIO, EFBIG, EMFILE, ENOMEM, EINVAL}) {
        const QString text = errorText(error);
        EXPECT_GT(text.front().unicode(), 0x3000) << error << ' ' << text.toStdString();
        texts.insert(text);
    }
    EXPECT_EQ(texts.size(), 19);  // each its own
    EXPECT_EQ(errorText(ENFILE), errorText(EMFILE));
    EXPECT_EQ(errorText(EOWNERDEAD), QString::fromLocal8Bit(std::strerror(EOWNERDEAD)));
}
