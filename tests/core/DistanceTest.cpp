// Distances from each cell's pixel to the nearest dark pixel: the distance
// transform used by quantisation and the kd-tree must both match a
// brute-force search exactly.

#include "ReferenceHull.h"
#include "SyntheticPictures.h"
#include "VolumeTestSupport.h"

#include "volume/DarkPixelSearch.h"
#include "volume/SquaredDistanceMap.h"

#include <gtest/gtest.h>

#include <limits>

using namespace volume_test;

namespace {

constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(Distance, BothMethodsMatchBruteForce)
{
    // The lonely corner pixel is looked up by the oblique views from columns
    // far left (120 degrees) and far right (45, 60 degrees) of the map.
    const struct {
        QImage picture;
        float cellSize;
    } cases[] = {{syntheticPicture(Painted::Strokes, 5), 5.0f},
                 {syntheticPicture(Painted::Polygons, 6), 6.25f},
                 {syntheticPicture(Painted::Greys, 7), 8.0f},
                 {pictureWithPixels({{248, 248}}), 2.5f},
                 {pictureWithPixels({{0, 0}, {120, 249}, {249, 3}}), 1.5f}};  // the largest grid, N = 166
    for (const auto& c : cases) {
        for (int mode = 0; mode < 6; ++mode) {
            const reference::View expected(c.picture, mode, c.cellSize);
            ShadowView fast = quantizedView(c.picture, mode, c.cellSize, DistanceMethod::DistanceTransform);
            ShadowView tree = quantizedView(c.picture, mode, c.cellSize, DistanceMethod::KdTree);
            const int n = expected.n();
            int wrongFast = 0, wrongTree = 0;
            for (int x = 0; x < n; ++x)
                for (int y = 0; y < n; ++y)
                    for (int z = 0; z < n; ++z) {
                        const reference::Pixel p = reference::pixelOf(mode, x, y, z);
                        const float d = expected.distance(p.column, p.row);
                        wrongFast += fast.distance(x, y, z) != d;
                        wrongTree += tree.distance(x, y, z) != d;
                    }
            EXPECT_EQ(wrongFast, 0) << "mode " << mode << " cell size " << c.cellSize;
            EXPECT_EQ(wrongTree, 0) << "mode " << mode << " cell size " << c.cellSize;
        }
    }
}

TEST(Distance, SquaredDistanceMapOutsideItsTable)
{
    ByteMap map(20, 20, 0);
    map.at(3, 17) = 1;
    map.at(15, 2) = 1;
    const SquaredDistanceMap sq(map);
    ASSERT_TRUE(sq.hasDarkPixels());
    EXPECT_EQ(sq.at(3, 17), 0.0f);
    EXPECT_EQ(sq.at(15, 2), 0.0f);
    EXPECT_EQ(sq.at(-100, 17), 103.0f * 103.0f);
    EXPECT_EQ(sq.at(1000, 2), 985.0f * 985.0f);
    EXPECT_EQ(sq.at(15, -6), 64.0f);
    EXPECT_EQ(sq.at(3, 40), 23.0f * 23.0f);
    EXPECT_EQ(sq.at(sq.columnMin(), 19), float((sq.columnMin() - 3) * (sq.columnMin() - 3) + 4));
}

TEST(Distance, PictureWithoutDarkPixels)
{
    const QImage white = pictureWithPixels({});
    for (DistanceMethod method : {DistanceMethod::DistanceTransform, DistanceMethod::KdTree}) {
        for (int mode : {Z_PROJECTION, OneTwenty_PROJECTION}) {
            ShadowView view = quantizedView(white, mode, 10.0f, method);
            EXPECT_FALSE(view.hasDarkPixels());
            EXPECT_EQ(view._image_map.count(), 0u);
            int finite = 0;
            for (int x = 0; x < 25; ++x)
                for (int y = 0; y < 25; ++y)
                    finite += view.distance(x, y, 24 - y) != kInfinity;
            EXPECT_EQ(finite, 0) << "mode " << mode;
            EXPECT_EQ(view.nearestDarkPixel().nearest(3, 4).index, -1);
            EXPECT_EQ(view.nearestDarkPixel().nearest(3, 4).squaredDistance, double(kInfinity));
            EXPECT_FALSE(view.squaredDistances().hasDarkPixels());
        }
    }

    QImage black = white;
    black.fill(Qt::black);
    std::vector<ShadowView> views;
    views.push_back(quantizedView(black, X_PROJECTION, 10.0f));
    views.push_back(quantizedView(white, Y_PROJECTION, 10.0f));
    views.push_back(quantizedView(black, Z_PROJECTION, 10.0f));
    ShadowObject master(views[0], 10.0f);
    master.buildFromViews(views);
    EXPECT_EQ(countOccupiedCells(master), 0);
    EXPECT_EQ(master.cost(4, 5, 6), kInfinity);
}

}  // namespace
