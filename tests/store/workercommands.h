// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The commands of the sharing tests' other copy of the program: one
// StoreTable driven by command lines, each answered by one line, "ok ..." or
// "error <message>"; lines that report progress on the way ("row NAME",
// "deleted NAME") go to the progress stream first. storeworker runs them in
// a process of its own; the tests run them on a second handle of their own.
//
//   open PATH shared|exclusive     open the table
//   close                          close it
//   index NAME                     select an index ("-" for the default order)
//   goto N                         the Nth row of the current order (from 1)
//   edit | post | cancel | delete  BeginEdit, PostRow, CancelRow, DeleteRow
//   insert                         BeginInsert
//   write COLUMN TEXT...           WriteValue of the rest of the line as text
//   read COLUMN                    "ok <text>"
//   count                          "ok <RowCount>"
//   holdread PATH                  take a reader's read lock of the table and keep it
//   letgo                          release it
//   append PREFIX COUNT MS         append results rows PREFIX-1, PREFIX-2, ... with an
//                                  error-log memo until COUNT rows or MS milliseconds,
//                                  printing "row NAME" after each post, then "ok appended N"
//   churn SEED MS                  change and delete random rows for MS milliseconds,
//                                  printing "deleted NAME" after each delete, then
//                                  "ok changed C deleted D"
//   walk MS                        walk every order of the results table, reading every
//                                  row, for MS milliseconds, then "ok walked N"
//   quit                           close and end

#include "store/storetable.h"

#include <ostream>
#include <sstream>
#include <memory>
#include <string>

namespace testing_support {

struct HeldReader;

class WorkerCommands {
public:
    explicit WorkerCommands(std::ostream& progress);
    ~WorkerCommands();
    WorkerCommands(const WorkerCommands&) = delete;
    WorkerCommands& operator=(const WorkerCommands&) = delete;

    // The answer line to one command line.
    std::string answer(const std::string& line);

private:
    std::string run(const std::string& command, std::istringstream& arguments);
    const std::string& word(std::istringstream& arguments);
    void open(std::istringstream& arguments);
    void moveTo(int place);
    void write(std::istringstream& arguments);

    std::ostream& progress_;
    store::StoreTable table_{"resultsdb"};
    std::unique_ptr<HeldReader> reader_;
    std::string last_;
};

}  // namespace testing_support
