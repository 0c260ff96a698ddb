// SPDX-License-Identifier: GPL-3.0-or-later
#include "sync/localresults.h"

#include <cstdio>
#include <vector>

#include "store/storetable.h"
#include "store/values.h"
#include "sync/resultkey.h"

namespace resultsync {

namespace {

// The length of the UTF-8 sequence at text[at], 0 when none starts there.
std::size_t sequenceLength(const std::string& text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80 ? 1 : lead >= 0xc2 && lead < 0xe0 ? 2 : lead >= 0xe0 && lead < 0xf0 ? 3
                                     : lead >= 0xf0 && lead < 0xf5    ? 4
                                                                      : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t next = 1; next < length; ++next)
        if ((static_cast<unsigned char>(text[at + next]) & 0xc0) != 0x80) return 0;
    const auto second = static_cast<unsigned char>(text[at + 1 < text.size() ? at + 1 : at]);
    if ((lead == 0xe0 && second < 0xa0) || (lead == 0xed && second >= 0xa0) || (lead == 0xf0 && second < 0x90) ||
        (lead == 0xf4 && second >= 0x90))
        return 0;
    return length;
}

std::string exactDouble(double value)
{
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

}  // namespace

std::string validUtf8(const std::string& text)
{
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (std::size_t length = sequenceLength(text, at)) {
            valid.append(text, at, length);
            at += length;
            continue;
        }
        const auto latin = static_cast<unsigned char>(text[at++]);
        valid += static_cast<char>(0xc0 | (latin >> 6));
        valid += static_cast<char>(0x80 | (latin & 0x3f));
    }
    return valid;
}

LocalResults::LocalResults(const std::string& folder, const std::string& site)
    : site_(site), savedFormats_(std::make_unique<store::Formats>(store::formats()))
{
    store::Formats& formats = store::formats();
    formats.shortDateFormat = "yyyy/mm/dd";
    formats.dateSeparator = '-';
    formats.longTimeFormat = "hh:nn:ss.zzz";
    formats.timeSeparator = ':';
    table_ = std::make_unique<store::StoreTable>("resultsdb");
    std::string path = folder;
    if (!path.empty() && path.back() != '/') path += '/';
    table_->setTableName(path + "results.dat");
    table_->setActive(true);
    table_->GoFirst();
    atRow_ = table_->HasRow();
}

LocalResults::~LocalResults()
{
    table_.reset();
    store::formats() = *savedFormats_;
}

int LocalResults::count() { return table_->RowCount(); }

bool LocalResults::atRow() const { return atRow_; }

void LocalResults::next()
{
    table_->GoNext();
    atRow_ = !table_->AtEnd();
}

std::optional<std::string> LocalResults::read(const ResultColumn& column)
{
    switch (column.type) {
    case ServerType::Double: return exactDouble(table_->ReadFloat(column.results));
    case ServerType::Integer: return std::to_string(table_->ReadInteger(column.results));
    default: break;
    }
    std::string text = table_->ReadText(column.results);
    if (text.empty()) return std::nullopt;
    return validUtf8(text);
}

LocalResult LocalResults::keyed()
{
    LocalResult row;
    std::vector<std::string> parts{site_};
    for (std::size_t number = 0; number < ResultColumns.size(); ++number) {
        if (!ResultColumns[number].inKey) continue;
        row.values[number] = read(ResultColumns[number]);
        // No value and an empty text are one in the key, as they are on the server's side.
        parts.push_back(row.values[number].value_or(""));
    }
    row.key = resultKey(parts);
    return row;
}

void LocalResults::complete(LocalResult& row)
{
    for (std::size_t number = 0; number < ResultColumns.size(); ++number)
        if (!ResultColumns[number].inKey) row.values[number] = read(ResultColumns[number]);
}

}  // namespace resultsync
