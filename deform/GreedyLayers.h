#pragma once
// Greedy layer selection: instead of deforming the pictures, add voxels that
// cover missing shadow pixels directly. A voxel qualifies when it lies inside
// the wanted shadow of one other view and less than sqrt(threshold) map pixels
// outside the figure of the remaining one.

#include "volume/ShadowObject.h"

#include <vector>

constexpr float kGreedyThreshold = 4.0f;  // squared map pixels

// One greedy step over the three views of the master (set-up chosen by the
// third view's mode: Z axis, 45 or 120 degrees; other set-ups do nothing).
// Coverage is judged on the volume before the step; every selected cell
// becomes occupied and gets the greedy flag. Returns the number of cells
// selected (a cell selected twice counts twice). Does nothing unless there are
// exactly three views.
int greedyStep(ShadowObject& master, const std::vector<ShadowView*>& views, float threshold = kGreedyThreshold);
