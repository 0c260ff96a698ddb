// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The table handle: what every other part of the program sees of the store.
//
// A handle names one table (TableName, the path of its data file) and keeps
// its settings while it is closed; setting Active true opens the table's
// files with them, false closes them. An open handle has one current row in
// the order of its index (IndexName; empty for the table's default order),
// seeing only the rows that pass its filter while Filtered is true, and an
// edit state: browse, edit (the current row is being changed) or insert (a
// new row is being built). Outside browse state the handle holds the pending
// row; nothing reaches the table until it is posted.
//
// Moving the cursor, BeginInsert, BeginEdit and every change of order or
// filter first post a pending row when any of its values were written, and
// otherwise cancel it.
//
// Locks: every cursor operation of a shared open sees what other handles and
// processes last wrote: it holds the table's read lock while it reads, or,
// while the data file's change counter shows that nobody wrote, runs on the
// caches alone (locking.h); BeginEdit locks the current row until the row is posted or
// cancelled; posting and deleting hold the write lock while they write.
//
// Failures are StoreErrors. Those about the handle itself carry its name:
// "configdb: Field 'x' not found".

#include "store/file.h"
#include "store/values.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace store {

class DataFile;
class StoreTable;
struct DataFileOptions;
struct IndexEntry;
struct Row;
struct FilterCondition;
class DataFile;

// Told of everything that changes what bound controls show. While display is
// suspended, nothing is told; the last ResumeDisplay tells Refreshed.
class TableObserver {
public:
    enum class Event { Opened, Closed, Moved, EditStarted, Posted, Cancelled, OrderChanged, FilterChanged, Refreshed };
    virtual ~TableObserver() = default;
    virtual void tableEvent(StoreTable& table, Event event) = 0;
};

enum class EditStates { Browse, Edit, Insert };

class StoreTable {
public:
    explicit StoreTable(std::string name, FileSystem& files = systemFileSystem());
    ~StoreTable();
    StoreTable(const StoreTable&) = delete;
    StoreTable& operator=(const StoreTable&) = delete;

    const std::string& Name() const { return name_; }

    // Settings. TableName, Exclusive, ForceBufferFlush and ReadOnly change
    // only while the handle is closed.
    const std::string& TableName() const { return tableName_; }
    void setTableName(const std::string& tableName);
    bool Active() const;
    void setActive(bool active);
    bool Exclusive() const { return exclusive_; }
    void setExclusive(bool exclusive);
    const std::string& IndexName() const { return indexName_; }
    void setIndexName(const std::string& indexName);
    const std::string& Filter() const { return filter_; }
    void setFilter(const std::string& filter);
    bool Filtered() const { return filtered_; }
    void setFiltered(bool filtered);
    // A judgement of rows beside the filter, for a narrowing that a filter
    // text cannot say: while a test is set, only the rows that pass both the
    // filter and the test show. The test is given the texts of the named
    // columns (neither memo nor binary ones) in that order. Kept while the
    // handle is closed, as the filter is; an empty test takes it away.
    using RowTest = std::function<bool(const std::vector<std::string>& texts)>;
    void setRowTest(std::vector<std::string> columns, RowTest test);
    bool RowTested() const { return static_cast<bool>(rowTest_); }
    // For another handle over the same rows: the columns and the test.
    const std::vector<std::string>& RowTestColumns() const { return rowTestColumns_; }
    const RowTest& rowTest() const { return rowTest_; }
    int LockRetryCount() const { return lockRetryCount_; }
    void setLockRetryCount(int count) { lockRetryCount_ = count; }
    int LockWaitTime() const { return lockWaitTime_; }
    void setLockWaitTime(int milliseconds) { lockWaitTime_ = milliseconds; }
    bool ForceBufferFlush() const { return forceBufferFlush_; }
    void setForceBufferFlush(bool force);
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool readOnly);
    // Page buffers of each index in an exclusive open, 0 for the default
    // (31), which is also the least. A long run of inserts in random key order rereads an evicted
    // page for nearly every row with the default; each buffer holds one
    // decoded page of up to 4096 bytes. Only while closed; a shared open
    // keeps the default.
    int ExclusiveIndexBuffers() const { return exclusiveIndexBuffers_; }
    void setExclusiveIndexBuffers(int buffers);
    // The slot cache of an exclusive open, in bytes, 0 for the default of
    // 131070. A walk in the order of an index over a table larger than the
    // default reads the data file once per row; a cache that holds the whole
    // table reads it in runs of 32767 bytes and keeps every slot, at the cost
    // of slot size plus computed area per row of memory. Only while closed; a
    // shared open keeps the default.
    std::size_t ExclusiveSlotCacheBytes() const { return exclusiveSlotCacheBytes_; }
    void setExclusiveSlotCacheBytes(std::size_t bytes);

    // The cursor.
    void GoFirst();
    void GoLast();
    void GoNext() { Skip(1); }
    void GoPrior() { Skip(-1); }
    void Skip(int rows);
    bool AtEnd() const { return atEnd_; }
    bool AtStart() const { return atStart_; }
    // The 1-based place of the current row in the current order, 0 when there is none.
    int RowNumber();
    // The rows of the table, filter or not.
    int RowCount();
    // Whether there is a current row (false on an empty or all-filtered table).
    bool HasRow() const;
    // Moves to the first visible row whose value of the current order's
    // first key column is text or sorts after it there (letter case as the
    // index compares it), or to the end mark when none is; true when a row
    // is current. Only in an ascending index order.
    bool FindNearest(const std::string& text);

    EditStates EditState() const { return state_; }
    void BeginEdit();
    void BeginInsert();
    void PostRow();
    void CancelRow();
    void DeleteRow();
    void RemoveAllRows();

    // Columns by name, in any letter case.
    bool HasColumn(const std::string& column) const;
    FieldType ColumnType(const std::string& column) const;
    std::vector<std::string> ColumnNames() const;
    std::string ReadText(const std::string& column);
    std::int32_t ReadInteger(const std::string& column);
    bool ReadBoolean(const std::string& column);
    double ReadFloat(const std::string& column);
    void WriteValue(const std::string& column, const std::string& text);
    void WriteValue(const std::string& column, const char* text) { WriteValue(column, std::string(text)); }
    void WriteValue(const std::string& column, std::int32_t value);
    void WriteValue(const std::string& column, double value);
    void WriteValue(const std::string& column, bool value);
    void WriteValue(const std::string& column, Timestamp value);
    // Whether any value of the pending row was written.
    bool Modified() const { return modified_; }

    void SuspendDisplay();
    void ResumeDisplay();
    bool DisplaySuspended() const { return suspended_ > 0; }
    void addObserver(TableObserver* observer);
    void removeObserver(TableObserver* observer);

    // For grids: the visible rows in the current order, as texts of the
    // given columns, and moving to the row at a 0-based place among them.
    std::vector<std::vector<std::string>> VisibleRows(const std::vector<std::string>& columns);
    void GoToVisibleRow(int place);
    // The 0-based place of the current row among the visible rows; -1 without one.
    int VisibleRowPlace();
    // The number of visible rows: without a filter the row count the index
    // file keeps, with one a walk that judges only the filter's column.
    int VisibleRowCount();
    // Up to count visible rows from a 0-based place, as texts of the given
    // columns, read under one read lock. The cursor stays where it is and
    // no observer is told.
    std::vector<std::vector<std::string>> VisibleRowsAt(int place, int count, const std::vector<std::string>& columns);

private:
    class Open;
    // A place in the current order: the row's slot and, in an index order,
    // its key there (which finds the place again after the row has gone).
    struct Position {
        std::int32_t slot = 0;
        std::vector<std::uint8_t> key;
    };

    void requireOpen() const;
    void requireClosed() const;
    void open();
    std::unique_ptr<DataFile> openBetweenWrites(const DataFileOptions& options);
    void close() noexcept;
    std::string closeTable() noexcept;
    [[noreturn]] void handleError(const std::string& message) const;
    int columnNumber(const std::string& column) const;
    Value readValue(int number);
    void writeValue(const std::string& column, const Value& value);
    void settlePending();
    // Runs work with the row lock of slot, taken with the row retry policy
    // and let go after, whether work ends or throws.
    void withRowLocked(Open& state, std::int32_t slot, const std::function<void()>& work);
    std::pair<std::optional<FilterCondition>, int> filterOn(DataFile& data, const std::string& text) const;
    void applyFilter(const std::pair<std::optional<FilterCondition>, int>& condition);
    std::vector<int> rowTestColumnsOf(DataFile& data) const;
    void setCurrent(const std::optional<Position>& position);
    void setCurrent(const Position& position);
    void refreshAfterOthers(Open& state, bool force = false);
    void checkAfterRead(Open& state);
    static bool changedByOthers(Open& state, bool everyFile);
    void tell(TableObserver::Event event);

    // The order, and the rows of it that pass the filter.
    static std::optional<Position> firstOf(Open& state);
    static std::optional<Position> lastOf(Open& state);
    static std::optional<Position> nextOf(Open& state, const Position& from);
    static std::optional<Position> priorOf(Open& state, const Position& from);
    static std::optional<Position> liveSlotFrom(Open& state, std::int32_t slot, int step);
    static std::optional<Position> readingAhead(Open& state, std::optional<Position> position, int direction);
    static std::optional<Position> positionOf(std::optional<IndexEntry> entry);
    static Position positionOfRow(Open& state, const Row& row);
    static bool isLive(Open& state, const Position& position);
    static bool isVisible(Open& state, const Position& position);
    static bool narrowed(const Open& state);
    static bool passesRowTest(Open& state, const std::uint8_t* image);
    static std::optional<Position> firstVisible(Open& state);
    static std::optional<Position> lastVisible(Open& state);
    static std::optional<Position> stepVisible(Open& state, const Position& from, int direction);
    static std::optional<Position> steppedOn(Open& state, int rows, bool& reachedEdge);
    static std::optional<Position> visibleAt(Open& state, int place);
    static std::optional<Position> walkTo(Open& state, int place);
    static void markPlace(Open& state, int place, const Position& position);
    static void forgetPlaces(Open& state);
    std::vector<int> columnNumbers(const std::vector<std::string>& columns) const;
    std::vector<std::string> textsOf(const Row& row, const std::vector<int>& numbers) const;

    std::string name_;
    FileSystem& files_;
    std::string tableName_;
    bool exclusive_ = false;
    std::string indexName_;
    std::string filter_;
    bool filtered_ = false;
    std::vector<std::string> rowTestColumns_;
    RowTest rowTest_;
    int lockRetryCount_ = 15;
    int lockWaitTime_ = 100;
    bool forceBufferFlush_ = false;
    bool readOnly_ = false;
    int exclusiveIndexBuffers_ = 0;
    std::size_t exclusiveSlotCacheBytes_ = 0;

    std::unique_ptr<Open> open_;
    bool atEnd_ = true;
    bool atStart_ = true;
    EditStates state_ = EditStates::Browse;
    bool modified_ = false;
    int suspended_ = 0;
    std::vector<TableObserver*> observers_;
};

}  // namespace store
