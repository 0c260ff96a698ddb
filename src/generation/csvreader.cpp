// SPDX-License-Identifier: GPL-3.0-or-later
#include "generation/csvreader.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "testing/textrules.h"

namespace generation {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
constexpr char32_t FirstStrayByte = 0x110000;  // how the text rules read a byte that is not UTF-8

void refuseUnlessText(std::string_view bytes)
{
    bool text = bytes.find('\0') == std::string_view::npos;
    if (text)
        for (char32_t character : charactersOf(std::string(bytes)))
            if (character >= FirstStrayByte) {
                text = false;
                break;
            }
    if (!text) throw ImportRefused("The file is not text. Save it as CSV (UTF-8) and import it again.");
}

// Semicolons win only where they outnumber commas in the first record, so
// a comma file whose values hold semicolons stays a comma file.
char separatorOf(std::string_view text)
{
    int commas = 0, semicolons = 0;
    bool quoted = false;
    for (char character : text) {
        if (character == '"') quoted = !quoted;
        if (quoted) continue;
        if (character == '\n') break;
        commas += character == ',';
        semicolons += character == ';';
    }
    return semicolons > commas ? ';' : ',';
}

class Parser {
public:
    Parser(std::string_view text, CsvFile& file) : text(text), file(file) {}

    void run()
    {
        while (at < text.size()) {
            if (atLineEnd())
                skipLineEnd();
            else
                readRecord();
        }
    }

private:
    bool atEnd() const { return at >= text.size(); }
    bool atLineEnd() const
    {
        return text[at] == '\n' || (text[at] == '\r' && at + 1 < text.size() && text[at + 1] == '\n');
    }
    bool atFieldEnd() const { return atEnd() || text[at] == file.separator || atLineEnd(); }
    void skipLineEnd()
    {
        at += text[at] == '\r' ? 2 : 1;
        ++line;
    }

    void readRecord()
    {
        CsvRecord record{line, {}};
        for (;;) {
            record.fields.push_back(readField(static_cast<int>(record.fields.size()) + 1));
            if (atEnd()) break;
            if (text[at] == file.separator) {
                ++at;
                continue;
            }
            skipLineEnd();
            break;
        }
        file.records.push_back(std::move(record));
    }

    std::string readField(int column)
    {
        if (!atEnd() && text[at] == '"') return readQuoted(column);
        std::string value;
        bool told = false;
        while (!atFieldEnd()) {
            if (text[at] == '"' && !told) {
                addProblem(file.problems, line, column, "a double quote in a field that does not start with one");
                told = true;
            }
            value += text[at++];
        }
        return value;
    }

    // A quote followed by anything but the field's end stays in the value
    // and the field goes on to the next closing quote, which resynchronises
    // on the usual slip of one undoubled quote.
    std::string readQuoted(int column)
    {
        const int startLine = line;
        std::string value;
        ++at;
        for (;;) {
            if (atEnd()) {
                addProblem(file.problems, startLine, column, "the quoted field is not closed");
                return value;
            }
            const char character = text[at++];
            if (character == '"') {
                if (!atEnd() && text[at] == '"') {
                    ++at;
                } else if (atFieldEnd()) {
                    return value;
                } else {
                    addProblem(file.problems, line, column, "a double quote inside a quoted field must be written twice");
                }
            }
            if (character == '\n') ++line;
            value += character;
        }
    }

    std::string_view text;
    CsvFile& file;
    std::size_t at = 0;
    int line = 1;
};

}  // namespace

std::string CsvProblem::message() const
{
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + text;
}

void addProblem(std::vector<CsvProblem>& problems, int line, int column, std::string text)
{
    if (problems.size() < MostListedProblems)
        problems.push_back({line, column, std::move(text)});
    else if (problems.size() == MostListedProblems)
        problems.push_back({line, column, "more problems follow; only the first " +
                                              std::to_string(MostListedProblems) + " are listed"});
}

// The size is checked before and after reading, so a file that grows in
// between is refused too rather than read without bound.
std::string readCsvBytes(const std::string& path)
{
    const std::string tooLarge = "The file is larger than 10 MB.";
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error) throw ImportRefused("The file cannot be read: " + error.message() + ".");
    if (size > MaxCsvBytes) throw ImportRefused(tooLarge);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ImportRefused("The file cannot be read.");
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(size));
    std::istreambuf_iterator<char> from(in), end;
    for (; from != end && bytes.size() <= MaxCsvBytes; ++from) bytes += *from;
    if (in.bad()) throw ImportRefused("The file cannot be read.");
    if (bytes.size() > MaxCsvBytes) throw ImportRefused(tooLarge);
    return bytes;
}

CsvFile parseCsv(std::string_view bytes)
{
    if (bytes.substr(0, ByteOrderMark.size()) == ByteOrderMark) bytes.remove_prefix(ByteOrderMark.size());
    refuseUnlessText(bytes);
    CsvFile file;
    file.separator = separatorOf(bytes);
    Parser(bytes, file).run();
    return file;
}

}  // namespace generation
