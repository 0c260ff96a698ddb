// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A progress gauge: a bar filled in proportion to where its position stands
// between its minimum and maximum, with that share in percent in its middle.
// The position is kept as given; only the drawing holds it within the range.

#include <QWidget>

class ProgressGauge : public QWidget {
    Q_OBJECT

public:
    explicit ProgressGauge(QWidget* parent = nullptr);

    void setMinimum(int minimum);
    int minimum() const { return low; }
    void setMaximum(int maximum);
    int maximum() const { return high; }
    void setPosition(int position);
    int position() const { return current; }

    // Draws a sunken frame around the bar.
    void setFramed(bool framed);
    bool framed() const { return frame; }

    // The share of the range covered, 0 to 100; 0 while the range is empty.
    int percent() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int low = 0;
    int high = 100;
    int current = 0;
    bool frame = false;
};
