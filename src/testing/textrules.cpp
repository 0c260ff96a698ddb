// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/textrules.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cwctype>
#include <locale.h>

namespace {

constexpr char32_t StrayBase = 0x110000;

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// The character that starts at byte at, and the byte after it.
std::pair<char32_t, std::size_t> characterAt(const std::string& text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) return {lead, at + 1};
    const int trailing = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    char32_t code = lead & (0x3F >> trailing);
    std::size_t next = at + 1;
    for (int i = 0; i < trailing && next < text.size() && isContinuation(static_cast<unsigned char>(text[next]));
         ++i, ++next)
        code = (code << 6) | (static_cast<unsigned char>(text[next]) & 0x3F);
    if (trailing == 0 || next != at + 1 + std::size_t(trailing)) return {StrayBase + lead, at + 1};
    return {code, next};
}

void appendCharacter(std::string& text, char32_t code)
{
    if (code < 0x80) {
        text += char(code);
        return;
    }
    const int continuation = code < 0x800 ? 1 : code < 0x10000 ? 2 : 3;
    const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
    text += char(lead[continuation] | (code >> (6 * continuation)));
    for (int shift = 6 * (continuation - 1); shift >= 0; shift -= 6) text += char(0x80 | ((code >> shift) & 0x3F));
}

// Unicode's one-to-one upper-case mapping, the rule the entry fields type by.
char32_t upperCaseOf(char32_t code)
{
    static const locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(nullptr));
    if (!unicode) return code >= U'a' && code <= U'z' ? code - U'a' + U'A' : code;
    return char32_t(towupper_l(wint_t(code), unicode));
}

}  // namespace

std::u32string charactersOf(const std::string& text)
{
    std::u32string characters;
    for (std::size_t at = 0; at < text.size();) {
        const auto [code, next] = characterAt(text, at);
        characters.push_back(code);
        at = next;
    }
    return characters;
}

std::string textOf(const std::u32string& characters)
{
    std::string text;
    for (const char32_t code : characters) {
        if (code >= StrayBase)
            text += char(code - StrayBase);
        else
            appendCharacter(text, code);
    }
    return text;
}

int characterCount(const std::string& text)
{
    int count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) at = characterAt(text, at).second;
    return count;
}

std::string trimmed(const std::string& text)
{
    const auto kept = [](char c) { return static_cast<unsigned char>(c) > 32; };
    const auto first = std::find_if(text.begin(), text.end(), kept);
    const auto last = std::find_if(text.rbegin(), text.rend(), kept).base();
    return first < last ? std::string(first, last) : std::string();
}

std::string formatTwoDecimals(double value)
{
    // The shortest correct rounding takes an exact half (90.625) to the even
    // digit; a figure on a report goes away from zero, as a reader rounds. A
    // half is exact only where value × 100 is, which the fused product tells.
    const double hundredths = value * 100;
    if (std::fma(value, 100, -hundredths) == 0 && std::fabs(hundredths - std::trunc(hundredths)) == 0.5)
        value = (std::trunc(hundredths) + std::copysign(1.0, value)) / 100;
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 2);
    return std::string(text, written.ptr);
}

std::string formatThousands(double value)
{
    std::string text = formatTwoDecimals(value);
    const std::size_t sign = text.front() == '-' ? 1 : 0;
    for (std::size_t at = text.find('.'); at > sign + 3; at -= 3) text.insert(at - 3, 1, ',');
    return text;
}

std::string upperCased(const std::string& text)
{
    std::string upper;
    upper.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const auto [code, next] = characterAt(text, at);
        if (code >= StrayBase)
            upper += text[at];
        else
            appendCharacter(upper, upperCaseOf(code));
        at = next;
    }
    return upper;
}
