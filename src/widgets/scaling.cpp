// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/scaling.h"

#include <vector>

#include <QFont>
#include <QRect>
#include <QWidget>
#include <QtMath>

namespace {

struct Original {
    QWidget* widget;
    QFont font;
    QRect geometry;
};

int scaled(int value, int percent)
{
    return qRound(value * percent / 100.0);
}

QSize scaled(QSize size, int percent)
{
    const auto dimension = [percent](int value) { return value >= QWIDGETSIZE_MAX ? value : scaled(value, percent); };
    return {dimension(size.width()), dimension(size.height())};
}

QFont scaled(QFont font, int percent)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * percent / 100.0);
    else if (font.pixelSize() > 0)
        font.setPixelSize(scaled(font.pixelSize(), percent));
    return font;
}

bool placedByLayout(const QWidget* widget)
{
    return !widget->isWindow() && widget->parentWidget() && widget->parentWidget()->layout();
}

void scaleSizeLimits(QWidget* widget, int percent)
{
    const QSize minimum = scaled(widget->minimumSize(), percent);
    const QSize maximum = scaled(widget->maximumSize(), percent);
    widget->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    widget->setMinimumSize(minimum);
    widget->setMaximumSize(maximum);
}

}  // namespace

void scaleWindow(QWidget* window, int percent)
{
    if (!window || percent == 100) return;

    // Every font is read before any is changed: a control that inherits its
    // font would otherwise be scaled once through its parent and once more on
    // its own. Each control then gets its scaled font set explicitly.
    std::vector<Original> originals{{window, window->font(), window->geometry()}};
    for (QWidget* child : window->findChildren<QWidget*>())
        originals.push_back({child, child->font(), child->geometry()});

    for (const Original& original : originals) {
        QWidget* widget = original.widget;
        widget->setFont(scaled(original.font, percent));
        scaleSizeLimits(widget, percent);
        if (widget == window) {
            widget->resize(scaled(original.geometry.size(), percent));
        } else if (!placedByLayout(widget)) {
            const QRect& place = original.geometry;
            widget->setGeometry(scaled(place.x(), percent), scaled(place.y(), percent),
                                scaled(place.width(), percent), scaled(place.height(), percent));
        }
    }
}
