// Holds a table open, shared, in a process of its own, so that tests can meet
// a table another copy of the program is using: opens the table named by its
// argument, prints "ready" and keeps it open until its standard input closes.
// With "edit" after the table it also holds the first row in edit state, as a
// copy whose dialog is editing that row does.

#include <iostream>
#include <string>

#include "store/storeerror.h"
#include "store/storetable.h"

int main(int argc, char* argv[])
{
    const bool edit = argc == 3 && std::string(argv[2]) == "edit";
    if (argc != 2 && !edit) {
        std::cerr << "usage: holdtable TABLE.dat [edit]\n";
        return 2;
    }
    try {
        store::StoreTable table("holder");
        table.setTableName(argv[1]);
        table.setActive(true);
        if (edit) {
            table.GoFirst();
            table.BeginEdit();
        }
        std::cout << "ready" << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        if (edit) table.CancelRow();
        table.setActive(false);
    } catch (const store::StoreError& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
