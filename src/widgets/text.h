// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The text with every leading and trailing character of code 32 or less
// (blanks and control characters) removed.
QString trimBlanks(const QString& text);
