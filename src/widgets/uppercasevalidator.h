// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QValidator>

// Upper-cases whatever reaches a line edit (typing, pasting, dropping)
// character by character, so the length never changes and a maximum length
// keeps holding.
class UpperCaseValidator : public QValidator {
public:
    using QValidator::QValidator;

    State validate(QString& input, int& position) const override;
};
