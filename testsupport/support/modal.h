// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Answering modal windows in tests. A modal window runs its own event loop
// until it closes, so the test's answer has to come from inside that loop:
// whenModalOpens queues an action that runs as soon as a modal window is
// active, and the action must close it. An action still waiting when a test
// ends must not answer the next test's windows: forgetModalActions drops it.

#include <functional>

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace testing_support {

inline QObject& waitingModalActions()
{
    static QObject waiting;
    return waiting;
}

inline void forgetModalActions()
{
    qDeleteAll(waitingModalActions().findChildren<QTimer*>(Qt::FindDirectChildrenOnly));
}

inline void whenModalOpens(std::function<void(QWidget*)> action)
{
    auto* poll = new QTimer(&waitingModalActions());
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, [poll, action = std::move(action)] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal) return;
        poll->stop();
        poll->deleteLater();
        action(modal);
    });
    poll->start();
}

}  // namespace testing_support
