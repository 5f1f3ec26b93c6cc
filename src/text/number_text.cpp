#include "text/number_text.h"

#include <QLocale>

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

struct LeadingNumber {
    double value = 0;
    qsizetype end = 0;  // index after the number; 0 when there is none
};

// Finds [blanks][sign]digits[.digits] or [blanks][sign].digits at the start of the text.
LeadingNumber readLeadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i])) {
        ++i;
    }
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        ++i;
    }
    qsizetype digits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == u'.') {
        qsizetype j = i + 1;
        while (j < text.size() && isDigit(text[j])) {
            ++j;
        }
        digits += j - i - 1;
        if (digits > 0) {
            i = j;
        }
    }
    if (digits == 0) {
        return {};
    }
    return {QStringView(text).mid(start, i - start).toDouble(), i};
}

}  // namespace

bool IsNumeric(const QString& text) {
    const LeadingNumber number = readLeadingNumber(text);
    if (number.end == 0) {
        return false;
    }
    for (qsizetype i = number.end; i < text.size(); ++i) {
        if (!isBlank(text[i])) {
            return false;
        }
    }
    return true;
}

double Val(const QString& text) {
    return readLeadingNumber(text).value;
}

QString countText(qint64 count) {
    return QLocale(QLocale::Japanese).toString(count);
}

QString sizeText(qint64 bytes) {
    return QLocale(QLocale::Japanese).formattedDataSize(bytes, 1, QLocale::DataSizeSIFormat);
}
