// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The settings dialog: edits the configuration row directly, through
// controls bound to its columns on the dialog's own handle, and on Save
// stores the row and reloads Settings from it. Opened modally behind the
// administrator-password gate; the main window rebuilds the test windows
// afterwards when the scale changed.

#include <functional>

#include <QDialog>

#include "store/storetable.h"

class BoundCheckBox;
class BoundEdit;
class BoundPickList;
class QGroupBox;
class QLabel;
class QPushButton;
class Tdbfuncs;

class Tsettingsform : public QDialog {
    Q_OBJECT

public:
    // The configuration access module is reached only on Save: it is built
    // after this dialog.
    explicit Tsettingsform(std::function<Tdbfuncs&()> dbfuncs, QWidget* parent = nullptr);
    ~Tsettingsform() override;

    // A table that cannot be opened is reported and the dialog does not open.
    int exec() override;
    void done(int result) override;

    store::StoreTable configdb{"configdb"};

    BoundEdit* DBEdit1;  // realtime
    BoundEdit* DBEdit2;  // practicetime
    BoundCheckBox* DBCheckBox1;  // useuppercase
    BoundCheckBox* DBCheckBox2;  // remembername
    BoundCheckBox* DBCheckBox3;  // usedecimal
    BoundCheckBox* DBCheckBox4;  // autoadvance
    BoundPickList* DBComboBox1;  // width
    BoundCheckBox* DBCheckBox5;  // presults
    BoundCheckBox* DBCheckBox6;  // rresults
    BoundPickList* DBComboBox2;  // scalefactor
    QPushButton* SaveBtn;
    QPushButton* CancelBtn;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* buildTimeGroup();
    QGroupBox* buildOptionsGroup();
    QGroupBox* buildResultsGroup();
    QGroupBox* buildScalingGroup();
    void setTabOrderOfControls();

    void FormShow();
    void DBEdit1Exit();
    void DBEdit2Exit();
    void SaveBtnClick();
    void CancelBtnClick();
    void checkTime(BoundEdit* field, const char* column);
    void refuseLeaving(QWidget* field);

    std::function<Tdbfuncs&()> dbfuncs;
    // A field refused to be left and the focus is on its way back to it.
    bool leavingRefused = false;
    // The press that began the current click on Save found a leaving refused.
    bool pressRefused = false;
};
