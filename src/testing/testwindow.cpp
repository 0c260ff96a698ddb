// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/testwindow.h"

#include <utility>

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextEdit>
#include <QTimer>

#include "config/programstate.h"
#include "scoring/testresults.h"
#include "store/storeerror.h"
#include "widgets/boundcontrols.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

namespace {

constexpr int TickMilliseconds = 1000;
const QColor Navy(0, 0, 128);

RunKey runKeyOf(const QKeyEvent* key)
{
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return RunKey::Enter;
    case Qt::Key_Down: return RunKey::Down;
    case Qt::Key_Up: return RunKey::Up;
    default: return RunKey::Other;
    }
}

}  // namespace

TestWindow::TestWindow(TestKind kind, PasswordGate gate, Clock& clock, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      run(kind, *this, clock),
      passwordGate(std::move(gate))
{
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    // Tab passes it by, and Enter in a field must never fall through to it.
    BitBtn1->setAutoDefault(false);
    BitBtn1->setFocusPolicy(Qt::ClickFocus);
    BitBtn1->setAccessibleDescription(QStringLiteral("End the test unscored, with the administrator password"));
    connect(BitBtn1, &QPushButton::clicked, this, &TestWindow::BitBtn1Click);

    timeLabel = new QLabel(this);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->hide();
    RichEdit1->setFocusPolicy(Qt::NoFocus);  // a buffer, never shown

    // Each tick restarts the timer while time remains.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TickMilliseconds);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &TestWindow::Timer1Timer);
}

TestWindow::~TestWindow()
{
    // The source displays watch testdb, which would go before them: the
    // toolkit deletes the children only after the window's members.
    qDeleteAll(findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void TestWindow::setRecordButtons(QAbstractButton* previous, QAbstractButton* next)
{
    prevscreenbtn = previous;
    nextscreenbtn = next;
    prevscreenbtn->setObjectName(QStringLiteral("prevscreenbtn"));
    nextscreenbtn->setObjectName(QStringLiteral("nextscreenbtn"));
    setHint(prevscreenbtn, QStringLiteral("Previous record"));
    setHint(nextscreenbtn, QStringLiteral("Next Recort"));
    prevscreenbtn->setAccessibleName(QStringLiteral("Previous record"));
    nextscreenbtn->setAccessibleName(QStringLiteral("Next record"));
    prevscreenbtn->setAccessibleDescription(QStringLiteral("Go back to the record before this one"));
    nextscreenbtn->setAccessibleDescription(QStringLiteral("Keep this record and go on to the next"));
    connect(prevscreenbtn, &QAbstractButton::clicked, this, &TestWindow::prevscreenbtnClick);
    connect(nextscreenbtn, &QAbstractButton::clicked, this, &TestWindow::nextscreenbtnClick);
}

void TestWindow::describeFields()
{
    sourceLinks.clear();
    for (int field = 1; field <= run.fieldCount(); ++field) {
        sourceLinks.push_back(
            std::make_unique<ColumnLink>(testdb, sourceColumn(field), [this, field] { describeField(field); }));
        describeField(field);
    }
}

void TestWindow::describeField(int field)
{
    const QString source = sourceLinks[std::size_t(field - 1)]->text();
    entryField(field)->setAccessibleDescription(source.isEmpty() ? QStringLiteral("No source value")
                                                                 : QStringLiteral("Source value: ") + source);
}

void TestWindow::colourSource(QWidget* display, bool highlighted)
{
    QPalette colours = display->palette();
    colours.setColor(QPalette::WindowText, highlighted ? Navy : QColor(Qt::black));
    display->setPalette(colours);
}

bool TestWindow::fieldKeyDown(int field, const QKeyEvent* key)
{
    const RunKey runKey = runKeyOf(key);
    run.keyDown(field, runKey);
    return runKey != RunKey::Other;
}

bool TestWindow::movesWithinWindow(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

void TestWindow::nextscreenbtnClick()
{
    run.nextscreenbtnClick();
}

void TestWindow::prevscreenbtnClick()
{
    run.prevscreenbtnClick();
}

void TestWindow::BitBtn1Click()
{
    run.BitBtn1Click();
}

void TestWindow::Timer1Timer()
{
    run.Timer1Timer();
}

void TestWindow::FormShow()
{
    try {
        run.FormShow(RunSettings{RealMode, Settings.realtime, Settings.practicetime, Settings.autoadvance});
    } catch (const store::StoreError& error) {
        // Without its test table there is no run: nothing may be typed, and
        // the window closes once the error is read. It closes from the event
        // loop, as a window being shown cannot close yet.
        enableFields(false);
        const QString text = QString::fromUtf8(error.what());
        QMetaObject::invokeMethod(
            this,
            [this, text] {
                showErrorDisplay(text);
                done(QDialog::Rejected);
            },
            Qt::QueuedConnection);
    }
}

void TestWindow::FormClose()
{
    run.FormClose();
}

void TestWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
    FormShow();
}

void TestWindow::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous()) FormClose();
}

// The window system's own close would end the run past the password gate;
// a close the program asks for goes to reject(), which keeps the window.
void TestWindow::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

void TestWindow::reject() {}

void TestWindow::done(int result)
{
    if (scoring) {
        closeDeferred = true;
        return;
    }
    QDialog::done(result);
}

void TestWindow::setCaption(const std::string& caption)
{
    const QString title = QString::fromStdString(caption);
    setWindowTitle(title);
    // The title bar shows the caption whole: the window is as wide as the
    // caption of the run's highest record number with room for the title
    // bar's buttons, and so keeps its width from record to record.
    constexpr int TitleBarButtons = 160;
    const QString widest = title.left(title.lastIndexOf(QLatin1String(" (Record:"))) + QStringLiteral(" (Record: 000)");
    const int needed = QFontMetrics(font()).horizontalAdvance(widest) + TitleBarButtons;
    if (width() < needed && minimumWidth() != maximumWidth()) resize(needed, height());
}

void TestWindow::setTimeLabel(const std::string& text)
{
    timeLabel->setText(QString::fromStdString(text));
}

int TestWindow::caretPosition(int field)
{
    const QLineEdit* edit = entryField(field);
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

void TestWindow::enableFields(bool enabled)
{
    for (int field = 1; field <= run.fieldCount(); ++field) entryField(field)->setEnabled(enabled);
    if (!enabled) closeGate();
}

// A run that ends while Cancel asks for the password has nothing left to
// cancel: the box goes with the run, as if refused, rather than staying over
// the main window once the test window has closed.
void TestWindow::closeGate()
{
    if (!gateOpen) return;
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (box && box != this) box->reject();
}

void TestWindow::enablePrevButton(bool enabled)
{
    prevscreenbtn->setEnabled(enabled);
}

void TestWindow::enableNextButton(bool enabled)
{
    nextscreenbtn->setEnabled(enabled);
}

void TestWindow::showMessage(const std::string& text)
{
    messages().messageBox(QString::fromStdString(text));
}

void TestWindow::startTimer()
{
    Timer1->start();
}

void TestWindow::stopTimer()
{
    Timer1->stop();
}

void TestWindow::clearErrorLog()
{
    RichEdit1->clear();
}

void TestWindow::closeTables()
{
    testdb.setActive(false);
    resultsdb.setActive(false);
}

void TestWindow::goFirst()
{
    testdb.GoFirst();
}

void TestWindow::skip(int rows)
{
    testdb.Skip(rows);
}

int TestWindow::rowNumber()
{
    return testdb.Active() ? testdb.RowNumber() : 0;
}

int TestWindow::rowCount()
{
    return testdb.Active() ? testdb.RowCount() : 0;
}

const std::string& TestWindow::sourceColumn(int field) const
{
    return run.kind().field(field).sourceColumn(decimalSource);
}

std::string TestWindow::sourceText(int field)
{
    if (!testdb.Active() || !testdb.HasRow()) return {};
    return testdb.ReadText(sourceColumn(field));
}

void TestWindow::suspendDisplay()
{
    testdb.SuspendDisplay();
}

void TestWindow::resumeDisplay()
{
    testdb.ResumeDisplay();
}

bool TestWindow::getpassword()
{
    if (!passwordGate) return true;
    gateOpen = true;
    const bool accepted = passwordGate();
    gateOpen = false;
    return accepted && isVisible();
}

void TestWindow::closeWindow()
{
    done(QDialog::Rejected);
}

void TestWindow::scoretest()
{
    RichEdit1->clear();
    if (!endedRunIsScored()) return;
    run.updatekeyed();
    scoring = true;
    try {
        scoreEndedRun(run.state(), testdb, resultsdb, *RichEdit1);
    } catch (...) {
        // The failure goes on to the error display. The run stays on screen,
        // locked, and Cancel must still lead out of it; a Cancel accepted
        // meanwhile closes the window now.
        scoring = false;
        if (std::exchange(closeDeferred, false)) done(QDialog::Rejected);
        throw;
    }
    scoring = false;
    closeDeferred = false;
    done(QDialog::Accepted);
}
