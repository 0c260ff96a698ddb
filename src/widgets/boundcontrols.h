// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Controls bound to one column of a table handle. Each shows the column's
// text for the handle's current row and follows the handle: it is refreshed
// on every event the handle tells, so while display is suspended it keeps
// what it showed. A closed handle, or one without a current row, shows
// nothing.
//
// The editing controls put the row into edit state when the user changes
// them. The entry field writes its text into the pending row when the user
// leaves it; the check box, the pick list and the option group write their
// value as soon as the user chooses it. Nothing reaches the table before the
// row is posted.

#include <functional>
#include <memory>
#include <string>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QTextEdit>

#include "store/storetable.h"

class QButtonGroup;

// Whether an entry field's text can be stored in an integer column: blank
// (no value, which reads as 0), or a whole number within 32 bits.
bool isIntegerText(const QString& text);
// The failure shown when it cannot.
QString invalidIntegerMessage(const QString& text, const QString& column);

// The tie between one control and one column.
class ColumnLink : public store::TableObserver {
public:
    ColumnLink(store::StoreTable& table, std::string column, std::function<void()> refresh);
    ~ColumnLink() override;
    ColumnLink(const ColumnLink&) = delete;
    ColumnLink& operator=(const ColumnLink&) = delete;

    store::StoreTable& table() const { return table_; }
    const std::string& column() const { return column_; }
    QString columnName() const { return QString::fromStdString(column_); }

    // The column's text for the current row; empty without one.
    QString text() const;
    // Puts the row into edit state for a change the user made; the control
    // that made it is not refreshed by the event this tells. A refused change
    // refreshes it, so that it shows what the row holds, and is rethrown.
    void beginChange();
    void write(const QString& text);
    void write(bool value);

    void tableEvent(store::StoreTable& table, Event event) override;

private:
    template <typename Value> void writeValue(const Value& value);

    store::StoreTable& table_;
    std::string column_;
    std::function<void()> refresh_;
    bool changing_ = false;
};

// A read-only display of a column's text.
class BoundLabel : public QLabel {
    Q_OBJECT

public:
    BoundLabel(store::StoreTable& table, const std::string& column, QWidget* parent = nullptr);

private:
    ColumnLink link;
};

// A read-only display whose column is chosen after it is built, and chosen
// again or taken away later; bound to none, it shows nothing.
class RebindableLabel : public QLabel {
    Q_OBJECT

public:
    explicit RebindableLabel(QWidget* parent = nullptr);

    void bind(store::StoreTable& table, const std::string& column);
    void unbind();

private:
    std::unique_ptr<ColumnLink> link;
};

// An entry field. Leaving it writes a changed text into the row; text an
// integer column cannot hold is refused there: the error display shows why,
// the text is selected, the focus comes back and refused() is emitted.
// exited() is emitted after every accepted leaving, changed or not.
class BoundEdit : public QLineEdit {
    Q_OBJECT

public:
    BoundEdit(store::StoreTable& table, const std::string& column, QWidget* parent = nullptr);

    // Writes the text into the row when the user changed it; false, with the
    // failure shown, when the column cannot hold it.
    bool commit();
    const ColumnLink& binding() const { return link; }

signals:
    void exited();
    void refused();

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    void refresh();
    void userEdited();

    ColumnLink link;
    bool edited = false;
};

// A check box over a boolean column.
class BoundCheckBox : public QCheckBox {
    Q_OBJECT

public:
    BoundCheckBox(const QString& caption, store::StoreTable& table, const std::string& column,
                  QWidget* parent = nullptr);

private:
    void refresh();
    void userClicked(bool checked);

    ColumnLink link;
};

// A pick-only list whose item texts are written into the column (an integer
// column parses them). It shows the stored value when that is one of its
// items and nothing otherwise.
class BoundPickList : public QComboBox {
    Q_OBJECT

public:
    BoundPickList(const QStringList& items, store::StoreTable& table, const std::string& column,
                  QWidget* parent = nullptr);

private:
    void refresh();
    void userChose(int index);

    ColumnLink link;
    QStringList items;
};

// An option group over an integer column: the n-th button stands for the
// value n, counted from 0.
class BoundOptionGroup : public QGroupBox {
    Q_OBJECT

public:
    BoundOptionGroup(const QString& caption, const QStringList& captions, store::StoreTable& table,
                     const std::string& column, QWidget* parent = nullptr);

    QButtonGroup* buttons() const { return group; }

private:
    void refresh();
    void userChose(int id);

    QButtonGroup* group;
    ColumnLink link;
};

// A read-only pane showing the whole text of a memo column.
class BoundMemo : public QTextEdit {
    Q_OBJECT

public:
    BoundMemo(store::StoreTable& table, const std::string& column, QWidget* parent = nullptr);

private:
    ColumnLink link;
};
