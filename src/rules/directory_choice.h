#pragma once

#include <QString>

// What a directory choice puts in its box, given the file picked in the dialog (empty when it
// was cancelled): the picked file's folder, which becomes the working directory so that the
// next dialog opens there; after a cancel, the working directory as it stands.
QString chosenDirectory(const QString& pickedFile);
