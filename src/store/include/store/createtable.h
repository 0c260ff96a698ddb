// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Making the empty file set of a new table from a TableSchema. The program
// itself never creates a table; the shipped tables and the tests are made
// with this.
//
// The set, named by the table files rule (tablefiles.h):
//   data file   header and column definitions only: 127 + 768 x F bytes, next slot 1
//   index file  its 4096-byte header page alone: the primary descriptor (unique when
//               it has key columns, flag 3978 set when it has none), the secondary
//               descriptors in schema order, "Sys Deleted" with key length 5
//   memo file   its 512-byte header alone, only when there are memo or binary columns
//
// A schema that no table can have fails with a message naming what is wrong,
// before any file exists; a failure while writing removes what was made.

#include "store/file.h"
#include "store/schema.h"

#include <string>
#include <vector>

namespace store {

struct ColumnKind {
    const char* name;  // as in schema files: "string", "date", "memo", ...
    FieldType type;
    std::uint8_t subtype;
};

// Every kind a column can be made with.
const std::vector<ColumnKind>& typeNames();
// The schema name of a column's kind ("binary" for every binary subtype).
std::string typeNameOf(const Column& column);

// The columns of a schema with their physical sizes and places; fails with
// a message for anything no table can hold.
std::vector<Column> columnsOf(const TableSchema& schema);

void createTable(FileSystem& files, const std::string& tableName, const TableSchema& schema);

}  // namespace store
