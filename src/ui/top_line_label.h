#pragma once

#include <QLabel>
#include <QPainter>

// A right-aligned label set into a group's top line: the line stops short of its text instead of
// striking through it.
class TopLineLabel : public QLabel {
public:
    TopLineLabel() { setAlignment(Qt::AlignRight | Qt::AlignVCenter); }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (!text().isEmpty()) {
            const int pad = fontMetrics().averageCharWidth() / 2 + 2;
            const int textWidth = fontMetrics().horizontalAdvance(text()) + pad;
            QPainter(this).fillRect(width() - textWidth, 0, textWidth, height(),
                                    palette().color(backgroundRole()));
        }
        QLabel::paintEvent(event);
    }
};
