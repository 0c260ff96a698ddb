// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What kind of mistakes a testee makes: each wrong field is aligned with its
// source at the least cost (substitution, omission, insertion and the
// transposition of two neighbours, each costing one, no character edited
// twice), and every edit of that alignment is named. A run's diagnosis
// holds the count of each kind of edit and, per source key, how often it
// was expected, how often it was wrong and what was typed in its place.
//
// Insertions are charged to no key: nothing was expected where they stand.
//
// The per-key memo (the KEYS memo of diagnosis.dat) is one line per key
// that was expected at least once, lines ended by carriage return and line
// feed, in order of the key's code; each line holds fields separated by a
// tab: the key, the times it was expected, the times it was wrong, then
// pairs of what was typed instead and how often (an empty text for nothing
// typed), in order of the typed text. Keys and typed texts are one
// character each in UTF-8; entry fields hold neither tabs nor line breaks.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace scoring {

enum class EditClass {
    transposedPair,
    omittedCharacter,
    extraCharacter,
    doubledCharacter,  // an extra character repeating one beside it
    neighbourKey,      // the wrong key is next to the right one
    otherSubstitution,
    leftBlank,         // a whole field with nothing keyed
};
constexpr int EditClassCount = 7;

// The keyboard a field is keyed on, which says which keys are neighbours.
enum class Keyboard { numericKeypad, usKeyboard };

// One edit of an alignment. sourcePosition counts characters of the source
// from 0: the character substituted or omitted, the first of a transposed
// pair, or the one an insertion stands before (the source's length at the
// end).
struct Edit {
    EditClass kind;
    int sourcePosition;
    char32_t expected;  // 0 for an insertion
    char32_t typed;     // 0 for an omission
};

// The least cost of turning source into keyed.
int alignmentCost(const std::u32string& keyed, const std::u32string& source);

// The edits of a least-cost alignment, in order of position. With
// prefixOnly, keyed is aligned with the cheapest start of source (the field
// the run ended in: what was not keyed yet is no error). An empty keyed
// text of a non-empty source is one leftBlank edit.
std::vector<Edit> classifyField(const std::string& keyed, const std::string& source, Keyboard keyboard,
                                bool prefixOnly = false);

// Whether two keys touch on the keyboard (letters without regard to case).
bool neighbourKeys(char32_t a, char32_t b, Keyboard keyboard);

struct KeyErrors {
    std::int32_t expected = 0;
    std::int32_t wrong = 0;
    std::map<std::u32string, std::int32_t> typedInstead;  // empty: nothing typed
    bool operator==(const KeyErrors&) const = default;
};

struct Diagnosis {
    std::array<std::int32_t, EditClassCount> counts{};
    std::map<char32_t, KeyErrors> keys;

    // One compared field; lastField as for classifyField's prefixOnly.
    void addField(const std::string& keyed, const std::string& source, Keyboard keyboard, bool lastField = false);
    // A compared field that was not charged: its keys were expected and
    // none was wrong.
    void addExpected(const std::string& source);
    // Another diagnosis summed into this one.
    void add(const Diagnosis& other);
    std::int32_t count(EditClass kind) const { return counts[std::size_t(kind)]; }
    bool operator==(const Diagnosis&) const = default;
};

// The per-key memo of diagnosis (format above), and back; a line that does
// not read as the format says is skipped.
std::string keysMemo(const Diagnosis& diagnosis);
std::map<char32_t, KeyErrors> keysFromMemo(const std::string& memo);

// The diagnosis of a stored error log (the ERRORS memo of a results row,
// as scoring writes it): each logged field, its "Keyed    >" line followed
// by its "On Record>" line, classified as scoring classifies it, the field
// the run ended in (its entry marked "(Last field keyed)") only as far as it
// was keyed. The log holds the first 51 wrong fields only and no field keyed
// right, so the counts may fall short and the keys' rates run high. Lines
// that are not part of an entry are skipped.
Diagnosis diagnosisOfLog(const std::string& errors, Keyboard keyboard);

// The class counts in words, the non-zero ones in class order, e.g.
// "3 transposed pairs, 1 omitted digit"; digits for numeric tests,
// characters otherwise. "No field errors" when every count is zero.
std::string countsInWords(const Diagnosis& diagnosis, bool numeric);

}  // namespace scoring
