// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/testimport.h"

#include <algorithm>
#include <cctype>

#include "generation/invoicedraws.h"
#include "generation/testdata.h"
#include "store/storetable.h"
#include "testing/textrules.h"

namespace generation {

namespace {

constexpr std::size_t MostDigits = 8;
constexpr std::size_t MostDecimalCharacters = 8;
constexpr int NumericValues = 2 * NumericFields;

bool allDigits(const std::string& text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool isDecimalNumber(const std::string& text, char point)
{
    const std::size_t at = text.find(point);
    return at != std::string::npos && at > 0 && text.size() - at == 3 && allDigits(text.substr(0, at)) &&
           allDigits(text.substr(at + 1));
}

// A comma is a decimal point only where it cannot be the separator.
bool isNumber(const std::string& text, char separator)
{
    return allDigits(text) || isDecimalNumber(text, '.') || (separator == ';' && isDecimalNumber(text, ','));
}

bool isHeader(const CsvRecord& record, char separator)
{
    return std::none_of(record.fields.begin(), record.fields.end(),
                        [separator](const std::string& field) { return isNumber(trimmed(field), separator); });
}

std::string quoted(const std::string& text)
{
    return "'" + text + "'";
}

bool isControl(char32_t character)
{
    return character < 0x20 || character == 0x7F || (character >= 0x80 && character <= 0x9F);
}

bool holdsControl(const std::string& text)
{
    const std::u32string characters = charactersOf(text);
    return std::any_of(characters.begin(), characters.end(), isControl);
}

// A control character would break the line the problem is listed on.
std::string shown(const std::string& text)
{
    std::string result;
    for (char byte : text) result += static_cast<unsigned char>(byte) < 0x20 || byte == 0x7F ? '?' : byte;
    return result;
}

bool equalsIgnoringCase(const std::string& left, const std::string& right)
{
    return left.size() == right.size() && std::equal(left.begin(), left.end(), right.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

std::vector<std::string> valuesOf(const CsvRecord& record)
{
    std::vector<std::string> values;
    for (const std::string& field : record.fields) values.push_back(trimmed(field));
    while (!values.empty() && values.back().empty()) values.pop_back();
    return values;
}

// The rows after a header, the first mostRows of them checked by checkRow,
// and the problems of a file with too few or too many.
template <typename CheckRow>
void checkRows(const CsvFile& file, std::size_t first, int mostRows, const std::string& what,
               std::vector<CsvProblem>& problems, CheckRow checkRow)
{
    const std::string allowed = std::to_string(LeastTestRows) + " to " + std::to_string(mostRows);
    int rows = 0;
    for (std::size_t record = first; record < file.records.size(); ++record) {
        if (rows == mostRows) {
            addProblem(problems, file.records[record].line, 1,
                       "more than " + std::to_string(mostRows) + " rows: " + what + " holds " + allowed);
            return;
        }
        ++rows;
        checkRow(file.records[record]);
    }
    if (rows < LeastTestRows) {
        const int line = file.records.empty() ? 1 : file.records.back().line + 1;
        addProblem(problems, line, 1,
                   "the file ends after " + std::to_string(rows) + " rows: " + what + " needs " + allowed);
    }
}

class NumericChecker {
public:
    NumericChecker(const CsvFile& file, NumericImport& result) : point(file.separator == ';' ? ',' : '.'), result(result)
    {
    }

    void check(const CsvRecord& record)
    {
        line = record.line;
        good = true;
        const std::vector<std::string> values = valuesOf(record);
        const int count = static_cast<int>(values.size());
        if (count < NumericFields)
            problem(count + 1, "a row needs " + std::to_string(NumericFields) + " whole numbers; this one has " +
                                   std::to_string(count));
        else if (count > NumericFields && count < NumericValues)
            problem(count + 1, "the decimal numbers stop after " + std::to_string(count - NumericFields) + " of " +
                                   std::to_string(NumericFields));
        else if (count > NumericValues)
            problem(NumericValues + 1, "a row holds at most " + std::to_string(NumericValues) + " numbers");
        NumericRow row;
        for (int field = 0; field < std::min(count, NumericFields); ++field)
            row.whole[field] = whole(values[field], field + 1);
        for (int field = 0; field < NumericFields; ++field)
            row.decimal[field] = NumericFields + field < count
                                     ? decimal(values[NumericFields + field], NumericFields + field + 1)
                                     : decimalValue(decimalTextOf(static_cast<std::uint32_t>(row.whole[field])));
        if (good) result.rows.push_back(row);
    }

private:
    void problem(int column, std::string text)
    {
        addProblem(result.problems, line, column, std::move(text));
        good = false;
    }

    std::int32_t whole(const std::string& text, int column)
    {
        if (text.empty())
            problem(column, "a whole number is missing");
        else if (!allDigits(text))
            problem(column, quoted(shown(text)) + " is not a whole number");
        else if (text.size() > MostDigits)
            problem(column, quoted(text) + " has more than " + std::to_string(MostDigits) + " digits");
        else
            return static_cast<std::int32_t>(std::stol(text));
        return 0;
    }

    double decimal(std::string text, int column)
    {
        if (text.empty())
            problem(column, "a decimal number is missing");
        else if (!isDecimalNumber(text, '.') && !isDecimalNumber(text, point))
            problem(column, quoted(shown(text)) + " is not a decimal number with two decimals");
        else if (text.size() > MostDecimalCharacters)
            problem(column, quoted(text) + " is longer than " + std::to_string(MostDecimalCharacters) + " characters");
        else {
            std::replace(text.begin(), text.end(), ',', '.');
            return decimalValue(text);
        }
        return 0;
    }

    char point;
    NumericImport& result;
    int line = 0;
    bool good = true;
};

using ColumnPlaces = std::array<int, InvoiceColumns.size()>;

// Where the header names each invoice column; -1 where it does not.
ColumnPlaces placesOf(const CsvRecord& header, std::vector<CsvProblem>& problems)
{
    ColumnPlaces places;
    places.fill(-1);
    for (std::size_t field = 0; field < header.fields.size(); ++field)
        for (std::size_t column = 0; column < InvoiceColumns.size(); ++column) {
            if (!equalsIgnoringCase(trimmed(header.fields[field]), InvoiceColumns[column])) continue;
            if (places[column] >= 0)
                addProblem(problems, header.line, static_cast<int>(field) + 1,
                           "a second " + InvoiceColumns[column] + " column");
            else
                places[column] = static_cast<int>(field);
        }
    for (std::size_t column = 0; column < InvoiceColumns.size(); ++column)
        if (places[column] < 0)
            addProblem(problems, header.line, static_cast<int>(header.fields.size()) + 1,
                       "the header names no " + InvoiceColumns[column] + " column");
    return places;
}

void checkInvoiceRow(const CsvRecord& record, const ColumnPlaces& places, const InvoiceWidths& widths,
                     InvoiceImport& result)
{
    InvoiceRow row;
    bool good = true;
    for (std::size_t column = 0; column < InvoiceColumns.size(); ++column) {
        const std::size_t place = static_cast<std::size_t>(places[column]);
        const std::string& name = InvoiceColumns[column];
        const std::string value = place < record.fields.size() ? trimmed(record.fields[place]) : std::string();
        std::string problem;
        if (place >= record.fields.size())
            problem = "the " + name + " value is missing";
        else if (value.empty())
            problem = "the " + name + " value is empty";
        else if (holdsControl(value))
            problem = quoted(shown(value)) + " holds a control character";
        else if (value.size() > static_cast<std::size_t>(widths[column]))
            problem = quoted(value) + " is longer than the " + std::to_string(widths[column]) + " characters " + name +
                      " holds";
        if (!problem.empty()) addProblem(result.problems, record.line, static_cast<int>(place) + 1, problem);
        good = good && problem.empty();
        row[column] = value;
    }
    if (good) result.rows.push_back(row);
}

}  // namespace

NumericImport checkNumericTest(const CsvFile& file)
{
    NumericImport result;
    result.problems = file.problems;
    const std::size_t first = !file.records.empty() && isHeader(file.records.front(), file.separator) ? 1 : 0;
    NumericChecker checker(file, result);
    checkRows(file, first, MostNumericRows, "a numeric test", result.problems,
              [&checker](const CsvRecord& record) { checker.check(record); });
    return result;
}

InvoiceImport checkInvoices(const CsvFile& file, const InvoiceWidths& widths, int mostRows)
{
    InvoiceImport result;
    result.problems = file.problems;
    if (file.records.empty()) {
        addProblem(result.problems, 1, 1, "the file is empty; it needs a header naming FIRST, LAST, STREET and CITY");
        return result;
    }
    const ColumnPlaces places = placesOf(file.records.front(), result.problems);
    const bool named = std::none_of(places.begin(), places.end(), [](int place) { return place < 0; });
    checkRows(file, 1, mostRows, "an invoice import", result.problems, [&](const CsvRecord& record) {
        if (named) checkInvoiceRow(record, places, widths, result);
    });
    return result;
}

// A value is cut to its column's declared size as it is written, so a
// probe longer than any declared size reads back as wide as the column.
InvoiceWidths invoiceWidths(store::StoreTable& table)
{
    const std::string probe(256, 'x');
    InvoiceWidths widths{};
    table.BeginInsert();
    try {
        for (std::size_t column = 0; column < InvoiceColumns.size(); ++column) {
            table.WriteValue(InvoiceColumns[column], probe);
            widths[column] = static_cast<int>(table.ReadText(InvoiceColumns[column]).size());
        }
    } catch (...) {
        table.CancelRow();
        throw;
    }
    table.CancelRow();
    return widths;
}

void writeNumericTest(store::StoreTable& table, const std::vector<NumericRow>& rows, const ImportProgress& progress)
{
    table.RemoveAllRows();
    int written = 0;
    for (const NumericRow& row : rows) {
        table.BeginInsert();
        for (int field = 0; field < NumericFields; ++field)
            table.WriteValue("n" + std::to_string(field + 1), row.whole[field]);
        for (int field = 0; field < NumericFields; ++field)
            table.WriteValue("nd" + std::to_string(field + 1), row.decimal[field]);
        progress(++written);
    }
    if (table.EditState() != store::EditStates::Browse) table.PostRow();
}

void writeInvoices(store::StoreTable& table, const std::vector<InvoiceRow>& rows, const ImportProgress& progress)
{
    seedrandom();
    table.RemoveAllRows();
    std::int32_t written = 0;
    for (const InvoiceRow& row : rows) {
        table.BeginInsert();
        table.WriteValue("recordid", written + 1);
        for (std::size_t column = 0; column < InvoiceColumns.size(); ++column)
            table.WriteValue(InvoiceColumns[column], row[column]);
        writeInvoiceDraws(table);
        progress(++written);
    }
    if (table.EditState() != store::EditStates::Browse) table.PostRow();
}

}  // namespace generation
