#include "store/headeronlyindexes.h"

#include "store/storeerror.h"
#include "store/storemessages.h"

#include <array>

namespace store {

HeaderOnlyIndexes::HeaderOnlyIndexes(std::unique_ptr<File> file, std::string dataFileName)
    : file_(std::move(file)), name_(std::move(dataFileName))
{
}

std::unique_ptr<RowIndexes> HeaderOnlyIndexes::open(const IndexOpenRequest& request)
{
    auto file = openTableFile(request.files, request.path, request.dataFileName, request.access, request.mode);
    std::array<std::uint8_t, IndexPageSize> page{};
    std::int64_t read = file->readAt(0, page.data(), IndexPageSize);
    if (read < 0) throw StoreError(messages::errorReading(request.dataFileName));
    if (read < IndexPageSize) throw StoreError(messages::indexBuffersCorrupt(request.dataFileName));
    std::unique_ptr<HeaderOnlyIndexes> indexes(new HeaderOnlyIndexes(std::move(file), request.dataFileName));
    indexes->header_ = decodeIndexHeader(page.data());
    if (indexes->header_.version != IndexFormatVersion)
        throw StoreError(messages::notCorrectVersion(request.dataFileName));
    return indexes;
}

void HeaderOnlyIndexes::rowAppended(std::int32_t, const std::uint8_t*, const std::uint8_t*)
{
    ++header_.rowCount;
    changed_ = true;
}

void HeaderOnlyIndexes::rowChanged(std::int32_t, const std::uint8_t*, const std::uint8_t*) {}

void HeaderOnlyIndexes::rowDeleted(std::int32_t, const std::uint8_t*)
{
    --header_.rowCount;
    changed_ = true;
}

void HeaderOnlyIndexes::emptied()
{
    header_.rowCount = 0;
    header_.endOfFile = IndexPageSize;
    for (IndexDescriptor& index : header_.descriptors) index.root = index.freePage = 0;
    changed_ = true;
    truncateOrFail(*file_, IndexPageSize, name_);
}

void HeaderOnlyIndexes::writeHeader()
{
    ++header_.changeCounter;
    std::array<std::uint8_t, IndexPageSize> page{};
    encodeIndexHeader(header_, page.data());
    writeTried_ = true;
    writeOrFail(*file_, 0, page.data(), IndexPageSize, name_);
    changed_ = false;
}

void HeaderOnlyIndexes::writeBack()
{
    if (changed_) writeHeader();
}

// Every operation marks the header changed, so that a shared open writes it
// and other processes see by its counter that the table changed.
void HeaderOnlyIndexes::beginOperation()
{
    headerBefore_ = header_;
    changedBefore_ = changed_;
    writeTried_ = false;
    changed_ = true;
}

void HeaderOnlyIndexes::endOperation() {}

void HeaderOnlyIndexes::rollBack() noexcept
{
    header_ = headerBefore_;
    changed_ = changedBefore_;
    if (!writeTried_) return;
    std::array<std::uint8_t, IndexPageSize> page{};
    encodeIndexHeader(header_, page.data());
    if (writeExact(*file_, 0, page.data(), IndexPageSize)) return;
    changed_ = true;
}

}  // namespace store
