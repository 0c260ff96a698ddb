#include "shell/application.h"
#include "shell/umain.h"
#include "shell/windowset.h"

int main(int argc, char* argv[])
{
    Application application(argc, argv);
    WindowSet windows;
    buildWindowSet(windows);
    windows.zmain->showMaximized();
    return application.exec();
}
