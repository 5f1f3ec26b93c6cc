#pragma once

#include <QStringList>
#include <functional>

#include "ui/prompts.h"

// Records every message and answers confirmations as told.
class ScriptedPrompts : public Prompts {
public:
    QStringList messages;
    QStringList notices;  // shown without waiting for the user
    QRect noticeArea;     // where the last one stands
    bool answer = true;
    std::function<void()> onMessage;

    void message(const QString& text) override {
        messages << text;
        if (onMessage) {
            onMessage();
        }
    }
    void notify(const QString& text, const QRect& area) override {
        notices << text;
        noticeArea = area;
    }
    QWidget* askedOver = nullptr;  // where the last confirmation stood; null: the main window
    bool confirm(const QString& text, QWidget* over = nullptr) override {
        messages << text;
        askedOver = over;
        return answer;
    }
    QString chosenPath;  // empty: the dialog is cancelled
    QString startedIn;   // where the last dialog opened
    QString choosePath(const QString& startIn) override {
        startedIn = startIn;
        return chosenPath;
    }
    QString savePath;  // empty: the save dialog is cancelled
    QString chooseSaveFile(const QString&) override { return savePath; }
};

class FixedClock : public Clock {
public:
    QDateTime time;
    QDateTime now() const override { return time; }
};
