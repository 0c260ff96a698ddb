// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/usetting.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "store/storeerror.h"
#include "widgets/boundcontrols.h"
#include "widgets/dialogs.h"
#include "widgets/help.h"
#include "widgets/hints.h"
#include "widgets/messages.h"

namespace {

constexpr int MaximumMinutes = 30;

QStringList widthItems()
{
    return {QStringLiteral("0"), QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7"),
            QStringLiteral("8")};
}

QStringList scaleItems()
{
    QStringList items;
    for (int percent = -10; percent <= 100; percent += 5) items.append(QString::number(percent));
    return items;
}

}  // namespace

Tsettingsform::Tsettingsform(std::function<Tdbfuncs&()> dbfuncs, QWidget* parent)
    : QDialog(parent), dbfuncs(std::move(dbfuncs))
{
    setWindowTitle(QStringLiteral("Settings"));
    auto* groups = new QGridLayout;
    // Read down the left column, then the right: the order the Tab key takes.
    groups->addWidget(buildTimeGroup(), 0, 0);
    groups->addWidget(buildOptionsGroup(), 1, 0, 2, 1);
    groups->addWidget(buildResultsGroup(), 0, 1);
    groups->addWidget(buildScalingGroup(), 1, 1);
    groups->setRowStretch(2, 1);

    SaveBtn = hinted(new QPushButton(QStringLiteral("&Save"), this), "SaveBtn", QStringLiteral("Save changes and exit"));
    CancelBtn = hinted(new QPushButton(QStringLiteral("&Cancel"), this), "CancelBtn",
                       QStringLiteral("Cancel changes and exit"));
    // Neither button is the default: Enter in a field saves nothing, Enter on
    // a button presses that button.
    for (QPushButton* button : {SaveBtn, CancelBtn}) {
        button->setAutoDefault(false);
        clickOnEnter(button);
    }
    // Cancel drops every change, so a click on it leaves the time field
    // without checking what is typed there.
    CancelBtn->setFocusPolicy(Qt::TabFocus);
    connect(SaveBtn, &QPushButton::pressed, this, [this] { pressRefused = leavingRefused; });
    connect(SaveBtn, &QPushButton::clicked, this, &Tsettingsform::SaveBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &Tsettingsform::CancelBtnClick);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SaveBtn);
    buttons->addWidget(CancelBtn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addSpacing(8);
    layout->addLayout(buttons);

    connect(DBEdit1, &BoundEdit::exited, this, &Tsettingsform::DBEdit1Exit);
    connect(DBEdit2, &BoundEdit::exited, this, &Tsettingsform::DBEdit2Exit);
    for (BoundEdit* field : {DBEdit1, DBEdit2})
        connect(field, &BoundEdit::refused, this, [this, field] { refuseLeaving(field); });
    setTabOrderOfControls();
    setFixedDialogFrame(this);
    setHelpContext(this, 7000);
}

// The bound controls leave the handle before it goes: children outlive the
// members of their window.
Tsettingsform::~Tsettingsform()
{
    qDeleteAll(findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly));
}

QGroupBox* Tsettingsform::buildTimeGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Time allowed"), this);
    DBEdit1 = hinted(new BoundEdit(configdb, "realtime", group), "DBEdit1",
                     QStringLiteral("Sets the time allowed for real mode tests. Maximum is 30"));
    DBEdit2 = hinted(new BoundEdit(configdb, "practicetime", group), "DBEdit2",
                     QStringLiteral("Sets the time allowed for practice mode tests. Maximum is 30"));
    for (BoundEdit* field : {DBEdit1, DBEdit2}) field->setFixedWidth(48);
    auto* layout = new QFormLayout(group);
    layout->addRow(QStringLiteral("Time allowed in minutes for real mode test:"), DBEdit1);
    layout->addRow(QStringLiteral("Time allowed in minutes for pratice mode test:"), DBEdit2);
    return group;
}

QGroupBox* Tsettingsform::buildOptionsGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Testing options"), this);
    DBCheckBox1 = hinted(new BoundCheckBox(QStringLiteral("Use uppercase only"), configdb, "useuppercase", group),
                         "DBCheckBox1",
                         QStringLiteral("Check this box if you wish the test administered in uppercase"));
    DBCheckBox2 = hinted(new BoundCheckBox(QStringLiteral("Remember testee's name"), configdb, "remembername", group),
                         "DBCheckBox2", QStringLiteral("If checked, will remember testee name between tests"));
    DBCheckBox3 = hinted(new BoundCheckBox(QStringLiteral("Use decimal on numeric test"), configdb, "usedecimal", group),
                         "DBCheckBox3", QStringLiteral("If checked will use decimal point on numeric test"));
    DBCheckBox4 = hinted(
        new BoundCheckBox(QStringLiteral("Auto advance to next field when filled"), configdb, "autoadvance", group),
        "DBCheckBox4", QStringLiteral("When checked testee will not have to use enter key to advance to next field"));
    DBComboBox1 = hinted(new BoundPickList(widthItems(), configdb, "width", group), "DBComboBox1",
                         QStringLiteral("Specifies field width. Set to 0 for variable width. Create a new test if this "
                                        "value is changed"));
    auto* layout = new QVBoxLayout(group);
    for (QWidget* box : {DBCheckBox1, DBCheckBox2, DBCheckBox3, DBCheckBox4}) layout->addWidget(box);
    layout->addSpacing(6);
    auto* widthLabel = new QLabel(QStringLiteral("Field width including decimal for numeric test:"), group);
    widthLabel->setBuddy(DBComboBox1);
    DBComboBox1->setAccessibleName(widthLabel->text());
    layout->addWidget(widthLabel);
    auto* width = new QHBoxLayout;
    width->addWidget(DBComboBox1);
    width->addStretch();
    layout->addLayout(width);
    layout->addStretch();
    return group;
}

QGroupBox* Tsettingsform::buildResultsGroup()
{
    auto* group = new QGroupBox(QStringLiteral("Show results on completion"), this);
    DBCheckBox5 = hinted(new BoundCheckBox(QStringLiteral("Show practice test results"), configdb, "presults", group),
                         "DBCheckBox5", QStringLiteral("Check to show results upon practice test completeion"));
    DBCheckBox6 = hinted(new BoundCheckBox(QStringLiteral("Show real test results"), configdb, "rresults", group),
                         "DBCheckBox6", QStringLiteral("Check to show results upon real test completeion"));
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(DBCheckBox5);
    layout->addWidget(DBCheckBox6);
    return group;
}

QGroupBox* Tsettingsform::buildScalingGroup()
{
    const QString hint = QStringLiteral("Increase/decrease the test window size");
    auto* group = hinted(new QGroupBox(QStringLiteral("Test window scaling"), this), "GroupBox4", hint);
    auto* label = hinted(new QLabel(QStringLiteral("Scale the test windows by:"), group), "Label4", hint);
    DBComboBox2 = new BoundPickList(scaleItems(), configdb, "scalefactor", group);
    DBComboBox2->setObjectName(QStringLiteral("DBComboBox2"));
    // The hint sits on the group and its label; a screen reader reads it
    // with the list.
    label->setBuddy(DBComboBox2);
    DBComboBox2->setAccessibleName(label->text());
    DBComboBox2->setAccessibleDescription(hint);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(label);
    layout->addWidget(DBComboBox2);
    layout->addWidget(new QLabel(QStringLiteral("%"), group));
    layout->addStretch();
    return group;
}

void Tsettingsform::setTabOrderOfControls()
{
    const QList<QWidget*> order{DBEdit1,     DBEdit2,     DBCheckBox1, DBCheckBox2, DBCheckBox3, DBCheckBox4,
                                DBComboBox1, DBCheckBox5, DBCheckBox6, DBComboBox2, SaveBtn,     CancelBtn};
    for (qsizetype i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

int Tsettingsform::exec()
{
    try {
        FormShow();
    } catch (const store::StoreError& error) {
        showErrorDisplay(QString::fromStdString(error.what()));
        return Rejected;
    }
    return QDialog::exec();
}

void Tsettingsform::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous() && !configdb.Active()) FormShow();
    DBEdit1->setFocus();
}

void Tsettingsform::FormShow()
{
    configdb.setActive(false);
    configdb.setTableName(ProgramDir + "config.dat");
    configdb.setActive(true);
}

void Tsettingsform::done(int result)
{
    // Whatever was not posted goes with the handle.
    configdb.setActive(false);
    QDialog::done(result);
}

void Tsettingsform::DBEdit1Exit()
{
    checkTime(DBEdit1, "realtime");
}

void Tsettingsform::DBEdit2Exit()
{
    checkTime(DBEdit2, "practicetime");
}

void Tsettingsform::checkTime(BoundEdit* field, const char* column)
{
    // The field the focus is taken from on its way back is not being left by
    // the user; checking it too could send the focus to and fro for ever.
    if (leavingRefused || !configdb.Active() || configdb.ReadInteger(column) <= MaximumMinutes) return;
    messages().errorBox(QStringLiteral("Maximum time is 30"));
    refuseLeaving(field);
}

void Tsettingsform::refuseLeaving(QWidget* field)
{
    leavingRefused = true;
    // The focus change under way ends first; then the focus comes back.
    QTimer::singleShot(0, field, [this, field] {
        field->setFocus(Qt::OtherFocusReason);
        leavingRefused = false;
    });
}

void Tsettingsform::SaveBtnClick()
{
    // A click whose focus change a field refused does nothing: the field has
    // shown why and keeps the focus. Every accepted leaving wrote its text;
    // from the keyboard (Alt+S) the focus stays in the field, whose text is
    // stored without the time check its leaving would make.
    if (leavingRefused || pressRefused) return;
    if (auto* field = qobject_cast<BoundEdit*>(focusWidget()); field && !field->commit()) {
        field->selectAll();
        return;
    }
    if (configdb.EditState() != store::EditStates::Browse) {
        try {
            configdb.PostRow();
        } catch (const store::StoreError& error) {
            showErrorDisplay(QString::fromStdString(error.what()));
            return;
        }
        configdb.setActive(false);
        dbfuncs().getconfig();
    }
    accept();
}

void Tsettingsform::CancelBtnClick()
{
    configdb.CancelRow();
    reject();
}
