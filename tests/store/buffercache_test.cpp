// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/buffercache.h"
#include "store/storeerror.h"
#include "support/tables.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <random>

using namespace store;
using testing_support::failureOf;

namespace {

struct Runs {
    std::vector<std::vector<std::int64_t>> written;
    BufferCache::RunWriter writer()
    {
        return [this](std::int64_t first, const std::vector<const std::uint8_t*>& buffers) {
            std::vector<std::int64_t> run;
            for (std::size_t i = 0; i < buffers.size(); ++i) run.push_back(first + static_cast<std::int64_t>(i));
            written.push_back(run);
        };
    }
};

}  // namespace

TEST(BufferCache, ReusesTheLeastRecentlyUsedUnpinnedBufferAndWritesItFirstWhenChanged)
{
    Runs runs;
    BufferCache cache(4, 3, "all pinned", runs.writer());
    for (std::int64_t unit : {1, 2, 3}) cache.place(unit);
    cache.find(1);
    cache.modify(2);
    cache.pin(3);
    cache.place(4);  // 2 is the least recently used: written, then reused
    EXPECT_EQ(runs.written, (std::vector<std::vector<std::int64_t>>{{2}}));
    EXPECT_FALSE(cache.contains(2));
    cache.place(5);  // 3 is pinned, so 1 goes
    EXPECT_FALSE(cache.contains(1));
    EXPECT_TRUE(cache.contains(3));
    cache.pin(4);
    cache.pin(5);
    EXPECT_EQ(failureOf([&] { cache.place(6); }), "all pinned");
    EXPECT_EQ(cache.placeWithoutWriting(6), nullptr);
}

TEST(BufferCache, WritesChangedBuffersBackInRunsOfConsecutiveUnits)
{
    Runs runs;
    BufferCache cache(4, 10, "all pinned", runs.writer());
    for (std::int64_t unit : {8, 6, 5, 2, 3}) {
        cache.place(unit);
        cache.modify(unit);
    }
    cache.place(7);  // unchanged: not written
    cache.writeBack();
    EXPECT_EQ(runs.written, (std::vector<std::vector<std::int64_t>>{{2, 3}, {5, 6}, {8}}));
    EXPECT_FALSE(cache.hasChanges());
}

TEST(BufferCache, RollingBackRestoresImagesAndRewritesWhatReachedTheFile)
{
    Runs runs;
    BufferCache cache(4, 10, "all pinned", runs.writer());
    std::memcpy(cache.place(1), "old1", 4);
    std::memcpy(cache.place(2), "old2", 4);
    cache.beginOperation();
    std::memcpy(cache.modify(1), "new1", 4);
    std::memcpy(cache.modify(2), "new2", 4);
    cache.placeNew(3);
    cache.writeBack();  // 1 to 3 reach the file, then the operation fails
    std::vector<std::string> restored;
    cache.rollBack([&](std::int64_t unit, const std::uint8_t* image) {
        restored.push_back(std::to_string(unit) + std::string(reinterpret_cast<const char*>(image), 4));
        return true;
    });
    EXPECT_EQ(restored, (std::vector<std::string>{"2old2", "1old1"}));
    EXPECT_TRUE(cache.wroteNewUnits());
    EXPECT_FALSE(cache.contains(3));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(cache.find(1)), 4), "old1");
    EXPECT_FALSE(cache.hasChanges());
}

// Many units dropped and placed at random, through the probe chains that
// collisions and the wrap at the table's end make: every look-up must agree
// with a plain map.
TEST(UnitPlaces, AgreeWithAMapThroughRandomPlacingAndDropping)
{
    for (std::size_t most : {std::size_t{3}, std::size_t{300}}) {
        UnitPlaces places(most);
        std::map<std::int64_t, int> expected;
        std::mt19937 random(11);
        const unsigned units = static_cast<unsigned>(most) * 3 + 5;
        for (int round = 0; round < 20000; ++round) {
            std::int64_t unit = static_cast<std::int64_t>(random() % units);
            if (expected.count(unit) || expected.size() == most) {
                places.erase(unit);
                expected.erase(unit);
            } else {
                int buffer = static_cast<int>(random() % most);
                places.set(unit, buffer);
                expected[unit] = buffer;
            }
            std::int64_t probe = static_cast<std::int64_t>(random() % units);
            auto found = expected.find(probe);
            ASSERT_EQ(places.find(probe), found == expected.end() ? -1 : found->second)
                << "most " << most << ", round " << round;
        }
        EXPECT_EQ(places.size(), expected.size());
        for (const auto& [unit, buffer] : expected) EXPECT_EQ(places.find(unit), buffer);
    }
}

// Rows appended one after another in an exclusive open: the buffer the cache
// needs goes with its changed neighbours in one write, which stay cached and
// need no write when their turn comes; a pinned neighbour ends the run.
TEST(BufferCache, AChangedBufferItsRoomIsNeededForTakesItsChangedNeighboursAlong)
{
    Runs runs;
    BufferCache cache(4, 4, "all pinned", runs.writer());
    for (std::int64_t unit : {1, 2, 3, 4}) cache.placeNew(unit);
    cache.pin(4);
    cache.place(5);  // 1 is the least recently used
    EXPECT_EQ(runs.written, (std::vector<std::vector<std::int64_t>>{{1, 2, 3}}));
    EXPECT_TRUE(cache.contains(2) && cache.contains(3));
    cache.place(6);  // 2 goes, unchanged now
    cache.place(7);
    EXPECT_EQ(runs.written.size(), 1u);
    cache.unpin(4);
    cache.writeBack();
    EXPECT_EQ(runs.written.back(), (std::vector<std::int64_t>{4}));
}
