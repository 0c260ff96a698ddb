// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answering key presses on an object from outside it: the handler sees every
// key press sent to the object watched (to every object, when that is the
// application) and returns true for a key it took, which then goes no further.

#include <functional>

#include <QEvent>
#include <QKeyEvent>
#include <QObject>

class KeyPresses : public QObject {
public:
    using Handler = std::function<bool(QObject* receiver, const QKeyEvent& key)>;

    // Owned by owner; watches watched.
    KeyPresses(QObject* owner, QObject* watched, Handler handler) : QObject(owner), handler(std::move(handler))
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        return event->type() == QEvent::KeyPress && handler(receiver, *static_cast<QKeyEvent*>(event));
    }

private:
    Handler handler;
};
