#pragma once
// Nearest dark pixel of a view's binary map through an ANN kd-tree (bucket
// size 1, the suggested split rule, error bound 1e-5). Used where the nearest
// pixel itself is needed (snapping deformation requests to handles); plain
// distances come from SquaredDistanceMap.

#include "volume/Grids.h"

#include <memory>

class ANNkd_tree;

class DarkPixelSearch {
public:
    struct Result {
        int index = -1;            // into the dark points, -1 when there is none
        double squaredDistance;   // +infinity when there is no dark pixel
        int column = 0, row = 0;  // the dark pixel found
    };

    // Builds the tree over every pixel (i, j) with map[i][j] == 1, in i-major,
    // j-minor order.
    explicit DarkPixelSearch(const ByteMap& map);
    ~DarkPixelSearch();
    DarkPixelSearch(const DarkPixelSearch&) = delete;
    DarkPixelSearch& operator=(const DarkPixelSearch&) = delete;

    int size() const { return _count; }
    Result nearest(double column, double row) const;

private:
    int _count = 0;
    double** _points = nullptr;  // ANNpointArray
    ANNkd_tree* _tree = nullptr;
};
