#include "rules/directory_choice.h"

#include <QDir>
#include <QFileInfo>

QString chosenDirectory(const QString& pickedFile) {
    if (!pickedFile.isEmpty()) {
        QDir::setCurrent(QFileInfo(pickedFile).absolutePath());
    }
    return QDir::toNativeSeparators(QDir::currentPath());
}
