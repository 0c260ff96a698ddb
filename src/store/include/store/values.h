// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Column values: what a column holds in memory, how each kind is laid out
// in its place in a row slot, the calendar the date kinds count in, and the
// text forms through which callers read and write values of another kind.
//
// Place of a stored column in a slot: a presence byte (1 = has a value,
// 0 = empty) followed by the value in the column's physical size. An empty
// column has its presence byte and every value byte zero.
//
//   kind             type/subtype  size   value bytes (little-endian)
//   string           1/0           n + 1  the characters, ended by a zero byte
//   date             2/0           4      signed day number, 1 = 1 January of year 1
//   memo and binary  3/22..28      4      first block in the memo file (memofile.h)
//   boolean          4/0           2      0 or 1; any other value reads as true
//   small integer    5/0           2      signed 16-bit
//   integer          6/0           4      signed 32-bit
//   auto-increment   6/29          -      no place: the row id at slot offset 5
//   float, money     7/0, 7/21     8      IEEE 754 double
//   decimal          8/0           8      signed 64-bit count of units of 10^-d, d the
//                                         column's decimal places (0..18): 1234.50
//                                         with d = 2 is stored as 123450
//   bytes            9/0           n      raw bytes, zero-padded to the declared size
//   time             10/0          4      signed milliseconds since midnight
//   timestamp        11/0          8      double: day number x 86400000 + milliseconds
//   word             12/0          2      unsigned 16-bit
//   long word        13/0          4      32 bits, read as a signed integer
//   extended         14/0          10     80-bit float: 64-bit mantissa with explicit
//                                         integer bit, then sign and 15-bit exponent
//   variable bytes   15/0          n      as bytes
//
// Strings are written without their trailing blanks and cut to the declared
// size; an empty string leaves the column empty, as does an empty byte value.
//
// Calendar: day numbers follow the proleptic Gregorian calendar for every
// 32-bit value, so that no stored number, however odd, breaks a conversion.
// The data file header's last-update stamp counts days from 30 December 1899
// with the time of day as fraction, minus 693594 (negative for present days).
//
// Text forms follow the program-wide formats() (short date "mm/dd/yy" with
// "/" as date separator, long time "h:mm:ss AM/PM"): integers plainly, floats
// in the shortest general form of at most 15 significant digits (1234.50 reads
// as "1234.5"), booleans as "True" and "False", timestamps as date, blank and
// time, memos whole, bytes as their characters.

#include "store/schema.h"

#include <compare>
#include <cstdint>
#include <string>
#include <variant>

namespace store {

struct Date {
    std::int32_t day = 0;
    auto operator<=>(const Date&) const = default;
};

struct TimeOfDay {
    std::int32_t milliseconds = 0;
    auto operator<=>(const TimeOfDay&) const = default;
};

// Day number x 86400000 + milliseconds since midnight, as stored.
struct Timestamp {
    double milliseconds = 0;
    auto operator<=>(const Timestamp&) const = default;
};

struct Decimal {
    std::int64_t units = 0;  // of 10^-places
    int places = 0;
    bool operator==(const Decimal&) const = default;
};

struct Bytes {
    std::string data;
    auto operator<=>(const Bytes&) const = default;
};

// monostate is the empty value. Every integer kind holds int64_t, float and
// money hold double, memos hold std::string like strings, binary columns,
// bytes and the raw image of an extended float hold Bytes.
using Value = std::variant<std::monostate, std::string, std::int64_t, double, bool, Date, TimeOfDay, Timestamp,
                           Decimal, Bytes>;

inline constexpr int MaxDecimalPlaces = 18;

inline bool isEmpty(const Value& value) { return std::holds_alternative<std::monostate>(value); }

// ---- Calendar ---------------------------------------------------------------

inline constexpr std::int32_t MillisecondsPerDay = 86400000;
inline constexpr std::int32_t LastDayOfYear9999 = 3652059;

struct CivilDate {
    std::int64_t year = 1;
    int month = 1;
    int day = 1;
};

bool isValidDate(std::int64_t year, int month, int day);
// The day number of a valid date.
std::int32_t dayNumber(std::int64_t year, int month, int day);
CivilDate civilDate(std::int32_t dayNumber);

Timestamp timestampOf(std::int32_t dayNumber, std::int32_t milliseconds);
Date dateOf(Timestamp timestamp);
TimeOfDay timeOf(Timestamp timestamp);

double lastUpdateStampOf(Timestamp timestamp);
Timestamp timestampOfLastUpdateStamp(double stamp);

// The local date and time of this machine, to the millisecond.
Timestamp currentDateTime();

// ---- Text formats -----------------------------------------------------------

// Program-wide: the windows set them; every text conversion reads them.
struct Formats {
    std::string shortDateFormat = "mm/dd/yy";
    char dateSeparator = '/';
    std::string longTimeFormat = "h:mm:ss AM/PM";
    char timeSeparator = ':';
    std::string amText = "AM";
    std::string pmText = "PM";
    // A two-digit year is taken within this many years either side of today.
    int twoDigitYearWindow = 50;
};

Formats& formats();

std::string formatDate(Date date);
std::string formatTime(TimeOfDay time);
std::string formatTimestamp(Timestamp timestamp);
std::string formatFloat(double value);

// These fail with StoreError ("'x' is not a valid date", ...).
Date parseDate(const std::string& text);
TimeOfDay parseTime(const std::string& text);
Timestamp parseTimestamp(const std::string& text);
double parseFloat(const std::string& text);
std::int64_t parseInteger(const std::string& text);

// ---- Places in a slot -------------------------------------------------------

// place points at the column's presence byte. Not for memo and binary
// columns, whose place holds a memo file reference (the data file's business).
Value decodeValue(const Column& column, const std::uint8_t* place);
// value must be of the column's own kind (as the valueFrom... functions give).
void encodeValue(const Column& column, const Value& value, std::uint8_t* place);

// ---- Conversions ------------------------------------------------------------

// A value of the column's own kind from a value of another kind; they fail
// with StoreError naming the column when the kinds do not convert or the
// value is out of the column's range.
Value valueFromText(const Column& column, const std::string& text);
Value valueFromInteger(const Column& column, std::int64_t value);
Value valueFromFloat(const Column& column, double value);
Value valueFromBoolean(const Column& column, bool value);
Value valueFromDateTime(const Column& column, Timestamp value);
// Whichever kind value holds, converted by the rules above.
Value valueFor(const Column& column, const Value& value);

// A column's value read as another kind; empty reads as "", 0, 0.0, false.
std::string textOf(const Column& column, const Value& value);
std::int64_t integerOf(const Column& column, const Value& value);
double floatOf(const Column& column, const Value& value);
bool booleanOf(const Column& column, const Value& value);

// The default value of a new row: the text read as a value of the column's
// kind, with "DATE", "TIME" and "NOW" standing for the present moment.
Value defaultValueOf(const Column& column);

// Orders two values of one column's kind (for minimum and maximum checks).
std::partial_ordering compareValues(const Value& left, const Value& right);

}  // namespace store
