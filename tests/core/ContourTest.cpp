// Voxel contouring: the case tables against the rules they are built by, small
// fields with known surfaces, each placement rule on hand-computed samples,
// and the bird hull (closed, facing the occupied side, and the same mesh as
// contouring the whole field).

#include "session/DesignSession.h"
#include "volume/VolumeContouring.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

namespace {

// Corner b of a cube, as an offset from its lowest sample.
constexpr int kCorner[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
};

int cornerAt(const int p[3])
{
    for (int b = 0; b < 8; ++b)
        if (kCorner[b][0] == p[0] && kCorner[b][1] == p[1] && kCorner[b][2] == p[2])
            return b;
    return -1;
}

// The two corners of local edge e, read back from its identifier.
std::array<int, 2> edgeCorners(int e)
{
    const std::int64_t id = VoxelEdgeFunction(10)(0, e);
    const int v = int(id / 3), axis = int(id % 3);
    int low[3] = {v / 100, v / 10 % 10, v % 10};
    int high[3] = {low[0], low[1], low[2]};
    ++high[axis];
    return {cornerAt(low), cornerAt(high)};
}

// Each directed edge used once and its reverse used too: closed and
// consistently oriented.
::testing::AssertionResult isClosed(const TriMesh& mesh)
{
    std::map<std::pair<int, int>, int> directed;
    for (const TriMesh::Face& f : mesh.faces)
        for (int j = 0; j < 3; ++j)
            ++directed[{f[j], f[(j + 1) % 3]}];
    for (const auto& [edge, uses] : directed)
        if (uses != 1 || !directed.count({edge.second, edge.first}))
            return ::testing::AssertionFailure() << "edge " << edge.first << "-" << edge.second << " used " << uses;
    return ::testing::AssertionSuccess();
}

// Six times the signed volume: negative when the faces look inward.
double signedVolume6(const TriMesh& mesh)
{
    double sum = 0;
    for (const TriMesh::Face& f : mesh.faces)
        sum += dot(mesh.vertices[f[0]], cross(mesh.vertices[f[1]], mesh.vertices[f[2]]));
    return sum;
}

// n^3 cells, (x n + y) n + z, with the given ones occupied.
std::vector<std::uint8_t> cells(int n, std::initializer_list<std::array<int, 3>> occupied)
{
    std::vector<std::uint8_t> grid(std::size_t(n) * n * n, 0);
    for (const auto& c : occupied)
        grid[(std::size_t(c[0]) * n + c[1]) * n + c[2]] = 1;
    return grid;
}

// ---- case tables ------------------------------------------------------------

TEST(ContourTables, RowsUseTheirEdgesFaceTheClearCornersAndMatchThePrintedRows)
{
    const std::map<int, std::vector<int>> printed = {
        {1, {0, 3, 8}},        {2, {1, 0, 9}},         {3, {8, 9, 1, 8, 1, 3}},
        {4, {2, 1, 10}},       {5, {0, 3, 8, 2, 1, 10}}, {6, {9, 10, 2, 9, 2, 0}},
        {7, {8, 9, 10, 8, 10, 2, 8, 2, 3}}, {8, {3, 2, 11}}, {254, {8, 3, 0}},
    };
    EXPECT_EQ(VoxelEdgeFunction(10)(0, 12), -1);
    const CaseTables& tables = caseTables();
    std::array<int, 6> rowsBySize{};
    int triangles = 0;
    for (int c = 0; c < 256; ++c) {
        SCOPED_TRACE(c);
        std::vector<int> row;
        for (std::int8_t e : tables.triangles[std::size_t(c)]) {
            if (e < 0)
                break;
            row.push_back(e);
        }
        ASSERT_EQ(row.size() % 3, 0u);
        ++rowsBySize[row.size() / 3];
        triangles += int(row.size() / 3);
        if (printed.count(c)) {
            EXPECT_EQ(row, printed.at(c));
        }

        auto isSet = [c](int corner) { return (c >> corner & 1) != 0; };
        unsigned mask = 0, used = 0;
        for (int e = 0; e < 12; ++e)
            if (isSet(edgeCorners(e)[0]) != isSet(edgeCorners(e)[1]))
                mask |= 1u << e;
        for (int e : row)
            used |= 1u << e;
        EXPECT_EQ(tables.edges[std::size_t(c)], mask);
        EXPECT_EQ(used, mask);

        // Midpoints in doubled coordinates; the normal must lean from the set
        // toward the clear end of the triangle's edges, and no directed edge
        // may repeat within the row.
        std::set<std::pair<int, int>> directed;
        for (std::size_t t = 0; t < row.size(); t += 3) {
            point m[3], along[3];
            for (int j = 0; j < 3; ++j) {
                const auto [a, b] = edgeCorners(row[t + j]);
                const int clear = isSet(a) ? b : a, set = isSet(a) ? a : b;
                m[j] = point(float(kCorner[a][0] + kCorner[b][0]), float(kCorner[a][1] + kCorner[b][1]),
                             float(kCorner[a][2] + kCorner[b][2]));
                along[j] = point(float(kCorner[clear][0] - kCorner[set][0]), float(kCorner[clear][1] - kCorner[set][1]),
                                 float(kCorner[clear][2] - kCorner[set][2]));
                EXPECT_TRUE(directed.insert({row[t + j], row[t + (j + 1) % 3]}).second);
            }
            const point normal = cross(m[1] - m[0], m[2] - m[0]);
            EXPECT_GT(dot(normal, along[0] + along[1] + along[2]), 0.0f) << "triangle " << t / 3;
        }
    }
    EXPECT_EQ(rowsBySize, (std::array<int, 6>{2, 16, 50, 80, 76, 32}));
    EXPECT_EQ(triangles, 820);
}

// ---- small volumes ------------------------------------------------------------

TEST(ContourSmallVolumes, SingleCellGivesAClosedOctahedronFacingItsSample)
{
    TriMesh mesh;
    ASSERT_TRUE(contourOccupancy(5, cells(5, {{2, 2, 2}}), 0.5f, LINEAR_INTERPOLATION, mesh, 1));
    // In the order of the edges' identifiers: lower sample first, then axis.
    const std::vector<point> expected = {{1.5f, 2, 2}, {2, 1.5f, 2}, {2, 2, 1.5f},
                                         {2.5f, 2, 2}, {2, 2.5f, 2}, {2, 2, 2.5f}};
    EXPECT_EQ(mesh.vertices, expected);
    ASSERT_EQ(mesh.faces.size(), 8u);
    EXPECT_TRUE(isClosed(mesh));
    const point centre(2, 2, 2);
    for (const TriMesh::Face& f : mesh.faces) {
        const point& a = mesh.vertices[f[0]];
        EXPECT_GT(dot(cross(mesh.vertices[f[1]] - a, mesh.vertices[f[2]] - a), centre - a), 0.0f);
    }
}

TEST(ContourSmallVolumes, CrossingsBetweenSamplesZeroAndOneAreMarchedInLinearModeOnly)
{
    // Cells from x = 1: the low x side crosses between samples 0 and 1, in
    // cubes at x = 0, which modes 1 to 3 do not march. Every other side is
    // two or more samples inside.
    const std::vector<std::uint8_t> block = cells(6, {{1, 2, 2}, {1, 2, 3}, {1, 3, 2}, {1, 3, 3},
                                                      {2, 2, 2}, {2, 2, 3}, {2, 3, 2}, {2, 3, 3}});
    for (int mode = LINEAR_INTERPOLATION; mode <= CATMULL_ROM_INTERPOLATION; ++mode) {
        SCOPED_TRACE(interpolationModeName(mode));
        TriMesh mesh;
        ASSERT_TRUE(contourOccupancy(6, block, 0.5f, mode, mesh, 1));
        if (mode == LINEAR_INTERPOLATION) {
            EXPECT_TRUE(isClosed(mesh));
            continue;
        }
        EXPECT_FALSE(isClosed(mesh));
        mesh.need_neighbors();
        for (int v = 0; v < int(mesh.vertices.size()); ++v)
            if (mesh.is_bdy(v)) {
                EXPECT_EQ(mesh.vertices[std::size_t(v)][0], 1.0f) << v;
            }
    }
}

TEST(ContourSmallVolumes, NothingProducedLeavesTheTargetAsItWas)
{
    const struct {
        std::vector<std::uint8_t> cells;
        float iso;
        int mode;
    } cases[] = {
        {cells(4, {}), 0.5f, LINEAR_INTERPOLATION},                              // empty volume
        {cells(4, {{1, 1, 1}}), 1.5f, LINEAR_INTERPOLATION},                     // every sample below
        {cells(4, {{1, 1, 1}}), 0.0f, CATMULL_ROM_INTERPOLATION},                // none below
        {cells(4, {{1, 1, 1}}), 0.5f, CUBIC_BSPLINE_INTERPOLATION},              // marches nothing
    };
    TriMesh target;
    target.vertices = {point(7, 7, 7)};
    for (const auto& c : cases) {
        EXPECT_FALSE(contourOccupancy(4, c.cells, c.iso, c.mode, target, 2));
        ASSERT_EQ(target.vertices.size(), 1u);
    }
    EXPECT_FALSE(contourGrid(0.5f, LINEAR_INTERPOLATION, target, ScalarGrid(0)));
    EXPECT_EQ(target.vertices.size(), 1u);
}

// ---- placement --------------------------------------------------------------

TEST(ContourPlacement, EachRulePlacesTheCrossingAsComputedByHand)
{
    // A field of size 4 that varies along one axis only, g at coordinates
    // 0..3: every vertex lies on an edge from 1 to 2 along that axis, at 1 + t.
    const struct {
        int mode;
        float g[4];
        float iso;
        double t;
    } cases[] = {
        {LINEAR_INTERPOLATION, {0, 0.2f, 1, 1}, 0.5f, 0.375},                  // 0.3 / 0.8
        {QUADRATIC_INTERPOLATION, {0, 0, 1, 1}, 0.3f, 0.3},                    // A = 0: t = iso
        {QUADRATIC_INTERPOLATION, {0, 0, 1, 0}, 0.5f, 0.4384471871911697},     // t^2 - 5t + 2 = 0
        {CUBIC_INTERPOLATION, {0, 0, 1, 1}, 0.25f, 0.265250324086752},         // 4t^3 - 6t^2 - 10t + 3 = 0
        {CATMULL_ROM_INTERPOLATION, {0, 0, 1, 1}, 0.2f, 0.24705266759621886},  // 5t^3 - 7.5t^2 - 2.5t + 1 = 0
        {CATMULL_ROM_INTERPOLATION, {-12, 0, 1, 10}, 0.5f, 10.0 / 19.0},       // three roots on the edge: mean
        {CATMULL_ROM_INTERPOLATION, {-6, 0, 1, 2}, 0.5f, 0.18912081520889096},  // 5t^3 - 10t^2 + 7t - 1: pair 0.905 +- 0.488i off
    };
    for (const auto& c : cases) {
        for (int axis = 0; axis < 3; ++axis) {
            SCOPED_TRACE(::testing::Message() << interpolationModeName(c.mode) << " iso " << c.iso << " axis " << axis);
            ScalarGrid grid(4);
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j)
                    for (int k = 0; k < 4; ++k)
                        grid.at(i, j, k) = c.g[std::array<int, 3>{i, j, k}[std::size_t(axis)]];
            TriMesh mesh;
            ASSERT_TRUE(contourGrid(c.iso, c.mode, mesh, grid));
            EXPECT_EQ(mesh.vertices.size(), c.mode == LINEAR_INTERPOLATION ? 16u : 4u);
            for (const point& p : mesh.vertices) {
                EXPECT_NEAR(p[axis], 1.0 + c.t, 1e-6);
                for (int other = 0; other < 3; ++other)
                    if (other != axis) {
                        EXPECT_EQ(p[other], std::round(p[other]));
                    }
            }
        }
    }
}

// ---- the bird hull ------------------------------------------------------------

// Each vertex lies inside one edge -- its lower sample and the axis of its one
// fractional coordinate -- and the edges ascend.
::testing::AssertionResult inEdgeOrder(const TriMesh& mesh, std::int64_t size)
{
    std::int64_t previous = -1;
    for (const point& p : mesh.vertices) {
        std::int64_t edge = 0;
        int axis = -1;
        for (int a = 0; a < 3; ++a) {
            edge = edge * size + std::int64_t(std::floor(p[a]));
            if (p[a] != std::floor(p[a]))
                axis = a;
        }
        if (axis < 0 || 3 * edge + axis <= previous)
            return ::testing::AssertionFailure() << "vertex " << p[0] << " " << p[1] << " " << p[2];
        previous = 3 * edge + axis;
    }
    return ::testing::AssertionSuccess();
}

// The whole field as the blocks of the cells write it, in x, y, z order, with
// `value` for an occupied cell.
ScalarGrid wholeField(int n, const std::vector<std::uint8_t>& occupied, int factor, float value)
{
    ScalarGrid field(n * factor);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                for (int a = 0; a < factor; ++a)
                    for (int b = 0; b < factor; ++b)
                        for (int c = 0; c < factor; ++c)
                            field.at(x + a, y + b, z + c) = occupied[(std::size_t(x) * n + y) * n + z] ? value : 0.0f;
    return field;
}

TEST(ContourHull, ClosedInEdgeOrderAndTheSameMeshAsContouringTheWholeField)
{
    DesignSession session;
    const QString birds = QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird%1.png");
    ASSERT_TRUE(session
                    .load({.paths = {birds.arg(1), birds.arg(2), birds.arg(3)},
                           .cellSize = 5.0f,
                           .how = DesignSession::Pictures::Plain})
                    .ok());
    ASSERT_TRUE(session.compute().ok());
    ShadowObject& hull = *session.volume().master();  // n = 50, cells from index 2 up
    const int n = hull.resolution();
    std::vector<std::uint8_t> birdCells;
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                birdCells.push_back(hull.isOccupied({x, y, z}) ? 1 : 0);
    // The bird keeps off the high sides; these cells touch all six.
    const std::vector<std::uint8_t> borderCells =
        cells(5, {{4, 4, 4}, {4, 4, 3}, {3, 4, 4}, {0, 0, 0}, {2, 2, 2}, {4, 0, 2}, {1, 3, 4}, {0, 4, 1}});

    // Samples of 2 and twice the iso-value: every crossing comes out the same,
    // but is solved on its own rather than once per pattern of 0 and 1.
    for (int factor = 1; factor <= 3; ++factor) {
        const ScalarGrid birdField = wholeField(n, birdCells, factor, 2.0f);
        const ScalarGrid borderField = wholeField(5, borderCells, factor, 2.0f);
        for (int mode = LINEAR_INTERPOLATION; mode <= CATMULL_ROM_INTERPOLATION; ++mode) {
            SCOPED_TRACE(::testing::Message() << interpolationModeName(mode) << " factor " << factor);
            TriMesh reference, mesh;
            ASSERT_TRUE(contourGrid(1.6f, mode, reference, birdField));
            ASSERT_TRUE(contourVolume(hull, 0.8f, mode, mesh, factor));
            EXPECT_EQ(mesh.vertices, reference.vertices);
            EXPECT_EQ(mesh.faces, reference.faces);
            EXPECT_TRUE(isClosed(mesh));
            EXPECT_LT(signedVolume6(mesh), 0.0);  // facing the occupied side
            EXPECT_TRUE(inEdgeOrder(mesh, n * factor));

            const bool marched = contourGrid(1.6f, mode, reference, borderField);
            ASSERT_EQ(contourOccupancy(5, borderCells, 0.8f, mode, mesh, factor), marched);
            if (marched) {
                EXPECT_EQ(mesh.vertices, reference.vertices);
                EXPECT_EQ(mesh.faces, reference.faces);
            }
        }
    }
}

}  // namespace
