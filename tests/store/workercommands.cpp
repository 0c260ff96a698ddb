// SPDX-License-Identifier: GPL-3.0-or-later
#include "workercommands.h"

#include "store/file.h"
#include "store/locking.h"
#include "store/storeerror.h"
#include "store/storetable.h"
#include "store/tablefiles.h"

#include <chrono>
#include <iostream>
#include <memory>
#include <random>
#include <set>
#include <sstream>
#include <string>

using namespace store;

namespace testing_support {

// A reader of the table that is not a handle: its files and a read lock
// over them, held between commands.
struct HeldReader {
    std::unique_ptr<File> data;
    std::unique_ptr<File> index;
    std::unique_ptr<File> memo;
    std::unique_ptr<TableLocks> locks;
};

namespace {

using Clock = std::chrono::steady_clock;

Clock::time_point deadlineAfter(long milliseconds) { return Clock::now() + std::chrono::milliseconds(milliseconds); }

std::unique_ptr<File> openShared(const std::string& path)
{
    OpenStatus status = OpenStatus::Ok;
    auto file = systemFileSystem().open(path, Access::ReadWrite, Sharing::Shared, false, status);
    if (!file) throw StoreError("Cannot open " + path);
    return file;
}

std::unique_ptr<HeldReader> holdReader(const std::string& tableName)
{
    TableFileNames names = tableFileNames(tableName);
    auto reader = std::make_unique<HeldReader>();
    reader->data = openShared(names.data);
    reader->index = openShared(names.index);
    reader->memo = openShared(names.memo);
    reader->locks = std::make_unique<TableLocks>(names.data, *reader->data, *reader->index, reader->memo.get(), true);
    reader->locks->lockRead(false);
    return reader;
}

std::string errorLogOf(const std::string& name, int lines)
{
    std::ostringstream log;
    for (int line = 1; line <= lines; ++line)
        log << "Record " << line << " of " << name << ": keyed 4711 for 4117, field " << line % 25 + 1 << "\n";
    return log.str();
}

void writeResults(StoreTable& table, std::mt19937& random, const std::string& name)
{
    table.WriteValue("NAME", name);
    table.WriteValue("NKPH", static_cast<double>(random() % 15000));
    table.WriteValue("KPH", static_cast<double>(random() % 15000));
    table.WriteValue("TOTERRS", static_cast<std::int32_t>(random() % 50));
    table.WriteValue("FLDERRS", static_cast<std::int32_t>(random() % 20));
    table.WriteValue("TESTTIME", timestampOf(700000, static_cast<std::int32_t>(random() % 86400000)));
    table.WriteValue("TESTDATE", timestampOf(738000 + static_cast<std::int32_t>(random() % 400), 0));
    table.WriteValue("TIME", 5.0);
    table.WriteValue("TOTALFLDS", static_cast<std::int32_t>(random() % 500));
    table.WriteValue("TOTALKS", static_cast<std::int32_t>(random() % 5000));
    table.WriteValue("ACCURACY", static_cast<double>(random() % 10000) / 100);
    table.WriteValue("TESTTYPE", "numeric");
    // Logs of none to four memo blocks, so that blocks are both reused and chained.
    table.WriteValue("ERRORS", errorLogOf(name, static_cast<int>(random() % 40)));
}

std::string append(StoreTable& table, std::ostream& progress, const std::string& prefix, long count, long milliseconds)
{
    std::mt19937 random(std::hash<std::string>{}(prefix));
    auto deadline = deadlineAfter(milliseconds);
    long appended = 0;
    while (appended < count && Clock::now() < deadline) {
        std::string name = prefix + "-" + std::to_string(appended + 1);
        table.BeginInsert();
        writeResults(table, random, name);
        table.PostRow();
        ++appended;
        progress << "row " << name << std::endl;
    }
    return "appended " + std::to_string(appended);
}

std::string churn(StoreTable& table, std::ostream& progress, unsigned seed, long milliseconds)
{
    std::mt19937 random(seed);
    auto deadline = deadlineAfter(milliseconds);
    long changed = 0, deleted = 0;
    table.setIndexName("");
    while (Clock::now() < deadline) {
        int rows = table.RowCount();
        if (rows == 0) {
            table.GoFirst();
            continue;
        }
        table.GoFirst();
        table.Skip(static_cast<int>(random() % static_cast<unsigned>(rows)));
        if (!table.HasRow()) continue;
        if (random() % 3 == 0) {
            std::string name = table.ReadText("NAME");
            table.DeleteRow();
            ++deleted;
            progress << "deleted " << name << std::endl;
        } else {
            table.BeginEdit();
            std::string name = table.ReadText("NAME");
            table.WriteValue("KPH", static_cast<double>(random() % 15000));
            table.WriteValue("ERRORS", errorLogOf(name + " changed", static_cast<int>(random() % 60)));
            table.PostRow();
            ++changed;
        }
    }
    return "changed " + std::to_string(changed) + " deleted " + std::to_string(deleted);
}

// Every order once per round. Only the churn's changes of KPH move rows
// within an order, so in every other order a walk meets each name once.
std::string walk(StoreTable& table, long milliseconds)
{
    auto deadline = deadlineAfter(milliseconds);
    long walked = 0;
    while (Clock::now() < deadline) {
        for (const char* order : {"", "NAME", "KPH", "NETKPH", "DATE"}) {
            table.setIndexName(order);
            std::set<std::string> seen;
            for (table.GoFirst(); table.HasRow() && !table.AtEnd(); table.GoNext()) {
                std::string name = table.ReadText("NAME");
                table.ReadText("ERRORS");
                if (!seen.insert(name).second && std::string(order) != "KPH")
                    throw StoreError("order " + std::string(order) + " showed " + name + " twice");
                ++walked;
            }
        }
    }
    return "walked " + std::to_string(walked);
}

}  // namespace

WorkerCommands::WorkerCommands(std::ostream& progress) : progress_(progress) {}

WorkerCommands::~WorkerCommands() = default;

std::string WorkerCommands::answer(const std::string& line)
{
    std::istringstream arguments(line);
    std::string command;
    arguments >> command;
    try {
        std::string answer = run(command, arguments);
        return "ok" + (answer.empty() ? "" : " " + answer);
    } catch (const std::exception& error) {
        return "error " + std::string(error.what());
    }
}

std::string WorkerCommands::run(const std::string& command, std::istringstream& arguments)
{
    if (command == "open") return open(arguments), "";
    if (command == "close") return table_.setActive(false), "";
    if (command == "index") return table_.setIndexName(word(arguments) == "-" ? "" : last_), "";
    if (command == "goto") return moveTo(std::stoi(word(arguments))), "";
    if (command == "edit") return table_.BeginEdit(), "";
    if (command == "insert") return table_.BeginInsert(), "";
    if (command == "post") return table_.PostRow(), "";
    if (command == "cancel") return table_.CancelRow(), "";
    if (command == "delete") return table_.DeleteRow(), "";
    if (command == "write") return write(arguments), "";
    if (command == "read") return table_.ReadText(word(arguments));
    if (command == "count") return std::to_string(table_.RowCount());
    if (command == "holdread") return reader_ = holdReader(word(arguments)), "";
    if (command == "letgo") return reader_.reset(), "";
    if (command == "append") {
        std::string prefix = word(arguments);
        long count = std::stol(word(arguments));
        return append(table_, progress_, prefix, count, std::stol(word(arguments)));
    }
    if (command == "churn") {
        unsigned seed = static_cast<unsigned>(std::stoul(word(arguments)));
        return churn(table_, progress_, seed, std::stol(word(arguments)));
    }
    if (command == "walk") return walk(table_, std::stol(word(arguments)));
    throw StoreError("unknown command " + command);
}

const std::string& WorkerCommands::word(std::istringstream& arguments)
{
    last_.clear();
    arguments >> last_;
    return last_;
}

void WorkerCommands::open(std::istringstream& arguments)
{
    table_.setActive(false);
    table_.setTableName(word(arguments));
    table_.setExclusive(word(arguments) == "exclusive");
    table_.setActive(true);
}

void WorkerCommands::moveTo(int place)
{
    table_.GoFirst();
    table_.Skip(place - 1);
}

void WorkerCommands::write(std::istringstream& arguments)
{
    std::string column = word(arguments);
    std::string text;
    std::getline(arguments >> std::ws, text);
    table_.WriteValue(column, text);
}

}  // namespace testing_support
