#include "volume/RayIntersector.h"

#include "volume/Diagnostics.h"
#include "volume/EditableShadowObject.h"

#include <algorithm>
#include <cmath>

Ray::Ray(const point& o, const point& d) : origin(o), direction(d * (1.0f / len(d)))
{
    for (int a = 0; a < 3; ++a) {
        inverse[a] = 1.0f / direction[a];
        sign[a] = inverse[a] < 0.0f ? 1 : 0;
    }
}

RayIntersector::BoxHit RayIntersector::intersectBox(const Ray& ray, const point& low, const point& high)
{
    const point bounds[2] = {low, high};
    BoxHit hit;
    hit.tIn = (bounds[ray.sign[0]][0] - ray.origin[0]) * ray.inverse[0];
    hit.tOut = (bounds[1 - ray.sign[0]][0] - ray.origin[0]) * ray.inverse[0];
    hit.entryFace = ray.sign[0];
    hit.exitFace = 1 - ray.sign[0];
    for (int a = 1; a < 3; ++a) {
        const float in = (bounds[ray.sign[a]][a] - ray.origin[a]) * ray.inverse[a];
        const float out = (bounds[1 - ray.sign[a]][a] - ray.origin[a]) * ray.inverse[a];
        if (out < hit.tIn || in > hit.tOut)
            return {};
        if (in > hit.tIn) {
            hit.tIn = in;
            hit.entryFace = ray.sign[a] + 2 * a;
        }
        if (out < hit.tOut) {
            hit.tOut = out;
            hit.exitFace = 1 - ray.sign[a] + 2 * a;
        }
    }
    hit.hit = true;
    return hit;
}

namespace {

// The walk through the grid box shared by both traversals: `visit` gets each
// cell after the entry cell and the cell before it, and stops the walk by
// returning true. Returns false when the ray misses the box or a cell is lost.
template <class Visit>
bool walk(const Ray& ray, const point& low, const point& high, const int (&n)[3], CellIndex& entry, Visit visit)
{
    const RayIntersector::BoxHit grid = RayIntersector::intersectBox(ray, low, high);
    if (!grid.hit)
        return false;
    const point extent = high - low;
    const point p = ray.origin + ray.direction * grid.tIn - low;
    int index[3];
    for (int a = 0; a < 3; ++a) {
        if (grid.entryFace / 2 == a)
            index[a] = grid.entryFace % 2 == 0 ? 0 : n[a] - 1;
        else
            index[a] = static_cast<int>(std::floor(float(n[a]) / extent[a] * p[a]));
        index[a] = std::clamp(index[a], 0, n[a] - 1);  // a corner hit may round onto the far side
    }
    auto cellBox = [&](const int (&i)[3], point& cellLow, point& cellHigh) {
        for (int a = 0; a < 3; ++a) {
            cellLow[a] = low[a] + float(i[a]) * extent[a] / float(n[a]);
            cellHigh[a] = low[a] + float(i[a] + 1) * extent[a] / float(n[a]);
        }
    };
    entry = {index[0], index[1], index[2]};
    point cellLow, cellHigh;
    cellBox(index, cellLow, cellHigh);
    RayIntersector::BoxHit current = RayIntersector::intersectBox(ray, cellLow, cellHigh);
    if (!current.hit)
        current.exitFace = grid.exitFace;
    // Every step moves one cell on: the walk cannot take more steps than that.
    for (int steps = n[0] + n[1] + n[2] + 3; steps > 0; --steps) {
        const CellIndex previous{index[0], index[1], index[2]};
        index[current.exitFace / 2] += current.exitFace % 2 == 0 ? -1 : 1;
        cellBox(index, cellLow, cellHigh);
        current = RayIntersector::intersectBox(ray, cellLow, cellHigh);
        if (!current.hit) {
            qCDebug(kalvexVolume, "Error in RayIntersector::rayVoxelizeCube");
            return false;
        }
        if (visit(CellIndex{index[0], index[1], index[2]}, previous))
            return true;
        if (!(current.tOut < grid.tOut))
            return true;  // the grid is left
    }
    return true;
}

bool inside(const CellIndex& c, const int (&n)[3])
{
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x < n[0] && c.y < n[1] && c.z < n[2];
}

}  // namespace

RayIntersector::FirstHit RayIntersector::rayVoxelizeCube(const Ray& ray, const point& low, const point& high, int nx,
                                                         int ny, int nz, EditableShadowObject& volume)
{
    const int n[3] = {nx, ny, nz};
    FirstHit found;
    CellIndex entry;
    walk(ray, low, high, n, entry, [&](const CellIndex& cell, const CellIndex& before) {
        if (!volume.isInGrid(cell) || !volume.isOccupied(cell))
            return false;
        found.cell = cell;
        found.before = before;
        return true;
    });
    return found;
}

std::vector<CellIndex> RayIntersector::rayVoxelizeCube(const Ray& ray, const point& low, const point& high, int nx,
                                                       int ny, int nz)
{
    const int n[3] = {nx, ny, nz};
    std::vector<CellIndex> cells;
    CellIndex entry;
    if (!walk(ray, low, high, n, entry, [&](const CellIndex& cell, const CellIndex&) {
            if (cells.empty())
                cells.push_back(entry);
            if (inside(cell, n))
                cells.push_back(cell);
            return false;
        }))
        return cells;
    if (cells.empty())
        cells.push_back(entry);  // the ray only touches its entry cell
    return cells;
}
