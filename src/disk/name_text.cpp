#include "disk/name_text.h"

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

bool isControl(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

bool needsNoEscape(QByteArrayView name) {
    for (const char c : name) {
        if (isControl(static_cast<unsigned char>(c)) || c == '\\') {
            return false;
        }
    }
    return name.isValidUtf8();
}

}  // namespace

QString nameText(QByteArrayView name) {
    if (needsNoEscape(name)) {
        return QString::fromUtf8(name);  // nearly every name: no escapes
    }
    QString text;
    qsizetype validFrom = 0;
    qsizetype i = 0;
    const auto flushValid = [&] {
        text += QString::fromUtf8(name.sliced(validFrom, i - validFrom));
    };
    while (i < name.size()) {
        const unsigned char byte = static_cast<unsigned char>(name[i]);
        const qsizetype length = sequenceLength(name, i);
        if (length > 0 && byte != '\\' && !isControl(byte)) {
            i += length;
            continue;
        }
        flushValid();
        text += byte == '\\' ? QStringLiteral("\\\\")
                             : QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        validFrom = ++i;
    }
    flushValid();
    return text;
}

std::optional<QByteArray> nameBytes(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '\\') {
            bytes += utf8[i];
            continue;
        }
        if (i + 1 < utf8.size() && utf8[i + 1] == '\\') {
            bytes += '\\';
            ++i;
            continue;
        }
        bool ok = false;
        const int value =
            i + 3 < utf8.size() && utf8[i + 1] == 'x' ? utf8.mid(i + 2, 2).toInt(&ok, 16) : 0;
        if (!ok) {
            return std::nullopt;
        }
        bytes += static_cast<char>(value);
        i += 3;
    }
    // Only the form nameText makes is accepted, so a text maps back to exactly one name.
    if (nameText(bytes) != text) {
        return std::nullopt;
    }
    return bytes;
}
