// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/diagnosis.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <string_view>

#include "testing/textrules.h"

namespace scoring {

namespace {

// A key's place: its row and the span of columns it covers, in quarter key
// widths so that the staggered rows of a keyboard line up.
struct KeyPlace {
    int row;
    int left;
    int right;  // exclusive
};

bool findOnKeypad(char32_t key, KeyPlace& place)
{
    // 7 8 9 / 4 5 6 / 1 2 3 / 0 (two wide) and the point.
    static constexpr std::u32string_view rows[] = {U"789", U"456", U"123"};
    for (int row = 0; row < 3; ++row) {
        const std::size_t column = rows[row].find(key);
        if (column != std::u32string_view::npos) {
            place = {row, int(column) * 4, int(column) * 4 + 4};
            return true;
        }
    }
    if (key == U'0') place = {3, 0, 8};
    else if (key == U'.' || key == U',') place = {3, 8, 12};
    else return false;
    return true;
}

bool findOnUsKeyboard(char32_t key, KeyPlace& place)
{
    // Each row as typed unshifted and shifted, and how far it stands to the
    // right of the digit row.
    struct Row {
        std::u32string_view plain;
        std::u32string_view shifted;
        int offset;
    };
    static constexpr Row rows[] = {
        {U"`1234567890-=", U"~!@#$%^&*()_+", 0},
        {U"qwertyuiop[]\\", U"QWERTYUIOP{}|", 6},
        {U"asdfghjkl;'", U"ASDFGHJKL:\"", 7},
        {U"zxcvbnm,./", U"ZXCVBNM<>?", 9},
    };
    for (int row = 0; row < 4; ++row) {
        std::size_t column = rows[row].plain.find(key);
        if (column == std::u32string_view::npos) column = rows[row].shifted.find(key);
        if (column != std::u32string_view::npos) {
            const int left = rows[row].offset + int(column) * 4;
            place = {row, left, left + 4};
            return true;
        }
    }
    if (key != U' ') return false;
    place = {4, 17, 37};  // the space bar, under c to m
    return true;
}

bool findKey(char32_t key, Keyboard keyboard, KeyPlace& place)
{
    return keyboard == Keyboard::numericKeypad ? findOnKeypad(key, place) : findOnUsKeyboard(key, place);
}

// The cheapest-alignment table: cost[i][j] turns the first j characters of
// source into the first i of keyed.
class Alignment {
public:
    Alignment(const std::u32string& keyed, const std::u32string& source)
        : keyed(keyed), source(source), width(source.size() + 1), cost((keyed.size() + 1) * width)
    {
        for (std::size_t j = 0; j <= source.size(); ++j) at(0, j) = int(j);
        for (std::size_t i = 1; i <= keyed.size(); ++i) {
            at(i, 0) = int(i);
            for (std::size_t j = 1; j <= source.size(); ++j) {
                int best = std::min({at(i - 1, j) + 1, at(i, j - 1) + 1,
                                     at(i - 1, j - 1) + (keyed[i - 1] == source[j - 1] ? 0 : 1)});
                if (transposed(i, j)) best = std::min(best, at(i - 2, j - 2) + 1);
                at(i, j) = best;
            }
        }
    }

    int full() const { return at(keyed.size(), source.size()); }

    // The longest start of source that keyed costs least against.
    std::size_t cheapestStart() const
    {
        std::size_t best = 0;
        for (std::size_t j = 1; j <= source.size(); ++j)
            if (at(keyed.size(), j) <= at(keyed.size(), best)) best = j;
        return best;
    }

    // The edits from (i, j) back to the start, in order of position.
    std::vector<Edit> edits(std::size_t i, std::size_t j, Keyboard keyboard) const
    {
        std::vector<Edit> found;
        // Among equal alignments the one a person would read: a swap, then a
        // repeated key, before matching what is left.
        while (i > 0 || j > 0) {
            const int here = at(i, j);
            const bool repeats = i >= 2 && keyed[i - 2] == keyed[i - 1];
            if (transposed(i, j) && at(i - 2, j - 2) + 1 == here) {
                found.push_back({EditClass::transposedPair, int(j - 2), source[j - 2], source[j - 1]});
                i -= 2, j -= 2;
            } else if (repeats && at(i - 1, j) + 1 == here) {
                found.push_back({EditClass::doubledCharacter, int(j), 0, keyed[i - 1]});
                --i;
            } else if (i > 0 && j > 0 && keyed[i - 1] == source[j - 1] && at(i - 1, j - 1) == here) {
                --i, --j;
            } else if (i > 0 && j > 0 && at(i - 1, j - 1) + 1 == here) {
                const bool near = neighbourKeys(source[j - 1], keyed[i - 1], keyboard);
                found.push_back({near ? EditClass::neighbourKey : EditClass::otherSubstitution, int(j - 1),
                                 source[j - 1], keyed[i - 1]});
                --i, --j;
            } else if (j > 0 && at(i, j - 1) + 1 == here) {
                found.push_back({EditClass::omittedCharacter, int(j - 1), source[j - 1], 0});
                --j;
            } else {
                const bool doubled = i < keyed.size() && keyed[i] == keyed[i - 1];
                found.push_back({doubled ? EditClass::doubledCharacter : EditClass::extraCharacter, int(j), 0,
                                 keyed[i - 1]});
                --i;
            }
        }
        std::reverse(found.begin(), found.end());
        return found;
    }

private:
    bool transposed(std::size_t i, std::size_t j) const
    {
        return i > 1 && j > 1 && keyed[i - 1] == source[j - 2] && keyed[i - 2] == source[j - 1] &&
               keyed[i - 1] != keyed[i - 2];
    }
    int& at(std::size_t i, std::size_t j) { return cost[i * width + j]; }
    int at(std::size_t i, std::size_t j) const { return cost[i * width + j]; }

    const std::u32string& keyed;
    const std::u32string& source;
    std::size_t width;
    std::vector<int> cost;
};

const char* const ClassWords[EditClassCount][2] = {
    {"transposed pair", "transposed pairs"},   {"omitted %", "omitted %s"},
    {"extra %", "extra %s"},                    {"doubled %", "doubled %s"},
    {"neighbour-key substitution", "neighbour-key substitutions"},
    {"other substitution", "other substitutions"}, {"field left blank", "fields left blank"},
};

std::string inWords(int count, EditClass kind, bool numeric)
{
    std::string words = ClassWords[std::size_t(kind)][count == 1 ? 0 : 1];
    const std::size_t mark = words.find('%');
    if (mark != std::string::npos) words.replace(mark, 1, numeric ? "digit" : "character");
    return std::to_string(count) + " " + words;
}

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
        if (end == std::string_view::npos) return parts;
        start = end + 1;
    }
}

bool readCount(std::string_view text, std::int32_t& value)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && value >= 0;
}

// One line of the memo, or false when it does not read as the format says.
bool readKeyLine(std::string_view line, char32_t& key, KeyErrors& errors)
{
    const std::vector<std::string_view> fields = split(line, '\t');
    const std::u32string keyText = charactersOf(std::string(fields[0]));
    if (keyText.size() != 1 || fields.size() < 3 || fields.size() % 2 == 0) return false;
    key = keyText[0];
    if (!readCount(fields[1], errors.expected) || !readCount(fields[2], errors.wrong)) return false;
    for (std::size_t at = 3; at < fields.size(); at += 2) {
        std::int32_t times = 0;
        const std::u32string typed = charactersOf(std::string(fields[at]));
        if (typed.size() > 1 || !readCount(fields[at + 1], times)) return false;
        errors.typedInstead[typed] += times;
    }
    return true;
}

struct FieldAlignment {
    std::vector<Edit> edits;
    std::size_t sourceReached;  // characters of the source the keyed text was aligned with
};

FieldAlignment alignField(const std::u32string& keyed, const std::u32string& source, Keyboard keyboard,
                          bool prefixOnly)
{
    if (keyed == source) return {{}, source.size()};
    if (keyed.empty()) {
        if (prefixOnly) return {{}, 0};
        return {{{EditClass::leftBlank, 0, 0, 0}}, 0};
    }
    const Alignment alignment(keyed, source);
    const std::size_t end = prefixOnly ? alignment.cheapestStart() : source.size();
    return {alignment.edits(keyed.size(), end, keyboard), end};
}

}  // namespace

bool neighbourKeys(char32_t a, char32_t b, Keyboard keyboard)
{
    KeyPlace first{};
    KeyPlace second{};
    if (!findKey(a, keyboard, first) || !findKey(b, keyboard, second)) return false;
    if (first.row == second.row) return first.right == second.left || second.right == first.left;
    const bool overlap = first.left < second.right && second.left < first.right;
    return std::abs(first.row - second.row) == 1 && overlap;
}

int alignmentCost(const std::u32string& keyed, const std::u32string& source)
{
    return Alignment(keyed, source).full();
}

std::vector<Edit> classifyField(const std::string& keyed, const std::string& source, Keyboard keyboard,
                                bool prefixOnly)
{
    return alignField(charactersOf(keyed), charactersOf(source), keyboard, prefixOnly).edits;
}

void Diagnosis::addField(const std::string& keyed, const std::string& source, Keyboard keyboard, bool lastField)
{
    const std::u32string sourceCharacters = charactersOf(source);
    const FieldAlignment aligned = alignField(charactersOf(keyed), sourceCharacters, keyboard, lastField);
    for (std::size_t at = 0; at < aligned.sourceReached; ++at) ++keys[sourceCharacters[at]].expected;
    for (const Edit& edit : aligned.edits) {
        ++counts[std::size_t(edit.kind)];
        if (edit.expected == 0) continue;
        KeyErrors& key = keys[edit.expected];
        ++key.wrong;
        ++key.typedInstead[edit.typed == 0 ? std::u32string() : std::u32string(1, edit.typed)];
    }
}

void Diagnosis::addExpected(const std::string& source)
{
    for (const char32_t key : charactersOf(source)) ++keys[key].expected;
}

void Diagnosis::add(const Diagnosis& other)
{
    for (int kind = 0; kind < EditClassCount; ++kind) counts[std::size_t(kind)] += other.counts[std::size_t(kind)];
    for (const auto& [code, errors] : other.keys) {
        KeyErrors& key = keys[code];
        key.expected += errors.expected;
        key.wrong += errors.wrong;
        for (const auto& [typed, times] : errors.typedInstead) key.typedInstead[typed] += times;
    }
}

std::string keysMemo(const Diagnosis& diagnosis)
{
    std::string memo;
    for (const auto& [code, errors] : diagnosis.keys) {
        memo += textOf(std::u32string(1, code)) + "\t" + std::to_string(errors.expected) + "\t" +
                std::to_string(errors.wrong);
        for (const auto& [typed, times] : errors.typedInstead) memo += "\t" + textOf(typed) + "\t" + std::to_string(times);
        memo += "\r\n";
    }
    return memo;
}

std::map<char32_t, KeyErrors> keysFromMemo(const std::string& memo)
{
    std::map<char32_t, KeyErrors> keys;
    for (std::string_view line : split(memo, '\n')) {
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        char32_t key = 0;
        KeyErrors errors;
        if (readKeyLine(line, key, errors)) keys[key] = std::move(errors);
    }
    return keys;
}

Diagnosis diagnosisOfLog(const std::string& errors, Keyboard keyboard)
{
    static constexpr std::string_view KeyedMark = "Keyed    >";
    static constexpr std::string_view SourceMark = "On Record>";
    static constexpr std::string_view LastFieldMark = "(Last field keyed)";
    std::vector<std::string_view> lines = split(errors, '\n');
    for (std::string_view& line : lines)
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    Diagnosis diagnosis;
    for (std::size_t at = 0; at + 1 < lines.size(); ++at) {
        if (!lines[at].starts_with(KeyedMark) || !lines[at + 1].starts_with(SourceMark)) continue;
        const bool lastField = at > 0 && lines[at - 1].ends_with(LastFieldMark);
        diagnosis.addField(std::string(lines[at].substr(KeyedMark.size())),
                           std::string(lines[at + 1].substr(SourceMark.size())), keyboard, lastField);
        ++at;
    }
    return diagnosis;
}

std::string countsInWords(const Diagnosis& diagnosis, bool numeric)
{
    std::string words;
    for (int kind = 0; kind < EditClassCount; ++kind) {
        const int count = diagnosis.counts[std::size_t(kind)];
        if (count == 0) continue;
        if (!words.empty()) words += ", ";
        words += inWords(count, EditClass(kind), numeric);
    }
    return words.empty() ? "No field errors" : words;
}

}  // namespace scoring
