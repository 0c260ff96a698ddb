// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/uppercasevalidator.h"

QValidator::State UpperCaseValidator::validate(QString& input, int&) const
{
    for (QChar& character : input) character = character.toUpper();
    return Acceptable;
}
