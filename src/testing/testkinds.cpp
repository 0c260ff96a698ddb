// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/testkinds.h"

#include <algorithm>
#include <stdexcept>

#include "testing/textrules.h"

namespace {

constexpr int NumericMaxLength = 16;

// A field of a text kind, its unfilled text and correction read off its mask.
KindField textField(std::string label, std::string column, std::string mask = {})
{
    KindField field{std::move(label), column, column, std::move(mask), 0, {}, 0};
    const std::size_t end = field.mask.find(';');
    if (end == std::string::npos) return field;
    const std::string pattern = field.mask.substr(0, end);
    const bool keepsLiterals = field.mask.compare(end + 1, 1, "1") == 0;
    const std::size_t blankAt = field.mask.find(';', end + 1);
    const char blank = blankAt + 1 < field.mask.size() ? field.mask[blankAt + 1] : ' ';
    if (!keepsLiterals) return field;
    std::string shown = pattern;
    std::replace(shown.begin(), shown.end(), '9', blank);
    field.unfilled = trimmed(shown);
    field.correction = int(std::count_if(pattern.begin(), pattern.end(), [](char c) { return c != '9'; }));
    return field;
}

std::vector<KindField> numericFields()
{
    std::vector<KindField> fields;
    for (int f = 1; f <= NumericShape.fields; ++f)
        fields.push_back({{}, "n" + std::to_string(f), "nd" + std::to_string(f), {}, NumericMaxLength, {}, 0});
    return fields;
}

const KindDescription& numericKind()
{
    static const KindDescription kind{
    TestKind::numeric,
    NumericShape,
    numericFields(),
    {"numeric", BlankRule::empty, BlankRule::empty, KeptText::asKeyed, "", false, "", false, false, false, false,
     false, true}};
    return kind;
}

const KindDescription& alphanumericKind()
{
    static const KindDescription kind{
    TestKind::alphanumeric,
    AlphanumericShape,
    {textField("Invoice #:", "INVOICE", "99999999;0; "), textField("Invoice date:", "DATE", "99/99/99;1; "),
     textField("Amount:", "AMOUNT", "9999.99;1; "), textField("First name:", "FIRST"),
     textField("Last name:", "LAST"), textField("Street:", "STREET"), textField("City:", "CITY")},
    {"alphanumeric", BlankRule::trimmedEmptyOrUnfilled, BlankRule::trimmedEmpty, KeptText::withoutUnfilledMasks, "",
     true, "  ", true, true, true, true, true, false}};
    return kind;
}

const KindDescription& alphaKind()
{
    static const KindDescription kind{
    TestKind::alpha,
    AlphaShape,
    {textField("First name:", "FIRST"), textField("Last name:", "LAST"), textField("City:", "CITY")},
    {"alpha", BlankRule::trimmedEmpty, BlankRule::trimmedEmpty, KeptText::trimmed, " ", true, "  ", true, true, true,
     true, true, false}};
    return kind;
}

}  // namespace

const KindField& KindDescription::field(int f) const
{
    if (f < 1 || f > int(fields.size()))
        throw std::out_of_range("field " + std::to_string(f) + " outside the " + rules.name + " test's fields");
    return fields[std::size_t(f - 1)];
}

bool KindDescription::matches(BlankRule rule, const std::string& text) const
{
    if (rule == BlankRule::empty) return text.empty();
    const std::string rest = trimmed(text);
    if (rest.empty()) return true;
    return rule == BlankRule::trimmedEmptyOrUnfilled &&
           std::any_of(fields.begin(), fields.end(),
                       [&](const KindField& field) { return !field.unfilled.empty() && field.unfilled == rest; });
}

bool KindDescription::isBlank(const std::string& text) const { return matches(rules.blank, text); }

bool KindDescription::isEmpty(const std::string& text) const { return matches(rules.empty, text); }

std::string KindDescription::kept(int f, const std::string& text) const
{
    switch (rules.kept) {
    case KeptText::asKeyed: return text;
    case KeptText::trimmed: return trimmed(text);
    case KeptText::withoutUnfilledMasks: break;
    }
    const std::string& unfilled = field(f).unfilled;
    return !unfilled.empty() && trimmed(text) == unfilled ? std::string() : text;
}

std::string KindDescription::scored(const std::string& cell) const
{
    return rules.scoresTrimmed ? trimmed(cell) : cell;
}

const KindDescription& kindDescription(TestKind kind)
{
    switch (kind) {
    case TestKind::numeric: return numericKind();
    case TestKind::alphanumeric: return alphanumericKind();
    case TestKind::alpha: break;
    }
    return alphaKind();
}

const KindShape& kindShape(TestKind kind) { return kindDescription(kind).shape; }

const KindRules& kindRules(TestKind kind) { return kindDescription(kind).rules; }
