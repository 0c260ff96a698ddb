// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Schema files of the developer tools: a table's columns and indexes as
// JSON, from which createTable makes an empty file set.
//
//   {"description": "...", "memo_block_size": 512,
//    "columns": [{"name": "NAME", "type": "string", "size": 40, "decimals": 0, "required": false,
//                 "min": "...", "max": "...", "default": "..."}],
//    "primary": ["column", ...],
//    "indexes": [{"name": "NAME", "columns": ["NAME"], "unique": false, "caseinsensitive": true,
//                 "descending": [false], "compression": 3}]}
//
// An index's "descending" is one flag per key column, or one flag for the
// whole index.

#include "store/schema.h"

#include <string>

namespace tools {

// Fails with a StoreError naming the file when it cannot be read or parsed.
store::TableSchema readSchemaFile(const std::string& path);

}  // namespace tools
