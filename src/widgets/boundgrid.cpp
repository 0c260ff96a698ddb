// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/boundgrid.h"

#include <QAbstractItemView>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QPushButton>

#include "store/storeerror.h"
#include "widgets/messages.h"

BoundGridModel::BoundGridModel(store::StoreTable& table, std::vector<std::string> columns, QStringList headers,
                               QObject* parent)
    : QAbstractTableModel(parent), table(table), columns(std::move(columns)), headers(std::move(headers))
{
    table.addObserver(this);
    reload();
}

BoundGridModel::~BoundGridModel()
{
    table.removeObserver(this);
}

namespace {

// A page is about what a grid shows at once; a few of them cover a view
// scrolled back and forth without reading again.
constexpr int PageRows = 64;
constexpr std::size_t PagesKept = 8;

}  // namespace

int BoundGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shown;
}

int BoundGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns.size());
}

QVariant BoundGridModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shown) return {};
    const Page& page = pageOf(index.row());
    const auto at = static_cast<std::size_t>(index.row() % PageRows);
    if (at >= page.size()) return {};  // rows gone since they were counted
    return QString::fromStdString(page[at][static_cast<std::size_t>(index.column())]);
}

// A view paints while nothing can show a message; a page that fails to read
// shows empty, and the next event reads it again.
const BoundGridModel::Page& BoundGridModel::pageOf(int row) const
{
    const int number = row / PageRows;
    for (auto kept = pages.begin(); kept != pages.end(); ++kept)
        if (kept->first == number) {
            pages.splice(pages.begin(), pages, kept);
            return pages.front().second;
        }
    Page read;
    try {
        read = table.VisibleRowsAt(number * PageRows, PageRows, columns);
    } catch (const store::StoreError&) {
    }
    pages.emplace_front(number, std::move(read));
    if (pages.size() > PagesKept) pages.pop_back();
    return pages.front().second;
}

QVariant BoundGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal) return QAbstractTableModel::headerData(section, orientation, role);
    return section < headers.size() ? headers[section] : QString::fromStdString(columns[static_cast<std::size_t>(section)]);
}

void BoundGridModel::chooseRow(int row)
{
    if (row >= 0 && row != current && table.Active()) table.GoToVisibleRow(row);
}

void BoundGridModel::tableEvent(store::StoreTable&, Event event)
{
    if (event == Event::Moved && followMove()) return;
    reload();
}

// Reading every row again on each move would make a move cost as much as
// opening the table. The rows are read again only when the table holds
// another number of rows than when they were read (a deletion, or rows that
// other copies added or removed meanwhile).
bool BoundGridModel::followMove()
{
    if (!table.Active() || table.RowCount() != tableRows) return false;
    current = placeOfCurrent();
    emit currentRowChanged(current);
    return true;
}

// Without a filter the row's rank in the order is its place, which the
// index tells without walking the rows before it.
int BoundGridModel::placeOfCurrent()
{
    if (!table.HasRow()) return -1;
    return table.Filtered() ? table.VisibleRowPlace() : table.RowNumber() - 1;
}

void BoundGridModel::reload()
{
    beginResetModel();
    const bool open = table.Active();
    pages.clear();
    shown = open ? table.VisibleRowCount() : 0;
    tableRows = open ? table.RowCount() : 0;
    current = open ? placeOfCurrent() : -1;
    endResetModel();
    emit currentRowChanged(current);
}

void BoundGridModel::attach(QAbstractItemView* view)
{
    view->setModel(this);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    const auto select = [this, view](int row) {
        if (row < 0) {
            view->selectionModel()->clearSelection();
            return;
        }
        const QModelIndex place = index(row, 0);
        view->selectionModel()->setCurrentIndex(place, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    };
    connect(this, &BoundGridModel::currentRowChanged, view, select);
    connect(view, &QAbstractItemView::clicked, this, [this](const QModelIndex& place) { chooseRow(place.row()); });
    select(current);
}

NavigatorBar::NavigatorBar(store::StoreTable& table, QWidget* parent)
    : QWidget(parent),
      first(new QPushButton(QStringLiteral("|<"), this)),
      prior(new QPushButton(QStringLiteral("<"), this)),
      next(new QPushButton(QStringLiteral(">"), this)),
      last(new QPushButton(QStringLiteral(">|"), this)),
      remove(new QPushButton(QStringLiteral("-"), this)),
      table(table)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (QPushButton* button : {first, prior, next, last, remove}) layout->addWidget(button);
    connect(first, &QPushButton::clicked, this, [this] { this->table.GoFirst(); });
    connect(prior, &QPushButton::clicked, this, [this] { this->table.GoPrior(); });
    connect(next, &QPushButton::clicked, this, [this] { this->table.GoNext(); });
    connect(last, &QPushButton::clicked, this, [this] { this->table.GoLast(); });
    connect(remove, &QPushButton::clicked, this, &NavigatorBar::deleteClick);
}

void NavigatorBar::deleteClick()
{
    if (!messages().confirmBox(QStringLiteral("Delete record?"), ConfirmButtons::OkCancel)) return;
    table.DeleteRow();
}
