// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/ualpphanum.h"

Talphanumerictestform::Talphanumerictestform(PasswordGate gate, Clock& clock, QWidget* parent)
    : TextTestForm(TestKind::alphanumeric, {{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {2, 0}, {2, 1}}, HelpPanel::entry,
                   std::move(gate), clock, parent)
{
    setObjectName(QStringLiteral("alphanumerictestform"));
    resize(760, 250);
}
