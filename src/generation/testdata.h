// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The program-wide random generator and the rules by which fresh test data
// is drawn: the whole and decimal numbers of the numeric test, and the sort
// key, invoice number, invoice date and amount of the invoice records.
//
// The generator is a 32-bit linear congruential one: state := state x
// 134775813 + 1 (mod 2^32), and a draw below n is the upper half of the
// 64-bit product state x n. Its sequence from a given seed is part of what
// the program promises, so the arithmetic is exact and unsigned throughout.

#include <cstdint>
#include <string>

namespace generation {

// The generator's state, shared by every generation run of the program.
extern std::uint32_t RandomState;

// Seeds the state from the time of day in UTC, in milliseconds since midnight.
void seedrandom();
// The same from a given UTC time of day.
void seedrandomAt(int hour, int minute, int second, int millisecond);

// A whole number from 0 to n - 1, for n >= 1.
std::uint32_t randomint(std::uint32_t n);

// The widths the numeric test offers: 0 (variable) and 4 to 8 characters.
bool isKnownWidth(int width);

// One whole number of the numeric test for the given field width.
std::int32_t drawInteger(int width);
// The text of one decimal number of the numeric test ("123.45"), before it
// is read as a number.
std::string drawDecimalText(int width);
// The drawn decimal as the value stored: the text read as a number, 1.23 when
// the text cannot be read.
double decimalValue(const std::string& text);
// The decimal text of a drawn value v: all digits but the last three, a
// point, then the two digits before the last (the last one is dropped);
// a value of fewer than four digits is read with leading zeros.
std::string decimalTextOf(std::uint32_t drawn);

// The invoice records' sort key: 0 to 99998, as its decimal text.
std::string drawSortKey();
// How many days before today an invoice is dated: 0 to 699.
int drawDaysAgo();
// An eight-digit invoice number, 10000000 to 99999998.
std::int32_t drawInvoice();
// An amount as four digits, a point and two digits, 1000.00 to 9999.99.
std::string drawAmount();
// The amount text of a drawn seven-digit value: the first four digits, a
// point, the sixth and seventh; the fifth is dropped.
std::string amountTextOf(std::uint32_t drawn);

}  // namespace generation
