// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What a screen reader finds on a window: walks every control of a window
// that takes input (buttons, check boxes, entry fields, lists, text panes,
// grids, sliders) and lists those whose accessible interface, as AT-SPI reads
// it, has no name, or no description. Each is listed by its object name or,
// without one, its class, with the window's title.

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTextEdit>
#include <QWidget>

namespace testing_support {

inline bool takesInput(const QWidget* widget)
{
    if (qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
        qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget) ||
        qobject_cast<const QAbstractSlider*>(widget) || qobject_cast<const QTextEdit*>(widget) ||
        qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractItemView*>(widget))
        return widget->focusPolicy() != Qt::NoFocus || qobject_cast<const QAbstractButton*>(widget);
    return false;
}

// The parts of a compound control (a combo box's line edit, a scroll bar of
// a pane) are announced through the control itself.
inline bool isPartOfAnotherControl(const QWidget* widget)
{
    // The toolkit's own parts (a toolbar's extension button) carry its names.
    if (widget->objectName().startsWith(QLatin1String("qt_"))) return true;
    for (const QWidget* parent = widget->parentWidget(); parent && !parent->isWindow();
         parent = parent->parentWidget())
        if (qobject_cast<const QComboBox*>(parent) || qobject_cast<const QAbstractSpinBox*>(parent) ||
            qobject_cast<const QAbstractScrollArea*>(parent))
            return true;
    return false;
}

inline QList<QWidget*> inputControls(QWidget* window)
{
    QList<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>())
        if (widget->window() == window && takesInput(widget) && !isPartOfAnotherControl(widget))
            controls.append(widget);
    return controls;
}

inline QString controlName(const QWidget* window, const QWidget* control)
{
    const QString name =
        control->objectName().isEmpty() ? QString::fromLatin1(control->metaObject()->className()) : control->objectName();
    return window->windowTitle() + QStringLiteral(": ") + name;
}

inline QStringList controlsWithout(QWidget* window, QAccessible::Text text)
{
    QStringList missing;
    for (QWidget* control : inputControls(window)) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
        if (!accessible || accessible->text(text).trimmed().isEmpty()) missing.append(controlName(window, control));
    }
    return missing;
}

inline QStringList controlsWithoutAccessibleName(QWidget* window)
{
    return controlsWithout(window, QAccessible::Name);
}

inline QStringList controlsWithoutAccessibleDescription(QWidget* window)
{
    return controlsWithout(window, QAccessible::Description);
}

}  // namespace testing_support
