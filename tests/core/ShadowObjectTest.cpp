// The voxel model: grid size, projection table, quantisation of a picture,
// the master build, the cube mesh, the shadow render, ownership of the owned
// grids and maps, and the edit history.

#include "ReferenceHull.h"
#include "SyntheticPictures.h"
#include "VolumeTestSupport.h"

#include "deform/Comparison.h"
#include "volume/DarkPixelSearch.h"
#include "volume/VolumeBuilder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace volume_test;

namespace {

// ---- grid size and projection table ----------------------------------------

TEST(ShadowObjectGrid, ResolutionIsFloorOf250OverCellSize)
{
    const struct {
        float cellSize;
        int n;
    } cases[] = {{25.0f, 10}, {3.0f, 83}, {1.5f, 166}, {1.7f, 147}, {8.0f, 31}, {5.0f, 50}, {6.25f, 40}};
    for (const auto& c : cases) {
        ShadowObject view(QString(), X_PROJECTION, nullptr, c.cellSize);
        EXPECT_EQ(view.resolution(), c.n) << c.cellSize;
        EXPECT_EQ(view.sizeX(), c.n);
        EXPECT_EQ(view.sizeY(), c.n);
        EXPECT_EQ(view.sizeZ(), c.n);
        EXPECT_EQ(view._slice_size, c.n * c.n);
        ShadowObject master(&view, c.cellSize);
        EXPECT_EQ(master.sizeX(), c.n);
        EXPECT_EQ(master.cellAt(c.n - 1, c.n - 1, c.n - 1).distance, -1.0f);
        EXPECT_EQ(master._view_modes, (std::vector<int>{-1, -1, -1}));
    }
}

TEST(ShadowObjectGrid, IsInGridExcludesNegativesAndN)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    ASSERT_EQ(master.resolution(), 10);
    EXPECT_TRUE(master.isInGrid({0, 0, 0}));
    EXPECT_TRUE(master.isInGrid({9, 9, 9}));
    EXPECT_TRUE(master.isInGrid({0, 9, 0}));
    for (const CellIndex c : {CellIndex{-1, 0, 0}, CellIndex{0, -1, 0}, CellIndex{0, 0, -1}, CellIndex{10, 0, 0},
                              CellIndex{0, 10, 0}, CellIndex{0, 0, 10}, CellIndex{9, 9, 10}})
        EXPECT_FALSE(master.isInGrid(c)) << c.x << " " << c.y << " " << c.z;
}

TEST(ShadowObjectGrid, ProjectionTableTruncatesTowardZero)
{
    EXPECT_EQ(pixelOfCell(X_PROJECTION, 3, 5, 7), (Pixel{5, 7}));
    EXPECT_EQ(pixelOfCell(Y_PROJECTION, 3, 5, 7), (Pixel{3, 7}));
    EXPECT_EQ(pixelOfCell(Z_PROJECTION, 3, 5, 7), (Pixel{3, 5}));
    EXPECT_EQ(pixelOfCell(FortyFive_PROJECTION, 3, 5, 7), (Pixel{5, 7}));  // 5.657
    EXPECT_EQ(pixelOfCell(Sixty_PROJECTION, 3, 5, 7), (Pixel{5, 7}));      // 5.098
    EXPECT_EQ(pixelOfCell(OneTwenty_PROJECTION, 3, 5, 7), (Pixel{0, 7}));  // 0.098
    // N = 10: the far corner lands beyond the 10-pixel picture at 45 and 60 degrees.
    EXPECT_EQ(pixelOfCell(FortyFive_PROJECTION, 9, 9, 2).column, 12);  // 12.73
    EXPECT_EQ(pixelOfCell(Sixty_PROJECTION, 9, 9, 2).column, 12);      // 12.29
    // 120 degrees: toward zero, not down (floor would give -1, -2, -1).
    EXPECT_EQ(pixelOfCell(OneTwenty_PROJECTION, 0, 1, 4), (Pixel{0, 4}));
    EXPECT_EQ(pixelOfCell(OneTwenty_PROJECTION, 0, 2, 4), (Pixel{-1, 4}));
    EXPECT_EQ(pixelOfCell(OneTwenty_PROJECTION, 0, 3, 4), (Pixel{-1, 4}));
    EXPECT_EQ(pixelOfCell(OneTwenty_PROJECTION, 1, 3, 4), (Pixel{0, 4}));
    // The constants are 0.7071 and 0.866, not the exact cosines.
    EXPECT_EQ(pixelOfCell(FortyFive_PROJECTION, 169, 169, 0).column, 238);  // 238.9998 (exact: 239.002)
    EXPECT_EQ(pixelOfCell(Sixty_PROJECTION, 153, 1, 0).column, 132);        // 132.998 (exact: 133.002)
    EXPECT_EQ(pixelOfCell(OneTwenty_PROJECTION, 153, 1, 0).column, 131);    // 131.998 (exact: 132.002)
}

// ---- quantisation -----------------------------------------------------------

TEST(Quantize, CellSize10SamplesPixelCentres)
{
    // Map pixel (7, 12) samples picture pixel (75, 125); its neighbours do not count.
    ShadowObject hit = quantizedView(pictureWithPixels({{75, 125}}), Z_PROJECTION, 10.0f);
    ASSERT_EQ(hit._image_map.first(), 25);
    EXPECT_EQ(hit._image_map.count(), 1u);
    EXPECT_EQ(hit._image_map.at(7, 12), 1);
    EXPECT_EQ(hit._image_map.at(12, 7), 0);  // [column][row], not [row][column]

    ShadowObject miss =
        quantizedView(pictureWithPixels({{74, 125}, {76, 125}, {75, 124}, {75, 126}}), Z_PROJECTION, 10.0f);
    EXPECT_EQ(miss._image_map.count(), 0u);

    // Cell size 3: half = 1, pixel (3i + 1, 3j + 1); cell size 1.7: half = 0.
    ShadowObject three = quantizedView(pictureWithPixels({{31, 7}, {30, 6}}), Z_PROJECTION, 3.0f);
    EXPECT_EQ(three._image_map.count(), 1u);
    EXPECT_EQ(three._image_map.at(10, 2), 1);
    ShadowObject small = quantizedView(pictureWithPixels({{17, 8}}), Z_PROJECTION, 1.7f);
    EXPECT_EQ(small._image_map.count(), 1u);
    EXPECT_EQ(small._image_map.at(10, 5), 1);  // trunc(10 * 1.7) = 17, trunc(5 * 1.7) = 8
}

TEST(Quantize, DarkOnlyWhenAllChannelsBelow100)
{
    const struct {
        QRgb color;
        bool dark;
    } cases[] = {
        {qRgb(99, 99, 99), true},    {qRgb(100, 100, 100), false}, {qRgb(101, 101, 101), false},
        {qRgb(0, 0, 0), true},       {qRgb(99, 99, 100), false},   {qRgb(99, 100, 99), false},
        {qRgb(100, 99, 99), false},  {qRgb(0, 0, 99), true},       {qRgb(255, 0, 0), false},
    };
    for (const auto& c : cases) {
        ShadowObject view = quantizedView(pictureWithPixels({{45, 15}}, c.color), Y_PROJECTION, 10.0f);
        EXPECT_EQ(view._image_map.at(4, 1), c.dark ? 1 : 0) << std::hex << c.color;
        EXPECT_EQ(view.hasDarkPixels(), c.dark);
    }
}

TEST(Quantize, MapsAndGridAfterQuantisation)
{
    ShadowObject view = quantizedView(syntheticPicture(Figure::Blobs, 3), X_PROJECTION, 5.0f);
    EXPECT_EQ(view._image.width(), 250);
    EXPECT_EQ(view._gray_and_not_treated.count(), 50u * 50u);
    EXPECT_EQ(view._occupancy_grid.sizeX(), 50);
    EXPECT_EQ(view._occupancy_grid.sizeZ(), 50);
    // A picture dark exactly at map pixel (y, z) = (2, 20) of an X view: every
    // cell (x, 2, 20) is inside, cell (x, 20, 2) is not.
    ShadowObject x = quantizedView(pictureWithPixels({{25, 205}}, 0xFF000000), X_PROJECTION, 10.0f);
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(x.cellAt(i, 2, 20).distance, 0.0f);
        EXPECT_EQ(x.cellAt(i, 20, 2).distance, float(std::sqrt(18.0 * 18 + 18 * 18)));
    }
}

TEST(Quantize, PicturesNotOf250AreScaledToWidth250)
{
    // 500 x 300 black: scaled to 250 x 150, so rows from 150 on lie outside the
    // picture and are light ground.
    QImage wide(500, 300, QImage::Format_RGB32);
    wide.fill(Qt::black);
    ShadowObject view = quantizedView(wide, Z_PROJECTION, 10.0f);
    EXPECT_EQ(view._image.size(), QSize(250, 150));
    for (int i = 0; i < 25; ++i)
        for (int j = 0; j < 25; ++j)
            EXPECT_EQ(view._image_map.at(i, j), 10 * j + 5 < 150 ? 1 : 0) << i << " " << j;
}

TEST(Quantize, MapMatchesReferenceOnSyntheticPictures)
{
    const struct {
        Figure figure;
        int width, height;
        float cellSize;
    } cases[] = {
        {Figure::Greys, 250, 250, 2.5f},   {Figure::Greys, 250, 250, 3.3f},  {Figure::Strokes, 250, 250, 1.7f},
        {Figure::Polygons, 180, 240, 3.0f}, {Figure::Blobs, 400, 300, 6.25f}, {Figure::Strokes, 333, 500, 7.0f},
        {Figure::Blobs, 100, 130, 2.0f},
    };
    unsigned seed = 11;
    for (const auto& c : cases) {
        const QImage picture = syntheticPicture(c.figure, ++seed, c.width, c.height);
        const reference::View expected(picture, Z_PROJECTION, c.cellSize);
        ShadowObject view = quantizedView(picture, Z_PROJECTION, c.cellSize);
        ASSERT_EQ(view._image_map.first(), expected.n());
        int mismatches = 0;
        for (int i = 0; i < expected.n(); ++i)
            for (int j = 0; j < expected.n(); ++j)
                mismatches += view._image_map.at(i, j) != (expected.dark(i, j) ? 1 : 0);
        EXPECT_EQ(mismatches, 0) << "cell size " << c.cellSize << ", " << c.width << " x " << c.height;
        EXPECT_EQ(int(view._image_map.count()), expected.darkCount());
    }
}

// ---- master build -----------------------------------------------------------

QImage blackPicture()
{
    QImage picture(250, 250, QImage::Format_RGB32);
    picture.fill(Qt::black);
    return picture;
}

TEST(MasterBuild, OccupiedIffEveryViewIsInsideAndCostSumsTheOthers)
{
    // N = 10. X and Y views dark everywhere; the Z view only at map pixel (0, 0).
    std::vector<ShadowObject> views;
    views.push_back(quantizedView(blackPicture(), X_PROJECTION, 25.0f));
    views.push_back(quantizedView(blackPicture(), Y_PROJECTION, 25.0f));
    views.push_back(quantizedView(pictureWithPixels({{12, 12}}), Z_PROJECTION, 25.0f));
    ShadowObject master(&views[0], 25.0f);
    master.cellAt(0, 0, 3).flags = CellFlags::GreedyAdded | CellFlags::Editable;
    master.cellAt(3, 4, 5).flags = CellFlags::GreedyAdded;
    master.buildFromViews(views);

    EXPECT_EQ(countOccupiedCells(master), 10);
    for (int z = 0; z < 10; ++z) {
        EXPECT_TRUE(master.isOccupied({0, 0, z}));
        EXPECT_EQ(master.cellAt(0, 0, z).cost, 0.0f);
    }
    EXPECT_FALSE(master.isOccupied({3, 4, 5}));
    EXPECT_EQ(master.cellAt(3, 4, 5).cost, 5.0f);  // the Z view's distance alone
    EXPECT_EQ(master.cellAt(1, 1, 0).cost, float(std::sqrt(2.0)));
    // Bit 4 is cleared, the others stay.
    EXPECT_EQ(master.cellAt(0, 0, 3).flags, CellFlags::Editable);
    EXPECT_EQ(master.cellAt(3, 4, 5).flags, 0);

    EXPECT_EQ(master._view_modes, (std::vector<int>{0, 1, 2}));
    ASSERT_EQ(master._source_views.size(), 3u);
    EXPECT_EQ(master._source_views[2], &views[2]);
    EXPECT_EQ(master._reprojection_image_map[2].count(), 1u);
    EXPECT_EQ(master._reprojection_image_map[2].at(0, 0), 1);
    EXPECT_EQ(master._reprojection_image_map[0].count(), 10u);  // (y = 0, z) for every z
    EXPECT_EQ(master._reprojection_image_map[0].at(0, 9), 1);
}

TEST(MasterBuild, MatchesReferenceForAllProjectionSets)
{
    for (int set = 0; set < 3; ++set) {
        const std::array<int, 3> modes = *projectionSetModes(set);
        const QImage pictures[3] = {syntheticPicture(Figure::Blobs, 40 + set), syntheticPicture(Figure::Polygons, 50),
                                    syntheticPicture(Figure::Ellipse, 0)};
        std::vector<ShadowObject> views;
        std::vector<reference::View> refViews;
        for (int k = 0; k < 3; ++k) {
            views.push_back(quantizedView(pictures[k], modes[k], 5.0f));
            refViews.emplace_back(pictures[k], modes[k], 5.0f);
        }
        const reference::Hull expected = reference::buildHull({&refViews[0], &refViews[1], &refViews[2]});
        std::unique_ptr<ShadowObject> master = buildMaster(views, 5.0f);
        int occupancyMismatches = 0, costMismatches = 0;
        for (int x = 0; x < 50; ++x)
            for (int y = 0; y < 50; ++y)
                for (int z = 0; z < 50; ++z) {
                    occupancyMismatches += master->isOccupied({x, y, z}) != expected.at(x, y, z);
                    costMismatches += master->cellAt(x, y, z).cost != expected.costAt(x, y, z);
                }
        EXPECT_GT(expected.count(), 100) << "set " << set;
        EXPECT_EQ(occupancyMismatches, 0) << "set " << set;
        EXPECT_EQ(costMismatches, 0) << "set " << set;
        EXPECT_EQ(countOccupiedCells(*master), expected.count());
    }
}

TEST(MasterBuild, DisjointViewsGiveAnEmptyVolumeAndMesh)
{
    // X view dark for y < 5 only (picture columns), Z view dark for y >= 5 only (picture rows).
    QImage left(250, 250, QImage::Format_RGB32), bottom(250, 250, QImage::Format_RGB32);
    left.fill(Qt::white);
    bottom.fill(Qt::white);
    for (int a = 0; a < 250; ++a)
        for (int b = 0; b < 125; ++b) {
            left.setPixel(b, a, 0xFF000000);
            bottom.setPixel(a, 125 + b, 0xFF000000);
        }
    std::vector<ShadowObject> views;
    views.push_back(quantizedView(left, X_PROJECTION, 25.0f));
    views.push_back(quantizedView(blackPicture(), Y_PROJECTION, 25.0f));
    views.push_back(quantizedView(bottom, Z_PROJECTION, 25.0f));
    std::unique_ptr<ShadowObject> master = buildMaster(views, 25.0f);
    EXPECT_EQ(countOccupiedCells(*master), 0);
    const TriMesh* mesh = master->buildShadowMesh();
    EXPECT_TRUE(mesh->vertices.empty());
    EXPECT_TRUE(mesh->faces.empty());
    EXPECT_EQ(master->_nof_mesh_cells, 0);
    EXPECT_TRUE(master->areShadowsStillValid(true, true));
}

// ---- cube mesh --------------------------------------------------------------

TEST(CubeMesh, LayoutOrderAndOutwardWinding)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    // Visited x, then y, then z: (1, 2, 3), (1, 2, 4), (4, 0, 0).
    master.setOccupied({4, 0, 0}, true);
    master.setOccupied({1, 2, 4}, true);
    master.setOccupied({1, 2, 3}, true);
    const TriMesh* mesh = master.buildShadowMesh();
    ASSERT_EQ(master._nof_mesh_cells, 3);
    ASSERT_EQ(mesh->vertices.size(), 24u);
    ASSERT_EQ(mesh->faces.size(), 36u);
    EXPECT_EQ(mesh, master._shadow_mesh.get());

    const CellIndex order[3] = {{1, 2, 3}, {1, 2, 4}, {4, 0, 0}};
    const int corner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const int triangles[12][3] = {{0, 3, 2}, {2, 1, 0}, {1, 2, 6}, {6, 5, 1}, {0, 1, 5}, {5, 4, 0},
                                  {0, 4, 7}, {7, 3, 0}, {2, 3, 7}, {7, 6, 2}, {4, 5, 6}, {6, 7, 4}};
    for (int n = 0; n < 3; ++n) {
        const CellIndex& c = order[n];
        for (int k = 0; k < 8; ++k)
            EXPECT_EQ(mesh->vertices[8 * n + k],
                      point(25.0f * (c.x + corner[k][0]), 25.0f * (c.y + corner[k][1]), 25.0f * (c.z + corner[k][2])))
                << "cell " << n << " corner " << k;
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
    EXPECT_EQ(mesh->normals.size(), mesh->vertices.size());

    float lo[3], hi[3];
    master.boundingBox(lo, hi);
    EXPECT_EQ(point(lo[0], lo[1], lo[2]), point(25, 0, 0));
    EXPECT_EQ(point(hi[0], hi[1], hi[2]), point(125, 75, 125));
}

TEST(CubeMesh, HollowModeSkipsOnlyHiddenCells)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    for (int x = 0; x < 10; ++x)
        for (int y = 0; y < 10; ++y)
            for (int z = 0; z < 10; ++z)
                master.setOccupied({x, y, z}, true);
    master._hollow = true;
    master.buildShadowMesh();
    EXPECT_EQ(master._nof_mesh_cells, 1000 - 8 * 8 * 8);  // border cells stay although fully surrounded
    EXPECT_EQ(master._shadow_mesh->vertices.size(), 8u * 488u);

    master.setOccupied({4, 4, 4}, false);  // exposes its six neighbours
    master.buildShadowMesh();
    EXPECT_EQ(master._nof_mesh_cells, 488 + 6);

    master._hollow = false;
    master.buildShadowMesh();
    EXPECT_EQ(master._nof_mesh_cells, 999);
    EXPECT_EQ(master._shadow_mesh->faces.size(), 12u * 999u);
}

TEST(CubeMesh, CellDataPerVertex)
{
    ShadowObject master = emptyMaster(25.0f, {Z_PROJECTION, -1, -1});
    master.setOccupied({1, 2, 3}, true);
    master.setOccupied({1, 2, 7}, true);  // same Z ray as (1, 2, 3): both removable
    master.setOccupied({4, 0, 0}, true);  // alone on its ray
    master.cellAt(4, 0, 0).flags = CellFlags::GreedyAdded;

    const TriMesh* plain = master.buildShadowMesh();
    ASSERT_TRUE(plain->has_cell_data);
    ASSERT_EQ(plain->cell_data.size(), 24u);
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(plain->cell_data[k], (TriMesh::CellData{0, k, 0, 3}));
        EXPECT_EQ(plain->cell_data[8 + k], (TriMesh::CellData{0, k, 0, 7}));
        EXPECT_EQ(plain->cell_data[16 + k], (TriMesh::CellData{0, k, 1, 0}));
    }

    master._display_flags = 1;  // highlight editable cells
    const TriMesh* highlighted = master.buildShadowMesh();
    EXPECT_EQ(highlighted->cell_data[0][0], 1);
    EXPECT_EQ(highlighted->cell_data[15][0], 1);
    EXPECT_EQ(highlighted->cell_data[16][0], 0);
    EXPECT_TRUE(master.cellAt(1, 2, 3).flags & CellFlags::Editable);
    EXPECT_FALSE(master.cellAt(4, 0, 0).flags & CellFlags::Editable);
}

// ---- shadow render ----------------------------------------------------------

TEST(ShadowRender, OneCellLandsOnItsPixelInEveryMode)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    master.setOccupied({3, 5, 7}, true);
    const QPoint expected[6] = {{5, 7}, {3, 7}, {3, 5}, {5, 7}, {5, 7}, {0, 7}};
    for (int mode = 0; mode < 6; ++mode) {
        const QImage shadow = master.renderShadow(mode);
        ASSERT_EQ(shadow.size(), QSize(10, 10));
        for (int c = 0; c < 10; ++c)
            for (int r = 0; r < 10; ++r)
                EXPECT_EQ(shadow.pixel(c, r), QPoint(c, r) == expected[mode] ? 0xFF000000u : 0xFFFFFFFFu)
                    << "mode " << mode << " pixel " << c << " " << r;
    }
}

TEST(ShadowRender, ObliqueColumnsOutsideThePictureAreNotDrawn)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    master.setOccupied({9, 9, 0}, true);  // column 12 at 45 and 60 degrees
    master.setOccupied({0, 2, 5}, true);  // column -1 at 120 degrees
    master.setOccupied({0, 9, 6}, true);  // column -4 at 120 degrees
    auto blackPixels = [](const QImage& image) {
        std::vector<QPoint> found;
        for (int r = 0; r < image.height(); ++r)
            for (int c = 0; c < image.width(); ++c)
                if (image.pixel(c, r) != 0xFFFFFFFFu)
                    found.push_back({c, r});
        return found;
    };
    EXPECT_EQ(blackPixels(master.renderShadow(FortyFive_PROJECTION)), (std::vector<QPoint>{{1, 5}, {6, 6}}));
    EXPECT_EQ(blackPixels(master.renderShadow(Sixty_PROJECTION)), (std::vector<QPoint>{{1, 5}, {4, 6}}));
    EXPECT_EQ(blackPixels(master.renderShadow(OneTwenty_PROJECTION)), (std::vector<QPoint>{{3, 0}}));
    master.setOccupied({0, 1, 5}, true);  // column trunc(-0.5) = 0
    EXPECT_EQ(blackPixels(master.renderShadow(OneTwenty_PROJECTION)), (std::vector<QPoint>{{3, 0}, {0, 5}}));
}

TEST(ShadowRender, ComparisonMarksMissingAndExtraPixels)
{
    // N = 10. X and Y views dark everywhere, the Z view at map pixels (0..2, 0).
    const QImage black = [] {
        QImage picture(250, 250, QImage::Format_RGB32);
        picture.fill(Qt::black);
        return picture;
    }();
    std::vector<ShadowObject> views;
    views.push_back(quantizedView(black, X_PROJECTION, 25.0f));
    views.push_back(quantizedView(black, Y_PROJECTION, 25.0f));
    views.push_back(quantizedView(pictureWithPixels({{12, 12}, {37, 12}, {62, 12}}), Z_PROJECTION, 25.0f));
    std::unique_ptr<ShadowObject> master = buildMaster(views, 25.0f);
    for (int z = 0; z < 10; ++z)
        master->setOccupied({1, 0, z}, false);  // pixel (1, 0) now missing
    master->setOccupied({5, 6, 7}, true);       // pixel (5, 6) now extra

    std::vector<ShadowObject*> pointers{&views[0], &views[1], &views[2]};
    const QImage comparison = comparisonImage(*master, Z_PROJECTION, pointers);
    ASSERT_EQ(comparison.size(), QSize(10, 10));
    for (int c = 0; c < 10; ++c)
        for (int r = 0; r < 10; ++r) {
            QRgb expected = 0xFFFFFFFF;
            if (r == 0 && (c == 0 || c == 2))
                expected = 0xFF000000;
            else if (r == 0 && c == 1)
                expected = 0xFFFA6400;  // orange: wanted, not cast
            else if (c == 5 && r == 6)
                expected = 0xFF993300;  // brown: cast, not wanted
            EXPECT_EQ(comparison.pixel(c, r), expected) << c << " " << r;
        }
    const ComparisonCounts counts = countComparison(comparison);
    EXPECT_EQ(counts.missing, 1);
    EXPECT_EQ(counts.extra, 1);

    // The last view with the mode decides; without one the plain shadow is drawn.
    ShadowObject otherZ = quantizedView(pictureWithPixels({{137, 162}}), Z_PROJECTION, 25.0f);
    pointers.push_back(&otherZ);
    EXPECT_EQ(countComparison(comparisonImage(*master, Z_PROJECTION, pointers)).missing, 0);
    EXPECT_EQ(countComparison(comparisonImage(*master, Z_PROJECTION, pointers)).extra, 2);
    EXPECT_EQ(comparisonImage(*master, Z_PROJECTION, {&views[0]}), master->renderShadow(Z_PROJECTION));
}

// ---- ownership --------------------------------------------------------------

TEST(ShadowObjectOwnership, VectorGrowthCopiesAndAssignmentsFreeEachGridOnce)
{
    const QImage pictures[3] = {syntheticPicture(Figure::Blobs, 1), syntheticPicture(Figure::Polygons, 2),
                                syntheticPicture(Figure::Strokes, 3)};
    const std::array<int, 3> modes = *projectionSetModes(2);
    QStringList destroyed;
    {
        DebugCapture capture;
        std::vector<ShadowObject> views;
        views.reserve(1);
        for (int k = 0; k < 3; ++k) {
            views.push_back(quantizedView(pictures[k], modes[k], 5.0f));  // grows: moves the earlier views
            views.back().nearestDarkPixel();
            views.back().squaredDistances();
        }
        std::unique_ptr<ShadowObject> master = buildMaster(views, 5.0f);
        master->buildShadowMesh();
        const int cells = countOccupiedCells(*master);
        ASSERT_GT(cells, 0);

        std::vector<ShadowObject> copies = views;  // copy of the whole sequence
        copies[0].cellAt(10, 20, 30).distance = 123.0f;
        copies[0]._image_map.at(5, 5) ^= 1;
        copies[0]._gray_and_not_treated.at(1, 1) = 0;
        EXPECT_NE(views[0].cellAt(10, 20, 30).distance, 123.0f);
        EXPECT_NE(views[0]._image_map.at(5, 5), copies[0]._image_map.at(5, 5));
        EXPECT_EQ(views[0]._gray_and_not_treated.at(1, 1), 1);
        // The copy's searches are its own (built again from the copied map).
        EXPECT_EQ(copies[1].nearestDarkPixel().size(), views[1].nearestDarkPixel().size());

        ShadowObject masterCopy(*master);
        ASSERT_TRUE(masterCopy._shadow_mesh);
        EXPECT_NE(masterCopy._shadow_mesh.get(), master->_shadow_mesh.get());
        masterCopy.setOccupied({0, 0, 0}, !master->isOccupied({0, 0, 0}));
        EXPECT_EQ(countOccupiedCells(*master), cells);

        copies[2] = views[0];  // copy-assignment over a quantised view
        EXPECT_EQ(copies[2]._projection_mode, modes[0]);
        ShadowObject& alias = copies[2];
        copies[2] = alias;  // self-assignment keeps everything
        EXPECT_EQ(copies[2]._image_map.count(), views[0]._image_map.count());
        EXPECT_EQ(copies[2].cellAt(49, 49, 49).distance, views[0].cellAt(49, 49, 49).distance);

        // Moves and assignments hand storage over without destroying an owner.
        EXPECT_TRUE(capture.lines.isEmpty()) << capture.lines.join(", ").toStdString();
        const float distance = views[1].cellAt(7, 8, 9).distance;
        views.clear();  // the copies and the master outlive the originals
        EXPECT_EQ(capture.lines.size(), 9);
        EXPECT_EQ(copies[1].cellAt(7, 8, 9).distance, distance);
        capture.lines.clear();
        copies.clear();
        master.reset();
        destroyed = capture.lines;
    }
    // Three views with grid and both maps, the master with its grid only.
    EXPECT_EQ(destroyed.count("deleted _occupancy_grid"), 4);
    EXPECT_EQ(destroyed.count("deleted _image_map"), 3);
    EXPECT_EQ(destroyed.count("deleted _gray_and_not_treated"), 3);
}

TEST(ShadowObjectOwnership, DestructorWritesOneLinePerOwnedStructure)
{
    DebugCapture capture;
    { ShadowObject empty; }
    EXPECT_TRUE(capture.lines.isEmpty());
    {
        ShadowObject view = quantizedView(syntheticPicture(Figure::Ellipse, 0), Z_PROJECTION, 25.0f);
        ShadowObject moved(std::move(view));  // the moved-from object owns nothing any more
    }
    EXPECT_EQ(capture.lines,
              (QStringList{"deleted _occupancy_grid", "deleted _image_map", "deleted _gray_and_not_treated"}));
    capture.lines.clear();
    { ShadowObject master = emptyMaster(25.0f, {-1, -1, -1}); }
    EXPECT_EQ(capture.lines, QStringList{"deleted _occupancy_grid"});
}

// ---- edit history -----------------------------------------------------------

TEST(EditHistory, UndoRedoAndDiscardedRedoSteps)
{
    ShadowObject master = emptyMaster(25.0f, {-1, -1, -1});
    EXPECT_FALSE(master.canUndo());
    EXPECT_FALSE(master.canRedo());
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
