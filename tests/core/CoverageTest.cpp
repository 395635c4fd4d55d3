// Shadow-keeping tests of the master: which cells may be added or removed
// without changing a view's shadow, and the validity check against the
// recorded shadow maps.

#include "SyntheticPictures.h"
#include "VolumeTestSupport.h"

#include <gtest/gtest.h>

using namespace volume_test;

namespace {

TEST(Coverage, OneViewMasterDependsOnThatViewAlone)
{
    // N = 10, one Z view dark at map pixels (0, 0) and (3, 4).
    std::vector<ShadowView> views;
    views.push_back(quantizedView(pictureWithPixels({{12, 12}, {87, 112}}), Z_PROJECTION, 25.0f));
    ShadowObject master(views[0], 25.0f);
    master.buildFromViews(views);
    ASSERT_EQ(master.viewModes(), (std::vector<int>{Z_PROJECTION, -1, -1}));
    ASSERT_EQ(countOccupiedCells(master), 20);

    EXPECT_TRUE(master.isCellRemovable({3, 4, 5}));  // nine others on its ray
    for (int z = 1; z < 10; ++z)
        master.setOccupied({3, 4, z}, false);
    EXPECT_FALSE(master.isCellRemovable({3, 4, 0}));  // the last one
    EXPECT_TRUE(master.isCellAddable(3, 4, 5));      // its ray is dark
    EXPECT_FALSE(master.isCellAddable(5, 5, 5));     // its ray is white
    EXPECT_TRUE(master.isCellRemovable({5, 5, 5}));  // free
    EXPECT_TRUE(master.isCellAddable(0, 0, 5));      // occupied
}

TEST(Coverage, AxisViewsNeedEveryRayDarkToAdd)
{
    ShadowObject master = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    occupy(master, {{0, 0, 0}, {1, 1, 0}, {1, 0, 1}});
    // (1, 0, 0): X ray holds (0, 0, 0), Y ray (1, 1, 0), Z ray (1, 0, 1).
    EXPECT_TRUE(master.isCellAddable(1, 0, 0));
    EXPECT_FALSE(master.isCellAddable(2, 0, 0));  // Y ray (2, ., 0) is empty
    EXPECT_TRUE(master.isCellAddable(0, 0, 0));   // occupied
    EXPECT_TRUE(master.isCellRemovable({4, 4, 4}));  // free

    // (1, 0, 1) is alone on all three rays; it becomes removable only once
    // each of them holds another cell.
    EXPECT_FALSE(master.isCellRemovable({1, 0, 1}));
    master.setOccupied({1, 0, 5}, true);  // Z ray
    EXPECT_FALSE(master.isCellRemovable({1, 0, 1}));
    master.setOccupied({6, 0, 1}, true);  // X ray
    EXPECT_FALSE(master.isCellRemovable({1, 0, 1}));
    master.setOccupied({1, 7, 1}, true);  // Y ray
    EXPECT_TRUE(master.isCellRemovable({1, 0, 1}));
}

TEST(Coverage, SixtyAndOneTwentyRaysKeepTwoOtherCells)
{
    ShadowObject master = emptyMaster(25.0f, {-1, Sixty_PROJECTION, -1});
    // Column 2 at 60 degrees: trunc(0.866 x + 0.5 y) = 2 for (0, 4), (2, 1), (1, 3).
    occupy(master, {{0, 4, 0}, {2, 1, 0}});
    occupy(master, {{0, 4, 1}, {5, 5, 0}});  // another row, another column: not on the ray
    EXPECT_FALSE(master.isCellRemovable({0, 4, 0}));
    EXPECT_FALSE(master.isCellRemovable({2, 1, 0}));
    EXPECT_FALSE(master.is_cell_removable_wrt_single_view({2, 1, 0}, Sixty_PROJECTION));
    master.setOccupied({1, 3, 0}, true);
    for (const CellIndex c : {CellIndex{0, 4, 0}, CellIndex{2, 1, 0}, CellIndex{1, 3, 0}})
        EXPECT_TRUE(master.isCellRemovable(c)) << c.x << " " << c.y;
    EXPECT_TRUE(master.isCellAddable(3, 0, 0));   // column 2, dark ray
    EXPECT_FALSE(master.isCellAddable(3, 3, 0));  // column 4, white ray

    // 120 degrees: column 1 for (2, 1), (3, 2), (4, 4).
    master.setViewModes({-1, -1, OneTwenty_PROJECTION});
    occupy(master, {{2, 1, 7}, {3, 2, 7}});
    EXPECT_FALSE(master.isCellRemovable({2, 1, 7}));
    master.setOccupied({4, 4, 7}, true);
    EXPECT_TRUE(master.isCellRemovable({2, 1, 7}));

    // 45 degrees needs one other cell only: column 1 for (0, 2) and (2, 0).
    occupy(master, {{0, 2, 9}, {2, 0, 9}});
    EXPECT_TRUE(master.is_cell_removable_wrt_single_view({0, 2, 9}, FortyFive_PROJECTION));
    master.setOccupied({2, 0, 9}, false);
    EXPECT_FALSE(master.is_cell_removable_wrt_single_view({0, 2, 9}, FortyFive_PROJECTION));
    EXPECT_TRUE(master.is_cell_removable_wrt_single_view({0, 2, 9}, NO_VIEW));
    EXPECT_TRUE(master.rayHasOccupiedCell({9, 9, 9}, NO_VIEW));

    // The rays reach the last row and column: 120-degree column 3 holds
    // (9, 9), (7, 6), (8, 7); 60-degree column 4 holds (0, 9), (1, 8), (2, 6).
    occupy(master, {{9, 9, 4}, {7, 6, 4}, {8, 7, 4}});
    EXPECT_TRUE(master.isCellRemovable({7, 6, 4}));
    master.setOccupied({9, 9, 4}, false);
    EXPECT_FALSE(master.isCellRemovable({7, 6, 4}));
    master.setViewModes({-1, Sixty_PROJECTION, -1});
    occupy(master, {{0, 9, 3}, {1, 8, 3}, {2, 6, 3}});
    EXPECT_TRUE(master.isCellRemovable({2, 6, 3}));
}

TEST(Coverage, ValidityReportsTheFirstChangedPixel)
{
    ShadowObject master = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, Z_PROJECTION});
    occupy(master, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}});
    for (int k = 0; k < 3; ++k)
        master.create_reprojection_image_map(k, k);
    ASSERT_TRUE(master.areShadowsStillValid(true, true));

    // A removal can only lose dark pixels and an addition only add some: the
    // check of the other kind still passes.
    auto firstFailure = [&](CellIndex c, bool occupied) {
        DebugCapture capture;
        master.setOccupied(c, occupied);
        EXPECT_FALSE(master.areShadowsStillValid(true, true));
        EXPECT_TRUE(master.areShadowsStillValid(occupied, !occupied));
        master.setOccupied(c, !occupied);
        return capture.lines;
    };
    EXPECT_EQ(firstFailure({1, 0, 0}, false), QStringList{"3 1 0"});  // X pixel (0, 0) still dark
    EXPECT_EQ(firstFailure({0, 1, 0}, false), QStringList{"1 1 0"});
    EXPECT_EQ(firstFailure({5, 5, 5}, true), QStringList{"2 5 5"});
    EXPECT_EQ(firstFailure({5, 0, 0}, true), QStringList{"4 5 0"});  // X pixel (0, 0) was dark already
    EXPECT_EQ(firstFailure({1, 1, 0}, true), QStringList{});         // only the Z view changes: silent
    EXPECT_TRUE(master.areShadowsStillValid(true, true));
}

// The oblique views are checked too (45 degrees fails silently); a missing
// view has nothing to keep.
TEST(Coverage, ValidityCoversObliqueViewsAndSkipsMissingOnes)
{
    ShadowObject oblique = emptyMaster(25.0f, {X_PROJECTION, Y_PROJECTION, FortyFive_PROJECTION});
    occupy(oblique, {{1, 1, 1}, {3, 3, 1}});  // 45-degree columns 1 and 4
    for (int k = 0; k < 3; ++k)
        oblique.create_reprojection_image_map(k, oblique.viewModes()[k]);
    ASSERT_TRUE(oblique.areShadowsStillValid(true, true));
    DebugCapture capture;
    oblique.setOccupied({1, 3, 1}, true);  // X and Y pixels dark already, 45-degree column 2 new
    EXPECT_FALSE(oblique.areShadowsStillValid(true, true));
    EXPECT_TRUE(oblique.areShadowsStillValid(true, false));
    EXPECT_TRUE(capture.lines.isEmpty());

    ShadowObject partial = emptyMaster(25.0f, {X_PROJECTION, NO_VIEW, NO_VIEW});
    partial.create_reprojection_image_map(0, X_PROJECTION);
    EXPECT_TRUE(partial.areShadowsStillValid(true, true));
    partial.setOccupied({0, 4, 4}, true);
    EXPECT_FALSE(partial.areShadowsStillValid(false, true));
}

}  // namespace
