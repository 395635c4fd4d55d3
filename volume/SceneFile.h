#pragma once
// Scene files (".kxscene"): a volume stored so that it can be reopened
// without its pictures. Big-endian, no header or version:
//   cell size (float32), extent x, y, z (int32, 250 each), view count n
//   (int32), n view modes (int32, -1 for a missing view), then one byte (0 or
//   1) per cell, x outer, then y, then z fastest.
// The grid size is floor(extent / cell size) per axis, computed in single
// precision. A scene file is untrusted input: readScene checks it in full.

#include "volume/EditableShadowObject.h"
#include "surface/Result.h"

#include <QIODevice>

#include <array>
#include <cstdint>
#include <vector>

struct SceneData {
    float cellSize = 0.0f;
    std::array<std::int32_t, 3> extent{250, 250, 250};
    std::vector<std::int32_t> viewModes;
    std::array<int, 3> size{0, 0, 0};   // cells per axis, from extent and cell size
    std::vector<std::uint8_t> occupancy;  // x outer, then y, then z fastest

    std::size_t cellIndex(int x, int y, int z) const { return (std::size_t(x) * size[1] + y) * size[2] + z; }
};

// Largest grid a scene file may describe, per axis.
constexpr int kMaxSceneCells = 512;

// Cells per axis for an extent and a cell size (single precision, floored).
int sceneGridSize(std::int32_t extent, float cellSize);

// The scene of `volume` with its cell size and view modes.
SceneData sceneOf(const EditableShadowObject& volume, float cellSize, const std::vector<int>& viewModes);

// Writes the scene; false when the device is not writable or a write fails.
bool writeScene(QIODevice& device, const SceneData& scene);

// Reads and checks a whole scene: a cell size that is not finite or not
// positive, a grid above kMaxSceneCells per axis, a negative or huge view
// count, a view mode outside -1..5, or a file shorter or longer than its
// header says is refused with one line.
Result<SceneData> readScene(QIODevice& device);
