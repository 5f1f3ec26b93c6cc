#pragma once

#include <QString>

// What a directory choice puts in its box, given what was confirmed in the dialog (empty when
// it was cancelled): a folder itself, a file's folder. That folder becomes the working
// directory, where the next dialog opens; after a cancel, the working directory as it stands.
QString chosenDirectory(const QString& confirmed);

// Where the dialog of a box opens: the folder the box names, where there is one; else the
// working directory.
QString choiceStart(const QString& box);
