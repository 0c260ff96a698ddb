// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every dialog of the window set, the program's own classes, each built
// afresh so that its next showing is its first.

#include <memory>
#include <vector>

#include <QDialog>
#include <QString>

#include "config/uchgpass.h"
#include "config/ugetname.h"
#include "config/ugetpass.h"
#include "config/usetting.h"
#include "shell/uabout.h"
#include "support/fakedbfuncs.h"

namespace testing_support {

struct Dialog {
    QString name;
    std::unique_ptr<QDialog> window;
    bool closeButton;
};

inline std::vector<Dialog> everyDialog(FakeDbfuncs& dbfuncs)
{
    std::vector<Dialog> dialogs;
    dialogs.push_back({QStringLiteral("settings"),
                       std::make_unique<Tsettingsform>([&dbfuncs]() -> Tdbfuncs& { return dbfuncs; }), false});
    dialogs.push_back({QStringLiteral("password entry"), std::make_unique<TgetpasswordForm>(), false});
    dialogs.push_back({QStringLiteral("password change"), std::make_unique<Tpasswordchangeform>(dbfuncs), false});
    dialogs.push_back({QStringLiteral("testee name"), std::make_unique<Tgetnameform>(dbfuncs), false});
    dialogs.push_back({QStringLiteral("about"), std::make_unique<Taboutform>(), true});
    return dialogs;
}

}  // namespace testing_support
