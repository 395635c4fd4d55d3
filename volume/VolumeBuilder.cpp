#include "volume/VolumeBuilder.h"

#include <algorithm>

std::optional<std::array<int, 3>> projectionSetModes(int set)
{
    switch (set) {
    case 0: return std::array<int, 3>{X_PROJECTION, Y_PROJECTION, Z_PROJECTION};
    case 1: return std::array<int, 3>{X_PROJECTION, Y_PROJECTION, FortyFive_PROJECTION};
    case 2: return std::array<int, 3>{X_PROJECTION, Sixty_PROJECTION, OneTwenty_PROJECTION};
    default: return std::nullopt;
    }
}

void quantizeViews(std::vector<ShadowView>& views, DistanceMethod method)
{
    for (ShadowView& view : views)
        view.quantize(100, 100, 100, false, method);
}

std::unique_ptr<ShadowObject> buildMaster(std::vector<ShadowView>& views, float cellSize)
{
    if (views.empty())
        return nullptr;
    auto master = std::make_unique<ShadowObject>(views.front(), cellSize);
    master->buildFromViews(views);
    return master;
}

float finerCellSize(float cellSize)
{
    return std::max(cellSize - 0.5f, 1.5f);
}
