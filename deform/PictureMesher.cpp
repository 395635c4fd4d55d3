#include "deform/PictureMesher.h"

#include "surface/Delaunay.h"

#include <ANN/ANN.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr double kAnnEps = 1e-5;
constexpr double kMinCornerCosine = -0.7;
constexpr double kMaxCornerCosine = 0.999;

// A 2-D ANN point array that frees itself; the kd-tree built on it must be
// destroyed first (it keeps pointers into the array).
class AnnPoints {
public:
    explicit AnnPoints(const std::vector<point>& pixels) : _pts(annAllocPts(static_cast<int>(pixels.size()), 2))
    {
        for (size_t i = 0; i < pixels.size(); ++i) {
            _pts[i][0] = pixels[i][0];
            _pts[i][1] = pixels[i][1];
        }
    }
    ~AnnPoints() { annDeallocPts(_pts); }
    AnnPoints(const AnnPoints&) = delete;
    AnnPoints& operator=(const AnnPoints&) = delete;

    ANNpointArray get() const { return _pts; }

private:
    ANNpointArray _pts;
};

double squared_distance(const point& a, const point& b)
{
    const double dx = double(a[0]) - double(b[0]);
    const double dy = double(a[1]) - double(b[1]);
    return dx * dx + dy * dy;
}

// Buckets of sample indices on a square grid whose cell side is at least the
// exclusion radius, so every sample closer than that radius to a point lies
// in the 3 x 3 cells around the point's cell.
class SampleGrid {
public:
    SampleGrid(int width, int height, float cell)
        : _cell(cell), _nx(cells_along(width, cell)), _ny(cells_along(height, cell)), _buckets(size_t(_nx) * _ny)
    {
    }

    void add(const point& p, int index) { _buckets[size_t(column(p[1], _ny)) * _nx + column(p[0], _nx)].push_back(index); }

    bool any_closer(const point& p, const std::vector<point>& samples, double radius2) const
    {
        const int cx = column(p[0], _nx), cy = column(p[1], _ny);
        for (int y = std::max(cy - 1, 0); y <= std::min(cy + 1, _ny - 1); ++y)
            for (int x = std::max(cx - 1, 0); x <= std::min(cx + 1, _nx - 1); ++x)
                for (int i : _buckets[size_t(y) * _nx + x])
                    if (squared_distance(p, samples[i]) < radius2)
                        return true;
        return false;
    }

private:
    static int cells_along(int pixels, float cell) { return std::max(1, static_cast<int>(std::ceil(pixels / cell))); }

    // Cell of a coordinate, clamped to the grid: clamping never increases the
    // cell distance to a point inside, so the 3 x 3 search stays exact.
    int column(float coord, int count) const
    {
        const float c = std::floor(coord / _cell);
        if (!(c > 0.0f))
            return 0;
        return c >= float(count - 1) ? count - 1 : static_cast<int>(c);
    }

    float _cell;
    int _nx, _ny;
    std::vector<std::vector<int>> _buckets;
};

// Cosine of the corner angle at `corner` from the unit edge vectors; 1 for a
// degenerate corner so that it is rejected.
float corner_cosine(const point& corner, const point& next, const point& prev)
{
    const point u = next - corner;
    const point v = prev - corner;
    const float lu = len(u), lv = len(v);
    if (!(lu > 0.0f && lv > 0.0f))
        return 1.0f;
    return dot(u * (1.0f / lu), v * (1.0f / lv));
}

bool well_shaped_corner(float cosine)
{
    return cosine >= kMinCornerCosine && cosine <= kMaxCornerCosine;
}

}  // namespace

PictureMesher::PictureMesher(const QImage& picture, float spacing, int target_width)
    : _width(picture.width()),
      _height(picture.height()),
      _spacing2(spacing * spacing),
      _four_spacing2(4.0f * spacing * spacing),
      _target_width(target_width)
{
    _dark.assign(size_t(_width) * _height, 0);
    for (int y = 0; y < _height; ++y) {
        for (int x = 0; x < _width; ++x) {
            const QRgb c = picture.pixel(x, y);
            _dark[size_t(y) * _width + x] = qRed(c) < 100 && qGreen(c) < 100 && qBlue(c) < 100;
        }
    }

    for (int x = 0; x < _width; ++x) {
        for (int y = 0; y < _height; ++y) {
            if (!is_dark(x, y))
                continue;
            bool light_neighbour = false;
            for (int dx = -1; dx <= 1 && !light_neighbour; ++dx)
                for (int dy = -1; dy <= 1 && !light_neighbour; ++dy) {
                    const int nx = x + dx, ny = y + dy;
                    const bool inside = nx >= 0 && nx < _width && ny >= 0 && ny < _height;
                    light_neighbour = inside && !is_dark(nx, ny);
                }
            (light_neighbour ? _boundary : _interior).emplace_back(float(x), float(y), 0.0f);
        }
    }
}

bool PictureMesher::is_dark(int x, int y) const
{
    return x >= 0 && x < _width && y >= 0 && y < _height && _dark[size_t(y) * _width + x] != 0;
}

std::vector<point> PictureMesher::boundary_samples() const
{
    std::vector<point> samples;
    const int n = static_cast<int>(_boundary.size());
    if (n == 0)
        return samples;

    const AnnPoints points(_boundary);
    ANNkd_tree tree(points.get(), n, 2, 1, ANN_KD_SUGGEST);
    std::vector<char> marked(n, 0);
    std::vector<ANNidx> found;
    std::vector<ANNdist> distances;
    for (int i = 0; i < n; ++i) {
        if (marked[i])
            continue;
        samples.push_back(_boundary[i]);
        marked[i] = 1;
        // The search returns the number of points in range but reports at
        // most k of them: count first, then fetch them all.
        ANNpoint q = points.get()[i];
        const int count = tree.annkFRSearch(q, _spacing2, 0, nullptr, nullptr, kAnnEps);
        found.assign(count, ANN_NULL_IDX);
        distances.assign(count, 0.0);
        tree.annkFRSearch(q, _spacing2, count, found.data(), distances.data(), kAnnEps);
        for (ANNidx j : found)
            if (j >= 0 && j < n)
                marked[j] = 1;
    }
    return samples;
}

std::vector<point> PictureMesher::add_interior_samples(std::vector<point> samples) const
{
    const double radius2 = _four_spacing2;
    // The cell side is the exclusion radius, at least one pixel (also when
    // the radius is not a number).
    const float cell = std::max(1.0f, std::sqrt(_four_spacing2));
    SampleGrid grid(_width, _height, cell);
    for (int i = 0; i < static_cast<int>(samples.size()); ++i)
        grid.add(samples[i], i);
    for (const point& p : _interior) {
        if (grid.any_closer(p, samples, radius2))
            continue;
        grid.add(p, static_cast<int>(samples.size()));
        samples.push_back(p);
    }
    return samples;
}

TriMesh PictureMesher::triangulate(const std::vector<point>& samples) const
{
    std::vector<tpp::Delaunay::Point> input;
    input.reserve(samples.size());
    for (const point& p : samples)
        input.push_back({double(p[0]), double(p[1])});
    tpp::Delaunay delaunay(input);
    delaunay.Triangulate();

    TriMesh mesh;
    mesh.vertices.reserve(delaunay.nvertices());
    for (auto v = delaunay.vbegin(); v != delaunay.vend(); ++v)
        mesh.vertices.emplace_back(float((*v)[0]), float((*v)[1]), 0.0f);
    for (auto f = delaunay.fbegin(); f != delaunay.fend(); ++f) {
        const int a = delaunay.Org(f), b = delaunay.Dest(f), c = delaunay.Apex(f);
        if (keeps_triangle(mesh.vertices[a], mesh.vertices[b], mesh.vertices[c]))
            mesh.faces.emplace_back(a, b, c);
    }
    return mesh;
}

bool PictureMesher::keeps_triangle(const point& a, const point& b, const point& c) const
{
    if (!well_shaped_corner(corner_cosine(a, b, c)) || !well_shaped_corner(corner_cosine(b, c, a))
        || !well_shaped_corner(corner_cosine(c, a, b)))
        return false;
    const float cx = (a[0] + b[0] + c[0]) / 3.0f;
    const float cy = (a[1] + b[1] + c[1]) / 3.0f;
    // trunc, as int conversion does; the range test keeps the conversion defined.
    if (!(cx > -1.0f && cx < float(_width) && cy > -1.0f && cy < float(_height)))
        return false;
    return is_dark(static_cast<int>(cx), static_cast<int>(cy));
}

TriMesh PictureMesher::mesh() const
{
    TriMesh mesh = triangulate(add_interior_samples(boundary_samples()));
    if (_target_width != 0 && _width > 0)
        mesh.scale_mesh(float(_target_width) / float(_width));
    return mesh;
}
