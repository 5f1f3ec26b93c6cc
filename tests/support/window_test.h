#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "support/failing_file_system.h"
#include "support/temp_tree.h"
#include "support/ui_fakes.h"
#include "ui/form_sweeprun.h"

// Mondays at 09:05, the log kept 30 days.
inline const Schedule kMonday9h05{QStringLiteral("月"), QStringLiteral("09"), QStringLiteral("05"),
                                  QStringLiteral("30")};

// The real window on a fresh database, with prompts the test answers and a clock it sets.
class WindowTest : public testing::Test {
protected:
    // A window as the start-up procedure leaves it: loaded, shown and active.
    Form_sweeprun& start() {
        form = std::make_unique<Form_sweeprun>(tree.values(), prompts, clock, fs);
        form->Form_Load();
        form->show();
        QApplication::setActiveWindow(form.get());
        QApplication::processEvents();
        return *form;
    }

    // A tick of the window's minute timer at the clock's time; a run it starts works in the
    // background, and the test goes on once that has ended.
    void tick() {
        form->Timer1_Timer();
        waitForRun();
    }
    void waitForRun() {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !form->running(); }, 10000));
    }

    TempTree tree;
    ScriptedPrompts prompts;
    FixedClock clock;
    FailingFileSystem fs;  // the real disk unless a test injects a failure
    std::unique_ptr<Form_sweeprun> form;
};
