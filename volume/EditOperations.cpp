#include "volume/EditOperations.h"

#include "volume/Diagnostics.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

CellIndex offset(const CellIndex& c, const CellIndex& d)
{
    return {c.x + d.x, c.y + d.y, c.z + d.z};
}

// The first occupied cell along the ray; (-1, -1, -1) when there is none.
CellIndex pick(EditableShadowObject& volume, const GridBox& box, const Ray& ray)
{
    return RayIntersector::rayVoxelizeCube(ray, box.low, box.high, box.n[0], box.n[1], box.n[2], volume).cell;
}

// Runs `edit` between a snapshot and the history step it records.
template <class Edit>
int recorded(EditableShadowObject& volume, Edit edit)
{
    EditableShadowObject::Snapshot snapshot;
    volume.takeSnapshot(snapshot);
    const int changed = edit();
    volume.recordEdit(snapshot);
    return changed;
}

}  // namespace

std::vector<CellIndex> ballOffsets(float r)
{
    const int reach = static_cast<int>(std::ceil(r - 1.0f));
    const int limit = static_cast<int>(std::floor((r - 1.0f) * (r - 1.0f)));
    std::vector<CellIndex> offsets;
    for (int dx = -reach; dx <= reach; ++dx)
        for (int dy = -reach; dy <= reach; ++dy)
            for (int dz = -reach; dz <= reach; ++dz)
                if (dx * dx + dy * dy + dz * dz <= limit)
                    offsets.push_back({dx, dy, dz});
    return offsets;
}

int brushCells(EditableShadowObject& volume, const CellIndex& c, float r, bool add)
{
    int changed = 0;
    for (const CellIndex& d : ballOffsets(r)) {
        const CellIndex cell = offset(c, d);
        if (!volume.isInGrid(cell) || volume.isOccupied(cell) == add)
            continue;
        const bool allowed = add ? volume.isCellAddable(cell.x, cell.y, cell.z) : volume.isCellRemovable(cell);
        if (allowed) {
            volume.setOccupied(cell, add);
            ++changed;
        }
    }
    return changed;
}

bool ballRemovable(EditableShadowObject& volume, const CellIndex& c, float r)
{
    bool removable = true;
    std::vector<CellIndex> removed;
    for (const CellIndex& d : ballOffsets(r)) {
        const CellIndex cell = offset(c, d);
        if (!volume.isInGrid(cell) || !volume.isOccupied(cell))
            continue;
        removable = volume.isCellRemovable(cell) && removable;
        volume.setOccupied(cell, false);
        removed.push_back(cell);
    }
    for (const CellIndex& cell : removed)
        volume.setOccupied(cell, true);
    return removable;
}

int setBall(EditableShadowObject& volume, const CellIndex& c, float r, bool value, std::vector<CellIndex>* changed)
{
    int count = 0;
    for (const CellIndex& d : ballOffsets(r)) {
        const CellIndex cell = offset(c, d);
        if (!volume.isInGrid(cell) || volume.isOccupied(cell) == value)
            continue;
        volume.setOccupied(cell, value);
        ++count;
        if (changed)
            changed->push_back(cell);
    }
    return count;
}

// ---- edit tools -----------------------------------------------------------------

int addBrush(EditableShadowObject& volume, const GridBox& box, const Ray& ray, float r, CellIndex* picked)
{
    return recorded(volume, [&] {
        const CellIndex c = pick(volume, box, ray);
        if (picked)
            *picked = c;
        return volume.isInGrid(c) ? brushCells(volume, c, r, true) : 0;
    });
}

int subtractBrush(EditableShadowObject& volume, const GridBox& box, const Ray& ray, float r, bool completeOnly,
                  CellIndex* picked)
{
    return recorded(volume, [&] {
        const CellIndex c = pick(volume, box, ray);
        if (picked)
            *picked = c;
        if (!volume.isInGrid(c)) {
            qCDebug(kalvexVolume, "%d %d %d not in grid!!", c.x, c.y, c.z);
            return 0;
        }
        if (!completeOnly)
            return brushCells(volume, c, r, false);
        return ballRemovable(volume, c, r) ? setBall(volume, c, r, false) : 0;
    });
}

int subtractRay(EditableShadowObject& volume, const GridBox& box, const Ray& ray, bool completeOnly, float r)
{
    return recorded(volume, [&] {
        std::vector<CellIndex> removed;
        for (const CellIndex& cell :
             RayIntersector::rayVoxelizeCube(ray, box.low, box.high, box.n[0], box.n[1], box.n[2])) {
            if (ballRemovable(volume, cell, r)) {
                setBall(volume, cell, r, false, &removed);
            } else if (completeOnly) {
                for (const CellIndex& c : removed)
                    volume.setOccupied(c, true);
                removed.clear();
                break;
            }
        }
        return static_cast<int>(removed.size());
    });
}

int erode(EditableShadowObject& volume, const GridBox& box, const Ray& ray, int steps, float r, CellIndex* picked)
{
    return recorded(volume, [&] {
        CellIndex current = pick(volume, box, ray);
        if (picked)
            *picked = current;
        if (!volume.isInGrid(current) || !ballRemovable(volume, current, r))
            return 0;
        int made = 0;
        for (; made < steps; ++made) {
            const int first = std::rand() % 6;
            bool moved = false;
            for (int i = 0; i < 6 && !moved; ++i) {
                const int k = (first + i) % 6;
                CellIndex next = current;
                int* axis[3] = {&next.x, &next.y, &next.z};
                *axis[k / 2] += k % 2 == 0 ? -1 : 1;
                if (volume.isInGrid(next) && ballRemovable(volume, next, r)) {
                    setBall(volume, next, r, false);
                    current = next;
                    moved = true;
                }
            }
            if (!moved)
                break;
        }
        return made;
    });
}

// ---- global edits ------------------------------------------------------------------

int smooth(EditableShadowObject& volume, float sigma, float threshold)
{
    return recorded(volume, [&] {
        if (!(sigma > 0.0f && sigma < 1e6f))
            return 0;  // no kernel
        int reach = 0;
        while (!(std::exp(-float(reach * reach) / sigma) <= 0.01f))
            ++reach;
        const int side = 2 * reach + 1;
        std::vector<float> kernel(std::size_t(side) * side * side);
        for (int dx = -reach; dx <= reach; ++dx)
            for (int dy = -reach; dy <= reach; ++dy)
                for (int dz = -reach; dz <= reach; ++dz)
                    kernel[(std::size_t(dx + reach) * side + (dy + reach)) * side + (dz + reach)] = static_cast<float>(
                        std::exp(double(-dx * dx - dy * dy - dz * dz) / 3.0) * double(0.03703703731298447f));

        const int nx = volume.sizeX(), ny = volume.sizeY(), nz = volume.sizeZ();
        auto at = [&](int x, int y, int z) { return (std::size_t(x) * ny + y) * nz + z; };
        std::vector<float> density(std::size_t(nx) * ny * nz, 0.0f);
        for (int x = 0; x < nx; ++x)
            for (int y = 0; y < ny; ++y)
                for (int z = 0; z < nz; ++z) {
                    if (!volume.isOccupied({x, y, z}))
                        continue;
                    for (int dx = -reach; dx <= reach; ++dx)
                        for (int dy = -reach; dy <= reach; ++dy)
                            for (int dz = -reach; dz <= reach; ++dz) {
                                const int tx = x + dx, ty = y + dy, tz = z + dz;
                                if (tx < 0 || ty < 0 || tz < 0 || tx >= nx || ty >= ny || tz >= nz)
                                    continue;
                                density[at(tx, ty, tz)] +=
                                    kernel[(std::size_t(dx + reach) * side + (dy + reach)) * side + (dz + reach)];
                            }
                }
        int changed = 0;
        for (int x = 0; x < nx; ++x)
            for (int y = 0; y < ny; ++y)
                for (int z = 0; z < nz; ++z) {
                    const CellIndex c{x, y, z};
                    const bool want = threshold < density[at(x, y, z)];
                    const bool occupied = volume.isOccupied(c);
                    if (!occupied && want && volume.isCellAddable(x, y, z)) {
                        volume.setOccupied(c, true);
                        ++changed;
                    } else if (occupied && !want && volume.isCellRemovable(c)) {
                        volume.setOccupied(c, false);
                        ++changed;
                    }
                }
        return changed;
    });
}

int removeRandomBalls(EditableShadowObject& volume, int count, float r)
{
    return recorded(volume, [&] {
        const int n = volume.resolution();
        int removed = 0;
        for (int i = 0; i < count; ++i) {
            const int x = std::rand() % n;
            const int y = std::rand() % n;
            const int z = std::rand() % n;
            if (ballRemovable(volume, {x, y, z}, r)) {
                setBall(volume, {x, y, z}, r, false);
                ++removed;
            }
        }
        return removed;
    });
}

void updateOccupiedBox(EditableShadowObject& volume)
{
    float* box = volume._edit_box;
    for (int a = 0; a < 3; ++a) {
        box[a] = 2147483648.0f;
        box[a + 3] = -2147483648.0f;
    }
    for (int x = 0; x < volume.sizeX(); ++x)
        for (int y = 0; y < volume.sizeY(); ++y)
            for (int z = 0; z < volume.sizeZ(); ++z) {
                if (!volume.isOccupied({x, y, z}))
                    continue;
                const float c[3] = {float(x), float(y), float(z)};
                for (int a = 0; a < 3; ++a) {
                    box[a] = std::min(box[a], c[a]);
                    box[a + 3] = std::max(box[a + 3], c[a]);
                }
            }
}

int removeCellsInBox(EditableShadowObject& volume)
{
    const float* box = volume._edit_box;
    const int size[3] = {volume.sizeX(), volume.sizeY(), volume.sizeZ()};
    int lo[3], hi[3];
    for (int a = 0; a < 3; ++a) {
        // Clipped to the grid; an empty volume's box (minimum above maximum)
        // leaves nothing.
        lo[a] = std::max(static_cast<int>(std::clamp(box[a], -1.0f, float(size[a]))), 0);
        hi[a] = std::min(static_cast<int>(std::clamp(box[a + 3], -1.0f, float(size[a]))) + 1, size[a] - 1);
    }
    int removed = 0;
    for (int x = lo[0]; x <= hi[0]; ++x)
        for (int y = lo[1]; y <= hi[1]; ++y)
            for (int z = lo[2]; z <= hi[2]; ++z) {
                const CellIndex c{x, y, z};
                if (volume.isOccupied(c) && volume.isCellRemovable(c)) {
                    volume.setOccupied(c, false);
                    ++removed;
                }
            }
    return removed;
}

int removeBallsAtBoxBorder(EditableShadowObject& volume, int count, float r, float depth)
{
    qCDebug(kalvexVolume, "rbfbb start");
    const float* box = volume._edit_box;
    if (box[0] > box[3] || box[1] > box[4] || box[2] > box[5])
        return 0;  // the box of an empty volume
    double lo[3], hi[3], extent[3];
    for (int a = 0; a < 3; ++a) {
        lo[a] = double(static_cast<int>(box[a]));
        hi[a] = double(static_cast<int>(box[a + 3]));
        extent[a] = hi[a] + 1.0 - lo[a];
    }
    int removed = 0;
    for (int i = 0; i < count; ++i) {
        const double d = double(std::rand()) / 32767.0 * double(depth);
        const double u = double(std::rand()) / 32767.0;
        const double v = double(std::rand()) / 32767.0;
        const int face = std::rand() % 6;
        double p[3];
        switch (face / 2) {
        case 0:  // the z faces
            p[0] = lo[0] + extent[0] * u;
            p[1] = lo[1] + extent[1] * v;
            p[2] = face == 0 ? lo[2] + d : hi[2] + 1.0 - d;
            break;
        case 1:  // the y faces
            p[0] = lo[0] + extent[0] * u;
            p[1] = face == 2 ? lo[1] + d : hi[1] + 1.0 - d;
            p[2] = lo[2] + extent[2] * v;
            break;
        default:  // the x faces
            p[0] = face == 4 ? lo[0] + d : hi[0] + 1.0 - d;
            p[1] = lo[1] + extent[1] * u;
            p[2] = lo[2] + extent[2] * v;
        }
        const CellIndex c{static_cast<int>(p[0]), static_cast<int>(p[1]), static_cast<int>(p[2])};
        if (ballRemovable(volume, c, r)) {
            setBall(volume, c, r, false);
            ++removed;
        }
    }
    return removed;
}
