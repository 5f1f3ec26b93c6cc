#pragma once

// What the benchmark's window programs share: a clock set to a given time, and a probe that
// asks a window to repaint every 50 ms, as a screen that shows something changing would, and
// notes how long its requests waited.
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "ui/prompts.h"

class SetClock : public Clock {
public:
    explicit SetClock(const char* time)
        : m_now(QDateTime::fromString(QString::fromLatin1(time),
                                      QStringLiteral("yyyy/MM/dd HH:mm:ss"))) {}
    QDateTime now() const override { return m_now; }

private:
    QDateTime m_now;
};

class RepaintProbe : public QObject {
public:
    // Starts counting and asking at once.
    explicit RepaintProbe(QWidget& window) {
        window.installEventFilter(this);
        m_probe.setInterval(50);
        QObject::connect(&m_probe, &QTimer::timeout, [this, &window] {
            m_handled.push_back(m_clock.nsecsElapsed());
            window.update();
        });
        m_clock.start();
        m_probe.start();
    }

    // "<seconds since the start> <longest wait for events in ms> <repaints per second>"
    void print() {
        const qint64 total = m_clock.nsecsElapsed();
        m_handled.push_back(total);
        qint64 longest = m_handled.front();
        for (size_t i = 1; i < m_handled.size(); ++i) {
            longest = std::max(longest, m_handled[i] - m_handled[i - 1]);
        }
        std::printf("%.3f %.0f %.1f\n", total / 1e9, longest / 1e6, m_paints / (total / 1e9));
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        m_paints += event->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }

private:
    QElapsedTimer m_clock;
    QTimer m_probe;
    std::vector<qint64> m_handled;  // when the probe's requests were handled
    int m_paints = 0;
};
