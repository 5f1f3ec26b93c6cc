#include "ui/form_sweeprun.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLocale>
#include <QSaveFile>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QThreadPool>

#include "rules/directory_choice.h"
#include "rules/live_count.h"
#include "rules/rule_table.h"
#include "run/maintenance_run.h"
#include "run/run_notice.h"
#include "schedule/next_run_text.h"
#include "schedule/number_text.h"
#include "schedule/schedule_checks.h"
#include "schedule/schedule_form.h"
#include "schedule/schedule_store.h"
#include "schedule/scheduled_minute.h"
#include "storage/connection.h"
#include "storage/run_history.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"
#include "ui/grid_rows.h"
#include "ui/preview_window.h"
#include "ui/window_layout.h"

using namespace Qt::StringLiterals;

namespace {

// Lets the window repaint and answer while a run works: every few milliseconds, so that the
// events cost little however many files there are, and a listing of many files holds up
// nothing either.
class YieldingObserver : public RunObserver {
public:
    explicit YieldingObserver(QLabel* status) : m_status(status) {}

    void fileHandled(const FileReport&) override {
        ++m_files;
        letEventsThrough();
    }
    void working() override { letEventsThrough(); }

private:
    void letEventsThrough() {
        if (!m_sinceEvents.isValid() || m_sinceEvents.elapsed() >= 5) {
            // The count is redrawn a few times a second: enough to read, and each redraw of
            // the window costs the run its time.
            if (!m_sinceCount.isValid() || m_sinceCount.elapsed() >= 250) {
                m_status->setText(u"実行中 "_s + countText(m_files) + u" 件"_s);
                m_sinceCount.start();
            }
            QCoreApplication::processEvents();
            m_sinceEvents.start();
        }
    }

    QLabel* m_status;
    qsizetype m_files = 0;
    QElapsedTimer m_sinceEvents;  // invalid until the first events are let through
    QElapsedTimer m_sinceCount;   // the same for the count
};

}  // namespace

Form_sweeprun::Form_sweeprun(const ModuleValues& values, Prompts& prompts, const Clock& clock,
                             FileSystem& fs, QWidget* parent)
    : QWidget(parent),
      m_values(values),
      m_prompts(prompts),
      m_clock(clock),
      m_fs(fs),
      m_ruleModel(values),
      m_logModel(values) {
    setObjectName(u"Form_sweeprun"_s);
    buildControls();
    DataGrid1->setModel(&m_ruleModel);
    DataGrid2->setModel(&m_logModel);
    wireHandlers();
}

Form_sweeprun::~Form_sweeprun() {
    // A count or a plan under way uses the file system the window was given: it ends first.
    if (m_countCancel) {
        m_countCancel->store(true);
    }
    if (Preview != nullptr) {
        Preview->cancelPlan();
    }
    QThreadPool::globalInstance()->waitForDone();
}

void Form_sweeprun::countTypedRule() {
    const Rule rule = ruleEntry();
    if (rule.source.isEmpty() || rule.extension.isEmpty() || rule.retention.isEmpty()) {
        return;
    }
    const quint64 generation = ++m_countGeneration;
    m_countCancel = std::make_shared<std::atomic<bool>>(false);
    // A folder of a million files takes seconds to list: the window repaints meanwhile.
    QThreadPool::globalInstance()->start([fs = &m_fs, rule, now = m_clock.now(),
                                          cancel = m_countCancel, generation,
                                          form = QPointer<Form_sweeprun>(this)] {
        const QString text = ruleCountText(countRuleFiles(*fs, rule, now, *cancel));
        QMetaObject::invokeMethod(
            qApp,
            [form, generation, text] {
                if (form != nullptr && form->m_countGeneration == generation) {
                    form->LabelCount->setText(text);
                }
            },
            Qt::QueuedConnection);
    });
}

void Form_sweeprun::wireHandlers() {
    // The operation buttons and the schedule clock.
    connect(Command2, &QPushButton::clicked, this, &Form_sweeprun::Command2_Click);
    connect(Command7, &QPushButton::clicked, this, &Form_sweeprun::Command7_Click);
    connect(Timer1, &QTimer::timeout, this, &Form_sweeprun::Timer1_Timer);
    // The preview of the next run.
    auto* preview = new QShortcut(Qt::CTRL | Qt::Key_P, this);
    connect(preview, &QShortcut::activated, this, &Form_sweeprun::openPreview);
    connect(PreviewButton, &QPushButton::clicked, this, &Form_sweeprun::openPreview);
    // Searching the log.
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        FilterBar->open();
        placeLogGrid();
    });
    connect(SearchButton, &QToolButton::clicked, find, &QShortcut::activated);
    connect(FilterBar, &LogFilterBar::changed, this, &Form_sweeprun::showLogFiltered);
    connect(FilterBar, &LogFilterBar::closed, this, [this] {
        placeLogGrid();
        showLogFiltered();
        DataGrid2->setFocus();
    });
    connect(FilterBar, &LogFilterBar::saveRequested, this, &Form_sweeprun::saveLogCsv);
    // The live count of the rule in the editor, once its typing settles.
    m_countSettle.setSingleShot(true);
    m_countSettle.setInterval(300);
    connect(&m_countSettle, &QTimer::timeout, this, &Form_sweeprun::countTypedRule);
    for (QLineEdit* box : {Text1, Text3, Text2}) {
        connect(box, &QLineEdit::textChanged, this, [this] {
            if (m_countCancel) {
                m_countCancel->store(true);  // what it counts is no longer what is typed
            }
            LabelCount->clear();
            m_countSettle.start();
        });
    }
    // The rule editor's buttons.
    connect(Command1, &QPushButton::clicked, this, &Form_sweeprun::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form_sweeprun::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form_sweeprun::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form_sweeprun::Command5_Click);
    // A rule picked in the list by the user, with the mouse or the keyboard; the list's own
    // positioning fills nothing, so the highlighted rule is always the edited one.
    connect(DataGrid1, &QTableView::clicked, this, &Form_sweeprun::DataGrid1_SelChange);
    connect(DataGrid1->verticalHeader(), &QHeaderView::sectionClicked, this,
            &Form_sweeprun::DataGrid1_SelChange);
    connect(DataGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        if (!m_positioningRules) {
            DataGrid1_SelChange();
        }
    });
}

void Form_sweeprun::reportStorage(const StorageError& error) {
    m_prompts.message(error.message());
}

void Form_sweeprun::Form_Load() {
    setWindowTitle(
        windowCaption(QUILLON_VERSION_MAJOR, QUILLON_VERSION_MINOR, QUILLON_VERSION_PATCH));
    applyStartupLayout();
    // Whatever start-up has to say is said over the window, not on an empty screen.
    show();
    try {
        ROAD_DSP(QString());
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
    showLastRun();
    combo_set();
    Timer1->stop();
    Timer1->setInterval(60000);
    set_read();
    Command2_Click();
}

void Form_sweeprun::fnc_set(const QString& mode) {
    const bool runMode = mode.toUpper() == u"OFF"_s;
    if (runMode) {
        Timer1->start();
    } else {
        Timer1->stop();
    }
    Command7->setEnabled(runMode);
    LabelNext->setText(runMode ? nextRunText(m_clock.now(), m_schedule) : u"設定中"_s);
    setEditorsEnabled(!runMode);
}

void Form_sweeprun::setEditorsEnabled(bool enable) {
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Frame1, Frame2, Frame3, Frame4, Frame5, Frame6, Frame8,
                                         Frame9, Frame11, Frame12, Frame13, Frame14}) {
        widget->setEnabled(enable);
    }
    for (QCheckBox* box : Check1) {
        box->setEnabled(enable);
    }
    for (QRadioButton* option : Option1) {
        option->setEnabled(enable);
    }
    for (QWidget* widget :
         std::initializer_list<QWidget*>{Combo1, Combo2, Text2, Text3, Text4, Command1, Command2,
                                         Command3, Command4, Command5, DataGrid1}) {
        widget->setEnabled(enable);
    }
}

void Form_sweeprun::combo_set() {
    Combo1->clear();
    for (int hour = 0; hour <= 23; ++hour) {
        Combo1->addItem(twoDigits(QString::number(hour)));
    }
    for (int minute = 0; minute <= 59; ++minute) {
        Combo2->addItem(twoDigits(QString::number(minute)));
    }
}

void Form_sweeprun::set_read() {
    try {
        if (const std::optional<Schedule> stored = readStoredSchedule(m_values)) {
            m_schedule = *stored;
        }
    } catch (const StorageError& error) {
        reportStorage(error);
    }
    Combo1->setEditText(m_schedule.hour);
    Combo2->setEditText(m_schedule.minute);
    Text4->setText(m_schedule.logDays);
    for (int i = 0; i < 7; ++i) {
        Check1[static_cast<size_t>(i)]->setChecked(
            m_schedule.weekdays.contains(weekdayCaptions()[i]));
    }
}

int Form_sweeprun::set_write() {
    m_schedule.hour = Combo1->currentText();
    m_schedule.minute = Combo2->currentText();
    m_schedule.logDays = Text4->text();
    if (const auto failure = checkSchedule(m_schedule)) {
        m_prompts.message(failure->message);
        QWidget* const fields[] = {Combo1, Combo2, Text4};  // in ScheduleField's order
        fields[static_cast<int>(failure->field)]->setFocus();
        return 1;
    }
    std::array<bool, 7> ticked{};
    for (size_t i = 0; i < 7; ++i) {
        ticked[i] = Check1[i]->isChecked();
    }
    m_schedule = normalizedSchedule(ticked, m_schedule.hour, m_schedule.minute, m_schedule.logDays);
    try {
        writeSchedule(m_values, m_schedule);
    } catch (const StorageError& error) {
        reportStorage(error);
        return 1;
    }
    return 0;
}

void Form_sweeprun::Command2_Click() {
    if (set_write() == 0) {
        set_read();
        fnc_set(u"off"_s);
    }
}

void Form_sweeprun::Command7_Click() {
    fnc_set(u"on"_s);
}

void Form_sweeprun::showLastRun() {
    // Any program's run counts: this window's, the user timer's, cron's, one by hand. The line
    // is only a status: a store that cannot be read now is said at the next action on it.
    try {
        Connection connection(m_values);
        if (const std::optional<RunHistory::Finished> last = RunHistory::lastFinished(connection)) {
            showFitted(LabelLast, lastRunText(*last));
        }
    } catch (const StorageError&) {
        // Kept as it was; the next action on the store says what is wrong.
    }
}

void Form_sweeprun::Timer1_Timer() {
    if (m_running) {
        return;
    }
    showLastRun();
    const std::optional<QDateTime> minute = dueMinute(m_clock.now(), m_schedule);
    if (!minute) {
        LabelNext->setText(nextRunText(m_clock.now(), m_schedule));  // a missed minute passes
        return;
    }
    runMaintenance(minute);
}

void Form_sweeprun::openPreview() {
    if (Preview == nullptr) {
        Preview = new PreviewWindow(m_values, m_fs, m_clock, this);
        connect(Preview, &PreviewWindow::runNowRequested, this, &Form_sweeprun::runNow);
        // Beside the window, as far as the screen allows, so the run it starts can be watched.
        const QRect area = screen()->availableGeometry();
        const QRect frame = frameGeometry();
        const int room = area.right() - frame.right();
        Preview->resize(std::max(Preview->width() / 2, std::min(Preview->width(), room)),
                        Preview->height());
        Preview->move(std::min(frame.right() + 1, area.right() + 1 - Preview->width()),
                      frame.top());
    }
    Preview->setRunAllowed(!m_running);
    Preview->show();
    Preview->raise();
    Preview->activateWindow();
    Preview->plan(m_schedule);
}

void Form_sweeprun::runNow() {
    if (m_running || !m_prompts.confirm(u"今すぐ実行しますか?"_s)) {
        return;
    }
    runMaintenance(std::nullopt);
}

void Form_sweeprun::runMaintenance(const std::optional<QDateTime>& minute) {
    // Asked for in settings, the run leaves the window in settings; its editors wait meanwhile.
    const bool runMode = Timer1->isActive();
    Timer1->stop();
    setEditorsEnabled(false);
    Command7->setText(u"実行中"_s);
    Command7->setEnabled(false);
    LabelNext->setText(u"実行中 0 件"_s);  // the minute that runs is no longer the next
    m_running = true;
    if (Preview != nullptr) {
        Preview->setRunAllowed(false);
    }
    YieldingObserver observer(LabelNext);
    MaintenanceRun run(m_values, m_fs, &observer);
    run.setScheduledMinute(minute);
    const QDateTime runAt = m_clock.now();
    const RunOutcome outcome = run.EXEC_DEL(runAt, m_schedule.logDays);
    m_running = false;
    Command7->setText(u"設定"_s);
    if (Preview != nullptr) {
        Preview->setRunAllowed(true);
    }

    showLastRun();
    // The list shows what the run did, however it ended, before anything is said.
    QStringList problems;
    try {
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        problems << error.message();
    }
    const RunNotice notice = runNotice(outcome, m_values.db_path, runAt);
    problems << notice.problems;
    // Only a missing directory, or a stored rule that cannot run, needs the user; it is said
    // first, alone, and the rules wait in settings to be mended.
    if (!notice.stop.isEmpty()) {
        m_prompts.message(notice.stop);
        fnc_set(u"on"_s);
    } else {
        fnc_set(runMode ? u"off"_s : u"on"_s);
    }
    // Nobody may be there to answer: what went wrong is shown without stopping the schedule,
    // and the next scheduled minute tries again. The notice stands over the log list, where the
    // run's rows are, and covers none of the editors.
    if (!problems.isEmpty()) {
        m_prompts.notify(notice.headline + u'\n' + problems.join(u'\n'),
                         QRect(DataGrid2->mapToGlobal(QPoint()), DataGrid2->size()));
    }
    if (Preview != nullptr && Preview->isVisible()) {
        Preview->plan(m_schedule);  // what is left for the next run
    }
    if (m_closeRequested) {
        close();
    }
}

void Form_sweeprun::showFitted(QLabel* label, const QString& text) {
    // What takes more than the room beside the buttons gets a point smaller, and a wrapping
    // label a second line after its "、", rather than be cut.
    label->setStyleSheet(QString());
    label->setText(text);
    if (label->fontMetrics().horizontalAdvance(text) > label->width()) {
        label->setStyleSheet(u"font-size: 8pt;"_s);
        if (label->wordWrap()) {
            label->setText(QString(text).replace(u"、"_s, u"、\n"_s));
        }
    }
}

void Form_sweeprun::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    // A window manager frames the window only once it is shown: then the frame, title bar
    // included, is fitted to the screen.
    if (m_layoutDecoration >= 0 && decorationHeight() != m_layoutDecoration) {
        applyStartupLayout();
    }
}

void Form_sweeprun::closeEvent(QCloseEvent* event) {
    if (m_running) {
        // The run finishes first; the window closes right after it.
        m_closeRequested = true;
        event->ignore();
        return;
    }
    event->accept();
}

double Form_sweeprun::formInnerWidthTwips() const {
    return width() * 1440.0 / logicalDpiY();
}

// Columns whose every value must show whole get the width their longest text needs in the grid's
// font (or their header, if wider); some keep their designed share of the window; the rest of
// the grid is split among the remaining columns.
void Form_sweeprun::fitColumns(QTableView* grid, const QList<std::pair<int, QString>>& fitted,
                               const QList<std::pair<int, int>>& shares, const QList<int>& rest) {
    // What a cell draws around its text: the focus frame's margin and a pixel on either side,
    // and the grid line.
    const int cellMargin =
        2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1) + 1;
    int left = grid->width() - 2 * grid->frameWidth() - grid->verticalHeader()->width() -
               grid->verticalScrollBar()->sizeHint().width();
    for (const auto& [column, text] : fitted) {
        const int width = std::max(grid->fontMetrics().horizontalAdvance(text) + cellMargin,
                                   grid->horizontalHeader()->sectionSizeHint(column));
        grid->setColumnWidth(column, width);
        left -= width;
    }
    for (const auto& [column, share] : shares) {
        const int width = twips((formInnerWidthTwips() - 600) * (share / 9000.0));
        grid->setColumnWidth(column, width);
        left -= width;
    }
    for (const int column : rest) {
        grid->setColumnWidth(column, std::max(left / static_cast<int>(rest.size()), 8));
    }
}

namespace {

QList<int> columnWidths(const QTableView* grid) {
    QList<int> widths;
    for (int column = 0; column < grid->model()->columnCount(); ++column) {
        widths << grid->columnWidth(column);
    }
    return widths;
}

}  // namespace

void Form_sweeprun::refill(QTableView* grid, const std::function<void()>& query,
                           const std::function<void()>& fit) {
    // Widths the user gave the columns stay until the window closes; the first filling fits them.
    const QList<int> widths = columnWidths(grid);
    query();
    // A refreshed list starts at its top, with its scroll range already fitted to the rows.
    grid->doItemsLayout();
    grid->scrollToTop();
    if (widths.isEmpty() || widths.size() != grid->model()->columnCount()) {
        fit();
        return;
    }
    for (int column = 0; column < widths.size(); ++column) {
        grid->setColumnWidth(column, widths[column]);
    }
}

void Form_sweeprun::ROAD_DSP(const QString& order) {
    const RuleTable::Position position = ruleTable().position(order);
    // The list's own positioning fills nothing into the editor.
    const QScopedValueRollback positioning(m_positioningRules, true);
    refill(
        DataGrid1,
        [this] {
            m_ruleModel.setQuery(m_values.tbl_rule, SqlText::selectOrdered(m_values.tbl_rule));
        },
        [this] {
            fitColumns(DataGrid1, {{0, u"000"_s}, {5, kCopyProcess}}, {{3, 1100}, {4, 1100}},
                       {1, 2});
        });
    GridRows rows(DataGrid1);
    positionRuleList(rows, position.total, position.before);
}

void Form_sweeprun::ROAD_DSP_2() {
    // Rows are read as the list is scrolled, so a long log opens at once; a refreshed list
    // shows its top, where the newest files are.
    refill(
        DataGrid2,
        [this] {
            const QString where = FilterBar->filter().where();
            m_logModel.setQuery(m_values.tbl_log, SqlText::selectLog(m_values.tbl_log, where),
                                where);
        },
        [this] {
            const QString dateTime = u"0000/00/00 00:00:00"_s;
            fitColumns(DataGrid2, {{1, dateTime}, {2, kCopyProcess + u"失敗"_s}, {3, dateTime}}, {},
                       {0});
        });
}

void Form_sweeprun::showLogFiltered() {
    try {
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::saveLogCsv() {
    const QString path = m_prompts.chooseSaveFile(u"quillon-log.csv"_s);
    if (path.isEmpty()) {
        return;
    }
    QSaveFile file(path);
    try {
        if (file.open(QIODevice::WriteOnly)) {
            writeLogCsv(m_values, FilterBar->filter(), file);
            if (file.commit()) {
                return;
            }
        }
        m_prompts.message(u"CSV に保存できませんでした（"_s + file.errorString() + u"）"_s);
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

RuleTable Form_sweeprun::ruleTable() const {
    // Repaints go on while the table is renumbered, but no second action can start.
    return RuleTable(m_values,
                     [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

Rule Form_sweeprun::ruleEntry() const {
    QString process;
    for (const QRadioButton* option : Option1) {
        if (option->isChecked()) {
            process = option->text();
        }
    }
    return {{},
            Text1->text().trimmed(),
            Text5->text().trimmed(),
            Text3->text().trimmed(),
            Text2->text().trimmed(),
            process};
}

void Form_sweeprun::Command3_Click() {
    const Rule entry = ruleEntry();
    if (const auto failure = checkRule(entry, m_fs)) {
        m_prompts.message(failure->message);
        QWidget* const fields[] = {Text2, Text3, Option1[0], nullptr};  // in RuleField's order
        if (QWidget* field = fields[static_cast<int>(failure->field)]) {
            field->setFocus();
        }
        return;
    }
    try {
        RuleTable table = ruleTable();
        const QString identical = table.findIdentical(entry);
        if (!identical.isEmpty()) {
            Label1->setText(identical);
            if (!m_prompts.confirm(u"上書きしますか?"_s)) {
                ROAD_DSP(Label1->text());
                return;
            }
        }
        Label1->setText(table.registerRule(entry, Label1->text(), !identical.isEmpty()));
        ROAD_DSP(Label1->text());
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::Command4_Click() {
    if (!m_prompts.confirm(u"削除しますか?"_s)) {
        return;
    }
    try {
        RuleTable table = ruleTable();
        table.deleteRule(Label1->text());
        ROAD_DSP(Label1->text());
    } catch (const StorageError& error) {
        reportStorage(error);
    }
}

void Form_sweeprun::chooseDirectory(QLineEdit* box) {
    box->setText(chosenDirectory(m_prompts.choosePath(QDir::currentPath())));
}

void Form_sweeprun::Command1_Click() {
    chooseDirectory(Text1);
}

void Form_sweeprun::Command5_Click() {
    chooseDirectory(Text5);
}

void Form_sweeprun::DataGrid1_SelChange() {
    const int row = DataGrid1->currentIndex().row();
    if (row < 0) {
        return;
    }
    const auto cell = [this, row](int column) {
        return DataGrid1->model()->index(row, column).data().toString().trimmed();
    };
    Label1->setText(cell(0));
    Text1->setText(cell(1));
    Text5->setText(cell(2));
    Text3->setText(cell(3));
    Text2->setText(cell(4));
    for (QRadioButton* option : Option1) {
        if (cell(5) == option->text()) {
            option->setChecked(true);
        }
    }
}
