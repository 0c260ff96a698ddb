// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The key of a result: SHA-256 of the site and the row's key columns (see
// resultcolumns.h), in 64 lower-case hexadecimal digits. Each part enters
// the hash as its length in decimal digits, a colon and its bytes, so no
// text, whatever it holds, can shift into its neighbour. Numbers enter in
// the form they are sent in (resultrow.h), which gives every double back
// exactly, so one result keyed at any site or in any re-run has one key.

#include <string>
#include <vector>

namespace resultsync {

std::string sha256Hex(const std::string& bytes);

// parts: the site, then the values of the key columns in their order.
std::string resultKey(const std::vector<std::string>& parts);

}  // namespace resultsync
