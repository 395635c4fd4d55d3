#include "volume/Finalization.h"

#include "volume/RayCost.h"

Result<int> fillMissingPixels(ShadowObject& master, const std::vector<ShadowView*>& views, int mode,
                              const std::vector<Pixel>& marked, float threshold)
{
    const int thirdMode = views.size() == 3 ? views[2]->_projection_mode : NO_VIEW;
    QString variantFailure;
    switch (thirdMode) {
    case Z_PROJECTION: variantFailure = QStringLiteral("fillin_cluster_orthogonal: unhandled case"); break;
    case FortyFive_PROJECTION:
    case OneTwenty_PROJECTION: variantFailure = QStringLiteral("fillin_cluster_fortyFive: unhandled case"); break;
    default: return fail(QStringLiteral("finalizeOptimization_released: unhandled case"));
    }
    int v = -1;
    for (int k = 0; k < 3; ++k)
        if (views[k]->_projection_mode == mode)
            v = k;
    if (marked.empty())
        return 0;
    if (v < 0)
        return fail(variantFailure);

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
