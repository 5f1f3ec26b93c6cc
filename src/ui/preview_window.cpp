#include "ui/preview_window.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QShortcut>
#include <QVBoxLayout>

#include "run/run_notice.h"
#include "schedule/next_run_text.h"
#include "schedule/schedule_store.h"
#include "storage/connection.h"
#include "storage/storage_error.h"
#include "text/number_text.h"

using namespace Qt::StringLiterals;

namespace {

// Rules with more files than this are shown folded; a click unfolds them.
constexpr qsizetype kUnfoldedFiles = 10000;

}  // namespace

PreviewWindow::PreviewWindow(const ModuleValues& values, FileSystem& fs, const Clock& clock,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), m_values(values), m_fs(fs), m_clock(clock) {
    setObjectName(u"PreviewWindow"_s);
    setWindowTitle(u"予定"_s);
    Basis = new QComboBox;
    Basis->addItems({u"次回の予定時刻"_s, u"今"_s});
    When = new QLabel;
    List = new QTreeView;
    List->setModel(&m_model);
    List->setUniformRowHeights(true);  // a million rows are laid out without being asked
    List->setTextElideMode(Qt::ElideMiddle);
    List->setWordWrap(false);
    List->setAlternatingRowColors(true);
    Status = new QLabel;
    Status->setWordWrap(true);
    Status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    CancelButton = new QPushButton(u"キャンセル"_s);
    PlanAgainButton = new QPushButton(u"再計算"_s);
    PlanAgainButton->setToolTip(u"いまのファイルと規則で計算し直す (F5)"_s);
    RunNowButton = new QPushButton(u"今すぐ実行"_s);
    CloseButton = new QPushButton(u"閉じる"_s);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(u"実行の時点:"_s));
    top->addWidget(Basis);
    top->addWidget(When, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Status, 1);
    bottom->addWidget(CancelButton);
    bottom->addWidget(PlanAgainButton);
    bottom->addWidget(RunNowButton);
    bottom->addWidget(CloseButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(List, 1);
    layout->addLayout(bottom);

    QHeaderView* header = List->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(PlanModel::Target, QHeaderView::Stretch);
    fitColumn(PlanModel::Process, {u"移動（上書き）"_s});
    fitColumn(PlanModel::Count, {u"1,000,000 件"_s});
    fitColumn(PlanModel::Stamp, {u"2000/00/00 00:00:00"_s});
    fitColumn(PlanModel::Size, {u"999.9 MB"_s});
    const QFontMetrics metrics = List->fontMetrics();
    resize(metrics.averageCharWidth() * 130, metrics.height() * 30);

    m_countTimer.setInterval(250);
    connect(&m_countTimer, &QTimer::timeout, this, &PreviewWindow::showCount);
    connect(Basis, &QComboBox::activated, this, [this] { plan(m_schedule); });
    connect(CancelButton, &QPushButton::clicked, this, &PreviewWindow::cancelPlan);
    connect(PlanAgainButton, &QPushButton::clicked, this, &PreviewWindow::planAgain);
    connect(new QShortcut(QKeySequence::Refresh, this), &QShortcut::activated, this,
            &PreviewWindow::planAgain);
    connect(RunNowButton, &QPushButton::clicked, this, [this] {
        // The run reads the rules as they are stored: a plan of other rules is not what the
        // user would be saying yes to.
        if (basis() != m_basis) {
            plan(m_schedule);
            return;
        }
        emit runNowRequested();
    });
    connect(CloseButton, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
    updateButtons();
}

QStringList PreviewWindow::basis() const {
    QStringList basis;
    try {
        Connection connection(m_values);
        for (const Rule& rule : readRules(connection, m_values.tbl_rule)) {
            basis << QStringList{rule.order,     rule.source,    rule.destination,
                                 rule.extension, rule.retention, rule.process}
                         .join(u'\n');
        }
        basis << readTrashDays(m_values);
    } catch (const StorageError& error) {
        basis << error.message();  // the plan will say what is wrong with the store
    }
    return basis;
}

void PreviewWindow::updateButtons() {
    CancelButton->setEnabled(m_planning.busy());
    RunNowButton->setEnabled(m_runAllowed && !m_planning.busy() && m_shownFiles >= 0);
}

void PreviewWindow::plan(const Schedule& schedule) {
    cancelPlan();
    m_schedule = schedule;
    const QDateTime now = m_clock.now();
    const std::optional<QDateTime> next = nextRunAt(now, schedule);
    const bool asOfNext = Basis->currentIndex() == 0 && next.has_value();
    const QDateTime runAt = asOfNext ? *next : now;
    QString when = u"今 "_s + now.toString(u"HH:mm:ss"_s) + u" に実行した場合"_s;
    if (asOfNext) {
        when = runMinuteText(runAt) + u" の実行"_s;
    } else if (Basis->currentIndex() == 0) {
        when = u"次回の予定がないため、"_s + when;
    }
    When->setText(when);

    auto planned = std::make_shared<std::atomic<qsizetype>>(0);
    m_planned = planned;
    m_basis = basis();
    m_shownFiles = -1;
    m_model.setPlan(nullptr);
    // A million files take seconds to list and check: the windows repaint meanwhile.
    m_planning.start([this, values = m_values, fs = &m_fs, runAt,
                      planned](const std::atomic<bool>& stop) -> BackgroundWork::Delivery {
        auto plan = std::make_shared<const RunPlan>(planRun(values, *fs, runAt, *planned, stop));
        return [this, plan] { showPlan(plan); };
    });
    updateButtons();
    showCount();
    m_countTimer.start();
}

void PreviewWindow::cancelPlan() {
    if (!m_planning.busy()) {
        return;
    }
    m_planning.cancel();
    m_countTimer.stop();
    updateButtons();
    Status->setText(u"中止しました（再計算 F5 で計算し直します）"_s);
}

void PreviewWindow::setRunAllowed(bool allowed) {
    m_runAllowed = allowed;
    updateButtons();
}

void PreviewWindow::showCount() {
    if (m_planning.busy()) {
        Status->setText(u"計算中 "_s + countText(m_planned->load()) + u" 件…"_s);
    }
}

void PreviewWindow::fitColumn(int column, QStringList texts) {
    const QFontMetrics metrics = List->fontMetrics();
    texts << m_model.headerData(column, Qt::Horizontal).toString();
    int widest = 0;
    for (const QString& text : texts) {
        widest = std::max(widest, metrics.horizontalAdvance(text));
    }
    List->setColumnWidth(column, widest + metrics.averageCharWidth() * 3);
}

void PreviewWindow::showPlan(const std::shared_ptr<const RunPlan>& plan) {
    m_countTimer.stop();
    m_model.setPlan(plan);
    // What this plan shows beside 対象 takes the room it needs, 対象 the rest.
    QStringList processes;
    QStringList counts;
    for (int row = 0; row < m_model.rowCount(); ++row) {
        processes << m_model.index(row, PlanModel::Process).data().toString();
        counts << m_model.index(row, PlanModel::Count).data().toString();
    }
    if (!plan->replacing.isEmpty()) {
        processes << kMoveProcess + u"（上書き）"_s;
    }
    if (!plan->failures.isEmpty()) {
        processes << kCopyProcess + u"失敗"_s;
    }
    fitColumn(PlanModel::Process, processes);
    fitColumn(PlanModel::Count, counts);
    for (int row = 0; row < m_model.rowCount(); ++row) {
        if (plan->rules[row].fileCount <= kUnfoldedFiles) {
            List->expand(m_model.index(row, 0));
        }
    }
    qint64 bytes = 0;
    for (const RunPlan::PlannedRule& rule : plan->rules) {
        bytes += rule.bytes;
    }
    const qsizetype files = static_cast<qsizetype>(plan->files.size()) - plan->held.size();
    QString text = plan->outcome.storageError;
    if (text.isEmpty()) {
        m_shownFiles = files;
        text = u"計 "_s + filesAndSizeText(files, bytes);
        if (const QString stop = stopMessage(plan->outcome); !stop.isEmpty()) {
            text += u"\n実行はここで止まります: "_s + stop;
        }
    }
    Status->setText(text);
    updateButtons();
}

void PreviewWindow::closeEvent(QCloseEvent* event) {
    cancelPlan();
    QWidget::closeEvent(event);
}
