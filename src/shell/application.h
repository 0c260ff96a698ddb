// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The application object. Besides running the event loop it is the
// application-wide error display: an error that escapes any event handler
// abandons that one user action, is shown in a box titled with the
// application title, and the program goes on with the next event.

#include <QApplication>

class Application : public QApplication {
    Q_OBJECT

public:
    Application(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};
