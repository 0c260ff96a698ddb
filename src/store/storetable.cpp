// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/storetable.h"

#include "store/bytes.h"
#include "store/datafile.h"
#include "store/filter.h"
#include "store/locking.h"
#include "store/storeerror.h"
#include "store/storemessages.h"
#include "store/tablefiles.h"
#include "store/tableindexes.h"

#include <algorithm>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <tuple>

namespace store {

// What an open handle holds besides its settings.
class StoreTable::Open {
public:
    std::unique_ptr<DataFile> data;
    TableIndexes* indexes = nullptr;  // owned by data
    std::unique_ptr<TableLocks> locks;
    int order = PrimaryIndex;
    bool slotOrder = false;
    std::optional<FilterCondition> filter;
    int filterColumn = 0;
    RowTest rowTest;
    std::vector<int> rowTestColumns;
    std::vector<std::string> rowTestTexts;  // reused from row to row

    bool hasRow = false;
    Position current;
    Row row;      // the current row as last read
    Row pending;  // the row being edited or inserted

    // Buffers a cursor's steps reuse: the next current row, and the key of
    // an index entry's row.
    Row spare;
    Key entryKey;
    // Column names as callers spell them, with their numbers: a walk reads
    // the same few columns at every row.
    std::vector<std::pair<std::string, int>> columnsAsked;

    // Places among the visible rows already walked to, where no index count
    // tells them: a grid reading page after page steps on from the nearest.
    // Any change of order, filter or rows forgets them.
    std::map<int, Position> marks;
};

namespace {

// Holds the table's read or write lock for the length of one operation. A
// lock that will not let go is not worth losing the operation's own outcome
// for.
template <bool Write> class LockScope {
public:
    explicit LockScope(TableLocks& locks) : locks_(locks) { Write ? locks_.lockWrite() : locks_.lockRead(); }
    // Of a lock already had.
    LockScope(TableLocks& locks, std::adopt_lock_t) : locks_(locks) {}
    ~LockScope()
    {
        try {
            Write ? locks_.unlockWrite() : locks_.unlockRead();
        } catch (const StoreError&) {
        }
    }
    LockScope(const LockScope&) = delete;
    LockScope& operator=(const LockScope&) = delete;

private:
    TableLocks& locks_;
};

using ReadScope = LockScope<false>;
using WriteScope = LockScope<true>;

// A cursor operation that only reads: run on the caches alone while the
// data file's change counter says nobody wrote, and run again under the read
// lock when it had to read the files and found that somebody had. It must
// change nothing before its last read, so that running it again starts from
// where the first run did.
template <class Operation> auto reading(TableLocks& locks, Operation operation)
{
    if (locks.lockReadFromCache()) {
        try {
            ReadScope scope(locks, std::adopt_lock);
            return operation();
        } catch (const ReadRestart&) {
        }
    }
    ReadScope scope(locks);
    return operation();
}

// Reads that happen outside a cursor operation's own read lock still hold
// one while they last; the change check belongs to the start of operations,
// when no page is in use.
ReadGuard guardedBy(TableLocks& locks)
{
    return [&locks](const std::function<void()>& read) {
        locks.lockRead(false);
        try {
            read();
        } catch (...) {
            locks.unlockRead();
            throw;
        }
        locks.unlockRead();
    };
}

}  // namespace

StoreTable::StoreTable(std::string name, FileSystem& files) : name_(std::move(name)), files_(files) {}

StoreTable::~StoreTable() { close(); }

void StoreTable::handleError(const std::string& message) const { throw StoreError(name_ + ": " + message); }

void StoreTable::requireOpen() const
{
    if (!open_) handleError("Cannot perform this operation on a closed dataset");
}

void StoreTable::requireClosed() const
{
    if (open_) handleError("Cannot perform this operation on an open dataset");
}

// ---- Settings ----------------------------------------------------------------

void StoreTable::setTableName(const std::string& tableName)
{
    requireClosed();
    tableName_ = tableName;
}

bool StoreTable::Active() const { return open_ != nullptr; }

void StoreTable::setActive(bool active)
{
    if (active && !open_) open();
    if (!active && open_) {
        std::string failure = closeTable();
        tell(TableObserver::Event::Closed);
        if (!failure.empty()) throw StoreError(failure);
    }
}

void StoreTable::setExclusive(bool exclusive)
{
    requireClosed();
    exclusive_ = exclusive;
}

void StoreTable::setForceBufferFlush(bool force)
{
    requireClosed();
    forceBufferFlush_ = force;
}

void StoreTable::setExclusiveIndexBuffers(int buffers)
{
    requireClosed();
    exclusiveIndexBuffers_ = std::max(buffers, 0);
}

void StoreTable::setReadOnly(bool readOnly)
{
    requireClosed();
    readOnly_ = readOnly;
}

void StoreTable::setExclusiveSlotCacheBytes(std::size_t bytes)
{
    requireClosed();
    exclusiveSlotCacheBytes_ = bytes;
}

void StoreTable::setIndexName(const std::string& indexName)
{
    if (!open_) {
        indexName_ = indexName;
        return;
    }
    settlePending();
    ReadScope scope(*open_->locks);
    int order = open_->indexes->selectIndex(indexName);
    open_->order = order;
    open_->slotOrder = open_->indexes->followsSlotOrder(order);
    forgetPlaces(*open_);
    indexName_ = indexName;
    if (open_->hasRow)
        open_->current.key =
            open_->slotOrder ? std::vector<std::uint8_t>{} : open_->indexes->keyOf(order, open_->row.image.data());
    tell(TableObserver::Event::OrderChanged);
}

void StoreTable::setFilter(const std::string& filter)
{
    if (!open_) {
        filter_ = filter;
        return;
    }
    settlePending();
    std::pair<std::optional<FilterCondition>, int> condition = filterOn(*open_->data, filter);
    filter_ = filter;
    if (filtered_) applyFilter(condition);
}

void StoreTable::setFiltered(bool filtered)
{
    if (!open_) {
        filtered_ = filtered;
        return;
    }
    settlePending();
    std::pair<std::optional<FilterCondition>, int> condition =
        filtered ? filterOn(*open_->data, filter_) : std::pair<std::optional<FilterCondition>, int>{};
    filtered_ = filtered;
    applyFilter(condition);
}

// A filter text read against the table's columns: the condition (none for an
// empty text) and the number of the column it judges.
std::pair<std::optional<FilterCondition>, int> StoreTable::filterOn(DataFile& data, const std::string& text) const
{
    std::optional<FilterCondition> condition = parseFilter(text);
    if (!condition) return {std::nullopt, 0};
    int column = data.findColumn(condition->column);
    if (column == 0) handleError("Field '" + condition->column + "' not found");
    return {condition, column};
}

void StoreTable::applyFilter(const std::pair<std::optional<FilterCondition>, int>& condition)
{
    open_->filter = condition.first;
    open_->filterColumn = condition.second;
    forgetPlaces(*open_);
    GoFirst();
    tell(TableObserver::Event::FilterChanged);
}

void StoreTable::setRowTest(std::vector<std::string> columns, RowTest test)
{
    if (!test) columns.clear();
    std::swap(rowTestColumns_, columns);
    if (!open_) {
        rowTest_ = std::move(test);
        return;
    }
    settlePending();
    std::vector<int> numbers;
    try {
        numbers = rowTestColumnsOf(*open_->data);
    } catch (...) {
        std::swap(rowTestColumns_, columns);  // the test in force stays
        throw;
    }
    rowTest_ = std::move(test);
    open_->rowTest = rowTest_;
    open_->rowTestColumns = std::move(numbers);
    forgetPlaces(*open_);
    GoFirst();
    tell(TableObserver::Event::FilterChanged);
}

// The numbers of the row test's columns, whose texts come straight from the
// slot image: a memo would cost a read of its own for every row.
std::vector<int> StoreTable::rowTestColumnsOf(DataFile& data) const
{
    std::vector<int> numbers;
    for (const std::string& name : rowTestColumns_) {
        int number = data.findColumn(name);
        if (number == 0) handleError("Field '" + name + "' not found");
        if (data.column(number).isBlob()) handleError("Field '" + name + "' cannot be tested row by row");
        numbers.push_back(number);
    }
    return numbers;
}

// ---- Opening and closing -------------------------------------------------------

void StoreTable::open()
{
    if (tableName_.empty()) throw StoreError("Missing table name.");
    auto state = std::make_unique<Open>();
    DataFileOptions options;
    options.mode.sharing = exclusive_ ? Sharing::Exclusive : Sharing::Shared;
    options.mode.readOnly = readOnly_;
    options.mode.writeThrough = forceBufferFlush_;
    options.mode.indexPageBuffers = exclusive_ ? exclusiveIndexBuffers_ : 0;
    if (exclusive_) options.mode.slotCacheBytes = exclusiveSlotCacheBytes_;
    state->data = openBetweenWrites(options);
    state->indexes = &dynamic_cast<TableIndexes&>(state->data->indexes());
    bool shared = !exclusive_;
    bool locking = shared && !state->data->isReadOnly();
    MemoFile* memo = state->data->memo();
    state->locks =
        std::make_unique<TableLocks>(state->data->name(), state->data->diskFile(), state->indexes->file().diskFile(),
                                     memo ? &memo->diskFile() : nullptr, locking);
    // Without locks a guard would only count its depth, around every read.
    if (locking) {
        state->data->setReadGuard(guardedBy(*state->locks));
        state->indexes->file().setReadGuard(guardedBy(*state->locks));
        if (memo) memo->setReadGuard(guardedBy(*state->locks));
    }
    state->order = state->indexes->selectIndex(indexName_);
    state->slotOrder = state->indexes->followsSlotOrder(state->order);
    if (filtered_) std::tie(state->filter, state->filterColumn) = filterOn(*state->data, filter_);
    if (rowTest_) {
        state->rowTestColumns = rowTestColumnsOf(*state->data);
        state->rowTest = rowTest_;
    }
    Open* opened = state.get();
    if (shared) {
        state->locks->setChangeCheck([this, opened] { checkAfterRead(*opened); });
        state->locks->setWriteCheck([this, opened] { refreshAfterOthers(*opened, opened->data->recoverJournal()); });
        state->locks->setChangeProbe([opened](bool everyFile) { return changedByOthers(*opened, everyFile); });
    }
    open_ = std::move(state);
    try {
        state_ = EditStates::Browse;
        modified_ = false;
        GoFirst();
    } catch (...) {
        close();
        throw;
    }
    tell(TableObserver::Event::Opened);
}

// Opening reads the three headers and checks them against the files'
// lengths; another process's write-back in the middle would make a sound
// table look damaged. A reader's byte in the index file keeps writers out
// while the files are read, as the read lock does later.
std::unique_ptr<DataFile> StoreTable::openBetweenWrites(const DataFileOptions& options)
{
    OpenStatus status = OpenStatus::Ok;
    TableFileNames names = tableFileNames(tableName_);
    std::unique_ptr<File> index;
    if (!exclusive_) index = files_.open(names.index, Access::ReadWrite, Sharing::Shared, false, status);
    if (!index) return DataFile::open(files_, tableName_, options);
    TableLocks gate(names.data, *index, *index, nullptr, true);
    // A journal left by a writer that died is rolled back first, under the
    // write lock, which the reader's byte would keep out; one seen under
    // that byte was left by a writer that died since.
    bool writable = !files_.isReadOnly(names.data);
    for (;;) {
        if (writable) recoverTable(files_, names, Sharing::Shared);
        gate.lockRead(false);
        if (!files_.exists(names.journal)) break;
        gate.unlockRead();
        if (!writable) throw StoreError(messages::hotJournalReadOnly(names.data));
    }
    DataFileOptions gated = options;
    gated.recoverJournal = false;
    return DataFile::open(files_, tableName_, gated);
}

void StoreTable::close() noexcept { closeTable(); }

// Closing always closes; what the last write-back met is handed back, so
// that a table whose changes did not reach the disk is not taken as saved.
std::string StoreTable::closeTable() noexcept
{
    if (!open_) return "";
    std::unique_ptr<Open> state = std::move(open_);
    if (state_ != EditStates::Browse) state->data->release(state->pending);
    state_ = EditStates::Browse;
    modified_ = false;
    atEnd_ = atStart_ = true;
    state->locks->releaseAll();
    try {
        state->data->close();
    } catch (const StoreError& error) {
        return error.what();
    }
    return "";
}

// ---- The order ------------------------------------------------------------------

std::optional<StoreTable::Position> StoreTable::firstOf(Open& state)
{
    if (state.slotOrder) return liveSlotFrom(state, 1, 1);
    return readingAhead(state, positionOf(state.indexes->first(state.order)), 1);
}

std::optional<StoreTable::Position> StoreTable::lastOf(Open& state)
{
    if (state.slotOrder) return liveSlotFrom(state, state.data->slotCount(), -1);
    return readingAhead(state, positionOf(state.indexes->last(state.order)), -1);
}

std::optional<StoreTable::Position> StoreTable::nextOf(Open& state, const Position& from)
{
    if (state.slotOrder) return liveSlotFrom(state, from.slot + 1, 1);
    return readingAhead(state, positionOf(state.indexes->next(state.order, from.key)), 1);
}

std::optional<StoreTable::Position> StoreTable::priorOf(Open& state, const Position& from)
{
    if (state.slotOrder) return liveSlotFrom(state, from.slot - 1, -1);
    return readingAhead(state, positionOf(state.indexes->prior(state.order, from.key)), -1);
}

// A walk in index order that reaches a slot the cache lacks reads it with the
// slots the index names next, not with its neighbours in the file, which in
// any order but the table's own are rows the walk will not meet for long,
// unless the cache keeps every row of the file.
std::optional<StoreTable::Position> StoreTable::readingAhead(Open& state, std::optional<Position> position,
                                                             int direction)
{
    if (position && !state.data->holdsSlot(position->slot) && !state.data->holdsWholeFile())
        state.data->readAhead(
            state.indexes->slotsAhead(state.order, position->key, state.data->readAheadCount(), direction > 0));
    return position;
}

std::optional<StoreTable::Position> StoreTable::liveSlotFrom(Open& state, std::int32_t slot, int step)
{
    for (; slot >= 1 && slot <= state.data->slotCount(); slot += step)
        if (!state.data->isDeleted(slot)) return Position{slot, {}};
    return std::nullopt;
}

std::optional<StoreTable::Position> StoreTable::positionOf(std::optional<IndexEntry> entry)
{
    if (!entry) return std::nullopt;
    return Position{entry->slot, std::move(entry->key)};
}

StoreTable::Position StoreTable::positionOfRow(Open& state, const Row& row)
{
    if (state.slotOrder) return Position{row.slot, {}};
    return Position{row.slot, state.indexes->keyOf(state.order, row.image.data())};
}

// An index entry shows its row only when the row still has that key there: a
// copy of the program killed in the middle of a write-back can leave entries
// naming slots that hold another row, or none, and those rows must not show
// twice or fail to read.
bool StoreTable::isVisible(Open& state, const Position& position)
{
    if (state.slotOrder && !narrowed(state)) return true;
    if (!state.slotOrder && !isLive(state, position)) return false;
    const std::uint8_t* image = state.data->slotView(position.slot);
    if (!state.slotOrder) {
        state.indexes->file().keyBuilder(state.order).buildInto(image, state.entryKey);
        if (state.entryKey != position.key) return false;
    }
    if (state.filter) {
        const Column& column = state.data->column(state.filterColumn);
        if (!column.isBlob()) {
            if (!passesFilterAt(*state.filter, column, image + column.offset)) return false;
        } else {
            Row row = state.data->readRow(position.slot);
            if (!passesFilter(*state.filter, textOf(column, state.data->value(row, state.filterColumn)))) return false;
            image = state.data->slotView(position.slot);  // reading the memo may have moved the cache
        }
    }
    return !state.rowTest || passesRowTest(state, image);
}

bool StoreTable::narrowed(const Open& state) { return state.filter || state.rowTest; }

bool StoreTable::passesRowTest(Open& state, const std::uint8_t* image)
{
    state.rowTestTexts.resize(state.rowTestColumns.size());
    for (std::size_t place = 0; place < state.rowTestColumns.size(); ++place) {
        const Column& column = state.data->column(state.rowTestColumns[place]);
        state.rowTestTexts[place] = textOf(column, decodeValue(column, image + column.offset));
    }
    return state.rowTest(state.rowTestTexts);
}

std::optional<StoreTable::Position> StoreTable::firstVisible(Open& state)
{
    std::optional<Position> position = firstOf(state);
    while (position && !isVisible(state, *position)) position = nextOf(state, *position);
    return position;
}

std::optional<StoreTable::Position> StoreTable::lastVisible(Open& state)
{
    std::optional<Position> position = lastOf(state);
    while (position && !isVisible(state, *position)) position = priorOf(state, *position);
    return position;
}

std::optional<StoreTable::Position> StoreTable::stepVisible(Open& state, const Position& from, int direction)
{
    std::optional<Position> position = direction > 0 ? nextOf(state, from) : priorOf(state, from);
    while (position && !isVisible(state, *position))
        position = direction > 0 ? nextOf(state, *position) : priorOf(state, *position);
    return position;
}

// ---- The cursor -------------------------------------------------------------------

// The row is read before anything changes: a read run again (reading())
// must start from where the first run did.
void StoreTable::setCurrent(const std::optional<Position>& position)
{
    if (position) return setCurrent(*position);
    open_->spare = Row{};
    open_->current = Position{};
    open_->hasRow = false;
    std::swap(open_->row, open_->spare);
}

void StoreTable::setCurrent(const Position& position)
{
    open_->data->readRowInto(position.slot, open_->spare);
    open_->current = position;  // into the key's buffer
    open_->hasRow = true;
    std::swap(open_->row, open_->spare);
}

void StoreTable::GoFirst()
{
    requireOpen();
    settlePending();
    reading(*open_->locks, [this] {
        std::optional<Position> first = firstVisible(*open_);
        setCurrent(first);
        atStart_ = true;
        atEnd_ = !first;
    });
    tell(TableObserver::Event::Moved);
}

void StoreTable::GoLast()
{
    requireOpen();
    settlePending();
    reading(*open_->locks, [this] {
        std::optional<Position> last = lastVisible(*open_);
        setCurrent(last);
        atEnd_ = true;
        atStart_ = !last;
    });
    tell(TableObserver::Event::Moved);
}

void StoreTable::Skip(int rows)
{
    requireOpen();
    settlePending();
    if (rows == 0) return;
    reading(*open_->locks, [this, rows] {
        int direction = rows > 0 ? 1 : -1;
        if (!open_->hasRow) {
            setCurrent(direction > 0 ? lastVisible(*open_) : firstVisible(*open_));
            atEnd_ = direction > 0 || !open_->hasRow;
            atStart_ = direction < 0 || !open_->hasRow;
        } else {
            bool reachedEdge = false;
            std::optional<Position> stepped = steppedOn(*open_, rows, reachedEdge);
            Position position = stepped ? std::move(*stepped) : open_->current;
            // The row we stood on may have gone meanwhile; then the edge is
            // the last row still there.
            if (reachedEdge && !isLive(*open_, position))
                position = direction > 0 ? lastVisible(*open_).value_or(position) : firstVisible(*open_).value_or(position);
            if (isLive(*open_, position)) {
                setCurrent(position);
                open_->indexes->file().recycle(std::move(position.key));
            } else {
                setCurrent(std::nullopt);
            }
            atEnd_ = direction > 0 && reachedEdge;
            atStart_ = direction < 0 && reachedEdge;
        }
    });
    tell(TableObserver::Event::Moved);
}

// Where rows steps from the cursor's row lead, or the last row before the
// edge; none when not one step could be made. The cursor's own position is
// stepped from where it stands: copying its key at every step would cost an
// allocation.
std::optional<StoreTable::Position> StoreTable::steppedOn(Open& state, int rows, bool& reachedEdge)
{
    const int direction = rows > 0 ? 1 : -1;
    std::optional<Position> position;
    for (long moved = 0; moved < std::abs(static_cast<long>(rows)); ++moved) {
        std::optional<Position> step = stepVisible(state, position ? *position : state.current, direction);
        if (!step) {
            reachedEdge = true;
            break;
        }
        position = std::move(step);
    }
    return position;
}

bool StoreTable::isLive(Open& state, const Position& position)
{
    return position.slot >= 1 && position.slot <= state.data->slotCount() && !state.data->isDeleted(position.slot);
}

bool StoreTable::HasRow() const { return open_ && open_->hasRow; }

// The probe is a blank row with only the first key column set: its other
// key parts and its row id are the lowest there are, so the search lands
// on the first entry of that value.
bool StoreTable::FindNearest(const std::string& text)
{
    requireOpen();
    settlePending();
    Open& state = *open_;
    const IndexDescriptor* index = state.slotOrder ? nullptr : &state.indexes->file().descriptor(state.order);
    if (!index || index->descending || index->columns.empty())
        handleError("Searching needs an ascending index order");
    Row probe = state.data->newRow();
    const Column& column = state.data->column(index->columns.front());
    state.data->setValue(probe, column.number, valueFor(column, Value(text)));
    Key key = state.indexes->keyOf(state.order, probe.image.data());
    state.data->release(probe);
    reading(*state.locks, [this, &state, &key] {
        std::optional<Position> at = readingAhead(state, positionOf(state.indexes->atOrAfter(state.order, key)), 1);
        while (at && !isVisible(state, *at)) at = nextOf(state, *at);
        setCurrent(at);
        atStart_ = false;
        atEnd_ = !at;
    });
    tell(TableObserver::Event::Moved);
    return open_->hasRow;
}

int StoreTable::RowNumber()
{
    requireOpen();
    if (!open_->hasRow) return 0;
    return reading(*open_->locks, [this] {
        if (!open_->slotOrder) return open_->indexes->rank(open_->order, open_->current.key) + 1;
        int number = 1;
        for (std::int32_t slot = 1; slot < open_->current.slot; ++slot)
            if (!open_->data->isDeleted(slot)) ++number;
        return number;
    });
}

int StoreTable::RowCount()
{
    requireOpen();
    return reading(*open_->locks, [this] { return open_->indexes->rowCount(); });
}

// The change probe of the locks: by the data file's counter, whose header
// every write-back writes last, or by all three.
bool StoreTable::changedByOthers(Open& state, bool everyFile)
{
    if (state.data->changedByOthers()) return true;
    if (!everyFile) return false;
    IndexFile& index = state.indexes->file();
    return index.storedChangeCounter() != index.changeCounter() ||
           (state.data->memo() && state.data->memo()->changedByOthers());
}

// Another handle or process wrote the table: the caches were dropped, and
// the current row is found again by its key (or by its slot in slot order),
// or the row after its place when it has gone.
void StoreTable::refreshAfterOthers(Open& state, bool force)
{
    bool data = state.data->refreshIfChanged(force);
    bool memo = state.data->memo() && state.data->memo()->refreshIfChanged(force);
    bool index = force || state.indexes->file().refreshIfChanged();
    if (force) state.indexes->file().dropCache();
    if (!(data || memo || index)) return;
    state.data->othersWrote();
    forgetPlaces(state);
    if (!state.hasRow) return;
    std::optional<Position> found;
    if (state.slotOrder) {
        found = isLive(state, state.current) ? std::optional<Position>(state.current)
                                             : liveSlotFrom(state, state.current.slot, 1);
    } else {
        found = positionOf(state.indexes->atOrAfter(state.order, state.current.key));
    }
    if (!found) found = lastOf(state);
    state.hasRow = found.has_value();
    if (found) {
        state.current = *found;
        state.row = state.data->readRow(found->slot);
    }
}

// A reader's lock keeps every live writer's write-back out, so a journal
// seen under it was left by one that died: the write lock rolls it back
// before anything is read.
void StoreTable::checkAfterRead(Open& state)
{
    if (!state.data->journalExists()) return refreshAfterOthers(state);
    state.locks->lockWrite();
    state.locks->unlockWrite();
}

// ---- Editing ----------------------------------------------------------------------

void StoreTable::settlePending()
{
    if (state_ == EditStates::Browse) return;
    if (modified_)
        PostRow();
    else
        CancelRow();
}

void StoreTable::BeginEdit()
{
    requireOpen();
    if (state_ == EditStates::Edit) return;
    settlePending();
    if (!open_->hasRow) handleError("There is no row to edit");
    std::int32_t slot = open_->current.slot;
    std::int32_t rowId = bytes::getI32(open_->row.image.data() + slot::RowId);
    open_->locks->lockRow(slot, lockRetryCount_, lockWaitTime_);
    try {
        // The read lock's change check may have moved the cursor on: the row
        // locked is the one to edit, unless another user deleted it (and
        // perhaps stored another row in its slot).
        ReadScope scope(*open_->locks);
        if (!isLive(*open_, Position{slot, {}})) handleError("The row was deleted by another user");
        open_->row = open_->data->readRow(slot);
        if (bytes::getI32(open_->row.image.data() + slot::RowId) != rowId)
            handleError("The row was deleted by another user");
        open_->current = positionOfRow(*open_, open_->row);
        open_->pending = open_->row;
    } catch (...) {
        open_->locks->unlockRow(slot);
        throw;
    }
    state_ = EditStates::Edit;
    modified_ = false;
    tell(TableObserver::Event::EditStarted);
}

void StoreTable::BeginInsert()
{
    requireOpen();
    settlePending();
    open_->pending = open_->data->newRow();
    state_ = EditStates::Insert;
    modified_ = false;
    tell(TableObserver::Event::EditStarted);
}

void StoreTable::PostRow()
{
    requireOpen();
    if (state_ == EditStates::Browse) return;
    Open& state = *open_;
    {
        // The row posted is read back before the write lock goes: under it
        // the caches are what this post left, and a read lock of its own
        // would cost its own change check.
        WriteScope scope(*state.locks);
        if (state_ == EditStates::Insert)
            withRowLocked(state, state.data->slotForAppend(), [&] { state.data->append(state.pending); });
        else
            state.data->change(state.pending);
        forgetPlaces(state);
        state.row = state.data->readRow(state.pending.slot);
        state.current = positionOfRow(state, state.row);
        state.hasRow = true;
    }
    if (state_ == EditStates::Edit) state.locks->unlockRow(state.pending.slot);
    state.pending = Row{};
    state_ = EditStates::Browse;
    modified_ = false;
    atEnd_ = atStart_ = false;
    tell(TableObserver::Event::Posted);
}

void StoreTable::withRowLocked(Open& state, std::int32_t slot, const std::function<void()>& work)
{
    state.locks->lockRow(slot, lockRetryCount_, lockWaitTime_);
    try {
        work();
    } catch (...) {
        state.locks->unlockRow(slot);
        throw;
    }
    state.locks->unlockRow(slot);
}

void StoreTable::CancelRow()
{
    requireOpen();
    if (state_ == EditStates::Browse) return;
    open_->data->release(open_->pending);
    if (state_ == EditStates::Edit) open_->locks->unlockRow(open_->pending.slot);
    open_->pending = Row{};
    state_ = EditStates::Browse;
    modified_ = false;
    tell(TableObserver::Event::Cancelled);
}

void StoreTable::DeleteRow()
{
    requireOpen();
    if (state_ == EditStates::Insert) {
        CancelRow();
        return;
    }
    if (state_ == EditStates::Edit) CancelRow();
    if (!open_->hasRow) handleError("There is no row to delete");
    Open& state = *open_;
    Position gone = state.current;
    {
        WriteScope scope(*state.locks);
        withRowLocked(state, gone.slot, [&] { state.data->remove(gone.slot); });
    }
    forgetPlaces(state);
    {
        ReadScope scope(*state.locks);
        std::optional<Position> next = stepVisible(state, gone, 1);
        if (!next) next = lastVisible(state);
        setCurrent(next);
        atEnd_ = !next;
        atStart_ = !next;
    }
    tell(TableObserver::Event::Moved);
}

void StoreTable::RemoveAllRows()
{
    if (!open_) {
        bool wasExclusive = exclusive_;
        exclusive_ = true;
        try {
            open();
            open_->data->empty();
        } catch (...) {
            close();
            exclusive_ = wasExclusive;
            throw;
        }
        close();
        exclusive_ = wasExclusive;
        return;
    }
    settlePending();
    if (!exclusive_) throw StoreError("Data file " + open_->data->name() + " must be opened exclusively");
    open_->data->empty();
    forgetPlaces(*open_);
    setCurrent(std::nullopt);
    atEnd_ = atStart_ = true;
    tell(TableObserver::Event::Moved);
}

// ---- Columns ----------------------------------------------------------------------

int StoreTable::columnNumber(const std::string& column) const
{
    requireOpen();
    constexpr std::size_t MostRemembered = 16;
    for (const auto& [asked, number] : open_->columnsAsked)
        if (asked == column) return number;
    int number = open_->data->findColumn(column);
    if (number == 0) handleError("Field '" + column + "' not found");
    if (open_->columnsAsked.size() < MostRemembered) open_->columnsAsked.emplace_back(column, number);
    return number;
}

bool StoreTable::HasColumn(const std::string& column) const
{
    requireOpen();
    return open_->data->findColumn(column) != 0;
}

FieldType StoreTable::ColumnType(const std::string& column) const
{
    return open_->data->column(columnNumber(column)).type;
}

std::vector<std::string> StoreTable::ColumnNames() const
{
    requireOpen();
    std::vector<std::string> names;
    for (const Column& column : open_->data->columns()) names.push_back(column.name);
    return names;
}

Value StoreTable::readValue(int number)
{
    Open& state = *open_;
    if (state_ != EditStates::Browse) return state.data->value(state.pending, number);
    if (!state.hasRow) return Value{};
    if (!state.data->column(number).isBlob()) return state.data->value(state.row, number);
    // Memo blocks may have to be read.
    return reading(*state.locks, [&state, number] { return state.data->value(state.row, number); });
}

std::string StoreTable::ReadText(const std::string& column)
{
    int number = columnNumber(column);
    Value value = readValue(number);
    if (auto* text = std::get_if<std::string>(&value)) return std::move(*text);
    return textOf(open_->data->column(number), value);
}

std::int32_t StoreTable::ReadInteger(const std::string& column)
{
    int number = columnNumber(column);
    std::int64_t integer = integerOf(open_->data->column(number), readValue(number));
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(integer, std::numeric_limits<std::int32_t>::min(),
                                                               std::numeric_limits<std::int32_t>::max()));
}

bool StoreTable::ReadBoolean(const std::string& column)
{
    int number = columnNumber(column);
    return booleanOf(open_->data->column(number), readValue(number));
}

double StoreTable::ReadFloat(const std::string& column)
{
    int number = columnNumber(column);
    return floatOf(open_->data->column(number), readValue(number));
}

void StoreTable::writeValue(const std::string& column, const Value& value)
{
    requireOpen();
    if (state_ == EditStates::Browse) throw StoreError("Dataset not in edit or insert mode");
    int number = columnNumber(column);
    Value converted = valueFor(open_->data->column(number), value);
    open_->data->setValue(open_->pending, number, converted);
    modified_ = true;
}

void StoreTable::WriteValue(const std::string& column, const std::string& text) { writeValue(column, Value(text)); }
void StoreTable::WriteValue(const std::string& column, std::int32_t value)
{
    writeValue(column, Value(static_cast<std::int64_t>(value)));
}
void StoreTable::WriteValue(const std::string& column, double value) { writeValue(column, Value(value)); }
void StoreTable::WriteValue(const std::string& column, bool value) { writeValue(column, Value(value)); }
void StoreTable::WriteValue(const std::string& column, Timestamp value) { writeValue(column, Value(value)); }

// ---- Grids ------------------------------------------------------------------------

std::vector<int> StoreTable::columnNumbers(const std::vector<std::string>& columns) const
{
    std::vector<int> numbers;
    for (const std::string& column : columns) numbers.push_back(columnNumber(column));
    return numbers;
}

std::vector<std::string> StoreTable::textsOf(const Row& row, const std::vector<int>& numbers) const
{
    std::vector<std::string> texts;
    for (int number : numbers) texts.push_back(textOf(open_->data->column(number), open_->data->value(row, number)));
    return texts;
}

std::vector<std::vector<std::string>> StoreTable::VisibleRows(const std::vector<std::string>& columns)
{
    requireOpen();
    std::vector<int> numbers = columnNumbers(columns);
    return reading(*open_->locks, [this, &numbers] {
        std::vector<std::vector<std::string>> rows;
        for (std::optional<Position> at = firstVisible(*open_); at; at = stepVisible(*open_, *at, 1))
            rows.push_back(textsOf(open_->data->readRow(at->slot), numbers));
        return rows;
    });
}

std::vector<std::vector<std::string>> StoreTable::VisibleRowsAt(int place, int count,
                                                                const std::vector<std::string>& columns)
{
    requireOpen();
    std::vector<int> numbers = columnNumbers(columns);
    std::vector<std::vector<std::string>> rows;
    ReadScope scope(*open_->locks);
    std::optional<Position> at = visibleAt(*open_, place);
    for (int read = 0; at && read < count; ++read) {
        rows.push_back(textsOf(open_->data->readRow(at->slot), numbers));
        if (read + 1 < count) at = stepVisible(*open_, *at, 1);
    }
    if (at && (narrowed(*open_) || open_->slotOrder)) markPlace(*open_, place + static_cast<int>(rows.size()) - 1, *at);
    return rows;
}

int StoreTable::VisibleRowCount()
{
    requireOpen();
    ReadScope scope(*open_->locks);
    if (!narrowed(*open_)) return open_->indexes->rowCount();
    // Counting walks every row anyway; marks along the way spare later
    // reads the walk from the start.
    constexpr int MarkEvery = 256;
    int count = 0;
    for (std::optional<Position> at = firstVisible(*open_); at; at = stepVisible(*open_, *at, 1), ++count)
        if (count % MarkEvery == 0) markPlace(*open_, count, *at);
    return count;
}

// Without a filter an index order finds a place by its subtree counts; an
// entry whose row does not match it (a damaged index) sends us walking.
std::optional<StoreTable::Position> StoreTable::visibleAt(Open& state, int place)
{
    if (place < 0) return std::nullopt;
    if (!state.slotOrder && !narrowed(state)) {
        std::optional<Position> ranked = positionOf(state.indexes->atPlace(state.order, place));
        if (!ranked || isVisible(state, *ranked)) return ranked;
    }
    return walkTo(state, place);
}

std::optional<StoreTable::Position> StoreTable::walkTo(Open& state, int place)
{
    int from = 0;
    std::optional<Position> at;
    auto nearest = state.marks.upper_bound(place);
    if (nearest != state.marks.begin()) {
        --nearest;
        from = nearest->first;
        at = nearest->second;
    } else {
        at = firstVisible(state);
    }
    for (; at && from < place; ++from) at = stepVisible(state, *at, 1);
    if (at) markPlace(state, place, *at);
    return at;
}

void StoreTable::markPlace(Open& state, int place, const Position& position)
{
    constexpr std::size_t MostMarks = 4096;
    if (state.marks.size() >= MostMarks) state.marks.clear();
    state.marks[place] = position;
}

void StoreTable::forgetPlaces(Open& state) { state.marks.clear(); }

void StoreTable::GoToVisibleRow(int place)
{
    requireOpen();
    settlePending();
    reading(*open_->locks, [this, place] {
        std::optional<Position> at = visibleAt(*open_, std::max(place, 0));
        if (!at) at = lastVisible(*open_);
        setCurrent(at);
        atStart_ = !at || place <= 0;
        atEnd_ = !at;
    });
    tell(TableObserver::Event::Moved);
}

int StoreTable::VisibleRowPlace()
{
    requireOpen();
    if (!open_->hasRow) return -1;
    return reading(*open_->locks, [this] {
        int place = 0;
        for (std::optional<Position> at = firstVisible(*open_); at; at = stepVisible(*open_, *at, 1), ++place)
            if (at->slot == open_->current.slot) return place;
        return -1;
    });
}

// ---- Display ----------------------------------------------------------------------

void StoreTable::SuspendDisplay() { ++suspended_; }

void StoreTable::ResumeDisplay()
{
    if (suspended_ == 0) return;
    if (--suspended_ == 0) tell(TableObserver::Event::Refreshed);
}

void StoreTable::addObserver(TableObserver* observer)
{
    if (std::find(observers_.begin(), observers_.end(), observer) == observers_.end()) observers_.push_back(observer);
}

void StoreTable::removeObserver(TableObserver* observer)
{
    observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void StoreTable::tell(TableObserver::Event event)
{
    if (suspended_ > 0) return;
    std::vector<TableObserver*> observers = observers_;
    for (TableObserver* observer : observers)
        if (std::find(observers_.begin(), observers_.end(), observer) != observers_.end())
            observer->tableEvent(*this, event);
}

}  // namespace store
