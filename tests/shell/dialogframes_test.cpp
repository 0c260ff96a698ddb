// SPDX-License-Identifier: GPL-3.0-or-later
#include <memory>
#include <vector>

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTest>

#include "everydialog.h"
#include "support/configtable.h"
#include "support/fakedbfuncs.h"
#include "support/modal.h"
#include "support/xvfb.h"
#include "widgets/dialogs.h"
#include "widgets/helpfile.h"
#include "widgets/helpviewer.h"
#include "widgets/messages.h"

#include <xcb/xcb.h>

using testing_support::Dialog;
using testing_support::everyDialog;
using testing_support::FakeDbfuncs;
using testing_support::whenModalOpens;

namespace {

QPoint screenCentre(const QWidget& window)
{
    return window.screen()->availableGeometry().center();
}

// The window manager hints the X server holds for a shown window.
std::vector<std::uint32_t> motifHints(QWidget& window)
{
    auto* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    const char name[] = "_MOTIF_WM_HINTS";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    xcb_get_property_reply_t* property = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, xcb_window_t(window.winId()), atom->atom, atom->atom, 0, 5),
        nullptr);
    std::vector<std::uint32_t> values;
    if (property) {
        const auto* first = static_cast<const std::uint32_t*>(xcb_get_property_value(property));
        values.assign(first, first + xcb_get_property_value_length(property) / 4);
    }
    free(property);
    free(atom);
    return values;
}

bool near(QPoint a, QPoint b)
{
    return (a - b).manhattanLength() <= 2;
}

}  // namespace

class DialogFramesTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { testing_support::forgetModalActions(); }

    void framesHaveNoMinimiseOrMaximiseAndCloseOnlyWhereAllowed();
    void windowManagerIsToldWhichButtonsToDraw();
    void dialogsAreCentredFromTheirFirstShowing();
    void boxesAreCentredOverTheWindowTheyBelongTo();
    void helpViewerNamesItselfOnce();
};

void DialogFramesTest::framesHaveNoMinimiseOrMaximiseAndCloseOnlyWhereAllowed()
{
    FakeDbfuncs dbfuncs;
    for (const Dialog& dialog : everyDialog(dbfuncs)) {
        const Qt::WindowFlags flags = dialog.window->windowFlags();
        QVERIFY2(!(flags & Qt::WindowMinMaxButtonsHint), qPrintable(dialog.name));
        QCOMPARE(bool(flags & Qt::WindowCloseButtonHint), dialog.closeButton);
        // What the window manager is told: the functions are always listed,
        // or it would draw every button.
        const FrameHints hints = frameHintsFor(flags);
        QVERIFY(hints.flags & FrameHints::GivesFunctions);
        QVERIFY(hints.functions & FrameHints::Move);
        QVERIFY(!(hints.functions & (FrameHints::Minimize | FrameHints::Maximize | FrameHints::Resize)));
        QCOMPARE(bool(hints.functions & FrameHints::Close), dialog.closeButton);
        QVERIFY(hints.decorations & FrameHints::Title);
    }
    const FrameHints plain = frameHintsFor(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QVERIFY(plain.functions & FrameHints::Minimize && plain.functions & FrameHints::Maximize);
    QCOMPARE(frameHintsFor(Qt::Dialog | Qt::FramelessWindowHint).decorations, 0u);
}

void DialogFramesTest::windowManagerIsToldWhichButtonsToDraw()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb")) QSKIP("No X server could start");
    FakeDbfuncs dbfuncs;
    for (const Dialog& dialog : everyDialog(dbfuncs)) {
        if (dialog.name == QLatin1String("settings")) continue;  // needs its table; framed alike
        dialog.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog.window.get()));
        const std::vector<std::uint32_t> hints = motifHints(*dialog.window);
        QCOMPARE(hints.size(), std::size_t(5));
        const FrameHints expected = frameHintsFor(dialog.window->windowFlags());
        QCOMPARE(hints[0], expected.flags);
        QCOMPARE(hints[1], expected.functions);
        QCOMPARE(hints[2], expected.decorations);
        dialog.window->hide();
    }
}

void DialogFramesTest::dialogsAreCentredFromTheirFirstShowing()
{
    testing_support::ConfigTable table;
    FakeDbfuncs dbfuncs;
    QMainWindow main;
    main.resize(700, 500);
    main.move(0, 0);
    main.show();
    for (const Dialog& dialog : everyDialog(dbfuncs)) {
        for (int showing = 1; showing <= 2; ++showing) {
            dialog.window->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog.window.get()));
            QVERIFY2(near(dialog.window->frameGeometry().center(), screenCentre(*dialog.window)),
                     qPrintable(QStringLiteral("%1, showing %2").arg(dialog.name).arg(showing)));
            dialog.window->hide();
        }
    }
}

void DialogFramesTest::boxesAreCentredOverTheWindowTheyBelongTo()
{
    QMainWindow main;
    main.resize(300, 200);
    main.move(20, 30);
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    QtMessageService boxes;
    QWidget* owner = nullptr;
    QPoint centre;
    auto answer = [&](QWidget* box) {
        owner = box->parentWidget();
        centre = box->frameGeometry().center();
        QVERIFY(!(box->windowFlags() & Qt::WindowMinMaxButtonsHint));
        QTest::keyClick(box, Qt::Key_Escape);
    };

    // Another program has the focus: the box still belongs to the main window.
    QApplication::setActiveWindow(nullptr);
    whenModalOpens(answer);
    boxes.messageBox(QStringLiteral("Password change successful."));
    QCOMPARE(owner, &main);
    QVERIFY(near(centre, main.frameGeometry().center()));

    // Over a modal dialog it belongs to that dialog.
    Taboutform about;
    whenModalOpens([&](QWidget* modal) {
        whenModalOpens(answer);
        boxes.errorBox(QStringLiteral("Maximum time is 30"));
        static_cast<QDialog*>(modal)->reject();
    });
    about.exec();
    QCOMPARE(owner, &about);
    QVERIFY(near(centre, about.frameGeometry().center()));
}

void DialogFramesTest::helpViewerNamesItselfOnce()
{
    const auto file = HelpFile::load(QStringLiteral(MOVARA_HELP_SOURCE));
    QVERIFY(file);
    HelpViewer viewer;
    QVERIFY(!(viewer.windowFlags() & Qt::WindowMinMaxButtonsHint));
    viewer.showTopic(*file, *file->findTopic(QStringLiteral("CONTENTS")));
    QCOMPARE(viewer.windowTitle(), QStringLiteral("Movara Help"));
    viewer.showTopic(*file, *file->findTopic(QStringLiteral("TESTS")));
    QVERIFY(viewer.windowTitle().startsWith(QStringLiteral("Movara Help - ")));
    QCOMPARE(viewer.windowTitle().count(QStringLiteral("Movara Help")), 1);
}

// Run on an X server of its own where one can start: there the window
// system's frames are real, and a misplaced first showing shows.
int main(int argc, char* argv[])
{
    testing_support::Xvfb server;
    if (server.running()) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", QByteArray::fromStdString(server.display()));
    }
    QApplication application(argc, argv);
    DialogFramesTest test;
    return QTest::qExec(&test, argc, argv);
}
#include "dialogframes_test.moc"
