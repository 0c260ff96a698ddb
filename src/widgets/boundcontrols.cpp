// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/boundcontrols.h"

#include <limits>

#include <QButtonGroup>
#include <QFocusEvent>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "widgets/messages.h"
#include "widgets/text.h"

bool isIntegerText(const QString& text)
{
    const QString number = trimBlanks(text);
    if (number.isEmpty()) return true;
    bool whole = false;
    const qlonglong value = number.toLongLong(&whole);
    return whole && value >= std::numeric_limits<std::int32_t>::min() &&
           value <= std::numeric_limits<std::int32_t>::max();
}

QString invalidIntegerMessage(const QString& text, const QString& column)
{
    return QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, column);
}

// ---- ColumnLink ---------------------------------------------------------------

ColumnLink::ColumnLink(store::StoreTable& table, std::string column, std::function<void()> refresh)
    : table_(table), column_(std::move(column)), refresh_(std::move(refresh))
{
    table_.addObserver(this);
}

ColumnLink::~ColumnLink()
{
    table_.removeObserver(this);
}

QString ColumnLink::text() const
{
    if (!table_.Active() || !table_.HasRow()) return {};
    return QString::fromStdString(table_.ReadText(column_));
}

void ColumnLink::beginChange()
{
    if (table_.EditState() != store::EditStates::Browse) return;
    changing_ = true;
    try {
        table_.BeginEdit();
    } catch (...) {
        changing_ = false;
        // The change was refused (another copy holds the row, say): the
        // control must not go on showing a value the table does not hold.
        refresh_();
        throw;
    }
    changing_ = false;
}

template <typename Value> void ColumnLink::writeValue(const Value& value)
{
    beginChange();
    try {
        table_.WriteValue(column_, value);
    } catch (...) {
        refresh_();
        throw;
    }
}

void ColumnLink::write(const QString& text)
{
    writeValue(text.toStdString());
}

void ColumnLink::write(bool value)
{
    writeValue(value);
}

void ColumnLink::tableEvent(store::StoreTable&, Event)
{
    if (!changing_) refresh_();
}

// ---- BoundLabel ---------------------------------------------------------------

BoundLabel::BoundLabel(store::StoreTable& table, const std::string& column, QWidget* parent)
    : QLabel(parent), link(table, column, [this] { setText(link.text()); })
{
    setText(link.text());
}

// ---- RebindableLabel ----------------------------------------------------------

RebindableLabel::RebindableLabel(QWidget* parent) : QLabel(parent) {}

void RebindableLabel::bind(store::StoreTable& table, const std::string& column)
{
    if (link && &link->table() == &table && link->column() == column) return;
    link = std::make_unique<ColumnLink>(table, column, [this] { setText(link->text()); });
    setText(link->text());
}

void RebindableLabel::unbind()
{
    link.reset();
    clear();
}

// ---- BoundEdit ----------------------------------------------------------------

BoundEdit::BoundEdit(store::StoreTable& table, const std::string& column, QWidget* parent)
    : QLineEdit(parent), link(table, column, [this] { refresh(); })
{
    connect(this, &QLineEdit::textEdited, this, &BoundEdit::userEdited);
    refresh();
}

void BoundEdit::refresh()
{
    setText(link.text());
    edited = false;
}

void BoundEdit::userEdited()
{
    link.beginChange();
    edited = true;
}

bool BoundEdit::commit()
{
    if (!edited) return true;
    const bool integer = link.table().Active() && link.table().HasColumn(link.column()) &&
                         link.table().ColumnType(link.column()) == store::FieldType::Integer;
    if (integer && !isIntegerText(text())) {
        showErrorDisplay(invalidIntegerMessage(text(), link.columnName()));
        return false;
    }
    link.write(text());
    edited = false;
    return true;
}

void BoundEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // A window losing activation is no leaving of the field.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    if (commit()) {
        emit exited();
        return;
    }
    selectAll();
    // The focus change under way ends first; then the focus comes back.
    QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); selectAll(); });
    emit refused();
}

// ---- BoundCheckBox ------------------------------------------------------------

BoundCheckBox::BoundCheckBox(const QString& caption, store::StoreTable& table, const std::string& column,
                             QWidget* parent)
    : QCheckBox(caption, parent), link(table, column, [this] { refresh(); })
{
    connect(this, &QCheckBox::clicked, this, &BoundCheckBox::userClicked);
    refresh();
}

void BoundCheckBox::refresh()
{
    const store::StoreTable& table = link.table();
    setChecked(table.Active() && table.HasRow() && link.table().ReadBoolean(link.column()));
}

void BoundCheckBox::userClicked(bool checked)
{
    link.write(checked);
}

// ---- BoundPickList ------------------------------------------------------------

BoundPickList::BoundPickList(const QStringList& items, store::StoreTable& table, const std::string& column,
                             QWidget* parent)
    : QComboBox(parent), link(table, column, [this] { refresh(); }), items(items)
{
    setEditable(false);
    addItems(items);
    connect(this, &QComboBox::activated, this, &BoundPickList::userChose);
    refresh();
}

void BoundPickList::refresh()
{
    // A stored value that is none of the items shows as nothing (index -1).
    setCurrentIndex(items.indexOf(link.text()));
}

void BoundPickList::userChose(int index)
{
    if (index >= 0) link.write(items[index]);
}

// ---- BoundOptionGroup ---------------------------------------------------------

BoundOptionGroup::BoundOptionGroup(const QString& caption, const QStringList& captions, store::StoreTable& table,
                                   const std::string& column, QWidget* parent)
    : QGroupBox(caption, parent), group(new QButtonGroup(this)), link(table, column, [this] { refresh(); })
{
    auto* layout = new QVBoxLayout(this);
    for (int value = 0; value < captions.size(); ++value) {
        auto* button = new QRadioButton(captions[value], this);
        group->addButton(button, value);
        layout->addWidget(button);
    }
    connect(group, &QButtonGroup::idClicked, this, &BoundOptionGroup::userChose);
    refresh();
}

void BoundOptionGroup::refresh()
{
    bool whole = false;
    const int value = link.text().toInt(&whole);
    QAbstractButton* chosen = whole ? group->button(value) : nullptr;
    // An exclusive group cannot show no choice at all.
    group->setExclusive(false);
    for (QAbstractButton* button : group->buttons()) button->setChecked(button == chosen);
    group->setExclusive(true);
}

void BoundOptionGroup::userChose(int id)
{
    link.write(QString::number(id));
}

// ---- BoundMemo ----------------------------------------------------------------

BoundMemo::BoundMemo(store::StoreTable& table, const std::string& column, QWidget* parent)
    : QTextEdit(parent), link(table, column, [this] { setPlainText(link.text()); })
{
    setReadOnly(true);
    setPlainText(link.text());
}
