#include "volume/Finalization.h"

#include "volume/Rays.h"
#include "volume/SquaredDistanceMap.h"

#include <limits>

namespace {

constexpr QRgb kMissing = 0xFFFA6400;

}  // namespace

std::vector<Pixel> collectMissingPixels(int n, const QImage& shownComparison)
{
    std::vector<Pixel> marked;
    if (shownComparison.isNull())
        return marked;
    const QImage scaled = shownComparison.scaledToWidth(n, Qt::FastTransformation);
    for (int i = 0; i < scaled.width(); ++i)
        for (int j = 0; j < scaled.height(); ++j)
            if (scaled.pixel(i, j) == kMissing)
                marked.push_back({i, j});
    return marked;
}

int fillMissingPixels(ShadowObject& master, const std::vector<ShadowObject*>& views, int mode,
                      const std::vector<Pixel>& marked, float threshold)
{
    const int thirdMode = views.size() == 3 ? views[2]->_projection_mode : NO_VIEW;
    const char* variantFailure = nullptr;
    switch (thirdMode) {
    case Z_PROJECTION: variantFailure = "fillin_cluster_orthogonal: unhandled case"; break;
    case FortyFive_PROJECTION:
    case OneTwenty_PROJECTION: variantFailure = "fillin_cluster_fortyFive: unhandled case"; break;
    default: exitOnImpossibleState("finalizeOptimization_released: unhandled case");
    }
    int v = -1;
    for (int k = 0; k < 3; ++k)
        if (views[k]->_projection_mode == mode)
            v = k;
    if (v < 0)
        exitOnImpossibleState(variantFailure);
    if (marked.empty())
        return 0;

    int others[2];
    for (int w = 0, k = 0; w < 3; ++w)
        if (w != v)
            others[k++] = w;
    const SquaredDistanceMap* sq[2] = {&views[others[0]]->squaredDistances(), &views[others[1]]->squaredDistances()};
    const int otherModes[2] = {views[others[0]]->_projection_mode, views[others[1]]->_projection_mode};

    const int n = master.resolution();
    int filled = 0;
    for (const Pixel& pixel : marked) {
        float bestCost = std::numeric_limits<float>::max();
        CellIndex best{-1, -1, -1};
        forEachRayCell(mode, n, pixel.column, pixel.row, [&](const CellIndex& c) {
            float cost = 0.0f;
            for (int k = 0; k < 2; ++k) {
                const Pixel p = pixelOfCell(otherModes[k], c.x, c.y, c.z);
                cost += sq[k]->at(p.column, p.row);
            }
            if (cost < bestCost) {
                bestCost = cost;
                best = c;
            }
        });
        if (best.x >= 0 && bestCost <= threshold) {
            master.setOccupied(best, true);
            ++filled;
        }
    }
    return filled;
}
