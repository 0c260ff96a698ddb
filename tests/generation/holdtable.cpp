// Holds a table open in a process of its own, so that tests can meet
// a table another copy of the program is using: opens the table named by its
// first argument (for exclusive use when the second is "exclusive"), prints
// "ready" and keeps it open until its standard input closes.

#include <iostream>
#include <string>

#include "store/storeerror.h"
#include "store/storetable.h"

int main(int argc, char* argv[])
{
    const bool exclusive = argc == 3 && std::string(argv[2]) == "exclusive";
    if (argc != 2 && !exclusive) {
        std::cerr << "usage: holdtable TABLE.dat [exclusive]\n";
        return 2;
    }
    try {
        store::StoreTable table("holder");
        table.setTableName(argv[1]);
        table.setExclusive(exclusive);
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
