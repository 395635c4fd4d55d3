// Picture repair (regions of missing pixels, repair steps, snapping),
// greedy layers and finalisation, on small hand-made views.

#include "SyntheticPictures.h"
#include "VolumeTestSupport.h"

#include "deform/DeformationModel.h"
#include "deform/GreedyLayers.h"
#include "deform/ImageAdjustment.h"
#include "volume/Comparison.h"
#include "volume/Finalization.h"
#include "volume/VolumeBuilder.h"

#include <cmath>

#include <gtest/gtest.h>

namespace {

constexpr float kCell = 10.0f;  // N = 25: map pixel (i, j) samples picture pixel (10i + 5, 10j + 5)
constexpr int kN = 25;

// A view whose dark map is exactly the given map pixels.
ShadowView makeView(int mode, const std::vector<Pixel>& dark)
{
    QImage picture(250, 250, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (const Pixel& p : dark)
        picture.setPixel(p.column * 10 + 5, p.row * 10 + 5, 0xFF000000);
    return volume_test::quantizedView(picture, mode, kCell);
}

std::vector<ShadowView> makeViews(const std::vector<std::pair<int, std::vector<Pixel>>>& modesAndDark)
{
    std::vector<ShadowView> views;
    for (const auto& [mode, dark] : modesAndDark)
        views.push_back(makeView(mode, dark));
    return views;
}

std::vector<ShadowView*> pointers(std::vector<ShadowView>& views)
{
    std::vector<ShadowView*> p;
    for (ShadowView& v : views)
        p.push_back(&v);
    return p;
}

std::vector<Pixel> block(int c0, int r0, int c1, int r1)
{
    std::vector<Pixel> pixels;
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r)
            pixels.push_back({c, r});
    return pixels;
}

// An N x N comparison image, orange at the given pixels, white elsewhere.
QImage withMissing(const std::vector<Pixel>& missing)
{
    QImage image(kN, kN, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (const Pixel& p : missing)
        image.setPixel(p.column, p.row, ComparisonColor::Missing);
    return image;
}

std::array<QImage, 3> comparisons(const ShadowObject& master, const std::vector<ShadowView>& views)
{
    return {comparisonImage(master, views[0]), comparisonImage(master, views[1]), comparisonImage(master, views[2])};
}

}  // namespace

TEST(RepairRegions, LargestRegionOfMinSizeFirstInColumnMajorScan)
{
    ShadowView view = makeView(X_PROJECTION, {});
    EXPECT_TRUE(markComponentToBeProcessed(QImage(), view, 1).empty());
    // A lone pixel never reaches minSize 2; two diagonal neighbours are one region.
    PixelList region = markComponentToBeProcessed(withMissing({{3, 3}, {10, 10}, {11, 11}}), view, 2);
    EXPECT_EQ(region, (PixelList{{10, 10}, {11, 11}}));
    // Every orange pixel was marked treated, the lone one too.
    EXPECT_EQ(view._gray_and_not_treated.at(3, 3), 0);
    EXPECT_EQ(view._gray_and_not_treated.at(11, 11), 0);
    EXPECT_EQ(view._gray_and_not_treated.at(4, 4), 1);
    // A second call finds nothing until the view is quantised again.
    EXPECT_TRUE(markComponentToBeProcessed(withMissing({{10, 10}, {11, 11}}), view, 1).empty());

    // Regions of 5 (column 15), 5 (column 2) and 3 pixels: column 2 is scanned first.
    view = makeView(X_PROJECTION, {});
    std::vector<Pixel> missing = block(15, 0, 15, 4);
    for (const Pixel& p : block(2, 20, 2, 24))
        missing.push_back(p);
    for (const Pixel& p : block(8, 8, 8, 10))
        missing.push_back(p);
    region = markComponentToBeProcessed(withMissing(missing), view, 2);
    ASSERT_EQ(region.size(), 5u);
    EXPECT_EQ(region[0], (Pixel{2, 20}));
    EXPECT_EQ(region[1], (Pixel{2, 21}));  // breadth-first: the seed's neighbour comes next
}

TEST(RepairStep, CheapestRayCellWithinTheThresholdIsRequestedOnce)
{
    // The X view misses (5, 5). Its ray cell (t, 5, 5) has Y pixel (t, 5) and
    // Z pixel (t, 5); its cost is the sum of their squared distances to the
    // Y and Z figures.
    const std::vector<Pixel> zRow5 = block(0, 5, kN - 1, 5);
    const struct {
        const char* what;
        std::vector<Pixel> yDark, zDark;
        float threshold;
        RequestList y, z;
    } cases[] = {
        {"cost 0 at t = 9: nothing to ask", {{9, 5}}, zRow5, 16.0f, {}, {}},
        {"least cost 4 + 4 at t = 7", {{5, 5}, {13, 5}}, {{9, 5}}, 8.0f, {point(7, 5, 0)}, {point(7, 5, 0)}},
        {"least cost 8 above threshold 7", {{5, 5}, {13, 5}}, {{9, 5}}, 7.0f, {}, {}},
        {"distance 4 accepts cost 16", {{9, 1}}, zRow5, 4.0f * 4.0f, {point(9, 5, 0)}, {}},
        {"distance 4 refuses cost 17", {{9, 1}}, block(0, 4, kN - 1, 4), 4.0f * 4.0f, {}, {}},
        {"equal costs 1 at t = 2 and 12: the first", {{2, 4}, {12, 4}}, {{2, 5}, {12, 5}}, 16.0f, {point(2, 5, 0)}, {}},
    };
    for (const auto& c : cases) {
        std::vector<ShadowView> views =
            makeViews({{X_PROJECTION, {{5, 5}}}, {Y_PROJECTION, c.yDark}, {Z_PROJECTION, c.zDark}});
        std::array<RequestList, 3> requests;
        for (int call = 0; call < 2; ++call)  // an accepted voxel is requested once
            repairRegion({{5, 5}}, 0, pointers(views), c.threshold, requests);
        EXPECT_TRUE(requests[0].empty()) << c.what;
        EXPECT_EQ(requests[1], c.y) << c.what;
        EXPECT_EQ(requests[2], c.z) << c.what;
        for (const point& p : requests[1]) {
            EXPECT_EQ(views[1].distance(int(p[0]), 5, 5), 0.0f) << c.what;
            EXPECT_EQ(views[2].distance(int(p[0]), 5, 5), 0.0f) << c.what;
        }
    }
}

TEST(RepairStep, ObliqueCandidatesFollowTheColumn)
{
    // Set-up X, 60, 120; the 60 view misses (10, 3): its candidates are the
    // cells (x, y, 3) with trunc(0.866 x + 0.5 y) = 10. X is dark everywhere,
    // 120 only at (3, 4), one row off: the cheapest candidate (cost 1) is the
    // only one in 120-column 3, (8, 7, 3), and 120 is asked for (3, 3).
    std::vector<ShadowView> views = makeViews({{X_PROJECTION, block(0, 0, kN - 1, kN - 1)},
                                                 {Sixty_PROJECTION, {{10, 3}}},
                                                 {OneTwenty_PROJECTION, {{3, 4}}}});
    std::array<RequestList, 3> requests;
    repairRegion({{10, 3}}, 1, pointers(views), 1.0f, requests);
    EXPECT_TRUE(requests[0].empty());
    EXPECT_EQ(requests[2], (RequestList{point(3, 3, 0)}));
    EXPECT_EQ(views[2].distance(8, 7, 3), 0.0f);
}

TEST(RepairHandles, ConsecutiveDuplicatesDroppedAndSnappedToNearestDarkPixel)
{
    const RequestList requests = {point(3, 5, 0), point(3, 5, 0), point(4, 5, 0), point(3, 5, 0)};
    EXPECT_EQ(withoutRepeats(requests), (RequestList{point(3, 5, 0), point(4, 5, 0), point(3, 5, 0)}));

    ShadowView view = makeView(Y_PROJECTION, {{10, 5}, {0, 20}});
    std::vector<point> sources, targets;
    snapToHandles(view, requests, sources, targets);
    ASSERT_EQ(sources.size(), 3u);
    EXPECT_EQ(sources[0], point(10, 5, 0));
    EXPECT_EQ(targets[1], point(4, 5, 0));
}

TEST(RepairAdjustment, TwoStepsPerViewSecondFindsNothing)
{
    // X wants row z = 5, Y wants z = 6: the hull is empty and every dark
    // pixel is missing.
    auto run = [](int loopCount) {
        std::vector<ShadowView> views = makeViews({{X_PROJECTION, block(5, 5, 6, 5)},
                                                   {Y_PROJECTION, block(10, 6, 12, 6)},
                                                   {Z_PROJECTION, block(10, 4, 12, 7)}});
        std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
        AdjustParameters parameters;
        parameters.loopCount = loopCount;
        return adjustImages(pointers(views), comparisons(*master, views), {}, parameters).value().handles;
    };
    const std::array<int, 3> six = run(6);
    // The second round of steps finds every region treated: same handles.
    EXPECT_EQ(six, run(3));
    EXPECT_GE(six[0], 1);
    EXPECT_GE(six[1], 1);
}

TEST(RepairAdjustment, HandlesAreInPixelsOfTheDeformablePicture)
{
    // One repair step: X misses (5, 5); its cheapest ray cell (7, 5, 5) asks
    // Y for map pixel (7, 5), which snaps to Y's dark pixel (5, 5). A map
    // pixel is cell size x 200 / 250 = 8 pixels of the 200-wide picture, so
    // the handle goes from (40, 40) to (56, 40).
    std::vector<ShadowView> views =
        makeViews({{X_PROJECTION, {{5, 5}}}, {Y_PROJECTION, {{5, 5}, {13, 5}}}, {Z_PROJECTION, {{9, 5}}}});
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    TriMesh mesh;
    mesh.vertices = {point(40, 40, 0), point(140, 40, 0), point(40, 140, 0)};
    mesh.faces = {TriMesh::Face(0, 1, 2)};
    DeformationModel picture;
    picture.set_image_mesh(mesh, mesh.vertices, {1.0f, 1.0f, 1.0f});
    AdjustParameters parameters;
    parameters.loopCount = 1;
    parameters.minSize = 1;
    parameters.preserveShape = false;
    const Result<AdjustmentStats> adjusted =
        adjustImages(pointers(views), comparisons(*master, views), {nullptr, &picture, nullptr}, parameters);
    ASSERT_TRUE(adjusted.ok());
    EXPECT_EQ(adjusted.value().handles, (std::array<int, 3>{0, 1, 1}));
    const std::vector<point>& moved = picture._image_mesh.vertices;
    EXPECT_FLOAT_EQ(moved[0][0], 40.0f + 0.3f * 16.0f);  // on the source: 0.3 of the way
    EXPECT_FLOAT_EQ(moved[0][1], 40.0f);
    EXPECT_NEAR(moved[1][0], 140.0f + 0.3f * 16.0f * std::exp(-3.0f), 1e-4);
}

// Adjustment and finalisation handle the axis set-up only: on another they
// refuse and change nothing.
TEST(RepairAdjustment, UnsupportedSetupsAreRefusedAndChangeNothing)
{
    std::vector<ShadowView> views =
        makeViews({{X_PROJECTION, {{1, 1}}}, {Y_PROJECTION, {{1, 1}}}, {Sixty_PROJECTION, {{1, 1}}}});
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    const Result<AdjustmentStats> adjusted =
        adjustImages(pointers(views), comparisons(*master, views), {}, AdjustParameters());
    EXPECT_EQ(adjusted.error(), QStringLiteral("adjustImages_released: unhandled case"));
    EXPECT_EQ(views[0]._gray_and_not_treated.count(), std::size_t(kN * kN));
    EXPECT_EQ(fillMissingPixels(*master, pointers(views), X_PROJECTION, {{1, 1}}, 1.0f).error(),
              QStringLiteral("finalizeOptimization_released: unhandled case"));
    EXPECT_EQ(countOccupiedCells(*master), 1);
}

// ---- greedy layers ------------------------------------------------------------

TEST(GreedyLayers, CandidatesNeedOneViewInsideAndTheOtherNear)
{
    // X misses (5, 5). Cell (5, 5, 5): Y (5, 5) distance 0, Z (5, 5) distance
    // 4 from (7, 5) -- not < 4. Cell (6, 5, 5): Y and Z distance 1, neither 0.
    // Cell (7, 5, 5): Y distance 4, Z 0. Nothing qualifies.
    std::vector<ShadowView> views =
        makeViews({{X_PROJECTION, {{5, 5}}}, {Y_PROJECTION, {{5, 5}}}, {Z_PROJECTION, {{7, 5}}}});
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    EXPECT_EQ(greedyStep(*master, v), 0);
    EXPECT_FALSE(master->cellAt(5, 5, 5).occupied);
    EXPECT_FALSE(master->cellAt(6, 5, 5).occupied);

    // Z dark at (6, 5) instead: cell (5, 5, 5) has Y 0 and Z 1 -> qualifies.
    views[2] = makeView(Z_PROJECTION, {{6, 5}});
    master = buildMaster(views, kCell);
    EXPECT_EQ(greedyStep(*master, {v[0], v[1]}), 0);
    greedyStep(*master, v);
    EXPECT_TRUE(master->cellAt(5, 5, 5).occupied);
    EXPECT_EQ(master->cellAt(5, 5, 5).flags & CellFlags::GreedyAdded, CellFlags::GreedyAdded);
}

TEST(GreedyLayers, CoveredPixelAddsNothingAndEqualCandidatesTakeTheFirst)
{
    // The hull is the single cell (6, 9, 5). X misses (5, 5): its ray cells
    // (4, 5, 5) and (6, 5, 5) are inside Y and one pixel off Z, m = 1 for both;
    // the axis set-up takes the first in ray order. Y's pixel (6, 5) is
    // covered by the hull cell, so nothing else adds (6, 5, 5).
    std::vector<ShadowView> views = makeViews({{X_PROJECTION, {{5, 5}, {9, 5}}},
                                                 {Y_PROJECTION, {{4, 5}, {6, 5}}},
                                                 {Z_PROJECTION, {{4, 6}, {6, 6}, {6, 9}}}});
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    ASSERT_EQ(countOccupiedCells(*master), 1);
    ASSERT_TRUE(master->cellAt(6, 9, 5).occupied);
    greedyStep(*master, v);
    EXPECT_TRUE(master->cellAt(4, 5, 5).occupied);
    EXPECT_FALSE(master->cellAt(6, 5, 5).occupied);
    EXPECT_TRUE(master->cellAt(6, 6, 5).occupied);  // chosen for Z's pixel (6, 6)
    EXPECT_EQ(master->cellAt(4, 5, 5).flags & CellFlags::GreedyAdded, CellFlags::GreedyAdded);
    EXPECT_EQ(master->cellAt(6, 9, 5).flags & CellFlags::GreedyAdded, 0);

    // Every dark pixel is covered now: a second step adds nothing.
    const int after = countOccupiedCells(*master);
    greedyStep(*master, v);
    EXPECT_EQ(countOccupiedCells(*master), after);
}

TEST(GreedyLayers, ObliqueSetUpsTakeEveryCandidate)
{
    // Views X, Y, 45. X wants row z = 5, Y only (2, 6), 45 only (4, 5): no
    // cell is occupied. A cell of row 5 is inside X; its Y distance is
    // (x - 2)^2 + 1, below 4 for x = 1, 2, 3. The 45-degree pixel (4, 5)
    // holds the cells with x + y = 6 or 7: six of them qualify, and all six
    // are added (an axis set-up would take one).
    std::vector<ShadowView> views = makeViews(
        {{X_PROJECTION, block(0, 5, kN - 1, 5)}, {Y_PROJECTION, {{2, 6}}}, {FortyFive_PROJECTION, {{4, 5}}}});
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    ASSERT_EQ(countOccupiedCells(*master), 0);
    greedyStep(*master, pointers(views));
    const std::vector<CellIndex> expected = {{1, 5, 5}, {1, 6, 5}, {2, 4, 5}, {2, 5, 5}, {3, 3, 5}, {3, 4, 5}};
    std::vector<CellIndex> added;
    for (int x = 0; x < kN; ++x)
        for (int y = 0; y < kN; ++y)
            for (int z = 0; z < kN; ++z)
                if (master->isOccupied({x, y, z}) && (master->cellAt(x, y, z).flags & CellFlags::GreedyAdded))
                    added.push_back({x, y, z});
    EXPECT_EQ(added, expected);
    EXPECT_EQ(countOccupiedCells(*master), 6);
}

// ---- finalisation -------------------------------------------------------------

TEST(Finalization, ThresholdZeroNeedsBothOtherViewsDarkAndFirstMinimumWins)
{
    // The hull holds (3, 5, 5) and (8, 5, 5); carving both away leaves the X
    // pixel (5, 5) missing, and both cells cost 0 to add back.
    std::vector<ShadowView> views =
        makeViews({{X_PROJECTION, {{5, 5}}}, {Y_PROJECTION, {{3, 5}, {8, 5}}}, {Z_PROJECTION, {{3, 5}, {8, 5}}}});
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    ASSERT_EQ(countOccupiedCells(*master), 2);
    master->setOccupied({3, 5, 5}, false);
    master->setOccupied({8, 5, 5}, false);
    const std::vector<Pixel> marked = missingPixels(comparisonImage(*master, views[0]));
    EXPECT_EQ(marked, (std::vector<Pixel>{{5, 5}}));
    EXPECT_EQ(fillMissingPixels(*master, v, X_PROJECTION, marked, 0.0f).value(), 1);
    EXPECT_TRUE(master->isOccupied({3, 5, 5}));
    EXPECT_FALSE(master->isOccupied({8, 5, 5}));

    // Z one row off: the best cell costs 1, above threshold 0, at threshold 1.
    views[2] = makeView(Z_PROJECTION, {{3, 6}, {8, 6}});
    master = buildMaster(views, kCell);
    EXPECT_EQ(fillMissingPixels(*master, v, X_PROJECTION, marked, 0.0f).value(), 0);
    EXPECT_FALSE(master->isOccupied({3, 5, 5}));
    EXPECT_EQ(fillMissingPixels(*master, v, X_PROJECTION, marked, 1.0f).value(), 1);
    EXPECT_TRUE(master->isOccupied({3, 5, 5}));
}

TEST(ResolutionIncrease, CellSizeFloorIsOneAndAHalf)
{
    EXPECT_FLOAT_EQ(finerCellSize(4.0f), 3.5f);
    EXPECT_FLOAT_EQ(finerCellSize(1.8f), 1.5f);
    EXPECT_FLOAT_EQ(finerCellSize(1.5f), 1.5f);
}
