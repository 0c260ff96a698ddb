// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/createtable.h"

#include "store/datafile.h"
#include "store/indexheader.h"
#include "store/memofile.h"
#include "store/names.h"
#include "store/storeerror.h"
#include "store/storemessages.h"
#include "store/tablefiles.h"
#include "store/values.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace store {

namespace {

bool isLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

[[noreturn]] void refuse(const std::string& message) { throw StoreError(message); }

void checkName(const std::string& what, const std::string& name)
{
    if (name.empty() || !isLetter(name[0])) refuse(what + " name '" + name + "' does not start with a letter");
    if (name.size() > MaxColumnNameLength) refuse(what + " name '" + name + "' is longer than 30 characters");
    if (name.back() == ' ') refuse(what + " name '" + name + "' ends with a blank");
}

const ColumnKind& kindNamed(const ColumnSchema& wanted)
{
    for (const ColumnKind& kind : typeNames())
        if (equalIgnoringCase(wanted.type, kind.name)) return kind;
    refuse("Column " + wanted.name + " has an unknown type '" + wanted.type + "'");
}

bool takesSize(FieldType type)
{
    return type == FieldType::String || type == FieldType::Bytes || type == FieldType::VarBytes;
}

// Minimum, maximum and default must read as values of the column's kind;
// string and bytes columns take any text.
void checkValueText(const Column& column, const char* what, const std::string& text)
{
    if (text.size() > MaxColumnTextLength)
        refuse("The " + std::string(what) + " of column " + column.name + " is longer than 49 characters");
    if (column.isBlob() || column.isAutoIncrement())
        refuse("Column " + column.name + " cannot have a " + what + " value");
    if (takesSize(column.type)) return;
    try {
        if (std::string(what) == "default") defaultValueOf(column);
        else valueFromText(column, text);
    } catch (const StoreError& error) {
        refuse("The " + std::string(what) + " of column " + column.name + " is not valid: " + error.what());
    }
}

Column columnOf(const ColumnSchema& wanted, int number)
{
    checkName("Column", wanted.name);
    const ColumnKind& kind = kindNamed(wanted);
    Column column;
    column.number = number;
    column.name = wanted.name;
    column.type = kind.type;
    column.subtype = kind.subtype;
    if (takesSize(kind.type)) {
        if (wanted.size < 1 || wanted.size > MaxDeclaredSize)
            refuse("The size of column " + wanted.name + " must be 1 to 250, not " + std::to_string(wanted.size));
        column.size = static_cast<std::uint8_t>(wanted.size);
    } else if (wanted.size != 0) {
        refuse("Column " + wanted.name + " of type " + kind.name + " takes no size");
    }
    if (kind.type == FieldType::Decimal) {
        if (wanted.decimals < 0 || wanted.decimals > MaxDecimalPlaces)
            refuse("The decimal places of column " + wanted.name + " must be 0 to 18");
        column.decimals = static_cast<std::uint8_t>(wanted.decimals);
    } else if (wanted.decimals != 0) {
        refuse("Column " + wanted.name + " of type " + kind.name + " takes no decimal places");
    }
    derivePhysicalSize(column);
    column.required = wanted.required;
    column.hasMinimum = !wanted.minimum.empty();
    column.minimum = wanted.minimum;
    column.hasMaximum = !wanted.maximum.empty();
    column.maximum = wanted.maximum;
    column.hasDefault = !wanted.defaultValue.empty();
    column.defaultValue = wanted.defaultValue;
    if (column.hasMinimum) checkValueText(column, "minimum", column.minimum);
    if (column.hasMaximum) checkValueText(column, "maximum", column.maximum);
    if (column.hasDefault) checkValueText(column, "default", column.defaultValue);
    return column;
}

IndexDescriptor descriptorOf(const std::vector<Column>& columns, const std::string& title,
                             const std::vector<std::string>& names)
{
    if (names.size() > MaxKeyColumns) refuse(title + " has more than 16 key columns");
    IndexDescriptor index;
    for (const std::string& name : names) {
        auto found = std::find_if(columns.begin(), columns.end(),
                                  [&](const Column& c) { return equalIgnoringCase(c.name, name); });
        if (found == columns.end()) refuse(title + " names an unknown column '" + name + "'");
        if (found->isBlob()) refuse(title + " cannot have the memo or binary column " + found->name + " as a key");
        auto number = static_cast<std::uint16_t>(found->number);
        if (std::count(index.columns.begin(), index.columns.end(), number))
            refuse(title + " names column " + found->name + " twice");
        index.columns.push_back(number);
    }
    index.columnDescending.assign(index.columns.size(), false);
    return index;
}

void checkKeyLength(const IndexDescriptor& index, const std::string& title)
{
    if (index.keyLength > MaxKeyLength)
        refuse(title + " has a key of " + std::to_string(index.keyLength) + " bytes, more than 1036");
}

IndexHeader indexHeaderOf(const TableSchema& schema, const std::vector<Column>& columns)
{
    IndexHeader header = newIndexHeader(schema.primary.empty());
    IndexDescriptor& primary = header.descriptors[0];
    primary = descriptorOf(columns, "The primary index", schema.primary);
    primary.unique = !primary.columns.empty();
    primary.keyLength = keyLengthFor(columns, primary, false);
    checkKeyLength(primary, "The primary index");
    if (schema.indexes.size() > MaxSecondaryIndexes) refuse("A table has at most 30 secondary indexes");
    for (std::size_t i = 0; i < schema.indexes.size(); ++i) {
        const IndexSchema& wanted = schema.indexes[i];
        std::string title = "Index " + wanted.name;
        checkName("Index", wanted.name);
        for (std::size_t j = 0; j < i; ++j)
            if (equalIgnoringCase(schema.indexes[j].name, wanted.name)) refuse("Index name " + wanted.name + " is used twice");
        if (wanted.columns.empty()) refuse(title + " has no key columns");
        IndexDescriptor index = descriptorOf(columns, title, wanted.columns);
        if (!wanted.columnDescending.empty()) {
            if (wanted.columnDescending.size() != index.columns.size())
                refuse(title + " needs one descending flag per key column");
            index.columnDescending = wanted.columnDescending;
        }
        if (static_cast<unsigned>(wanted.compression) > 3) refuse(title + " has an unknown key compression");
        index.name = wanted.name;
        index.unique = wanted.unique;
        index.caseInsensitive = wanted.caseInsensitive;
        index.descending = wanted.descending;
        index.compression = wanted.compression;
        index.keyLength = keyLengthFor(columns, index, true);
        checkKeyLength(index, title);
        header.descriptors[i + 1] = index;
    }
    header.secondaryCount = static_cast<int>(schema.indexes.size());
    return header;
}

std::vector<std::uint8_t> dataFileImage(const TableSchema& schema, const std::vector<Column>& columns)
{
    std::vector<Column> placed = columns;
    int computedArea = 0;
    int slotSize = layOutSlot(placed, computedArea);
    DataHeader header;
    header.memoBlockSize = static_cast<std::uint16_t>(schema.memoBlockSize);
    header.slotSize = static_cast<std::uint16_t>(slotSize);
    header.columnCount = static_cast<std::uint16_t>(placed.size());
    header.blobCount = static_cast<std::int16_t>(std::count_if(placed.begin(), placed.end(),
                                                               [](const Column& c) { return c.isBlob(); }));
    header.lastUpdate = lastUpdateStampOf(currentDateTime());
    header.description = schema.description;
    std::vector<std::uint8_t> image(DataHeaderSize + placed.size() * ColumnDefinitionSize);
    encodeDataHeader(header, image.data());
    for (std::size_t i = 0; i < placed.size(); ++i)
        encodeColumnDefinition(placed[i], image.data() + DataHeaderSize + i * ColumnDefinitionSize);
    return image;
}

// Removes the files made so far unless the whole set was written.
class MadeFiles {
public:
    explicit MadeFiles(FileSystem& files) : files_(files) {}
    ~MadeFiles()
    {
        for (const std::string& path : made_) files_.remove(path);
    }
    void make(const std::string& path, const std::string& dataFileName, const std::vector<std::uint8_t>& image)
    {
        OpenStatus status;
        auto file = files_.create(path, status);
        if (!file) refuse(messages::errorWriting(dataFileName));
        made_.push_back(path);
        writeOrFail(*file, 0, image.data(), static_cast<std::int64_t>(image.size()), dataFileName);
    }
    void keep() { made_.clear(); }

private:
    FileSystem& files_;
    std::vector<std::string> made_;
};

}  // namespace

const std::vector<ColumnKind>& typeNames()
{
    static const std::vector<ColumnKind> kinds = {
        {"string", FieldType::String, subtype::None},
        {"date", FieldType::Date, subtype::None},
        {"memo", FieldType::Blob, subtype::Memo},
        {"fmtmemo", FieldType::Blob, subtype::FormattedMemo},
        {"binary", FieldType::Blob, subtype::Binary},
        {"graphic", FieldType::Blob, subtype::Graphic},
        {"typedbinary", FieldType::Blob, subtype::TypedBinary},
        {"boolean", FieldType::Boolean, subtype::None},
        {"smallint", FieldType::SmallInt, subtype::None},
        {"integer", FieldType::Integer, subtype::None},
        {"autoinc", FieldType::Integer, subtype::AutoIncrement},
        {"float", FieldType::Float, subtype::None},
        {"money", FieldType::Float, subtype::Money},
        {"decimal", FieldType::Decimal, subtype::None},
        {"bytes", FieldType::Bytes, subtype::None},
        {"time", FieldType::Time, subtype::None},
        {"timestamp", FieldType::Timestamp, subtype::None},
        {"word", FieldType::Word, subtype::None},
        {"longword", FieldType::LongWord, subtype::None},
        {"extended", FieldType::Extended, subtype::None},
        {"varbytes", FieldType::VarBytes, subtype::None},
    };
    return kinds;
}

std::string typeNameOf(const Column& column)
{
    if (column.isBlob() && !column.isMemo() && column.subtype != subtype::Graphic &&
        column.subtype != subtype::TypedBinary)
        return "binary";
    for (const ColumnKind& kind : typeNames())
        if (kind.type == column.type && kind.subtype == column.subtype) return kind.name;
    return "unknown";
}

std::vector<Column> columnsOf(const TableSchema& schema)
{
    if (schema.columns.empty()) refuse("A table needs at least one column");
    if (schema.columns.size() > MaxColumns) refuse("A table has at most 1024 columns");
    std::vector<Column> columns;
    for (const ColumnSchema& wanted : schema.columns) {
        Column column = columnOf(wanted, static_cast<int>(columns.size() + 1));
        for (const Column& earlier : columns)
            if (equalIgnoringCase(earlier.name, column.name)) refuse("Column name " + column.name + " is used twice");
        columns.push_back(std::move(column));
    }
    if (std::count_if(columns.begin(), columns.end(), [](const Column& c) { return c.isBlob(); }) > MaxBlobColumns)
        refuse("A table has at most 32 memo and binary columns");
    int computedArea = 0;
    int slotSize = layOutSlot(columns, computedArea);
    if (slotSize + computedArea > MaxSlotSize)
        refuse("The columns need " + std::to_string(slotSize) + " bytes per row, more than 65535");
    return columns;
}

void createTable(FileSystem& files, const std::string& tableName, const TableSchema& schema)
{
    std::vector<Column> columns = columnsOf(schema);
    if (schema.description.size() > MaxDescriptionLength) refuse("The table description is longer than 50 characters");
    if (schema.memoBlockSize < static_cast<int>(MinMemoBlockSize) || schema.memoBlockSize > 65535)
        refuse("The memo block size must be 64 to 65535, not " + std::to_string(schema.memoBlockSize));
    IndexHeader indexHeader = indexHeaderOf(schema, columns);
    bool hasMemo = std::any_of(columns.begin(), columns.end(), [](const Column& c) { return c.isBlob(); });

    TableFileNames names = tableFileNames(tableName);
    for (const std::string& path : {names.data, names.index, names.memo})
        if ((hasMemo || path != names.memo) && files.exists(path)) refuse("File " + path + " already exists");

    MadeFiles made(files);
    made.make(names.data, names.data, dataFileImage(schema, columns));
    std::vector<std::uint8_t> page(IndexPageSize);
    encodeIndexHeader(indexHeader, page.data());
    made.make(names.index, names.data, page);
    if (hasMemo) {
        MemoHeader memoHeader;
        std::vector<std::uint8_t> image(MemoHeaderSize);
        encodeMemoHeader(memoHeader, image.data());
        made.make(names.memo, names.data, image);
    }
    made.keep();
}

}  // namespace store
