#pragma once
// Walking a ray through a voxel grid cell by cell: the edit tools find the
// voxel under the mouse (the first occupied cell along the viewing ray, with
// the cell just in front of it) and collect every cell a ray crosses.
//
// The grid is an axis-aligned box split into nx x ny x nz equal cells. Box
// faces are numbered 0, 1 (low and high x), 2, 3 (y), 4, 5 (z).

#include "surface/TriMesh.h"
#include "volume/Cell.h"

#include <vector>

class EditableShadowObject;

struct Ray {
    // `direction` is normalised here; it must not be zero.
    Ray(const point& origin, const point& direction);

    point origin;
    point direction;
    point inverse;  // 1 / direction, per component
    int sign[3];    // 1 where the inverse component is negative
};

class RayIntersector {
public:
    struct BoxHit {
        bool hit = false;
        float tIn = 0.0f, tOut = 0.0f;  // the ray's parameters where it enters and leaves
        int entryFace = -1, exitFace = -1;
    };
    // Slab test of the ray against the box [low, high].
    static BoxHit intersectBox(const Ray& ray, const point& low, const point& high);

    struct FirstHit {
        CellIndex cell{-1, -1, -1};    // the first occupied cell along the ray
        CellIndex before{-1, -1, -1};  // the cell the walk came from
        bool found() const { return cell.x >= 0; }
    };
    // The first occupied cell of `volume` after the cell where the ray enters
    // the grid box (that entry cell itself is not tested). Nothing found when
    // the ray misses the box or leaves it first.
    static FirstHit rayVoxelizeCube(const Ray& ray, const point& low, const point& high, int nx, int ny, int nz,
                                    EditableShadowObject& volume);
    // Every grid cell the ray crosses, in order from its origin.
    static std::vector<CellIndex> rayVoxelizeCube(const Ray& ray, const point& low, const point& high, int nx,
                                                  int ny, int nz);
};
