// Shadow-keeping tests of the master volume: a cell may be added only where
// every view's ray through it is already dark, and removed only where every
// view's ray keeps enough other occupied cells. All tests walk the rays exactly.

#include "volume/ShadowObject.h"

#include <QDebug>

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
        exitOnImpossibleState("is_cell_removable_wrt_single_view: something seriously wrong");
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

void ShadowObject::create_reprojection_image_map(int k, int mode)
{
    if (mode > OneTwenty_PROJECTION)
        exitOnImpossibleState("create_reprojection_image_map: unhandled case");
    ByteMap& map = _reprojection_image_map[k];
    map = ByteMap(_size_x, _size_y, 0);
    if (mode < X_PROJECTION)
        return;
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z) {
                if (!_occupancy_grid.at(x, y, z).occupied)
                    continue;
                switch (mode) {
                case X_PROJECTION: map.at(y, z) = 1; break;
                case Y_PROJECTION: map.at(x, z) = 1; break;
                case Z_PROJECTION: map.at(x, y) = 1; break;
                default: {
                    // In-plane views: the shadow as drawn, columns 0..N-1.
                    const int column = inPlaneColumn(mode, x, y);
                    if (column >= 0 && column < _size_x)
                        map.at(column, z) = 1;
                }
                }
            }
}

bool ShadowObject::areShadowsStillValid(bool checkCovered, bool checkUncovered)
{
    for (int k = 0; k < 3; ++k)
        if (!singleShadowStillValid(_view_modes[k], checkCovered, checkUncovered))
            return false;
    return true;
}

bool ShadowObject::singleShadowStillValid(int mode, bool checkCovered, bool checkUncovered)
{
    if (mode < X_PROJECTION || mode > Z_PROJECTION)
        exitOnImpossibleState("single_shadow_still_valid: something seriously wrong");
    const ByteMap& map = _reprojection_image_map[mode];
    const int firstCount = mode == X_PROJECTION ? _size_y : _size_x;
    const int secondCount = mode == Z_PROJECTION ? _size_y : _size_z;
    for (int a = 0; a < firstCount; ++a)
        for (int b = 0; b < secondCount; ++b) {
            const bool recordedDark = map.get(a, b) == 1;
            if ((recordedDark && !checkCovered) || (!recordedDark && !checkUncovered))
                continue;
            CellIndex c;
            switch (mode) {
            case X_PROJECTION: c = {0, a, b}; break;
            case Y_PROJECTION: c = {a, 0, b}; break;
            default: c = {a, b, 0}; break;
            }
            const bool dark = countOnRay(c, mode, 1) >= 1;
            if (dark == recordedDark)
                continue;
            if (mode == X_PROJECTION)
                qDebug("%d %d %d", recordedDark ? 1 : 2, a, b);
            else if (mode == Y_PROJECTION)
                qDebug("%d %d %d", recordedDark ? 3 : 4, a, b);
            return false;
        }
    return true;
}
