// The voxel model: grid size, projection table, quantisation of a picture,
// the master build, the cube mesh, the shadow render, ownership of the owned
// grids and maps, and the edit history.

#include "ReferenceHull.h"
#include "SyntheticPictures.h"
#include "VolumeTestSupport.h"

#include "volume/Comparison.h"
#include "volume/DarkPixelSearch.h"
#include "volume/VolumeBuilder.h"

#include <gtest/gtest.h>

#include <vector>

using namespace volume_test;

namespace {

// Pixels of `image` that are not white, row by row.
std::vector<QPoint> drawnPixels(const QImage& image)
{
    std::vector<QPoint> found;
    for (int r = 0; r < image.height(); ++r)
        for (int c = 0; c < image.width(); ++c)
            if (image.pixel(c, r) != 0xFFFFFFFFu)
                found.push_back({c, r});
    return found;
}

// ---- grid size and projection table ----------------------------------------

TEST(ShadowObjectGrid, ResolutionIsFloorOf250OverCellSizeAndBordersAreExclusive)
{
    for (const auto& [cellSize, n] : {std::pair{25.0f, 10}, std::pair{1.7f, 147}, std::pair{6.25f, 40}}) {
        const ShadowView view(QImage(), QString(), X_PROJECTION, cellSize);
        EXPECT_EQ(view.resolution(), n) << cellSize;
        ShadowObject master(view, cellSize);
        EXPECT_EQ(master.resolution(), n);
        const int m = n - 1;
        EXPECT_TRUE(master.isInGrid({0, 0, 0}));
        EXPECT_TRUE(master.isInGrid({m, m, m}));
        for (const CellIndex out : {CellIndex{n, 0, 0}, CellIndex{0, n, 0}, CellIndex{0, 0, n}, CellIndex{-1, 0, 0},
                                    CellIndex{0, -1, 0}, CellIndex{0, 0, -1}})
            EXPECT_FALSE(master.isInGrid(out)) << out.x << " " << out.y << " " << out.z;
    }
}

// ---- master build -----------------------------------------------------------

TEST(MasterBuild, MatchesReferenceForAllProjectionSets)
{
    for (int set = 0; set < 3; ++set) {
        const std::array<int, 3> modes = *projectionSetModes(set);
        const QImage pictures[3] = {syntheticPicture(Painted::Blobs, 40 + set), syntheticPicture(Painted::Polygons, 50),
                                    syntheticPicture(Painted::Ellipse, 0)};
        std::vector<ShadowView> views;
        std::vector<reference::View> refViews;
        for (int k = 0; k < 3; ++k) {
            views.push_back(quantizedView(pictures[k], modes[k], 5.0f));
            refViews.emplace_back(pictures[k], modes[k], 5.0f);
        }
        const reference::Hull expected = reference::buildHull({&refViews[0], &refViews[1], &refViews[2]});
        ShadowObject master(views[0], 5.0f);
        master.setOccupied({0, 0, 3}, true);  // outside the hull in every set
        master.cellFlags(0, 0, 3) = CellFlags::GreedyAdded | CellFlags::Editable;
        master.buildFromViews(views);
        int occupancyMismatches = 0, costMismatches = 0, shadowMismatches = 0;
        for (int x = 0; x < 50; ++x)
            for (int y = 0; y < 50; ++y)
                for (int z = 0; z < 50; ++z) {
                    occupancyMismatches += master.isOccupied({x, y, z}) != expected.at(x, y, z);
                    costMismatches += master.cost(x, y, z) != expected.costAt(x, y, z);
                }
        for (int k = 0; k < 3; ++k) {
            const std::vector<std::uint8_t> shadow = reference::shadow(expected, modes[k]);
            for (int c = 0; c < 50; ++c)
                for (int r = 0; r < 50; ++r)
                    shadowMismatches += master.reprojectionMap(k).at(c, r) != shadow[c * 50 + r];
        }
        EXPECT_GT(expected.count(), 100) << "set " << set;
        EXPECT_EQ(occupancyMismatches, 0) << "set " << set;
        EXPECT_EQ(costMismatches, 0) << "set " << set;
        EXPECT_EQ(shadowMismatches, 0) << "set " << set;
        EXPECT_EQ(countOccupiedCells(master), expected.count());
        // The build frees the stale cell and clears its greedy flag only.
        EXPECT_FALSE(master.isOccupied({0, 0, 3}));
        EXPECT_EQ(master.cellAt(0, 0, 3).flags, CellFlags::Editable);
        EXPECT_EQ(master.viewModes(), std::vector<int>(modes.begin(), modes.end()));
        ASSERT_EQ(master.sourceViews().size(), 3u);
        EXPECT_EQ(master.sourceViews()[2], &views[2]);
    }
}

// ---- cube mesh --------------------------------------------------------------

TEST(CubeMesh, LayoutOrderOutwardWindingAndCellData)
{
    ShadowObject master = emptyMaster(25.0f, {Z_PROJECTION, -1, -1});
    // Visited x, then y, then z: (1, 2, 3), (1, 2, 4), (4, 0, 0). The first two
    // share a Z ray (both removable), the last is alone on its ray.
    const CellIndex order[3] = {{1, 2, 3}, {1, 2, 4}, {4, 0, 0}};
    for (int n = 2; n >= 0; --n)
        master.setOccupied(order[n], true);
    master.cellFlags(4, 0, 0) = CellFlags::GreedyAdded;
    const TriMesh* mesh = master.buildShadowMesh();
    ASSERT_EQ(master.meshCellCount(), 3);
    ASSERT_EQ(mesh->vertices.size(), 24u);
    ASSERT_EQ(mesh->faces.size(), 36u);
    ASSERT_EQ(mesh->cell_data.size(), 24u);
    EXPECT_TRUE(mesh->has_cell_data);
    EXPECT_EQ(mesh->normals.size(), mesh->vertices.size());

    const int corner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const int triangles[12][3] = {{0, 3, 2}, {2, 1, 0}, {1, 2, 6}, {6, 5, 1}, {0, 1, 5}, {5, 4, 0},
                                  {0, 4, 7}, {7, 3, 0}, {2, 3, 7}, {7, 6, 2}, {4, 5, 6}, {6, 7, 4}};
    for (int n = 0; n < 3; ++n) {
        const CellIndex& c = order[n];
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(mesh->vertices[8 * n + k],
                      point(25.0f * (c.x + corner[k][0]), 25.0f * (c.y + corner[k][1]), 25.0f * (c.z + corner[k][2])))
                << "cell " << n << " corner " << k;
            // State (not highlighted), corner, greedy flag, z.
            EXPECT_EQ(mesh->cell_data[8 * n + k], (TriMesh::CellData{0, k, n == 2 ? 1 : 0, c.z}));
        }
        const point centre(25.0f * (c.x + 0.5f), 25.0f * (c.y + 0.5f), 25.0f * (c.z + 0.5f));
        for (int t = 0; t < 12; ++t) {
            const TriMesh::Face& f = mesh->faces[12 * n + t];
            EXPECT_EQ(f, TriMesh::Face(8 * n + triangles[t][0], 8 * n + triangles[t][1], 8 * n + triangles[t][2]));
            const point& a = mesh->vertices[f[0]];
            const point normal = cross(mesh->vertices[f[1]] - a, mesh->vertices[f[2]] - a);
            const point outward = (a + mesh->vertices[f[1]] + mesh->vertices[f[2]]) * (1.0f / 3.0f) - centre;
            EXPECT_GT(dot(normal, outward), 0.0f) << "cell " << n << " triangle " << t;
        }
    }
    float lo[3], hi[3];
    master.boundingBox(lo, hi);
    EXPECT_EQ(point(lo[0], lo[1], lo[2]), point(25, 0, 0));
    EXPECT_EQ(point(hi[0], hi[1], hi[2]), point(125, 75, 125));

    master.setDisplayFlags(1);  // highlight editable cells
    const TriMesh* highlighted = master.buildShadowMesh();
    EXPECT_EQ(highlighted->cell_data[0][0], 1);
    EXPECT_EQ(highlighted->cell_data[15][0], 1);
    EXPECT_EQ(highlighted->cell_data[16][0], 0);
    EXPECT_TRUE(master.cellAt(1, 2, 3).flags & CellFlags::Editable);
    EXPECT_FALSE(master.cellAt(4, 0, 0).flags & CellFlags::Editable);
}

TEST(CubeMesh, HollowModeSkipsOnlyHiddenCells)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            for (int z = 0; z < 10; ++z)
                master.setOccupied({x, y, z}, true);
    master.setHollow(true);
    master.buildShadowMesh();
    EXPECT_EQ(master.meshCellCount(), 1000 - 8 * 8 * 8);  // border cells stay although fully surrounded
    EXPECT_EQ(master.shadowMesh()->vertices.size(), 8u * 488u);

    master.setOccupied({4, 4, 4}, false);  // exposes its six neighbours
    master.buildShadowMesh();
    EXPECT_EQ(master.meshCellCount(), 488 + 6);

    master.setHollow(false);
    master.buildShadowMesh();
    EXPECT_EQ(master.shadowMesh()->faces.size(), 12u * 999u);
}

// ---- shadow render ----------------------------------------------------------

TEST(ShadowRender, ComparisonColoursAndCounts)
{
    // N = 10; the volume is the single cell (1, 0, 0), Z pixel (1, 0); the
    // view wants (0, 0) and (5, 6).
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    master.setOccupied({1, 0, 0}, true);
    const ShadowView view = quantizedView(pictureWithPixels({{12, 12}, {137, 162}}), Z_PROJECTION, 25.0f);
    const QImage comparison = comparisonImage(master, view);
    EXPECT_EQ(drawnPixels(comparison), (std::vector<QPoint>{{0, 0}, {1, 0}, {5, 6}}));
    EXPECT_EQ(comparison.pixel(0, 0), 0xFFFA6400u);  // orange: wanted, not cast
    EXPECT_EQ(comparison.pixel(1, 0), 0xFF993300u);  // brown: cast, not wanted
    const ComparisonCounts counts = countComparison(comparison);
    EXPECT_EQ(counts.missing, 2);
    EXPECT_EQ(counts.extra, 1);
    EXPECT_EQ(counts.shadow, 1);
    EXPECT_EQ(missingPixels(comparison), (std::vector<Pixel>{{0, 0}, {5, 6}}));
    master.setOccupied({5, 6, 9}, true);
    EXPECT_EQ(comparisonImage(master, view).pixel(5, 6), 0xFF000000u);  // black: wanted and cast
}

// ---- ownership --------------------------------------------------------------

TEST(ShadowObjectOwnership, CopiesAreIndependentAndEachMapIsFreedOnce)
{
    const QImage pictures[3] = {syntheticPicture(Painted::Blobs, 1), syntheticPicture(Painted::Polygons, 2),
                                syntheticPicture(Painted::Strokes, 3)};
    const std::array<int, 3> modes = *projectionSetModes(2);
    QStringList destroyed;
    {
        DebugCapture capture;
        std::vector<ShadowView> views;
        views.reserve(1);
        for (int k = 0; k < 3; ++k) {
            views.push_back(quantizedView(pictures[k], modes[k], 5.0f));  // grows: moves the earlier views
            views.back().nearestDarkPixel();
        }
        std::unique_ptr<ShadowObject> master = buildMaster(views, 5.0f);
        master->buildShadowMesh();
        const int cells = countOccupiedCells(*master);
        ASSERT_GT(cells, 0);

        std::vector<ShadowView> copies = views;  // copy of the whole sequence
        copies[0].zeroDistance({10, 20, 30});
        copies[0]._image_map.at(5, 5) ^= 1;
        copies[0]._gray_and_not_treated.at(1, 1) = 0;
        EXPECT_EQ(copies[0].distance(10, 20, 30), 0.0f);
        EXPECT_NE(views[0].distance(10, 20, 30), 0.0f);
        EXPECT_NE(views[0]._image_map.at(5, 5), copies[0]._image_map.at(5, 5));
        EXPECT_EQ(views[0]._gray_and_not_treated.at(1, 1), 1);
        EXPECT_EQ(copies[1].nearestDarkPixel().size(), views[1].nearestDarkPixel().size());

        ShadowObject masterCopy(*master);
        ASSERT_TRUE(masterCopy.shadowMesh());
        EXPECT_NE(masterCopy.shadowMesh(), master->shadowMesh());
        masterCopy.setOccupied({0, 0, 0}, !master->isOccupied({0, 0, 0}));
        EXPECT_EQ(countOccupiedCells(*master), cells);

        copies[2] = views[0];  // copy-assignment over a quantised view
        ShadowView& alias = copies[2];
        copies[2] = alias;  // self-assignment keeps everything
        EXPECT_EQ(copies[2]._projection_mode, modes[0]);
        EXPECT_EQ(copies[2].distance(49, 49, 49), views[0].distance(49, 49, 49));

        // Moves and assignments hand storage over without destroying an owner.
        EXPECT_TRUE(capture.lines.isEmpty()) << capture.lines.join(", ").toStdString();
        const float distance = views[1].distance(7, 8, 9);
        master.reset();  // the volume refers to the views: it goes first
        views.clear();
        EXPECT_EQ(copies[1].distance(7, 8, 9), distance);
        copies.clear();
        destroyed = capture.lines;
    }
    // Six views with both maps, the master with its grid.
    EXPECT_EQ(destroyed.count("deleted _occupancy_grid"), 1);
    EXPECT_EQ(destroyed.count("deleted _image_map"), 6);
    EXPECT_EQ(destroyed.count("deleted _gray_and_not_treated"), 6);

    // The diagnostic lines are off unless asked for.
    DebugCapture quiet(false);
    { const ShadowView gone = quantizedView(pictures[0], X_PROJECTION, 10.0f); }
    EXPECT_TRUE(quiet.lines.isEmpty());
}

// ---- edit history -----------------------------------------------------------

TEST(EditHistory, UndoRedoAndDiscardedRedoSteps)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    EXPECT_FALSE(master.canUndo() || master.canRedo());
    master.undo();
    master.redo();
    EXPECT_EQ(countOccupiedCells(master), 0);

    auto edit = [&](std::initializer_list<CellIndex> cells) {
        EditableShadowObject::Snapshot snapshot;
        master.takeSnapshot(snapshot);
        for (const CellIndex& c : cells)
            master.setOccupied(c, !master.isOccupied(c));
        master.recordEdit(snapshot);
    };
    edit({{1, 2, 3}, {9, 0, 0}});  // A
    edit({{0, 0, 9}, {1, 2, 3}});  // B: (1, 2, 3) back to free
    ASSERT_EQ(master.history.size(), 3u);
    EXPECT_EQ(*master.history[2], (EditableShadowObject::CellList{{0, 0, 9}, {1, 2, 3}}));  // x, y, z order
    master.undo();
    EXPECT_TRUE(master.isOccupied({1, 2, 3}));
    EXPECT_FALSE(master.isOccupied({0, 0, 9}));
    EXPECT_TRUE(master.canRedo());
    master.redo();
    EXPECT_FALSE(master.isOccupied({1, 2, 3}));
    EXPECT_TRUE(master.isOccupied({0, 0, 9}));
    master.undo();

    edit({{5, 5, 5}});  // C from the middle: B is gone
    EXPECT_FALSE(master.canRedo());
    master.undo();
    EXPECT_EQ(countOccupiedCells(master), 2);  // the state after A
    EXPECT_TRUE(master.isOccupied({9, 0, 0}));
    master.undo();
    EXPECT_EQ(countOccupiedCells(master), 0);
    EXPECT_FALSE(master.canUndo());

    master.redo();
    edit({});  // changes nothing: nothing recorded, pending redo dropped
    EXPECT_FALSE(master.canRedo());
    EXPECT_EQ(master.cursor, 1);
}

}  // namespace
