#pragma once
// Exact squared Euclidean distance from every pixel to the nearest dark pixel
// of a view's binary map, for all pixels any projection mode can reach: the
// oblique views put cells in columns left of 0 (120 degrees) and right of N-1
// (45 and 60 degrees), so the domain is wider than the map. Computed once per
// view with a separable distance transform; a lookup replaces a kd-tree query.

#include "volume/Grids.h"

#include <cstdint>
#include <vector>

class SquaredDistanceMap {
public:
    SquaredDistanceMap() = default;
    // `map` is N x N, [column][row]; 1 marks a dark pixel.
    explicit SquaredDistanceMap(const ByteMap& map);

    bool hasDarkPixels() const { return _has_dark; }
    int columnMin() const { return _col_min; }
    int columnMax() const { return _col_max; }

    // Squared distance in map pixels; +infinity when the map has no dark pixel.
    float at(int column, int row) const;

private:
    float bruteForce(int column, int row) const;

    bool _has_dark = false;
    int _col_min = 0, _col_max = -1, _rows = 0;
    std::vector<std::int32_t> _sq;       // (column - _col_min) * _rows + row
    std::vector<std::int32_t> _dark;     // dark pixels as column, row pairs (fallback)
};
