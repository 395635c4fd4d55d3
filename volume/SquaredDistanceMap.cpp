#include "volume/SquaredDistanceMap.h"

#include <algorithm>
#include <limits>

namespace {

constexpr std::int64_t kNone = std::numeric_limits<std::int64_t>::max();

// Lower envelope of the parabolas (c - site)^2 + value over the given sites
// (increasing), evaluated at every integer c in [from, to].
void envelope(const std::vector<int>& sites, const std::vector<std::int64_t>& values, int from, int to,
              std::int32_t* out, std::ptrdiff_t stride)
{
    const int n = static_cast<int>(sites.size());
    std::vector<int> v(n);
    std::vector<double> z(n);
    int k = -1;
    for (int s = 0; s < n; ++s) {
        const std::int64_t q = sites[s];
        const std::int64_t fq = values[s] + q * q;
        double boundary = -std::numeric_limits<double>::infinity();
        while (k >= 0) {
            const std::int64_t p = sites[v[k]];
            const std::int64_t fp = values[v[k]] + p * p;
            boundary = double(fq - fp) / double(2 * (q - p));
            if (boundary <= z[k])
                --k;
            else
                break;
        }
        ++k;
        v[k] = s;
        z[k] = k == 0 ? -std::numeric_limits<double>::infinity() : boundary;
    }
    int j = 0;
    for (int c = from; c <= to; ++c) {
        while (j < k && z[j + 1] < c)
            ++j;
        const std::int64_t d = c - sites[v[j]];
        out[std::ptrdiff_t(c - from) * stride] = static_cast<std::int32_t>(d * d + values[v[j]]);
    }
}

}  // namespace

SquaredDistanceMap::SquaredDistanceMap(const ByteMap& map)
{
    const int n_cols = map.first();
    const int n_rows = map.second();
    _rows = n_rows;
    for (int i = 0; i < n_cols; ++i) {
        for (int j = 0; j < n_rows; ++j) {
            if (map.at(i, j)) {
                _dark.push_back(i);
                _dark.push_back(j);
            }
        }
    }
    _has_dark = !_dark.empty();
    if (!_has_dark)
        return;

    // Widest reach of any projection: the column formulas grow with x and y,
    // so their extremes sit at the grid corners.
    const int last = std::max(n_cols, n_rows) - 1;
    _col_min = std::min({0, inPlaneColumn(OneTwenty_PROJECTION, 0, last)});
    _col_max = std::max({n_cols - 1, inPlaneColumn(FortyFive_PROJECTION, last, last),
                         inPlaneColumn(Sixty_PROJECTION, last, last),
                         inPlaneColumn(OneTwenty_PROJECTION, last, 0)});

    // Pass 1, along each map column: squared distance to the nearest dark
    // pixel of the same column.
    std::vector<std::int64_t> vertical(std::size_t(n_cols) * n_rows, kNone);
    for (int i = 0; i < n_cols; ++i) {
        std::int64_t* col = &vertical[std::size_t(i) * n_rows];
        int lastDark = -1;
        for (int j = 0; j < n_rows; ++j) {
            if (map.at(i, j))
                lastDark = j;
            if (lastDark >= 0)
                col[j] = j - lastDark;
        }
        lastDark = -1;
        for (int j = n_rows - 1; j >= 0; --j) {
            if (map.at(i, j))
                lastDark = j;
            if (lastDark >= 0 && (col[j] == kNone || lastDark - j < col[j]))
                col[j] = lastDark - j;
        }
        for (int j = 0; j < n_rows; ++j)
            if (col[j] != kNone)
                col[j] *= col[j];
    }

    // Pass 2, along each row over the widened column range.
    const int width = _col_max - _col_min + 1;
    _sq.assign(std::size_t(width) * n_rows, 0);
    std::vector<int> sites;
    std::vector<std::int64_t> values;
    for (int j = 0; j < n_rows; ++j) {
        sites.clear();
        values.clear();
        for (int i = 0; i < n_cols; ++i) {
            const std::int64_t g = vertical[std::size_t(i) * n_rows + j];
            if (g != kNone) {
                sites.push_back(i);
                values.push_back(g);
            }
        }
        envelope(sites, values, _col_min, _col_max, &_sq[j], n_rows);
    }
}

float SquaredDistanceMap::at(int column, int row) const
{
    if (!_has_dark)
        return std::numeric_limits<float>::infinity();
    if (column < _col_min || column > _col_max || row < 0 || row >= _rows)
        return bruteForce(column, row);
    return static_cast<float>(_sq[std::size_t(column - _col_min) * _rows + row]);
}

float SquaredDistanceMap::bruteForce(int column, int row) const
{
    std::int64_t best = kNone;
    for (std::size_t k = 0; k < _dark.size(); k += 2) {
        const std::int64_t dc = column - _dark[k];
        const std::int64_t dr = row - _dark[k + 1];
        best = std::min(best, dc * dc + dr * dr);
    }
    return static_cast<float>(best);
}
