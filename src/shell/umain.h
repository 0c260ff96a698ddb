#pragma once

#include <QMainWindow>

class Tzmain : public QMainWindow {
    Q_OBJECT

public:
    explicit Tzmain(QWidget* parent = nullptr);
};
