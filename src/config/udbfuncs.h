#pragma once

// The configuration access module: loads the configuration row into Settings
// and writes the testee's name and the administrator password back into it.
// One object exists for the whole run. The operations are virtual so that a
// test can put a module of its own in place.

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
};
