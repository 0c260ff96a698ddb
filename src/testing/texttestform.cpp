// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/texttestform.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "store/values.h"
#include "widgets/boundcontrols.h"
#include "widgets/help.h"
#include "widgets/maskededit.h"

namespace {

QString fieldName(const char* kind, int number)
{
    return QString::fromLatin1(kind) + QString::number(number);
}

}  // namespace

TextTestForm::TextTestForm(TestKind kind, std::vector<FieldPlace> places, HelpPanel helpPanel, PasswordGate gate,
                           Clock& clock, QWidget* parent)
    : TestWindow(kind, std::move(gate), clock, parent), layout(std::move(places))
{
    QFrame* sourcePanel = makeSourcePanel();
    QFrame* entryPanel = makeEntryPanel();
    setHelpContext(helpPanel == HelpPanel::source ? sourcePanel : entryPanel, HelpContext);

    auto* window = new QVBoxLayout(this);
    window->addWidget(sourcePanel);
    window->addWidget(entryPanel);
    window->addStretch();
    window->addWidget(makeBottomBar());
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
    for (const FieldPlace& field : layout) {
        const int number = int(DBTexts.size()) + 1;
        const QString label = QString::fromStdString(run.kind().field(number).label);
        auto* display = new BoundLabel(testdb, sourceColumn(number), panel);
        display->setObjectName(fieldName("DBText", number));
        QFont bold = display->font();
        bold.setBold(true);
        display->setFont(bold);
        // The width of a value moves nothing: the value columns share the
        // panel whatever they show.
        display->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        grid->addWidget(new QLabel(label, panel), field.row, 2 * field.place);
        grid->addWidget(display, field.row, 2 * field.place + 1);
        grid->setColumnStretch(2 * field.place + 1, 1);
        DBTexts.push_back(display);
    }
    return panel;
}

QFrame* TextTestForm::makeEntryPanel()
{
    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("entryPanel"));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    auto* grid = new QGridLayout(panel);
    for (const FieldPlace& field : layout) {
        auto* edit = new MaskedEdit(panel);
        const int number = int(MaskEdits.size()) + 1;
        const KindField& kindField = run.kind().field(number);
        const QString label = QString::fromStdString(kindField.label);
        edit->setObjectName(fieldName("MaskEdit", number));
        QString caption = label;
        caption.chop(caption.endsWith(QLatin1Char(':')) ? 1 : 0);
        edit->setAccessibleName(QStringLiteral("Field %1: %2").arg(number).arg(caption));
        edit->setMask(QString::fromStdString(kindField.mask));
        edit->installEventFilter(this);
        connect(edit, &MaskedEdit::changed, this, [this, number] { MaskEdit1Change(number); });
        grid->addWidget(new QLabel(label, panel), field.row, 2 * field.place);
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
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));

    const auto recordButton = [bar](Qt::ArrowType arrow) {
        auto* button = new QToolButton(bar);
        button->setArrowType(arrow);
        button->setFocusPolicy(Qt::NoFocus);  // the focus stays in the fields
        return button;
    };
    setRecordButtons(recordButton(Qt::LeftArrow), recordButton(Qt::RightArrow));

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
    return fieldKeyDown(f, key);
}

void TextTestForm::MaskEdit1Change(int f)
{
    run.fieldChanged(f);
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
    // A field that kept the focus while the record under it changed is
    // entered again, for the new source's length.
    if (f == enteredField) MaskEdit1Enter(f);
    enterField(f);
}

void TextTestForm::focusNextControl()
{
    focusNextChild();
    enterField(numberOf(focusWidget()));
}

void TextTestForm::highlightSource(int f, bool highlighted)
{
    colourSource(DBTexts[std::size_t(f - 1)], highlighted);
}

void TextTestForm::openTestTable()
{
    testdb.setActive(false);
    testdb.setTableName(ProgramDir + "invsort.dat");
    testdb.setIndexName("idxkey");
    testdb.setActive(true);
    describeFields();
}

QLineEdit* TextTestForm::entryField(int f) const
{
    return field(f);
}

// A run enters its first field afresh, and every date the program writes as
// text follows this format from here on.
void TextTestForm::prepareRun()
{
    enteredField = 0;
    store::formats().shortDateFormat = "mm/dd/yy";
    store::formats().dateSeparator = '/';
}

void TextTestForm::prepareFields()
{
    const auto charCase = Settings.useuppercase ? MaskedEdit::CharCase::upper : MaskedEdit::CharCase::normal;
    for (MaskedEdit* edit : MaskEdits) edit->setCharCase(charCase);
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
