#include "ReferenceHull.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace reference {

int resolution(float cellSize)
{
    return static_cast<int>(std::floor(250.0 / double(cellSize)));
}

std::array<int, 3> setModes(int set)
{
    static const std::array<int, 3> modes[3] = {{0, 1, 2}, {0, 1, 3}, {0, 4, 5}};
    return modes[set == 1 || set == 2 ? set : 0];
}

Pixel pixelOf(int mode, int x, int y, int z)
{
    // Oblique columns: double precision from the integer coordinates,
    // truncated toward zero.
    switch (mode) {
    case 0: return {y, z};
    case 1: return {x, z};
    case 2: return {x, y};
    case 3: return {int(std::trunc(0.7071 * x + 0.7071 * y)), z};
    case 4: return {int(std::trunc(0.866 * x + 0.5 * y)), z};
    default: return {int(std::trunc(0.866 * x - 0.5 * y)), z};
    }
}

View::View(const QImage& picture, int mode, float cellSize) : _mode(mode), _n(resolution(cellSize))
{
    const QImage scaled = picture.scaledToWidth(250, Qt::FastTransformation);
    const int half = int(cellSize * 0.5f);
    _dark.assign(std::size_t(_n) * _n, 0);
    for (int column = 0; column < _n; ++column) {
        for (int row = 0; row < _n; ++row) {
            const int px = int(float(column) * cellSize + float(half));
            const int py = int(float(row) * cellSize + float(half));
            // Outside the (scaled) picture is light ground.
            if (px >= scaled.width() || py >= scaled.height())
                continue;
            const QRgb rgb = scaled.pixel(px, py);
            if (qRed(rgb) < 100 && qGreen(rgb) < 100 && qBlue(rgb) < 100) {
                _dark[std::size_t(column) * _n + row] = 1;
                _darkList.emplace_back(column, row);
            }
        }
    }
    _memo.assign(std::size_t(3 * _n) * _n, std::numeric_limits<float>::quiet_NaN());
}

bool View::dark(int column, int row) const
{
    if (column < 0 || row < 0 || column >= _n || row >= _n)
        return false;
    return _dark[std::size_t(column) * _n + row] != 0;
}

int View::darkCount() const
{
    return int(_darkList.size());
}

float View::distance(int column, int row) const
{
    const bool memoised = column >= -_n && column < 2 * _n && row >= 0 && row < _n;
    float* slot = memoised ? &_memo[std::size_t(column + _n) * _n + row] : nullptr;
    if (slot && !std::isnan(*slot))
        return *slot;
    double best = std::numeric_limits<double>::infinity();
    for (const auto& [c, r] : _darkList) {
        const double dc = column - c, dr = row - r;
        const double d2 = dc * dc + dr * dr;
        if (d2 < best)
            best = d2;
        if (best == 0.0)
            break;
    }
    const float d = float(std::sqrt(best));
    if (slot)
        *slot = d;
    return d;
}

int Hull::count() const
{
    return int(std::count(occupied.begin(), occupied.end(), 1));
}

Hull buildHull(const std::vector<const View*>& views)
{
    Hull hull;
    const int n = views.front()->n();
    hull.n = n;
    hull.occupied.assign(std::size_t(n) * n * n, 0);
    hull.cost.assign(std::size_t(n) * n * n, 0.0f);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z) {
                float sum = 0.0f;
                std::size_t inside = 0;
                for (const View* v : views) {
                    const Pixel p = pixelOf(v->mode(), x, y, z);
                    const float d = v->distance(p.column, p.row);
                    if (d == 0.0f)
                        ++inside;
                    else
                        sum += d;
                }
                const std::size_t at = (std::size_t(x) * n + y) * n + z;
                hull.cost[at] = sum;
                hull.occupied[at] = inside == views.size() ? 1 : 0;
            }
    return hull;
}

std::vector<std::uint8_t> shadow(const Hull& hull, int mode)
{
    const int n = hull.n;
    std::vector<std::uint8_t> image(std::size_t(n) * n, 0);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z) {
                if (!hull.at(x, y, z))
                    continue;
                const Pixel p = pixelOf(mode, x, y, z);
                if (p.column >= 0 && p.column < n)
                    image[std::size_t(p.column) * n + p.row] = 1;
            }
    return image;
}

Figures hullFigures(const std::array<QString, 3>& pictures, int set, float cellSize)
{
    const std::array<int, 3> modes = setModes(set);
    std::vector<View> views;
    for (int k = 0; k < 3; ++k)
        views.emplace_back(QImage(pictures[k]), modes[k], cellSize);
    const Hull hull = buildHull({&views[0], &views[1], &views[2]});

    Figures figures;
    figures.resolution = hull.n;
    figures.cells = hull.count();
    for (int k = 0; k < 3; ++k) {
        const std::vector<std::uint8_t> cast = shadow(hull, modes[k]);
        ViewFigures f;
        f.mode = modes[k];
        f.dark = views[k].darkCount();
        for (int c = 0; c < hull.n; ++c)
            for (int r = 0; r < hull.n; ++r) {
                const bool shaded = cast[std::size_t(c) * hull.n + r] != 0;
                const bool dark = views[k].dark(c, r);
                f.shadow += shaded;
                f.extra += shaded && !dark;
                f.missing += !shaded && dark;
            }
        figures.views.push_back(f);
    }
    return figures;
}

}  // namespace reference
