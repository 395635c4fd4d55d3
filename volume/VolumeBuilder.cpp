#include "volume/VolumeBuilder.h"

#include "deform/DeformationModel.h"

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

void quantizeViews(std::vector<ShadowObject>& views, DistanceMethod method)
{
    for (ShadowObject& view : views)
        view.quantize(100, 100, 100, false, method);
}

std::unique_ptr<ShadowObject> buildMaster(std::vector<ShadowObject>& views, float cellSize)
{
    if (views.empty())
        return nullptr;
    auto master = std::make_unique<ShadowObject>(&views.front(), cellSize);
    master->buildFromViews(views);
    return master;
}

std::vector<ShadowObject> viewsFromDeformedPictures(const std::vector<ShadowObject>& views, float cellSize)
{
    std::vector<ShadowObject> rebuilt;
    rebuilt.reserve(views.size());
    for (const ShadowObject& view : views) {
        DeformationModel* model = view._deform_image;
        if (!model)
            continue;
        // The model is set again from its own mesh: the deformation survives,
        // the rest positions stay, and the shape-preservation steps restart.
        model->set_image_mesh(model->image_mesh(), model->rest_positions(), model->vertex_weights(), 4);
        rebuilt.emplace_back(view._source_path, view._projection_mode, model, cellSize);
    }
    quantizeViews(rebuilt);
    return rebuilt;
}

float finerCellSize(float cellSize)
{
    return std::max(cellSize - 0.5f, 1.5f);
}
