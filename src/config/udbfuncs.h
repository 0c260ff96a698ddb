// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The configuration access module: loads the configuration row into Settings
// and writes the testee's name and the administrator password back into it.
// One object exists for the whole run, owning its own handle on the
// configuration table, closed between operations. The operations are virtual
// so that a test can put a module of its own in place.

#include <initializer_list>
#include <utility>

#include <QString>

#include "store/storetable.h"

class Tdbfuncs {
public:
    Tdbfuncs();
    virtual ~Tdbfuncs();
    Tdbfuncs(const Tdbfuncs&) = delete;
    Tdbfuncs& operator=(const Tdbfuncs&) = delete;

    // Loads the row into Settings, the password upper-cased. A failure is
    // shown as "Error reading config.dat" and swallowed; members read before
    // it keep their new values.
    virtual void getconfig();
    // Writes Settings.fname and Settings.lname into the row; failures are
    // swallowed silently.
    virtual void savename();
    // Writes Settings.password into the row; false on any failure.
    virtual bool savepassword();

    store::StoreTable configdb{"configdb"};

private:
    // Closes whatever an earlier failure left open, then opens config.dat on
    // its one row.
    void openConfig();
    void readConfig();
    void writeTexts(std::initializer_list<std::pair<const char*, const QString*>> values);
};
