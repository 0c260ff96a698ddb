// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The alphanumeric test window: a whole invoice per record (number, date and
// amount in masked fields, then first name, last name, street and city), in
// three rows. The help key in an entry field opens the test windows' topic.

#include "testing/texttestform.h"

class Talphanumerictestform : public TextTestForm {
    Q_OBJECT

public:
    explicit Talphanumerictestform(PasswordGate gate = {}, Clock& clock = systemClock(), QWidget* parent = nullptr);
};
