// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds every file of a corpus folder to one fuzz target's entry function,
// as the libFuzzer program would: the corpus replayed as a plain test.
//
//   fuzz_replay table|journal|filter FOLDER

#include "fuzztargets.h"
#include "support/tables.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    const std::map<std::string, int (*)(const std::uint8_t*, std::size_t)> targets = {
        {"table", fuzzing::fuzzTable}, {"journal", fuzzing::fuzzJournal}, {"filter", fuzzing::fuzzFilter}};
    if (argc != 3 || !targets.count(argv[1])) {
        std::cerr << "usage: fuzz_replay table|journal|filter FOLDER\n";
        return 2;
    }
    std::vector<std::filesystem::path> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(argv[2]))
        if (entry.is_regular_file()) inputs.push_back(entry.path());
    std::sort(inputs.begin(), inputs.end());
    for (const std::filesystem::path& input : inputs) {
        std::vector<std::uint8_t> bytes = testing_support::readFile(input.string());
        targets.at(argv[1])(bytes.data(), bytes.size());
    }
    std::cout << inputs.size() << " inputs replayed through the " << argv[1] << " target\n";
    return inputs.empty() ? 1 : 0;
}
