#pragma once

#include <QString>

// How numbers typed by the user are read: plain decimal texts with an optional sign and
// decimal point, blanks (spaces, tabs) allowed around them. Nothing else counts as a number:
// no thousands separators, exponents, currency signs or hexadecimal prefixes.

// True when the whole text, blanks before and after allowed, reads as a number.
bool IsNumeric(const QString& text);

// The value of the leading part of the text that reads as a number, blanks skipped before it;
// 0 when there is none ("7日" gives 7, "abc" and "" give 0).
double Val(const QString& text);

// How counts and sizes are shown: "1,234", and "5.6 GB" (decimal units, one decimal).
QString countText(qint64 count);
QString sizeText(qint64 bytes);
