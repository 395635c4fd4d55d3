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

// A volume carved from three pictures of shadows (N = the first picture's
// larger side): a cell stays when its pixel (in the given modes) has red at
// most 100 in every picture; pixels of the oblique modes beyond a picture
// count as light. View modes and shadow maps are recorded; no views behind it.
std::unique_ptr<ShadowObject> carveFromShadowPictures(const std::array<QImage, 3>& pictures,
                                                      const std::array<int, 3>& modes, float cellSize);

// Cell size one step finer (0.5 smaller), never below 1.5.
float finerCellSize(float cellSize);
