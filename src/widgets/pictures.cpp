// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/pictures.h"

#include <functional>

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

namespace {

// Every picture is drawn on a 32 by 32 grid and scaled to the size asked for.
QPixmap draw(int size, const std::function<void(QPainter&)>& paint)
{
    // Drawn for the screen's pixels, so that they stay sharp on a HiDPI desktop.
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    QPixmap picture(QSize(size, size) * ratio);
    picture.setDevicePixelRatio(ratio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);
    paint(painter);
    return picture;
}

}  // namespace

QPixmap exitPicture(int size)
{
    return draw(size, [](QPainter& painter) {
        // An open door with an arrow leaving through it.
        painter.setPen(QPen(QColor(60, 40, 20), 1.5));
        painter.setBrush(QColor(150, 100, 50));
        painter.drawRect(QRectF(4, 3, 14, 26));
        painter.setBrush(QColor(110, 70, 30));
        painter.drawPolygon(QPolygonF({{4, 3}, {12, 6}, {12, 31}, {4, 29}}));
        painter.setBrush(QColor(230, 200, 60));
        painter.drawEllipse(QPointF(10, 17), 1.2, 1.2);
        QPainterPath arrow;
        arrow.moveTo(15, 14);
        arrow.lineTo(23, 14);
        arrow.lineTo(23, 9);
        arrow.lineTo(31, 17);
        arrow.lineTo(23, 25);
        arrow.lineTo(23, 20);
        arrow.lineTo(15, 20);
        arrow.closeSubpath();
        painter.setPen(QPen(QColor(120, 0, 0), 1.2));
        painter.setBrush(QColor(210, 30, 30));
        painter.drawPath(arrow);
    });
}

QPixmap resultsPicture(int size)
{
    return draw(size, [](QPainter& painter) {
        // A sheet with a bar chart.
        painter.setPen(QPen(QColor(60, 60, 60), 1.2));
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(3, 2, 26, 28));
        painter.setPen(Qt::NoPen);
        const QColor bars[] = {QColor(0, 0, 160), QColor(0, 128, 0), QColor(200, 0, 0), QColor(0, 128, 128)};
        const double heights[] = {10, 18, 13, 22};
        for (int bar = 0; bar < 4; ++bar) {
            painter.setBrush(bars[bar]);
            painter.drawRect(QRectF(6 + bar * 5.5, 27 - heights[bar], 4, heights[bar]));
        }
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.drawLine(QPointF(5, 27.5), QPointF(27, 27.5));
    });
}

QPixmap helpPicture(int size)
{
    return draw(size, [](QPainter& painter) {
        // A question mark on a blue disc.
        painter.setPen(QPen(QColor(0, 0, 100), 1.5));
        painter.setBrush(QColor(40, 90, 200));
        painter.drawEllipse(QRectF(2, 2, 28, 28));
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setBold(true);
        font.setPixelSize(22);
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QPixmap keyPicture(int size)
{
    return draw(size, [](QPainter& painter) {
        // A brass key lying across the picture.
        painter.setPen(QPen(QColor(110, 80, 0), 1.5));
        painter.setBrush(QColor(220, 180, 40));
        painter.drawEllipse(QRectF(2, 9, 14, 14));
        QPainterPath blade;
        blade.addRect(QRectF(15, 14, 15, 4));
        blade.addRect(QRectF(24, 18, 2.5, 5));
        blade.addRect(QRectF(28, 18, 2, 4));
        painter.drawPath(blade.simplified());
        painter.setBrush(Qt::white);
        painter.drawEllipse(QRectF(5.5, 13.5, 5, 5));
    });
}

QPixmap programPicture(int size)
{
    return draw(size, [](QPainter& painter) {
        // A numeric keypad.
        painter.setPen(QPen(QColor(40, 60, 40), 1.2));
        painter.setBrush(QColor(90, 130, 90));
        painter.drawRoundedRect(QRectF(2, 2, 28, 28), 3, 3);
        painter.setBrush(QColor(235, 240, 235));
        for (int row = 0; row < 4; ++row) {
            for (int column = 0; column < 3; ++column)
                painter.drawRoundedRect(QRectF(4.5 + column * 6.5, 4.5 + row * 6.5, 5, 5), 1, 1);
        }
        painter.setBrush(QColor(230, 200, 60));
        painter.drawRoundedRect(QRectF(24, 4.5, 4, 24), 1, 1);
    });
}
