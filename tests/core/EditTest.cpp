// Carving: ray walks, balls, the edit operations, components, and the
// promise behind all of them -- no edit changes a shadow, and undo restores
// the occupancy exactly.

#include "VolumeTestSupport.h"

#include "session/DesignSession.h"
#include "volume/Components.h"
#include "volume/EditOperations.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace volume_test;

namespace {

std::vector<CellIndex> occupiedCells(ShadowObject& volume)
{
    std::vector<CellIndex> cells;
    for (int x = 0; x < volume.sizeX(); ++x)
        for (int y = 0; y < volume.sizeY(); ++y)
            for (int z = 0; z < volume.sizeZ(); ++z)
                if (volume.isOccupied({x, y, z}))
                    cells.push_back({x, y, z});
    return cells;
}

// The grid of a 10-cell volume in grid units.
GridBox unitBox(int n = 10)
{
    GridBox box;
    box.high = point(float(n), float(n), float(n));
    box.n[0] = box.n[1] = box.n[2] = n;
    return box;
}

// ---- ray walks --------------------------------------------------------------

TEST(RayWalk, FirstHitSkipsTheEntryCellAndCollectKeepsRayOrder)
{
    ShadowObject volume = emptyMaster(25.0f, {-1, -1, -1});  // N = 10
    occupy(volume, {{0, 4, 4}, {3, 4, 4}, {7, 4, 4}});
    const GridBox box = unitBox();
    const Ray alongX(point(-5.0f, 4.5f, 4.5f), point(2, 0, 0));
    // The entry cell (0, 4, 4) is occupied but only a starting point.
    RayIntersector::FirstHit hit = RayIntersector::rayVoxelizeCube(alongX, box.low, box.high, 10, 10, 10, volume);
    EXPECT_EQ(hit.cell, (CellIndex{3, 4, 4}));
    EXPECT_EQ(hit.before, (CellIndex{2, 4, 4}));
    const Ray back(point(15.0f, 4.5f, 4.5f), point(-1, 0, 0));
    EXPECT_EQ(RayIntersector::rayVoxelizeCube(back, box.low, box.high, 10, 10, 10, volume).cell, (CellIndex{7, 4, 4}));
    const Ray miss(point(-5.0f, 14.5f, 4.5f), point(1, 0, 0));
    EXPECT_FALSE(RayIntersector::rayVoxelizeCube(miss, box.low, box.high, 10, 10, 10, volume).found());

    // A diagonal ray in the x-y plane crosses a cell at a time.
    const std::vector<CellIndex> crossed =
        RayIntersector::rayVoxelizeCube(Ray(point(-1.0f, 0.25f, 0.5f), point(1, 0.5f, 0)), box.low, box.high, 10, 10, 10);
    ASSERT_GE(crossed.size(), 10u);
    EXPECT_EQ(crossed[0], (CellIndex{0, 0, 0}));
    for (std::size_t i = 1; i < crossed.size(); ++i) {
        const int step = std::abs(crossed[i].x - crossed[i - 1].x) + std::abs(crossed[i].y - crossed[i - 1].y);
        EXPECT_EQ(step, 1) << i;
        EXPECT_GE(crossed[i].x, crossed[i - 1].x);
    }
    EXPECT_EQ(crossed.back().x, 9);

    const RayIntersector::BoxHit slab =
        RayIntersector::intersectBox(Ray(point(-1, 5, 5), point(1, 0, 0)), box.low, box.high);
    EXPECT_TRUE(slab.hit);
    EXPECT_FLOAT_EQ(slab.tIn, 1.0f);
    EXPECT_FLOAT_EQ(slab.tOut, 11.0f);
    EXPECT_EQ(slab.entryFace, 0);
    EXPECT_EQ(slab.exitFace, 1);
}

// ---- balls and tools ----------------------------------------------------------

TEST(Edits, BallsBrushesRaysAndErosion)
{
    EXPECT_EQ(ballOffsets(1.0f).size(), 1u);
    EXPECT_EQ(ballOffsets(2.0f).size(), 7u);
    EXPECT_EQ(ballOffsets(2.5f).size(), 19u);  // reach 2, squared limit 2
    EXPECT_EQ(ballOffsets(3.0f).size(), 33u);
    EXPECT_EQ(ballOffsets(2.0f)[0], (CellIndex{-1, 0, 0}));

    // One Z view: a column of 10 cells at (4, 4) casts one dark pixel, so any
    // 9 of them may go, never the 10th.
    ShadowObject volume = emptyMaster(25.0f, {Z_PROJECTION, -1, -1});
    for (int z = 0; z < 10; ++z)
        volume.setOccupied({4, 4, z}, true);
    volume.create_reprojection_image_map(0, Z_PROJECTION);
    const GridBox box = unitBox();
    const Ray down(point(4.5f, 4.5f, 20.0f), point(0, 0, -1));  // first hit: (4, 4, 8)
    CellIndex picked;
    EXPECT_EQ(subtractBrush(volume, box, down, 2.0f, false, &picked), 3);  // (4, 4, 7), (4, 4, 8), (4, 4, 9)
    EXPECT_EQ(picked, (CellIndex{4, 4, 8}));
    EXPECT_EQ(addBrush(volume, box, down, 2.0f), 1);  // around (4, 4, 6): (4, 4, 7) again, on the dark ray only
    EXPECT_FALSE(volume.isOccupied({5, 4, 6}));       // a white ray: never added

    // All or nothing along a ray: the last cell of the column cannot go.
    const Ray along(point(4.5f, 4.5f, -3.0f), point(0, 0, 1));
    const int before = countOccupiedCells(volume);
    EXPECT_EQ(subtractRay(volume, box, along, true, 1.0f), 0);
    EXPECT_EQ(countOccupiedCells(volume), before);
    EXPECT_EQ(subtractRay(volume, box, along, false, 1.0f), before - 1);
    EXPECT_EQ(countOccupiedCells(volume), 1);
    EXPECT_TRUE(volume.areShadowsStillValid(true, true));

    // Erosion starts only where the start ball may go; then it walks on
    // (free cells are removable too) and carves what it may.
    EXPECT_EQ(erode(volume, box, along, 1000, 1.0f), 0);
    for (int z = 0; z < 10; ++z)
        volume.setOccupied({4, 4, z}, true);
    std::srand(7);
    EXPECT_EQ(erode(volume, box, down, 1000, 1.0f), 1000);
    EXPECT_LT(countOccupiedCells(volume), 10);
    EXPECT_TRUE(volume.areShadowsStillValid(true, true));
}

TEST(Edits, SmoothingThresholdsAndTheBoxOperations)
{
    ShadowObject volume = emptyMaster(25.0f, {Z_PROJECTION, -1, -1});
    for (int z = 0; z < 10; ++z)
        volume.setOccupied({4, 4, z}, true);
    volume.create_reprojection_image_map(0, Z_PROJECTION);
    EXPECT_EQ(smooth(volume, 3.0f, 1e9f), 9);  // no density is that high: every removable cell goes
    EXPECT_EQ(countOccupiedCells(volume), 1);
    // The kernel reaches 4 cells (exp(-16 / 3) <= 0.01): the 4 cells below
    // the one left get density and come back.
    EXPECT_EQ(smooth(volume, 3.0f, 0.0f), 4);
    EXPECT_EQ(countOccupiedCells(volume), 5);

    updateOccupiedBox(volume);
    EXPECT_EQ(std::vector<float>(volume._edit_box, volume._edit_box + 6), (std::vector<float>{4, 4, 5, 4, 4, 9}));
    EXPECT_EQ(removeCellsInBox(volume), 4);
    EXPECT_EQ(volume.history.size(), 3u);  // the box edits record nothing
    ShadowObject empty = emptyMaster(25.0f, {-1, -1, -1});
    updateOccupiedBox(empty);
    EXPECT_EQ(removeCellsInBox(empty), 0);
    EXPECT_EQ(removeBallsAtBoxBorder(empty, 10, 2.0f, 3.0f), 0);
}

// ---- components -------------------------------------------------------------------

TEST(Components, LabelsMainComponentJoinsAndCleanUp)
{
    ShadowObject volume = emptyMaster(25.0f, {-1, -1, -1});
    occupy(volume, {{0, 0, 0}, {1, 1, 0}});  // touching at an edge only
    std::vector<int> labels;
    std::vector<ComponentSeed> seeds;
    EXPECT_EQ(labelComponents(volume, labels, &seeds), 2);  // equal sizes: the later one
    ASSERT_EQ(seeds.size(), 2u);
    EXPECT_EQ(labels[volume.componentIndex(1, 1, 0)], 2);
    EXPECT_EQ(labels[volume.componentIndex(5, 5, 5)], 0);

    occupy(volume, {{1, 0, 0}});  // joins both: one component of three
    EXPECT_EQ(labelComponents(volume, labels), 1);
    occupy(volume, {{6, 0, 0}, {7, 0, 0}, {8, 0, 0}, {9, 0, 0}});
    EXPECT_EQ(labelComponents(volume, labels, &seeds), 2);  // the four cells are the main one now
    // Without views every free cell is addable: the gap (2..5, 0, 0) is bridged.
    EXPECT_EQ(autoConnectAll(volume), 4);
    EXPECT_EQ(labelComponents(volume, labels, &seeds), 1);
    volume.undo();  // one step for the whole join
    EXPECT_EQ(countOccupiedCells(volume), 7);

    // A bridge through a cell that is not addable is not built.
    ShadowObject blocked = emptyMaster(25.0f, {Z_PROJECTION, -1, -1});
    occupy(blocked, {{0, 0, 0}, {2, 0, 0}, {3, 0, 0}});
    blocked.create_reprojection_image_map(0, Z_PROJECTION);
    EXPECT_EQ(autoConnectAll(blocked), 0);

    // The clean-up: pieces of 5 cells go, 6 stay with their centroid.
    ShadowObject pieces = emptyMaster(25.0f, {-1, -1, -1});
    for (int z = 0; z < 5; ++z)
        pieces.setOccupied({0, 0, z}, true);
    for (int z = 0; z < 6; ++z)
        pieces.setOccupied({5, 5, z}, true);
    const CleanUp cleaned = makeOneComponent(pieces, 25.0f);
    EXPECT_EQ(cleaned.components, 2);
    EXPECT_EQ(cleaned.removed, 5);
    EXPECT_EQ(countOccupiedCells(pieces), 6);
    ASSERT_EQ(cleaned.centroids.size(), 1u);
    EXPECT_EQ(cleaned.centroids[0], point(5.5f * 25.0f, 5.5f * 25.0f, 3.0f * 25.0f));
}

// ---- the promise -------------------------------------------------------------------

// Occupied cells per ray, counted afresh for every cell's pixel.
int scannedRay(ShadowObject& volume, const CellIndex& c, int mode)
{
    const Pixel pixel = pixelOfCell(mode, c.x, c.y, c.z);
    int count = 0;
    for (const CellIndex& o : occupiedCells(volume))
        count += pixelOfCell(mode, o.x, o.y, o.z) == pixel ? 1 : 0;
    return count;
}

class EditsKeepShadows : public ::testing::TestWithParam<int> {};

// Random edits of every kind on a real hull: each keeps every shadow, the
// per-ray counts always equal a fresh scan, and undoing all of them restores
// the first occupancy exactly (redoing, the last).
TEST_P(EditsKeepShadows, RandomEditsOnBirdHulls)
{
    const int set = GetParam();
    DesignSession session;
    DesignSession::PictureFiles birds;
    for (int k = 0; k < 3; ++k)
        birds[std::size_t(k)] = bundledPicture("birds/bird1.png").replace("bird1", QStringLiteral("bird%1").arg(k + 1));
    ASSERT_TRUE(
        session.load({.set = set, .paths = birds, .cellSize = 10.0f, .how = DesignSession::Pictures::Plain}).ok());
    ASSERT_TRUE(session.compute().ok());
    ShadowObject& volume = *session.volume().master();
    const int n = volume.resolution();  // 25
    const std::vector<CellIndex> first = occupiedCells(volume);
    std::mt19937 random(set + 1);
    std::srand(set + 1);
    const GridBox box = unitBox(n);
    auto randomRay = [&] {
        std::uniform_real_distribution<float> inside(0.0f, float(n));
        const point target(inside(random), inside(random), inside(random));
        const point from = target + point(inside(random) - n / 2.0f, inside(random) - n / 2.0f, float(n)) * 2.0f;
        return Ray(from, target - from);
    };
    int steps = 0;
    for (int i = 0; i < 24; ++i) {
        const float r = float(1 + i % 3);
        switch (i % 8) {
        case 0: addBrush(volume, box, randomRay(), r); break;
        case 1: subtractBrush(volume, box, randomRay(), r, false); break;
        case 2: subtractBrush(volume, box, randomRay(), r, true); break;
        case 3: subtractRay(volume, box, randomRay(), i % 2 == 0, r); break;
        case 4: erode(volume, box, randomRay(), 50, r); break;
        case 5: removeRandomBalls(volume, 40, r); break;
        case 6: smooth(volume, 2.0f, 0.3f); break;
        default: autoConnectAll(volume);
        }
        ++steps;
        ASSERT_TRUE(volume.areShadowsStillValid(true, true)) << "edit " << i;
    }
    const std::vector<CellIndex> last = occupiedCells(volume);
    EXPECT_NE(last, first);
    int countMismatches = 0;
    for (int x = 0; x < n; x += 3)
        for (int y = 0; y < n; y += 2)
            for (int z = 0; z < n; z += 3)
                for (int mode : volume.viewModes())
                    countMismatches += volume.occupiedOnRay({x, y, z}, mode) != scannedRay(volume, {x, y, z}, mode);
    EXPECT_EQ(countMismatches, 0);

    while (volume.canUndo())
        volume.undo();
    EXPECT_EQ(occupiedCells(volume), first);
    while (volume.canRedo())
        volume.redo();
    EXPECT_EQ(occupiedCells(volume), last);
    EXPECT_LE(int(volume.history.size()) - 1, steps);
}

INSTANTIATE_TEST_SUITE_P(ProjectionSets, EditsKeepShadows, ::testing::Values(0, 1, 2));

}  // namespace
