// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Filter texts of a table handle. The one form the program needs is a
// column compared for equality with a quoted text constant:
//
//   [blanks] name [blanks] = [blanks] 'constant' [blanks]
//
// where the name is a letter followed by letters, digits and underscores
// (matched against the columns without regard to letter case) and a quote
// inside the constant is written twice. Letter case of the constant counts,
// and it must match the whole value: "alpha" does not pass "alphanumeric".

#include "store/schema.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace store {

struct FilterCondition {
    std::string column;
    std::string constant;
};

// Reads a filter text. An empty (or all-blank) text means no filter; a text
// of any other form fails with a StoreError and a message that quotes it.
std::optional<FilterCondition> parseFilter(const std::string& text);

// Whether a column value, in its text form, passes the condition: equal byte
// for byte over the longer of the two lengths. A table with a locale gives
// its own comparison (zero meaning equal) instead.
bool passesFilter(const FilterCondition& condition, const std::string& value,
                  const std::function<int(const std::string&, const std::string&)>& compare = {});

// The same judgement of the value at a column's place in a slot (values.h),
// not for memo and binary columns: a string is compared where it stands,
// without making its text; other kinds by their text form.
bool passesFilterAt(const FilterCondition& condition, const Column& column, const std::uint8_t* place);

}  // namespace store
