// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/values.h"

#include "store/bytes.h"
#include "store/names.h"
#include "store/storeerror.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <limits>
#include <vector>

namespace store {

namespace {

std::string trimmed(const std::string& text)
{
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    std::size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool startsWithIgnoringCase(const std::string& text, std::size_t at, const std::string& prefix)
{
    if (prefix.empty() || at > text.size() || text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (asciiLower(text[at + i]) != asciiLower(prefix[i])) return false;
    return true;
}

[[noreturn]] void invalidText(const std::string& text, const char* what)
{
    throw StoreError("'" + text + "' is not a valid " + what);
}

[[noreturn]] void cannotHold(const Column& column, const char* kind)
{
    throw StoreError("Field '" + column.name + "' cannot hold " + kind);
}

[[noreturn]] void cannotRead(const Column& column, const char* kind)
{
    throw StoreError("Field '" + column.name + "' cannot be read as " + kind);
}

// ---- Calendar arithmetic ----------------------------------------------------

// Days since 1 January 1970 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t year, int month, int day)
{
    year -= month <= 2;
    std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    std::int64_t yearOfEra = year - era * 400;
    std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

CivilDate civilFromDays(std::int64_t days)
{
    days += 719468;
    std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    std::int64_t dayOfEra = days - era * 146097;
    std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    CivilDate date;
    date.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    date.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2);
    return date;
}

// Day number of 1 January 1970, so that day numbers and Unix days meet.
constexpr std::int64_t UnixEpochDay = 719163;
// Day number of 30 December 1899, day 0 of the last-update stamp's count.
constexpr std::int64_t StampEpochDay = 693594;

// ---- 80-bit floats ------------------------------------------------------------

double decodeExtended(const std::uint8_t* at)
{
    std::uint64_t mantissa = bytes::getU64(at);
    std::uint16_t signAndExponent = bytes::getU16(at + 8);
    bool negative = signAndExponent & 0x8000;
    int exponent = signAndExponent & 0x7FFF;
    double value;
    if (exponent == 0x7FFF)
        value = (mantissa << 1) == 0 ? std::numeric_limits<double>::infinity()
                                     : std::numeric_limits<double>::quiet_NaN();
    else
        value = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    return negative ? -value : value;
}

Bytes encodeExtended(double value)
{
    std::uint8_t image[10] = {};
    std::uint64_t mantissa = 0;
    int exponent = 0;
    if (std::isnan(value)) {
        mantissa = 0xC000000000000000ull;
        exponent = 0x7FFF;
    } else if (std::isinf(value)) {
        mantissa = 0x8000000000000000ull;
        exponent = 0x7FFF;
    } else if (value != 0) {
        int binaryExponent;
        double fraction = std::frexp(std::fabs(value), &binaryExponent);  // in [0.5, 1)
        mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 64));
        exponent = binaryExponent - 1 + 16383;
    }
    bytes::putU64(image, mantissa);
    bytes::putU16(image + 8, static_cast<std::uint16_t>(exponent | (std::signbit(value) ? 0x8000 : 0)));
    return Bytes{std::string(reinterpret_cast<const char*>(image), sizeof image)};
}

// ---- Decimal ----------------------------------------------------------------

// Places beyond 18 cannot be stored in 64 bits; the data file refuses them.
std::int64_t powerOfTen(int places)
{
    std::int64_t power = 1;
    for (int i = 0; i < places && i < MaxDecimalPlaces; ++i) power *= 10;
    return power;
}

std::string formatDecimal(const Decimal& value)
{
    std::uint64_t magnitude = value.units < 0 ? 0 - static_cast<std::uint64_t>(value.units)
                                              : static_cast<std::uint64_t>(value.units);
    std::string digits = std::to_string(magnitude);
    if (value.places > 0) {
        auto places = static_cast<std::size_t>(value.places);
        if (digits.size() <= places) digits.insert(0, places + 1 - digits.size(), '0');
        digits.insert(digits.size() - places, ".");
        digits.erase(digits.find_last_not_of('0') + 1);
        if (digits.back() == '.') digits.pop_back();
    }
    return (value.units < 0 ? "-" : "") + digits;
}

// Exact: the digits are taken as written, rounded half away from zero to places.
Decimal parseDecimal(const Column& column, const std::string& text)
{
    std::string body = trimmed(text);
    std::size_t at = 0;
    bool negative = false;
    if (at < body.size() && (body[at] == '-' || body[at] == '+')) negative = body[at++] == '-';
    const int places = std::min<int>(column.decimals, MaxDecimalPlaces);
    std::int64_t units = 0;
    int fractionDigits = -1;  // -1 before the decimal point
    bool anyDigit = false, roundUp = false, overflow = false;
    for (; at < body.size(); ++at) {
        char c = body[at];
        if (c == '.' && fractionDigits < 0) {
            fractionDigits = 0;
            continue;
        }
        if (c < '0' || c > '9') invalidText(text, "decimal value");
        anyDigit = true;
        if (fractionDigits >= 0 && ++fractionDigits > places) {
            if (fractionDigits == places + 1) roundUp = c >= '5';
            continue;
        }
        overflow |= __builtin_mul_overflow(units, 10, &units) || __builtin_add_overflow(units, c - '0', &units);
    }
    if (!anyDigit) invalidText(text, "decimal value");
    int kept = fractionDigits < 0 ? 0 : std::min(fractionDigits, places);
    overflow |= __builtin_mul_overflow(units, powerOfTen(places - kept), &units);
    if (roundUp) overflow |= __builtin_add_overflow(units, 1, &units);
    if (overflow) throw StoreError("Value " + body + " is out of range for field '" + column.name + "'");
    return Decimal{negative ? -units : units, places};
}

Decimal decimalOfFloat(const Column& column, double value)
{
    double scaled = std::round(value * static_cast<double>(powerOfTen(column.decimals)));
    if (!(std::fabs(scaled) < 9.2e18))
        throw StoreError("Value " + formatFloat(value) + " is out of range for field '" + column.name + "'");
    return Decimal{static_cast<std::int64_t>(scaled), column.decimals};
}

double floatOfDecimal(const Decimal& value)
{
    return static_cast<double>(value.units) / static_cast<double>(powerOfTen(value.places));
}

// ---- Integer kinds ------------------------------------------------------------

bool isIntegerKind(const Column& column)
{
    switch (column.type) {
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::LongWord: return true;
    default: return false;
    }
}

void integerRange(const Column& column, std::int64_t& low, std::int64_t& high)
{
    switch (column.type) {
    case FieldType::SmallInt: low = -32768, high = 32767; break;
    case FieldType::Word: low = 0, high = 65535; break;
    default: low = std::numeric_limits<std::int32_t>::min(), high = std::numeric_limits<std::int32_t>::max();
    }
}

Value checkedInteger(const Column& column, std::int64_t value)
{
    std::int64_t low, high;
    integerRange(column, low, high);
    if (value < low || value > high)
        throw StoreError("Value " + std::to_string(value) + " is out of range for field '" + column.name + "'");
    return value;
}

std::int64_t roundedToInteger(const Column& column, double value)
{
    double rounded = std::round(value);
    if (!(std::fabs(rounded) < 9.2e18))
        throw StoreError("Value " + formatFloat(value) + " is out of range for field '" + column.name + "'");
    return static_cast<std::int64_t>(rounded);
}

bool isBinaryBlob(const Column& column) { return column.isBlob() && !column.isMemo(); }

bool parseBoolean(const std::string& text, bool& value)
{
    static const char* const truths[] = {"true", "t", "yes", "y", "1"};
    static const char* const falsehoods[] = {"false", "f", "no", "n", "0"};
    std::string body = trimmed(text);
    for (const char* word : truths)
        if (equalIgnoringCase(body, word)) return value = true, true;
    for (const char* word : falsehoods)
        if (equalIgnoringCase(body, word)) return value = false, true;
    return false;
}

// ---- Formatting by pattern ----------------------------------------------------

struct Moment {
    std::int64_t year = 1;
    int month = 1, day = 1, hour = 0, minute = 0, second = 0, millisecond = 0;
};

std::string padded(std::int64_t number, int width)
{
    std::string digits = std::to_string(number < 0 ? -number : number);
    if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return number < 0 ? "-" + digits : digits;
}

std::size_t runOf(const std::string& pattern, std::size_t at)
{
    std::size_t end = at;
    while (end < pattern.size() && asciiLower(pattern[end]) == asciiLower(pattern[at])) ++end;
    return end - at;
}

bool hasHalfDayToken(const std::string& pattern)
{
    for (std::size_t at = 0; at < pattern.size(); ++at)
        if (startsWithIgnoringCase(pattern, at, "am/pm") || startsWithIgnoringCase(pattern, at, "a/p") ||
            startsWithIgnoringCase(pattern, at, "ampm"))
            return true;
    return false;
}

// "m" is the month in a date pattern and the minute in a time pattern.
std::string formatMoment(const Moment& moment, const std::string& pattern, bool minutesForM)
{
    const Formats& settings = formats();
    bool halfDay = hasHalfDayToken(pattern);
    bool morning = moment.hour < 12;
    std::string out;
    for (std::size_t at = 0; at < pattern.size();) {
        char c = asciiLower(pattern[at]);
        if (startsWithIgnoringCase(pattern, at, "am/pm")) {
            bool upper = pattern[at] == 'A';
            out += morning ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
            at += 5;
            continue;
        }
        if (startsWithIgnoringCase(pattern, at, "a/p")) {
            bool upper = pattern[at] == 'A';
            out += morning ? (upper ? "A" : "a") : (upper ? "P" : "p");
            at += 3;
            continue;
        }
        if (startsWithIgnoringCase(pattern, at, "ampm")) {
            out += morning ? settings.amText : settings.pmText;
            at += 4;
            continue;
        }
        if (c == '"' || c == '\'') {
            std::size_t end = pattern.find(pattern[at], at + 1);
            if (end == std::string::npos) end = pattern.size();
            out += pattern.substr(at + 1, end - at - 1);
            at = end + 1;
            continue;
        }
        std::size_t run = runOf(pattern, at);
        bool two = run >= 2;
        switch (c) {
        case 'y': out += run >= 3 ? padded(moment.year, 4) : padded(std::abs(moment.year) % 100, 2); break;
        case 'd': out += padded(moment.day, two ? 2 : 1); break;
        case 'h': {
            int hour = halfDay ? (moment.hour % 12 == 0 ? 12 : moment.hour % 12) : moment.hour;
            out += padded(hour, two ? 2 : 1);
            break;
        }
        case 'm':
            out += padded(minutesForM ? moment.minute : moment.month, two ? 2 : 1);
            break;
        case 'n': out += padded(moment.minute, two ? 2 : 1); break;
        case 's': out += padded(moment.second, two ? 2 : 1); break;
        case 'z': out += padded(moment.millisecond, run >= 3 ? 3 : 1); break;
        case '/': out.append(run, settings.dateSeparator); break;
        case ':': out.append(run, settings.timeSeparator); break;
        default: out.append(pattern, at, run);
        }
        at += run;
    }
    return out;
}

Moment momentOfDate(Date date)
{
    CivilDate civil = civilDate(date.day);
    Moment moment;
    moment.year = civil.year;
    moment.month = civil.month;
    moment.day = civil.day;
    return moment;
}

void setTimeOfDay(Moment& moment, std::int32_t milliseconds)
{
    std::int64_t inDay = milliseconds % MillisecondsPerDay;
    if (inDay < 0) inDay += MillisecondsPerDay;
    moment.hour = static_cast<int>(inDay / 3600000);
    moment.minute = static_cast<int>(inDay / 60000 % 60);
    moment.second = static_cast<int>(inDay / 1000 % 60);
    moment.millisecond = static_cast<int>(inDay % 1000);
}

// ---- Parsing ------------------------------------------------------------------

// Splits text into runs of digits separated by single characters from
// separators; false when anything else stands between them.
bool splitNumbers(const std::string& text, const std::string& separators, std::vector<std::string>& numbers)
{
    numbers.clear();
    std::string current;
    for (std::size_t at = 0; at < text.size(); ++at) {
        char c = text[at];
        if (c >= '0' && c <= '9') {
            current += c;
            if (current.size() > 9) return false;
            continue;
        }
        if (current.empty() || separators.find(c) == std::string::npos) return false;
        numbers.push_back(current);
        current.clear();
    }
    if (current.empty()) return false;
    numbers.push_back(current);
    return true;
}

int currentYear() { return static_cast<int>(civilDate(dateOf(currentDateTime()).day).year); }

std::int64_t yearOfDigits(const std::string& digits)
{
    int year = std::stoi(digits);
    if (digits.size() > 2) return year;
    int threshold = currentYear() - formats().twoDigitYearWindow;
    int candidate = threshold / 100 * 100 + year;
    return candidate < threshold ? candidate + 100 : candidate;
}

// The order in which day, month and year stand in the short date format.
std::string dateOrder()
{
    std::string order;
    for (char c : formats().shortDateFormat) {
        char l = asciiLower(c);
        if ((l == 'd' || l == 'm' || l == 'y') && order.find(l) == std::string::npos) order += l;
    }
    return order.size() == 3 ? order : "mdy";
}

bool stripHalfDay(std::string& body, bool& halfDay, bool& afternoon)
{
    const Formats& settings = formats();
    const std::string markers[][2] = {{settings.amText, settings.pmText}, {"AM", "PM"}, {"A", "P"}};
    for (const auto& pair : markers)
        for (int which = 0; which < 2; ++which) {
            const std::string& marker = pair[which];
            if (marker.empty() || body.size() <= marker.size()) continue;
            std::size_t at = body.size() - marker.size();
            if (!startsWithIgnoringCase(body, at, marker)) continue;
            char before = body[at - 1];
            if (before != ' ' && (before < '0' || before > '9')) continue;
            body = trimmed(body.substr(0, at));
            halfDay = true;
            afternoon = which == 1;
            return true;
        }
    return false;
}

bool readDate(const std::string& body, Date& date)
{
    std::string separators = std::string(1, formats().dateSeparator) + "/-.";
    std::vector<std::string> numbers;
    if (!splitNumbers(body, separators, numbers) || numbers.size() < 2 || numbers.size() > 3) return false;
    std::string order = dateOrder();
    if (numbers.size() == 2) order.erase(order.find('y'), 1);
    std::int64_t year = currentYear();
    int month = 0, day = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        if (order[i] == 'y') year = yearOfDigits(numbers[i]);
        if (order[i] == 'm') month = std::stoi(numbers[i]);
        if (order[i] == 'd') day = std::stoi(numbers[i]);
    }
    if (!isValidDate(year, month, day)) return false;
    date = Date{dayNumber(year, month, day)};
    return true;
}

// h[:mm[:ss[.zzz]]], then an optional half-day marker.
bool readTime(std::string body, TimeOfDay& time)
{
    bool halfDay = false, afternoon = false;
    stripHalfDay(body, halfDay, afternoon);
    int milliseconds = 0;
    std::size_t point = body.find('.');
    if (point != std::string::npos) {
        std::string fraction = body.substr(point + 1);
        body.erase(point);
        if (fraction.empty() || fraction.size() > 3 || fraction.find_first_not_of("0123456789") != std::string::npos)
            return false;
        milliseconds = std::stoi(fraction);
        for (std::size_t i = fraction.size(); i < 3; ++i) milliseconds *= 10;
    }
    std::vector<std::string> numbers;
    std::string separators = std::string(1, formats().timeSeparator) + ":";
    if (!splitNumbers(body, separators, numbers) || numbers.size() > 3) return false;
    int parts[3] = {0, 0, 0};
    for (std::size_t i = 0; i < numbers.size(); ++i) parts[i] = std::stoi(numbers[i]);
    int hour = parts[0];
    if (halfDay) {
        if (hour < 1 || hour > 12) return false;
        hour = hour % 12 + (afternoon ? 12 : 0);
    }
    if (hour > 23 || parts[1] > 59 || parts[2] > 59) return false;
    time = TimeOfDay{((hour * 60 + parts[1]) * 60 + parts[2]) * 1000 + milliseconds};
    return true;
}

}  // namespace

// ---- Calendar -----------------------------------------------------------------

bool isValidDate(std::int64_t year, int month, int day)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return day <= lengths[month - 1] + (month == 2 && leap);
}

std::int32_t dayNumber(std::int64_t year, int month, int day)
{
    return static_cast<std::int32_t>(daysFromCivil(year, month, day) + UnixEpochDay);
}

CivilDate civilDate(std::int32_t dayNumber) { return civilFromDays(dayNumber - UnixEpochDay); }

Timestamp timestampOf(std::int32_t dayNumber, std::int32_t milliseconds)
{
    return Timestamp{static_cast<double>(dayNumber) * MillisecondsPerDay + milliseconds};
}

Date dateOf(Timestamp timestamp)
{
    double days = std::floor(timestamp.milliseconds / MillisecondsPerDay);
    if (!(days >= std::numeric_limits<std::int32_t>::min() && days <= std::numeric_limits<std::int32_t>::max()))
        return Date{0};
    return Date{static_cast<std::int32_t>(days)};
}

TimeOfDay timeOf(Timestamp timestamp)
{
    double days = std::floor(timestamp.milliseconds / MillisecondsPerDay);
    double rest = std::round(timestamp.milliseconds - days * MillisecondsPerDay);
    if (!(rest >= 0 && rest < MillisecondsPerDay)) return TimeOfDay{0};
    return TimeOfDay{static_cast<std::int32_t>(rest)};
}

// The day count from 30 December 1899 keeps the time of day as a positive
// fraction even before that day: -1.25 is 29 December 1899, 6:00.
double lastUpdateStampOf(Timestamp timestamp)
{
    double days = static_cast<double>(dateOf(timestamp).day - StampEpochDay);
    double fraction = static_cast<double>(timeOf(timestamp).milliseconds) / MillisecondsPerDay;
    double count = days < 0 ? days - fraction : days + fraction;
    return count - static_cast<double>(StampEpochDay);
}

Timestamp timestampOfLastUpdateStamp(double stamp)
{
    double count = stamp + static_cast<double>(StampEpochDay);
    if (!std::isfinite(count) || std::fabs(count) > 3e6) return Timestamp{0};
    double days = std::trunc(count);
    auto milliseconds = static_cast<std::int32_t>(std::round(std::fabs(count - days) * MillisecondsPerDay));
    if (milliseconds >= MillisecondsPerDay) milliseconds = MillisecondsPerDay - 1;
    return timestampOf(static_cast<std::int32_t>(days + StampEpochDay), milliseconds);
}

Timestamp currentDateTime()
{
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto milliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    std::int32_t day = dayNumber(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    auto inDay = static_cast<std::int32_t>(((local.tm_hour * 60 + local.tm_min) * 60 + local.tm_sec) * 1000 +
                                           (milliseconds < 0 ? 0 : milliseconds));
    return timestampOf(day, inDay);
}

// ---- Text formats ---------------------------------------------------------------

Formats& formats()
{
    static Formats settings;
    return settings;
}

std::string formatDate(Date date) { return formatMoment(momentOfDate(date), formats().shortDateFormat, false); }

std::string formatTime(TimeOfDay time)
{
    Moment moment;
    setTimeOfDay(moment, time.milliseconds);
    return formatMoment(moment, formats().longTimeFormat, true);
}

std::string formatTimestamp(Timestamp timestamp)
{
    return formatDate(dateOf(timestamp)) + " " + formatTime(timeOf(timestamp));
}

std::string formatFloat(double value)
{
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15g", value);
    std::string text = buffer;
    std::size_t exponent = text.find('e');
    if (exponent == std::string::npos) return text;
    // 1.5e-07 reads as 1.5E-7, 1e+20 as 1E20.
    std::string mantissa = text.substr(0, exponent);
    bool negative = text[exponent + 1] == '-';
    std::string digits = text.substr(exponent + 2);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    return mantissa + "E" + (negative ? "-" : "") + digits;
}

Date parseDate(const std::string& text)
{
    Date date;
    if (!readDate(trimmed(text), date)) invalidText(text, "date");
    return date;
}

TimeOfDay parseTime(const std::string& text)
{
    TimeOfDay time;
    if (!readTime(trimmed(text), time)) invalidText(text, "time");
    return time;
}

Timestamp parseTimestamp(const std::string& text)
{
    std::string body = trimmed(text);
    std::size_t blank = body.find(' ');
    Date date;
    TimeOfDay time;
    if (!readDate(body.substr(0, blank), date) ||
        (blank != std::string::npos && !readTime(trimmed(body.substr(blank + 1)), time)))
        invalidText(text, "date and time");
    return timestampOf(date.day, time.milliseconds);
}

double parseFloat(const std::string& text)
{
    std::string body = trimmed(text);
    const char* first = body.data();
    const char* last = first + body.size();
    if (first != last && *first == '+') ++first;
    double value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (body.empty() || error != std::errc() || end != last) invalidText(text, "floating point value");
    return value;
}

std::int64_t parseInteger(const std::string& text)
{
    std::string body = trimmed(text);
    const char* first = body.data();
    const char* last = first + body.size();
    if (first != last && *first == '+') ++first;
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(first, last, value);
    if (body.empty() || error != std::errc() || end != last) invalidText(text, "integer value");
    return value;
}

// ---- Places in a slot -----------------------------------------------------------

Value decodeValue(const Column& column, const std::uint8_t* place)
{
    if (place[0] == 0) return std::monostate{};
    const std::uint8_t* at = place + 1;
    switch (column.type) {
    case FieldType::String: {
        const void* end = std::memchr(at, 0, column.physicalSize);
        std::size_t length = end ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - at)
                                 : column.physicalSize;
        return std::string(reinterpret_cast<const char*>(at), length);
    }
    case FieldType::Date: return Date{bytes::getI32(at)};
    case FieldType::Boolean: return bytes::getU16(at) != 0;
    case FieldType::SmallInt: return std::int64_t{bytes::getI16(at)};
    case FieldType::Integer:
    case FieldType::LongWord: return std::int64_t{bytes::getI32(at)};
    case FieldType::Word: return std::int64_t{bytes::getU16(at)};
    case FieldType::Float: return bytes::getF64(at);
    case FieldType::Decimal: return Decimal{static_cast<std::int64_t>(bytes::getU64(at)), column.decimals};
    case FieldType::Time: return TimeOfDay{bytes::getI32(at)};
    case FieldType::Timestamp: return Timestamp{bytes::getF64(at)};
    case FieldType::Bytes:
    case FieldType::VarBytes:
    case FieldType::Extended: return Bytes{std::string(reinterpret_cast<const char*>(at), column.physicalSize)};
    default: return std::monostate{};
    }
}

void encodeValue(const Column& column, const Value& value, std::uint8_t* place)
{
    std::memset(place, 0, 1u + column.physicalSize);
    if (isEmpty(value)) return;
    std::uint8_t* at = place + 1;
    auto integer = [&] { return std::get<std::int64_t>(value); };
    switch (column.type) {
    case FieldType::String: {
        std::string text = std::get<std::string>(value);
        text.erase(text.find_last_not_of(' ') + 1);
        if (text.size() > column.size) text.resize(column.size);
        if (text.empty()) return;
        std::memcpy(at, text.data(), text.size());
        break;
    }
    case FieldType::Date: bytes::putI32(at, std::get<Date>(value).day); break;
    case FieldType::Boolean: bytes::putU16(at, std::get<bool>(value) ? 1 : 0); break;
    case FieldType::SmallInt:
    case FieldType::Word: bytes::putU16(at, static_cast<std::uint16_t>(integer())); break;
    case FieldType::Integer:
    case FieldType::LongWord: bytes::putU32(at, static_cast<std::uint32_t>(integer())); break;
    case FieldType::Float: bytes::putF64(at, std::get<double>(value)); break;
    case FieldType::Decimal: bytes::putU64(at, static_cast<std::uint64_t>(std::get<Decimal>(value).units)); break;
    case FieldType::Time: bytes::putI32(at, std::get<TimeOfDay>(value).milliseconds); break;
    case FieldType::Timestamp: bytes::putF64(at, std::get<Timestamp>(value).milliseconds); break;
    case FieldType::Bytes:
    case FieldType::VarBytes:
    case FieldType::Extended: {
        const std::string& data = std::get<Bytes>(value).data;
        if (data.empty()) return;
        std::memcpy(at, data.data(), std::min<std::size_t>(data.size(), column.physicalSize));
        break;
    }
    default: return;
    }
    place[0] = 1;
}

// ---- Conversions ------------------------------------------------------------------

Value valueFromText(const Column& column, const std::string& text)
{
    if (column.type == FieldType::String) return text;
    if (column.isMemo()) return text;
    if (isBinaryBlob(column) || column.type == FieldType::Bytes || column.type == FieldType::VarBytes)
        return Bytes{text};
    if (column.isAutoIncrement()) cannotHold(column, "a value of its own");
    if (trimmed(text).empty()) return std::monostate{};
    switch (column.type) {
    case FieldType::Date: return parseDate(text);
    case FieldType::Time: return parseTime(text);
    case FieldType::Timestamp: return parseTimestamp(text);
    case FieldType::Boolean: {
        bool value;
        if (!parseBoolean(text, value)) invalidText(text, "boolean value");
        return value;
    }
    case FieldType::Float: return parseFloat(text);
    case FieldType::Decimal: return parseDecimal(column, text);
    case FieldType::Extended: return encodeExtended(parseFloat(text));
    default:
        if (isIntegerKind(column)) return checkedInteger(column, parseInteger(text));
        cannotHold(column, "a text");
    }
}

Value valueFromInteger(const Column& column, std::int64_t value)
{
    if (column.type == FieldType::String) return std::to_string(value);
    if (column.isAutoIncrement()) cannotHold(column, "a value of its own");
    if (isIntegerKind(column)) return checkedInteger(column, value);
    switch (column.type) {
    case FieldType::Float: return static_cast<double>(value);
    case FieldType::Extended: return encodeExtended(static_cast<double>(value));
    case FieldType::Decimal: {
        std::int64_t units;
        if (__builtin_mul_overflow(value, powerOfTen(column.decimals), &units))
            throw StoreError("Value " + std::to_string(value) + " is out of range for field '" + column.name + "'");
        return Decimal{units, column.decimals};
    }
    default: cannotHold(column, "an integer");
    }
}

Value valueFromFloat(const Column& column, double value)
{
    if (column.type == FieldType::String) return formatFloat(value);
    if (column.isAutoIncrement()) cannotHold(column, "a value of its own");
    if (isIntegerKind(column)) return checkedInteger(column, roundedToInteger(column, value));
    switch (column.type) {
    case FieldType::Float: return value;
    case FieldType::Extended: return encodeExtended(value);
    case FieldType::Decimal: return decimalOfFloat(column, value);
    default: cannotHold(column, "a float");
    }
}

Value valueFromBoolean(const Column& column, bool value)
{
    if (column.type == FieldType::Boolean) return value;
    if (column.type == FieldType::String) return std::string(value ? "True" : "False");
    cannotHold(column, "a boolean");
}

Value valueFromDateTime(const Column& column, Timestamp value)
{
    switch (column.type) {
    case FieldType::Date: return dateOf(value);
    case FieldType::Time: return timeOf(value);
    case FieldType::Timestamp: return value;
    case FieldType::String: return formatTimestamp(value);
    default: cannotHold(column, "a date and time");
    }
}

Value valueFor(const Column& column, const Value& value)
{
    struct Visitor {
        const Column& column;
        Value operator()(std::monostate) const { return std::monostate{}; }
        Value operator()(const std::string& text) const { return valueFromText(column, text); }
        Value operator()(std::int64_t number) const { return valueFromInteger(column, number); }
        Value operator()(double number) const { return valueFromFloat(column, number); }
        Value operator()(bool flag) const { return valueFromBoolean(column, flag); }
        Value operator()(Date date) const { return valueFromDateTime(column, timestampOf(date.day, 0)); }
        Value operator()(TimeOfDay time) const
        {
            if (column.type == FieldType::Time) return time;
            if (column.type == FieldType::String) return formatTime(time);
            cannotHold(column, "a time of day");
        }
        Value operator()(Timestamp timestamp) const { return valueFromDateTime(column, timestamp); }
        Value operator()(const Decimal& decimal) const
        {
            if (column.type == FieldType::Decimal && decimal.places == column.decimals) return decimal;
            if (column.type == FieldType::String) return formatDecimal(decimal);
            return valueFromFloat(column, floatOfDecimal(decimal));
        }
        Value operator()(const Bytes& raw) const
        {
            if (column.type == FieldType::Extended) {
                if (raw.data.size() != 10) cannotHold(column, "bytes other than an 80-bit float");
                return raw;
            }
            if (isBinaryBlob(column) || column.type == FieldType::Bytes || column.type == FieldType::VarBytes)
                return raw;
            cannotHold(column, "bytes");
        }
    };
    return std::visit(Visitor{column}, value);
}

std::string textOf(const Column& column, const Value& value)
{
    struct Visitor {
        const Column& column;
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string& text) const { return text; }
        std::string operator()(std::int64_t number) const { return std::to_string(number); }
        std::string operator()(double number) const { return formatFloat(number); }
        std::string operator()(bool flag) const { return flag ? "True" : "False"; }
        std::string operator()(Date date) const { return formatDate(date); }
        std::string operator()(TimeOfDay time) const { return formatTime(time); }
        std::string operator()(Timestamp timestamp) const { return formatTimestamp(timestamp); }
        std::string operator()(const Decimal& decimal) const { return formatDecimal(decimal); }
        std::string operator()(const Bytes& raw) const
        {
            if (column.type == FieldType::Extended && raw.data.size() == 10)
                return formatFloat(decodeExtended(reinterpret_cast<const std::uint8_t*>(raw.data.data())));
            return raw.data;
        }
    };
    return std::visit(Visitor{column}, value);
}

std::int64_t integerOf(const Column& column, const Value& value)
{
    if (isEmpty(value)) return 0;
    if (auto number = std::get_if<std::int64_t>(&value)) return *number;
    if (auto number = std::get_if<double>(&value)) return roundedToInteger(column, *number);
    if (auto decimal = std::get_if<Decimal>(&value)) return roundedToInteger(column, floatOfDecimal(*decimal));
    if (auto text = std::get_if<std::string>(&value)) return trimmed(*text).empty() ? 0 : parseInteger(*text);
    cannotRead(column, "an integer");
}

double floatOf(const Column& column, const Value& value)
{
    if (isEmpty(value)) return 0;
    if (auto number = std::get_if<double>(&value)) return *number;
    if (auto number = std::get_if<std::int64_t>(&value)) return static_cast<double>(*number);
    if (auto decimal = std::get_if<Decimal>(&value)) return floatOfDecimal(*decimal);
    if (auto text = std::get_if<std::string>(&value)) return trimmed(*text).empty() ? 0 : parseFloat(*text);
    if (auto raw = std::get_if<Bytes>(&value); raw && column.type == FieldType::Extended && raw->data.size() == 10)
        return decodeExtended(reinterpret_cast<const std::uint8_t*>(raw->data.data()));
    cannotRead(column, "a float");
}

bool booleanOf(const Column& column, const Value& value)
{
    if (isEmpty(value)) return false;
    if (auto flag = std::get_if<bool>(&value)) return *flag;
    bool parsed;
    if (auto text = std::get_if<std::string>(&value); text && parseBoolean(*text, parsed)) return parsed;
    cannotRead(column, "a boolean");
}

Value defaultValueOf(const Column& column)
{
    if (!column.hasDefault) return std::monostate{};
    const std::string& text = column.defaultValue;
    if (column.type == FieldType::String) return text;
    std::string keyword = trimmed(text);
    if (column.type == FieldType::Date && equalIgnoringCase(keyword, "DATE")) return dateOf(currentDateTime());
    if (column.type == FieldType::Time && equalIgnoringCase(keyword, "TIME")) return timeOf(currentDateTime());
    if (column.type == FieldType::Timestamp) {
        if (equalIgnoringCase(keyword, "DATE")) return timestampOf(dateOf(currentDateTime()).day, 0);
        if (equalIgnoringCase(keyword, "NOW") || equalIgnoringCase(keyword, "TIME")) return currentDateTime();
    }
    return valueFromText(column, text);
}

std::partial_ordering compareValues(const Value& left, const Value& right)
{
    if (left.index() != right.index()) return std::partial_ordering::unordered;
    if (auto a = std::get_if<Decimal>(&left)) {
        const auto& b = std::get<Decimal>(right);
        return a->places == b.places ? a->units <=> b.units : floatOfDecimal(*a) <=> floatOfDecimal(b);
    }
    return std::visit(
        [&](const auto& a) -> std::partial_ordering {
            using Kind = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<Kind, std::monostate> || std::is_same_v<Kind, Decimal>)
                return std::partial_ordering::equivalent;
            else
                return a <=> std::get<Kind>(right);
        },
        left);
}

}  // namespace store
