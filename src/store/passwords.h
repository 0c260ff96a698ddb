// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The passwords this process knows for encrypted tables, and the owner's
// hook that is asked for one while none of them fits a table.
//
// A table's password is stored scrambled in its data file header (offset 87,
// short string of at most 15 characters): each character is XORed with
// 0xA5 + 7 x its position, so that the header never shows it in plain text.

#include <functional>
#include <string>
#include <vector>

namespace store {

std::string scramblePassword(const std::string& password);
std::string unscramblePassword(const std::string& scrambled);

class TablePasswords {
public:
    void add(const std::string& password);
    bool knows(const std::string& password) const;

    // Asked with the data file's name while no known password fits; it may
    // add passwords and returns false when it supplies none.
    std::function<bool(const std::string& dataFileName, TablePasswords& passwords)> ask;

private:
    std::vector<std::string> known_;
};

// The process-wide list.
TablePasswords& tablePasswords();

}  // namespace store
