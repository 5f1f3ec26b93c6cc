#include "schedule/name_text.h"

namespace {

// The length of the valid UTF-8 sequence starting at bytes[i], or 0 when none starts there.
qsizetype sequenceLength(QByteArrayView bytes, qsizetype i) {
    const auto byte = [&](qsizetype k) { return static_cast<unsigned char>(bytes[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80) {
        return 1;
    }
    qsizetype length = 0;
    unsigned char low = 0x80;  // the range the first continuation byte must fall in
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;   // no overlong forms
        high = lead == 0xED ? 0x9F : 0xBF;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (i + length > bytes.size() || byte(i + 1) < low || byte(i + 1) > high) {
        return 0;
    }
    for (qsizetype k = 2; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

QString nameText(QByteArrayView name) {
    if (name.isValidUtf8()) {
        return QString::fromUtf8(name);  // nearly every name: one pass, no escapes
    }
    QString text;
    qsizetype validFrom = 0;
    qsizetype i = 0;
    const auto flushValid = [&] {
        text += QString::fromUtf8(name.sliced(validFrom, i - validFrom));
    };
    while (i < name.size()) {
        const qsizetype length = sequenceLength(name, i);
        if (length > 0) {
            i += length;
            continue;
        }
        flushValid();
        text += QStringLiteral("\\x%1").arg(static_cast<unsigned char>(name[i]), 2, 16,
                                            QLatin1Char('0'));
        validFrom = ++i;
    }
    flushValid();
    return text;
}
