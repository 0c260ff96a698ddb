// Holds a table open, shared, in a process of its own, so that tests can meet
// a table another copy of the program is using: opens the table named by its
// argument, prints "ready" and keeps it open until its standard input closes.

#include <iostream>
#include <string>

#include "store/storeerror.h"
#include "store/storetable.h"

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::cerr << "usage: holdtable TABLE.dat\n";
        return 2;
    }
    try {
        store::StoreTable table("holder");
        table.setTableName(argv[1]);
        table.setActive(true);
        std::cout << "ready" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        table.setActive(false);
    } catch (const store::StoreError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
