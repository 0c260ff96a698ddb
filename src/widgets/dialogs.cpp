// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/dialogs.h"

#include <QApplication>
#include <QBoxLayout>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include "widgets/keypresses.h"

#ifdef MOVARA_HAVE_XCB
#include <QGuiApplication>
#include <xcb/xcb.h>
#endif

namespace {

// The toolkit writes the window manager hints when it creates the window,
// without the list of functions; they are written again between that and
// the window's first mapping, which is when the window manager reads them.
void writeFrameHints([[maybe_unused]] QWidget* window)
{
#ifdef MOVARA_HAVE_XCB
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window->windowHandle()) return;
    auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection) return;
    const char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    if (!atom) return;
    const FrameHints hints = frameHintsFor(window->windowFlags());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()), atom->atom, atom->atom, 32,
                        5, &hints);
    xcb_flush(connection);
    free(atom);
#endif
}

// Runs before the dialog's own show step, so the toolkit's placement, which
// guesses the frame and misses the centre by it, is not used.
class Placement : public QObject {
public:
    Placement(QWidget* window, bool fixedFrame) : QObject(window), fixedFrame(fixedFrame) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && !event->spontaneous()) {
            auto* window = static_cast<QWidget*>(watched);
            if (fixedFrame) writeFrameHints(window);
            centreWindow(window);
        }
        return false;
    }

private:
    bool fixedFrame;
};

QMargins frameMargins(const QWidget* window)
{
    return window->windowHandle() ? window->windowHandle()->frameMargins() : QMargins();
}

// Before its first mapping a window's frame is unknown; the frame of a window
// already on screen is the best guess, the window manager drawing them alike.
QMargins guessedFrame(const QWidget* window)
{
    for (const QWidget* other : QApplication::topLevelWidgets()) {
        if (other == window || !other->isVisible()) continue;
        const QMargins seen = frameMargins(other);
        if (!seen.isNull()) return seen;
    }
    return {};
}

}  // namespace

FrameHints frameHintsFor(Qt::WindowFlags flags)
{
    FrameHints hints;
    hints.flags = FrameHints::GivesFunctions | FrameHints::GivesDecorations;
    hints.functions = FrameHints::Move;
    if (flags & Qt::WindowCloseButtonHint) hints.functions |= FrameHints::Close;
    if (flags & Qt::WindowMinimizeButtonHint) hints.functions |= FrameHints::Minimize;
    if (flags & Qt::WindowMaximizeButtonHint) hints.functions |= FrameHints::Maximize | FrameHints::Resize;
    if (!(flags & Qt::FramelessWindowHint)) hints.decorations = FrameHints::Border | FrameHints::Title;
    return hints;
}

void centreWindow(QWidget* window, const QWidget* over)
{
    QRect area;
    if (over) {
        area = over->frameGeometry();
    } else if (const QScreen* screen = window->screen()) {
        area = screen->availableGeometry();
    }
    if (area.isEmpty()) return;
    const QMargins own = frameMargins(window);
    const QMargins frame = own.isNull() ? guessedFrame(window) : own;
    const QSize outer = window->size().grownBy(frame);
    const QPoint corner = area.center() - QPoint(outer.width() / 2, outer.height() / 2);
    // A window's position is that of its frame once the frame is known;
    // before, it is that of its contents, the frame drawn around them.
    window->move(own.isNull() ? corner + QPoint(frame.left(), frame.top()) : corner);
}

void setFixedDialogFrame(QDialog* dialog, CloseButton close)
{
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (close == CloseButton::Shown) flags |= Qt::WindowCloseButtonHint | Qt::WindowSystemMenuHint;
    dialog->setWindowFlags(flags);
    dialog->setSizeGripEnabled(false);
    if (dialog->layout()) dialog->layout()->setSizeConstraint(QLayout::SetFixedSize);
    dialog->installEventFilter(new Placement(dialog, true));
}

void centreOnEveryShow(QWidget* window)
{
    window->installEventFilter(new Placement(window, false));
}

void clickOnEnter(QPushButton* button)
{
    new KeyPresses(button, button, [button](QObject*, const QKeyEvent& key) {
        if (key.key() != Qt::Key_Return && key.key() != Qt::Key_Enter) return false;
        if (key.modifiers() & ~Qt::KeypadModifier) return false;
        button->click();
        return true;
    });
}

OkCancelButtons addOkCancelButtons(QDialog* dialog, QBoxLayout* layout)
{
    auto* ok = new QPushButton(QStringLiteral("OK"), dialog);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    ok->setObjectName(QStringLiteral("OKBtn"));
    cancel->setObjectName(QStringLiteral("CancelBtn"));
    ok->setDefault(true);
    ok->setAccessibleDescription(QStringLiteral("Accept what is entered and close"));
    cancel->setAccessibleDescription(QStringLiteral("Close without accepting"));
    // While Cancel has the focus it is the default button, so Enter cancels
    // rather than pressing OK behind the user's back.
    cancel->setAutoDefault(true);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    layout->addLayout(row);
    return {ok, cancel};
}
