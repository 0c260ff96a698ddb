// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The locale a table sorts its strings by. The data file header names it by
// a pair of 16-bit identifiers (language at offset 103, sort at offset 105);
// language 0 means the table has no locale and its keys compare as bytes.
//
// The pairs this store understands, and the machine locales they stand for,
// are listed in tablelocale.cpp. A language identifier keeps the primary
// language in its low 10 bits and the sublanguage above them; the sort
// identifier 0 is a language's default sort, the only one listed. A pair that
// is not listed, or whose locale this machine does not provide, is no valid
// locale: the data file refuses to open such a table.
//
// Strings of a table with a locale are taken as UTF-8.

#include <cstdint>
#include <locale.h>
#include <memory>
#include <string>
#include <type_traits>

namespace store {

// Whether this machine provides the locale that the identifier pair names.
// Language 0 (no locale) is always available.
bool localeAvailable(std::int16_t language, std::uint16_t sort);

class TableLocale {
public:
    // No locale: keys compare byte by byte.
    TableLocale() = default;

    // The locale of a table. Language 0 gives no locale; a pair that is not
    // available fails with "The language driver for data file ... is not
    // available or installed".
    static TableLocale forTable(std::int16_t language, std::uint16_t sort, const std::string& dataFileName);

    bool active() const { return handle_ != nullptr; }

    // The key form of a string: full-width forms mapped to their half-width
    // (ASCII) equivalents and, when upper is set, upper-cased by the locale.
    // The result is cut at a character boundary to at most capacity bytes.
    std::string mapText(const std::string& text, bool upper, std::size_t capacity) const;

    // Orders two zero-terminated strings by the locale's collation. Strings
    // the collation holds equal are ordered by their bytes, so that only equal
    // strings compare equal.
    int compareText(const char* left, const char* right) const;

private:
    explicit TableLocale(locale_t handle);

    std::shared_ptr<std::remove_pointer_t<locale_t>> handle_;
};

}  // namespace store
