// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/passwords.h"

#include <algorithm>

namespace store {

namespace {

std::string xored(const std::string& text)
{
    std::string out = text;
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<char>(out[i] ^ static_cast<char>(0xA5 + 7 * i));
    return out;
}

}  // namespace

std::string scramblePassword(const std::string& password) { return xored(password); }
std::string unscramblePassword(const std::string& scrambled) { return xored(scrambled); }

void TablePasswords::add(const std::string& password)
{
    if (!knows(password)) known_.push_back(password);
}

bool TablePasswords::knows(const std::string& password) const
{
    return std::find(known_.begin(), known_.end(), password) != known_.end();
}

TablePasswords& tablePasswords()
{
    static TablePasswords passwords;
    return passwords;
}

}  // namespace store
