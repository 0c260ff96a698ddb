// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few rules for texts that the run, scoring and the reports share, so
// that a field's length, a comparison and a printed figure can never count
// or round the same text differently.
//
// Texts are UTF-8. A byte that starts no valid sequence (a stray
// continuation byte, a lead byte without its continuation bytes) is a
// character of its own, apart from every real one, wherever characters are
// counted or compared.

#include <string>

// The characters of text; a stray byte b reads as the code 0x110000 + b,
// outside Unicode, so it never equals a real character.
std::u32string charactersOf(const std::string& text);
// charactersOf(text).size(), without making the characters.
int characterCount(const std::string& text);
// The UTF-8 text of characters, stray bytes written back as they were read.
std::string textOf(const std::u32string& characters);

// Every character in its Unicode upper case (one to one, as the upper-case
// entry fields type it); stray bytes stay as they are.
std::string upperCased(const std::string& text);

// The text without leading and trailing characters of code 32 or less
// (blanks and control characters).
std::string trimmed(const std::string& text);

// The pattern "0.00": at least one integer digit, exactly two decimals,
// "." as the decimal point, an exact half rounded away from zero: 1.5 gives
// "1.50", 90.625 gives "90.63".
std::string formatTwoDecimals(double value);
// The pattern "#,##0.00": the same with "," between groups of three integer
// digits: 7234.5678 gives "7,234.57".
std::string formatThousands(double value);
