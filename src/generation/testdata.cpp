// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/testdata.h"

#include <charconv>
#include <chrono>
#include <system_error>

namespace generation {

std::uint32_t RandomState = 0;

namespace {

struct WidthRule {
    std::uint32_t lowerBound;  // draws at or below it are drawn again
    std::uint32_t range;       // the n of randomint
};

// Index 0 is the variable width; 1 to 5 are the widths 4 to 8.
constexpr WidthRule IntegerRules[] = {
    {1, 99999999}, {1000, 9999}, {10000, 99999}, {100000, 999999}, {1000000, 9999999}, {10000000, 99999999}};
constexpr WidthRule DecimalRules[] = {
    {1000, 99999999}, {1000, 9999}, {10000, 99999}, {100000, 999999}, {1000000, 9999999}, {10000000, 99999999}};

int ruleIndex(int width) { return width == 0 ? 0 : width - 3; }

std::uint32_t drawAbove(const WidthRule& rule)
{
    std::uint32_t value;
    do {
        value = randomint(rule.range);
    } while (value <= rule.lowerBound);
    return value;
}

std::uint32_t drawAtLeast(std::uint32_t range, std::uint32_t least)
{
    std::uint32_t value;
    do {
        value = randomint(range);
    } while (value < least);
    return value;
}

}  // namespace

void seedrandomAt(int hour, int minute, int second, int millisecond)
{
    RandomState = static_cast<std::uint32_t>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond);
}

void seedrandom()
{
    using namespace std::chrono;
    auto sinceMidnight = system_clock::now().time_since_epoch() % days(1);
    auto parts = hh_mm_ss<milliseconds>(duration_cast<milliseconds>(sinceMidnight));
    seedrandomAt(static_cast<int>(parts.hours().count()), static_cast<int>(parts.minutes().count()),
                 static_cast<int>(parts.seconds().count()), static_cast<int>(parts.subseconds().count()));
}

std::uint32_t randomint(std::uint32_t n)
{
    RandomState = RandomState * 134775813u + 1u;
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(RandomState) * n) >> 32);
}

bool isKnownWidth(int width) { return width == 0 || (width >= 4 && width <= 8); }

// A width the settings dialog cannot offer (one stored by hand) would index
// past the rules; it is drawn as the variable width rather than crash.
std::int32_t drawInteger(int width)
{
    int index = isKnownWidth(width) ? ruleIndex(width) : 0;
    return static_cast<std::int32_t>(drawAbove(IntegerRules[index]));
}

std::string drawDecimalText(int width)
{
    int index = isKnownWidth(width) ? ruleIndex(width) : 0;
    return decimalTextOf(drawAbove(DecimalRules[index]));
}

std::string decimalTextOf(std::uint32_t drawn)
{
    // No rule draws below 1001, but an imported whole number may have fewer
    // than four digits; padded, it keeps one integer digit: 42 gives 0.04.
    std::string digits = std::to_string(drawn);
    if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
    std::size_t k = digits.size();
    return digits.substr(0, k - 3) + "." + digits.substr(k - 3, 2);
}

// Read with the point as decimal separator whatever the process's locale
// says: the toolkit takes the locale from the environment, and a locale with
// a decimal comma would make every drawn text unreadable.
double decimalValue(const std::string& text)
{
    double value = 0;
    const char* end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return 1.23;
    return value;
}

std::string drawSortKey() { return std::to_string(randomint(99999)); }

int drawDaysAgo() { return static_cast<int>(randomint(700)); }

std::int32_t drawInvoice() { return static_cast<std::int32_t>(drawAtLeast(99999999, 10000000)); }

std::string drawAmount() { return amountTextOf(drawAtLeast(9999999, 1000000)); }

std::string amountTextOf(std::uint32_t drawn)
{
    std::string digits = std::to_string(drawn);
    if (digits.size() < 7) digits.insert(0, 7 - digits.size(), '0');
    return digits.substr(0, 4) + "." + digits.substr(5, 2);
}

}  // namespace generation
