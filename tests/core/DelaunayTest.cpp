#include "surface/Delaunay.h"

#include <gtest/gtest.h>

#include <limits>
#include <set>

namespace {

using Points = std::vector<tpp::Delaunay::Point>;

// Triangulates `input` and returns the signed area of each triangle
// (positive when counter-clockwise) over the kept vertices.
std::vector<double> triangleAreas(const Points& input, Points& vertices, std::set<std::set<int>>& corners)
{
    tpp::Delaunay d(input);
    d.Triangulate();
    vertices.assign(d.vbegin(), d.vend());
    std::vector<double> areas;
    for (auto f = d.fbegin(); f != d.fend(); ++f) {
        const auto &a = vertices.at(d.Org(f)), &b = vertices.at(d.Dest(f)), &c = vertices.at(d.Apex(f));
        areas.push_back(0.5 * ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0])));
        corners.insert({d.Org(f), d.Dest(f), d.Apex(f)});
    }
    return areas;
}

}  // namespace

TEST(Delaunay, PixelGridIsCoveredByDistinctCounterClockwiseHalfSquares)
{
    Points grid, vertices;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            grid.push_back({double(x), double(y)});
    std::set<std::set<int>> corners;
    EXPECT_EQ(triangleAreas(grid, vertices, corners), std::vector<double>(2 * 9 * 9, 0.5));
    EXPECT_EQ(vertices, grid);
    EXPECT_EQ(corners.size(), 162u);
}

TEST(Delaunay, DuplicatesAndNonFinitePointsAreMergedOrDropped)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    Points vertices;
    std::set<std::set<int>> corners;
    const std::vector<double> areas =
        triangleAreas({{1, 1}, {0, 0}, {1, 1}, {nan, 0}, {2, 0}, {0, 0}, {1, 3}, {-0.0, 0}}, vertices, corners);
    EXPECT_EQ(vertices, (Points{{1, 1}, {0, 0}, {2, 0}, {1, 3}}));
    ASSERT_EQ(areas.size(), 3u);
    for (double area : areas)
        EXPECT_GT(area, 0.0);
    EXPECT_DOUBLE_EQ(areas[0] + areas[1] + areas[2], 3.0);  // the hull (0,0), (2,0), (1,3)
}

TEST(Delaunay, DegenerateInputGivesNoTriangles)
{
    for (const Points& input : {Points{}, Points{{1, 2}}, Points{{0, 0}, {1, 1}, {0, 0}, {1, 1}},
                                Points{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {-5, -5}}}) {
        Points vertices;
        std::set<std::set<int>> corners;
        EXPECT_TRUE(triangleAreas(input, vertices, corners).empty()) << input.size();
    }
}
