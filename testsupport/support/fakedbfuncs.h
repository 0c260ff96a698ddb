// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A configuration access module over a configuration row held in memory, for
// tests of the windows that load and store the configuration. It counts its
// calls, and can be told that the row cannot be read or written.

#include "config/programstate.h"
#include "config/udbfuncs.h"
#include "widgets/messages.h"

namespace testing_support {

class FakeDbfuncs : public Tdbfuncs {
public:
    void getconfig() override
    {
        ++getconfigCalls;
        if (!readable) {
            messages().errorBox(QStringLiteral("Error reading config.dat"));
            return;
        }
        Settings = row;
        Settings.password = row.password.toUpper();
    }
    void savename() override
    {
        ++savenameCalls;
        if (!writable) return;
        row.fname = Settings.fname;
        row.lname = Settings.lname;
    }
    bool savepassword() override
    {
        ++savepasswordCalls;
        if (!writable) return false;
        row.password = Settings.password;
        return true;
    }

    SettingsRecord row;
    bool readable = true;
    bool writable = true;
    int getconfigCalls = 0;
    int savenameCalls = 0;
    int savepasswordCalls = 0;
};

}  // namespace testing_support
