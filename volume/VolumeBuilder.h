#pragma once
// Turning views into a volume: the projection sets, quantising the views and
// building the master from them.

#include "volume/ShadowObject.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

// Projection modes of the three views of a projection set: 0 = X, Y, Z;
// 1 = X, Y, 45 degrees; 2 = X, 60, 120 degrees. Other sets have none.
std::optional<std::array<int, 3>> projectionSetModes(int set);

// Quantises every view with the dark limits (100, 100, 100), nothing saved.
void quantizeViews(std::vector<ShadowView>& views, DistanceMethod method = DistanceMethod::DistanceTransform);

// A new master sized by the first view, built from all views (already
// quantised). Null when there is no view.
std::unique_ptr<ShadowObject> buildMaster(std::vector<ShadowView>& views, float cellSize);

// Cell size one step finer (0.5 smaller), never below 1.5.
float finerCellSize(float cellSize);
