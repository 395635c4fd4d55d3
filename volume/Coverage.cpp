// Shadow-keeping tests of the master volume: a cell may be added only where
// every view's ray through it is already dark, and removed only where every
// view's ray keeps enough other occupied cells. Each view keeps the number of
// occupied cells on each of its rays, updated by setOccupied, so a test is
// one lookup per view.

#include "volume/ShadowObject.h"

#include "volume/Diagnostics.h"

#include <algorithm>
#include <cassert>

namespace {

// Occupied cells a ray must hold, the cell itself included, before the cell
// may go: one other cell, or two others on the 60 and 120 degree rays.
int removalThreshold(int mode)
{
    return (mode == Sixty_PROJECTION || mode == OneTwenty_PROJECTION) ? 3 : 2;
}

}  // namespace

// ---- ray counts ---------------------------------------------------------------

void ShadowObject::countRays() const
{
    const int n = _size_x;
    for (int k = 0; k < 3; ++k) {
        RayCounts& rays = _rays[k];
        const int mode = _view_modes[k];
        rays = RayCounts();
        rays.mode = mode;
        if (mode < X_PROJECTION || mode > OneTwenty_PROJECTION || n == 0)
            continue;
        rays.rows = n;
        rays.columnMin = 0;
        rays.columnMax = n - 1;
        if (isInPlaneMode(mode)) {
            // The column formulas are monotonic in x and y: the corners bound them.
            for (const auto& [x, y] : {std::pair{0, 0}, std::pair{n - 1, 0}, std::pair{0, n - 1}, std::pair{n - 1, n - 1}}) {
                rays.columnMin = std::min(rays.columnMin, inPlaneColumn(mode, x, y));
                rays.columnMax = std::max(rays.columnMax, inPlaneColumn(mode, x, y));
            }
        }
        rays.count.assign(std::size_t(rays.columnMax - rays.columnMin + 1) * n, 0);
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                const Cell* cells = &_occupancy_grid.at(x, y, 0);
                for (int z = 0; z < n; ++z)
                    if (cells[z].occupied)
                        ++rays.at(pixelOfCell(mode, x, y, z));
            }
    }
    _rays_counted = true;
}

ShadowObject::RayCounts* ShadowObject::raysOf(int mode) const
{
    bool stale = !_rays_counted;
    for (int k = 0; k < 3; ++k)
        stale = stale || _rays[k].mode != _view_modes[k];
    if (stale)
        countRays();
    for (RayCounts& rays : _rays)
        if (rays.mode == mode && mode != NO_VIEW)
            return &rays;
    return nullptr;
}

void ShadowObject::setOccupied(const CellIndex& c, bool occupied)
{
    Cell& cell = _occupancy_grid.at(c.x, c.y, c.z);
    if (cell.occupied == occupied)
        return;
    cell.occupied = occupied;
    if (!_rays_counted)
        return;
    for (RayCounts& rays : _rays)
        if (rays.mode != NO_VIEW && !rays.count.empty())
            rays.at(pixelOfCell(rays.mode, c.x, c.y, c.z)) += occupied ? 1 : -1;
}

int ShadowObject::occupiedOnRay(const CellIndex& c, int mode)
{
    assert(mode >= X_PROJECTION && mode <= OneTwenty_PROJECTION && "is_cell_removable_wrt_single_view: something seriously wrong");
    if (RayCounts* rays = raysOf(mode))
        return rays->at(pixelOfCell(mode, c.x, c.y, c.z));
    // A mode that no view has: walk the ray.
    int count = 0;
    const Pixel pixel = pixelOfCell(mode, c.x, c.y, c.z);
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z)
                if (_occupancy_grid.at(x, y, z).occupied && pixelOfCell(mode, x, y, z) == pixel)
                    ++count;
    return count;
}

// ---- tests --------------------------------------------------------------------

bool ShadowObject::rayHasOccupiedCell(const CellIndex& c, int mode)
{
    if (mode == NO_VIEW)
        return true;
    return occupiedOnRay(c, mode) >= 1;
}

bool ShadowObject::is_cell_removable_wrt_single_view(const CellIndex& c, int mode)
{
    if (mode == NO_VIEW)
        return true;
    return occupiedOnRay(c, mode) >= removalThreshold(mode);
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
