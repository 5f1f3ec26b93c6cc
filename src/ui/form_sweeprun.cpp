#include "ui/form_sweeprun.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QSqlError>

#include "rules/rule_table.h"
#include "schedule/maintenance_run.h"
#include "schedule/run_lock.h"
#include "schedule/schedule_check.h"
#include "settings/schedule_checks.h"
#include "settings/schedule_form.h"
#include "settings/schedule_store.h"
#include "settings/startup.h"
#include "storage/connection.h"
#include "storage/sql_text.h"
#include "storage/storage_error.h"
#include "ui/grid_rows.h"

using namespace Qt::StringLiterals;

namespace {

// Lets the window repaint and answer between the files of a run.
class YieldingObserver : public RunObserver {
public:
    void fileHandled(const FileReport&) override { QCoreApplication::processEvents(); }
};

int countRows(Connection& connection, const QString& sql) {
    int rows = 0;
    for (Recordset recordset(connection, sql); !recordset.eof(); recordset.moveNext()) {
        ++rows;
    }
    return rows;
}

}  // namespace

Form_sweeprun::Form_sweeprun(const ModuleValues& values, Prompts& prompts, const Clock& clock,
                             FileSystem& fs, QWidget* parent)
    : QWidget(parent), m_values(values), m_prompts(prompts), m_clock(clock), m_fs(fs) {
    setObjectName(u"Form_sweeprun"_s);
    buildControls();
    wireHandlers();
}

Form_sweeprun::~Form_sweeprun() {
    m_ruleModel.clear();
    m_logModel.clear();
    for (const QString& name : std::as_const(m_gridConnections)) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
}

void Form_sweeprun::wireHandlers() {
    // The operation buttons and the schedule clock.
    connect(Command2, &QPushButton::clicked, this, &Form_sweeprun::Command2_Click);
    connect(Command7, &QPushButton::clicked, this, &Form_sweeprun::Command7_Click);
    connect(Timer1, &QTimer::timeout, this, &Form_sweeprun::Timer1_Timer);
    // The rule editor's buttons.
    connect(Command1, &QPushButton::clicked, this, &Form_sweeprun::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form_sweeprun::Command3_Click);
    connect(Command4, &QPushButton::clicked, this, &Form_sweeprun::Command4_Click);
    connect(Command5, &QPushButton::clicked, this, &Form_sweeprun::Command5_Click);
    // A rule picked in the list by the user; the list's own positioning fills nothing.
    connect(DataGrid1, &QTableView::clicked, this, &Form_sweeprun::DataGrid1_SelChange);
    connect(DataGrid1->verticalHeader(), &QHeaderView::sectionClicked, this,
            &Form_sweeprun::DataGrid1_SelChange);
}

void Form_sweeprun::reportStorage(const StorageError& error) {
    m_prompts.message(error.message());
}

void Form_sweeprun::Form_Load() {
    setWindowTitle(
        windowCaption(QUILLON_VERSION_MAJOR, QUILLON_VERSION_MINOR, QUILLON_VERSION_PATCH));
    applyStartupLayout();
    try {
        ROAD_DSP(QString());
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        reportStorage(error);
    }
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
    const bool enable = !runMode;
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

void Form_sweeprun::Timer1_Timer() {
    if (m_running || !isScheduledMinute(m_clock.now(), m_schedule)) {
        return;
    }
    Timer1->stop();
    Command7->setText(u"実行中"_s);
    Command7->setEnabled(false);
    m_running = true;
    YieldingObserver observer;
    MaintenanceRun run(m_values, m_fs, &observer);
    const RunOutcome outcome = run.EXEC_DEL(m_clock.now(), m_schedule.logDays);
    m_running = false;
    Command7->setEnabled(true);
    Command7->setText(u"設定"_s);

    // The list shows what the run did, however it ended, before anything is said.
    QStringList notice;
    try {
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        notice << error.message();
    }
    if (outcome.busy) {
        notice << runInProgressMessage(m_values.db_path);
    }
    if (!outcome.storageError.isEmpty()) {
        notice << outcome.storageError;
    }
    if (!outcome.failures.isEmpty()) {
        notice << failureSummary(outcome.failures);
    }
    // Nobody may be there to answer: what went wrong is shown without stopping the schedule,
    // and the next scheduled minute tries again. Only a missing directory needs the user.
    if (!notice.isEmpty()) {
        m_prompts.notify(notice.join(u'\n'));
    }
    if (outcome.result.isEmpty()) {
        Timer1->start();
    } else {
        m_prompts.message(missingDirectoryMessage(outcome.result));
        fnc_set(u"on"_s);
    }
    if (m_closeRequested) {
        close();
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

QSqlDatabase Form_sweeprun::gridDatabase(const QString& name) {
    const QString connectionName =
        u"quillon-grid-%1-%2"_s.arg(name).arg(reinterpret_cast<quintptr>(this));
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isValid()) {
        db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connectionName);
        m_gridConnections << connectionName;
    }
    if (!db.isOpen()) {
        db.setDatabaseName(m_values.cn_str);
        db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=10000"_s);
        if (!db.open()) {
            throw StorageError::fromSql(db.lastError());
        }
    }
    return db;
}

double Form_sweeprun::formInnerWidthTwips() const {
    return width() * 1440.0 / logicalDpiY();
}

void Form_sweeprun::setColumnWidths(QTableView* grid, const std::initializer_list<int>& shares) {
    int column = 0;
    for (const int share : shares) {
        const auto widthTwips =
            static_cast<float>((formInnerWidthTwips() - 600) * (share / 9000.0));
        grid->setColumnWidth(column++, twips(widthTwips));
    }
}

void Form_sweeprun::ROAD_DSP(const QString& order) {
    int total = 0;
    int position = 0;
    {
        Connection connection(m_values);
        total = countRows(connection, SqlText::selectAll(m_values.tbl_rule));
        position = countRows(connection, SqlText::selectBefore(m_values.tbl_rule, order));
    }
    m_ruleModel.setQuery(SqlText::selectOrdered(m_values.tbl_rule), gridDatabase(u"rules"_s));
    if (m_ruleModel.lastError().isValid()) {
        throw StorageError::fromSql(m_ruleModel.lastError());
    }
    while (m_ruleModel.canFetchMore()) {
        m_ruleModel.fetchMore();  // at most 999 rules
    }
    DataGrid1->setModel(&m_ruleModel);
    // A refreshed list starts at its top, with its scroll range already fitted to the rows.
    DataGrid1->doItemsLayout();
    DataGrid1->scrollToTop();
    setColumnWidths(DataGrid1, {500, 2000, 2000, 1100, 1100});
    GridRows rows(DataGrid1);
    positionRuleList(rows, total, position);
}

void Form_sweeprun::ROAD_DSP_2() {
    // Rows are fetched as the list is scrolled, so a long log opens at once.
    m_logModel.setQuery(SqlText::selectLog(m_values.tbl_log), gridDatabase(u"log"_s));
    if (m_logModel.lastError().isValid()) {
        throw StorageError::fromSql(m_logModel.lastError());
    }
    DataGrid2->setModel(&m_logModel);
    setColumnWidths(DataGrid2, {4000, 1500, 1000, 1500});
}

RuleTable Form_sweeprun::ruleTable() const {
    // Repaints go on while the table is renumbered, but no second action can start.
    return RuleTable(m_values,
                     [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
}

RuleEntry Form_sweeprun::ruleEntry() const {
    QString process;
    for (const QRadioButton* option : Option1) {
        if (option->isChecked()) {
            process = option->text();
        }
    }
    return {Text1->text().trimmed(), Text5->text().trimmed(), Text3->text().trimmed(),
            Text2->text().trimmed(), process};
}

void Form_sweeprun::Command3_Click() {
    const RuleEntry entry = ruleEntry();
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
    const QString file = m_prompts.chooseFile();
    if (!file.isEmpty()) {
        QDir::setCurrent(QFileInfo(file).absolutePath());
    }
    box->setText(QDir::toNativeSeparators(QDir::currentPath()));
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
