#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <array>

#include "disk/file_system.h"
#include "rules/rule_checks.h"
#include "schedule/schedule.h"
#include "storage/module_values.h"
#include "storage/paged_query_model.h"
#include "ui/log_filter_bar.h"
#include "ui/log_list_model.h"
#include "ui/prompts.h"
#include "ui/run_controller.h"

class RuleTable;

// The one window. Its controls keep their numbered names; its handlers stay thin and call the
// plain classes of the core.
class Form_sweeprun : public QWidget {
    Q_OBJECT

public:
    Form_sweeprun(const ModuleValues& values, Prompts& prompts, const Clock& clock, FileSystem& fs,
                  QWidget* parent = nullptr);
    ~Form_sweeprun() override;

    void Form_Load();
    void fnc_set(const QString& mode);
    void combo_set();
    void set_read();
    int set_write();
    void ROAD_DSP(const QString& order);
    void ROAD_DSP_2();

    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    // 変更: after the user's yes, the rule shown in the editor takes what is typed, in its place.
    void changeRule();
    void Command5_Click();
    void Command7_Click();
    void DataGrid1_SelChange();
    void Timer1_Timer();
    // Once a second: a clock stepped since the minute timer was set brings its tick forward, and
    // in settings mode a new minute reads 前回 again.
    void followClock();
    // 予定: opens the preview of the next run, or plans it again.
    void openPreview();
    // 今すぐ実行: after the user's yes over the preview, a run of the stored rules now, like a
    // scheduled one.
    void runNow();
    // 実行履歴: the runs, newest first; one chosen shows its rows in the log list.
    void openHistory();

    // With a tray (where the desktop has one), closing the window in run mode leaves the
    // schedule running there; without, closing asks first.
    void useTray(bool available);

    const Schedule& schedule() const { return m_schedule; }
    bool running() const { return m_runs.running(); }

    // Groups.
    QGroupBox* Frame1;   // 元ディレクトリ
    QGroupBox* Frame2;   // 保守データ設定
    QGroupBox* Frame3;   // 実行曜日
    QGroupBox* Frame4;   // 保守スケジュール設定
    QGroupBox* Frame5;   // 実行時
    QGroupBox* Frame6;   // 実行分
    QGroupBox* Frame7;   // オペレーション
    QGroupBox* Frame8;   // 拡張子
    QGroupBox* Frame9;   // 残存日数
    QGroupBox* Frame10;  // 実行ログ
    QGroupBox* Frame11;  // ログ残存日数
    QGroupBox* Frame12;  // 先ディレクトリ
    QGroupBox* Frame13;  // 処理
    QGroupBox* Frame14;  // 順序
    QGroupBox* Frame15;  // 保管日数
    // Controls.
    QPushButton* Command1;                 // 選択 (source)
    QPushButton* Command2;                 // 実行
    QPushButton* Command3;                 // 登録
    QPushButton* Command4;                 // 削除
    QPushButton* Command5;                 // 選択 (destination)
    QPushButton* Command7;                 // 設定
    QPushButton* ChangeButton;             // 変更
    QPushButton* PreviewButton;            // 予定
    QLineEdit* Text1;                      // source directory
    QLineEdit* Text2;                      // retention days
    QLineEdit* Text3;                      // extension
    QLineEdit* Text4;                      // log retention days
    QLineEdit* Text5;                      // destination directory
    QLineEdit* Text6;                      // days a deleted file waits in the trash
    std::array<QCheckBox*, 7> Check1;      // 月 … 日
    std::array<QRadioButton*, 3> Option1;  // 複写 移動 削除
    QComboBox* Combo1;                     // hour
    QComboBox* Combo2;                     // minute
    QLabel* Label1;                        // order of the rule in the editor
    QLabel* LabelNext;                     // 設定中, or when the next run is
    QLabel* LabelLast;                     // what the last run came to
    QToolButton* SearchButton;             // 検索: opens the search line over the log
    LogFilterBar* FilterBar;               // the search line
    QLabel* LabelCount;                    // what the rule as typed would handle now
    QTableView* DataGrid1;                 // rules
    QTableView* DataGrid2;                 // run log
    QTimer* Timer1;
    QCheckBox* LoginStart;                   // ログイン時に起動
    class QSystemTrayIcon* Tray = nullptr;   // where the desktop has a tray
    QToolButton* HistoryButton;              // 履歴: opens the history of runs
    class PreviewWindow* Preview = nullptr;  // made when first asked for
    class HistoryWindow* History = nullptr;  // made when first asked for

protected:
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void placeBeside(QWidget* window);
    void wireHandlers();
    void showRunStarted();
    void showRunFinished(const RunNotice& notice);
    void setEditorsEnabled(bool enable);
    // The log list fills its group, below the search line while that is open.
    void placeLogGrid();
    void saveLogCsv();
    void showLogFiltered();       // the log list again, as the search line now asks
    LogFilter logFilter() const;  // the search line's, and the run chosen in the history
    void applyStartupLayout();
    // "前回 …": the last run any program finished.
    void showLastRun();
    int decorationHeight() const { return frameGeometry().height() - geometry().height(); }
    int twips(double value) const;
    // A column's designed share of the window's width, out of 9000, in pixels.
    int shareWidth(int share) const;
    void reportStorage(const class StorageError& error);
    void reopen();          // from the tray
    void showTrayStatus();  // the status line as the tray icon's tooltip
    void setLoginStart(bool enable);
    void chooseDirectory(QLineEdit* box);
    Rule ruleEntry() const;
    // Says why the entry cannot be a rule, with the focus on the field to mend; false if it can.
    bool entryRefused(const Rule& entry);
    // The editor shows the highlighted rule, or is empty with nothing highlighted.
    void showHighlightedRule();
    void clearRuleEditor();  // and nothing highlighted
    // The rules or settings changed: what shows them, or what follows from them, is redone.
    void rulesChanged();
    // The live count of the rule as typed, or a hint where what is typed cannot be counted.
    void countRule();
    // The minute timer fires in the first moments of the clock's next minute.
    void alignTimer();
    RuleTable ruleTable() const;

    ModuleValues m_values;
    Prompts& m_prompts;
    const Clock& m_clock;
    FileSystem& m_fs;
    Schedule m_schedule;
    PagedQueryModel m_ruleModel;
    LogListModel m_logModel;
    RunController m_runs;
    bool m_runMode = false;            // the schedule runs: the minute timer is set
    bool m_closeAgreed = false;        // the user agreed that closing ends the schedule
    bool m_resumeSchedule = false;     // the run under way was started in run mode
    qint64 m_shownRun = 0;             // the run whose rows the log list shows; 0: every run
    bool m_positioningRules = false;   // the rule list moves its current row itself
    int m_layoutDecoration = -1;       // the frame height the layout was made for; -1 before it
    int m_logGridHeight = 0;           // the log list's height without the search line
    QTimer m_countSettle;              // typing settles before the rule is counted
    QFileSystemWatcher m_sourceWatch;  // the folder counted
    bool m_recount = false;            // it changed while it was counted
    QTimer m_clockWatch;               // calls followClock
    QDateTime m_nextTick;              // the clock's time the minute timer is set for
    QDateTime m_statusMinute;          // the minute 前回 was last read in
    qint64 m_lastRunSeen = -1;         // the run 前回 showed; -1 before it was first read
};
