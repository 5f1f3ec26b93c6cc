#include "ui/prompts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace {

int ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, u"Quillon"_s, text, buttons, parent);
    return box.exec();
}

}  // namespace

void MessageBoxPrompts::message(const QString& text) {
    if (m_notice != nullptr) {
        m_notice->close();
    }
    ask(m_parent, text, QMessageBox::Ok);
}

void MessageBoxPrompts::notify(const QString& text, const QRect& area) {
    if (m_notice == nullptr) {
        m_notice =
            new QMessageBox(QMessageBox::NoIcon, u"Quillon"_s, text, QMessageBox::Ok, m_parent);
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowModality(Qt::NonModal);
    }
    m_notice->setText(text);
    m_notice->show();
    m_notice->adjustSize();
    const QSize size = m_notice->frameGeometry().size();
    m_notice->move(std::max(area.left(), area.right() - size.width()),
                   std::max(area.top(), area.bottom() - size.height()));
    m_notice->raise();
}

bool MessageBoxPrompts::confirm(const QString& text, QWidget* over) {
    return ask(over != nullptr ? over : m_parent, text, QMessageBox::Ok | QMessageBox::Cancel) ==
           QMessageBox::Ok;
}

namespace {

// Qt's own file dialog with one more button, "このフォルダを選択", which confirms the folder the
// dialog stands in, so a folder can be chosen too, an empty one included.
class FileOrFolderDialog : public QFileDialog {
public:
    FileOrFolderDialog(QWidget* parent, const QString& startIn)
        : QFileDialog(parent, QString(), startIn) {
        setOption(QFileDialog::DontUseNativeDialog);
        setFileMode(QFileDialog::ExistingFile);
        auto* folderButton = new QPushButton(u"このフォルダを選択"_s, this);
        folderButton->setObjectName(u"chooseFolder"_s);
        connect(folderButton, &QPushButton::clicked, this, [this] {
            m_folder = directory().absolutePath();
            done(QDialog::Accepted);
        });
        if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
            grid->addWidget(folderButton, grid->rowCount(), 0, 1, grid->columnCount(),
                            Qt::AlignLeft);
        }
    }

    // The folder, or else the file, the user confirmed.
    QString chosen() const {
        return !m_folder.isEmpty() || selectedFiles().isEmpty() ? m_folder
                                                                : selectedFiles().first();
    }

private:
    QString m_folder;
};

}  // namespace

QString MessageBoxPrompts::choosePath(const QString& startIn) {
    FileOrFolderDialog dialog(m_parent, startIn);
    return dialog.exec() == QDialog::Accepted ? dialog.chosen() : QString();
}

QString MessageBoxPrompts::chooseSaveFile(const QString& suggested) {
    return QFileDialog::getSaveFileName(m_parent, QString(), suggested, u"CSV (*.csv)"_s);
}

bool installJapaneseTranslation() {
    static QTranslator translator;  // lives as long as the application
    if (!translator.load(QLocale(QLocale::Japanese), u"qtbase"_s, u"_"_s,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}
