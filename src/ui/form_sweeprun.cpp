#include "ui/form_sweeprun.h"

#include <QHeaderView>
#include <QShortcut>

#include "schedule/next_run_text.h"
#include "schedule/schedule_checks.h"
#include "schedule/schedule_form.h"
#include "schedule/schedule_store.h"
#include "storage/storage_error.h"
#include "text/number_text.h"
#include "ui/autostart.h"
#include "ui/preview_window.h"
#include "ui/window_layout.h"

using namespace Qt::StringLiterals;

Form_sweeprun::Form_sweeprun(const ModuleValues& values, Prompts& prompts, const Clock& clock,
                             FileSystem& fs, QWidget* parent)
    : QWidget(parent),
      m_values(values),
      m_prompts(prompts),
      m_clock(clock),
      m_fs(fs),
      m_ruleModel(values),
      m_logModel(values),
      m_runs(values, clock, fs) {
    setObjectName(u"Form_sweeprun"_s);
    buildControls();
    DataGrid1->setModel(&m_ruleModel);
    DataGrid2->setModel(&m_logModel);
    wireHandlers();
}

Form_sweeprun::~Form_sweeprun() = default;

void Form_sweeprun::wireHandlers() {
    // The operation buttons, the schedule clock and the runs.
    connect(Command2, &QPushButton::clicked, this, &Form_sweeprun::Command2_Click);
    connect(Command7, &QPushButton::clicked, this, &Form_sweeprun::Command7_Click);
    connect(Timer1, &QTimer::timeout, this, &Form_sweeprun::Timer1_Timer);
    m_clockWatch.setInterval(1000);
    connect(&m_clockWatch, &QTimer::timeout, this, &Form_sweeprun::followClock);
    m_clockWatch.start();
    connect(&m_runs, &RunController::runStarted, this, &Form_sweeprun::showRunStarted);
    connect(&m_runs, &RunController::runProgressed, this, [this](qsizetype files) {
        LabelNext->setText(u"実行中 "_s + countText(files) + u" 件"_s);
    });
    connect(&m_runs, &RunController::runFinished, this, &Form_sweeprun::showRunFinished);
    connect(&m_runs, &RunController::closeWanted, this, &QWidget::close);
    connect(LoginStart, &QCheckBox::toggled, this, &Form_sweeprun::setLoginStart);
    // The preview of the next run.
    auto* preview = new QShortcut(Qt::CTRL | Qt::Key_P, this);
    connect(preview, &QShortcut::activated, this, &Form_sweeprun::openPreview);
    connect(PreviewButton, &QPushButton::clicked, this, &Form_sweeprun::openPreview);
    // The history of runs.
    connect(HistoryButton, &QToolButton::clicked, this, &Form_sweeprun::openHistory);
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
    connect(&m_countSettle, &QTimer::timeout, this, &Form_sweeprun::countRule);
    connect(&m_runs, &RunController::ruleCounted, this, [this](const QString& text) {
        LabelCount->setText(text);
        if (m_recount) {  // the folder changed while it was counted
            m_countSettle.start();
        }
    });
    for (QLineEdit* box : {Text1, Text3, Text2}) {
        connect(box, &QLineEdit::textChanged, this, [this] {
            m_runs.cancelCount();  // what it counts is no longer what is typed
            LabelCount->clear();
            m_countSettle.start();
        });
    }
    // Files come and go in the folder counted: counted again, but never a count cut short.
    connect(&m_sourceWatch, &QFileSystemWatcher::directoryChanged, this, [this] {
        if (m_runs.counting()) {
            m_recount = true;
        } else if (!m_runs.running() && !m_countSettle.isActive()) {
            m_countSettle.start();
        }
    });
    // The rule editor's buttons.
    connect(Command1, &QPushButton::clicked, this, &Form_sweeprun::Command1_Click);
    connect(Command3, &QPushButton::clicked, this, &Form_sweeprun::Command3_Click);
    connect(ChangeButton, &QPushButton::clicked, this, &Form_sweeprun::changeRule);
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
    clearRuleEditor();  // nothing is picked yet
    showLastRun();
    combo_set();
    {
        const QSignalBlocker quiet(LoginStart);
        LoginStart->setChecked(Autostart::enabled());
    }
    Timer1->stop();
    set_read();
    Command2_Click();
}

void Form_sweeprun::fnc_set(const QString& mode) {
    const bool runMode = mode.toUpper() == u"OFF"_s;
    m_runMode = runMode;
    if (runMode) {
        alignTimer();
    } else {
        Timer1->stop();
    }
    Command7->setEnabled(runMode);
    LabelNext->setText(runMode ? nextRunText(m_clock.now(), m_schedule) : u"設定中"_s);
    setEditorsEnabled(!runMode);
}

void Form_sweeprun::set_read() {
    try {
        if (const std::optional<Schedule> stored = readStoredSchedule(m_values)) {
            m_schedule = *stored;
        }
    } catch (const StorageError& error) {
        reportStorage(error);
    }
    try {
        Text6->setText(readTrashDays(m_values));
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
    const QString trashDays = Text6->text().trimmed();
    auto failure = checkSchedule(m_schedule);
    if (!failure) {
        failure = checkTrashDays(trashDays);
    }
    if (failure) {
        m_prompts.message(failure->message);
        QWidget* const fields[] = {Combo1, Combo2, Text4, Text6};  // in ScheduleField's order
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
        writeTrashDays(m_values, trashDays);
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
        rulesChanged();  // the schedule, and the trash's days, may be new
    }
}

void Form_sweeprun::Command7_Click() {
    fnc_set(u"on"_s);
}

void Form_sweeprun::runNow() {
    if (!m_runs.running() && m_prompts.confirm(u"今すぐ実行しますか？（計 "_s +
                                                   countText(Preview->shownFiles()) + u" 件）"_s,
                                               Preview)) {
        m_runs.runNow(m_schedule);
    }
}

void Form_sweeprun::showRunStarted() {
    // Asked for in settings, the run leaves the window in settings; its editors wait meanwhile.
    m_resumeSchedule = m_runMode;
    Timer1->stop();
    setEditorsEnabled(false);
    Command7->setText(u"実行中"_s);
    Command7->setEnabled(false);
    LabelNext->setText(u"実行中 0 件"_s);  // the minute that runs is no longer the next
}

void Form_sweeprun::showRunFinished(const RunNotice& notice) {
    Command7->setText(u"設定"_s);
    showLastRun();
    // The list shows what the run did, however it ended, before anything is said.
    QStringList problems;
    try {
        ROAD_DSP_2();
    } catch (const StorageError& error) {
        problems << error.message();
    }
    problems << notice.problems;
    // Only a missing directory, or a stored rule that cannot run, needs the user; it is said
    // first, alone, and the rules wait in settings to be mended.
    if (!notice.stop.isEmpty()) {
        fnc_set(u"on"_s);  // nothing runs while the message waits for the user
        m_prompts.message(notice.stop);
    } else {
        fnc_set(m_resumeSchedule ? u"off"_s : u"on"_s);
    }
    // Nobody may be there to answer: what went wrong is shown without stopping the schedule,
    // and the next scheduled minute tries again. The notice stands over the log list, where the
    // run's rows are, and covers none of the editors.
    if (!problems.isEmpty()) {
        m_prompts.notify(notice.headline + u'\n' + problems.join(u'\n'),
                         QRect(DataGrid2->mapToGlobal(QPoint()), DataGrid2->size()));
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
