// INTERIM: the configuration table cannot be reached yet, because the table
// handle it needs does not exist. Until it does, these bodies behave exactly
// as the real ones do when config.dat cannot be opened: getconfig reports the
// read failure, savename swallows its failure, savepassword reports false.
// The table-backed version replaces this whole file.

#include "config/udbfuncs.h"

#include "widgets/messages.h"

Tdbfuncs::Tdbfuncs() = default;

Tdbfuncs::~Tdbfuncs() = default;

void Tdbfuncs::getconfig()
{
    messages().errorBox(QStringLiteral("Error reading config.dat"));
}

void Tdbfuncs::savename() {}

bool Tdbfuncs::savepassword()
{
    return false;
}
