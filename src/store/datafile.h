// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The data file (.DAT) of a table: its header, its column definitions and
// its fixed-length row slots. All integers little-endian, floats IEEE 754.
//
// Layout, with F columns and slot size R:
//   0                          header, 127 bytes
//   127                        column definitions, 768 bytes each, in column order
//   127 + 768F + (n - 1)R      row slot n (n = 1, 2, ...)
// The file ends after the last slot: its length is 127 + 768F + (N - 1)R,
// N the next-slot number.
//
// Header (127 bytes):
//   0    4   change counter, signed; +1 each time the header is written, 0 after emptying
//   4    4   memo block size, 0 meaning 512; written as a 16-bit value widened to 32 bits
//   8    1   format version, always 3
//   9    4   first slot of the deleted-slot chain, 0 when empty
//   13   4   next-slot number: slots in the file + 1
//   17   4   last row id handed out, 0 for a new or emptied table
//   21   2   slot size R, unsigned
//   23   2   column count F, 1..1024
//   25   2   number of memo and binary columns, 0..32, signed; not 0: the memo file belongs
//   27   8   last-update stamp: days from 30 December 1899 (time of day as fraction) - 693594
//   35   51  table description, short string of at most 50 characters
//   86   1   1 when the table is encrypted
//   87   16  table password, scrambled (passwords.h), short string of at most 15 characters
//   103  2   locale language identifier, 0 for none, signed
//   105  2   locale sort identifier
//   107  4   reserved, 0
//   111  2   size of the working area for computed columns, signed
//   113  14  reserved, kept as read
//
// Column definition (768 bytes):
//   0    2   column number, equal to the definition's position
//   2    82  name, short string: at most 30 characters, starting with a letter,
//            unique without regard to case
//   84   1   type code     85  1  subtype code (values.h has the table of kinds)
//   86   1   declared size: 1..250 for string, bytes and variable bytes, else 0
//   87   1   decimal places (decimal type only, 0..18 here)
//   88   1   physical size in the slot       89  1  copy of the decimal places
//            (both derived from type and declared size when the table is opened)
//   90   2   offset of the column's place in the slot (5 for auto-increment)
//   92   1   1 when a value is required      93  1  reserved
//   94   1   1 when a minimum is set         95  50 minimum, as zero-ended text
//   145  1   1 when a maximum is set         146 50 maximum, as zero-ended text
//   196  1   1 when a default is set         197 50 default, as zero-ended text;
//            "DATE", "TIME", "NOW" stand for the present moment
//   247  1   1 when computed (no place in the slot)   248 256 its expression
//   504  264 reserved
//
// Row slot (R bytes):
//   0    1   state: 0 in use, 1 deleted
//   1    4   in use: the slot's own number; deleted: next slot of the deleted-slot chain
//   5    4   row id, unique within the table; auto-increment columns read it
//   9    ... stored columns in column order (not auto-increment, not computed), each a
//            presence byte and its value (values.h)
// So R = 9 + the sum of (physical size + 1) over the stored columns; R together
// with the computed-column area is at most 65535.
//
// Invariants kept here:
//   - the layout check of opening holds for the whole life of the open file;
//   - the file's length matches the next-slot number after every write-back;
//   - row ids count up from the last one handed out and restart at 1 after
//     2147483647;
//   - deleted slots are reused, from the head of the chain, only when the
//     primary index has key columns;
//   - a failed append, change or delete leaves memory and files as they were:
//     every layer journals what the operation changes and rolls it back, and
//     what a write-back already wrote is written back in its former state.
//
// Slots live in a cache of at most 131070 bytes (65535 buffers at most) of
// slot plus computed-area size, unless the open asks for another size
// (OpenMode::slotCacheBytes). A slot that is not cached is read with the
// slots after it, as many as fit into 32767 bytes and no more than the file
// holds, in one read (of which only that slot is kept when making room for it
// wrote changed slots out: the rest was read before); a walk in the order of
// an index reads instead the slots the index names next, as many (readAhead),
// unless the cache holds every slot of the file (holdsWholeFile), when every
// read takes the run of 32767 bytes that holds the slot, counted from the
// first slot, and the neighbours read stay for the walk to meet. Changed
// slots go back sorted, each run of consecutive slots in one write: in a shared open after every append, change and delete,
// together with the memo file, the index file and then the header (which goes
// last, so that the file never counts slots whose memo values are not yet on
// disk); in an exclusive open when the table is closed, and earlier only for
// buffers whose room the cache needs. Every write of the three files passes
// the table's rollback journal (journal.h) first: a write-back lands whole
// or, rolled back, not at all, and in an exclusive open everything from the
// first write to the write-back at close does. An exclusive write-back that
// fails leaves the files as they were at open and the handle refusing
// further changes.
//
// Locks between processes belong to the locking layer, which wraps the write
// lock and row lock around append(), change() and remove(), and the read lock
// (setReadGuard) around every read the cache cannot answer; refreshIfChanged()
// is its change check.

#include "store/buffercache.h"
#include "store/file.h"
#include "store/journal.h"
#include "store/localehook.h"
#include "store/memofile.h"
#include "store/operationundo.h"
#include "store/passwords.h"
#include "store/rowindexes.h"
#include "store/schema.h"
#include "store/tablefiles.h"
#include "store/values.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace store {

inline constexpr int DataHeaderSize = 127;
inline constexpr int ColumnDefinitionSize = 768;
inline constexpr int DataFormatVersion = 3;
inline constexpr std::int32_t MaxRowId = 2147483647;
inline constexpr std::int32_t MaxSlotNumber = 100000000;
inline constexpr std::int64_t MaxSlotBytes = 2000000000;
inline constexpr int MaxSlotSize = 65535;
inline constexpr int ReadAheadBytes = 32767;
inline constexpr std::size_t SlotCacheBytes = 131070;
inline constexpr std::size_t MaxSlotBuffers = 65535;
inline constexpr int MaxDeclaredSize = 250;
inline constexpr int MaxColumnNameLength = 30;
inline constexpr int MaxDescriptionLength = 50;
inline constexpr int MaxColumnTextLength = 49;  // minimum, maximum and default, before their zero byte

namespace dataheader {
inline constexpr int ChangeCounter = 0;
inline constexpr int MemoBlockSize = 4;
inline constexpr int Version = 8;
inline constexpr int DeletedChain = 9;
inline constexpr int NextSlot = 13;
inline constexpr int LastRowId = 17;
inline constexpr int SlotSize = 21;
inline constexpr int ColumnCount = 23;
inline constexpr int BlobCount = 25;
inline constexpr int LastUpdate = 27;
inline constexpr int Description = 35;
inline constexpr int DescriptionWidth = 51;
inline constexpr int Encrypted = 86;
inline constexpr int Password = 87;
inline constexpr int PasswordWidth = 16;
inline constexpr int LanguageId = 103;
inline constexpr int SortId = 105;
inline constexpr int ComputedArea = 111;
}  // namespace dataheader

namespace columndefinition {
inline constexpr int Number = 0;
inline constexpr int Name = 2;
inline constexpr int NameWidth = 82;
inline constexpr int Type = 84;
inline constexpr int Subtype = 85;
inline constexpr int DeclaredSize = 86;
inline constexpr int Decimals = 87;
inline constexpr int PhysicalSize = 88;
inline constexpr int DecimalsCopy = 89;
inline constexpr int Offset = 90;
inline constexpr int Required = 92;
inline constexpr int HasMinimum = 94;
inline constexpr int Minimum = 95;
inline constexpr int HasMaximum = 145;
inline constexpr int Maximum = 146;
inline constexpr int HasDefault = 196;
inline constexpr int Default = 197;
inline constexpr int TextWidth = 50;
inline constexpr int Computed = 247;
inline constexpr int Expression = 248;
inline constexpr int ExpressionWidth = 256;
}  // namespace columndefinition

namespace slot {
inline constexpr int State = 0;
inline constexpr int Link = 1;
inline constexpr int RowId = 5;
inline constexpr int Columns = 9;
inline constexpr std::uint8_t InUse = 0;
inline constexpr std::uint8_t Deleted = 1;
}  // namespace slot

struct DataHeader {
    std::int32_t changeCounter = 0;
    std::uint32_t memoBlockSize = DefaultMemoBlockSize;
    std::uint8_t version = DataFormatVersion;
    std::int32_t deletedChain = 0;
    std::int32_t nextSlot = 1;
    std::int32_t lastRowId = 0;
    std::uint16_t slotSize = 0;
    std::uint16_t columnCount = 0;
    std::int16_t blobCount = 0;
    double lastUpdate = 0;
    std::string description;
    bool encrypted = false;
    std::string password;  // scrambled, as stored
    std::int16_t languageId = 0;
    std::uint16_t sortId = 0;
    std::int16_t computedArea = 0;
    std::array<std::uint8_t, DataHeaderSize> image{};  // reserved bytes as last read
};

DataHeader decodeDataHeader(const std::uint8_t* image);
void encodeDataHeader(DataHeader& header, std::uint8_t* image);
Column decodeColumnDefinition(const std::uint8_t* image);
void encodeColumnDefinition(const Column& column, std::uint8_t* image);

// Sets the physical size from type and declared size; false for a type,
// subtype, size or decimal count that no column can have.
bool derivePhysicalSize(Column& column);
// Gives every column its place (stored ones from offset 9 in order,
// auto-increment ones 5) and returns R; computedArea gets the working area.
int layOutSlot(std::vector<Column>& columns, int& computedArea);

// A row as the caller reads or builds it: the slot's image, whose memo
// references stand for open values while they are being written.
struct Row {
    std::int32_t slot = 0;  // 0 until the row is stored
    std::vector<std::uint8_t> image;
};

struct DataFileOptions {
    OpenMode mode;
    bool repairMemo = false;  // cut broken memo chains instead of failing (MemoFile::repairLog)
    const LocaleHook* locales = &systemLocales();
    TablePasswords* passwords = &tablePasswords();
    IndexOpener openIndexes;  // empty: the header-only stand-in (headeronlyindexes.h)
    // Roll back a journal left beside the table before reading it; off only
    // for a caller that has done so itself and holds a reader's lock.
    bool recoverJournal = true;
};

class DataFile {
public:
    // Opens the table's files and checks them; any failure closes what was
    // opened and is passed on.
    static std::unique_ptr<DataFile> open(FileSystem& files, const std::string& tableName,
                                          const DataFileOptions& options = {});
    // Writes back what close() would, ignoring failures: an owner that wants
    // to see them calls close() first.
    ~DataFile();
    DataFile(const DataFile&) = delete;
    DataFile& operator=(const DataFile&) = delete;

    // Writes back everything changed and closes the files, even when the
    // write-back fails. Afterwards the object can only be destroyed.
    void close();

    const std::string& name() const { return names_.data; }
    const TableFileNames& fileNames() const { return names_; }
    const DataHeader& header() const { return header_; }
    const std::vector<Column>& columns() const { return columns_; }
    // Column numbers count from 1; others fail with "Invalid field number or name ...".
    const Column& column(int number) const;
    // The number of the column named so, ignoring case; 0 when there is none.
    int findColumn(const std::string& name) const;
    bool isReadOnly() const { return access_ == Access::ReadOnly; }
    bool isExclusive() const { return mode_.sharing == Sharing::Exclusive; }
    std::int32_t slotCount() const { return header_.nextSlot - 1; }
    std::size_t slotCacheCapacity() const { return slots_->capacity(); }
    RowIndexes& indexes() { return *indexes_; }
    MemoFile* memo() { return memo_.get(); }
    // For the locking layer: the file, for its byte-range locks, and the
    // guard around every read the slot cache cannot answer.
    File& diskFile() { return *file_; }
    void setReadGuard(ReadGuard guard) { readGuard_ = std::move(guard); }

    Row newRow();
    Row readRow(std::int32_t slot);
    // As readRow, into row's own buffer, so that a cursor's steps allocate nothing.
    void readRowInto(std::int32_t slot, Row& row);
    // The image of a slot, good until the next call that reads or changes slots.
    const std::uint8_t* slotView(std::int32_t slot) { return slotImage(slot); }
    bool isDeleted(std::int32_t slot);
    Value value(const Row& row, int column);
    void setValue(Row& row, int column, const Value& value);
    // The whole value of a memo or binary column, as it is or as the row
    // will store it; other columns fail with "Invalid blob field ...".
    std::string readBlob(const Row& row, int column);
    void writeBlob(Row& row, int column, std::string content);
    // Drops the row's open memo values (a row given up before it is stored).
    void release(Row& row);

    std::int32_t append(Row& row);
    // The slot the next append takes, as long as nothing changes before it.
    std::int32_t slotForAppend();
    void change(Row& row);
    void remove(std::int32_t slot);
    void empty();
    void writeBack();

    // Reading ahead in the order of an index: the slots it names next, those
    // not cached read in one go, each run of consecutive ones in one read.
    // As many as the read-ahead of a slot (readAheadCount) are worth asking for.
    bool holdsSlot(std::int32_t slot) const { return slots_->contains(slot); }
    bool holdsWholeFile() const { return slots_->capacity() >= static_cast<std::size_t>(slotCount()); }
    std::int32_t readAheadCount() const;
    void readAhead(const std::vector<std::int32_t>& slots);

    // A pinned slot stays in its buffer; at most 64 pins at once on one slot.
    const std::uint8_t* pin(std::int32_t slot);
    void unpin(std::int32_t slot);

    // Compares the change counter on disk with the cached header's; when
    // another process wrote the table, rereads the header and drops cached
    // slots. Says whether it did. The index and memo files have their own.
    // Forced, it does so whatever the counter says.
    bool refreshIfChanged(bool force = false);
    // Whether the change counter on disk differs from the cached header's,
    // read without the read guard: for a caller that knows what it holds.
    bool changedByOthers();

    // For the locking layer, holding the write lock: rolls back a journal
    // that a copy which died left beside the table. Says whether there was
    // one; the caches must then be refreshed by force, since a rollback puts
    // the change counters back too.
    bool recoverJournal() { return journal_ && journal_->recoverIfHot(); }
    // For the locking layer, when a change check found another copy's writes.
    void othersWrote()
    {
        if (journal_) journal_->othersMayHaveWritten();
    }
    bool journalExists() { return journal_ && journal_->exists(); }
    // Where slot n starts in the data file.
    std::int64_t slotOffset(std::int32_t slot) const;

private:
    class Operation;

    DataFile(FileSystem& files, TableFileNames names, const DataFileOptions& options);
    void openFiles(FileSystem& files, const DataFileOptions& options);
    void readHeader();
    void checkAccess(const DataFileOptions& options);
    void readColumns();
    void checkLayout();
    void checkLength();

    void requireSlot(std::int32_t slot) const;
    [[noreturn]] void noSuchSlot(std::int32_t slot) const;
    [[noreturn]] void noSuchColumn(int number) const;
    void requireWritable() const;
    void readFromDisk(std::int64_t offset, std::uint8_t* data, std::int64_t size);
    std::int32_t readableFrom(std::int32_t start, std::int32_t wanted);
    void writeSlots(std::int64_t first, const std::vector<const std::uint8_t*>& images);
    void writeHeader();
    const std::uint8_t* slotImage(std::int32_t slot);
    bool cacheAhead(std::int32_t first, const std::uint8_t* images, std::int32_t count);
    std::uint8_t* stage(std::size_t bytes);
    void fillBuffer(std::uint8_t* buffer, const std::uint8_t* image) const;
    std::vector<std::uint8_t> liveImage(std::int32_t slot);
    void storeSlot(std::int32_t slot, const std::vector<std::uint8_t>& image, bool isNew);

    bool hasValue(const Row& row, const Column& column) const;
    void checkRow(const Row& row);
    std::int32_t chooseSlot(std::vector<std::uint8_t>& deletedImage);
    void claimSlot(std::int32_t slot, const std::vector<std::uint8_t>& deletedImage);
    std::int32_t nextRowId();
    int openValueOf(const Row& row, const Column& column) const;
    const Column& blobColumn(const Row& row, int number) const;
    void writeMemoValues(const Row& row, std::vector<std::uint8_t>& image, std::int32_t slot);
    void closeMemoValues(const Row& row);
    void freeMemoValues(const std::vector<std::uint8_t>& image, std::int32_t slot);
    void writeBackAll();
    void emptyFiles();
    void matchLengthToStoredHeader() noexcept;

    void beginOperation();
    void endOperation();
    void rollBack() noexcept;

    TableFileNames names_;
    OpenMode mode_;
    Access access_ = Access::ReadWrite;
    std::unique_ptr<Journal> journal_;  // outlives the files opened through it
    bool sessionLost_ = false;          // an exclusive write-back failed and was rolled back
    std::unique_ptr<File> file_;
    DataHeader header_;
    std::vector<std::uint8_t> headerOnDisk_;  // the header as the file was last seen to hold it; empty: not known
    bool headerChanged_ = false;
    std::vector<Column> columns_;
    std::int64_t slotsStart_ = 0;
    std::int64_t slotsOnDisk_ = 0;  // at least, in an exclusive open
    std::unique_ptr<BufferCache> slots_;
    std::unique_ptr<std::uint8_t[]> staged_;  // slots as read from disk, before they go into the cache
    std::size_t stagedCapacity_ = 0;
    std::unique_ptr<RowIndexes> indexes_;
    std::unique_ptr<MemoFile> memo_;
    ReadGuard readGuard_;

    OperationUndo<DataHeader> undo_;  // the operation in progress
};

}  // namespace store
