// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the program's small dialogs share: a fixed frame with no minimise or
// maximise button (and no close button unless asked for), sized by its
// contents and centred on the screen whenever it is shown, and the OK and
// Cancel buttons, OK answering Enter and Cancel (like Esc) rejecting.

#include <cstdint>

#include <Qt>

class QBoxLayout;
class QDialog;
class QPushButton;
class QWidget;

enum class CloseButton { None, Shown };

void setFixedDialogFrame(QDialog* dialog, CloseButton close = CloseButton::None);

// The window manager hints a frame asks for. Many window managers draw every
// title-bar button unless the allowed functions are listed, so the list is
// always given: moving, and closing when the close button is asked for.
struct FrameHints {
    static constexpr std::uint32_t GivesFunctions = 1, GivesDecorations = 2;
    static constexpr std::uint32_t Resize = 2, Move = 4, Minimize = 8, Maximize = 16, Close = 32;
    static constexpr std::uint32_t Border = 2, Title = 8;
    std::uint32_t flags = 0;
    std::uint32_t functions = 0;
    std::uint32_t decorations = 0;
    std::uint32_t inputMode = 0;
    std::uint32_t status = 0;
};
FrameHints frameHintsFor(Qt::WindowFlags flags);

// Moves the window, frame included, to the centre of over (a window), or of
// the screen without one. Uses the frame the window manager draws when it is
// known, else that of another visible window.
void centreWindow(QWidget* window, const QWidget* over = nullptr);

// For a window without the fixed dialog frame: centred on the screen
// whenever it is shown, as the fixed frames are.
void centreOnEveryShow(QWidget* window);

// Enter (or Return) on the focused button clicks it, for a button that must
// not become the dialog's default and so would otherwise pass Enter on to it.
void clickOnEnter(QPushButton* button);

struct OkCancelButtons {
    QPushButton* ok;
    QPushButton* cancel;
};

// Adds the two buttons, right-aligned, to the end of the layout. The caller
// connects OK; Cancel runs the dialog's reject().
OkCancelButtons addOkCancelButtons(QDialog* dialog, QBoxLayout* layout);
