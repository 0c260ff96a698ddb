// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The pass criteria dialog: per test kind a minimum net KPH and a minimum
// accuracy, each left empty (or 0) for none. Opened modally behind the
// administrator-password gate; Save writes criteria.dat beside the program
// as one unit and closes, Cancel changes nothing. A figure that is not a
// number, or an accuracy above 100, is refused with a message naming the
// field, and the dialog stays open on it.

#include <array>
#include <optional>

#include <QDialog>

#include "scoring/criteria.h"

class QLineEdit;
class QPushButton;

class TcriteriaForm : public QDialog {
    Q_OBJECT

public:
    explicit TcriteriaForm(QWidget* parent = nullptr);

    // The criteria are read afresh; a table that cannot be read is reported
    // and the dialog does not open.
    int exec() override;

    // Per kind, in the order of TestKind.
    std::array<QLineEdit*, 3> NetKphEdits{};
    std::array<QLineEdit*, 3> AccuracyEdits{};
    QPushButton* SaveBtn;
    QPushButton* CancelBtn;

private:
    void FormShow();
    void SaveBtnClick();
    // The figure of a field, or nothing after the message that refuses it.
    std::optional<double> figureOf(QLineEdit* field, const QString& what, double maximum);
};
