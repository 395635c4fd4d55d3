#include "surface/VoxelContouring.h"

#include <algorithm>
#include <cassert>
#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

const char* interpolationModeName(int mode)
{
    switch (mode) {
    case LINEAR_INTERPOLATION: return "Linear";
    case QUADRATIC_INTERPOLATION: return "Quadratic";
    case CUBIC_INTERPOLATION: return "Cubic";
    case CATMULL_ROM_INTERPOLATION: return "Catmull-Rom";
    case CUBIC_BSPLINE_INTERPOLATION: return "Cubic-BSpline";
    default: return "";
    }
}

ScalarGrid::ScalarGrid(int n)
{
    if (n < 1)
        return;
    _size = n;
    _samples.assign(std::size_t(n) * n * n, 0.0f);
}

BorderIndexTable::BorderIndexTable(int n)
{
    assert(n >= 1);
    const std::size_t strides[3] = {std::size_t(n) * n, std::size_t(n), 1};
    for (int axis = 0; axis < 3; ++axis) {
        std::vector<std::size_t>& offsets = _offsets[std::size_t(axis)];
        offsets.resize(std::size_t(n) + 4);
        for (int c = -1; c <= n + 2; ++c)
            offsets[std::size_t(c + 1)] = std::size_t(std::clamp(c, 0, n - 1)) * strides[axis];
    }
}

std::int64_t VoxelEdgeFunction::operator()(std::int64_t cube, int edge) const
{
    const std::int64_t n = _n, nn = n * n;
    // Lower sample of the edge (offset from the cube's lowest sample) and axis.
    static constexpr struct {
        int di, dj, dk, axis;
    } kEdges[12] = {
        {0, 0, 0, 0}, {1, 0, 0, 1}, {0, 1, 0, 0}, {0, 0, 0, 1}, {0, 0, 1, 0}, {1, 0, 1, 1},
        {0, 1, 1, 0}, {0, 0, 1, 1}, {0, 0, 0, 2}, {1, 0, 0, 2}, {1, 1, 0, 2}, {0, 1, 0, 2},
    };
    if (edge < 0 || edge > 11)
        return -1;
    const auto& e = kEdges[edge];
    return 3 * (cube + e.di * nn + e.dj * n + e.dk) + e.axis;
}

// ---- case tables ---------------------------------------------------------------
//
// The tables follow from the corner and edge numbering. On each cube face the
// crossed edges are joined by segments: one segment when the face has one set
// corner, three, or two side by side; one segment around each set corner when
// two set corners lie diagonally opposite, so that the clear corners stay
// joined. Each segment is directed so that the surface's right-hand normal
// points to the clear side, and the segments close into polygons (a corner
// pair across the body diagonal thus gives two triangles).
//
// Where a polygon's list starts: in rows with at most four set corners it
// starts at the polygon's edge with the lowest key; in rows with more set
// corners it ends at that edge, the key then being taken from the clear
// corners (so a row and its complement list a shared polygon in opposite
// orders). The key of an edge is its inner corner (its set end, or its clear
// end in rows with more than four set corners), then 0 when the edge leaves
// that corner in kCubeEdgeCorners and 1 when it enters it, then its number.
// The list never starts on a cube face that the polygon crosses twice: a fan
// diagonal there would lie in the face, and the neighbouring cube could use
// the same vertex pair. Polygons follow in the order of their keys, and each
// is fanned from its first vertex.

namespace {

constexpr int kCorners[8][3] = {
    {0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1},
};

// Cube faces: outward normal and corners in ring order.
constexpr struct {
    int normal[3];
    int ring[4];
} kFaces[6] = {
    {{0, 0, -1}, {0, 1, 2, 3}}, {{0, 0, 1}, {4, 5, 6, 7}},  {{0, -1, 0}, {0, 1, 5, 4}},
    {{0, 1, 0}, {3, 2, 6, 7}},  {{-1, 0, 0}, {0, 3, 7, 4}}, {{1, 0, 0}, {1, 2, 6, 5}},
};

using Int3 = std::array<int, 3>;

int edgeBetween(int a, int b)
{
    for (int e = 0; e < 12; ++e)
        if ((kCubeEdgeCorners[e][0] == a && kCubeEdgeCorners[e][1] == b) ||
            (kCubeEdgeCorners[e][0] == b && kCubeEdgeCorners[e][1] == a))
            return e;
    assert(!"edgeBetween: corners not adjacent");
    return -1;
}

bool faceHasEdge(int face, int e)
{
    const int* ring = kFaces[face].ring;
    auto onRing = [ring](int corner) { return std::find(ring, ring + 4, corner) != ring + 4; };
    return onRing(kCubeEdgeCorners[e][0]) && onRing(kCubeEdgeCorners[e][1]);
}

Int3 cornerSum(int a, int b)
{
    return {kCorners[a][0] + kCorners[b][0], kCorners[a][1] + kCorners[b][1], kCorners[a][2] + kCorners[b][2]};
}

int dot3(const Int3& a, const Int3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Int3 cross3(const Int3& a, const int b[3])
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// Polygons of case `c` as edge cycles, each directed to face the clear side.
std::vector<std::vector<int>> polygonsOf(int c)
{
    auto isSet = [c](int corner) { return (c >> corner & 1) != 0; };
    auto setEnd = [&](int e) { return isSet(kCubeEdgeCorners[e][0]) ? kCubeEdgeCorners[e][0] : kCubeEdgeCorners[e][1]; };
    auto clearEnd = [&](int e) { return isSet(kCubeEdgeCorners[e][0]) ? kCubeEdgeCorners[e][1] : kCubeEdgeCorners[e][0]; };

    std::array<int, 12> next;
    next.fill(-1);
    for (const auto& face : kFaces) {
        int ringEdges[4], setCount = 0;
        for (int i = 0; i < 4; ++i) {
            ringEdges[i] = edgeBetween(face.ring[i], face.ring[(i + 1) % 4]);
            setCount += isSet(face.ring[i]) ? 1 : 0;
        }
        std::vector<std::pair<int, int>> segments;
        const bool diagonal = setCount == 2 && isSet(face.ring[0]) == isSet(face.ring[2]);
        if (diagonal) {
            for (int i = 0; i < 4; ++i)
                if (isSet(face.ring[i]))
                    segments.emplace_back(ringEdges[(i + 3) % 4], ringEdges[i]);
        } else if (setCount != 0 && setCount != 4) {
            std::vector<int> crossed;
            for (int e : ringEdges)
                if (isSet(kCubeEdgeCorners[e][0]) != isSet(kCubeEdgeCorners[e][1]))
                    crossed.push_back(e);
            assert(crossed.size() == 2);
            segments.emplace_back(crossed[0], crossed[1]);
        }
        for (auto [p, q] : segments) {
            // In the face, from the set ends toward the clear ends of both
            // edges; the segment runs along (that direction x outward normal).
            const Int3 setSide = cornerSum(setEnd(p), setEnd(q));
            const Int3 clearSide = cornerSum(clearEnd(p), clearEnd(q));
            const Int3 toClear = {clearSide[0] - setSide[0], clearSide[1] - setSide[1], clearSide[2] - setSide[2]};
            const Int3 along = cross3(toClear, face.normal);
            const Int3 mp = cornerSum(kCubeEdgeCorners[p][0], kCubeEdgeCorners[p][1]);
            const Int3 mq = cornerSum(kCubeEdgeCorners[q][0], kCubeEdgeCorners[q][1]);
            const int forward = dot3({mq[0] - mp[0], mq[1] - mp[1], mq[2] - mp[2]}, along);
            assert(forward != 0);
            if (forward < 0)
                std::swap(p, q);
            assert(next[std::size_t(p)] == -1);
            next[std::size_t(p)] = q;
        }
    }

    std::vector<std::vector<int>> polygons;
    std::array<bool, 12> used{};
    for (int e = 0; e < 12; ++e) {
        if (next[std::size_t(e)] < 0 || used[std::size_t(e)])
            continue;
        std::vector<int> cycle;
        for (int x = e; !used[std::size_t(x)]; x = next[std::size_t(x)]) {
            used[std::size_t(x)] = true;
            cycle.push_back(x);
        }
        assert(cycle.size() >= 3 && next[std::size_t(cycle.back())] == e);
        polygons.push_back(std::move(cycle));
    }
    return polygons;
}

CaseTables buildCaseTables()
{
    CaseTables tables;
    for (int c = 0; c < 256; ++c) {
        auto isSet = [c](int corner) { return (c >> corner & 1) != 0; };
        for (int e = 0; e < 12; ++e)
            if (isSet(kCubeEdgeCorners[e][0]) != isSet(kCubeEdgeCorners[e][1]))
                tables.edges[std::size_t(c)] |= std::uint16_t(1u << e);

        int setCount = 0;
        for (int corner = 0; corner < 8; ++corner)
            setCount += isSet(corner) ? 1 : 0;
        const bool aroundSet = setCount <= 4;
        // Key of an edge for the start of a polygon, see above.
        auto startKey = [&](int e) {
            const int first = kCubeEdgeCorners[e][0];
            const int inner = isSet(first) == aroundSet ? first : kCubeEdgeCorners[e][1];
            return inner * 32 + (inner == first ? 0 : 16) + e;
        };

        std::vector<std::pair<int, std::vector<int>>> ordered;
        for (std::vector<int>& polygon : polygonsOf(c)) {
            std::array<int, 6> onFace{};
            for (int e : polygon)
                for (int f = 0; f < 6; ++f)
                    onFace[std::size_t(f)] += faceHasEdge(f, e) ? 1 : 0;
            auto offTwiceCrossedFace = [&](int e) {
                for (int f = 0; f < 6; ++f)
                    if (faceHasEdge(f, e) && onFace[std::size_t(f)] == 4)
                        return false;
                return true;
            };
            const std::size_t size = polygon.size();
            int bestKey = -1;
            std::size_t bestStart = 0;
            for (std::size_t r = 0; r < size; ++r) {
                if (!offTwiceCrossedFace(polygon[r]))
                    continue;
                const int key = startKey(aroundSet ? polygon[r] : polygon[(r + size - 1) % size]);
                if (bestKey < 0 || key < bestKey) {
                    bestKey = key;
                    bestStart = r;
                }
            }
            assert(bestKey >= 0);
            std::rotate(polygon.begin(), polygon.begin() + std::ptrdiff_t(bestStart), polygon.end());
            ordered.emplace_back(bestKey, std::move(polygon));
        }
        std::sort(ordered.begin(), ordered.end());

        std::array<std::int8_t, 16>& row = tables.triangles[std::size_t(c)];
        row.fill(-1);
        std::size_t at = 0;
        for (const auto& [key, polygon] : ordered) {
            for (std::size_t i = 1; i + 1 < polygon.size(); ++i) {
                assert(at + 3 < row.size());
                row[at++] = std::int8_t(polygon[0]);
                row[at++] = std::int8_t(polygon[i]);
                row[at++] = std::int8_t(polygon[i + 1]);
            }
        }
    }
    return tables;
}

// ---- crossing placement --------------------------------------------------------

// Mean of the real parts of the roots that lie on the edge: nearly real and
// between 0 and 1.
class RootMean {
public:
    void add(double re, double im)
    {
        if (std::abs(im) < 0.001 && re >= 0.0 && re <= 1.0) {
            _sum += re;
            ++_count;
        }
    }
    double value() const { return _count > 0 ? _sum / _count : 0.0; }

private:
    double _sum = 0.0;
    int _count = 0;
};

// a t^2 + b t + c = 0, a != 0: two real roots or a complex pair.
void addQuadraticRoots(double a, double b, double c, RootMean& roots)
{
    const double discriminant = b * b - 4.0 * a * c;
    if (discriminant >= 0.0) {
        const double s = std::sqrt(discriminant);
        roots.add((-b + s) / (2.0 * a), 0.0);
        roots.add((-b - s) / (2.0 * a), 0.0);
    } else {
        const double re = -b / (2.0 * a);
        const double im = std::sqrt(-discriminant) / (2.0 * a);
        roots.add(re, im);
        roots.add(re, -im);
    }
}

// a3 t^3 + a2 t^2 + a1 t + a0 = 0; a zero leading coefficient falls back to
// the quadratic, then to the linear equation.
void addCubicRoots(double a3, double a2, double a1, double a0, RootMean& roots)
{
    if (a3 == 0.0) {
        if (a2 != 0.0)
            addQuadraticRoots(a2, a1, a0, roots);
        else if (a1 != 0.0)
            roots.add(-a0 / a1, 0.0);
        return;
    }
    const double p = a2 / a3, q = a1 / a3, r = a0 / a3;
    const double Q = (3.0 * q - p * p) / 9.0;
    const double R = (9.0 * p * q - 27.0 * r - 2.0 * p * p * p) / 54.0;
    const double discriminant = R * R + Q * Q * Q;
    const double shift = p / 3.0;
    if (discriminant <= 0.0) {
        if (Q == 0.0) {  // then R = 0 too: a triple root
            for (int i = 0; i < 3; ++i)
                roots.add(-shift, 0.0);
            return;
        }
        const double m = 2.0 * std::sqrt(-Q);
        const double theta = std::acos(std::clamp(R / std::sqrt(-Q * Q * Q), -1.0, 1.0));
        for (int i = 0; i < 3; ++i)
            roots.add(m * std::cos((theta + 2.0 * std::numbers::pi * i) / 3.0) - shift, 0.0);
    } else {
        const double s = std::sqrt(discriminant);
        const double S = std::cbrt(R + s), T = std::cbrt(R - s);
        roots.add(S + T - shift, 0.0);
        const double re = -(S + T) / 2.0 - shift;
        const double im = std::sqrt(3.0) / 2.0 * (S - T);
        roots.add(re, im);
        roots.add(re, -im);
    }
}

// Offset of the crossing from the edge's lower sample; g holds the samples at
// -1, 0, +1 and +2 along the edge. Mode 4 marches no cube and so places none.
double crossingOffset(int mode, const float g[4], float iso)
{
    const double gm = g[0], g0 = g[1], g1 = g[2], g2 = g[3];
    const double c0 = g0 - iso;
    RootMean roots;
    switch (mode) {
    case LINEAR_INTERPOLATION:
        return (iso - g0) / (g1 - g0);
    case QUADRATIC_INTERPOLATION: {
        // The mean of the parabolas through (-1, 0, 1) and (0, 1, 2).
        const double A = (gm - g0 - g1 + g2) / 4.0;
        const double B = (5.0 * g1 - 3.0 * g0 - gm - g2) / 4.0;
        if (A == 0.0)
            return B != 0.0 ? -c0 / B : 0.0;
        addQuadraticRoots(A, B, c0, roots);
        return roots.value();
    }
    case CUBIC_INTERPOLATION:
        addCubicRoots(g0 / 2.0 - gm / 6.0 - g1 / 2.0 + g2 / 6.0, (gm + g1) / 2.0 - g0,
                      g1 - gm / 3.0 - g0 / 2.0 - g2 / 6.0, c0, roots);
        return roots.value();
    case CATMULL_ROM_INTERPOLATION:
        addCubicRoots(1.5 * g0 - 0.5 * gm - 1.5 * g1 + 0.5 * g2, gm - 2.5 * g0 + 2.0 * g1 - 0.5 * g2,
                      0.5 * g1 - 0.5 * gm, c0, roots);
        return roots.value();
    default:
        assert(!"crossingOffset: unhandled case");
        return 0.0;
    }
}

// ---- the march -------------------------------------------------------------------

constexpr std::uint32_t kOneBits = 0x3F800000u;
static_assert(std::bit_cast<std::uint32_t>(1.0f) == kOneBits);

bool marches(int mode) { return mode >= LINEAR_INTERPOLATION && mode <= CATMULL_ROM_INTERPOLATION; }

// The fields the march reads. Both give the samples of a column (i, j) as
// contiguous k (for i up to one past the slab last prepared), and any single
// sample with the border rule of BorderIndexTable.

// A field held in full.
class StoredField {
public:
    explicit StoredField(const ScalarGrid& grid) : _grid(grid), _table(grid._size) {}
    int size() const { return _grid._size; }
    int stored() const { return _grid._size; }
    void prepare(int) {}
    const float* column(int i, int j) const { return _grid._samples.data() + _grid.index(i, j, 0); }
    float at(int i, int j, int k) const { return _grid._samples[_table.index(i, j, k)]; }

private:
    const ScalarGrid& _grid;
    BorderIndexTable _table;
};

// The field of an occupancy (see contourOccupancy), never built in full: the
// two slabs the march is between are expanded from the cells, and single
// samples are read from the cells.
class OccupancyField {
public:
    OccupancyField(int n, std::span<const std::uint8_t> occupied, int factor)
        : _n(n), _size(n * factor), _stored(n + factor - 1), _dim(_stored + 1), _occupied(occupied)
    {
        for (std::vector<float>& slab : _slabs)
            slab.resize(std::size_t(_dim) * std::size_t(_dim));
    }
    int size() const { return _size; }
    int stored() const { return _stored; }

    // Makes slabs i and i + 1 readable.
    void prepare(int i)
    {
        for (const int slab : {i, i + 1})
            if (_slabIndex[std::size_t(slab & 1)] != slab)
                load(slab);
    }
    const float* column(int i, int j) const
    {
        return _slabs[std::size_t(i & 1)].data() + std::size_t(j) * std::size_t(_dim);
    }
    float at(int i, int j, int k) const
    {
        // Coordinates are clamped into the field; from `stored` up the samples are 0.
        const int c[3] = {std::clamp(i, 0, _size - 1), std::clamp(j, 0, _size - 1), std::clamp(k, 0, _size - 1)};
        if (c[0] >= _stored || c[1] >= _stored || c[2] >= _stored)
            return 0.0f;
        return _occupied[cell(c[0], c[1], c[2])] ? 1.0f : 0.0f;
    }

private:
    // Sample (a, b, c) below `stored` holds cell (min(a, n-1), ...).
    std::size_t cell(int a, int b, int c) const
    {
        const std::size_t n = std::size_t(_n);
        return (std::size_t(std::min(a, _n - 1)) * n + std::size_t(std::min(b, _n - 1))) * n +
               std::size_t(std::min(c, _n - 1));
    }

    void load(int i)
    {
        std::vector<float>& slab = _slabs[std::size_t(i & 1)];
        std::fill(slab.begin(), slab.end(), 0.0f);
        if (i < _stored)
            for (int j = 0; j < _stored; ++j) {
                const std::uint8_t* cells = _occupied.data() + cell(i, j, 0);
                float* out = slab.data() + std::size_t(j) * std::size_t(_dim);
                for (int k = 0; k < _n; ++k)
                    out[k] = cells[k] ? 1.0f : 0.0f;
                std::fill(out + _n, out + _stored, out[_n - 1]);
            }
        _slabIndex[std::size_t(i & 1)] = i;
    }

    int _n, _size, _stored, _dim;
    std::span<const std::uint8_t> _occupied;
    std::array<std::vector<float>, 2> _slabs;
    std::array<int, 2> _slabIndex{-1, -1};
};

// A corner of a marched face: its edge and where it goes in the faces.
struct FaceCorner {
    std::int64_t edge;
    std::int64_t slot;  // 3 * face + corner
};

// Marches the cubes of a field whose samples from `stored` up (on any axis)
// are uniform. Vertices are numbered slab by slab: the edges whose lower
// sample lies in slab a are crossed only by cubes of slabs a - 1 and a, so
// once slab a is marched they are numbered (in ascending order, after every
// lower slab's) and placed, and only two slabs' face corners wait at a time.
// The edges a slab's cubes cross lie in that slab and the next.
template <class Field>
bool contourField(Field& field, float iso, int mode, TriMesh& target)
{
    if (!marches(mode))
        return false;
    const int n = field.size(), stored = field.stored();
    const int first = mode == LINEAR_INTERPOLATION ? 0 : 1;
    const int end = std::min(mode == LINEAR_INTERPOLATION ? n - 1 : n - 2, stored);
    if (end <= first)
        return false;
    const CaseTables& tables = caseTables();
    const VoxelEdgeFunction edgeOf(n);
    const std::int64_t nn = std::int64_t(n) * n;

    // Per sample column (i, j), the first and last k in [first, end] whose
    // sample is not below the iso-value. A cube whose four columns hold no
    // such sample at k or k + 1 has every corner set and yields nothing.
    const std::size_t width = std::size_t(end) + 1;
    struct Span {
        int low = std::numeric_limits<int>::max();
        int high = std::numeric_limits<int>::min();
    };
    std::vector<Span> clearSpans(width * width);
    for (int i = first; i <= end; ++i) {
        field.prepare(i);
        for (int j = first; j <= end; ++j) {
            const float* column = field.column(i, j);
            Span& span = clearSpans[std::size_t(i) * width + std::size_t(j)];
            for (int k = first; k <= end; ++k) {
                if (!(column[k] < iso)) {
                    span.low = std::min(span.low, k);
                    span.high = k;
                }
            }
        }
    }

    std::vector<TriMesh::Face> faces;
    std::vector<point> vertices;
    std::array<double, 16> patternOffsets;
    std::array<bool, 16> patternKnown{};
    // Places the vertex of an edge along the edge's axis. A field made from
    // an occupancy holds only 0 and 1: the four samples then form one of 16
    // patterns, each placed once (the same computation, so the same offset).
    auto place = [&](std::int64_t edge) {
        const std::int64_t v = edge / 3;
        const int axis = int(edge % 3);
        const int at[3] = {int(v / nn % n), int(v / n % n), int(v % n)};
        float g[4];
        int pattern = 0;
        bool binary = true;
        for (int d = -1; d <= 2; ++d) {
            int q[3] = {at[0], at[1], at[2]};
            q[axis] += d;
            g[d + 1] = field.at(q[0], q[1], q[2]);
            const std::uint32_t bits = std::bit_cast<std::uint32_t>(g[d + 1]);
            pattern |= int(bits == kOneBits) << (d + 1);
            binary = binary && (bits == 0 || bits == kOneBits);
        }
        double offset;
        if (!binary) {
            offset = crossingOffset(mode, g, iso);
        } else {
            if (!patternKnown[std::size_t(pattern)]) {
                patternOffsets[std::size_t(pattern)] = crossingOffset(mode, g, iso);
                patternKnown[std::size_t(pattern)] = true;
            }
            offset = patternOffsets[std::size_t(pattern)];
        }
        point p{float(at[0]), float(at[1]), float(at[2])};
        p[axis] += float(offset);
        vertices.push_back(p);
    };

    // The face corners whose edges lie in the slab being marched (`current`)
    // and in the next one. An edge of slab a is (a, j, k, axis) with j and k
    // at most `end`: a table over (j, k, axis), in the order of the edge
    // identifiers, numbers the slab's edges without sorting.
    std::vector<FaceCorner> current, next;
    const std::size_t side = std::size_t(end) + 1;
    std::vector<int> numberOf(side * side * 3, -1);  // -2: used, not numbered yet
    auto slot = [&](std::int64_t slabStart, std::int64_t edge) {
        const std::int64_t local = edge - slabStart, v = local / 3;
        return (std::size_t(v / n) * side + std::size_t(v % n)) * 3 + std::size_t(local % 3);
    };
    auto numberSlab = [&](int a) {
        if (current.empty())
            return;
        const std::int64_t slabStart = 3 * nn * a;
        std::size_t low = numberOf.size(), high = 0;
        for (const FaceCorner& c : current) {
            const std::size_t t = slot(slabStart, c.edge);
            numberOf[t] = -2;
            low = std::min(low, t);
            high = std::max(high, t);
        }
        for (std::size_t t = low; t <= high; ++t) {
            if (numberOf[t] != -2)
                continue;
            const std::size_t jk = t / 3;
            place(slabStart + 3 * (std::int64_t(jk / side) * n + std::int64_t(jk % side)) + std::int64_t(t % 3));
            numberOf[t] = int(vertices.size()) - 1;
        }
        for (const FaceCorner& c : current)
            faces[std::size_t(c.slot / 3)][int(c.slot % 3)] = numberOf[slot(slabStart, c.edge)];
        for (const FaceCorner& c : current)
            numberOf[slot(slabStart, c.edge)] = -1;
        current.clear();
    };

    // March: faces in cube order, each corner waiting for its vertex number.
    for (int i = first; i < end; ++i) {
        field.prepare(i);
        const std::int64_t nextSlab = 3 * nn * (i + 1);  // the first edge of slab i + 1
        for (int j = first; j < end; ++j) {
            const Span* spans = clearSpans.data() + std::size_t(i) * width + std::size_t(j);
            const int clearLow = std::min({spans[0].low, spans[1].low, spans[width].low, spans[width + 1].low});
            const int clearHigh = std::max({spans[0].high, spans[1].high, spans[width].high, spans[width + 1].high});
            if (clearLow > clearHigh)
                continue;
            const int kBegin = std::max(first, clearLow - 1), kEnd = std::min(end, clearHigh + 1);
            const float* s0 = field.column(i, j);          // (i, j)
            const float* s1 = field.column(i + 1, j);      // (i+1, j)
            const float* s2 = field.column(i + 1, j + 1);  // (i+1, j+1)
            const float* s3 = field.column(i, j + 1);      // (i, j+1)
            auto setCorners = [&](int k) {
                return int(s0[k] < iso) | int(s1[k] < iso) << 1 | int(s2[k] < iso) << 2 | int(s3[k] < iso) << 3;
            };
            int low = setCorners(kBegin);
            for (int k = kBegin; k < kEnd; ++k) {
                const int high = setCorners(k + 1);
                const int cubeCase = low | high << 4;
                low = high;
                const unsigned mask = tables.edges[std::size_t(cubeCase)];
                if (mask == 0)
                    continue;
                const std::int64_t cube = (std::int64_t(i) * n + j) * n + k;
                std::int64_t edges[12];
                for (int e = 0; e < 12; ++e)
                    if (mask >> e & 1)
                        edges[e] = edgeOf(cube, e);
                for (const std::int8_t* t = tables.triangles[std::size_t(cubeCase)].data(); *t >= 0; t += 3) {
                    const std::int64_t faceSlot = std::int64_t(faces.size()) * 3;
                    faces.emplace_back();
                    for (int corner = 0; corner < 3; ++corner) {
                        const std::int64_t edge = edges[t[corner]];
                        (edge < nextSlab ? current : next).push_back({edge, faceSlot + corner});
                    }
                }
            }
        }
        numberSlab(i);
        std::swap(current, next);
    }
    numberSlab(end);
    if (faces.empty())
        return false;

    target = TriMesh();
    target.vertices = std::move(vertices);
    target.faces = std::move(faces);
    return true;
}

}  // namespace

const CaseTables& caseTables()
{
    static const CaseTables tables = buildCaseTables();
    return tables;
}

bool contourGrid(float iso, int mode, TriMesh& target, const ScalarGrid& grid)
{
    if (grid.empty() || !marches(mode))
        return false;
    StoredField field(grid);
    return contourField(field, iso, mode, target);
}

bool contourOccupancy(int n, std::span<const std::uint8_t> occupied, float iso, int mode, TriMesh& target,
                      int factor)
{
    if (n < 1 || factor < 1 || !marches(mode))
        return false;
    assert(occupied.size() == std::size_t(n) * n * n);
    OccupancyField field(n, occupied, factor);
    return contourField(field, iso, mode, target);
}
