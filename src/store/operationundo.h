// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The rollback bookkeeping of a file whose units (row slots, memo blocks)
// live in a BufferCache and whose header is written after them. An
// operation remembers the header as it was and whether it waited for
// write-back; the cache remembers the units. Rolling back puts both back in
// memory and on disk: units and header the operation tried to write are
// written again in their former state, new units are cut off, and whatever
// cannot be written again stays marked for the next write-back, so that it
// puts the file right later.

#include "store/buffercache.h"

#include <functional>

namespace store {

template <class Header> class OperationUndo {
public:
    // Cuts the file back to where the header before the operation ended it.
    using CutBack = std::function<void(const Header& before)>;
    // Writes the header's image without failing; false when the file refused.
    using HeaderWriter = std::function<bool(Header& header)>;

    // Every operation writes the header in a shared open, so that other
    // processes see by its counter that the table changed: so it is marked
    // changed from the start.
    void begin(BufferCache& cache, const Header& header, bool& headerChanged)
    {
        before_ = header;
        changedBefore_ = headerChanged;
        headerWriteTried_ = false;
        headerChanged = true;
        cache.beginOperation();
    }

    // Noted before the header is written: a write that fails may still have
    // reached the file in part.
    void noteHeaderWrite() { headerWriteTried_ = true; }

    void rollBack(BufferCache& cache, const BufferCache::Restorer& restore, const CutBack& cutBack, Header& header,
                  bool& headerChanged, const HeaderWriter& writeHeader) noexcept
    {
        cache.rollBack(restore);
        if (cache.wroteNewUnits()) cutBack(before_);
        header = before_;
        headerChanged = changedBefore_;
        if (headerWriteTried_ && !writeHeader(header)) headerChanged = true;
    }

private:
    Header before_{};
    bool changedBefore_ = false;
    bool headerWriteTried_ = false;
};

}  // namespace store
