#include "volume/Finalization.h"

#include "deform/Comparison.h"
#include "volume/RayCost.h"

std::vector<Pixel> collectMissingPixels(int n, const QImage& shownComparison)
{
    std::vector<Pixel> marked;
    if (shownComparison.isNull())
        return marked;
    const QImage scaled = shownComparison.scaledToWidth(n, Qt::FastTransformation);
    for (int i = 0; i < scaled.width(); ++i)
        for (int j = 0; j < scaled.height(); ++j)
            if (scaled.pixel(i, j) == ComparisonColor::Missing)
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
    if (marked.empty())
        return 0;
    if (v < 0)
        exitOnImpossibleState(variantFailure);

    const OtherViews others = otherViews(views, v);
    const int n = master.resolution();
    int filled = 0;
    for (const Pixel& pixel : marked) {
        const RayChoice best = cheapestRayCell(mode, n, pixel, others);
        if (best.found() && best.cost <= threshold) {
            master.setOccupied(best.cell, true);
            ++filled;
        }
    }
    return filled;
}
