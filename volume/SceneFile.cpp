#include "volume/SceneFile.h"

#include <QDataStream>

#include <cmath>

namespace {

constexpr std::int32_t kMaxViews = 64;

}  // namespace

int sceneGridSize(std::int32_t extent, float cellSize)
{
    const float cells = std::floor(float(extent) / cellSize);
    if (!std::isfinite(cells) || cells < 0.0f || cells > float(kMaxSceneCells) + 1.0f)
        return kMaxSceneCells + 1;  // beyond any grid a scene may hold
    return static_cast<int>(cells);
}

SceneData sceneOf(const EditableShadowObject& volume, float cellSize, const std::vector<int>& viewModes)
{
    SceneData scene;
    scene.cellSize = cellSize;
    scene.viewModes.assign(viewModes.begin(), viewModes.end());
    scene.size = {volume.sizeX(), volume.sizeY(), volume.sizeZ()};
    scene.occupancy.resize(std::size_t(scene.size[0]) * scene.size[1] * scene.size[2]);
    for (int x = 0; x < scene.size[0]; ++x)
        for (int y = 0; y < scene.size[1]; ++y)
            for (int z = 0; z < scene.size[2]; ++z)
                scene.occupancy[scene.cellIndex(x, y, z)] = volume.isOccupied({x, y, z}) ? 1 : 0;
    return scene;
}

bool writeScene(QIODevice& device, const SceneData& scene)
{
    if (!device.isOpen() || !device.isWritable())
        return false;
    QDataStream out(&device);
    out.setFloatingPointPrecision(QDataStream::SinglePrecision);
    out << scene.cellSize << scene.extent[0] << scene.extent[1] << scene.extent[2]
        << static_cast<std::int32_t>(scene.viewModes.size());
    for (std::int32_t mode : scene.viewModes)
        out << mode;
    out.writeRawData(reinterpret_cast<const char*>(scene.occupancy.data()), static_cast<int>(scene.occupancy.size()));
    return out.status() == QDataStream::Ok;
}

Result<SceneData> readScene(QIODevice& device)
{
    if (!device.isOpen() || !device.isReadable())
        return fail(QStringLiteral("The scene file cannot be read."));
    QDataStream in(&device);
    in.setFloatingPointPrecision(QDataStream::SinglePrecision);
    SceneData scene;
    std::int32_t views = 0;
    in >> scene.cellSize >> scene.extent[0] >> scene.extent[1] >> scene.extent[2] >> views;
    if (in.status() != QDataStream::Ok)
        return fail(QStringLiteral("The scene file is shorter than its header."));
    if (!std::isfinite(scene.cellSize) || !(scene.cellSize > 0.0f))
        return fail(QStringLiteral("The scene file's cell size %1 is not a positive number.").arg(scene.cellSize));
    for (int a = 0; a < 3; ++a) {
        if (scene.extent[a] < 1)
            return fail(QStringLiteral("The scene file's extent %1 is not positive.").arg(scene.extent[a]));
        scene.size[a] = sceneGridSize(scene.extent[a], scene.cellSize);
        if (scene.size[a] < 1 || scene.size[a] > kMaxSceneCells)
            return fail(QStringLiteral("The scene file describes a grid of %1 cells per side (at most %2).")
                                  .arg(scene.size[a])
                                  .arg(kMaxSceneCells));
    }
    if (views < 0 || views > kMaxViews)
        return fail(QStringLiteral("The scene file names %1 views.").arg(views));
    scene.viewModes.resize(std::size_t(views));
    for (std::int32_t& mode : scene.viewModes) {
        in >> mode;
        if (in.status() != QDataStream::Ok)
            return fail(QStringLiteral("The scene file is shorter than its header."));
        if (mode < -1 || mode > 5)
            return fail(QStringLiteral("The scene file has an unknown view mode %1.").arg(mode));
    }
    const std::size_t cells = std::size_t(scene.size[0]) * scene.size[1] * scene.size[2];
    scene.occupancy.resize(cells);
    if (in.readRawData(reinterpret_cast<char*>(scene.occupancy.data()), static_cast<int>(cells)) != int(cells))
        return fail(QStringLiteral("The scene file is shorter than its header says."));
    char extra = 0;
    if (in.readRawData(&extra, 1) != 0)
        return fail(QStringLiteral("The scene file is longer than its header says."));
    for (std::uint8_t& byte : scene.occupancy)
        byte = byte != 0 ? 1 : 0;
    return scene;
}
