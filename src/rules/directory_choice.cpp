#include "rules/directory_choice.h"

#include <QDir>
#include <QFileInfo>

QString chosenDirectory(const QString& confirmed) {
    if (!confirmed.isEmpty()) {
        const QFileInfo info(confirmed);
        QDir::setCurrent(info.isDir() ? info.absoluteFilePath() : info.absolutePath());
    }
    return QDir::toNativeSeparators(QDir::currentPath());
}

QString choiceStart(const QString& box) {
    const QFileInfo named(box.trimmed());
    return !box.trimmed().isEmpty() && named.isDir() ? named.absoluteFilePath()
                                                     : QDir::currentPath();
}
