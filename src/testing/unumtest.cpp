#include "testing/unumtest.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>

#include "config/programstate.h"
#include "scoring/testresults.h"
#include "widgets/boundcontrols.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"
#include "widgets/numlock.h"

namespace {

constexpr int HelpContext = 3000;
constexpr int TickInterval = 1000;  // milliseconds

// The designed geometry, which the settings' scale enlarges or shrinks.
constexpr int Margin = 20;
constexpr int ColumnPitch = 135;
constexpr int ColumnWidth = 125;
constexpr int SourceTop = 20;
constexpr int SourcePitch = 26;
constexpr int ShowTop = 172;
constexpr int EntryTop = 245;
constexpr int EntryPitch = 30;
constexpr int BarTop = 405;
constexpr int WindowWidth = 2 * Margin + 4 * ColumnPitch + ColumnWidth;
constexpr int WindowHeight = 455;
constexpr int FontPoints = 11;
constexpr int ShowFontPoints = 18;

const QColor Navy(0, 0, 128);

constexpr int Backspace = 8, Tab = 9, Enter = 13, CtrlS = 19, CtrlV = 22, CtrlX = 24, Esc = 27;

QFont fixedPitch(int points, bool bold = false)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}

QRect gridCell(int field, int top, int pitch, int height)
{
    const int row = (field - 1) / 5;
    const int column = (field - 1) % 5;
    return {Margin + column * ColumnPitch, top + row * pitch, ColumnWidth, height};
}

// The character a key types, as its code; -1 for a key that types none. A
// letter with Ctrl types its control character (Ctrl+V is 22) on every
// platform, and Delete only edits.
int characterCode(const QKeyEvent* event)
{
    const int key = event->key();
    if (event->modifiers() & Qt::ControlModifier && key >= Qt::Key_A && key <= Qt::Key_Z) return key - Qt::Key_A + 1;
    if (key == Qt::Key_Delete || event->text().isEmpty()) return -1;
    return event->text().at(0).unicode();
}

RunKey runKey(const QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: return RunKey::Enter;
    case Qt::Key_Down: return RunKey::Down;
    case Qt::Key_Up: return RunKey::Up;
    default: return RunKey::Other;
    }
}

// The digit keys of the main block and of the keypad.
bool isDigitKey(const QKeyEvent* event)
{
    return event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9;
}

void drawSource(QLabel* display, bool highlighted)
{
    QPalette palette = display->palette();
    palette.setColor(QPalette::WindowText, highlighted ? Navy : QColor(Qt::black));
    display->setPalette(palette);
    QFont font = display->font();
    font.setBold(highlighted);
    display->setFont(font);
}

}  // namespace

Tnumerictestform::Tnumerictestform(std::function<bool()> getpassword, QWidget* parent)
    : QDialog(parent), run(TestKind::numeric, *this), passwordGate(std::move(getpassword))
{
    setObjectName(QStringLiteral("numerictestform"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFont(fixedPitch(FontPoints));
    setFixedSize(WindowWidth, WindowHeight);
    setHelpContext(this, HelpContext);
    buildSourceGrid();
    buildEntryGrid();
    buildBottomBar();
    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->hide();
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TickInterval);
    Timer1->setSingleShot(true);
    connect(Timer1, &QTimer::timeout, this, &Tnumerictestform::Timer1Timer);
    FormCreate();
}

void Tnumerictestform::buildSourceGrid()
{
    for (int field = 1; field <= Fields; ++field) {
        auto* display = new RebindableLabel(this);
        display->setObjectName(QStringLiteral("DBText%1").arg(field));
        display->setGeometry(gridCell(field, SourceTop, SourcePitch, SourcePitch - 4));
        DBText[field] = display;
    }
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("showframe"));
    frame->setFrameShape(QFrame::Box);
    frame->setGeometry((WindowWidth - 2 * ColumnWidth) / 2, ShowTop, 2 * ColumnWidth, 56);
    dbshowfield = new RebindableLabel(frame);
    dbshowfield->setObjectName(QStringLiteral("dbshowfield"));
    dbshowfield->setGeometry(4, 4, 2 * ColumnWidth - 8, 48);
    dbshowfield->setAlignment(Qt::AlignCenter);
    dbshowfield->setFont(fixedPitch(ShowFontPoints, true));
    drawSource(dbshowfield, true);
}

void Tnumerictestform::buildEntryGrid()
{
    for (int field = 1; field <= Fields; ++field) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("Edit%1").arg(field));
        edit->setGeometry(gridCell(field, EntryTop, EntryPitch, EntryPitch - 6));
        edit->installEventFilter(this);
        Edit[field] = edit;
        if (field > 1) setTabOrder(Edit[field - 1], edit);
    }
}

void Tnumerictestform::buildBottomBar()
{
    BitBtn1 = new QPushButton(QStringLiteral("Cancel"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(Margin, BarTop, 100, 32);
    timeLabel = new QLabel(this);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));
    timeLabel->setAlignment(Qt::AlignCenter);
    timeLabel->setGeometry(Margin + 110, BarTop, WindowWidth - 2 * Margin - 300, 32);
    prevscreenbtn = new QPushButton(this);
    prevscreenbtn->setObjectName(QStringLiteral("prevscreenbtn"));
    prevscreenbtn->setIcon(style()->standardIcon(QStyle::SP_ArrowLeft));
    prevscreenbtn->setGeometry(WindowWidth - Margin - 170, BarTop, 80, 32);
    setHint(prevscreenbtn, QStringLiteral("Previous record"));
    nextscreenbtn = new QPushButton(this);
    nextscreenbtn->setObjectName(QStringLiteral("nextscreenbtn"));
    nextscreenbtn->setIcon(style()->standardIcon(QStyle::SP_ArrowRight));
    nextscreenbtn->setGeometry(WindowWidth - Margin - 80, BarTop, 80, 32);
    setHint(nextscreenbtn, QStringLiteral("Next Recort"));
    // Tab goes round the fields only; the buttons are for the pointer, and
    // Enter must never fall through to one of them.
    for (QPushButton* button : {BitBtn1, prevscreenbtn, nextscreenbtn}) {
        button->setFocusPolicy(Qt::ClickFocus);
        button->setAutoDefault(false);
    }
    connect(BitBtn1, &QPushButton::clicked, this, &Tnumerictestform::BitBtn1Click);
    connect(prevscreenbtn, &QPushButton::clicked, this, &Tnumerictestform::prevscreenbtnClick);
    connect(nextscreenbtn, &QPushButton::clicked, this, &Tnumerictestform::nextscreenbtnClick);
}

void Tnumerictestform::FormCreate()
{
    setHelpFile(QString::fromStdString(ProgramDir) + QStringLiteral("movara.hlp"));
    testdb.setTableName(ProgramDir + "numeric.dat");
    for (int field = 1; field <= Fields; ++field) {
        Edit[field]->setProperty("tag", field);
        Edit[field]->setMaxLength(MaxLength);
    }
}

void Tnumerictestform::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    if (QScreen* shown = screen()) move(shown->availableGeometry().center() - rect().center());
    FormShow();
}

void Tnumerictestform::FormShow()
{
    RunSettings settings;
    settings.realMode = RealMode;
    settings.realtime = Settings.realtime;
    settings.practicetime = Settings.practicetime;
    settings.autoadvance = Settings.autoadvance;
    run.FormShow(settings);
}

void Tnumerictestform::done(int result)
{
    if (scoring) {
        closeDeferred = true;
        return;
    }
    FormClose();
    QDialog::done(result);
}

void Tnumerictestform::closeEvent(QCloseEvent* event)
{
    // The window system's close would end the run past the password gate;
    // Cancel and scoring close the window through done().
    event->ignore();
}

void Tnumerictestform::keyPressEvent(QKeyEvent* event)
{
    // Esc would close the dialog past the password gate.
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

void Tnumerictestform::FormClose()
{
    run.FormClose();
}

int Tnumerictestform::fieldOf(QObject* object) const
{
    const QVariant tag = object->property("tag");
    return tag.isValid() ? tag.toInt() : 0;
}

bool Tnumerictestform::eventFilter(QObject* watched, QEvent* event)
{
    const int field = fieldOf(watched);
    if (field < 1 || field > Fields) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::FocusIn: Edit1Enter(field); break;
    case QEvent::FocusOut: {
        // Another window taking the activation is no leaving of the field.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) Edit1Exit(field);
        break;
    }
    case QEvent::KeyPress: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (Edit1KeyDown(field, key) || Edit1KeyPress(key)) return true;
        break;
    }
    case QEvent::KeyRelease: Edit1KeyUp(field, static_cast<QKeyEvent*>(event)); break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

void Tnumerictestform::Edit1Enter(int field)
{
    SourcePrefix = Settings.usedecimal ? "nd" : "n";
    dbshowfield->bind(testdb, SourcePrefix + std::to_string(field));
    run.fieldEnter(field);
}

void Tnumerictestform::Edit1Exit(int field)
{
    dbshowfield->unbind();
    run.fieldExit(field);
}

bool Tnumerictestform::Edit1KeyDown(int field, QKeyEvent* event)
{
    if (event->key() == Qt::Key_NumLock) numlockon();
    const RunKey key = runKey(event);
    run.keyDown(field, key);
    return key != RunKey::Other;
}

bool Tnumerictestform::Edit1KeyPress(QKeyEvent* event)
{
    const int code = characterCode(event);
    if (code < 0) return false;
    return code >= int(allowed.size()) || !allowed[std::size_t(code)] || code == Enter;
}

void Tnumerictestform::Edit1KeyUp(int field, QKeyEvent* event)
{
    // Holding a key down repeats its press, not its release.
    if (event->isAutoRepeat() || !isDigitKey(event)) return;
    run.autoAdvance(field);
}

void Tnumerictestform::nextscreenbtnClick()
{
    run.nextscreenbtnClick();
}

void Tnumerictestform::prevscreenbtnClick()
{
    run.prevscreenbtnClick();
}

void Tnumerictestform::Timer1Timer()
{
    run.Timer1Timer();
}

void Tnumerictestform::BitBtn1Click()
{
    run.BitBtn1Click();
}

void Tnumerictestform::numlockon()
{
    forceNumLockOn();
}

void Tnumerictestform::prepareRun()
{
    allowed.reset();
    for (int code : {Backspace, Tab, Enter, CtrlS, CtrlV, CtrlX, Esc}) allowed.set(std::size_t(code));
    for (int code = '0'; code <= '9'; ++code) allowed.set(std::size_t(code));
    if (Settings.usedecimal) allowed.set('.');
    // The source displays are bound before any field is entered.
    SourcePrefix = Settings.usedecimal ? "nd" : "n";
    numlockon();
}

void Tnumerictestform::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void Tnumerictestform::setTimeLabel(const std::string& text)
{
    timeLabel->setText(QString::fromStdString(text));
}

std::string Tnumerictestform::fieldText(int field)
{
    return Edit[field]->text().toStdString();
}

void Tnumerictestform::setFieldText(int field, const std::string& text)
{
    Edit[field]->setText(QString::fromStdString(text));
}

void Tnumerictestform::focusField(int field)
{
    // Giving the focus to the field that has it tells it nothing, yet the
    // record under it may have changed.
    if (Edit[field]->hasFocus())
        Edit1Enter(field);
    else
        Edit[field]->setFocus(Qt::OtherFocusReason);
}

void Tnumerictestform::focusNextControl()
{
    focusNextChild();
}

int Tnumerictestform::caretPosition(int field)
{
    const QLineEdit* edit = Edit[field];
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

void Tnumerictestform::enableFields(bool enabled)
{
    for (int field = 1; field <= Fields; ++field) Edit[field]->setEnabled(enabled);
}

void Tnumerictestform::enablePrevButton(bool enabled)
{
    prevscreenbtn->setEnabled(enabled);
}

void Tnumerictestform::enableNextButton(bool enabled)
{
    nextscreenbtn->setEnabled(enabled);
}

void Tnumerictestform::highlightSource(int field, bool highlighted)
{
    drawSource(DBText[field], highlighted);
}

void Tnumerictestform::showMessage(const std::string& text)
{
    messages().messageBox(QString::fromStdString(text));
}

void Tnumerictestform::startTimer()
{
    Timer1->start();
}

void Tnumerictestform::stopTimer()
{
    Timer1->stop();
}

void Tnumerictestform::clearErrorLog()
{
    RichEdit1->clear();
}

void Tnumerictestform::openTestTable()
{
    testdb.setActive(false);
    testdb.setActive(true);
    for (int field = 1; field <= Fields; ++field) DBText[field]->bind(testdb, SourcePrefix + std::to_string(field));
}

void Tnumerictestform::closeTables()
{
    testdb.setActive(false);
    resultsdb.setActive(false);
}

void Tnumerictestform::goFirst()
{
    testdb.GoFirst();
}

void Tnumerictestform::skip(int rows)
{
    testdb.Skip(rows);
}

int Tnumerictestform::rowNumber()
{
    return testdb.Active() ? testdb.RowNumber() : 0;
}

int Tnumerictestform::rowCount()
{
    return testdb.Active() ? testdb.RowCount() : 0;
}

std::string Tnumerictestform::sourceText(int field)
{
    if (!testdb.Active() || !testdb.HasRow()) return {};
    return testdb.ReadText(SourcePrefix + std::to_string(field));
}

void Tnumerictestform::suspendDisplay()
{
    testdb.SuspendDisplay();
}

void Tnumerictestform::resumeDisplay()
{
    testdb.ResumeDisplay();
}

bool Tnumerictestform::getpassword()
{
    return !passwordGate || passwordGate();
}

void Tnumerictestform::closeWindow()
{
    done(QDialog::Rejected);
}

void Tnumerictestform::scoretest()
{
    scoring = true;
    const bool scored = scoreEndedRun(run, testdb, resultsdb, *RichEdit1);
    scoring = false;
    if (!scored && !closeDeferred) return;
    closeDeferred = false;
    done(QDialog::Accepted);
}
