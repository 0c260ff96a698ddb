// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged data and memo files never crash or hang the store: opening and
// reading every row either works or fails with one of the store's messages.
// MOVARA_MUTATIONS sets how many damaged copies are tried (default 1500),
// MOVARA_MUTATION_SEED the seed of the damage.

#include "store/datafile.h"
#include "store/storeerror.h"
#include "store/storemessages.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <set>

using namespace store;
using namespace testing_support;

namespace {

long setting(const char* name, long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtol(text, nullptr, 10) : fallback;
}

std::set<std::string> fileMessages(const std::string& file)
{
    namespace m = messages;
    return {m::notCorrectVersion(file), m::headerCorrupt(file),    m::languageDriverMissing(file),
            m::passwordRequired(file),  m::accessDenied(file),     m::recordBuffersCorrupt(file),
            m::fileFull(file),          m::errorReading(file),     m::errorWriting(file),
            m::blobBuffersCorrupt(file), m::endOfBlob(file),       m::invalidBlobOffset(file),
            m::tooManyBlobs(file),      m::indexBuffersCorrupt(file),
            "Data file " + file + " is encrypted, and no table cipher is available"};
}

bool isStoreMessage(const std::string& message, const std::set<std::string>& known)
{
    if (known.count(message)) return true;
    // Row-level texts the data file words itself, and values of a damaged minimum or maximum.
    for (const char* start : {"Slot ", "'", "Value ", "Field '", "A value must be provided", "The value for the field",
                              "Key not found in index ", "Duplicate key found in index "})
        if (message.rfind(start, 0) == 0) return true;
    return false;
}

class DamagedFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        ColumnSchema decimal = columnSchema("DEC", "decimal");
        decimal.decimals = 2;
        ColumnSchema ranged = columnSchema("N", "integer");
        ranged.minimum = "-1000000";
        createTable(systemFileSystem(), path,
                    schemaOf({columnSchema("NAME", "string", 30), ranged, columnSchema("F", "float"),
                              columnSchema("D", "date"), columnSchema("T", "time"), columnSchema("S", "timestamp"),
                              columnSchema("B", "boolean"), decimal, columnSchema("M", "memo"), columnSchema("BIN", "binary"),
                              columnSchema("X", "extended"), columnSchema("BY", "bytes", 8)},
                             {"N"}));
        auto data = openTable(path);
        for (int i = 0; i < 12; ++i) {
            Row row = data->newRow();
            data->setValue(row, 1, "name " + std::to_string(i));
            data->setValue(row, 2, std::int64_t{i * 1000});
            data->setValue(row, 3, i * 1.25);
            data->setValue(row, 4, Date{dayNumber(2000 + i, 1 + i, 1 + i)});
            data->setValue(row, 5, TimeOfDay{i * 3600000});
            data->setValue(row, 6, timestampOf(dayNumber(1990, 5, 5), i));
            data->setValue(row, 7, i % 2 == 0);
            data->setValue(row, 8, std::string("12.5"));
            data->writeBlob(row, 9, std::string(static_cast<std::size_t>(i * 300), static_cast<char>('a' + i)));
            data->writeBlob(row, 10, std::string(static_cast<std::size_t>(i * 50), '\x01'));
            data->setValue(row, 11, 3.5);
            data->setValue(row, 12, Bytes{"abcdefgh"});
            data->append(row);
        }
        data->remove(4);
        data->remove(9);
        data->close();
        for (const std::string& file : {path, index, memo}) pristine.push_back(readFile(file));
    }

    void restore()
    {
        const std::string files[] = {path, index, memo};
        for (std::size_t i = 0; i < 3; ++i) writeFile(files[i], pristine[i]);
    }

    void damage(std::mt19937& random)
    {
        const std::string& file = random() % 2 == 0 ? path : memo;
        std::vector<std::uint8_t> bytes = readFile(file);
        switch (random() % 4) {
        case 0:
        case 1:  // flipped bytes, most often in the headers where they hurt most
            for (unsigned flips = 1 + random() % 6; flips > 0; --flips) {
                std::size_t limit = random() % 2 == 0 ? std::min<std::size_t>(bytes.size(), 1200) : bytes.size();
                bytes[random() % limit] ^= static_cast<std::uint8_t>(1 + random() % 255);
            }
            break;
        case 2: bytes.resize(random() % bytes.size()); break;
        default:
            for (unsigned extra = 1 + random() % 1500; extra > 0; --extra)
                bytes.push_back(static_cast<std::uint8_t>(random()));
        }
        writeFile(file, bytes);
    }

    // Opens, reads every row with every value, then tries one append and one delete.
    void useTable(const std::set<std::string>& known)
    {
        try {
            auto data = openTable(path);
            for (std::int32_t slot = 1; slot <= data->slotCount(); ++slot) {
                Row row = data->readRow(slot);
                if (row.image[slot::State] != slot::InUse) continue;
                for (const Column& column : data->columns()) textOf(column, data->value(row, column.number));
            }
            Row row = data->newRow();
            data->setValue(row, 2, std::int64_t{424242});
            data->writeBlob(row, 9, std::string(1200, 'z'));
            try {
                data->append(row);
            } catch (const StoreError&) {
                data->release(row);
                throw;
            }
            if (data->slotCount() > 1) data->remove(1);
            data->close();
        } catch (const StoreError& error) {
            ASSERT_TRUE(isStoreMessage(error.what(), known)) << error.what();
        }
    }

    TempDir dir;
    std::string path = dir.file("d.dat");
    std::string index = dir.file("d.IDX");
    std::string memo = dir.file("d.BLB");
    std::vector<std::vector<std::uint8_t>> pristine;
};

}  // namespace

TEST_F(DamagedFiles, NeverCrashOrHangAndFailOnlyWithTheStoresMessages)
{
    const long rounds = setting("MOVARA_MUTATIONS", 1500);
    std::mt19937 random(static_cast<unsigned>(setting("MOVARA_MUTATION_SEED", 20240601)));
    const std::set<std::string> known = fileMessages(path);
    long opened = 0;
    for (long round = 0; round < rounds; ++round) {
        restore();
        damage(random);
        SCOPED_TRACE("round " + std::to_string(round));
        useTable(known);
        if (HasFatalFailure()) return;
        opened += failureOf([&] { openTable(path); }).empty();
    }
    // Damage beyond the headers leaves most tables readable; a run that opens none damages too much.
    EXPECT_GT(opened, 0);
}
