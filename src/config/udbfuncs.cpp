// SPDX-License-Identifier: GPL-3.0-or-later
#include "config/udbfuncs.h"

#include "config/programstate.h"
#include "store/storeerror.h"
#include "widgets/messages.h"

Tdbfuncs::Tdbfuncs() = default;

Tdbfuncs::~Tdbfuncs() = default;

void Tdbfuncs::openConfig()
{
    configdb.setActive(false);
    configdb.setTableName(ProgramDir + "config.dat");
    configdb.setActive(true);
    configdb.GoFirst();
    // A table without its row would load zeros as if they were settings.
    if (!configdb.HasRow()) throw store::StoreError("config.dat holds no configuration row");
}

void Tdbfuncs::getconfig()
{
    try {
        readConfig();
    } catch (const store::StoreError&) {
        configdb.setActive(false);
        messages().errorBox(QStringLiteral("Error reading config.dat"));
    }
}

// Each member is assigned as soon as its column is read, so a failure keeps
// what came before it.
void Tdbfuncs::readConfig()
{
    openConfig();
    const auto text = [this](const char* column) { return QString::fromStdString(configdb.ReadText(column)); };
    Settings.realtime = configdb.ReadInteger("realtime");
    Settings.practicetime = configdb.ReadInteger("practicetime");
    Settings.fname = text("fname");
    Settings.lname = text("lname");
    Settings.password = text("password");
    Settings.useuppercase = configdb.ReadBoolean("useuppercase");
    Settings.usedecimal = configdb.ReadBoolean("usedecimal");
    Settings.presults = configdb.ReadBoolean("presults");
    Settings.rresults = configdb.ReadBoolean("rresults");
    Settings.showinstructions = configdb.ReadBoolean("showinstructions");
    Settings.remembername = configdb.ReadBoolean("remembername");
    Settings.scalefactor = configdb.ReadInteger("scalefactor");
    Settings.width = configdb.ReadInteger("width");
    Settings.sort = configdb.ReadInteger("sort");
    Settings.filter = configdb.ReadInteger("filter");
    Settings.password = Settings.password.toUpper();
    Settings.autoadvance = configdb.ReadBoolean("autoadvance");
    configdb.setActive(false);
}

void Tdbfuncs::writeTexts(std::initializer_list<std::pair<const char*, const QString*>> values)
{
    openConfig();
    configdb.BeginEdit();
    for (const auto& [column, value] : values) configdb.WriteValue(column, value->toStdString());
    configdb.PostRow();
    configdb.setActive(false);
}

void Tdbfuncs::savename()
{
    try {
        writeTexts({{"fname", &Settings.fname}, {"lname", &Settings.lname}});
    } catch (const store::StoreError&) {
        // The name is only remembered for convenience; the run goes on without it.
    }
}

bool Tdbfuncs::savepassword()
{
    try {
        writeTexts({{"password", &Settings.password}});
        return true;
    } catch (const store::StoreError&) {
        return false;
    }
}
