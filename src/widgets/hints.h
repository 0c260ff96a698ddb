// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Hints: the one-line help of a control or menu entry. The main window shows
// the current hint of the whole application in its status bar; controls also
// show theirs as a tooltip.
//
// A control's hint is kept on the widget itself; menu entries carry theirs as
// the action's status tip, which the toolkit reports while an entry is
// highlighted. The current hint is the hint of the control under the pointer,
// or of its nearest enclosing control that has one, or empty.

#include <QObject>
#include <QString>

class QWidget;

void setHint(QWidget* widget, const QString& hint);
// The widget's own hint, or that of its nearest ancestor that has one.
QString hintOf(const QWidget* widget);

// The control, named (unless name is empty) and given its hint.
template <typename Control> Control* hinted(Control* control, const char* name, const QString& hint)
{
    if (*name) control->setObjectName(QString::fromLatin1(name));
    setHint(control, hint);
    return control;
}

// Follows the pointer and the highlighted menu entry over every window of the
// application and reports each change of the current hint. Installed once on
// the application object.
class HintTracker : public QObject {
    Q_OBJECT

public:
    explicit HintTracker(QObject* parent = nullptr);
    ~HintTracker() override;

    QString currentHint() const { return current; }

signals:
    void hintChanged(const QString& hint);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report(const QString& hint);

    QString current;
};
