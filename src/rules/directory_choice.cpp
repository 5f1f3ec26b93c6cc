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
