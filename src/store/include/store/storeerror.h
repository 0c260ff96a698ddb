// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <stdexcept>
#include <string>

namespace store {

// Every failure of the store is raised as a StoreError carrying the text the
// user sees. Texts are cut to 127 characters, the longest message the store's
// callers were ever built to show.
class StoreError : public std::runtime_error {
public:
    explicit StoreError(const std::string& message);
};

inline constexpr std::size_t MaxMessageLength = 127;

std::string cutMessage(const std::string& message);

}  // namespace store
