// SPDX-License-Identifier: GPL-3.0-or-later
// The numeric window on a real X display of its own: Num Lock pressed in a
// field stays on, and the keypad goes on typing digits. The keys are pressed
// through the X server's test extension, as a keyboard would.

#include <memory>

#include <QApplication>
#include <QLineEdit>
#include <QTest>

#include "config/programstate.h"
#include "support/numerictable.h"
#include "support/recordingmessages.h"
#include "support/xvfb.h"
#include "testing/unumtest.h"

// The X11 headers define macros (None, Bool, KeyPress...) that clash with
// the toolkit's names, so they come last.
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace {

testing_support::Xvfb* server = nullptr;

Display* display()
{
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

bool numLockOn(Display* x)
{
    XkbStateRec state;
    XkbGetState(x, XkbUseCoreKbd, &state);
    return state.locked_mods & XkbKeysymToModifiers(x, XK_Num_Lock);
}

// Presses and releases the key of that symbol, then lets the window take it.
void strike(Display* x, KeySym symbol)
{
    const KeyCode code = XKeysymToKeycode(x, symbol);
    XTestFakeKeyEvent(x, code, True, CurrentTime);
    XTestFakeKeyEvent(x, code, False, CurrentTime);
    XFlush(x);
    QTest::qWait(100);
}

// Shows the window active with the focus in its first field, which it
// returns; nullptr when that does not come about.
QLineEdit* showActive(Tnumerictestform& window)
{
    window.show();
    // Without a window manager nothing activates a window that was mapped.
    if (!QTest::qWaitForWindowExposed(&window)) return nullptr;
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return nullptr;
    auto* first = window.findChild<QLineEdit*>(QStringLiteral("Edit1"));
    return QTest::qWaitFor([first] { return QApplication::focusWidget() == first; }) ? first : nullptr;
}

}  // namespace

class NumLockX11Test : public QObject {
    Q_OBJECT

private slots:
    void init();
    void keypadTypesDigitsAfterNumLockIsPressed();
    void keypadTypesDigitsWithNumLockOff();
};

void NumLockX11Test::init()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP(qPrintable(QStringLiteral("No X server could be started for this test: ") +
                         QString::fromStdString(server->failure())));
    Settings = SettingsRecord();
    Settings.realtime = 5;
    RealMode = true;
}

void NumLockX11Test::keypadTypesDigitsAfterNumLockIsPressed()
{
    Display* x = display();
    QVERIFY(x);
    testing_support::RecordingMessages recorder;
    testing_support::NumericTable table;
    Tnumerictestform window([] { return true; });
    QLineEdit* first = showActive(window);
    QVERIFY(first);
    QVERIFY(numLockOn(x));

    strike(x, XK_Num_Lock);
    QTRY_VERIFY(numLockOn(x));
    for (const KeySym digit : {XK_KP_1, XK_KP_2, XK_KP_3}) strike(x, digit);
    QTRY_COMPARE(first->text(), QStringLiteral("123"));
    QVERIFY(numLockOn(x));
    window.done(QDialog::Rejected);
}

// As where the window cannot force the toggle: it is off all along.
void NumLockX11Test::keypadTypesDigitsWithNumLockOff()
{
    Display* x = display();
    QVERIFY(x);
    testing_support::RecordingMessages recorder;
    testing_support::NumericTable table;
    Settings.usedecimal = true;
    Tnumerictestform window([] { return true; });
    QLineEdit* first = showActive(window);
    QVERIFY(first);
    XkbLockModifiers(x, XkbUseCoreKbd, XkbKeysymToModifiers(x, XK_Num_Lock), 0);
    XFlush(x);
    QTRY_VERIFY(!numLockOn(x));

    for (const KeySym key : {XK_KP_8, XK_KP_2, XK_KP_Decimal, XK_KP_4, XK_KP_6, XK_KP_7, XK_KP_1, XK_KP_9, XK_KP_3,
                             XK_KP_0, XK_KP_5})
        strike(x, key);
    QTRY_COMPARE(first->text(), QStringLiteral("82.46719305"));
    QCOMPARE(QApplication::focusWidget(), first);
    window.done(QDialog::Rejected);
}

int main(int argc, char** argv)
{
    testing_support::Xvfb xvfb;
    server = &xvfb;
    if (xvfb.display().empty()) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("DISPLAY", QByteArray::fromStdString(xvfb.display()));
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    QApplication application(argc, argv);
    NumLockX11Test test;
    return QTest::qExec(&test, argc, argv);
}

#include "numlock_x11_test.moc"
