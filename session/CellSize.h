#pragma once
// The cell sizes a design can have: at most 250 cells per axis on the
// 250-pixel canvas. The next finer size of "increase resolution",
// finerCellSize, comes with the volume builder.

#include "volume/VolumeBuilder.h"

#include <cmath>

constexpr float kSmallestCellSize = 1.0f;
constexpr float kLargestCellSize = 250.0f;

inline bool isValidCellSize(float cellSize)
{
    return std::isfinite(cellSize) && cellSize >= kSmallestCellSize && cellSize <= kLargestCellSize;
}
