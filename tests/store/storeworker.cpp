// SPDX-License-Identifier: GPL-3.0-or-later
// A second (third, ...) copy of the program for the sharing tests: it runs
// the commands of workercommands.h from stdin, one per line, and prints each
// answer on stdout. The table stays open until "close", "quit" or the end of
// stdin, so a test can end it either way or kill it.

#include "workercommands.h"

#include <iostream>
#include <string>

int main()
{
    testing_support::WorkerCommands commands(std::cout);
    for (std::string line; std::getline(std::cin, line);) {
        if (line.empty()) continue;
        if (line == "quit") break;
        std::cout << commands.answer(line) << std::endl;
    }
    return 0;
}
