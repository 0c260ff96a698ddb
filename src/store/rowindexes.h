// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The seam between the data file and the index file of one table. The data
// file owns the rows; whenever it appends, changes or deletes one, it tells
// the table's indexes through this interface, at the points its format notes
// give, and lets them write back when it writes back its own slots.
//
// Slot images are the R bytes of a slot exactly as they stand in the data file
// (state byte, slot number, row id, then each stored column's presence byte and
// value), so that keys can be built from the stored bytes.
//
// Each append, change, delete and emptying is an operation: the data file
// calls beginOperation() before its first step and endOperation() after its
// last. When a step fails, the data file calls rollBack() instead, and the
// indexes put back what the operation changed, in memory and in whatever
// writeBack() already wrote, so that a failed operation leaves the table as
// it was.

#include "store/file.h"
#include "store/localehook.h"
#include "store/schema.h"
#include "store/tablefiles.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace store {

class RowIndexes {
public:
    virtual ~RowIndexes() = default;

    // False when the primary index has no key columns: rows then follow slot
    // order and deleted slots are never reused.
    virtual bool primaryHasKeyColumns() const = 0;

    // Fails with "Duplicate key found in index ..." when storing image in slot
    // would duplicate a key of a unique index; checks every index and changes
    // nothing. oldImage is the row's present image for a change, null for an
    // append.
    virtual void checkUnique(std::int32_t slot, const std::uint8_t* oldImage, const std::uint8_t* image) = 0;

    // A row was stored in slot: a new slot at the end of the file, or a deleted
    // slot reused (deletedImage then holds that slot's image as deleted, whose
    // row id names its entry in the deleted-slot index).
    virtual void rowAppended(std::int32_t slot, const std::uint8_t* image, const std::uint8_t* deletedImage) = 0;
    // The row in slot changed from oldImage to image (row id unchanged).
    virtual void rowChanged(std::int32_t slot, const std::uint8_t* oldImage, const std::uint8_t* image) = 0;
    // The row in slot, whose image was image, was deleted.
    virtual void rowDeleted(std::int32_t slot, const std::uint8_t* image) = 0;

    // Every row is gone: back to the header page alone.
    virtual void emptied() = 0;
    // Write changed pages and, when anything changed, the header page.
    virtual void writeBack() = 0;

    virtual void beginOperation() = 0;
    virtual void endOperation() = 0;
    // Must not throw: it runs while the operation's own failure is on its way.
    virtual void rollBack() noexcept = 0;

    // For repair, outside any operation: the file that rebuild() rewrites, to
    // keep a copy of first; and every index emptied and filled anew from the
    // slot images (slots[n - 1] is slot n, deleted ones in the deleted-slot
    // index), written back and flushed. Returns the rows indexed.
    virtual File& diskFile() = 0;
    virtual std::int32_t rebuild(const std::vector<std::vector<std::uint8_t>>& slots) = 0;
    // The primary index and the secondary ones.
    virtual int indexCount() const = 0;
};

// What the data file hands over when it opens its table's index file, after
// its own checks and before the memo file. The data file owns the indexes it
// gets and keeps the columns unchanged for as long as they live.
struct IndexOpenRequest {
    FileSystem& files;
    std::string path;          // the .IDX file
    std::string dataFileName;  // named in every message
    Access access;
    OpenMode mode;
    const std::vector<Column>& columns;
    const LocaleHook& locales;
    std::int16_t languageId;
    std::uint16_t sortId;
};

using IndexOpener = std::function<std::unique_ptr<RowIndexes>(const IndexOpenRequest&)>;

}  // namespace store
