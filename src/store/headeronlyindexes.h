#pragma once

// A stand-in for the index file that keeps only what its header page holds:
// whether the primary index has key columns (header offset 3978) and the
// number of rows (offset 3974), kept true on every append, delete and
// emptying. It keeps no keys: it checks no uniqueness, builds no B-tree, and
// never writes a page other than the header. Tables whose indexes are only
// described (descriptors recorded, no pages) stay valid under it, since
// their roots stay 0.
//
// The header page is written back, with its change counter increased by 1,
// whenever it changed; in a shared open that is after every operation.

#include "store/indexheader.h"
#include "store/rowindexes.h"

#include <memory>

namespace store {

class HeaderOnlyIndexes final : public RowIndexes {
public:
    // Fails with "Data file ... is not the correct version", the messages of
    // opening, and "Index page buffers corrupt ..." for a header page cut short.
    static std::unique_ptr<RowIndexes> open(const IndexOpenRequest& request);

    const IndexHeader& header() const { return header_; }

    bool primaryHasKeyColumns() const override { return !header_.primaryWithoutKeys; }
    void checkUnique(std::int32_t, const std::uint8_t*, const std::uint8_t*) override {}
    void rowAppended(std::int32_t slot, const std::uint8_t* image, const std::uint8_t* deletedImage) override;
    void rowChanged(std::int32_t slot, const std::uint8_t* oldImage, const std::uint8_t* image) override;
    void rowDeleted(std::int32_t slot, const std::uint8_t* image) override;
    void emptied() override;
    void writeBack() override;
    void beginOperation() override;
    void endOperation() override;
    void rollBack() noexcept override;

private:
    HeaderOnlyIndexes(std::unique_ptr<File> file, std::string dataFileName);
    void writeHeader();

    std::unique_ptr<File> file_;
    std::string name_;
    IndexHeader header_;
    bool changed_ = false;

    IndexHeader headerBefore_;
    bool changedBefore_ = false;
    bool writeTried_ = false;
};

}  // namespace store
