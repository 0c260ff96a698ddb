#include "shell/umain.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("Movara");
    Tzmain mainWindow;
    mainWindow.showMaximized();
    return application.exec();
}
