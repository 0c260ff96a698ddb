// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/tableindexes.h"

#include "store/bytes.h"
#include "store/storeerror.h"
#include "store/storemessages.h"

namespace store {

std::unique_ptr<RowIndexes> TableIndexes::open(const IndexOpenRequest& request)
{
    TableLocale locale = TableLocale::forTable(request.languageId, request.sortId, request.dataFileName);
    std::unique_ptr<File> file = openTableFile(request.files, request.path, request.dataFileName, request.access,
                                               request.mode);
    return std::make_unique<TableIndexes>(std::move(file), request.dataFileName, request.columns, locale,
                                          request.mode.indexPageBuffers, request.mode.sharing == Sharing::Shared);
}

TableIndexes::TableIndexes(std::unique_ptr<File> file, std::string dataFileName, std::vector<Column> columns,
                           TableLocale locale, int pageBuffers, bool partialWrites)
    : file_(std::move(file), std::move(dataFileName), std::move(columns), std::move(locale), pageBuffers,
            partialWrites)
{
}

std::vector<int> TableIndexes::rowKeyIndexes() const
{
    std::vector<int> indexes;
    if (file_.primaryHasKeyColumns()) indexes.push_back(PrimaryIndex);
    for (int index = 1; index <= file_.secondaryCount(); ++index) indexes.push_back(index);
    return indexes;
}

void TableIndexes::insertDeletedSlot(std::uint8_t state, const std::uint8_t* image, std::int32_t slot)
{
    file_.insert(DeletedSlotDescriptor, deletedSlotKey(state, bytes::getI32(image + slotfield::RowId)), slot);
}

void TableIndexes::removeDeletedSlot(std::uint8_t state, const std::uint8_t* image)
{
    file_.remove(DeletedSlotDescriptor, deletedSlotKey(state, bytes::getI32(image + slotfield::RowId)));
}

void TableIndexes::checkUnique(std::int32_t, const std::uint8_t* oldImage, const std::uint8_t* image)
{
    for (int index : rowKeyIndexes()) {
        if (!file_.isUnique(index)) continue;
        Key key = keyOf(index, image);
        if (oldImage && keyOf(index, oldImage) == key) continue;
        if (file_.contains(index, key))
            throw StoreError("Duplicate key found in index " + file_.displayName(index) + " of data file " +
                             file_.dataFileName());
    }
}

void TableIndexes::rowAppended(std::int32_t slot, const std::uint8_t* image, const std::uint8_t* deletedImage)
{
    IndexFile::Change change(file_);
    for (int index : rowKeyIndexes()) file_.insert(index, keyOf(index, image), slot);
    if (file_.primaryHasKeyColumns()) {
        if (deletedImage) removeDeletedSlot(SlotDeleted, deletedImage);
        insertDeletedSlot(SlotInUse, image, slot);
    }
    file_.addRows(1);
    change.commit();
}

void TableIndexes::rowChanged(std::int32_t slot, const std::uint8_t* oldImage, const std::uint8_t* image)
{
    IndexFile::Change change(file_);
    for (int index : rowKeyIndexes()) {
        Key before = keyOf(index, oldImage);
        Key after = keyOf(index, image);
        if (before == after) continue;
        file_.remove(index, before);
        file_.insert(index, after, slot);
    }
    change.commit();
}

void TableIndexes::rowDeleted(std::int32_t slot, const std::uint8_t* image)
{
    IndexFile::Change change(file_);
    for (int index : rowKeyIndexes()) file_.remove(index, keyOf(index, image));
    if (file_.primaryHasKeyColumns()) {
        removeDeletedSlot(SlotInUse, image);
        insertDeletedSlot(SlotDeleted, image, slot);
    }
    file_.addRows(-1);
    change.commit();
}

std::optional<IndexEntry> TableIndexes::first(int order)
{
    return reversed(order) ? file_.last(order) : file_.first(order);
}

std::optional<IndexEntry> TableIndexes::last(int order)
{
    return reversed(order) ? file_.first(order) : file_.last(order);
}

std::optional<IndexEntry> TableIndexes::atOrAfter(int order, const Key& key)
{
    return reversed(order) ? file_.atOrBefore(order, key) : file_.atOrAfter(order, key);
}

std::optional<IndexEntry> TableIndexes::next(int order, const Key& key)
{
    return reversed(order) ? file_.before(order, key) : file_.after(order, key);
}

std::optional<IndexEntry> TableIndexes::prior(int order, const Key& key)
{
    return reversed(order) ? file_.after(order, key) : file_.before(order, key);
}

std::int32_t TableIndexes::rank(int order, const Key& key)
{
    IndexFile::Rank found = file_.rank(order, key);
    if (!reversed(order)) return found.before;
    return file_.keyCount(order) - found.before - (found.present ? 1 : 0);
}

std::optional<IndexEntry> TableIndexes::atPlace(int order, std::int32_t place)
{
    if (!reversed(order)) return file_.atRank(order, place);
    if (place < 0) return std::nullopt;
    return file_.atRank(order, file_.keyCount(order) - 1 - place);
}

std::int32_t TableIndexes::rebuild(const std::vector<std::vector<std::uint8_t>>& slots)
{
    file_.empty();
    std::int32_t rows = 0;
    for (std::int32_t slot = 1; slot <= static_cast<std::int32_t>(slots.size()); ++slot) {
        const std::uint8_t* image = slots[static_cast<std::size_t>(slot - 1)].data();
        if (file_.primaryHasKeyColumns()) insertDeletedSlot(image[slotfield::State], image, slot);
        if (image[slotfield::State] != SlotInUse) continue;
        ++rows;
        for (int index : rowKeyIndexes()) file_.insert(index, keyOf(index, image), slot);
    }
    file_.addRows(rows);
    file_.writeBack();
    if (!file_.diskFile().flush()) throw StoreError(writeFailure(file_.diskFile(), file_.dataFileName()));
    return rows;
}

}  // namespace store
