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

std::unique_ptr<ShadowObject> carveFromShadowPictures(const std::array<QImage, 3>& pictures,
                                                      const std::array<int, 3>& modes, float cellSize)
{
    const int n = std::max(pictures[0].width(), pictures[0].height());
    auto master = std::make_unique<ShadowObject>(n, cellSize);
    master->setViewModes(modes);
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z) {
                bool keep = true;
                for (int k = 0; k < 3 && keep; ++k) {
                    const Pixel p = pixelOfCell(modes[std::size_t(k)], x, y, z);
                    const QImage& picture = pictures[std::size_t(k)];
                    keep = picture.valid(p.column, p.row) ? qRed(picture.pixel(p.column, p.row)) <= 100
                                                          : !isInPlaneMode(modes[std::size_t(k)]);
                }
                master->setOccupied({x, y, z}, keep);
            }
    for (int k = 0; k < 3; ++k)
        master->create_reprojection_image_map(k, modes[std::size_t(k)]);
    return master;
}

float finerCellSize(float cellSize)
{
    return std::max(cellSize - 0.5f, 1.5f);
}
