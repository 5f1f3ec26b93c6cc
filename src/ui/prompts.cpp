#include "ui/prompts.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QMessageBox>
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

bool MessageBoxPrompts::confirm(const QString& text) {
    return ask(m_parent, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

QString MessageBoxPrompts::chooseFile() {
    return QFileDialog::getOpenFileName(m_parent);
}

bool installJapaneseTranslation() {
    static QTranslator translator;  // lives as long as the application
    if (!translator.load(QLocale(QLocale::Japanese), u"qtbase"_s, u"_"_s,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        return false;
    }
    return QCoreApplication::installTranslator(&translator);
}
