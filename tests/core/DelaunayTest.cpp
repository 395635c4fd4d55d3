#include "surface/Delaunay.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <vector>

namespace {

using Points = std::vector<tpp::Delaunay::Point>;
using Triangles = std::vector<tpp::Delaunay::Triangle>;

Triangles triangles_of(const tpp::Delaunay& d)
{
    Triangles out;
    for (auto f = d.fbegin(); f != d.fend(); ++f)
        out.push_back({d.Org(f), d.Dest(f), d.Apex(f)});
    return out;
}

Points vertices_of(const tpp::Delaunay& d) { return Points(d.vbegin(), d.vend()); }

double signed_area(const Points& v, const tpp::Delaunay::Triangle& t)
{
    const auto& a = v[t[0]];
    const auto& b = v[t[1]];
    const auto& c = v[t[2]];
    return 0.5 * ((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]));
}

Points pixel_grid(int n)
{
    Points p;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            p.push_back({double(x), double(y)});
    return p;
}

}  // namespace

TEST(Delaunay, PixelGridIsCoveredByCounterClockwiseHalfSquares)
{
    const Points grid = pixel_grid(10);
    tpp::Delaunay d(grid);
    d.Triangulate();
    ASSERT_EQ(d.nvertices(), 100);
    EXPECT_EQ(vertices_of(d), grid);
    ASSERT_EQ(d.ntriangles(), 2 * 9 * 9);

    double total = 0.0;
    std::set<std::set<int>> distinct;
    for (const auto& t : triangles_of(d)) {
        for (int i : t)
            ASSERT_TRUE(i >= 0 && i < d.nvertices()) << i;
        // Every Delaunay triangle of a unit grid is half a cell.
        EXPECT_DOUBLE_EQ(signed_area(grid, t), 0.5);
        total += signed_area(grid, t);
        distinct.insert({t[0], t[1], t[2]});
    }
    EXPECT_DOUBLE_EQ(total, 81.0);
    EXPECT_EQ(distinct.size(), 162u);
}

TEST(Delaunay, SameInputGivesSameTriangles)
{
    const Points grid = pixel_grid(12);
    tpp::Delaunay a(grid), b(grid);
    a.Triangulate();
    const Triangles first = triangles_of(a);
    a.Triangulate();
    b.Triangulate();
    EXPECT_EQ(triangles_of(a), first);
    EXPECT_EQ(triangles_of(b), first);
}

TEST(Delaunay, DuplicatesAndNonFinitePointsAreMergedOrDropped)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    tpp::Delaunay d({{1, 1}, {0, 0}, {1, 1}, {nan, 0}, {2, 0}, {0, 0}, {1, 3}, {-0.0, 0}});
    d.Triangulate();
    const Points expected = {{1, 1}, {0, 0}, {2, 0}, {1, 3}};
    EXPECT_EQ(vertices_of(d), expected);
    EXPECT_EQ(d.ntriangles(), 3);
    double total = 0.0;
    for (const auto& t : triangles_of(d)) {
        EXPECT_GT(signed_area(expected, t), 0.0);
        total += signed_area(expected, t);
    }
    EXPECT_DOUBLE_EQ(total, 3.0);  // the hull (0,0), (2,0), (1,3)
}

TEST(Delaunay, DegenerateInputGivesNoTriangles)
{
    const std::vector<Points> inputs = {
        {},
        {{1, 2}},
        {{0, 0}, {1, 1}, {0, 0}, {1, 1}},
        {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {-5, -5}},
    };
    for (const Points& input : inputs) {
        tpp::Delaunay d(input);
        d.Triangulate();
        EXPECT_EQ(d.ntriangles(), 0) << input.size();
        EXPECT_EQ(d.fbegin(), d.fend());
    }
}
