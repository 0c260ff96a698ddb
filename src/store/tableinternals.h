// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The parts of the store past its face (include/store/) that the table tool
// and the benchmarks measuring those parts reach: the data file, the filter
// parser, the index header and indexes, the journal's layout, the table's
// file names, the locks, the checks of a table's files and the byte order of
// the files. Only tools/, bench/ and the tests include this; the program uses
// the face alone.

#include "store/bytes.h"
#include "store/datafile.h"
#include "store/filter.h"
#include "store/indexheader.h"
#include "store/journal.h"
#include "store/locking.h"
#include "store/tablecheck.h"
#include "store/tablefiles.h"
#include "store/tableindexes.h"
