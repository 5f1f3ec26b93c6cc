#pragma once

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <memory>

#include "disk/file_system.h"
#include "schedule/schedule.h"
#include "storage/module_values.h"
#include "ui/background_work.h"
#include "ui/plan_model.h"
#include "ui/prompts.h"

// 予定: what the next run would do, rule by rule and file by file, worked out on a worker
// thread while the windows go on. Beside the main window, not over it: it can stay open.
class PreviewWindow : public QWidget {
    Q_OBJECT

public:
    PreviewWindow(const ModuleValues& values, FileSystem& fs, const Clock& clock, QWidget* parent);

    // Works the plan out again, as of the schedule's next minute or now, as Basis says; a plan
    // still under way is dropped.
    void plan(const Schedule& schedule);
    // 再計算 (F5): the same plan, worked out again on the tree as it is now.
    void planAgain() { plan(m_schedule); }
    // Stops the plan under way, if any.
    void cancelPlan();
    // 今すぐ実行 cannot be pressed while a run works.
    void setRunAllowed(bool allowed);
    bool planning() const { return m_planning.busy(); }
    // How many files the plan shown would handle; -1 while none is shown.
    qsizetype shownFiles() const { return m_shownFiles; }
    const PlanModel& model() const { return m_model; }

    QComboBox* Basis;  // 次回の予定時刻 / 今
    QLabel* When;      // the time the plan is as of
    QTreeView* List;
    QLabel* Status;  // the running count, then the totals and what would stop the run
    QPushButton* CancelButton;
    QPushButton* PlanAgainButton;  // 再計算
    QPushButton* RunNowButton;
    QPushButton* CloseButton;

signals:
    // 今すぐ実行, on a plan that matches the stored rules and settings.
    void runNowRequested();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showPlan(const std::shared_ptr<const RunPlan>& plan);
    void showCount();
    void updateButtons();
    // The column as wide as the widest of the texts and its header.
    void fitColumn(int column, QStringList texts);
    // What the plan is worked out from, besides the tree: the stored rules and the trash's days.
    QStringList basis() const;

    ModuleValues m_values;
    FileSystem& m_fs;
    const Clock& m_clock;
    Schedule m_schedule;
    PlanModel m_model;
    BackgroundWork m_planning;
    std::shared_ptr<std::atomic<qsizetype>> m_planned;  // how far the plan under way got
    QTimer m_countTimer;
    QStringList m_basis;  // basis() when the plan shown was started
    qsizetype m_shownFiles = -1;
    bool m_runAllowed = true;
};
