// Picture repair (regions of missing pixels, repair steps, snapping, the
// progress schedule), greedy layers and finalisation, on small hand-made views.

#include "deform/Comparison.h"
#include "deform/DeformationModel.h"
#include "deform/DesignSession.h"
#include "deform/GreedyLayers.h"
#include "deform/ImageAdjustment.h"
#include "volume/Finalization.h"
#include "volume/VolumeBuilder.h"

#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>

namespace {

constexpr float kCell = 10.0f;  // N = 25: map pixel (i, j) samples picture pixel (10i + 5, 10j + 5)
constexpr int kN = 25;

// A view whose dark map is exactly the given pixels.
ShadowObject makeView(int mode, const std::vector<Pixel>& dark)
{
    QImage picture(250, 250, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (const Pixel& p : dark)
        for (int dx = 0; dx < 10; ++dx)
            for (int dy = 0; dy < 10; ++dy)
                picture.setPixel(p.column * 10 + dx, p.row * 10 + dy, 0xFF000000);
    ShadowObject view;
    view._projection_mode = mode;
    view._cell_size = kCell;
    view._size_x = view._size_y = view._size_z = kN;
    view._slice_size = kN * kN;
    view._image = picture;
    view.quantize(100, 100, 100, false);
    return view;
}

std::vector<Pixel> block(int c0, int r0, int c1, int r1)
{
    std::vector<Pixel> pixels;
    for (int c = c0; c <= c1; ++c)
        for (int r = r0; r <= r1; ++r)
            pixels.push_back({c, r});
    return pixels;
}

std::vector<ShadowObject*> pointers(std::vector<ShadowObject>& views)
{
    std::vector<ShadowObject*> p;
    for (ShadowObject& v : views)
        p.push_back(&v);
    return p;
}

// A comparison picture as the window shows it: N x N, orange at the given
// pixels, white elsewhere, scaled to width 200.
QImage shownWithMissing(const std::vector<Pixel>& missing)
{
    QImage image(kN, kN, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (const Pixel& p : missing)
        image.setPixel(p.column, p.row, ComparisonColor::Missing);
    return image.scaledToWidth(200, Qt::FastTransformation);
}

}  // namespace

TEST(RepairRegions, ShownPictureRoundTripKeepsEveryPixel)
{
    // The region finder reads the 200-wide picture scaled back to N.
    for (int n : {25, 50, 83, 166}) {
        QImage image(n, n, QImage::Format_RGB32);
        image.fill(Qt::white);
        for (int i = 0; i < n; i += 3)
            image.setPixel(i, (i * 7) % n, ComparisonColor::Missing);
        const QImage back = image.scaledToWidth(200, Qt::FastTransformation).scaledToWidth(n, Qt::FastTransformation);
        EXPECT_EQ(back, image) << "n = " << n;
    }
}

TEST(RepairRegions, MinSizeAndDiagonalNeighbours)
{
    ShadowObject view = makeView(X_PROJECTION, {});
    // A lone pixel never reaches minSize 2; two diagonal neighbours are one region.
    PixelList region = markComponentToBeProcessed(kN, shownWithMissing({{3, 3}, {10, 10}, {11, 11}}), view, 2);
    ASSERT_EQ(region.size(), 2u);
    EXPECT_EQ(region[0], (Pixel{10, 10}));
    EXPECT_EQ(region[1], (Pixel{11, 11}));
    // Every orange pixel was marked treated, the lone one too.
    EXPECT_EQ(view._gray_and_not_treated.at(3, 3), 0);
    EXPECT_EQ(view._gray_and_not_treated.at(11, 11), 0);
    EXPECT_EQ(view._gray_and_not_treated.at(4, 4), 1);
    // A second call finds nothing until the view is quantised again.
    EXPECT_TRUE(markComponentToBeProcessed(kN, shownWithMissing({{10, 10}, {11, 11}}), view, 1).empty());
}

TEST(RepairRegions, LargestRegionFirstAmongEqualsInColumnMajorScan)
{
    ShadowObject view = makeView(X_PROJECTION, {});
    std::vector<Pixel> missing = block(15, 0, 15, 4);        // 5 pixels, found second (column 15)
    for (const Pixel& p : block(2, 20, 2, 24))               // 5 pixels, found first (column 2)
        missing.push_back(p);
    for (const Pixel& p : block(8, 8, 8, 10))                // 3 pixels
        missing.push_back(p);
    const PixelList region = markComponentToBeProcessed(kN, shownWithMissing(missing), view, 2);
    ASSERT_EQ(region.size(), 5u);
    EXPECT_EQ(region.front(), (Pixel{2, 20}));
    // Breadth-first from the seed: its neighbour in the column comes next.
    EXPECT_EQ(region[1], (Pixel{2, 21}));
}

TEST(RepairRegions, NullPictureHasNoRegion)
{
    ShadowObject view = makeView(X_PROJECTION, {});
    EXPECT_TRUE(markComponentToBeProcessed(kN, QImage(), view, 1).empty());
}

TEST(RepairStep, CostThresholdIsInclusiveAndFirstMinimumWins)
{
    // X view misses pixel (5, 5). Its ray cells (t, 5, 5): Y pixel (t, 5),
    // Z pixel (t, 5). Z is dark at (t, 5) for every t; Y is dark only at
    // column 9, row 5, so the cost of (t, 5, 5) is (t - 9)^2 in Y plus 0.
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{9, 5}}));
    views.push_back(makeView(Z_PROJECTION, block(0, 5, kN - 1, 5)));
    auto v = pointers(views);

    std::array<RequestList, 3> requests;
    // Cheapest voxel is t = 9 (cost 0): Y and Z have distance 0 there already,
    // so nothing is requested.
    repairRegion({{5, 5}}, 0, v, 16.0f, requests);
    EXPECT_TRUE(requests[1].empty());
    EXPECT_TRUE(requests[2].empty());

    // Y dark at columns 5 and 13, Z at column 9 (row 5): the cost of
    // (t, 5, 5) is min((t-5)^2, (t-13)^2) + (t-9)^2.
    views[1] = makeView(Y_PROJECTION, {{5, 5}, {13, 5}});
    views[2] = makeView(Z_PROJECTION, {{9, 5}});
    v = pointers(views);
    // t = 5: Y 0 + Z 16 = 16; t = 9: Y 16 + Z 0 = 16; t = 13: 0 + 16 = 16;
    // t = 7: 4 + 4 = 8 is the least.
    requests = {};
    repairRegion({{5, 5}}, 0, v, 8.0f, requests);
    ASSERT_EQ(requests[1].size(), 1u);  // Y pixel of (7, 5, 5) is (7, 5)
    EXPECT_EQ(requests[1][0], point(7, 5, 0));
    ASSERT_EQ(requests[2].size(), 1u);  // Z pixel of (7, 5, 5) is (7, 5)
    EXPECT_EQ(requests[2][0], point(7, 5, 0));
    EXPECT_EQ(views[1].cellAt(7, 5, 5).distance, 0.0f);

    // The same voxel is not requested twice in one adjustment.
    repairRegion({{5, 5}}, 0, v, 8.0f, requests);
    EXPECT_EQ(requests[1].size(), 1u);

    // Threshold 7 rejects the least cost 8.
    views[1] = makeView(Y_PROJECTION, {{5, 5}, {13, 5}});
    views[2] = makeView(Z_PROJECTION, {{9, 5}});
    v = pointers(views);
    requests = {};
    repairRegion({{5, 5}}, 0, v, 7.0f, requests);
    EXPECT_TRUE(requests[1].empty());
    EXPECT_TRUE(requests[2].empty());
}

TEST(RepairStep, DistanceFourAcceptsCostSixteen)
{
    // Y dark at (9, 1): the ray cell (9, 5, 5) is 4 rows off, cost 16 in Y;
    // Z dark on its whole row 5 (cost 0) or on row 4 (cost 1 more).
    auto cheapestRequest = [](int zRow) {
        std::vector<ShadowObject> views;
        views.reserve(3);
        views.push_back(makeView(X_PROJECTION, {{5, 5}}));
        views.push_back(makeView(Y_PROJECTION, {{9, 1}}));
        views.push_back(makeView(Z_PROJECTION, block(0, zRow, kN - 1, zRow)));
        std::array<RequestList, 3> requests;
        repairRegion({{5, 5}}, 0, pointers(views), 4.0f * 4.0f, requests);
        return requests[1];
    };
    const RequestList accepted = cheapestRequest(5);  // least cost 16
    ASSERT_EQ(accepted.size(), 1u);
    EXPECT_EQ(accepted[0], point(9, 5, 0));
    EXPECT_TRUE(cheapestRequest(4).empty());  // least cost 17
}

TEST(RepairStep, EqualCostsTakeTheFirstRayCell)
{
    // Ray cells (2, 5, 5) and (12, 5, 5) both cost 1 (Y one row off, Z dark):
    // the first one is chosen, so Y is asked for (2, 5).
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{2, 4}, {12, 4}}));  // row 4: cost 1 for row 5
    views.push_back(makeView(Z_PROJECTION, {{2, 5}, {12, 5}}));
    auto v = pointers(views);
    std::array<RequestList, 3> requests;
    repairRegion({{5, 5}}, 0, v, 16.0f, requests);
    ASSERT_EQ(requests[1].size(), 1u);
    EXPECT_EQ(requests[1][0], point(2, 5, 0));
    EXPECT_TRUE(requests[2].empty());
}

TEST(RepairStep, ObliqueViewCandidatesFollowTheColumn)
{
    // Set-up X, 60, 120. A missing pixel (u, b) of the 60 view: its candidates
    // are the cells (x, y, b) with trunc(0.866 x + 0.5 y) = u.
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, block(0, 0, kN - 1, kN - 1)));
    views.push_back(makeView(Sixty_PROJECTION, {{10, 3}}));
    views.push_back(makeView(OneTwenty_PROJECTION, block(0, 0, kN - 1, kN - 1)));
    auto v = pointers(views);
    std::array<RequestList, 3> requests;
    // Everything costs 0 in X and 120 (both fully dark), so nothing is requested,
    // but every candidate's distance in the other views stays 0.
    repairRegion({{10, 3}}, 1, v, 0.0f, requests);
    EXPECT_TRUE(requests[0].empty());
    EXPECT_TRUE(requests[2].empty());

    // With 120 dark only at column 0, row 3, the cheapest 60-candidate is the
    // first with a 120 column of 0 (x outer, y inner).
    views[2] = makeView(OneTwenty_PROJECTION, {{0, 3}});
    v = pointers(views);
    repairRegion({{10, 3}}, 1, v, 100.0f, requests);
    ASSERT_EQ(requests[2].size(), 0u);  // cost 0: 120 already dark there
    // The chosen cell (first x, then y with 60-column 10 and 120-column 0):
    CellIndex first{-1, -1, -1};
    for (int x = 0; x < kN && first.x < 0; ++x)
        for (int y = 0; y < kN; ++y)
            if (inPlaneColumn(Sixty_PROJECTION, x, y) == 10 && inPlaneColumn(OneTwenty_PROJECTION, x, y) == 0) {
                first = {x, y, 3};
                break;
            }
    ASSERT_GE(first.x, 0);
    EXPECT_EQ(views[2].cellAt(first.x, first.y, 3).distance, 0.0f);
}

TEST(RepairHandles, ConsecutiveDuplicatesDroppedAndSnappedToNearestDarkPixel)
{
    const RequestList requests = {point(3, 5, 0), point(3, 5, 0), point(4, 5, 0), point(3, 5, 0)};
    const RequestList kept = withoutRepeats(requests);
    ASSERT_EQ(kept.size(), 3u);
    EXPECT_EQ(kept[0], point(3, 5, 0));
    EXPECT_EQ(kept[1], point(4, 5, 0));
    EXPECT_EQ(kept[2], point(3, 5, 0));

    ShadowObject view = makeView(Y_PROJECTION, {{10, 5}, {0, 20}});
    std::vector<point> sources, targets;
    snapToHandles(view, requests, sources, targets);
    ASSERT_EQ(sources.size(), 3u);
    EXPECT_EQ(sources[0], point(10, 5, 0));
    EXPECT_EQ(targets[1], point(4, 5, 0));
}

TEST(RepairProgress, BarValuesBeforeEachPass)
{
    EXPECT_EQ(progressValues(1), (std::vector<int>{50}));
    EXPECT_EQ(progressValues(4), (std::vector<int>{12, 37, 62, 87}));
    const std::vector<int> fifteen = progressValues(15);
    ASSERT_EQ(fifteen.size(), 15u);
    EXPECT_EQ(fifteen[0], 3);
    EXPECT_EQ(fifteen[1], 10);
    EXPECT_EQ(fifteen[2], 16);
    EXPECT_EQ(fifteen[3], 23);
    EXPECT_EQ(fifteen.back(), 96);
    const std::vector<int> twenty = progressValues(20);
    EXPECT_EQ(twenty[0], 2);  // 2.5 shown as its integer part
    EXPECT_EQ(twenty[1], 7);
    for (int v : twenty)
        EXPECT_LE(v, 100);
}

TEST(RepairAdjustment, TwoStepsPerViewSecondFindsNothing)
{
    // X wants row z = 5, Y wants z = 6: the hull is empty and every dark
    // pixel is missing.
    auto run = [](int loopCount, int& comparisonsRead) {
        std::vector<ShadowObject> views;
        views.reserve(3);
        views.push_back(makeView(X_PROJECTION, block(5, 5, 6, 5)));
        views.push_back(makeView(Y_PROJECTION, block(10, 6, 12, 6)));
        views.push_back(makeView(Z_PROJECTION, block(10, 4, 12, 7)));
        std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
        auto v = pointers(views);
        comparisonsRead = 0;
        auto shown = [&](int slot) {
            ++comparisonsRead;
            return comparisonImage(*master, views[slot]._projection_mode, v)
                .scaledToWidth(200, Qt::FastTransformation);
        };
        AdjustParameters parameters;
        parameters.loopCount = loopCount;
        return adjustImages(*master, v, shown, parameters).handles;
    };
    int readsSix = 0, readsThree = 0;
    const std::array<int, 3> six = run(6, readsSix);
    const std::array<int, 3> three = run(3, readsThree);
    EXPECT_EQ(readsSix, 6);
    EXPECT_EQ(readsThree, 3);
    // The second round of steps finds every region treated: same handles.
    EXPECT_EQ(six, three);
    // X's two pixels both choose a voxel at x = 10 and ask Y for (10, 5), once
    // after removing the repeat; Y's and Z's regions add more requests.
    EXPECT_GE(six[1], 1);
    EXPECT_GE(six[0], 1);
}

TEST(RepairAdjustment, UnsupportedSetupEndsTheProgram)
{
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{1, 1}}));
    views.push_back(makeView(Y_PROJECTION, {{1, 1}}));
    views.push_back(makeView(Sixty_PROJECTION, {{1, 1}}));
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    EXPECT_EXIT(adjustImages(*master, v, [](int) { return QImage(); }, AdjustParameters()),
                testing::ExitedWithCode(1), "adjustImages_released: unhandled case");
}

TEST(RepairSession, OnePassOnContradictingPicturesLowersMissingPixels)
{
    // A wide bar, a narrow bar and a disc cannot all be cast by one volume.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList paths;
    for (int k = 0; k < 3; ++k) {
        QImage picture(250, 250, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Qt::black);
        if (k == 0)
            painter.drawRect(40, 60, 170, 130);
        else if (k == 1)
            painter.drawRect(100, 30, 50, 190);
        else
            painter.drawEllipse(QPoint(125, 125), 90, 90);
        painter.end();
        paths << dir.filePath(QStringLiteral("p%1.png").arg(k));
        ASSERT_TRUE(picture.save(paths.back()));
    }
    std::array<DeformationModel, 3> models;
    DesignSession session({&models[0], &models[1], &models[2]});
    ASSERT_EQ(session.load(0, paths, 5.0f), QString());
    session.compute();
    const DesignSession::Counts before = session.counts();
    const int missingBefore = before.missing[0] + before.missing[1] + before.missing[2];
    ASSERT_GT(missingBefore, 0);
    AdjustParameters parameters;
    parameters.preserveShape = false;
    session.adjust(parameters);
    session.recompute();
    const DesignSession::Counts after = session.counts();
    EXPECT_LT(after.missing[0] + after.missing[1] + after.missing[2], missingBefore);
    // The rest positions survive the rebuild.
    EXPECT_EQ(models[0].rest_positions().size(), models[0].image_mesh().vertices.size());
}

TEST(RepairSession, BadPicturesLeaveTheSessionAsItWas)
{
    QTemporaryDir dir;
    QImage white(250, 250, QImage::Format_RGB32);
    white.fill(Qt::white);
    const QString blank = dir.filePath("blank.png");
    ASSERT_TRUE(white.save(blank));
    std::array<DeformationModel, 3> models;
    DesignSession session({&models[0], &models[1], &models[2]});
    EXPECT_EQ(session.load(0, {blank, blank, blank}, 5.0f), QStringLiteral("Picture %1 has no dark pixel.").arg(blank));
    const QString missing = dir.filePath("nothing.png");
    EXPECT_EQ(session.load(0, {missing, blank, blank}, 5.0f), QStringLiteral("Cannot read picture %1.").arg(missing));
    EXPECT_TRUE(session.views().empty());
    EXPECT_EQ(session.master(), nullptr);
    EXPECT_FALSE(session.load(7, {blank, blank, blank}, 5.0f).isEmpty());
}

// ---- greedy layers ------------------------------------------------------------

TEST(GreedyLayers, CandidatesNeedOneViewInsideAndTheOtherNear)
{
    // X misses (5, 5); Y dark at (5, 5) only (x = 5 lies inside Y for cell
    // (5, 5, 5)); Z dark at (7, 5): cell (5, 5, 5) has Z distance 4 (not < 4).
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Z_PROJECTION, {{7, 5}}));
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    master->cellAt(5, 5, 5).occupied = false;
    // Cell (6, 5, 5): Y (6, 5) distance 1, Z (6, 5) distance 1: neither is 0.
    // Cell (7, 5, 5): Y (7, 5) distance 4, Z 0: m = 4, not < 4.
    // Cell (5, 5, 5): Y 0, Z (5, 5) distance 4: m = 4. Nothing qualifies for X.
    EXPECT_EQ(greedyStep(*master, v), 0);
    EXPECT_FALSE(master->cellAt(5, 5, 5).occupied);
    EXPECT_FALSE(master->cellAt(6, 5, 5).occupied);

    // Z dark at (6, 5) instead: cell (5, 5, 5) has Y 0 and Z 1 -> qualifies.
    views[2] = makeView(Z_PROJECTION, {{6, 5}});
    master = buildMaster(views, kCell);
    v = pointers(views);
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
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}, {9, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{4, 5}, {6, 5}}));
    views.push_back(makeView(Z_PROJECTION, {{4, 6}, {6, 6}, {6, 9}}));
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

    // A new master build clears the greedy flag.
    master->buildFromViews(v);
    EXPECT_FALSE(master->cellAt(4, 5, 5).occupied);
    EXPECT_EQ(master->cellAt(4, 5, 5).flags & CellFlags::GreedyAdded, 0);
}

TEST(GreedyLayers, NeedsAMasterAndThreeViews)
{
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{5, 5}}));
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    EXPECT_EQ(greedyStep(*master, v), 0);
    EXPECT_EQ(greedyStep(views[0], v), 0);
}

// ---- finalisation -------------------------------------------------------------

TEST(Finalization, ThresholdZeroNeedsBothOtherViewsDarkAndFirstMinimumWins)
{
    // The hull holds (3, 5, 5) and (8, 5, 5); carving both away leaves the X
    // pixel (5, 5) missing, and both cells cost 0 to add back.
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{3, 5}, {8, 5}}));
    views.push_back(makeView(Z_PROJECTION, {{3, 5}, {8, 5}}));
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    ASSERT_EQ(countOccupiedCells(*master), 2);
    master->cellAt(3, 5, 5).occupied = false;
    master->cellAt(8, 5, 5).occupied = false;
    const QImage shown = comparisonImage(*master, X_PROJECTION, v).scaledToWidth(200, Qt::FastTransformation);
    const std::vector<Pixel> marked = collectMissingPixels(kN, shown);
    ASSERT_EQ(marked.size(), 1u);
    EXPECT_EQ(marked[0], (Pixel{5, 5}));
    EXPECT_EQ(fillMissingPixels(*master, v, X_PROJECTION, marked, 0.0f), 1);
    EXPECT_TRUE(master->cellAt(3, 5, 5).occupied);
    EXPECT_FALSE(master->cellAt(8, 5, 5).occupied);

    // Z one row off: the best cell costs 1, above threshold 0, at threshold 1.
    views[2] = makeView(Z_PROJECTION, {{3, 6}, {8, 6}});
    master = buildMaster(views, kCell);
    v = pointers(views);
    EXPECT_EQ(fillMissingPixels(*master, v, X_PROJECTION, marked, 0.0f), 0);
    EXPECT_FALSE(master->cellAt(3, 5, 5).occupied);
    EXPECT_EQ(fillMissingPixels(*master, v, X_PROJECTION, marked, 1.0f), 1);
    EXPECT_TRUE(master->cellAt(3, 5, 5).occupied);
}

TEST(Finalization, ViewOutsideTheSetupEndsTheProgram)
{
    std::vector<ShadowObject> views;
    views.reserve(3);
    views.push_back(makeView(X_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Y_PROJECTION, {{5, 5}}));
    views.push_back(makeView(Z_PROJECTION, {{5, 5}}));
    std::unique_ptr<ShadowObject> master = buildMaster(views, kCell);
    auto v = pointers(views);
    EXPECT_EXIT(fillMissingPixels(*master, v, FortyFive_PROJECTION, {{1, 1}}, 1.0f), testing::ExitedWithCode(1),
                "fillin_cluster_orthogonal: unhandled case");
    views[2] = makeView(Sixty_PROJECTION, {{5, 5}});
    v = pointers(views);
    EXPECT_EXIT(fillMissingPixels(*master, v, X_PROJECTION, {{1, 1}}, 1.0f), testing::ExitedWithCode(1),
                "finalizeOptimization_released: unhandled case");
}

TEST(ResolutionIncrease, CellSizeFloorIsOneAndAHalf)
{
    EXPECT_FLOAT_EQ(finerCellSize(2.0f), 1.5f);
    EXPECT_FLOAT_EQ(finerCellSize(1.5f), 1.5f);
    EXPECT_FLOAT_EQ(finerCellSize(1.8f), 1.5f);
    EXPECT_FLOAT_EQ(finerCellSize(4.0f), 3.5f);
}
