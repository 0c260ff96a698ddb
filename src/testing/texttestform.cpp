#include "testing/texttestform.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "scoring/testresults.h"
#include "store/values.h"
#include "widgets/boundcontrols.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/maskededit.h"
#include "widgets/messages.h"

namespace {

const QColor Navy(0, 0, 128);
constexpr int TickMilliseconds = 1000;

// The focus comes and goes with the window too; a field is entered and left
// only when the focus moves within the window.
bool movesWithinWindow(const QFocusEvent* event)
{
    return event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason;
}

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

QString fieldName(const char* kind, int number)
{
    return QString::fromLatin1(kind) + QString::number(number);
}

}  // namespace

TextTestForm::TextTestForm(TestKind kind, std::vector<TextField> fields, HelpPanel helpPanel, PasswordGate gate,
                           Clock& clock, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      layout(std::move(fields)),
      testdb("testdb"),
      resultsdb("resultsdb"),
      gate(std::move(gate)),
      run(kind, *this, clock)
{
    QFrame* sourcePanel = makeSourcePanel();
    QFrame* entryPanel = makeEntryPanel();
    setHelpContext(helpPanel == HelpPanel::source ? sourcePanel : entryPanel, HelpContext);

    auto* window = new QVBoxLayout(this);
    window->addWidget(sourcePanel);
    window->addWidget(entryPanel);
    window->addStretch();
    window->addWidget(makeBottomBar());

    RichEdit1 = new QTextEdit(this);
    RichEdit1->setObjectName(QStringLiteral("RichEdit1"));
    RichEdit1->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TickMilliseconds);
    connect(Timer1, &QTimer::timeout, this, &TextTestForm::Timer1Timer);
}

TextTestForm::~TextTestForm()
{
    // The displays go before the handle they watch.
    qDeleteAll(DBTexts);
    DBTexts.clear();
}

QFrame* TextTestForm::makeSourcePanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("sourcePanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    QPalette white = panel->palette();
    white.setColor(QPalette::Window, Qt::white);
    panel->setPalette(white);
    auto* grid = new QGridLayout(panel);
    for (const TextField& field : layout) {
        auto* display = new BoundLabel(testdb, field.column, panel);
        display->setObjectName(fieldName("DBText", int(DBTexts.size()) + 1));
        QFont bold = display->font();
        bold.setBold(true);
        display->setFont(bold);
        grid->addWidget(new QLabel(field.label, panel), field.row, 2 * field.place);
        grid->addWidget(display, field.row, 2 * field.place + 1);
        DBTexts.push_back(display);
    }
    grid->setColumnStretch(grid->columnCount() - 1, 1);
    return panel;
}

QFrame* TextTestForm::makeEntryPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("entryPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* grid = new QGridLayout(panel);
    for (const TextField& field : layout) {
        auto* edit = new MaskedEdit(panel);
        const int number = int(MaskEdits.size()) + 1;
        edit->setObjectName(fieldName("MaskEdit", number));
        edit->setMask(field.mask);
        edit->installEventFilter(this);
        connect(edit, &MaskedEdit::changed, this, [this, number] { MaskEdit1Change(number); });
        grid->addWidget(new QLabel(field.label, panel), field.row, 2 * field.place);
        grid->addWidget(edit, field.row, 2 * field.place + 1);
        if (!MaskEdits.empty()) setTabOrder(MaskEdits.back(), edit);
        MaskEdits.push_back(edit);
    }
    return panel;
}

QWidget* TextTestForm::makeBottomBar()
{
    auto* bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), bar);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setAutoDefault(false);
    BitBtn1->setFocusPolicy(Qt::ClickFocus);  // Tab passes it by
    connect(BitBtn1, &QPushButton::clicked, this, &TextTestForm::BitBtn1Click);

    timeLabel = new QLabel(bar);
    timeLabel->setObjectName(QStringLiteral("timeLabel"));

    const auto recordButton = [bar](const char* name, Qt::ArrowType arrow, const QString& hint) {
        auto* button = new QToolButton(bar);
        button->setObjectName(QString::fromLatin1(name));
        button->setArrowType(arrow);
        button->setFocusPolicy(Qt::NoFocus);  // the focus stays in the fields
        setHint(button, hint);
        return button;
    };
    prevscreenbtn = recordButton("prevscreenbtn", Qt::LeftArrow, QStringLiteral("Previous record"));
    nextscreenbtn = recordButton("nextscreenbtn", Qt::RightArrow, QStringLiteral("Next Recort"));
    connect(prevscreenbtn, &QToolButton::clicked, this, &TextTestForm::prevscreenbtnClick);
    connect(nextscreenbtn, &QToolButton::clicked, this, &TextTestForm::nextscreenbtnClick);

    row->addWidget(BitBtn1);
    row->addWidget(timeLabel, 1);
    row->addWidget(prevscreenbtn);
    row->addWidget(nextscreenbtn);
    return bar;
}

void TextTestForm::MaskEdit1Enter(int f)
{
    run.fieldEnter(f);
}

void TextTestForm::MaskEdit1Exit(int f)
{
    run.fieldExit(f);
}

bool TextTestForm::MaskEdit1KeyDown(int f, QKeyEvent* key)
{
    const RunKey runKey = runKeyOf(key);
    run.keyDown(f, runKey);
    return runKey != RunKey::Other;
}

void TextTestForm::MaskEdit1Change(int f)
{
    run.fieldChanged(f);
}

void TextTestForm::nextscreenbtnClick()
{
    run.nextscreenbtnClick();
}

void TextTestForm::prevscreenbtnClick()
{
    run.prevscreenbtnClick();
}

void TextTestForm::BitBtn1Click()
{
    run.BitBtn1Click();
}

void TextTestForm::Timer1Timer()
{
    run.Timer1Timer();
}

void TextTestForm::reject() {}

void TextTestForm::done(int result)
{
    if (scoring) {
        closeDeferred = true;
        return;
    }
    QDialog::done(result);
}

void TextTestForm::setCaption(const std::string& caption)
{
    setWindowTitle(QString::fromStdString(caption));
}

void TextTestForm::setTimeLabel(const std::string& text)
{
    timeLabel->setText(QString::fromStdString(text));
}

std::string TextTestForm::fieldText(int f)
{
    return field(f)->fieldText().toStdString();
}

void TextTestForm::setFieldText(int f, const std::string& text)
{
    field(f)->setFieldText(QString::fromStdString(text));
}

void TextTestForm::focusField(int f)
{
    field(f)->setFocus(Qt::OtherFocusReason);
    enterField(f);
}

void TextTestForm::focusNextControl()
{
    focusNextChild();
    enterField(numberOf(focusWidget()));
}

int TextTestForm::caretPosition(int f)
{
    const MaskedEdit* edit = field(f);
    return edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
}

void TextTestForm::enableFields(bool enabled)
{
    for (MaskedEdit* edit : MaskEdits) edit->setEnabled(enabled);
}

void TextTestForm::enablePrevButton(bool enabled)
{
    prevscreenbtn->setEnabled(enabled);
}

void TextTestForm::enableNextButton(bool enabled)
{
    nextscreenbtn->setEnabled(enabled);
}

void TextTestForm::highlightSource(int f, bool highlighted)
{
    BoundLabel* display = DBTexts[std::size_t(f - 1)];
    QPalette colours = display->palette();
    colours.setColor(QPalette::WindowText, highlighted ? Navy : QColor(Qt::black));
    display->setPalette(colours);
}

void TextTestForm::showMessage(const std::string& text)
{
    messages().messageBox(QString::fromStdString(text));
}

void TextTestForm::startTimer()
{
    Timer1->start();
}

void TextTestForm::stopTimer()
{
    Timer1->stop();
}

void TextTestForm::clearErrorLog()
{
    RichEdit1->clear();
}

void TextTestForm::openTestTable()
{
    testdb.setActive(false);
    testdb.setTableName(ProgramDir + "invsort.dat");
    testdb.setIndexName("idxkey");
    testdb.setActive(true);
}

void TextTestForm::closeTables()
{
    testdb.setActive(false);
    resultsdb.setActive(false);
}

void TextTestForm::goFirst()
{
    testdb.GoFirst();
}

void TextTestForm::skip(int rows)
{
    testdb.Skip(rows);
}

int TextTestForm::rowNumber()
{
    return testdb.RowNumber();
}

int TextTestForm::rowCount()
{
    return testdb.RowCount();
}

std::string TextTestForm::sourceText(int f)
{
    if (!testdb.Active() || !testdb.HasRow()) return {};
    return testdb.ReadText(layout[std::size_t(f - 1)].column);
}

void TextTestForm::suspendDisplay()
{
    testdb.SuspendDisplay();
}

void TextTestForm::resumeDisplay()
{
    testdb.ResumeDisplay();
}

// Every date the program writes as text follows this format from here on.
void TextTestForm::prepareRun()
{
    store::formats().shortDateFormat = "mm/dd/yy";
    store::formats().dateSeparator = '/';
}

void TextTestForm::prepareFields()
{
    const auto charCase = Settings.useuppercase ? MaskedEdit::CharCase::upper : MaskedEdit::CharCase::normal;
    for (MaskedEdit* edit : MaskEdits) edit->setCharCase(charCase);
}

bool TextTestForm::getpassword()
{
    return !gate || gate();
}

void TextTestForm::closeWindow()
{
    done(QDialog::Rejected);
}

// A practice run without its report is not scored: the window stays, locked,
// until Cancel.
void TextTestForm::scoretest()
{
    scoring = true;
    const bool scored = scoreEndedRun(run, testdb, resultsdb, *RichEdit1);
    scoring = false;
    if (!scored && !closeDeferred) return;
    closeDeferred = false;
    done(QDialog::Accepted);
}

void TextTestForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    enteredField = 0;
    run.FormShow(RunSettings{RealMode, Settings.realtime, Settings.practicetime, Settings.autoadvance});
}

void TextTestForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous()) run.FormClose();
}

// The window has no close box; the window system's own close goes nowhere.
void TextTestForm::closeEvent(QCloseEvent* event)
{
    if (event->spontaneous())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

bool TextTestForm::eventFilter(QObject* watched, QEvent* event)
{
    const int f = numberOf(watched);
    if (f == 0) return QDialog::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::KeyPress: return MaskEdit1KeyDown(f, static_cast<QKeyEvent*>(event));
    case QEvent::FocusIn:
        if (movesWithinWindow(static_cast<QFocusEvent*>(event))) enterField(f);
        break;
    case QEvent::FocusOut:
        if (movesWithinWindow(static_cast<QFocusEvent*>(event)) && enteredField == f) enterField(0);
        break;
    default: break;
    }
    return false;
}

int TextTestForm::numberOf(QObject* watched) const
{
    for (std::size_t index = 0; index < MaskEdits.size(); ++index)
        if (MaskEdits[index] == watched) return int(index) + 1;
    return 0;
}

void TextTestForm::enterField(int f)
{
    if (f == enteredField) return;
    const int left = enteredField;
    enteredField = f;
    if (left) MaskEdit1Exit(left);
    if (f) MaskEdit1Enter(f);
}
