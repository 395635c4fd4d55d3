#pragma once
// Finalisation: repair the shadow in one chosen view by adding, for every
// missing pixel (dark in the picture, no shadow of the volume), the one voxel
// on the pixel's ray that best agrees with the two other views, when the
// agreement is good enough.

#include "surface/Result.h"
#include "volume/ShadowObject.h"

#include <vector>

// For each marked pixel of the view with mode `mode`, the ray cell with the
// smallest sum of squared distances of its pixels in the two other views to
// their dark figures (first minimum wins) is occupied when that sum is at most
// `threshold`. The set-up is told by the third view's mode. Returns the number
// of pixels filled, or an error when the set-up is unknown or `mode` is not
// one of its views (then nothing changes).
Result<int> fillMissingPixels(ShadowObject& master, const std::vector<ShadowView*>& views, int mode,
                              const std::vector<Pixel>& marked, float threshold);
