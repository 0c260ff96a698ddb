// SPDX-License-Identifier: GPL-3.0-or-later
#include "scoring/criteria.h"

#include <charconv>
#include <filesystem>

#include "store/storetable.h"
#include "testing/textrules.h"

namespace scoring {

namespace {

constexpr TestKind Kinds[] = {TestKind::numeric, TestKind::alphanumeric, TestKind::alpha};

// A stored figure in the store's text form; an unreadable one judges as 0.
double figureOf(const std::string& text)
{
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// Closes the handle however the work ends, so a failure leaves no hold.
template <typename Work>
void withTable(store::StoreTable& handle, const std::string& path, bool exclusive, Work work)
{
    handle.setActive(false);
    handle.setTableName(path);
    handle.setExclusive(exclusive);
    try {
        handle.setActive(true);
        work();
    } catch (...) {
        handle.setActive(false);
        throw;
    }
    handle.setActive(false);
}

}  // namespace

PassCriteria CriteriaSet::ofTestType(const std::string& testType) const
{
    for (TestKind kind : Kinds)
        if (kindRules(kind).name == testType) return of(kind);
    return {};
}

bool CriteriaSet::any() const
{
    for (const PassCriteria& criteria : kinds)
        if (criteria.any()) return true;
    return false;
}

CriteriaSet readCriteria(store::StoreTable& handle, const std::string& path)
{
    CriteriaSet criteria;
    if (!std::filesystem::exists(path)) return criteria;
    withTable(handle, path, false, [&] {
        for (handle.GoFirst(); handle.HasRow() && !handle.AtEnd(); handle.GoNext()) {
            for (TestKind kind : Kinds)
                if (kindRules(kind).name == trimmed(handle.ReadText("TESTTYPE")))
                    criteria.of(kind) = {handle.ReadFloat("MINNKPH"), handle.ReadFloat("MINACCURACY")};
        }
    });
    return criteria;
}

void writeCriteria(store::StoreTable& handle, const std::string& path, const CriteriaSet& criteria)
{
    // An exclusive hold writes every change back at the close, as one unit.
    withTable(handle, path, true, [&] {
        handle.RemoveAllRows();
        for (TestKind kind : Kinds) {
            handle.BeginInsert();
            handle.WriteValue("TESTTYPE", kindRules(kind).name);
            handle.WriteValue("MINNKPH", criteria.of(kind).minimumNetKph);
            handle.WriteValue("MINACCURACY", criteria.of(kind).minimumAccuracy);
            handle.PostRow();
        }
    });
}

const std::string PassVerdict = "Pass";

std::optional<std::string> verdict(const PassCriteria& criteria, double netKph, double accuracy)
{
    if (!criteria.any()) return std::nullopt;
    std::string reasons;
    if (criteria.minimumNetKph > 0 && netKph < criteria.minimumNetKph)
        reasons = "net KPH below " + formatThousands(criteria.minimumNetKph);
    if (criteria.minimumAccuracy > 0 && accuracy < criteria.minimumAccuracy)
        reasons += (reasons.empty() ? "" : ", ") + std::string("accuracy below ") +
                   formatTwoDecimals(criteria.minimumAccuracy);
    return reasons.empty() ? PassVerdict : "Fail (" + reasons + ")";
}

std::optional<std::string> verdictOfTexts(const CriteriaSet& criteria, const std::string& testType,
                                          const std::string& netKph, const std::string& accuracy)
{
    return verdict(criteria.ofTestType(trimmed(testType)), figureOf(netKph), figureOf(accuracy));
}

bool failsOfTexts(const CriteriaSet& criteria, const std::vector<std::string>& texts)
{
    const std::optional<std::string> judged = verdictOfTexts(criteria, texts.at(0), texts.at(1), texts.at(2));
    return judged && *judged != PassVerdict;
}

std::string criteriaText(const CriteriaSet& criteria)
{
    std::string text;
    for (TestKind kind : Kinds) {
        const PassCriteria& of = criteria.of(kind);
        if (!of.any()) continue;
        text += (text.empty() ? "Pass criteria: " : "; ") + kindRules(kind).name;
        if (of.minimumNetKph > 0) text += " net KPH " + formatThousands(of.minimumNetKph);
        if (of.minimumAccuracy > 0)
            text += std::string(of.minimumNetKph > 0 ? "," : "") + " accuracy " + formatTwoDecimals(of.minimumAccuracy);
    }
    return text;
}

}  // namespace scoring
