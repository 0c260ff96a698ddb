// SPDX-License-Identifier: GPL-3.0-or-later
#include "widgets/text.h"

namespace {

bool isBlank(QChar character)
{
    return character.unicode() <= 32;
}

}  // namespace

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && isBlank(text[first])) ++first;
    while (last > first && isBlank(text[last - 1])) --last;
    return text.mid(first, last - first);
}
