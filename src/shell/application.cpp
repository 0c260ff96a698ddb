// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/application.h"

#include <exception>

#include "widgets/messages.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv)
{
    setApplicationName(ApplicationTitle);
}

bool Application::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showErrorDisplay(QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorDisplay(QStringLiteral("Unexpected error"));
    }
    return false;
}
