#pragma once
// Choosing a voxel on a pixel's ray by how close its shadows in the two other
// views come to those views' dark figures: shared by the picture repair, the
// greedy layers and finalisation.

#include "volume/ShadowView.h"

#include <limits>
#include <vector>

// The two views other than view v, in increasing order, with their modes and
// squared-distance maps.
struct OtherViews {
    int index[2];  // into the view list
    ShadowView* view[2];
    int mode[2];

    // Squared distance of cell c's pixel in other view k to that view's figure.
    float squaredDistance(int k, const CellIndex& c) const;
};
OtherViews otherViews(const std::vector<ShadowView*>& views, int v);

struct RayChoice {
    CellIndex cell{-1, -1, -1};
    float cost = std::numeric_limits<float>::max();
    bool found() const { return cell.x >= 0; }
};

// The cell on the ray of pixel (column, row) in `mode` whose summed squared
// distances in the two other views is least; the first in ray order among
// equals. Not found when every cost is infinite.
RayChoice cheapestRayCell(int mode, int n, const Pixel& pixel, const OtherViews& others);
