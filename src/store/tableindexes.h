// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The indexes of one open table: keeps every index of the index file true as
// the data file appends, changes and deletes rows (RowIndexes), and gives the
// table handle its row orders.
//
// What each row contributes:
//   - the primary index (when it has key columns) and every secondary index:
//     the row's key, naming its slot
//   - the deleted-slot index, only when the primary has key columns: one entry
//     for every slot, the slot's state byte (0 in use, 1 deleted) and its row
//     id; a reused slot's entry (1, old row id) becomes (0, new row id)
//   - the row count in the header: +1 for every stored row, -1 for every
//     deleted one, in every table
//
// Orders. An order is an index number from selectIndex. Positions in an
// order are keys: every key of an index is unique, so the key of the current
// row (keyOf its slot image) finds it again after another order was chosen or
// another process wrote, and next and prior work from a key whose row has
// gone meanwhile. A whole-index descending index is read in reverse key
// order. A table whose primary index has no key columns keeps its primary
// order as slot order (followsSlotOrder): the data file walks the slots,
// skipping deleted ones, and the order calls here see an empty index there.

#include "store/indexfile.h"
#include "store/rowindexes.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace store {

class TableIndexes final : public RowIndexes {
public:
    TableIndexes(std::unique_ptr<File> file, std::string dataFileName, std::vector<Column> columns,
                 TableLocale locale = TableLocale(), int pageBuffers = 0, bool partialWrites = false);

    // The opener the data file uses for its table's index file.
    static std::unique_ptr<RowIndexes> open(const IndexOpenRequest& request);

    IndexFile& file() { return file_; }

    bool primaryHasKeyColumns() const override { return file_.primaryHasKeyColumns(); }
    void checkUnique(std::int32_t slot, const std::uint8_t* oldImage, const std::uint8_t* image) override;
    void rowAppended(std::int32_t slot, const std::uint8_t* image, const std::uint8_t* deletedImage) override;
    void rowChanged(std::int32_t slot, const std::uint8_t* oldImage, const std::uint8_t* image) override;
    void rowDeleted(std::int32_t slot, const std::uint8_t* image) override;
    void emptied() override { file_.empty(); }
    void writeBack() override { file_.writeBack(); }
    void beginOperation() override { file_.beginOperation(); }
    void endOperation() override { file_.endOperation(); }
    void rollBack() noexcept override { file_.rollBackOperation(); }
    File& diskFile() override { return file_.diskFile(); }
    std::int32_t rebuild(const std::vector<std::vector<std::uint8_t>>& slots) override;
    int indexCount() const override { return file_.secondaryCount() + 1; }

    // The order of an index name in any letter case, the primary for an empty
    // name; fails with "Invalid secondary index name ...".
    int selectIndex(const std::string& name) const { return file_.findIndex(name); }
    std::string indexName(int order) const { return file_.displayName(order); }
    bool followsSlotOrder(int order) const { return order == PrimaryIndex && !file_.primaryHasKeyColumns(); }
    Key keyOf(int order, const std::uint8_t* image) const { return file_.keyBuilder(order).build(image); }

    std::optional<IndexEntry> first(int order);
    std::optional<IndexEntry> last(int order);
    // The first entry at key or after it in the order.
    std::optional<IndexEntry> atOrAfter(int order, const Key& key);
    // The entries after and before the position of key.
    std::optional<IndexEntry> next(int order, const Key& key);
    std::optional<IndexEntry> prior(int order, const Key& key);
    // The slots of up to count rows from the position of key on, forward or
    // backward in the order.
    std::vector<std::int32_t> slotsAhead(int order, const Key& key, std::size_t count, bool forward)
    {
        return file_.slotsFrom(order, key, count, forward != reversed(order));
    }
    // The number of entries before the position of key: RowNumber - 1 of the
    // row with that key.
    std::int32_t rank(int order, const Key& key);
    // The entry at a 0-based place in the order; none outside it.
    std::optional<IndexEntry> atPlace(int order, std::int32_t place);
    std::int32_t keyCount(int order) { return file_.keyCount(order); }
    std::int32_t rowCount() const { return file_.rowCount(); }

private:
    bool reversed(int order) const { return file_.descriptor(order).descending; }
    // The indexes that hold a key for every row.
    std::vector<int> rowKeyIndexes() const;
    void insertDeletedSlot(std::uint8_t state, const std::uint8_t* image, std::int32_t slot);
    void removeDeletedSlot(std::uint8_t state, const std::uint8_t* image);

    IndexFile file_;
};

}  // namespace store
