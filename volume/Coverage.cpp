// Shadow-keeping tests of the master volume: a cell may be added only where
// every view's ray through it is already dark, and removed only where every
// view's ray keeps enough other occupied cells. All tests walk the rays exactly.

#include "volume/ShadowObject.h"

#include "volume/Diagnostics.h"

#include <cassert>

namespace {

// Occupied cells a ray must hold, the cell itself included, before the cell
// may go: one other cell, or two others on the 60 and 120 degree rays.
int removalThreshold(int mode)
{
    return (mode == Sixty_PROJECTION || mode == OneTwenty_PROJECTION) ? 3 : 2;
}

}  // namespace

// Counts occupied cells on the ray of c in `mode` (c included), scanning the
// free index upward and stopping once `stopAt` is reached.
int ShadowObject::countOnRay(const CellIndex& c, int mode, int stopAt)
{
    int count = 0;
    switch (mode) {
    case X_PROJECTION:
        for (int i = 0; i < _size_x && count < stopAt; ++i)
            count += _occupancy_grid.at(i, c.y, c.z).occupied ? 1 : 0;
        return count;
    case Y_PROJECTION:
        for (int i = 0; i < _size_y && count < stopAt; ++i)
            count += _occupancy_grid.at(c.x, i, c.z).occupied ? 1 : 0;
        return count;
    case Z_PROJECTION:
        for (int i = 0; i < _size_z && count < stopAt; ++i)
            count += _occupancy_grid.at(c.x, c.y, i).occupied ? 1 : 0;
        return count;
    case FortyFive_PROJECTION:
    case Sixty_PROJECTION:
    case OneTwenty_PROJECTION: {
        const int column = inPlaneColumn(mode, c.x, c.y);
        for (int i = 0; i < _size_x; ++i)
            for (int j = 0; j < _size_y; ++j) {
                if (_occupancy_grid.at(i, j, c.z).occupied && inPlaneColumn(mode, i, j) == column)
                    if (++count >= stopAt)
                        return count;
            }
        return count;
    }
    default:
        // Modes come from the projection sets; no input reaches another one.
        assert(!"is_cell_removable_wrt_single_view: something seriously wrong");
        return stopAt;
    }
}

bool ShadowObject::rayHasOccupiedCell(const CellIndex& c, int mode)
{
    if (mode == NO_VIEW)
        return true;
    return countOnRay(c, mode, 1) >= 1;
}

bool ShadowObject::is_cell_removable_wrt_single_view(const CellIndex& c, int mode)
{
    if (mode == NO_VIEW)
        return true;
    const int threshold = removalThreshold(mode);
    return countOnRay(c, mode, threshold) >= threshold;
}

bool ShadowObject::isCellAddable(int x, int y, int z)
{
    const CellIndex c{x, y, z};
    if (isOccupied(c))
        return true;
    for (int k = 0; k < 3; ++k)
        if (!rayHasOccupiedCell(c, _view_modes[k]))
            return false;
    return true;
}

bool ShadowObject::isCellRemovable(const CellIndex& c)
{
    if (!isOccupied(c))
        return true;
    for (int k = 0; k < 3; ++k)
        if (!is_cell_removable_wrt_single_view(c, _view_modes[k]))
            return false;
    return true;
}

// The map of a missing view (-1) stays all light.
void ShadowObject::create_reprojection_image_map(int k, int mode)
{
    assert(mode <= OneTwenty_PROJECTION && "create_reprojection_image_map: unhandled case");
    _reprojection_image_map[k] = castShadow(mode);
}

// Every view is checked, the oblique ones included (their map holds the
// columns 0..N-1); a missing view (-1) has nothing to keep.
bool ShadowObject::areShadowsStillValid(bool checkCovered, bool checkUncovered)
{
    for (int k = 0; k < 3; ++k)
        if (_view_modes[k] != NO_VIEW && !singleShadowStillValid(k, checkCovered, checkUncovered))
            return false;
    return true;
}

bool ShadowObject::singleShadowStillValid(int k, bool checkCovered, bool checkUncovered)
{
    const int mode = _view_modes[k];
    const ByteMap& recorded = _reprojection_image_map[k];
    const ByteMap now = castShadow(mode);
    for (int a = 0; a < now.first(); ++a)
        for (int b = 0; b < now.second(); ++b) {
            const bool recordedDark = recorded.get(a, b) == 1;
            if ((recordedDark && !checkCovered) || (!recordedDark && !checkUncovered))
                continue;
            if ((now.at(a, b) == 1) == recordedDark)
                continue;
            if (mode == X_PROJECTION)
                qCDebug(kalvexVolume, "%d %d %d", recordedDark ? 1 : 2, a, b);
            else if (mode == Y_PROJECTION)
                qCDebug(kalvexVolume, "%d %d %d", recordedDark ? 3 : 4, a, b);
            return false;
        }
    return true;
}
