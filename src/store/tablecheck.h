// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Checks of an open table's files beyond those of opening, for the developer
// tools: each returns one line per problem found, none when the file is sound.
//
// Data file: every slot's state byte is 0 or 1; a row in use names its own
// slot, has a row id of its own and empty columns of all-zero bytes; values
// lie in their kinds' ranges (strings end within their place, booleans are 0
// or 1, dates in years 1 to 9999, times within a day); the deleted-slot chain
// runs through deleted slots only, without a loop, and holds every deleted
// slot when the primary index has key columns.
//
// Memo file: the header's end of file is a block boundary and the file's
// length; every value of a row reads back, its blocks carry the row as owner,
// link back to their predecessors and number what its length needs; no block
// is in two values or in a value and the free chain; the free chain has no
// loop; every block is either in a value or free.

#include "store/datafile.h"

#include <string>
#include <vector>

namespace store {

std::vector<std::string> checkDataFile(DataFile& data);
// What is wrong with one stored column's place in a slot in use, none when
// nothing is; a memo value's chain is the memo file's check.
std::vector<std::string> columnProblems(const Column& column, const std::uint8_t* place);
std::vector<std::string> checkMemoFile(DataFile& data);
// Index file: every check of verifyIndexFile (indexverify.h), against the
// table's slots.
std::vector<std::string> checkIndexFile(DataFile& data);

}  // namespace store
