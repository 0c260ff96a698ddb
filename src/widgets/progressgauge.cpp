// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/progressgauge.h"

#include <algorithm>

#include <QPainter>

ProgressGauge::ProgressGauge(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void ProgressGauge::setMinimum(int minimum)
{
    low = minimum;
    update();
}

void ProgressGauge::setMaximum(int maximum)
{
    high = maximum;
    update();
}

void ProgressGauge::setPosition(int position)
{
    current = position;
    update();
}

void ProgressGauge::setFramed(bool framed)
{
    frame = framed;
    update();
}

int ProgressGauge::percent() const
{
    if (high <= low) return 0;
    const qint64 done = std::clamp(current, low, high) - qint64(low);
    return int(done * 100 / (qint64(high) - low));
}

QSize ProgressGauge::sizeHint() const
{
    return {200, fontMetrics().height() + 8};
}

void ProgressGauge::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    QRect bar = rect();
    painter.fillRect(bar, palette().color(QPalette::Base));
    if (frame) {
        painter.setPen(palette().color(QPalette::Dark));
        painter.drawLine(bar.topLeft(), bar.topRight());
        painter.drawLine(bar.topLeft(), bar.bottomLeft());
        painter.setPen(palette().color(QPalette::Light));
        painter.drawLine(bar.bottomLeft(), bar.bottomRight());
        painter.drawLine(bar.topRight(), bar.bottomRight());
        bar.adjust(1, 1, -1, -1);
    }
    QRect filled = bar;
    filled.setWidth(bar.width() * percent() / 100);
    painter.fillRect(filled, QColor(0, 0, 128));

    // The figure is drawn twice, clipped, so it reads on both parts of the bar.
    const QString figure = QString::number(percent()) + QLatin1Char('%');
    painter.setClipRect(filled);
    painter.setPen(Qt::white);
    painter.drawText(bar, Qt::AlignCenter, figure);
    painter.setClipRect(bar.adjusted(filled.width(), 0, 0, 0));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(bar, Qt::AlignCenter, figure);
}
