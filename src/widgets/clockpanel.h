// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A digital clock: the time of day with seconds in 12-hour form and without a
// leading zero on the hour ("1:05:09 PM"), in green figures on a dark panel.
// It keeps itself up to date from a timer of its own, set to fire just after
// each turn of the second so that no second is skipped.

#include <QTime>
#include <QTimer>
#include <QWidget>

class ClockPanel : public QWidget {
    Q_OBJECT

public:
    explicit ClockPanel(QWidget* parent = nullptr);

    static QString clockText(const QTime& time);
    QString text() const { return shown; }

    void setFigureColor(const QColor& color);
    QColor figureColor() const { return figures; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void tick();

    QTimer timer;
    QString shown;
    QColor figures{0, 255, 0};
};
