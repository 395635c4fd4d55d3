#pragma once
// Repairing contradicting pictures. One adjustment finds, per view, the
// largest connected region of missing pixels (dark in the picture, no shadow
// of the volume), picks for each of its pixels the voxel on the pixel's ray
// that the two other pictures come closest to covering, and turns the pixels
// those pictures would need into deformation handles (nearest dark pixel ->
// requested pixel). The pictures are then deformed and the volume rebuilt.

#include "surface/TriMesh.h"
#include "surface/Result.h"
#include "volume/ShadowView.h"

#include <QImage>

#include <array>
#include <vector>

class DeformationModel;

struct AdjustParameters {
    int minSize = 2;           // smallest region (pixels) that is repaired
    int loopCount = 6;         // repair steps per adjustment, over the views in turn
    int distance = 4;          // a voxel is accepted when its cost is at most distance^2
    bool preserveShape = true; // shape preservation after each picture's deformation
};

using PixelList = std::vector<Pixel>;
using RequestList = std::vector<point>;  // (column, row, 0) in map pixels

// The third view's mode picks the set-up: Z (axis), 45 or 120 degrees.
bool isSupportedSetup(int thirdMode);

// Largest region (8-connected, breadth-first, at least minSize pixels; the
// first among equals) of orange pixels of the view's N x N comparison image
// that `view` has not treated yet. Every orange pixel visited is marked
// treated in the view's _gray_and_not_treated.
PixelList markComponentToBeProcessed(const QImage& comparison, ShadowView& view, int minSize);
// The same over any comparison image and its "untreated" map ([column][row],
// 1 until a region visits the pixel; pixels outside the map count as treated).
PixelList markComponentToBeProcessed(const QImage& comparison, ByteMap& untreated, int minSize);

// For each region pixel of view `v`, the cheapest voxel on its ray (cost: sum
// of the squared distances of the voxel's pixels in the two other views to
// their dark figures). Accepted voxels (cost <= threshold) add the pixels the
// two other views miss to their request lists and zero those views' distance
// at the voxel (ShadowView::zeroDistance), so it is requested once.
void repairRegion(const PixelList& region, int v, const std::vector<ShadowView*>& views, float threshold,
                  std::array<RequestList, 3>& requests);

// Requests without consecutive duplicates.
RequestList withoutRepeats(const RequestList& requests);

// Handles of one view: source = nearest dark map pixel of the request,
// target = the request (map pixels).
void snapToHandles(ShadowView& view, const RequestList& requests, std::vector<point>& sources,
                   std::vector<point>& targets);

struct AdjustmentStats {
    std::array<int, 3> handles{0, 0, 0};
    double repairMs = 0.0;
    double deformMs = 0.0;
};

// One adjustment of the three views' pictures against the comparison images
// of a freshly built master (slot k: view k's N x N comparison): repair steps
// over the views in turn, then each picture with requests is deformed (and
// its shape preserved, if asked). Fails, changing nothing, when the third
// view's mode is not a supported set-up.
Result<AdjustmentStats> adjustImages(const std::vector<ShadowView*>& views, const std::array<QImage, 3>& comparisons,
                                     const std::array<DeformationModel*, 3>& pictures,
                                     const AdjustParameters& parameters);

// Progress bar values before each of n passes (the bar shows 100 at the end).
std::vector<int> progressValues(int passes);
