// SPDX-License-Identifier: GPL-3.0-or-later
// Power cuts at every mutating call of a write-through table's append,
// change, delete and emptying, shared and exclusive: whatever the disk keeps
// of what was not yet flushed, the table left behind opens, checks sound,
// holds every row whose operation returned, and equals the table before or
// after the operation the cut fell in.

#include "store/datafile.h"
#include "store/tablecheck.h"
#include "store/tableindexes.h"
#include "support/crashfilesystem.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <functional>
#include <iostream>

using namespace store;
using namespace testing_support;

namespace {

using Step = std::function<void(DataFile&)>;

struct Scenario {
    std::string name;
    Sharing sharing;
    std::vector<Step> steps;  // an exclusive open's steps land together at its close
};

// The random policies are sampled more than once at each point.
const std::vector<PowerCut> Policies = {PowerCut::None,   PowerCut::All,  PowerCut::DataOnly, PowerCut::Prefix,
                                        PowerCut::Prefix, PowerCut::Torn, PowerCut::Torn,     PowerCut::Torn,
                                        PowerCut::Torn,   PowerCut::Torn, PowerCut::Torn};

Step appending(int number)
{
    return [=](DataFile& data) {
        Row row = data.newRow();
        data.setValue(row, 1, "row " + std::to_string(number));
        data.setValue(row, 2, std::int64_t{number});
        data.writeBlob(row, 3, std::string(700 + 300 * number, static_cast<char>('a' + number)));
        data.append(row);
    };
}

Step changing(std::int32_t slot, std::size_t length)
{
    return [=](DataFile& data) {
        Row row = data.readRow(slot);
        data.setValue(row, 1, std::string("changed"));
        data.writeBlob(row, 3, std::string(length, 'c'));
        data.change(row);
    };
}

Step deleting(std::int32_t slot)
{
    return [=](DataFile& data) { data.remove(slot); };
}

// The live rows in slot order and the row count, all a caller can read.
std::vector<std::string> contentOf(DataFile& data)
{
    std::vector<std::string> lines{"rows " + std::to_string(static_cast<TableIndexes&>(data.indexes()).rowCount())};
    for (std::int32_t slot = 1; slot <= data.slotCount(); ++slot) {
        Row row = data.readRow(slot);
        std::string line = std::to_string(slot);
        if (row.image[slot::State] == slot::InUse)
            for (const Column& column : data.columns()) line += "|" + textOf(column, data.value(row, column.number));
        data.release(row);
        lines.push_back(line);
    }
    return lines;
}

std::unique_ptr<DataFile> openWriteThrough(const std::string& path, Sharing sharing, FileSystem& files)
{
    DataFileOptions options;
    options.mode.sharing = sharing;
    options.mode.writeThrough = true;
    return DataFile::open(files, path, options);
}

class PowerCuts : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(work);
        createTable(systemFileSystem(), table(),
                    schemaOf({columnSchema("NAME", "string", 20), columnSchema("N", "integer"), columnSchema("M", "memo")},
                             {"N"}));
        auto data = openTable(table());
        for (int number = 1; number <= 4; ++number) appending(number)(*data);
        data->remove(3);
        data->close();
        for (const auto& entry : std::filesystem::directory_iterator(work)) pristine[entry.path().filename()] = readFile(entry.path());
    }

    std::string table() const { return (work / "t.dat").string(); }

    void restore()
    {
        std::filesystem::remove_all(work);
        std::filesystem::create_directory(work);
        for (const auto& [name, bytes] : pristine) writeFile((work / name).string(), bytes);
    }

    // Runs the scenario; says how many of its steps returned.
    static std::size_t run(const Scenario& scenario, const std::string& path, FileSystem& files)
    {
        std::size_t returned = 0;
        try {
            auto data = openWriteThrough(path, scenario.sharing, files);
            for (const Step& step : scenario.steps) {
                step(*data);
                if (scenario.sharing == Sharing::Shared) ++returned;
            }
            data->close();
            if (scenario.sharing == Sharing::Exclusive) returned = 1;
        } catch (const StoreError&) {
        }
        return returned;
    }

    // The table's content before the scenario and after each step that can
    // return on its own.
    std::vector<std::vector<std::string>> statesOf(const Scenario& scenario)
    {
        restore();
        std::vector<std::vector<std::string>> states{contentOf(*openTable(table()))};
        auto data = openWriteThrough(table(), scenario.sharing, systemFileSystem());
        for (const Step& step : scenario.steps) {
            step(*data);
            if (scenario.sharing == Sharing::Shared) states.push_back(contentOf(*openTable(table())));
        }
        data->close();
        if (scenario.sharing == Sharing::Exclusive) states.push_back(contentOf(*openTable(table())));
        return states;
    }

    // What is wrong with the image of a cut after returned steps; "" when
    // nothing is.
    static std::string problemOf(const std::filesystem::path& image, const std::vector<std::vector<std::string>>& states,
                                 std::size_t returned)
    {
        try {
            auto data = openTable((image / "t.dat").string());
            std::vector<std::string> problems = checkDataFile(*data);
            for (auto& problem : checkMemoFile(*data)) problems.push_back(problem);
            for (auto& problem : checkIndexFile(*data)) problems.push_back(problem);
            if (!problems.empty()) return problems.front();
            std::vector<std::string> content = contentOf(*data);
            if (content == states[returned]) return "";
            if (returned + 1 < states.size() && content == states[returned + 1]) return "";
            return "holds neither the table before nor after the operation";
        } catch (const StoreError& error) {
            return error.what();
        }
    }

    void sweep(const Scenario& scenario)
    {
        const auto states = statesOf(scenario);
        restore();
        CrashFileSystem counting(work);
        run(scenario, table(), counting);
        const long calls = counting.mutatingCalls();
        long images = 0, failures = 0;
        for (long call = 0; call <= calls; ++call) {
            restore();
            std::vector<std::filesystem::path> folders;
            for (std::size_t i = 0; i < Policies.size(); ++i)
                folders.push_back(cuts.path() / (std::to_string(call) + "-" + std::to_string(i)));
            CrashFileSystem crashing(work);
            crashing.cutAt(call, Policies, folders, static_cast<unsigned>(call * Policies.size()));
            std::size_t returned = run(scenario, table(), crashing);
            crashing.powerOff();
            for (std::size_t i = 0; i < Policies.size(); ++i) {
                ++images;
                std::string problem = problemOf(folders[i], states, returned);
                if (!problem.empty() && ++failures <= 5)
                    ADD_FAILURE() << scenario.name << ", cut at call " << call << " of " << calls << ", "
                                  << powerCutName(Policies[i]) << ", " << returned << " steps returned: " << problem;
                std::filesystem::remove_all(folders[i]);
            }
        }
        std::cout << "power cuts, " << scenario.name << ": " << calls + 1 << " crash points, " << images
                  << " images, " << failures << " failures\n";
    }

    TempDir dir;
    TempDir cuts;
    std::filesystem::path work = dir.path() / "table";
    std::map<std::filesystem::path, std::vector<std::uint8_t>> pristine;
};

TEST_F(PowerCuts, EveryImageOfAWriteThroughTableIsWholeAndHoldsWhatReturned)
{
    const std::vector<Scenario> scenarios = {
        {"shared append", Sharing::Shared, {appending(5), appending(6)}},
        {"shared change", Sharing::Shared, {changing(1, 2500), changing(2, 10)}},
        {"shared delete", Sharing::Shared, {deleting(1), deleting(4)}},
        {"exclusive append", Sharing::Exclusive, {appending(5), appending(6)}},
        {"exclusive change", Sharing::Exclusive, {changing(1, 2500), changing(2, 10)}},
        {"exclusive delete", Sharing::Exclusive, {deleting(1), deleting(4)}},
        {"exclusive emptying", Sharing::Exclusive, {[](DataFile& data) { data.empty(); }, appending(7)}},
    };
    for (const Scenario& scenario : scenarios) sweep(scenario);
}

}  // namespace
