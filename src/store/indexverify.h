// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A full check of an index file against the slots of its data file, for the
// developer tools. It reads every page of every index and reports, one text
// per problem:
//   - header: end-of-file offset and file length
//   - trees: page kinds, empty pages, page capacities, key order within and
//     across pages, the lowest-key and subtree-count fields of interior
//     entries, leaves all at one depth, previous and next links of each level
//   - free-page chains: only free pages, none reachable from a root or from
//     another chain; pages that belong to no index and no chain
//   - content: every row in use holds exactly its freshly built key, naming
//     its slot, in the primary (when it has key columns) and every secondary
//     index; the deleted-slot index holds exactly one entry per slot (and
//     nothing when the primary has no key columns); the row count
// An empty list means the file is sound.

#include "store/indexfile.h"

#include <string>
#include <vector>

namespace store {

// slots[n - 1] is the image of slot n of the data file, in use or deleted.
std::vector<std::string> verifyIndexFile(IndexFile& file, const std::vector<std::vector<std::uint8_t>>& slots);

}  // namespace store
