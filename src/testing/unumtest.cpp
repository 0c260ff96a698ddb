// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/unumtest.h"

#include <QCoreApplication>
#include <QFontDatabase>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include "config/programstate.h"
#include "widgets/boundcontrols.h"
#include "widgets/help.h"
#include "widgets/numlock.h"

namespace {

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

// The digit keys of the main block and of the keypad.
bool isDigitKey(const QKeyEvent* event)
{
    return event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9;
}

// The digit a keypad key stands for when Num Lock is off, where the platform
// reports it as the key printed beside the digit; 0 for any other key.
int keypadDigitKey(const QKeyEvent* event)
{
    if (!(event->modifiers() & Qt::KeypadModifier)) return 0;
    switch (event->key()) {
    case Qt::Key_Insert: return Qt::Key_0;
    case Qt::Key_End: return Qt::Key_1;
    case Qt::Key_Down: return Qt::Key_2;
    case Qt::Key_PageDown: return Qt::Key_3;
    case Qt::Key_Left: return Qt::Key_4;
    case Qt::Key_Clear: return Qt::Key_5;
    case Qt::Key_Right: return Qt::Key_6;
    case Qt::Key_Home: return Qt::Key_7;
    case Qt::Key_Up: return Qt::Key_8;
    case Qt::Key_PageUp: return Qt::Key_9;
    case Qt::Key_Delete: return Qt::Key_Period;
    default: return 0;
    }
}

// Bold too while its field has the focus.
void drawSource(QLabel* display, bool highlighted)
{
    TestWindow::colourSource(display, highlighted);
    QFont font = display->font();
    font.setBold(highlighted);
    display->setFont(font);
}

}  // namespace

Tnumerictestform::Tnumerictestform(PasswordGate getpassword, QWidget* parent)
    : TestWindow(TestKind::numeric, std::move(getpassword), systemClock(), parent)
{
    setObjectName(QStringLiteral("numerictestform"));
    setFont(fixedPitch(FontPoints));
    setFixedSize(WindowWidth, WindowHeight);
    setHelpContext(this, HelpContext);
    buildSourceGrid();
    buildEntryGrid();
    buildBottomBar();
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
        edit->setAccessibleName(QStringLiteral("Field %1").arg(field));
        edit->setGeometry(gridCell(field, EntryTop, EntryPitch, EntryPitch - 6));
        edit->installEventFilter(this);
        Edit[field] = edit;
        if (field > 1) setTabOrder(Edit[field - 1], edit);
    }
}

void Tnumerictestform::buildBottomBar()
{
    BitBtn1->setGeometry(Margin, BarTop, 100, 32);
    timeLabel->setAlignment(Qt::AlignCenter);
    timeLabel->setGeometry(Margin + 110, BarTop, WindowWidth - 2 * Margin - 300, 32);
    const auto recordButton = [this](QStyle::StandardPixmap arrow, int left) {
        auto* button = new QPushButton(style()->standardIcon(arrow), QString(), this);
        button->setGeometry(left, BarTop, 80, 32);
        // Tab goes round the fields only; the buttons are for the pointer,
        // and Enter must never fall through to one of them.
        button->setFocusPolicy(Qt::ClickFocus);
        button->setAutoDefault(false);
        return button;
    };
    setRecordButtons(recordButton(QStyle::SP_ArrowLeft, WindowWidth - Margin - 170),
                     recordButton(QStyle::SP_ArrowRight, WindowWidth - Margin - 80));
}

void Tnumerictestform::FormCreate()
{
    setHelpFile(QString::fromStdString(ProgramDir) + QStringLiteral("movara.hlp"));
    testdb.setTableName(ProgramDir + "numeric.dat");
    for (int field = 1; field <= Fields; ++field) {
        Edit[field]->setProperty("tag", field);
        Edit[field]->setMaxLength(run.kind().field(field).maxLength);
    }
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
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        // The keypad types its digits whatever the Num Lock state, which not
        // every platform lets the window force, nor at every moment.
        const auto* key = static_cast<QKeyEvent*>(event);
        if (const int digit = keypadDigitKey(key)) {
            QKeyEvent typed(key->type(), digit, key->modifiers(), QString(QChar(digit)), key->isAutoRepeat());
            QCoreApplication::sendEvent(watched, &typed);
            return true;
        }
    }
    switch (event->type()) {
    case QEvent::FocusIn: Edit1Enter(field); break;
    case QEvent::FocusOut:
        if (movesWithinWindow(static_cast<QFocusEvent*>(event))) Edit1Exit(field);
        break;
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
    decimalSource = Settings.usedecimal;
    dbshowfield->bind(testdb, sourceColumn(field));
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
    return fieldKeyDown(field, event);
}

bool Tnumerictestform::Edit1KeyPress(QKeyEvent* event)
{
    const int code = characterCode(event);
    if (code < 0) return false;
    return code >= int(allowed.size()) || !allowed[std::size_t(code)] || code == Enter;
}

void Tnumerictestform::Edit1KeyUp(int field, QKeyEvent* event)
{
    // The toggle may flip on the release as well as the press.
    if (event->key() == Qt::Key_NumLock) numlockon();
    // Holding a key down repeats its press, not its release.
    if (event->isAutoRepeat() || !isDigitKey(event)) return;
    run.autoAdvance(field);
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
    decimalSource = Settings.usedecimal;
    numlockon();
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

void Tnumerictestform::highlightSource(int field, bool highlighted)
{
    drawSource(DBText[field], highlighted);
}

void Tnumerictestform::openTestTable()
{
    testdb.setActive(false);
    testdb.setActive(true);
    for (int field = 1; field <= Fields; ++field) DBText[field]->bind(testdb, sourceColumn(field));
    describeFields();
}

QLineEdit* Tnumerictestform::entryField(int field) const
{
    return Edit[std::size_t(field)];
}

std::string Tnumerictestform::sourcePrefix() const
{
    const std::string& column = sourceColumn(1);
    return column.substr(0, column.find_first_of("0123456789"));
}
