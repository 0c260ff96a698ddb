// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Repair of a table whose files disagree in ways no rollback can undo (a
// disk fault, files written by an older tool): the data file's live slots
// are taken as the truth, and everything else is rebuilt around them.
//
// The table is opened exclusively, so a table another copy holds is refused
// with the message of opening. What the checks of tablecheck.h find is
// reported first; then, in this order:
//   1. data file: a slot whose state byte is neither 0 nor 1 counts as
//      deleted; a slot in use names its own number; the deleted-slot chain,
//      unless it runs through every deleted slot and nothing else, is
//      rebuilt through them all in slot order, and the header names its head;
//   2. memo file (when the table has one): the header's end of file becomes
//      the last block boundary within the file; every value of a row in use
//      whose chain reads back whole keeps its blocks, which get that row as
//      owner and links back to their predecessors; a value that does not read
//      back is dropped from its row; every other block is free, and unless
//      the free chain already holds exactly those it is rebuilt through them
//      in offset order (owner 0, nothing used);
//   3. index file: emptied and filled again from the slots as they now are:
//      every index, the deleted-slot index and the row count.
// Each file is copied to its name plus ".bak" (results.IDX.bak) before it is
// first rewritten; a file that needs no change is neither copied nor written.
// Each rewritten file is flushed before the next is touched, the index file
// last, since it is built from the other two.

#include "store/file.h"

#include <string>
#include <vector>

namespace store {

struct RepairReport {
    std::vector<std::string> found;    // the problems the checks reported before
    std::vector<std::string> changed;  // what the repair did, one line each
};

RepairReport repairTable(FileSystem& files, const std::string& tableName);

// The name of the copy kept of a file before it is rewritten.
std::string backupName(const std::string& path);

}  // namespace store
