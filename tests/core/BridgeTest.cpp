// Bridging pieces that no shadow-keeping path joins: the cells added, the
// shadow pixels they add, and the agreement with a plain reference search on
// small random volumes.

#include "VolumeTestSupport.h"

#include "volume/Components.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <queue>
#include <random>
#include <set>
#include <tuple>

namespace {

using namespace volume_test;

constexpr int kStep[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};

std::set<std::tuple<int, int, int>> occupiedCells(ShadowObject& volume)
{
    std::set<std::tuple<int, int, int>> cells;
    const int n = volume.resolution();
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                if (volume.isOccupied({x, y, z}))
                    cells.insert({x, y, z});
    return cells;
}

// Dark pixels of every view's shadow, summed (oblique views' columns beyond
// 0..N-1 included).
std::size_t shadowPixels(ShadowObject& volume)
{
    std::size_t pixels = 0;
    for (const int mode : volume.viewModes()) {
        if (mode == NO_VIEW)
            continue;
        std::set<std::pair<int, int>> dark;
        for (const auto& [x, y, z] : occupiedCells(volume)) {
            const Pixel p = pixelOfCell(mode, x, y, z);
            dark.insert({p.column, p.row});
        }
        pixels += dark.size();
    }
    return pixels;
}

// The rule the plain way: for every join a fresh cheapest-first search from
// the largest piece over the free cells, a cell costing 2^32 per shadow pixel
// it would add (a view whose ray through it is empty) plus 1; the first free
// cell taken (cheapest, then lowest label index) beside another piece is
// joined by the path through which it was first reached at its cost.
Bridging referenceBridging(ShadowObject& volume)
{
    const int n = volume.resolution();
    const std::size_t cells = std::size_t(n) * n * n;
    auto cellOf = [n](std::size_t i) { return CellIndex{int(i % n), int(i / n % n), int(i / (std::size_t(n) * n))}; };
    auto newPixels = [&](const CellIndex& c) {
        int pixels = 0;
        for (const int mode : volume.viewModes())
            pixels += (mode != NO_VIEW && !volume.rayHasOccupiedCell(c, mode)) ? 1 : 0;
        return pixels;
    };
    Bridging bridging;
    std::vector<int> labels;
    for (;;) {
        const int mainLabel = labelComponents(volume, labels);
        using Entry = std::pair<std::int64_t, std::size_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
        std::vector<std::int64_t> cost(cells, std::numeric_limits<std::int64_t>::max());
        std::vector<std::size_t> from(cells, cells);
        for (std::size_t i = 0; i < cells; ++i)
            if (mainLabel != 0 && labels[i] == mainLabel) {
                cost[i] = 0;
                open.push({0, i});
            }
        std::size_t beside = cells;
        while (!open.empty() && beside == cells) {
            const auto [c, i] = open.top();
            open.pop();
            if (c != cost[i])
                continue;
            const CellIndex cell = cellOf(i);
            for (const auto& step : kStep) {
                const CellIndex m{cell.x + step[0], cell.y + step[1], cell.z + step[2]};
                if (!volume.isInGrid(m))
                    continue;
                const std::size_t j = volume.componentIndex(m.x, m.y, m.z);
                if (labels[j] != 0 && labels[j] != mainLabel)
                    beside = i;
                if (labels[j] != 0)
                    continue;
                const std::int64_t next = c + 1 + (std::int64_t(1) << 32) * newPixels(m);
                if (next < cost[j]) {
                    cost[j] = next;
                    from[j] = i;
                    open.push({next, j});
                }
            }
        }
        if (beside == cells)
            return bridging;
        for (std::size_t i = beside; labels[i] == 0; i = from[i]) {
            bridging.pixels += newPixels(cellOf(i));
            volume.setOccupied(cellOf(i), true);
            ++bridging.cells;
        }
        ++bridging.pieces;
    }
}

// One view from above: a free cell adds a pixel unless its column holds a
// cell. The shortest bridge from the main piece to the piece at x = 6 would
// add three; the detour at y = 1, under the piece at z = 9, adds none, and
// the column up to that piece then adds none either.
TEST(Bridging, TakesTheDetourThatAddsNoShadow)
{
    ShadowObject volume = emptyMaster(25.0f, {Z_PROJECTION, NO_VIEW, NO_VIEW});
    occupy(volume, {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {6, 0, 0}});
    for (int x = 2; x <= 6; ++x)
        volume.setOccupied({x, 1, 9}, true);
    auto expected = occupiedCells(volume);
    for (int x = 2; x <= 6; ++x)
        expected.insert({x, 1, 0});
    for (int z = 1; z <= 8; ++z)
        expected.insert({2, 1, z});
    const std::size_t shadow = shadowPixels(volume);

    const Bridging bridging = bridgePieces(volume);
    EXPECT_EQ(bridging.pieces, 2);
    EXPECT_EQ(bridging.cells, 13);
    EXPECT_EQ(bridging.pixels, 0);
    EXPECT_EQ(occupiedCells(volume), expected);
    EXPECT_EQ(shadowPixels(volume), shadow);
}

// Three views and a gap of three cells whose rays are empty in two views:
// every bridge adds two pixels per cell.
TEST(Bridging, CountsThePixelsItsCellsAdd)
{
    ShadowObject volume = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    for (int x = 1; x <= 3; ++x)
        for (int y = 1; y <= 3; ++y)
            for (int z = 1; z <= 3; ++z)
                volume.setOccupied({x, y, z}, true);
    volume.setOccupied({7, 2, 2}, true);
    const std::size_t shadow = shadowPixels(volume);

    const Bridging bridging = bridgePieces(volume);
    EXPECT_EQ(bridging.pieces, 1);
    EXPECT_EQ(bridging.cells, 3);
    EXPECT_EQ(bridging.pixels, 6);
    EXPECT_EQ(shadowPixels(volume), shadow + 6);
    std::vector<int> labels;
    labelComponents(volume, labels);
    EXPECT_EQ(*std::max_element(labels.begin(), labels.end()), 1);

    // One piece, or none: nothing to do.
    EXPECT_EQ(bridgePieces(volume).pieces, 0);
    ShadowObject empty = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    EXPECT_EQ(bridgePieces(empty).cells, 0);
}

// Random volumes of 10^3 cells under several projection sets, oblique ones
// included: the same cells as the reference, and the pixels it reports are
// the pixels the shadows gained.
TEST(Bridging, SameCellsAsTheReferenceSearch)
{
    struct Case {
        std::array<int, 3> modes;
        double density;  // of occupied cells
    };
    const Case cases[] = {
        {{X_PROJECTION, Y_PROJECTION, Z_PROJECTION}, 0.05}, {{X_PROJECTION, Y_PROJECTION, Z_PROJECTION}, 0.2},
        {{X_PROJECTION, Y_PROJECTION, FortyFive_PROJECTION}, 0.1}, {{Z_PROJECTION, Sixty_PROJECTION, OneTwenty_PROJECTION}, 0.1},
        {{Y_PROJECTION, NO_VIEW, NO_VIEW}, 0.08}, {{NO_VIEW, NO_VIEW, NO_VIEW}, 0.05},
    };
    for (const Case& c : cases)
        for (unsigned seed = 1; seed <= 4; ++seed) {
            SCOPED_TRACE(::testing::Message() << "modes " << c.modes[0] << " " << c.modes[1] << " " << c.modes[2]
                                              << " density " << c.density << " seed " << seed);
            ShadowObject volume = emptyMaster(25.0f, c.modes);
            std::mt19937 random(seed);
            std::bernoulli_distribution occupied(c.density);
            for (int x = 0; x < 10; ++x)
                for (int y = 0; y < 10; ++y)
                    for (int z = 0; z < 10; ++z)
                        if (occupied(random))
                            volume.setOccupied({x, y, z}, true);
            ShadowObject reference = volume;
            const std::size_t shadow = shadowPixels(volume);

            const Bridging bridging = bridgePieces(volume);
            const Bridging expected = referenceBridging(reference);
            EXPECT_GT(bridging.pieces, 0);
            EXPECT_EQ(bridging.pieces, expected.pieces);
            EXPECT_EQ(bridging.cells, expected.cells);
            EXPECT_EQ(bridging.pixels, expected.pixels);
            EXPECT_EQ(occupiedCells(volume), occupiedCells(reference));
            EXPECT_EQ(shadowPixels(volume), shadow + std::size_t(bridging.pixels));
        }
}

// connectToMain is autoConnectAll without the history step.
TEST(Bridging, ConnectToMainJoinsLikeAutoConnectAllWithoutAStep)
{
    ShadowObject volume = emptyMaster(25.0f, {NO_VIEW, NO_VIEW, NO_VIEW});
    occupy(volume, {{0, 0, 0}, {1, 0, 0}, {5, 0, 0}, {9, 9, 9}, {9, 9, 8}});
    ShadowObject recorded = volume;
    EXPECT_EQ(connectToMain(volume), autoConnectAll(recorded));
    EXPECT_EQ(occupiedCells(volume), occupiedCells(recorded));
    EXPECT_FALSE(volume.canUndo());
    EXPECT_TRUE(recorded.canUndo());
}

}  // namespace
