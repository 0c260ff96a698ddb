// SPDX-License-Identifier: GPL-3.0-or-later
// A journal beside a table that does not check out, or is no file at all:
// the table tool never hangs on it, never applies part of it, never removes
// it while reading, and repair sets it aside and leaves a table verify
// accepts.

#include "store/tableinternals.h"
#include "store/storetable.h"
#include "support/tables.h"
#include "support/tempdir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>
#include <sys/wait.h>

using testing_support::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

const char* const scoreSchema = R"({
  "description": "scores", "memo_block_size": 512,
  "columns": [{"name": "ID", "type": "integer"}, {"name": "NAME", "type": "string", "size": 40},
              {"name": "ERRORS", "type": "memo"}],
  "primary": ["ID"], "indexes": []})";

class DamagedJournal : public ::testing::Test {
public:
    void SetUp() override
    {
        testing_support::writeFile(schema, std::vector<std::uint8_t>(scoreSchema, scoreSchema + std::strlen(scoreSchema)));
        ASSERT_EQ(run("create " + schema + " " + table).status, 0);
        std::string input;
        for (int row = 1; row <= 20; ++row)
            input += "{\"ID\": " + std::to_string(row) + ", \"NAME\": \"name " + std::to_string(row) +
                     "\", \"ERRORS\": \"" + std::string(static_cast<std::size_t>(row * 40), 'e') + "\"}\n";
        ASSERT_EQ(run("insert " + table, input).status, 0);
        // The journal of a post, as a copy that died before removing it
        // would leave it: rolled back, it takes the post away again.
        store::StoreTable handle("scores");
        handle.setTableName(table);
        handle.setActive(true);
        handle.GoFirst();
        handle.BeginEdit();
        handle.WriteValue("ERRORS", std::string(900, 'c'));
        handle.PostRow();
        sound = testing_support::readFile(dir.file("scores.JNS"));
        handle.setActive(false);
        ASSERT_GT(sound.size(), 200u);
    }

    Outcome run(const std::string& arguments, const std::string& input = "")
    {
        std::string in = dir.file("stdin"), out = dir.file("stdout");
        testing_support::writeFile(in, std::vector<std::uint8_t>(input.begin(), input.end()));
        std::string command =
            "timeout 60 " + std::string(TABLETOOL) + " " + arguments + " < " + in + " > " + out + " 2>&1";
        int status = std::system(command.c_str());
        std::vector<std::uint8_t> bytes = testing_support::readFile(out);
        return Outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(bytes.begin(), bytes.end())};
    }

    // The first length bytes of the sound journal as the journal, with the
    // byte at flip changed by the bits of mask.
    void write(std::size_t length, std::size_t flip, std::uint8_t mask) const
    {
        std::vector<std::uint8_t> bytes(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(length));
        bytes[flip] ^= mask;
        testing_support::writeFile(journal, bytes);
    }

    // The sound journal with its header's record bytes set, the header's
    // checksum made right again.
    std::vector<std::uint8_t> claiming(std::int64_t recordBytes) const
    {
        std::vector<std::uint8_t> bytes = sound;
        for (int i = 0; i < 8; ++i)
            bytes[store::journalheader::RecordBytes + i] = static_cast<std::uint8_t>(recordBytes >> (8 * i));
        std::uint32_t sum = store::journalChecksum(bytes.data(), store::journalheader::Checksum);
        for (int i = 0; i < 4; ++i) bytes[store::journalheader::Checksum + i] = static_cast<std::uint8_t>(sum >> (8 * i));
        return bytes;
    }

    TempDir dir;
    std::string schema = dir.file("schema.json");
    std::string table = dir.file("scores.dat");
    std::string journal = dir.file("scores.JNL");
    std::vector<std::uint8_t> sound;
};

// A file's length and first bytes, enough to see that a sparse giant is
// still as it was.
std::string glance(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string head(65536, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return std::to_string(std::filesystem::file_size(path)) + ":" + head;
}

struct Damage {
    const char* name;
    std::function<void(DamagedJournal&)> make;
    bool regularFile;
};

TEST_F(DamagedJournal, IsReportedKeptAndSetAsideByRepair)
{
    const std::string damaged = "the journal of " + table + " is damaged; the table may be half written: run tabletool repair";
    const std::string unreadable = "The journal " + journal + " is not a readable file";
    const std::vector<std::uint8_t> dataBefore = testing_support::readFile(table);
    const std::vector<std::pair<Damage, std::string>> cases = {
        {{"cut short", [](DamagedJournal& t) { t.write(t.sound.size() - 1, 0, 0); }, true},
         damaged},
        {{"a byte of its last record flipped",
          [](DamagedJournal& t) { t.write(t.sound.size(), t.sound.size() - 1, 0x40); }, true},
         damaged},
        {{"its header's count flipped",
          [](DamagedJournal& t) { t.write(t.sound.size(), store::journalheader::RecordCount, 1); },
          true},
         damaged},
        {{"sparse, 6 GB claimed by its header",
          [](DamagedJournal& t) {
              const std::int64_t length = std::int64_t{6} << 30;
              testing_support::writeFile(t.journal, t.claiming(length - store::JournalHeaderSize));
              std::filesystem::resize_file(t.journal, static_cast<std::uintmax_t>(length));
          },
          true},
         damaged},
        {{"a pipe", [](DamagedJournal& t) { ASSERT_EQ(::mkfifo(t.journal.c_str(), 0666), 0); }, false}, unreadable},
        {{"a folder", [](DamagedJournal& t) { std::filesystem::create_directory(t.journal); }, false}, unreadable},
        {{"a link to nothing", [](DamagedJournal& t) { std::filesystem::create_symlink(t.dir.file("gone"), t.journal); },
          false},
         unreadable},
    };
    for (const auto& [damage, message] : cases) {
        SCOPED_TRACE(damage.name);
        damage.make(*this);
        const std::string journalBefore = damage.regularFile ? glance(journal) : "";
        for (const char* command : {"verify ", "dump ", "dump --index Primary ", "info "}) {
            Outcome refused = run(command + table);
            EXPECT_EQ(refused.status, 1) << command;
            EXPECT_NE(refused.out.find(message), std::string::npos) << command << refused.out;
        }
        EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(journal)));
        if (damage.regularFile) {
            EXPECT_EQ(glance(journal), journalBefore);
        }
        EXPECT_EQ(testing_support::readFile(table), dataBefore);

        Outcome repaired = run("repair " + table);
        EXPECT_EQ(repaired.status, 0) << repaired.out;
        EXPECT_NE(repaired.out.find("Found: " + message), std::string::npos) << repaired.out;
        EXPECT_NE(repaired.out.find("Found: The journal was discarded, kept as " + journal + ".bak"), std::string::npos)
            << repaired.out;
        EXPECT_EQ(run("verify " + table).out, "OK\n");
        std::filesystem::remove_all(journal + ".bak");
    }
}

// A sound journal is rolled back by the repair like by any open, which then
// finds nothing more to do.
TEST_F(DamagedJournal, ASoundOneIsRolledBackByRepair)
{
    testing_support::writeFile(journal, sound);
    Outcome repaired = run("repair " + table);
    EXPECT_EQ(repaired.status, 0) << repaired.out;
    EXPECT_FALSE(std::filesystem::exists(journal));
    EXPECT_EQ(run("verify " + table).out, "OK\n");
    EXPECT_EQ(run("dump " + table).out.find(std::string(900, 'c')), std::string::npos);  // the post taken back
}

// A copy that may not write the table cannot roll a journal back, and says
// so rather than showing a half-written table.
TEST_F(DamagedJournal, AHotJournalBesideATableThatCannotBeWrittenIsNamed)
{
    testing_support::writeFile(journal, sound);
    std::filesystem::permissions(table, std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                            std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    for (const char* command : {"verify ", "dump "}) {
        Outcome refused = run(command + table);
        EXPECT_EQ(refused.status, 1);
        EXPECT_NE(refused.out.find("Data file " + table + " was left half written, and this copy cannot write it"),
                  std::string::npos)
            << refused.out;
    }
    EXPECT_EQ(testing_support::readFile(journal), sound);
}

}  // namespace
