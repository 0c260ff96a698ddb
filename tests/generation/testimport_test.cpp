// SPDX-License-Identifier: GPL-3.0-or-later
// Reading and checking the CSV files of an employer's own tests: every kind
// of problem named at its line and column, the forms spreadsheets write
// accepted, and files that are no CSV at all refused.

#include "generation/testimport.h"

#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

using namespace generation;

namespace {

// n rows of 25 whole numbers: row r holds 10000000 + 100 r + field.
std::vector<std::string> numericLines(int rows)
{
    std::vector<std::string> lines;
    for (int row = 1; row <= rows; ++row) {
        std::string line;
        for (int field = 1; field <= NumericFields; ++field)
            line += (field > 1 ? "," : "") + std::to_string(10000000 + 100 * row + field);
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> invoiceLines(int rows)
{
    std::vector<std::string> lines{"City,extra,LAST,first,Street"};
    for (int row = 1; row <= rows; ++row) {
        const std::string number = std::to_string(row);
        lines.push_back("Town" + number + ",x,Last" + number + ",First" + number + "," + number + " Main St");
    }
    return lines;
}

std::string joined(const std::vector<std::string>& lines, const std::string& end = "\n")
{
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

std::vector<std::string> changed(std::vector<std::string> lines,
                                 const std::function<void(std::vector<std::string>&)>& change)
{
    change(lines);
    return lines;
}

const InvoiceWidths Widths{20, 25, 40, 30};

struct Case {
    const char* name;
    bool invoices;
    std::string text;
    std::string problem;  // the first problem's message, empty for a good file
    std::size_t rows;
};

// The first problem's message, empty without one, and the rows that passed.
std::pair<std::string, std::size_t> checked(const Case& file)
{
    const CsvFile parsed = parseCsv(file.text);
    auto first = [](const auto& result) {
        return std::make_pair(result.problems.empty() ? "" : result.problems.front().message(), result.rows.size());
    };
    return file.invoices ? first(checkInvoices(parsed, Widths)) : first(checkNumericTest(parsed));
}

}  // namespace

TEST(TestImport, EveryProblemIsNamedAtItsLineAndColumnAndGoodFilesPass)
{
    const std::vector<Case> cases{
        {"letters", false, joined(changed(numericLines(60), [](auto& l) { l[16].replace(27, 8, "l2345"); })),
         "line 17, column 4: 'l2345' is not a whole number", 59},
        {"nine digits", false, joined(changed(numericLines(60), [](auto& l) { l[2].insert(0, "1"); })),
         "line 3, column 1: '110000301' has more than 8 digits", 59},
        {"49 lines", false, joined(numericLines(49)),
         "line 50, column 1: the file ends after 49 rows: a numeric test needs 51 to 200", 49},
        {"201 lines", false, joined(numericLines(201)),
         "line 201, column 1: more than 200 rows: a numeric test holds 51 to 200", 200},
        {"a missing number", false, joined(changed(numericLines(60), [](auto& l) { l[4].resize(l[4].rfind(',')); })),
         "line 5, column 25: a row needs 25 whole numbers; this one has 24", 59},
        {"a missing column", true, joined(changed(invoiceLines(60), [](auto& l) { l[0] = "FIRST,LAST,STREET"; })),
         "line 1, column 4: the header names no CITY column", 0},
        {"an over-wide name", true,
         joined(changed(invoiceLines(60), [](auto& l) { l[3] = "Town,x,Last,ABCDEFGHIJKLMNOPQRSTU,1 Elm St"; })),
         "line 4, column 4: 'ABCDEFGHIJKLMNOPQRSTU' is longer than the 20 characters FIRST holds", 59},
        {"a stray quote", true, joined(changed(invoiceLines(60), [](auto& l) { l[5] = "Town,x,O\"Neil,Ann,1 Elm St"; })),
         "line 6, column 3: a double quote in a field that does not start with one", 60},
        {"an unclosed quote", true, joined(invoiceLines(60)) + "Town,x,Lee,\"Ann,1 Elm St\n",
         "line 62, column 4: the quoted field is not closed", 60},
        {"a control character", true,
         joined(changed(invoiceLines(60), [](auto& l) { l[7] = "Town,x,Lee,\"A\nn\",1 Elm St"; })),
         "line 8, column 4: 'A?n' holds a control character", 59},
        {"an empty value", true, joined(changed(invoiceLines(60), [](auto& l) { l[9] = "Town,x, ,Ann,1 Elm St"; })),
         "line 10, column 3: the LAST value is empty", 59},
        {"a BOM and CR LF", false, "\xEF\xBB\xBF" + joined(numericLines(51), "\r\n"), "", 51},
        {"semicolons and decimal commas", false,
         joined(changed(numericLines(51), [](auto& l) {
             for (std::string& line : l) {
                 for (char& c : line) c = c == ',' ? ';' : c;
                 for (int field = 0; field < NumericFields; ++field) line += ";12,30";
             }
         })),
         "", 51},
        {"a header, quoted commas and doubled quotes", true,
         joined(changed(invoiceLines(1900), [](auto& l) { l[1] = "\"Port, \"\"North\"\"\",x,Lee,Ann,1 Elm St"; })), "",
         1900},
        {"a header line and 200 rows", false, joined(changed(numericLines(200), [](auto& l) {
             l.insert(l.begin(), "n1,n2,n3");
         })), "", 200},
    };
    for (const Case& file : cases) EXPECT_EQ(checked(file), std::make_pair(file.problem, file.rows)) << file.name;
}

TEST(TestImport, ValuesAreStoredAsTheTestReadsThem)
{
    std::vector<std::string> lines = numericLines(51);
    for (std::string& line : lines) std::replace(line.begin(), line.end(), ',', ';');
    lines[0] = "1;22;333;4444;55555;123456;1234567;12345678";
    for (int field = 9; field <= NumericFields; ++field) lines[0] += ";9";
    lines[0] += ";1.00;00,05";
    for (int field = 3; field <= NumericFields; ++field) lines[0] += ";99999,99";
    NumericImport numeric = checkNumericTest(parseCsv(joined(lines)));
    ASSERT_TRUE(numeric.problems.empty()) << numeric.problems.front().message();
    EXPECT_EQ(numeric.rows[0].whole[7], 12345678);
    EXPECT_DOUBLE_EQ(numeric.rows[0].decimal[0], 1.0);
    EXPECT_DOUBLE_EQ(numeric.rows[0].decimal[1], 0.05);
    EXPECT_DOUBLE_EQ(numeric.rows[0].decimal[2], 99999.99);
    // Made by the generation's rule from the whole number 10000201.
    EXPECT_DOUBLE_EQ(numeric.rows[1].decimal[0], 10000.2);

    InvoiceImport invoices = checkInvoices(parseCsv(joined(invoiceLines(51))), Widths);
    EXPECT_EQ(invoices.rows[50], (InvoiceRow{"First51", "Last51", "51 Main St", "Town51"}));
}

TEST(TestImport, FilesThatAreNoTextOrTooLargeAreRefused)
{
    for (const std::string& bytes : {std::string("n1,n2\n1,2\0,3\n", 13), std::string("FIRST\nJos\xE9\n")})
        EXPECT_THROW(parseCsv(bytes), ImportRefused);
    testing_support::TempDir folder;
    const std::string path = folder.file("large.csv");
    std::ofstream(path) << std::string(MaxCsvBytes, '1');
    EXPECT_EQ(readCsvBytes(path).size(), MaxCsvBytes);
    std::ofstream(path, std::ios::app) << "1";
    EXPECT_THROW(readCsvBytes(path), ImportRefused);
    EXPECT_THROW(readCsvBytes(folder.file("missing.csv")), ImportRefused);
}
