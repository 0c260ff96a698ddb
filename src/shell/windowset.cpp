// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/windowset.h"

#include "config/uchgpass.h"
#include "config/udbfuncs.h"
#include "config/ugetname.h"
#include "config/ugetpass.h"
#include "config/usetting.h"
#include "generation/unewan.h"
#include "generation/unewnum.h"
#include "results/uprnt.h"
#include "results/uresults.h"
#include "scoring/ushowit.h"
#include "shell/uabout.h"
#include "shell/umain.h"
#include "testing/ualpha.h"
#include "testing/ualpphanum.h"
#include "testing/unumtest.h"

void WindowSlot::setFactory(Factory make)
{
    factory = std::move(make);
}

void WindowSlot::build()
{
    held.reset();
    if (factory) held = factory();
}

int WindowSlot::exec()
{
    return held ? held->exec() : QDialog::Rejected;
}

WindowSet::WindowSet()
{
    newnumerictestform.setFactory([] { return std::make_unique<Tnewnumerictestform>(); });
    rewritean.setFactory([] { return std::make_unique<Trewritean>(); });
    resultsForm.setFactory([this] {
        return std::make_unique<TresultsForm>(
            resultsSelection, [this]() -> Tprintresultsform& { return *printresultsform; },
            reportWindowOf(*showitForm));
    });
}

WindowSet::~WindowSet() = default;

void buildWindowSet(WindowSet& windows)
{
    windows.zmain = std::make_unique<Tzmain>(windows);
    if (!windows.settingsform.hasFactory())
        windows.settingsform.setFactory([&windows] {
            return std::make_unique<Tsettingsform>([&windows]() -> Tdbfuncs& { return *windows.dbfuncs; });
        });
    windows.settingsform.build();
    if (!windows.dbfuncs) windows.dbfuncs = std::make_unique<Tdbfuncs>();
    windows.getpasswordForm = std::make_unique<TgetpasswordForm>();
    windows.passwordchangeform = std::make_unique<Tpasswordchangeform>(*windows.dbfuncs);
    // The test windows' Cancel asks the main window's password gate.
    const auto gate = [&windows] { return windows.zmain->getpassword(); };
    if (!windows.numerictestform.hasFactory())
        windows.numerictestform.setFactory([gate] { return std::make_unique<Tnumerictestform>(gate); });
    windows.numerictestform.build();
    windows.newnumerictestform.build();
    windows.showitForm = std::make_unique<TshowitForm>();
    windows.resultsForm.build();
    windows.getnameform = std::make_unique<Tgetnameform>(*windows.dbfuncs);
    if (!windows.alphanumerictestform.hasFactory())
        windows.alphanumerictestform.setFactory([gate] { return std::make_unique<Talphanumerictestform>(gate); });
    if (!windows.alphatestform.hasFactory())
        windows.alphatestform.setFactory([gate] { return std::make_unique<Talphatestform>(gate); });
    windows.alphanumerictestform.build();
    windows.alphatestform.build();
    windows.printresultsform = std::make_unique<Tprintresultsform>();
    windows.rewritean.build();
    windows.aboutform = std::make_unique<Taboutform>();
}
