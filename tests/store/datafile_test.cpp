// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/datafile.h"
#include "store/tableindexes.h"
#include "store/storeerror.h"
#include "support/faultyfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>

using namespace store;
using namespace testing_support;

namespace {

using Values = std::vector<std::pair<std::string, Value>>;

std::string pattern(std::size_t length, int seed)
{
    std::string text(length, ' ');
    for (std::size_t i = 0; i < length; ++i) text[i] = static_cast<char>('A' + (i * 7 + seed) % 26);
    return text;
}

std::string binary(std::size_t length, int seed)
{
    std::string data(length, '\0');
    for (std::size_t i = 0; i < length; ++i) data[i] = static_cast<char>((i * 31 + seed) % 256);
    return data;
}

std::int32_t appendRow(DataFile& data, const Values& values)
{
    Row row = data.newRow();
    for (const auto& [name, value] : values) data.setValue(row, data.findColumn(name), value);
    return data.append(row);
}

void expectSameValue(const Value& got, const Value& want, const std::string& what)
{
    if (std::holds_alternative<double>(want) && std::holds_alternative<double>(got)) {
        double a = std::get<double>(got), b = std::get<double>(want);
        EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0) << what << ": " << a << " instead of " << b;
        return;
    }
    EXPECT_TRUE(got == want) << what;
}

TableSchema everyKind()
{
    ColumnSchema decimal = columnSchema("dec", "decimal");
    decimal.decimals = 4;
    return schemaOf({columnSchema("s", "string", 250), columnSchema("d", "date"), columnSchema("m", "memo"),
                     columnSchema("fm", "fmtmemo"), columnSchema("bin", "binary"), columnSchema("g", "graphic"),
                     columnSchema("tb", "typedbinary"), columnSchema("b", "boolean"), columnSchema("si", "smallint"),
                     columnSchema("i", "integer"), columnSchema("ai", "autoinc"), columnSchema("f", "float"),
                     columnSchema("mo", "money"), decimal, columnSchema("by", "bytes", 16), columnSchema("t", "time"),
                     columnSchema("ts", "timestamp"), columnSchema("w", "word"), columnSchema("lw", "longword"),
                     columnSchema("x", "extended"), columnSchema("vb", "varbytes", 20)});
}

// A small table most tests share: a name, a number and a memo.
class SmallTable : public ::testing::Test {
protected:
    void SetUp() override { make({}); }
    void make(std::vector<std::string> primary, std::vector<ColumnSchema> extra = {})
    {
        std::vector<ColumnSchema> columns = {columnSchema("NAME", "string", 10), columnSchema("N", "integer"),
                                           columnSchema("M", "memo")};
        columns.insert(columns.end(), extra.begin(), extra.end());
        for (const char* ext : {".dat", ".IDX", ".BLB"}) std::filesystem::remove(dir.file(std::string("t") + ext));
        createTable(systemFileSystem(), path, schemaOf(columns, std::move(primary)));
    }
    std::string failureOfOpen(const DataFileOptions& options = {})
    {
        return failureOf([&] { DataFile::open(systemFileSystem(), path, options); });
    }
    std::int32_t add(DataFile& data, const std::string& name, std::int64_t number)
    {
        return appendRow(data, {{"NAME", name}, {"N", number}});
    }

    TempDir dir;
    std::string path = dir.file("t.dat");
    std::string index = dir.file("t.IDX");
    std::string memo = dir.file("t.BLB");
};

}  // namespace

TEST(DataFileRoundTrip, EveryColumnKindReadsBackExactlyAfterReopening)
{
    TempDir dir;
    std::string path = dir.file("all.dat");
    createTable(systemFileSystem(), path, everyKind());
    const std::vector<Values> rows = {
        {{"s", pattern(250, 1)}, {"d", Date{LastDayOfYear9999}}, {"m", pattern(100000, 2)}, {"fm", pattern(494, 3)},
         {"bin", Bytes{binary(495, 4)}}, {"g", Bytes{}}, {"tb", Bytes{"abc"}}, {"b", true},
         {"si", std::int64_t{32767}}, {"i", std::int64_t{INT32_MAX}}, {"f", DBL_MAX}, {"mo", 1234.56},
         {"dec", Decimal{INT64_MAX, 4}}, {"by", Bytes{binary(16, 5)}}, {"t", TimeOfDay{MillisecondsPerDay - 1}},
         {"ts", timestampOf(LastDayOfYear9999, MillisecondsPerDay - 1)}, {"w", std::int64_t{65535}},
         {"lw", std::int64_t{INT32_MAX}}, {"x", 1e300}, {"vb", Bytes{binary(20, 6)}}},
        {{"s", std::string("a")}, {"d", Date{1}}, {"m", pattern(495, 7)}, {"fm", std::string()},
         {"bin", Bytes{binary(494, 8)}}, {"g", Bytes{binary(100000, 9)}}, {"tb", Bytes{}}, {"b", false},
         {"si", std::int64_t{-32768}}, {"i", std::int64_t{INT32_MIN}}, {"f", -0.0}, {"mo", -0.01},
         {"dec", Decimal{INT64_MIN, 4}}, {"by", Bytes{std::string(16, '\0')}}, {"t", TimeOfDay{0}},
         {"ts", timestampOf(1, 0)}, {"w", std::int64_t{0}}, {"lw", std::int64_t{INT32_MIN}}, {"x", -0.0},
         {"vb", Bytes{std::string(20, '\xFF')}}},
        {{"f", DBL_TRUE_MIN}, {"mo", -DBL_MAX}, {"t", TimeOfDay{(13 * 3600 + 14 * 60 + 15) * 1000 + 167}},
         {"ts", timestampOf(dayNumber(2024, 2, 29), 1)}, {"d", Date{dayNumber(1999, 12, 31)}}, {"x", DBL_TRUE_MIN}},
    };
    {
        auto data = openTable(path);
        for (const Values& row : rows) appendRow(*data, row);
        data->close();
    }
    auto data = openTable(path);
    ASSERT_EQ(data->slotCount(), 3);
    for (std::int32_t slot = 1; slot <= 3; ++slot) {
        Row row = data->readRow(slot);
        EXPECT_EQ(data->value(row, data->findColumn("ai")), Value(std::int64_t{slot}));
        for (const auto& [name, written] : rows[static_cast<std::size_t>(slot - 1)]) {
            const Column& column = data->column(data->findColumn(name));
            Value want = valueFor(column, written);
            if (column.isBlob() && (std::holds_alternative<Bytes>(want) ? std::get<Bytes>(want).data.empty()
                                                                        : std::get<std::string>(want).empty()))
                want = Value();
            expectSameValue(data->value(row, column.number), want, "slot " + std::to_string(slot) + " " + name);
        }
    }
    // The extended float keeps the double it was written from, signs included.
    const Column& extended = data->column(data->findColumn("x"));
    double negativeZero = floatOf(extended, data->value(data->readRow(2), extended.number));
    EXPECT_TRUE(negativeZero == 0 && std::signbit(negativeZero));
}

TEST_F(SmallTable, OpeningRefusesAWrongVersionNamingTheDataFile)
{
    patchFile(path, 8, {4});
    EXPECT_EQ(failureOfOpen(), "Data file " + path + " is not the correct version");
    make({});
    patchFile(memo, 8, {2});
    EXPECT_EQ(failureOfOpen(), "Data file " + path + " is not the correct version");
    make({});
    patchFile(index, 8, {0});
    EXPECT_EQ(failureOfOpen(), "Data file " + path + " is not the correct version");
}

TEST_F(SmallTable, OpeningATableWithALocaleAsksTheLocaleHook)
{
    patchFile(path, 103, littleEndian(1033, 2));
    EXPECT_EQ(failureOfOpen(), "The language driver for data file " + path + " is not available or installed");
    // The code-point locale is on every machine; a hook that knows none refuses it all the same.
    patchFile(path, 103, littleEndian(0x7F, 2));
    EXPECT_EQ(failureOfOpen(), "");
    DataFileOptions options;
    options.locales = &noLocales();
    EXPECT_EQ(failureOfOpen(options), "The language driver for data file " + path + " is not available or installed");
}

TEST_F(SmallTable, AnEncryptedTableNeedsAKnownPasswordOrOneTheOwnerGives)
{
    patchFile(path, 86, {1});
    std::string scrambled = scramblePassword("secret");
    std::vector<std::uint8_t> field = {static_cast<std::uint8_t>(scrambled.size())};
    field.insert(field.end(), scrambled.begin(), scrambled.end());
    patchFile(path, 87, field);
    TablePasswords passwords;
    DataFileOptions options;
    options.passwords = &passwords;
    EXPECT_EQ(failureOfOpen(options), "Insufficient rights to data file " + path + ", a password is required");

    int asked = 0;
    passwords.ask = [&](const std::string& file, TablePasswords& list) {
        EXPECT_EQ(file, path);
        list.add(++asked == 1 ? "wrong" : "secret");
        return true;
    };
    // With the password known, the open goes on to the missing table cipher.
    EXPECT_EQ(failureOfOpen(options), "Data file " + path + " is encrypted, and no table cipher is available");
    EXPECT_EQ(asked, 2);
}

TEST_F(SmallTable, OpeningRefusesDefinitionsThatDoNotLayOutTheSlot)
{
    const std::string corrupt = "Header information corrupt in data file " + path;
    std::vector<std::uint8_t> pristine = readFile(path);
    struct Damage {
        std::size_t offset;
        std::vector<std::uint8_t> bytes;
    };
    const Damage damages[] = {
        {21, littleEndian(99, 2)},                     // slot size
        {23, littleEndian(0, 2)},                      // no columns
        {25, littleEndian(0, 2)},                      // memo column count
        {111, littleEndian(4, 2)},                     // computed area
        {127 + 0, littleEndian(2, 2)},                 // first column's number
        {127 + 768 + 90, littleEndian(9, 2)},          // second column's offset
        {127 + 86, {0}},                               // a string of size 0
        {127 + 84, {0}},                               // type 0
        {127 + 768 * 2 + 85, {21}},                    // a memo with the money subtype
        {4, littleEndian(32, 4)},                      // memo blocks below 64 bytes
    };
    for (const Damage& damage : damages) {
        writeFile(path, pristine);
        patchFile(path, damage.offset, damage.bytes);
        EXPECT_EQ(failureOfOpen(), corrupt) << "at offset " << damage.offset;
    }
}

TEST_F(SmallTable, OpeningRefusesAFileOneByteLongerOrShorterThanItsSlots)
{
    {
        auto data = openTable(path);
        add(*data, "a", 1);
    }
    std::vector<std::uint8_t> content = readFile(path);
    content.push_back(0);
    writeFile(path, content);
    EXPECT_EQ(failureOfOpen(), "Header information corrupt in data file " + path);
    content.resize(content.size() - 2);
    writeFile(path, content);
    EXPECT_EQ(failureOfOpen(), "Header information corrupt in data file " + path);
}

TEST_F(SmallTable, WholeSlotsPastTheHeaderAreAWriteBackThatNeverFinishedAndAreCutOff)
{
    {
        auto data = openTable(path);
        add(*data, "a", 1);
    }
    std::vector<std::uint8_t> content = readFile(path);
    const std::size_t committed = content.size();
    const std::size_t slotSize = readI32(path, 21) & 0xFFFF;
    content.resize(committed + 2 * slotSize, 0x5A);  // two slots written, header never updated
    writeFile(path, content);
    {
        auto data = openTable(path);
        EXPECT_EQ(data->slotCount(), 1);
        EXPECT_EQ(readFile(path).size(), committed);
        EXPECT_EQ(add(*data, "b", 2), 2);
    }
    EXPECT_EQ(failureOfOpen(), "");
}

TEST_F(SmallTable, ASlotCountBelowTheRowsOnDiskIsDamageAndCutsNothing)
{
    {
        auto data = openTable(path);
        for (int n = 1; n <= 3; ++n) add(*data, "r", n);
    }
    const std::vector<std::uint8_t> pristine = readFile(path);
    for (std::int64_t nextSlot : {3, 1, 0, -1}) {
        writeFile(path, pristine);
        patchFile(path, 13, littleEndian(nextSlot, 4));
        const std::vector<std::uint8_t> damaged = readFile(path);
        EXPECT_EQ(failureOfOpen(), "Header information corrupt in data file " + path) << "next slot " << nextSlot;
        EXPECT_EQ(readFile(path), damaged) << "next slot " << nextSlot;
    }
}

TEST_F(SmallTable, OpeningReportsMissingFilesAndSharingConflicts)
{
    std::string missing = dir.file("none.dat");
    EXPECT_EQ(failureOf([&] { openTable(missing); }), "Invalid path or file name for data file " + missing);
    std::filesystem::remove(memo);
    EXPECT_EQ(failureOfOpen(), "Invalid path or file name for data file " + path);
    make({});
    auto shared = openTable(path);
    EXPECT_EQ(failureOf([&] { openTable(path, Sharing::Exclusive); }), "Access denied to data file " + path);
    shared.reset();
    auto sole = openTable(path, Sharing::Exclusive);
    EXPECT_EQ(failureOf([&] { openTable(path); }), "Access denied to data file " + path);
}

TEST_F(SmallTable, AnOperatingSystemErrorWhileOpeningIsAReadError)
{
    FaultyFileSystem files;
    openTable(path, Sharing::Shared, files);
    long calls = files.plan.calls;
    for (long call = 0; call < calls; ++call) {
        files.plan.arm(Fault::Error, call);
        std::string message = failureOf([&] { openTable(path, Sharing::Shared, files); });
        if (files.plan.firedOn == "open")
            EXPECT_EQ(message, "An unknown operating system error occurred with data file " + path);
        else
            EXPECT_EQ(message, "Error reading from data file " + path) << "call " << call;
    }
}

TEST_F(SmallTable, MessagesAreCutTo127Characters)
{
    std::string folder = dir.file(std::string(100, 'f'));
    std::filesystem::create_directory(folder);
    std::string longPath = folder + "/t.dat";
    createTable(systemFileSystem(), longPath, schemaOf({columnSchema("NAME", "string", 10)}));
    patchFile(longPath, 8, {9});
    std::string message = failureOf([&] { openTable(longPath); });
    EXPECT_EQ(message, ("Data file " + longPath + " is not the correct version").substr(0, 127));
    EXPECT_EQ(message.size(), 127u);
}

TEST_F(SmallTable, ReadOnlyTablesOpenButRefuseEveryWrite)
{
    {
        auto data = openTable(path);
        add(*data, "a", 1);
    }
    std::filesystem::permissions(path, std::filesystem::perms::owner_read | std::filesystem::perms::group_read);
    auto data = openTable(path);
    EXPECT_TRUE(data->isReadOnly());
    Row row = data->readRow(1);
    const std::string denied = "Access denied to data file " + path;
    EXPECT_EQ(failureOf([&] { data->append(row); }), denied);
    EXPECT_EQ(failureOf([&] { data->change(row); }), denied);
    EXPECT_EQ(failureOf([&] { data->remove(1); }), denied);
    data.reset();
    auto exclusive = openTable(path, Sharing::Exclusive);
    EXPECT_EQ(failureOf([&] { exclusive->empty(); }), denied);
}

TEST_F(SmallTable, RowsAreCheckedForRequiredValuesAndTheirRange)
{
    ColumnSchema ranged = columnSchema("R", "integer");
    ranged.minimum = "10";
    ranged.maximum = "20";
    ColumnSchema required = columnSchema("Q", "string", 5);
    required.required = true;
    make({}, {ranged, required});
    auto data = openTable(path);
    Row row = data->newRow();
    EXPECT_EQ(failureOf([&] { data->append(row); }),
              "A value must be provided for the field Q in data file " + path);
    data->setValue(row, data->findColumn("Q"), std::string("x"));
    data->setValue(row, data->findColumn("R"), std::int64_t{9});
    EXPECT_EQ(failureOf([&] { data->append(row); }),
              "The value for the field R in data file " + path + " is below the minimum allowable value");
    data->setValue(row, data->findColumn("R"), std::int64_t{21});
    EXPECT_EQ(failureOf([&] { data->append(row); }),
              "The value for the field R in data file " + path + " is above the maximum allowable value");
    data->setValue(row, data->findColumn("R"), std::int64_t{20});
    EXPECT_EQ(data->append(row), 1);
    EXPECT_EQ(failureOf([&] { data->column(99); }), "Invalid field number or name 99 specified for data file " + path);
    EXPECT_EQ(failureOf([&] { data->readBlob(row, 1); }), "Invalid blob field NAME specified for data file " + path);
}

TEST_F(SmallTable, NewRowsTakeTheDefaultsAndTheirKeywords)
{
    ColumnSchema date = columnSchema("D", "date");
    date.defaultValue = "DATE";
    ColumnSchema stamp = columnSchema("S", "timestamp");
    stamp.defaultValue = "NOW";
    ColumnSchema count = columnSchema("C", "smallint");
    count.defaultValue = "5";
    ColumnSchema text = columnSchema("T", "string", 8);
    text.defaultValue = "none";
    make({}, {date, stamp, count, text});
    auto data = openTable(path);
    Timestamp before = currentDateTime();
    Row row = data->newRow();
    Timestamp after = currentDateTime();
    EXPECT_GE(std::get<Date>(data->value(row, data->findColumn("D"))), dateOf(before));
    EXPECT_LE(std::get<Date>(data->value(row, data->findColumn("D"))), dateOf(after));
    Timestamp now = std::get<Timestamp>(data->value(row, data->findColumn("S")));
    EXPECT_TRUE(now >= before && now <= after);
    EXPECT_EQ(data->value(row, data->findColumn("C")), Value(std::int64_t{5}));
    EXPECT_EQ(data->value(row, data->findColumn("T")), Value(std::string("none")));
    EXPECT_TRUE(isEmpty(data->value(row, data->findColumn("NAME"))));
}

TEST_F(SmallTable, StringsAreStoredWithoutTrailingBlanksAndEmptyStringsLeaveTheColumnEmpty)
{
    auto data = openTable(path);
    add(*data, "abc   ", 1);
    add(*data, "", 2);
    data->close();
    data = openTable(path);
    EXPECT_EQ(data->value(data->readRow(1), 1), Value(std::string("abc")));
    Row second = data->readRow(2);
    EXPECT_EQ(second.image[9], 0);  // presence byte of NAME
    EXPECT_TRUE(isEmpty(data->value(second, 1)));
}

TEST_F(SmallTable, DeletedSlotsAreReusedOnlyWhenThePrimaryIndexHasKeyColumns)
{
    {
        auto data = openTable(path);
        add(*data, "a", 1);
        data->remove(1);
        EXPECT_EQ(add(*data, "b", 2), 2);
        EXPECT_EQ(data->header().deletedChain, 1);  // the head, never followed
    }
    make({"N"});
    auto data = openTable(path);
    add(*data, "a", 1);
    data->remove(1);
    EXPECT_EQ(add(*data, "b", 2), 1);
    for (int i = 3; i <= 5; ++i) add(*data, "r", i);
    data->remove(2);
    data->remove(4);
    data->remove(3);
    EXPECT_EQ(add(*data, "x", 10), 3);  // the chain runs 3, 4, 2
    EXPECT_EQ(add(*data, "y", 11), 4);
    EXPECT_EQ(add(*data, "z", 12), 2);
    EXPECT_EQ(add(*data, "w", 13), 5);
    const auto& indexes = static_cast<TableIndexes&>(data->indexes());
    EXPECT_EQ(indexes.rowCount(), 5);
}

TEST_F(SmallTable, RowIdsRestartAtOneAfterTheLargest)
{
    patchFile(path, 17, littleEndian(2147483646, 4));
    auto data = openTable(path);
    add(*data, "a", 1);
    add(*data, "b", 2);
    EXPECT_EQ(readI32(path, 127 + 768 * 3 + 5), 2147483647);
    EXPECT_EQ(readI32(path, 127 + 768 * 3 + data->header().slotSize + 5), 1);
    EXPECT_EQ(data->header().lastRowId, 1);
}

TEST_F(SmallTable, EmptyingResetsTheCounterAndTheNextHeaderWriteStoresOne)
{
    auto shared = openTable(path);
    EXPECT_EQ(failureOf([&] { shared->empty(); }), "Data file " + path + " must be opened exclusively");
    shared.reset();
    auto data = openTable(path, Sharing::Exclusive);
    for (int i = 0; i < 5; ++i) appendRow(*data, {{"NAME", std::string("n")}, {"M", pattern(2000, i)}});
    data->close();
    data = openTable(path, Sharing::Exclusive);
    data->empty();
    EXPECT_EQ(std::filesystem::file_size(path), 127u + 768 * 3);
    EXPECT_EQ(std::filesystem::file_size(memo), 512u);
    EXPECT_EQ(std::filesystem::file_size(index), 4096u);
    EXPECT_EQ(readI32(path, 0), 0);
    EXPECT_EQ(readI32(path, 13), 1);
    EXPECT_EQ(readI32(path, 17), 0);
    EXPECT_EQ(readI32(index, 3974), 0);
    add(*data, "after", 1);
    data->close();
    EXPECT_EQ(readI32(path, 0), 1);
    EXPECT_EQ(readI32(path, 17), 1);
}

TEST_F(SmallTable, ANewSlotIsRefusedWhenTheFileIsFull)
{
    // Sparse files stand in for tables of two billion bytes.
    make({}, {});
    const std::int32_t slotSize = openTable(path)->header().slotSize;
    const std::int32_t full = static_cast<std::int32_t>(MaxSlotBytes / slotSize) + 1;
    patchFile(path, 13, littleEndian(full, 4));
    std::filesystem::resize_file(path, 127 + 768 * 3 + std::uintmax_t(full - 1) * slotSize);
    auto data = openTable(path);
    EXPECT_EQ(failureOf([&] { add(*data, "a", 1); }),
              "The data file " + path + " is full and cannot contain any more data");
    data.reset();
    TempDir small;
    std::string tiny = small.file("tiny.dat");
    createTable(systemFileSystem(), tiny, schemaOf({columnSchema("B", "boolean")}));
    patchFile(tiny, 13, littleEndian(MaxSlotNumber, 4));
    std::filesystem::resize_file(tiny, 127 + 768 + std::uintmax_t(MaxSlotNumber - 1) * 12);
    auto flags = openTable(tiny);
    EXPECT_EQ(failureOf([&] { appendRow(*flags, {{"B", true}}); }),
              "The data file " + tiny + " is full and cannot contain any more data");
}

TEST_F(SmallTable, ASlotPinnedSixtyFourTimesRefusesAnotherPin)
{
    auto data = openTable(path);
    add(*data, "a", 1);
    for (int i = 0; i < 64; ++i) data->pin(1);
    EXPECT_EQ(failureOf([&] { data->pin(1); }), "Data record buffers corrupt in data file " + path);
    data->unpin(1);
    EXPECT_EQ(failureOf([&] { data->pin(1); }), "");
}

TEST_F(SmallTable, SlotsAreReadAheadInRunsOf32767Bytes)
{
    {
        auto data = openTable(path, Sharing::Exclusive);
        for (int i = 0; i < 1000; ++i) add(*data, "r", i);
    }
    FaultyFileSystem files;
    auto data = openTable(path, Sharing::Shared, files);
    const std::int32_t perRead = 32767 / data->header().slotSize;
    EXPECT_EQ(data->slotCacheCapacity(), std::min<std::size_t>(65535, 131070 / data->header().slotSize));
    int guarded = 0;
    data->setReadGuard([&](const std::function<void()>& read) {
        ++guarded;
        read();
    });
    files.plan.calls = 0;
    for (std::int32_t slot = 1; slot <= 1000; ++slot)
        EXPECT_EQ(data->value(data->readRow(slot), 2), Value(std::int64_t{slot - 1}));
    EXPECT_EQ(files.plan.calls, (1000 + perRead - 1) / perRead);
    EXPECT_EQ(guarded, files.plan.calls);  // the locking layer's read lock sits around each read
}

// A read that must make room by writing a changed slot out must not bring
// that slot back from what the file held before the write.
TEST_F(SmallTable, MakingRoomForASlotKeepsTheChangesItWritesOut)
{
    {
        auto data = openTable(path);
        for (int i = 1; i <= 5; ++i) add(*data, "r", i);
    }
    DataFileOptions options;
    options.mode.sharing = Sharing::Exclusive;
    options.mode.slotCacheBytes = 2 * openTable(path)->header().slotSize;
    auto data = DataFile::open(systemFileSystem(), path, options);
    Row row = data->readRow(5);
    data->setValue(row, 2, std::int64_t{500});
    data->change(row);
    data->readRow(1);  // 5, changed, is now the oldest buffer
    data->readRow(3);  // the read of 3 to 5 makes room by writing 5 out
    row = data->readRow(5);
    EXPECT_EQ(data->value(row, 2), Value(std::int64_t{500}));
    data->setValue(row, 1, std::string("again"));
    data->change(row);
    data->close();
    data = openTable(path);
    EXPECT_EQ(data->value(data->readRow(5), 2), Value(std::int64_t{500}));
}

TEST_F(SmallTable, ChangedSlotsGoBackInOneWritePerRunOfConsecutiveSlots)
{
    {
        auto data = openTable(path);
        for (int i = 1; i <= 10; ++i) add(*data, "r", i);
    }
    FaultyFileSystem files;
    auto data = openTable(path, Sharing::Exclusive, files);
    for (std::int32_t slot : {9, 2, 3}) {
        Row row = data->readRow(slot);
        data->setValue(row, 2, std::int64_t{100 + slot});
        data->change(row);
    }
    files.plan.writesTo.clear();
    data->close();
    // memo header, slots 2-3, slot 9, data header: no key changed, so the
    // index file has nothing to write
    EXPECT_EQ(files.plan.writesTo[path], 3);
    EXPECT_EQ(files.plan.writesTo[dir.file("t.BLB")], 1);
    EXPECT_EQ(files.plan.writesTo[index], 0);
    data = openTable(path);
    EXPECT_EQ(data->value(data->readRow(3), 2), Value(std::int64_t{103}));
    EXPECT_EQ(data->value(data->readRow(9), 2), Value(std::int64_t{109}));

    // A shared open writes back after every operation: the memo and data
    // headers and the slot (the index file had no key to change).
    FaultyFileSystem shared;
    auto other = openTable(path, Sharing::Shared, shared);
    Row row = other->readRow(5);
    shared.plan.writesTo.clear();
    other->change(row);
    EXPECT_EQ(shared.plan.writesTo[path], 2);
    EXPECT_EQ(shared.plan.writesTo[dir.file("t.BLB")], 1);
    EXPECT_EQ(shared.plan.writesTo[index], 0);
}

TEST_F(SmallTable, AnotherHandlesWriteIsSeenThroughTheChangeCounter)
{
    auto first = openTable(path);
    auto second = openTable(path);
    add(*first, "a", 1);
    EXPECT_EQ(second->slotCount(), 0);
    EXPECT_TRUE(second->refreshIfChanged());
    EXPECT_FALSE(second->refreshIfChanged());
    EXPECT_EQ(second->slotCount(), 1);
    Row row = second->readRow(1);
    second->setValue(row, 1, std::string("b"));
    second->change(row);
    EXPECT_TRUE(first->refreshIfChanged());
    EXPECT_EQ(first->value(first->readRow(1), 1), Value(std::string("b")));
}
