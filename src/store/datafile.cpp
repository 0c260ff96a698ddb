// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/datafile.h"

#include "store/bytes.h"
#include "store/tableindexes.h"
#include "store/names.h"
#include "store/storeerror.h"
#include "store/storemessages.h"

#include <algorithm>
#include <cstring>

namespace store {

namespace {

std::string getText(const std::uint8_t* at, std::size_t width)
{
    const void* end = std::memchr(at, 0, width);
    std::size_t length = end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - at) : width;
    return std::string(reinterpret_cast<const char*>(at), length);
}

void putText(std::uint8_t* at, std::size_t width, const std::string& text)
{
    std::memset(at, 0, width);
    std::memcpy(at, text.data(), std::min(text.size(), width - 1));
}

bool knownSubtype(const Column& column)
{
    switch (column.type) {
    case FieldType::Blob: return column.subtype >= subtype::Memo && column.subtype <= subtype::TypedBinary;
    case FieldType::Integer: return column.subtype == subtype::None || column.subtype == subtype::AutoIncrement;
    case FieldType::Float: return column.subtype == subtype::None || column.subtype == subtype::Money;
    default: return column.subtype == subtype::None;
    }
}

}  // namespace

// ---- Header and column definitions ------------------------------------------------

DataHeader decodeDataHeader(const std::uint8_t* image)
{
    using namespace dataheader;
    DataHeader header;
    std::memcpy(header.image.data(), image, DataHeaderSize);
    header.changeCounter = bytes::getI32(image + ChangeCounter);
    header.memoBlockSize = bytes::getU32(image + MemoBlockSize);
    header.version = image[Version];
    header.deletedChain = bytes::getI32(image + DeletedChain);
    header.nextSlot = bytes::getI32(image + NextSlot);
    header.lastRowId = bytes::getI32(image + LastRowId);
    header.slotSize = bytes::getU16(image + SlotSize);
    header.columnCount = bytes::getU16(image + ColumnCount);
    header.blobCount = bytes::getI16(image + BlobCount);
    header.lastUpdate = bytes::getF64(image + LastUpdate);
    header.description = bytes::getShortString(image + Description, DescriptionWidth);
    header.encrypted = image[Encrypted] != 0;
    header.password = bytes::getShortString(image + Password, PasswordWidth);
    header.languageId = bytes::getI16(image + LanguageId);
    header.sortId = bytes::getU16(image + SortId);
    header.computedArea = bytes::getI16(image + ComputedArea);
    return header;
}

void encodeDataHeader(DataHeader& header, std::uint8_t* image)
{
    using namespace dataheader;
    std::uint8_t* at = header.image.data();
    bytes::putI32(at + ChangeCounter, header.changeCounter);
    bytes::putU32(at + MemoBlockSize, header.memoBlockSize);
    at[Version] = header.version;
    bytes::putI32(at + DeletedChain, header.deletedChain);
    bytes::putI32(at + NextSlot, header.nextSlot);
    bytes::putI32(at + LastRowId, header.lastRowId);
    bytes::putU16(at + SlotSize, header.slotSize);
    bytes::putU16(at + ColumnCount, header.columnCount);
    bytes::putI16(at + BlobCount, header.blobCount);
    bytes::putF64(at + LastUpdate, header.lastUpdate);
    bytes::putShortString(at + Description, DescriptionWidth, header.description);
    at[Encrypted] = header.encrypted;
    bytes::putShortString(at + Password, PasswordWidth, header.password);
    bytes::putI16(at + LanguageId, header.languageId);
    bytes::putU16(at + SortId, header.sortId);
    bytes::putI16(at + ComputedArea, header.computedArea);
    std::memcpy(image, at, DataHeaderSize);
}

Column decodeColumnDefinition(const std::uint8_t* image)
{
    using namespace columndefinition;
    Column column;
    column.number = bytes::getU16(image + Number);
    column.name = bytes::getShortString(image + Name, NameWidth);
    column.type = static_cast<FieldType>(image[Type]);
    column.subtype = image[Subtype];
    column.size = image[DeclaredSize];
    column.decimals = image[Decimals];
    column.physicalSize = image[PhysicalSize];
    column.offset = bytes::getU16(image + Offset);
    column.required = image[Required] != 0;
    column.hasMinimum = image[HasMinimum] != 0;
    column.minimum = getText(image + Minimum, TextWidth);
    column.hasMaximum = image[HasMaximum] != 0;
    column.maximum = getText(image + Maximum, TextWidth);
    column.hasDefault = image[HasDefault] != 0;
    column.defaultValue = getText(image + Default, TextWidth);
    column.computed = image[Computed] != 0;
    column.expression = getText(image + Expression, ExpressionWidth);
    return column;
}

void encodeColumnDefinition(const Column& column, std::uint8_t* image)
{
    using namespace columndefinition;
    std::memset(image, 0, ColumnDefinitionSize);
    bytes::putU16(image + Number, static_cast<std::uint16_t>(column.number));
    bytes::putShortString(image + Name, NameWidth, column.name);
    image[Type] = static_cast<std::uint8_t>(column.type);
    image[Subtype] = column.subtype;
    image[DeclaredSize] = column.size;
    image[Decimals] = column.decimals;
    image[PhysicalSize] = column.physicalSize;
    image[DecimalsCopy] = column.decimals;
    bytes::putU16(image + Offset, column.offset);
    image[Required] = column.required;
    image[HasMinimum] = column.hasMinimum;
    putText(image + Minimum, TextWidth, column.minimum);
    image[HasMaximum] = column.hasMaximum;
    putText(image + Maximum, TextWidth, column.maximum);
    image[HasDefault] = column.hasDefault;
    putText(image + Default, TextWidth, column.defaultValue);
    image[Computed] = column.computed;
    putText(image + Expression, ExpressionWidth, column.expression);
}

bool derivePhysicalSize(Column& column)
{
    if (!knownSubtype(column)) return false;
    bool sized = column.size >= 1 && column.size <= MaxDeclaredSize;
    int size = 0;
    switch (column.type) {
    case FieldType::String: size = sized ? column.size + 1 : 0; break;
    case FieldType::Bytes:
    case FieldType::VarBytes: size = sized ? column.size : 0; break;
    case FieldType::Date:
    case FieldType::Blob:
    case FieldType::Integer:
    case FieldType::Time:
    case FieldType::LongWord: size = 4; break;
    case FieldType::Boolean:
    case FieldType::SmallInt:
    case FieldType::Word: size = 2; break;
    case FieldType::Float:
    case FieldType::Timestamp: size = 8; break;
    case FieldType::Decimal: size = column.decimals <= MaxDecimalPlaces ? 8 : 0; break;
    case FieldType::Extended: size = 10; break;
    default: size = 0;
    }
    column.physicalSize = static_cast<std::uint8_t>(size);
    return size > 0;
}

int layOutSlot(std::vector<Column>& columns, int& computedArea)
{
    int running = slot::Columns;
    computedArea = 0;
    for (Column& column : columns) {
        if (column.isAutoIncrement()) {
            column.offset = slot::RowId;
        } else if (column.computed) {
            column.offset = 0;
            computedArea += column.physicalSize + 1;
        } else {
            column.offset = static_cast<std::uint16_t>(running);
            running += column.physicalSize + 1;
        }
    }
    return running;
}

// ---- Opening ------------------------------------------------------------------------

// Reverts everything an operation changed unless it was committed.
class DataFile::Operation {
public:
    explicit Operation(DataFile& data) : data_(data) { data_.beginOperation(); }
    ~Operation()
    {
        if (!committed_) data_.rollBack();
    }
    Operation(const Operation&) = delete;
    Operation& operator=(const Operation&) = delete;
    void commit()
    {
        data_.endOperation();
        committed_ = true;
    }

private:
    DataFile& data_;
    bool committed_ = false;
};

DataFile::DataFile(FileSystem&, TableFileNames names, const DataFileOptions& options)
    : names_(std::move(names)), mode_(options.mode)
{
}

std::unique_ptr<DataFile> DataFile::open(FileSystem& files, const std::string& tableName,
                                         const DataFileOptions& options)
{
    std::unique_ptr<DataFile> data(new DataFile(files, tableFileNames(tableName), options));
    data->openFiles(files, options);
    return data;
}

void DataFile::openFiles(FileSystem& files, const DataFileOptions& options)
{
    access_ = options.mode.readOnly || files.isReadOnly(names_.data) ? Access::ReadOnly : Access::ReadWrite;
    // Even a reader puts back what a writer that died left half done, when
    // the files let it.
    if (options.recoverJournal) recoverTable(files, names_, mode_.sharing);
    if (access_ == Access::ReadWrite) journal_ = std::make_unique<Journal>(files, names_, mode_.sharing, mode_.writeThrough);
    FileSystem& tableFiles = journal_ ? journal_->fileSystem() : files;
    file_ = openTableFile(tableFiles, names_.data, names_.data, access_, mode_);
    readHeader();
    checkAccess(options);
    readColumns();
    checkLayout();
    checkLength();

    const std::size_t bufferSize = header_.slotSize + static_cast<std::size_t>(header_.computedArea);
    const std::size_t buffers = mode_.slotCacheBytes == 0 ? std::min(MaxSlotBuffers, SlotCacheBytes / bufferSize)
                                                          : mode_.slotCacheBytes / bufferSize;
    slots_ = std::make_unique<BufferCache>(
        bufferSize, buffers, messages::recordBuffersCorrupt(name()),
        [this](std::int64_t first, const std::vector<const std::uint8_t*>& images) { writeSlots(first, images); });
    IndexOpener openIndexes = options.openIndexes ? options.openIndexes : IndexOpener(&TableIndexes::open);
    indexes_ = openIndexes(IndexOpenRequest{tableFiles, names_.index, names_.data, access_, mode_, columns_,
                                            *options.locales, header_.languageId, header_.sortId});
    if (header_.blobCount != 0) {
        std::uint32_t blockSize = header_.memoBlockSize == 0 ? DefaultMemoBlockSize : header_.memoBlockSize;
        memo_ = MemoFile::open(tableFiles, MemoFile::Settings{names_.memo, names_.data, access_, mode_, blockSize,
                                                         options.repairMemo});
    }
}

void DataFile::readHeader()
{
    std::uint8_t image[DataHeaderSize];
    readFromDisk(0, image, DataHeaderSize);
    header_ = decodeDataHeader(image);
    headerOnDisk_.assign(image, image + DataHeaderSize);
    if (header_.version != DataFormatVersion) throw StoreError(messages::notCorrectVersion(name()));
}

// No table cipher exists yet: an encrypted table whose password is known
// still cannot be read, and says so rather than showing enciphered bytes.
void DataFile::checkAccess(const DataFileOptions& options)
{
    if (header_.languageId != 0 && !options.locales->isAvailable(header_.languageId, header_.sortId))
        throw StoreError(messages::languageDriverMissing(name()));
    if (!header_.encrypted) return;
    TablePasswords& passwords = *options.passwords;
    std::string password = unscramblePassword(header_.password);
    while (!passwords.knows(password))
        if (!passwords.ask || !passwords.ask(name(), passwords)) throw StoreError(messages::passwordRequired(name()));
    throw StoreError("Data file " + name() + " is encrypted, and no table cipher is available");
}

void DataFile::readColumns()
{
    const int count = header_.columnCount;
    if (count < 1 || count > MaxColumns) throw StoreError(messages::headerCorrupt(name()));
    std::vector<std::uint8_t> definitions(static_cast<std::size_t>(count) * ColumnDefinitionSize);
    readFromDisk(DataHeaderSize, definitions.data(), static_cast<std::int64_t>(definitions.size()));
    for (int i = 0; i < count; ++i) {
        Column column = decodeColumnDefinition(definitions.data() + i * ColumnDefinitionSize);
        if (!derivePhysicalSize(column)) throw StoreError(messages::headerCorrupt(name()));
        columns_.push_back(std::move(column));
    }
    slotsStart_ = DataHeaderSize + std::int64_t{count} * ColumnDefinitionSize;
}

// Besides the places of the columns, the memo column count must match the
// definitions, since it decides whether the memo file is opened at all.
void DataFile::checkLayout()
{
    int running = slot::Columns, computedArea = 0, blobs = 0;
    bool sound = true;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const Column& column = columns_[i];
        sound &= column.number == static_cast<int>(i + 1);
        blobs += column.isBlob();
        if (column.isAutoIncrement()) {
            sound &= column.offset == slot::RowId;
        } else if (column.computed) {
            computedArea += column.physicalSize + 1;
        } else {
            sound &= column.offset == running;
            running += column.physicalSize + 1;
        }
    }
    sound &= running == header_.slotSize && computedArea == header_.computedArea;
    sound &= running + computedArea <= MaxSlotSize && blobs == header_.blobCount;
    std::uint32_t blockSize = header_.memoBlockSize == 0 ? DefaultMemoBlockSize : header_.memoBlockSize;
    sound &= blobs == 0 || (blockSize >= MinMemoBlockSize && blockSize <= 65535);
    if (!sound) throw StoreError(messages::headerCorrupt(name()));
}

void DataFile::checkLength()
{
    std::int64_t slotBytes = sizeOrFail(*file_, name()) - slotsStart_;
    const std::int64_t size = header_.slotSize;
    if (header_.nextSlot < 1 || slotBytes < 0 || slotBytes % size != 0 || slotBytes / size + 1 < header_.nextSlot)
        throw StoreError(messages::headerCorrupt(name()));
    // Whole slots past the header's count are a write-back whose header never
    // followed: its writer died. They hold no row, and left in place they
    // would keep every copy out of the table. A slot there with a row id the
    // header has given out says the count itself is damaged: cutting would
    // lose rows.
    const std::int64_t onDisk = slotBytes / size;
    if (onDisk + 1 == header_.nextSlot) return;
    for (std::int64_t slot = header_.nextSlot; slot <= onDisk; ++slot) {
        std::uint8_t head[slot::Columns];
        readOrFail(*file_, slotsStart_ + (slot - 1) * size, head, slot::Columns, name());
        std::int32_t rowId = bytes::getI32(head + slot::RowId);
        if (rowId >= 1 && rowId <= header_.lastRowId) throw StoreError(messages::headerCorrupt(name()));
    }
    if (!isReadOnly()) truncateOrFail(*file_, slotOffset(header_.nextSlot), name());
}

DataFile::~DataFile()
{
    try {
        close();
    } catch (const StoreError&) {
    }
}

void DataFile::close()
{
    if (!file_) return;
    struct Release {
        DataFile& data;
        ~Release()
        {
            data.memo_.reset();
            data.indexes_.reset();
            data.file_.reset();
        }
    } release{*this};
    if (!slots_ || !indexes_ || isReadOnly() || sessionLost_) return;
    try {
        writeBackAll();
    } catch (...) {
        matchLengthToStoredHeader();
        throw;
    }
}

// A write-back cut short at close leaves slots beyond what the header on
// disk counts; cutting them off keeps the table openable, as it was when
// that header was written.
void DataFile::matchLengthToStoredHeader() noexcept
{
    std::uint8_t image[DataHeaderSize];
    if (!readExact(*file_, 0, image, DataHeaderSize)) return;
    DataHeader stored = decodeDataHeader(image);
    if (stored.slotSize != header_.slotSize || stored.nextSlot < 1) return;
    file_->truncate(slotOffset(stored.nextSlot));
    slotsOnDisk_ = 0;
}

// ---- Columns --------------------------------------------------------------------------

const Column& DataFile::column(int number) const
{
    if (number < 1 || number > static_cast<int>(columns_.size())) noSuchColumn(number);
    return columns_[static_cast<std::size_t>(number - 1)];
}

// Kept out of line: a cursor asks for columns and slots at every step, and
// the message need not be made ready there.
void DataFile::noSuchColumn(int number) const
{
    throw StoreError(messages::invalidField(std::to_string(number), name()));
}

int DataFile::findColumn(const std::string& name) const
{
    for (const Column& column : columns_)
        if (equalIgnoringCase(column.name, name)) return column.number;
    return 0;
}

// ---- Slots -----------------------------------------------------------------------------

std::int64_t DataFile::slotOffset(std::int32_t slot) const
{
    return slotsStart_ + (std::int64_t{slot} - 1) * header_.slotSize;
}

void DataFile::requireSlot(std::int32_t slot) const
{
    if (slot < 1 || slot >= header_.nextSlot) noSuchSlot(slot);
}

void DataFile::noSuchSlot(std::int32_t slot) const
{
    throw StoreError("Slot " + std::to_string(slot) + " does not exist in data file " + name());
}

void DataFile::requireWritable() const
{
    if (isReadOnly()) throw StoreError(messages::accessDenied(name()));
    if (sessionLost_) throw StoreError(messages::errorWriting(name()));
}

// Every read of the file that the cache does not answer goes through here.
void DataFile::readFromDisk(std::int64_t offset, std::uint8_t* data, std::int64_t size)
{
    auto read = [&] { readOrFail(*file_, offset, data, size, name()); };
    if (readGuard_) readGuard_(std::ref(read));  // a reference: no copy of the lambda on the heap
    else read();
}

void DataFile::writeSlots(std::int64_t first, const std::vector<const std::uint8_t*>& images)
{
    const std::size_t size = header_.slotSize;
    std::vector<std::uint8_t> run(images.size() * size);
    for (std::size_t i = 0; i < images.size(); ++i) std::memcpy(run.data() + i * size, images[i], size);
    writeOrFail(*file_, slotOffset(static_cast<std::int32_t>(first)), run.data(),
                static_cast<std::int64_t>(run.size()), name());
}

void DataFile::writeHeader()
{
    ++header_.changeCounter;
    header_.lastUpdate = lastUpdateStampOf(currentDateTime());
    std::uint8_t image[DataHeaderSize];
    encodeDataHeader(header_, image);
    undo_.noteHeaderWrite();
    writeOrFail(*file_, 0, image, DataHeaderSize, name(), headerOnDisk_.empty() ? nullptr : headerOnDisk_.data());
    headerOnDisk_.assign(image, image + DataHeaderSize);
    headerChanged_ = false;
}

const std::uint8_t* DataFile::slotImage(std::int32_t slot)
{
    requireSlot(slot);
    if (const std::uint8_t* cached = slots_->find(slot)) return cached;
    const std::int32_t size = header_.slotSize;
    // A cache that keeps the whole file reads it in fixed runs, so that no
    // run reads again what an earlier one brought in.
    const std::int32_t perRead = readAheadCount();
    const std::int32_t start = holdsWholeFile() ? slot - (slot - 1) % perRead : slot;
    std::int32_t count =
        std::max(slot - start + 1, std::min({perRead, header_.nextSlot - start, readableFrom(start, perRead)}));
    const std::size_t bytes = static_cast<std::size_t>(count) * size;
    std::uint8_t* staged = stage(bytes);
    readFromDisk(slotOffset(start), staged, static_cast<std::int64_t>(bytes));
    const std::size_t before = static_cast<std::size_t>(slot - start) * size;
    const std::uint64_t runsWritten = slots_->runsWritten();
    std::uint8_t* wanted = slots_->place(slot);
    fillBuffer(wanted, staged + before);
    // Making room may have written changed neighbours out and let them go:
    // what was read for them before that is older than the file now.
    if (slots_->runsWritten() != runsWritten) return wanted;
    slots_->pin(slot);
    cacheAhead(start, staged, slot - start);
    cacheAhead(slot + 1, staged + before + size, count - (slot - start) - 1);
    slots_->unpin(slot);
    return wanted;
}

// Room for bytes read from the file; what it held before is left as it is,
// since the read overwrites it.
std::uint8_t* DataFile::stage(std::size_t bytes)
{
    if (bytes > stagedCapacity_) {
        staged_ = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
        stagedCapacity_ = bytes;
    }
    return staged_.get();
}

// A slot's buffer holds its image and the computed-column area, zero.
void DataFile::fillBuffer(std::uint8_t* buffer, const std::uint8_t* image) const
{
    std::memcpy(buffer, image, header_.slotSize);
    std::memset(buffer + header_.slotSize, 0, slots_->bufferSize() - header_.slotSize);
}

// Slots read along with others go only into buffers that are free or hold
// nothing to write: reading ahead never costs a write.
bool DataFile::cacheAhead(std::int32_t first, const std::uint8_t* images, std::int32_t count)
{
    const std::size_t size = header_.slotSize;
    for (std::int32_t i = 0; i < count; ++i) {
        if (slots_->contains(first + i)) continue;
        std::uint8_t* ahead = slots_->placeWithoutWriting(first + i);
        if (!ahead) return false;
        fillBuffer(ahead, images + static_cast<std::size_t>(i) * size);
    }
    return true;
}

// In an exclusive open new rows may wait in the cache past the file's end;
// no other copy changes the file's length meanwhile, so the length last
// seen stands until one of ours cuts the file.
std::int32_t DataFile::readableFrom(std::int32_t start, std::int32_t wanted)
{
    if (!isExclusive()) return wanted;
    if (start + wanted - 1 > slotsOnDisk_) slotsOnDisk_ = (sizeOrFail(*file_, name()) - slotsStart_) / header_.slotSize;
    return static_cast<std::int32_t>(std::min<std::int64_t>(wanted, slotsOnDisk_ - start + 1));
}

std::int32_t DataFile::readAheadCount() const { return std::max(1, ReadAheadBytes / header_.slotSize); }

void DataFile::readAhead(const std::vector<std::int32_t>& wanted)
{
    std::vector<std::int32_t> missing;
    for (std::int32_t slot : wanted)
        if (slot >= 1 && slot < header_.nextSlot && !slots_->contains(slot)) missing.push_back(slot);
    std::sort(missing.begin(), missing.end());
    missing.erase(std::unique(missing.begin(), missing.end()), missing.end());
    const std::size_t size = header_.slotSize;
    for (std::size_t at = 0; at < missing.size();) {
        std::size_t end = at + 1;
        while (end < missing.size() && missing[end] == missing[end - 1] + 1) ++end;
        const std::size_t bytes = (end - at) * size;
        std::uint8_t* staged = stage(bytes);
        readFromDisk(slotOffset(missing[at]), staged, static_cast<std::int64_t>(bytes));
        if (!cacheAhead(missing[at], staged, static_cast<std::int32_t>(end - at))) return;
        at = end;
    }
}

std::vector<std::uint8_t> DataFile::liveImage(std::int32_t slot)
{
    const std::uint8_t* image = slotImage(slot);
    if (image[slot::State] != slot::InUse)
        throw StoreError("Slot " + std::to_string(slot) + " of data file " + name() + " holds no row");
    return std::vector<std::uint8_t>(image, image + header_.slotSize);
}

void DataFile::storeSlot(std::int32_t slot, const std::vector<std::uint8_t>& image, bool isNew)
{
    std::uint8_t* buffer;
    if (isNew) {
        buffer = slots_->placeNew(slot);
    } else {
        slotImage(slot);
        buffer = slots_->modify(slot);
    }
    std::memcpy(buffer, image.data(), header_.slotSize);
}

const std::uint8_t* DataFile::pin(std::int32_t slot)
{
    const std::uint8_t* image = slotImage(slot);
    slots_->pin(slot);
    return image;
}

void DataFile::unpin(std::int32_t slot) { slots_->unpin(slot); }

bool DataFile::changedByOthers()
{
    if (isExclusive()) return false;
    std::uint8_t counter[4];
    static_assert(dataheader::ChangeCounter == 0);
    if (!file_->peekHead(counter, sizeof counter))
        readOrFail(*file_, dataheader::ChangeCounter, counter, sizeof counter, name());
    return bytes::getI32(counter) != header_.changeCounter;
}

bool DataFile::refreshIfChanged(bool force)
{
    if (isExclusive()) return false;
    if (!force && !changedByOthers()) return false;
    readHeader();
    slots_->dropUnchanged();
    return true;
}

// ---- Rows and values ------------------------------------------------------------------

Row DataFile::newRow()
{
    Row row{0, std::vector<std::uint8_t>(header_.slotSize, 0)};
    try {
        for (const Column& column : columns_)
            if (column.hasDefault && column.isStored()) setValue(row, column.number, defaultValueOf(column));
    } catch (const StoreError&) {
        release(row);
        throw;
    }
    return row;
}

Row DataFile::readRow(std::int32_t slot)
{
    const std::uint8_t* image = slotImage(slot);
    return Row{slot, std::vector<std::uint8_t>(image, image + header_.slotSize)};
}

void DataFile::readRowInto(std::int32_t slot, Row& row)
{
    const std::uint8_t* image = slotImage(slot);
    row.slot = slot;
    row.image.assign(image, image + header_.slotSize);
}

bool DataFile::isDeleted(std::int32_t slot) { return slotImage(slot)[slot::State] != slot::InUse; }

int DataFile::openValueOf(const Row& row, const Column& column) const
{
    const std::uint8_t* place = row.image.data() + column.offset;
    std::int32_t reference = bytes::getI32(place + 1);
    if (place[0] == 0 || reference >= 0 || reference < -MaxOpenValues) return -1;
    return -reference - 1;
}

Value DataFile::value(const Row& row, int number)
{
    const Column& column = this->column(number);
    if (row.image.size() != header_.slotSize) throw StoreError(messages::recordBuffersCorrupt(name()));
    if (column.isAutoIncrement()) {
        std::int32_t id = bytes::getI32(row.image.data() + slot::RowId);
        return id == 0 ? Value() : Value(std::int64_t{id});
    }
    if (column.computed) return Value();
    if (!column.isBlob()) return decodeValue(column, row.image.data() + column.offset);
    std::string content = readBlob(row, number);
    if (content.empty()) return Value();
    return column.isMemo() ? Value(std::move(content)) : Value(Bytes{std::move(content)});
}

void DataFile::setValue(Row& row, int number, const Value& value)
{
    const Column& column = this->column(number);
    if (row.image.size() != header_.slotSize) throw StoreError(messages::recordBuffersCorrupt(name()));
    if (!column.isStored()) throw StoreError("Field '" + column.name + "' cannot be modified");
    Value converted = valueFor(column, value);
    if (!column.isBlob()) {
        encodeValue(column, converted, row.image.data() + column.offset);
        return;
    }
    std::string content;
    if (auto text = std::get_if<std::string>(&converted)) content = *text;
    if (auto raw = std::get_if<Bytes>(&converted)) content = raw->data;
    writeBlob(row, number, std::move(content));
}

const Column& DataFile::blobColumn(const Row& row, int number) const
{
    const Column& column = this->column(number);
    if (!column.isBlob()) throw StoreError(messages::invalidBlobField(column.name, name()));
    if (row.image.size() != header_.slotSize) throw StoreError(messages::recordBuffersCorrupt(name()));
    return column;
}

std::string DataFile::readBlob(const Row& row, int number)
{
    const Column& column = blobColumn(row, number);
    if (int open = openValueOf(row, column); open >= 0) return memo_->content(open);
    const std::uint8_t* place = row.image.data() + column.offset;
    std::int32_t first = bytes::getI32(place + 1);
    if (place[0] == 0 || first == 0) return {};
    int reading = memo_->openValue(row.slot, first, false);
    std::string content = memo_->content(reading);
    memo_->closeValue(reading);
    return content;
}

void DataFile::writeBlob(Row& row, int number, std::string content)
{
    const Column& column = blobColumn(row, number);
    std::uint8_t* place = row.image.data() + column.offset;
    int open = openValueOf(row, column);
    if (open < 0) {
        std::int32_t first = place[0] != 0 ? std::max(0, bytes::getI32(place + 1)) : 0;
        open = memo_->openValue(row.slot, first, true);
        place[0] = 1;
        bytes::putI32(place + 1, -(open + 1));
    }
    memo_->setContent(open, std::move(content));
}

void DataFile::release(Row& row)
{
    if (row.image.size() != header_.slotSize) return;
    for (const Column& column : columns_) {
        if (!column.isBlob()) continue;
        int open = openValueOf(row, column);
        if (open < 0) continue;
        std::int32_t first = memo_->firstBlock(open);
        memo_->closeValue(open);
        std::uint8_t* place = row.image.data() + column.offset;
        place[0] = first != 0;
        bytes::putI32(place + 1, first);
    }
}

bool DataFile::hasValue(const Row& row, const Column& column) const
{
    const std::uint8_t* place = row.image.data() + column.offset;
    if (!column.isBlob()) return place[0] != 0;
    int open = openValueOf(row, column);
    if (open >= 0) return !memo_->content(open).empty();
    return place[0] != 0 && bytes::getI32(place + 1) != 0;
}

void DataFile::checkRow(const Row& row)
{
    for (const Column& column : columns_) {
        if (!column.isStored()) continue;
        if (!hasValue(row, column)) {
            if (column.required) throw StoreError(messages::valueRequired(column.name, name()));
            continue;
        }
        if (column.isBlob() || (!column.hasMinimum && !column.hasMaximum)) continue;
        Value value = decodeValue(column, row.image.data() + column.offset);
        if (column.hasMinimum && compareValues(value, valueFromText(column, column.minimum)) < 0)
            throw StoreError(messages::belowMinimum(column.name, name()));
        if (column.hasMaximum && compareValues(value, valueFromText(column, column.maximum)) > 0)
            throw StoreError(messages::aboveMaximum(column.name, name()));
    }
}

// ---- Append, change, delete ---------------------------------------------------------------

std::int32_t DataFile::chooseSlot(std::vector<std::uint8_t>& deletedImage)
{
    if (header_.deletedChain == 0 || !indexes_->primaryHasKeyColumns()) return header_.nextSlot;
    std::int32_t slot = header_.deletedChain;
    if (slot < 1 || slot >= header_.nextSlot) throw StoreError(messages::headerCorrupt(name()));
    const std::uint8_t* image = slotImage(slot);
    if (image[slot::State] != slot::Deleted) throw StoreError(messages::headerCorrupt(name()));
    deletedImage.assign(image, image + header_.slotSize);
    return slot;
}

std::int32_t DataFile::slotForAppend()
{
    std::vector<std::uint8_t> deletedImage;
    return chooseSlot(deletedImage);
}

void DataFile::claimSlot(std::int32_t, const std::vector<std::uint8_t>& deletedImage)
{
    if (!deletedImage.empty()) {
        header_.deletedChain = bytes::getI32(deletedImage.data() + slot::Link);
    } else {
        if (header_.nextSlot + std::int64_t{1} > MaxSlotNumber ||
            std::int64_t{header_.nextSlot} * header_.slotSize > MaxSlotBytes)
            throw StoreError(messages::fileFull(name()));
        ++header_.nextSlot;
    }
    headerChanged_ = true;
}

std::int32_t DataFile::nextRowId()
{
    header_.lastRowId = header_.lastRowId >= MaxRowId || header_.lastRowId < 0 ? 1 : header_.lastRowId + 1;
    headerChanged_ = true;
    return header_.lastRowId;
}

void DataFile::writeMemoValues(const Row& row, std::vector<std::uint8_t>& image, std::int32_t slot)
{
    for (const Column& column : columns_) {
        int open = column.isBlob() ? openValueOf(row, column) : -1;
        if (open < 0) continue;
        std::int32_t first = memo_->writeValue(open, slot);
        std::uint8_t* place = image.data() + column.offset;
        place[0] = first != 0;
        bytes::putI32(place + 1, first);
    }
}

void DataFile::closeMemoValues(const Row& row)
{
    for (const Column& column : columns_)
        if (int open = column.isBlob() ? openValueOf(row, column) : -1; open >= 0) memo_->closeValue(open);
}

void DataFile::freeMemoValues(const std::vector<std::uint8_t>& image, std::int32_t slot)
{
    for (const Column& column : columns_) {
        if (!column.isBlob()) continue;
        const std::uint8_t* place = image.data() + column.offset;
        std::int32_t first = bytes::getI32(place + 1);
        if (place[0] != 0 && first > 0) memo_->freeValue(first, slot);
    }
}

std::int32_t DataFile::append(Row& row)
{
    requireWritable();
    if (row.image.size() != header_.slotSize) throw StoreError(messages::recordBuffersCorrupt(name()));
    // A row read from another slot carries its memo values along as new ones.
    for (const Column& column : columns_) {
        std::uint8_t* place = row.image.data() + column.offset;
        if (column.isBlob() && place[0] != 0 && bytes::getI32(place + 1) > 0) {
            Row source{bytes::getI32(row.image.data() + slot::Link), row.image};
            Value carried = value(source, column.number);
            std::memset(place, 0, 5);
            setValue(row, column.number, carried);
        }
    }
    Operation operation(*this);
    std::vector<std::uint8_t> deletedImage;
    std::int32_t slot = chooseSlot(deletedImage);
    checkRow(row);
    std::vector<std::uint8_t> image = row.image;
    image[slot::State] = slot::InUse;
    bytes::putI32(image.data() + slot::Link, slot);
    bytes::putI32(image.data() + slot::RowId, 0);
    indexes_->checkUnique(slot, nullptr, image.data());
    claimSlot(slot, deletedImage);
    bytes::putI32(image.data() + slot::RowId, nextRowId());
    writeMemoValues(row, image, slot);
    storeSlot(slot, image, deletedImage.empty());
    indexes_->rowAppended(slot, image.data(), deletedImage.empty() ? nullptr : deletedImage.data());
    if (!isExclusive()) writeBackAll();
    operation.commit();
    closeMemoValues(row);
    row.slot = slot;
    row.image = std::move(image);
    return slot;
}

void DataFile::change(Row& row)
{
    requireWritable();
    if (row.image.size() != header_.slotSize) throw StoreError(messages::recordBuffersCorrupt(name()));
    const std::int32_t slot = row.slot;
    Operation operation(*this);
    std::vector<std::uint8_t> old = liveImage(slot);
    checkRow(row);
    std::vector<std::uint8_t> image = row.image;
    image[slot::State] = slot::InUse;
    bytes::putI32(image.data() + slot::Link, slot);
    std::memcpy(image.data() + slot::RowId, old.data() + slot::RowId, 4);
    indexes_->checkUnique(slot, old.data(), image.data());
    writeMemoValues(row, image, slot);
    storeSlot(slot, image, false);
    indexes_->rowChanged(slot, old.data(), image.data());
    if (!isExclusive()) writeBackAll();
    operation.commit();
    closeMemoValues(row);
    row.image = std::move(image);
}

void DataFile::remove(std::int32_t slot)
{
    requireWritable();
    Operation operation(*this);
    std::vector<std::uint8_t> image = liveImage(slot);
    indexes_->rowDeleted(slot, image.data());
    freeMemoValues(image, slot);
    bool chained = indexes_->primaryHasKeyColumns() && header_.deletedChain != 0;
    image[slot::State] = slot::Deleted;
    bytes::putI32(image.data() + slot::Link, chained ? header_.deletedChain : 0);
    header_.deletedChain = slot;
    headerChanged_ = true;
    storeSlot(slot, image, false);
    if (!isExclusive()) writeBackAll();
    operation.commit();
}

// Emptying belongs to the exclusive open's unit of the journal, so that a
// generation that empties the table and fills it again lands whole or not
// at all. Since the memo file is emptied after the data file's operation has
// ended, a failure gives that unit up: the files go back to how they were at
// open, and the handle refuses more.
void DataFile::empty()
{
    if (!isExclusive()) throw StoreError(messages::mustBeExclusive(name()));
    requireWritable();
    try {
        emptyFiles();
    } catch (...) {
        journal_->rollBack();
        sessionLost_ = true;
        throw;
    }
}

// The data file goes first: its new header is written before the file is
// cut, so that a failure in between can still put the old header back over
// the slots. The memo file follows last, since leftover blocks in it harm
// no row.
void DataFile::emptyFiles()
{
    Operation operation(*this);
    indexes_->emptied();
    indexes_->writeBack();
    DataHeader emptied = header_;
    emptied.changeCounter = 0;
    emptied.deletedChain = 0;
    emptied.nextSlot = 1;
    emptied.lastRowId = 0;
    emptied.lastUpdate = lastUpdateStampOf(currentDateTime());
    std::uint8_t image[DataHeaderSize];
    encodeDataHeader(emptied, image);
    undo_.noteHeaderWrite();
    headerOnDisk_.clear();
    writeOrFail(*file_, 0, image, DataHeaderSize, name());
    truncateOrFail(*file_, slotsStart_, name());
    slotsOnDisk_ = 0;
    operation.commit();
    header_ = emptied;
    headerChanged_ = false;
    slots_->clear();
    if (memo_) memo_->empty();
}

// ---- Write-back and operations --------------------------------------------------------------

void DataFile::writeBack() { writeBackAll(); }

// One write-back is one unit of the journal: it lands whole, or the journal
// puts back what it wrote. In an exclusive open that unit reaches back to
// the first write since the table was opened, so a failure here gives up
// every change of the handle, on disk and, by refusing more, in memory.
void DataFile::writeBackAll()
{
    journal_->beginWriteBack();
    try {
        if (memo_) memo_->writeBack();
        indexes_->writeBack();
        slots_->writeBack();
        if (headerChanged_) writeHeader();
        journal_->commit();
    } catch (...) {
        journal_->rollBack();
        if (isExclusive()) sessionLost_ = true;
        throw;
    }
}

void DataFile::beginOperation()
{
    undo_.begin(*slots_, header_, headerChanged_);
    if (memo_) memo_->beginOperation();
    indexes_->beginOperation();
}

void DataFile::endOperation()
{
    slots_->endOperation();
    if (memo_) memo_->endOperation();
    indexes_->endOperation();
}

void DataFile::rollBack() noexcept
{
    headerOnDisk_.clear();  // the journal's rollback put back what the write-back wrote
    const std::int64_t size = header_.slotSize;
    undo_.rollBack(
        *slots_,
        [this, size](std::int64_t unit, const std::uint8_t* image) {
            return writeExact(*file_, slotOffset(static_cast<std::int32_t>(unit)), image, size);
        },
        [this](const DataHeader& before) {
            file_->truncate(slotOffset(before.nextSlot));
            slotsOnDisk_ = 0;
        },
        header_, headerChanged_,
        [this](DataHeader& header) {
            std::uint8_t image[DataHeaderSize];
            encodeDataHeader(header, image);
            return writeExact(*file_, 0, image, DataHeaderSize);
        });
    if (memo_) memo_->rollBack();
    indexes_->rollBack();
}

}  // namespace store
