#include "testing/ualpphanum.h"

namespace {

std::vector<TextField> invoiceFields()
{
    return {
        {QStringLiteral("Invoice #:"), "INVOICE", QStringLiteral("99999999;0; "), 0, 0},
        {QStringLiteral("Invoice date:"), "DATE", QStringLiteral("99/99/99;1; "), 0, 1},
        {QStringLiteral("Amount:"), "AMOUNT", QStringLiteral("9999.99;1; "), 0, 2},
        {QStringLiteral("First name:"), "FIRST", QString(), 1, 0},
        {QStringLiteral("Last name:"), "LAST", QString(), 1, 1},
        {QStringLiteral("Street:"), "STREET", QString(), 2, 0},
        {QStringLiteral("City:"), "CITY", QString(), 2, 1},
    };
}

}  // namespace

Talphanumerictestform::Talphanumerictestform(PasswordGate gate, Clock& clock, QWidget* parent)
    : TextTestForm(TestKind::alphanumeric, invoiceFields(), HelpPanel::entry, std::move(gate), clock, parent)
{
    setObjectName(QStringLiteral("alphanumerictestform"));
    resize(760, 250);
}
