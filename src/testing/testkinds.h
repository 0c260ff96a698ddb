// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The three test kinds, each described once: its fields, the shape of its
// keyed values and its record rules. The run core, the test windows and
// scoring all read these descriptions, so that what a mask puts into a
// field's text (its unfilled text, the characters a testee never typed) is
// worked out from the mask itself and cannot drift apart from the scoring.
//
// A mask has three parts separated by ";": the pattern, "1" when the literal
// characters belong to the field's text or "0" when they do not, and the
// character shown in an unfilled position. In the pattern "9" is a position
// for one digit; every other character is a literal. So "99/99/99;1; " holds
// "  /  /  " when nothing is keyed, whose trimmed text "/  /" is the field's
// unfilled text, and its two kept literals are two characters of every
// keyed date that are no keystrokes.

#include <string>
#include <vector>

enum class TestKind { numeric, alphanumeric, alpha };

// The shape of a kind: entry fields F of its window, rows R of its keyed
// values and cells W per row (the alpha kind keeps rows of 7 cells and uses
// cells 1 .. 3).
struct KindShape {
    int fields;
    int records;
    int cells;
};

inline constexpr KindShape NumericShape{25, 200, 25};
inline constexpr KindShape AlphanumericShape{7, 1900, 7};
inline constexpr KindShape AlphaShape{3, 1900, 7};

struct KindField {
    std::string label;          // beside the field; the numeric fields have none
    std::string column;         // the column of the test table it is keyed from
    std::string decimalColumn;  // the numeric source with decimals on; otherwise column
    std::string mask;           // empty: no mask
    int maxLength;              // 0: the entry field's own limit (a mask's is its pattern)
    std::string unfilled;       // trimmed text of the mask with nothing keyed; empty without literals
    int correction;             // characters of a keyed text the mask put there

    const std::string& sourceColumn(bool usedecimal) const { return usedecimal ? decimalColumn : column; }
};

// When a field's text counts as blank (Enter does nothing) or empty (the
// next record is refused).
enum class BlankRule { empty, trimmedEmpty, trimmedEmptyOrUnfilled };
// What is kept of a field's text in the keyed values.
enum class KeptText { asKeyed, trimmed, withoutUnfilledMasks };

// How a kind treats field texts, in the run and in scoring.
struct KindRules {
    std::string name;  // in the caption: "numeric", "alphanumeric", "alpha"
    BlankRule blank;
    BlankRule empty;
    KeptText kept;
    std::string cleared;  // a field's text after clearedits
    // The first empty field found by the next record gets this text, unless
    // markEmpty is false.
    bool markEmpty;
    std::string emptyMark;
    bool navigating;        // record changes suppress auto-advance
    bool advancesOnChange;  // auto-advance on a text change, not the window's own trigger
    bool trimmedAdvance;    // auto-advance measures the trimmed text
    // Scoring: keyed texts are compared trimmed; sources may be compared
    // upper-cased; keys beyond the source count as errors.
    bool scoresTrimmed;
    bool comparesUpperCase;
    bool countsExtraKeys;
};

struct KindDescription {
    TestKind kind;
    KindShape shape;
    std::vector<KindField> fields;
    KindRules rules;

    // Field f, from 1.
    const KindField& field(int f) const;
    bool isBlank(const std::string& text) const;
    bool isEmpty(const std::string& text) const;
    // What updatekeyed keeps of field f's text.
    std::string kept(int f, const std::string& text) const;
    // A cell of the keyed values as scoring compares it.
    std::string scored(const std::string& cell) const;

private:
    bool matches(BlankRule rule, const std::string& text) const;
};

const KindDescription& kindDescription(TestKind kind);
const KindShape& kindShape(TestKind kind);
const KindRules& kindRules(TestKind kind);
