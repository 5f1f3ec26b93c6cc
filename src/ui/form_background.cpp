// The window in the background: the tray icon, closing in run mode, and starting at login.
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QSystemTrayIcon>

#include "ui/autostart.h"
#include "ui/form_sweeprun.h"

using namespace Qt::StringLiterals;

void Form_sweeprun::useTray(bool available) {
    if (!available || Tray != nullptr) {
        return;
    }
    // With the window in the tray, closing the preview or the history closes no program; the
    // program ends when this window does.
    QApplication::setQuitOnLastWindowClosed(false);
    Tray = new QSystemTrayIcon(QApplication::windowIcon(), this);
    auto* menu = new QMenu(this);
    connect(menu->addAction(u"開く"_s), &QAction::triggered, this, &Form_sweeprun::reopen);
    connect(menu->addAction(u"終了"_s), &QAction::triggered, this, [this] {
        m_closeAgreed = true;  // the user ends the schedule knowingly
        close();
    });
    Tray->setContextMenu(menu);
    connect(Tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason why) {
        if (why == QSystemTrayIcon::Trigger || why == QSystemTrayIcon::DoubleClick) {
            reopen();
        }
    });
    showTrayStatus();
    Tray->show();
}

void Form_sweeprun::reopen() {
    showNormal();
    raise();
    activateWindow();
}

void Form_sweeprun::showTrayStatus() {
    if (Tray != nullptr) {
        Tray->setToolTip(u"Quillon\n"_s + LabelNext->text() + u'\n' + LabelLast->text());
    }
}

void Form_sweeprun::closeEvent(QCloseEvent* event) {
    if (m_runMode && !m_closeAgreed) {
        // The schedule runs only while the window does: with a tray it goes on there.
        if (Tray != nullptr) {
            hide();
            event->ignore();
            return;
        }
        if (!m_prompts.confirm(
                u"ウィンドウを閉じると、スケジュールの実行は止まります。閉じますか?\n"
                u"ウィンドウなしで実行するには、ユーザータイマーを有効にしてください"
                u"（systemctl --user enable --now quillon-batch.timer）。"_s)) {
            event->ignore();
            return;
        }
        m_closeAgreed = true;
    }
    // A run finishes first; the window closes right after it.
    if (!m_runs.mayClose()) {
        event->ignore();
        return;
    }
    event->accept();
    if (Tray != nullptr) {
        Tray->hide();
        QApplication::quit();
    }
}

void Form_sweeprun::setLoginStart(bool enable) {
    if (const QString problem = Autostart::set(enable, QApplication::applicationFilePath());
        !problem.isEmpty()) {
        m_prompts.message(problem);
        const QSignalBlocker quiet(LoginStart);
        LoginStart->setChecked(Autostart::enabled());
    }
}
