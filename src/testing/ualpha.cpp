// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/ualpha.h"

Talphatestform::Talphatestform(PasswordGate gate, Clock& clock, QWidget* parent)
    : TextTestForm(TestKind::alpha, {{0, 0}, {1, 0}, {2, 0}}, HelpPanel::source, std::move(gate), clock, parent)
{
    setObjectName(QStringLiteral("alphatestform"));
    resize(480, 250);
}
