#pragma once

#include <QString>

// What went wrong with a file, in Japanese whatever the system's language: the errno values a
// run meets have a text of their own here, the rest the system's text.
QString errorText(int error);
