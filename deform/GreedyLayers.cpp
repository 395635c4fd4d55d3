#include "deform/GreedyLayers.h"

#include "volume/RayCost.h"
#include "volume/Rays.h"

#include <limits>

namespace {

// Pixels of view v in scan order: (y, z) / (x, z) / (x, y) for the axis views
// (first coordinate outer), (u, z) with z outer for the in-plane views.
template <class Visit>
void forEachPixel(int mode, int n, Visit visit)
{
    if (isInPlaneMode(mode)) {
        for (int z = 0; z < n; ++z)
            for (int u = 0; u < n; ++u)
                visit(u, z);
        return;
    }
    for (int a = 0; a < n; ++a)
        for (int b = 0; b < n; ++b)
            visit(a, b);
}

}  // namespace

int greedyStep(ShadowObject& master, const std::vector<ShadowView*>& views, float threshold)
{
    if (views.size() != 3)
        return 0;
    const int thirdMode = views[2]->_projection_mode;
    const bool axisSetup = thirdMode == Z_PROJECTION;
    if (!axisSetup && thirdMode != FortyFive_PROJECTION && thirdMode != OneTwenty_PROJECTION)
        return 0;

    const int n = master.resolution();
    std::vector<CellIndex> selected;
    for (int v = 0; v < 3; ++v) {
        const int mode = views[v]->_projection_mode;
        const OtherViews others = otherViews(views, v);

        forEachPixel(mode, n, [&](int column, int row) {
            if (views[v]->_image_map.get(column, row) != 1)
                return;
            bool covered = false;
            forEachRayCell(mode, n, column, row, [&](const CellIndex& c) {
                covered = covered || master.isOccupied(c);
            });
            if (covered)
                return;
            float bestM = std::numeric_limits<float>::max();
            CellIndex best{-1, -1, -1};
            forEachRayCell(mode, n, column, row, [&](const CellIndex& c) {
                const float d1 = others.squaredDistance(0, c);
                const float d2 = others.squaredDistance(1, c);
                const float m = std::max(d1, d2);
                if (!(d1 == 0.0f || d2 == 0.0f) || !(m < threshold))
                    return;
                if (!axisSetup) {
                    selected.push_back(c);
                } else if (m < bestM) {
                    bestM = m;
                    best = c;
                }
            });
            if (axisSetup && best.x >= 0)
                selected.push_back(best);
        });
    }
    for (const CellIndex& c : selected) {
        master.setOccupied(c, true);
        master.cellFlags(c.x, c.y, c.z) |= CellFlags::GreedyAdded;
    }
    return static_cast<int>(selected.size());
}
