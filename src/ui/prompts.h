#pragma once

#include <QDateTime>
#include <QPointer>
#include <QRect>
#include <QString>

class QMessageBox;
class QWidget;

// What the window asks of the user, behind an interface so tests can answer.
class Prompts {
public:
    virtual ~Prompts() = default;
    // A message with an OK button.
    virtual void message(const QString& text) = 0;
    // The same, without waiting for the user, at the lower right of `area` (global
    // coordinates): the window and its timer go on while it is open, and a later notice, or a
    // message, replaces one still open, so there is one at a time.
    virtual void notify(const QString& text, const QRect& area) = 0;
    // OK and Cancel, over `over` (the main window when it is null); true only for OK.
    virtual bool confirm(const QString& text, QWidget* over = nullptr) = 0;
    // The file dialog, opened in `startIn`: the file or the folder the user confirmed, or empty
    // when it was cancelled.
    virtual QString choosePath(const QString& startIn) = 0;
    // The save dialog, offering `suggested`: the file to write, or empty when it was cancelled.
    virtual QString chooseSaveFile(const QString& suggested) = 0;
};

// The clock the schedule check reads, so tests can set the time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

// Modal message boxes titled "Quillon", without an icon.
class MessageBoxPrompts : public Prompts {
public:
    explicit MessageBoxPrompts(QWidget* parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget* parent) { m_parent = parent; }
    void message(const QString& text) override;
    void notify(const QString& text, const QRect& area) override;
    bool confirm(const QString& text, QWidget* over = nullptr) override;
    QString choosePath(const QString& startIn) override;
    QString chooseSaveFile(const QString& suggested) override;

private:
    QWidget* m_parent;
    QPointer<QMessageBox> m_notice;  // the open notice, if any
};

// Loads Qt's own Japanese texts, so the dialogs' buttons read OK / キャンセル. False when the
// translation is not installed.
bool installJapaneseTranslation();

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};
