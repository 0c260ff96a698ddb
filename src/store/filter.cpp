// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/filter.h"

#include "store/storeerror.h"
#include "store/values.h"

#include <cctype>
#include <cstring>

namespace store {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
bool isNameCharacter(char c) { return isLetter(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '_'; }

class FilterReader {
public:
    explicit FilterReader(const std::string& text) : text_(text) {}

    FilterCondition read()
    {
        FilterCondition condition;
        skipBlanks();
        condition.column = readName();
        skipBlanks();
        expect('=');
        skipBlanks();
        condition.constant = readConstant();
        skipBlanks();
        if (position_ != text_.size()) fail();
        return condition;
    }

private:
    void skipBlanks()
    {
        while (position_ < text_.size() && isBlank(text_[position_])) ++position_;
    }

    std::string readName()
    {
        if (position_ >= text_.size() || !isLetter(text_[position_])) fail();
        std::size_t start = position_;
        while (position_ < text_.size() && isNameCharacter(text_[position_])) ++position_;
        return text_.substr(start, position_ - start);
    }

    void expect(char wanted)
    {
        if (position_ >= text_.size() || text_[position_] != wanted) fail();
        ++position_;
    }

    std::string readConstant()
    {
        expect('\'');
        std::string constant;
        for (;;) {
            if (position_ >= text_.size()) fail();
            char c = text_[position_++];
            if (c != '\'') {
                constant += c;
            } else if (position_ < text_.size() && text_[position_] == '\'') {
                constant += '\'';
                ++position_;
            } else {
                return constant;
            }
        }
    }

    [[noreturn]] void fail() const
    {
        throw StoreError("Invalid filter " + quoted() + ": expected a column name, \"=\" and a quoted text");
    }

    std::string quoted() const { return "\"" + text_ + "\""; }

    const std::string& text_;
    std::size_t position_ = 0;
};

}  // namespace

std::optional<FilterCondition> parseFilter(const std::string& text)
{
    if (text.find_first_not_of(" \t") == std::string::npos) return std::nullopt;
    return FilterReader(text).read();
}

bool passesFilter(const FilterCondition& condition, const std::string& value,
                  const std::function<int(const std::string&, const std::string&)>& compare)
{
    if (compare) return compare(value, condition.constant) == 0;
    return value == condition.constant;
}

bool passesFilterAt(const FilterCondition& condition, const Column& column, const std::uint8_t* place)
{
    if (column.type != FieldType::String) return passesFilter(condition, textOf(column, decodeValue(column, place)));
    if (place[0] == 0) return condition.constant.empty();
    const char* characters = reinterpret_cast<const char*>(place + 1);
    std::size_t length = strnlen(characters, column.physicalSize);
    return length == condition.constant.size() && std::memcmp(characters, condition.constant.data(), length) == 0;
}

}  // namespace store
