// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The About window: the product's name and version.

#include <QDialog>

class Taboutform : public QDialog {
    Q_OBJECT

public:
    explicit Taboutform(QWidget* parent = nullptr);
};
