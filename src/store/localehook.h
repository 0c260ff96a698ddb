// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The locale services a table with a locale (data file header offsets 103
// and 105) relies on. Only whether a language and sort pair is installed is
// asked so far; the index file adds what it needs for its keys.

#include <cstdint>

namespace store {

class LocaleHook {
public:
    virtual ~LocaleHook() = default;
    virtual bool isAvailable(std::int16_t language, std::uint16_t sort) const = 0;
};

// No locale is installed: every table that names one is refused.
class NoLocales final : public LocaleHook {
public:
    bool isAvailable(std::int16_t, std::uint16_t) const override { return false; }
};

inline const LocaleHook& noLocales()
{
    static const NoLocales none;
    return none;
}

// The locales this machine provides (tablelocale.h).
const LocaleHook& systemLocales();

}  // namespace store
