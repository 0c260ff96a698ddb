// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The alpha test window: first name, last name and city of each invoice
// record, one per row, in fields without masks. The test windows' help topic
// hangs on the source panel only, so the help key in a field finds none.

#include "testing/texttestform.h"

class Talphatestform : public TextTestForm {
    Q_OBJECT

public:
    explicit Talphatestform(PasswordGate gate = {}, Clock& clock = systemClock(), QWidget* parent = nullptr);
};
