#pragma once

#include <QStringList>
#include <functional>

#include "run/maintenance_run.h"

// Remembers what the run reported, and can act after each file as the window would.
class RunRecorder : public RunObserver {
public:
    QStringList rules;  // orders, as each rule started
    QStringList files;  // "<status> <path>" after each file
    std::function<void(const FileReport&)> afterFile;
    std::function<bool()> stop;  // asked before each rule and batch

    void ruleStarted(const Rule& rule) override { rules << rule.order; }
    void fileHandled(const FileReport& report) override {
        static const char* const kStatus[] = {"done", "failed", "skipped", "held"};
        files << QString::fromLatin1(kStatus[static_cast<int>(report.status)]) + u' ' + report.path;
        if (afterFile) {
            afterFile(report);
        }
    }
    bool stopWanted() const override { return stop && stop(); }
};
