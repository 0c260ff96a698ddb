// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The entry functions of the store's fuzz targets, shared by the libFuzzer
// programs (MOVARA_FUZZ) and by the plain driver that replays the corpus as
// a test. Each takes one input and returns 0; a broken promise of the store
// aborts, so that both report it.
//
// Table input: the data, index and memo files of one table packed as
//   0  4  length of the data file's bytes, D (little-endian)
//   4  4  length of the index file's bytes, I
//   8  D  the data file, then I bytes of the index file, then the memo file
// (lengths past the input's end are cut to what is there).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzzing {

// Opens the table, walks every index forward and backward, checks it, and
// repairs a copy, which must then check sound.
int fuzzTable(const std::uint8_t* data, std::size_t size);
// Rolls back the input as the journal of a small sound table: it goes, or
// it is kept and the table is left as it was.
int fuzzJournal(const std::uint8_t* data, std::size_t size);
// Parses the input as a filter expression and applies what it parsed.
int fuzzFilter(const std::uint8_t* data, std::size_t size);

// The table input of a table's three files (an absent file as no bytes).
std::vector<std::uint8_t> packTable(const std::vector<std::uint8_t>& dataFile, const std::vector<std::uint8_t>& index,
                                    const std::vector<std::uint8_t>& memo);

}  // namespace fuzzing
