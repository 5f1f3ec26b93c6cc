#pragma once

#include <QByteArrayView>
#include <QString>

// A file name's bytes as text for the log, the messages and the printed lines: valid UTF-8 as
// it stands, every other byte as "\xNN". Only ever shown; never used to find the file again.
QString nameText(QByteArrayView name);
