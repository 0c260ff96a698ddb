#include "testing/ualpha.h"

namespace {

std::vector<TextField> nameFields()
{
    return {
        {QStringLiteral("First name:"), "FIRST", QString(), 0, 0},
        {QStringLiteral("Last name:"), "LAST", QString(), 1, 0},
        {QStringLiteral("City:"), "CITY", QString(), 2, 0},
    };
}

}  // namespace

Talphatestform::Talphatestform(PasswordGate gate, Clock& clock, QWidget* parent)
    : TextTestForm(TestKind::alpha, nameFields(), HelpPanel::source, std::move(gate), clock, parent)
{
    setObjectName(QStringLiteral("alphatestform"));
    resize(480, 250);
}
