#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

// A file name's bytes as one line of text for the log, the messages and the printed lines:
// valid UTF-8 as it stands, except that a backslash reads "\\" and each control character
// (0x00-0x1F, 0x7F) and each byte that is not valid UTF-8 reads "\xNN". So two names never
// share a text and a name never spans two lines. The run never finds a file by this text; only
// the check of an unfinished run reads it back with nameBytes.
QString nameText(QByteArrayView name);

// The bytes nameText made the text from; nothing when the text is not one of its forms.
std::optional<QByteArray> nameBytes(const QString& text);
