#include "shell/umain.h"

#include <QApplication>

Tzmain::Tzmain(QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle(QApplication::applicationName());
}
