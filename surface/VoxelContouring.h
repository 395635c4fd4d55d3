#pragma once
// Marching cubes over a scalar field built from a voxel occupancy. Where a
// cube edge is crossed, the crossing point is placed by one of the
// interpolation rules below, which look at one, two or four samples along the
// edge's axis: the same blocky volume gives a faceted or a smooth surface.
//
// Sample (i, j, k) of a field of edge length N has linear index
// (i N + j) N + k. A cube is named by its lowest sample; its corners are
// 0 = (i, j, k), 1 = (i+1, j, k), 2 = (i+1, j+1, k), 3 = (i, j+1, k) and 4..7
// the same one step higher in k. Edge e of the cube joins the corners
// kCubeEdgeCorners[e]. A corner counts as set when its sample is below the
// iso-value; triangles face the clear side (samples at or above the iso-value,
// the occupied cells of a volume). Vertices are in sample units.

#include "surface/TriMesh.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

// How a crossing point is placed on its edge. The names are the entries of the
// interpolation list shown to the user.
enum InterpolationMode : int {
    LINEAR_INTERPOLATION = 0,
    QUADRATIC_INTERPOLATION = 1,
    CUBIC_INTERPOLATION = 2,
    CATMULL_ROM_INTERPOLATION = 3,
    CUBIC_BSPLINE_INTERPOLATION = 4,  // listed, but marches no cube
};

// "Linear", "Quadratic", "Cubic", "Catmull-Rom", "Cubic-BSpline"; "" otherwise.
const char* interpolationModeName(int mode);

// Cubic field of N x N x N float samples, all 0 at first; empty for N < 1.
struct ScalarGrid {
    ScalarGrid() = default;
    explicit ScalarGrid(int n);

    float& at(int i, int j, int k) { return _samples[index(i, j, k)]; }
    float at(int i, int j, int k) const { return _samples[index(i, j, k)]; }
    std::size_t index(int i, int j, int k) const { return (std::size_t(i) * _size + j) * _size + k; }
    bool empty() const { return _samples.empty(); }

    int _padded = 0;  // always 0: no padding layer
    int _size = 0;    // N
    std::vector<float> _samples;
};

// Per axis, the storage offset of a coordinate from -1 to N + 2, clamped into
// the grid, so that reads up to one step below or two steps above the border
// repeat the border sample.
class BorderIndexTable {
public:
    // For a full ScalarGrid of edge length n.
    explicit BorderIndexTable(int n);

    // Storage index of sample (i, j, k), each coordinate in -1 .. n + 2.
    std::size_t index(int i, int j, int k) const
    {
        return _offsets[0][std::size_t(i + 1)] + _offsets[1][std::size_t(j + 1)] + _offsets[2][std::size_t(k + 1)];
    }

private:
    std::array<std::vector<std::size_t>, 3> _offsets;
};

// Identifier of a cube edge, shared by the up to four cubes around the edge.
class EdgeFunction {
public:
    virtual ~EdgeFunction() = default;
    // Edge `edge` (0..11) of the cube whose lowest sample has linear index
    // `cube`; -1 for an edge number above 11.
    virtual std::int64_t operator()(std::int64_t cube, int edge) const = 0;
};

// 3 v + a, where v is the linear index of the edge's lower sample and a its
// axis (0 along i, 1 along j, 2 along k).
class VoxelEdgeFunction final : public EdgeFunction {
public:
    explicit VoxelEdgeFunction(int n) : _n(n) {}
    std::int64_t operator()(std::int64_t cube, int edge) const override;

    int _n = 0;
};

// Corner pair of each cube edge, first corner first.
inline constexpr int kCubeEdgeCorners[12][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 0}, {4, 5}, {5, 6}, {6, 7}, {7, 4}, {0, 4}, {1, 5}, {2, 6}, {3, 7},
};

// The marching-cubes cases, indexed by the cube's set corners (bit b for
// corner b): the crossed edges and up to five triangles of edge numbers,
// ended by -1.
struct CaseTables {
    std::array<std::uint16_t, 256> edges{};
    std::array<std::array<std::int8_t, 16>, 256> triangles{};
};
// Built once, on first use.
const CaseTables& caseTables();

// Contours a ready field: marches its cubes, shares the crossing points of
// neighbouring cubes, places them by `mode` and replaces `target` with the
// mesh. False, with `target` unchanged, when no triangle was produced (also
// for mode 4, which marches nothing).
bool contourGrid(float iso, int mode, TriMesh& target, const ScalarGrid& grid);

// Contours n x n x n cells, `occupied` holding cell (x, y, z) at
// (x n + y) n + z (non-zero when occupied), on a field `factor` times larger
// per axis: cell (x, y, z) writes 1 or 0 into the factor^3 samples from
// (x, y, z) up, later cells overwriting earlier ones. The result is the same
// as contourGrid on that field, which is never built: only its first
// n + factor - 1 samples per axis can be non-zero, and the march expands two
// slabs of those at a time, so the memory it takes grows with n^2 (besides
// the mesh), whatever the factor.
bool contourOccupancy(int n, std::span<const std::uint8_t> occupied, float iso, int mode, TriMesh& target,
                      int factor);
