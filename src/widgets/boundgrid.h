// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A grid over a table handle and the navigator bar that moves its cursor.
//
// The grid's model shows the visible rows in the current order, as the texts
// of its columns. It reads only the rows a view asks for, a page of them at
// a time, and keeps a few pages; every event the handle tells (not while
// display is suspended) drops them and counts the rows again, except a move
// while the table holds as many rows as when they were counted. The current
// row is the selected one, and choosing a row moves the cursor there.

#include <list>
#include <string>
#include <utility>
#include <vector>

#include <QAbstractTableModel>
#include <QStringList>
#include <QWidget>

#include "store/storetable.h"

class QAbstractItemView;
class QPushButton;

class BoundGridModel : public QAbstractTableModel, public store::TableObserver {
    Q_OBJECT

public:
    BoundGridModel(store::StoreTable& table, std::vector<std::string> columns, QStringList headers,
                   QObject* parent = nullptr);
    ~BoundGridModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The place of the current row among the rows shown; -1 without one.
    int currentRow() const { return current; }
    // Moves the cursor to the row shown at that place.
    void chooseRow(int row);
    // Keeps the view's selection on the current row and lets a click move
    // the cursor.
    void attach(QAbstractItemView* view);

    void tableEvent(store::StoreTable& table, Event event) override;

signals:
    void currentRowChanged(int row);

private:
    void reload();
    bool followMove();
    int placeOfCurrent();
    using Page = std::vector<std::vector<std::string>>;
    const Page& pageOf(int row) const;

    store::StoreTable& table;
    std::vector<std::string> columns;
    QStringList headers;
    int shown = 0;  // the visible rows when they were counted
    // The pages read since, the one read last in front.
    mutable std::list<std::pair<int, Page>> pages;
    int tableRows = 0;  // the table's rows, filter or not, when rows were counted
    int current = -1;
};

// First, prior, next, last and delete, the last after the confirmation
// "Delete record?".
class NavigatorBar : public QWidget {
    Q_OBJECT

public:
    NavigatorBar(store::StoreTable& table, QWidget* parent = nullptr);

    QPushButton* first;
    QPushButton* prior;
    QPushButton* next;
    QPushButton* last;
    QPushButton* remove;

private:
    void deleteClick();

    store::StoreTable& table;
};
