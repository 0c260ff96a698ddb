#pragma once

// What the program's small dialogs share: a fixed frame without title-bar
// buttons, sized by its contents and centred on the screen, and the OK and
// Cancel buttons, OK answering Enter and Cancel (like Esc) rejecting.

class QBoxLayout;
class QDialog;
class QPushButton;

void setFixedDialogFrame(QDialog* dialog);

struct OkCancelButtons {
    QPushButton* ok;
    QPushButton* cancel;
};

// Adds the two buttons, right-aligned, to the end of the layout. The caller
// connects OK; Cancel runs the dialog's reject().
OkCancelButtons addOkCancelButtons(QDialog* dialog, QBoxLayout* layout);
