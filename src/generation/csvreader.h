// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading the CSV files an employer imports its own test content from.
//
// Format (comma-separated values as spreadsheets write them):
//   - UTF-8 text, with or without the byte-order mark EF BB BF; a file with
//     a zero byte or a byte sequence that is not UTF-8 is not text and is
//     refused whole, as is a file larger than MaxCsvBytes;
//   - records end with CR LF or LF; an empty line holds no record, and the
//     last record needs no line end;
//   - fields are separated by commas, or by semicolons where the first
//     record holds more semicolons than commas outside quotes (spreadsheets
//     in locales with a decimal comma write those);
//   - a field that starts with a double quote is quoted: it ends at the next
//     lone double quote, may hold separators and line ends, and writes a
//     double quote as two. A double quote anywhere else is a problem.
//
// What the reader finds wrong with the syntax is a problem at a line (of
// the file, counting from 1, where the record or field starts) and a column
// (the field's number in its record, from 1); the records around it are
// still read, so that one look at a file shows every problem in it.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace generation {

// A file that cannot be imported at all: too large, unreadable, not text.
class ImportRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr std::uintmax_t MaxCsvBytes = 10 * 1024 * 1024;
// Beyond it a file is plainly not meant for import; the list says so instead
// of going on.
inline constexpr std::size_t MostListedProblems = 1000;

struct CsvProblem {
    int line = 0;
    int column = 0;
    std::string text;

    // "line 17, column 4: 'l2345' is not a whole number"
    std::string message() const;
};

struct CsvRecord {
    int line = 0;
    std::vector<std::string> fields;
};

struct CsvFile {
    char separator = ',';
    std::vector<CsvRecord> records;
    std::vector<CsvProblem> problems;
};

// The bytes of the file at path; refused when it is larger than MaxCsvBytes
// or cannot be read.
std::string readCsvBytes(const std::string& path);

// The records of a file's bytes; refused when they are not text.
CsvFile parseCsv(std::string_view bytes);

// Adds a problem unless the list is full; the first one past it says so.
void addProblem(std::vector<CsvProblem>& problems, int line, int column, std::string text);

}  // namespace generation
