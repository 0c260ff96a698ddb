// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The sort box, filter box and index name of the results window, which the
// main window sets once, at its first show. Held here until the results
// window exists and takes them over.

#include <QString>
#include <QStringList>

struct ResultsSelection {
    static inline const QStringList SortItems{QStringLiteral("Name"), QStringLiteral("KPH"), QStringLiteral("NetKPH"),
                                              QStringLiteral("Date")};
    static inline const QStringList FilterItems{QStringLiteral("All results"), QStringLiteral("Alphanumeric"),
                                                QStringLiteral("Alpha"), QStringLiteral("Numeric")};

    int sortIndex = -1;  // -1: no item selected, the box reads empty
    int filterIndex = -1;
    QString indexName;

    QString sortText() const
    {
        return sortIndex >= 0 && sortIndex < SortItems.size() ? SortItems[sortIndex] : QString();
    }
};
