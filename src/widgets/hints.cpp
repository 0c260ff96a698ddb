// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/hints.h"

#include <QApplication>
#include <QMenu>
#include <QStatusTipEvent>
#include <QWidget>

namespace {

constexpr const char* HintProperty = "movaraHint";

}  // namespace

void setHint(QWidget* widget, const QString& hint)
{
    widget->setProperty(HintProperty, hint);
    widget->setToolTip(hint);
}

QString hintOf(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const QString hint = widget->property(HintProperty).toString();
        if (!hint.isEmpty()) return hint;
    }
    return {};
}

HintTracker::HintTracker(QObject* parent) : QObject(parent)
{
    qApp->installEventFilter(this);
}

HintTracker::~HintTracker()
{
    if (qApp) qApp->removeEventFilter(this);
}

namespace {

// Menus tell the hint of their highlighted entry themselves. The pointer
// entering or leaving a menu window, as it does when a submenu pops up under
// an entry that stays highlighted, says nothing about the hint.
bool isInMenu(const QObject* watched)
{
    const auto* widget = qobject_cast<const QWidget*>(watched);
    return widget && qobject_cast<const QMenu*>(widget->window());
}

}  // namespace

bool HintTracker::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::Enter || event->type() == QEvent::Leave) && isInMenu(watched))
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Enter:
        if (auto* widget = qobject_cast<QWidget*>(watched)) report(hintOf(widget));
        break;
    case QEvent::Leave:
        // Leaving a control puts the pointer back over its parent.
        if (auto* widget = qobject_cast<QWidget*>(watched))
            report(widget->isWindow() ? QString() : hintOf(widget->parentWidget()));
        break;
    case QEvent::StatusTip:
        // The hint of a highlighted menu entry. Taken here so that no window
        // shows it a second time in a status bar of its own.
        report(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void HintTracker::report(const QString& hint)
{
    if (hint == current) return;
    current = hint;
    emit hintChanged(current);
}
