// SPDX-License-Identifier: GPL-3.0-or-later
#include "testing/runstate.h"

#include <stdexcept>

KeyedValueArray::KeyedValueArray(int records, int cells)
    : records_(records), cells_(cells), texts(std::size_t(records) * std::size_t(cells))
{
}

std::size_t KeyedValueArray::offset(int record, int field) const
{
    if (record < 1 || record > records_ || field < 1 || field > cells_)
        throw std::out_of_range("keyed value (" + std::to_string(record) + ", " + std::to_string(field) +
                                ") outside the run's records");
    return std::size_t(record - 1) * std::size_t(cells_) + std::size_t(field - 1);
}

std::string& KeyedValueArray::cell(int record, int field) { return texts[offset(record, field)]; }

const std::string& KeyedValueArray::cell(int record, int field) const { return texts[offset(record, field)]; }

void KeyedValueArray::emptyCells(int usedCells)
{
    for (int record = 1; record <= records_; ++record)
        for (int field = 1; field <= usedCells; ++field) texts[offset(record, field)].clear();
}

RunState::RunState(TestKind kind)
    : kind(kind), KeyedValues(kindShape(kind).records, kindShape(kind).cells)
{
}

RunState& runState(TestKind kind)
{
    static RunState numeric(TestKind::numeric);
    static RunState alphanumeric(TestKind::alphanumeric);
    static RunState alpha(TestKind::alpha);
    switch (kind) {
    case TestKind::numeric: return numeric;
    case TestKind::alphanumeric: return alphanumeric;
    case TestKind::alpha: break;
    }
    return alpha;
}
