// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/clockpanel.h"

#include <QPainter>

namespace {

constexpr int Padding = 6;
// The widest text the clock ever shows, for its size.
const QString WidestText = QStringLiteral("00:00:00 PM");

}  // namespace

ClockPanel::ClockPanel(QWidget* parent) : QWidget(parent)
{
    QFont figuresFont(QStringLiteral("DejaVu Sans Mono"));
    figuresFont.setStyleHint(QFont::Monospace);
    figuresFont.setBold(true);
    figuresFont.setPointSizeF(font().pointSizeF() * 1.5);
    setFont(figuresFont);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &ClockPanel::tick);
    tick();
}

QString ClockPanel::clockText(const QTime& time)
{
    return time.toString(QStringLiteral("h:mm:ss AP"));
}

void ClockPanel::setFigureColor(const QColor& color)
{
    figures = color;
    update();
}

QSize ClockPanel::sizeHint() const
{
    const QFontMetrics metrics(font());
    return {metrics.horizontalAdvance(WidestText) + 2 * Padding, metrics.height() + 2 * Padding};
}

void ClockPanel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor(16, 32, 16));
    painter.setPen(QColor(96, 128, 96));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.setPen(figures);
    painter.drawText(rect(), Qt::AlignCenter, shown);
}

void ClockPanel::tick()
{
    const QTime now = QTime::currentTime();
    const QString text = clockText(now);
    if (text != shown) {
        shown = text;
        update();
    }
    timer.start(1000 - now.msec() + 10);
}
