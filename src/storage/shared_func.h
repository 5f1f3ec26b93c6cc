#pragma once

#include <QString>

// The text with every apostrophe doubled, ready for a single-quoted SQL literal.
QString QuoteSql(const QString& text);

// The last n bytes of the text in its code page 932 (Shift-JIS) form, converted back.
QString RightBytes(const QString& text, int n);
