// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// criteria.dat in the program folder with numeric net 8,000 at 95 %, made
// with the table tool from the shipped schema (CRITERIA_SCHEMA).

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "config/programstate.h"
#include "scoring/criteria.h"
#include "store/storetable.h"

namespace testing_support {

inline void makeNumericCriteria()
{
    const std::string path = ProgramDir + scoring::CriteriaTableName;
    const std::string command = std::string(TABLETOOL) + " create " + CRITERIA_SCHEMA + " '" + path + "' > /dev/null";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot create " + path);
    scoring::CriteriaSet criteria;
    criteria.of(TestKind::numeric) = {8000, 95};
    store::StoreTable criteriadb("criteriadb");
    scoring::writeCriteria(criteriadb, path, criteria);
}

}  // namespace testing_support
