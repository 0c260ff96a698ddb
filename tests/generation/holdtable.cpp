// SPDX-License-Identifier: GPL-3.0-or-later
// Holds a table open in a process of its own, so that tests can meet
// a table another copy of the program is using: opens the table named by its
// first argument, prints "ready" and keeps it open until its standard input
// closes. A second argument "exclusive" opens it for exclusive use; "edit"
// also holds the first row in edit state, as a copy whose dialog is editing
// that row does.

#include <iostream>
#include <string>

#include "store/storeerror.h"
#include "store/storetable.h"

int main(int argc, char* argv[])
{
    const std::string mode = argc == 3 ? argv[2] : "";
    const bool exclusive = mode == "exclusive";
    const bool edit = mode == "edit";
    if (argc < 2 || argc > 3 || (argc == 3 && !exclusive && !edit)) {
        std::cerr << "usage: holdtable TABLE.dat [exclusive|edit]\n";
        return 2;
    }
    try {
        store::StoreTable table("holder");
        table.setTableName(argv[1]);
        table.setExclusive(exclusive);
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
