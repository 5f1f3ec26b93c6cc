#include "storage/shared_func.h"

#include <iconv.h>

#include <QByteArray>

using namespace Qt::StringLiterals;

QString QuoteSql(const QString& text) {
    if (!text.contains(u'\'')) {
        return text;  // the common case costs no copy
    }
    return QString(text).replace(u"'"_s, u"''"_s);
}

namespace {

// Converts with iconv; a text that the code page cannot hold converts as far as it can.
QByteArray convert(const char* to, const char* from, const QByteArray& input) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return input;
    }
    QByteArray output(input.size() * 4 + 4, '\0');
    char* in = const_cast<char*>(input.constData());
    size_t inLeft = static_cast<size_t>(input.size());
    char* out = output.data();
    size_t outLeft = static_cast<size_t>(output.size());
    iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    output.truncate(output.size() - static_cast<qsizetype>(outLeft));
    return output;
}

}  // namespace

QString RightBytes(const QString& text, int n) {
    const QByteArray encoded = convert("CP932", "UTF-8", text.toUtf8());
    if (n < 0) {
        n = 0;
    }
    if (encoded.size() <= n) {
        return text;
    }
    return QString::fromUtf8(convert("UTF-8", "CP932", encoded.right(n)));
}
