#include "ui/log_filter_bar.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QSignalBlocker>

#include "storage/rule_row.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// "yyyy/MM/dd" as typed; a text that is no such date leaves its end of the range open.
QDate day(const QLineEdit* box) {
    return QDate::fromString(box->text().trimmed(), u"yyyy/MM/dd"_s);
}

}  // namespace

LogFilterBar::LogFilterBar(QWidget* parent)
    : QWidget(parent),
      text(new QLineEdit),
      process(new QComboBox),
      from(new QLineEdit),
      to(new QLineEdit),
      hits(new QLabel),
      saveCsv(new QPushButton(u"CSV に保存"_s)),
      closer(new QToolButton) {
    setObjectName(u"LogFilter"_s);
    text->setPlaceholderText(u"パスに含む文字"_s);
    process->addItems({u"すべて"_s, kCopyProcess, kMoveProcess, kDeleteProcess, kFailuresOnly});
    for (QLineEdit* box : {from, to}) {
        box->setPlaceholderText(u"yyyy/MM/dd"_s);
        // A day that is not one leaves its end open: its text turns red, so that shows.
        connect(box, &QLineEdit::textChanged, box, [box] {
            box->setStyleSheet(box->text().trimmed().isEmpty() || day(box).isValid()
                                   ? QString()
                                   : u"color: #b00000;"_s);
        });
    }
    closer->setText(u"×"_s);
    closer->setToolTip(u"検索を閉じる (Esc)"_s);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(text, 3);
    layout->addWidget(process, 1);
    layout->addWidget(new QLabel(u"実行日"_s));
    layout->addWidget(from, 1);
    layout->addWidget(new QLabel(u"～"_s));
    layout->addWidget(to, 1);
    layout->addWidget(hits);
    layout->addWidget(saveCsv);
    layout->addWidget(closer);

    m_settle.setSingleShot(true);
    m_settle.setInterval(300);
    connect(&m_settle, &QTimer::timeout, this, &LogFilterBar::changed);
    for (QLineEdit* box : {text, from, to}) {
        connect(box, &QLineEdit::textEdited, &m_settle, qOverload<>(&QTimer::start));
        connect(box, &QLineEdit::returnPressed, this, [this] {
            m_settle.stop();
            emit changed();
        });
    }
    connect(process, &QComboBox::currentIndexChanged, this, &LogFilterBar::changed);
    connect(saveCsv, &QPushButton::clicked, this, &LogFilterBar::saveRequested);
    connect(closer, &QToolButton::clicked, this, &LogFilterBar::close);
}

LogFilter LogFilterBar::filter() const {
    if (isHidden()) {
        return {};
    }
    return {text->text(), process->currentIndex() == 0 ? QString() : process->currentText(),
            day(from), day(to)};
}

void LogFilterBar::open() {
    show();
    text->setFocus();
    text->selectAll();
}

void LogFilterBar::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

void LogFilterBar::close() {
    m_settle.stop();
    for (QLineEdit* box : {text, from, to}) {
        box->clear();
    }
    {
        const QSignalBlocker quiet(process);  // the list follows once, when the line is closed
        process->setCurrentIndex(0);
    }
    hide();
    emit closed();
}

void LogFilterBar::showHits(qsizetype rows) {
    hits->setText(countText(rows) + u" 件"_s);
}
