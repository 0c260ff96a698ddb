// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Column and index names, keywords and format letters are matched without
// regard to letter case; only ASCII letters have a case here, since the
// store's own names are ASCII whatever the characters of the data.

#include <algorithm>
#include <string>

namespace store {

inline char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

inline bool equalIgnoringCase(const std::string& a, const std::string& b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace store
