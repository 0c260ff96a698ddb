#pragma once

// The seam between the data file and the index file of one table. The data
// file owns the rows; whenever it appends, changes or deletes one, it tells
// the table's indexes through this interface, at the points its format notes
// give, and lets them write back when it writes back its own slots.
//
// Slot images are the R bytes of a slot exactly as they stand in the data file
// (state byte, slot number, row id, then each stored column's presence byte and
// value), so that keys can be built from the stored bytes.

#include <cstdint>

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
};

}  // namespace store
