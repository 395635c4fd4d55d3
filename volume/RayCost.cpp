#include "volume/RayCost.h"

#include "volume/Rays.h"

float OtherViews::squaredDistance(int k, const CellIndex& c) const
{
    const Pixel p = pixelOfCell(mode[k], c.x, c.y, c.z);
    return view[k]->squaredDistance(p.column, p.row);
}

OtherViews otherViews(const std::vector<ShadowView*>& views, int v)
{
    OtherViews others{};
    for (int w = 0, k = 0; w < 3; ++w) {
        if (w == v)
            continue;
        others.index[k] = w;
        others.view[k] = views[w];
        others.mode[k] = views[w]->_projection_mode;
        ++k;
    }
    return others;
}

RayChoice cheapestRayCell(int mode, int n, const Pixel& pixel, const OtherViews& others)
{
    RayChoice best;
    forEachRayCell(mode, n, pixel.column, pixel.row, [&](const CellIndex& c) {
        const float cost = others.squaredDistance(0, c) + others.squaredDistance(1, c);
        if (cost < best.cost) {
            best.cost = cost;
            best.cell = c;
        }
    });
    return best;
}
