// SPDX-License-Identifier: GPL-3.0-or-later
#include <iostream>

#include "shell/application.h"
#include "shell/commandline.h"
#include "shell/umain.h"
#include "shell/windowset.h"

int main(int argc, char* argv[])
{
    const movara::Request request = movara::requestOf(argc, argv);
    if (auto status = movara::answerWithoutWindows(request, std::cout)) return *status;
    if (request == movara::Request::Check) return movara::checkInstallation(argc, argv, std::cout);

    Application application(argc, argv);
    WindowSet windows;
    buildWindowSet(windows);
    windows.zmain->showMaximized();
    return application.exec();
}
