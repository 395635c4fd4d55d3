#pragma once
// The voxel cube mesh shared by both kinds of volume: per cell 8 vertices
// (corners 0..7: (x0,y0,z0), (x1,y0,z0), (x1,y1,z0), (x0,y1,z0), then the same
// at z1) and 12 triangles wound counter-clockwise seen from outside, with
// per-vertex cell data for the voxel shader. Vertices are not shared between
// cells and faces between occupied cells are kept.

#include "surface/TriMesh.h"
#include "volume/Grids.h"

#include <utility>

class CubeMeshWriter {
public:
    // Sizes `mesh` for `cells` cubes of edge `cellSize` (picture pixels) and
    // drops its derived arrays; the arrays keep their memory.
    CubeMeshWriter(TriMesh& mesh, int cells, float cellSize);

    // Appends the cube of cell (x, y, z); `state` is the cell's highlight
    // state (CellFlags::Editable | Disconnected), `greedy` 1 for a cell a
    // greedy step added. Call exactly `cells` times.
    void add(int x, int y, int z, int state, int greedy);

private:
    float _s;
    point _corner_normal[8];
    point* _vertex;
    point* _normal;
    TriMesh::CellData* _data;
    TriMesh::Face* _face;
    int _next = 0;  // first vertex number of the next cube
};

// Whether occupied cell (x, y, z) of `grid` shows a face: it lies on the
// grid's border or next to a free cell.
bool isExposedCell(const CellGrid& grid, int x, int y, int z);

// Refills `mesh` with the cubes of the occupied cells of `grid` (only the
// exposed ones when `hollow`) in x, y, z order; `cellData(x, y, z)` gives
// each cube's (state, greedy) as for CubeMeshWriter::add. Returns the count.
template <class CellData>
int writeCubeMesh(const CellGrid& grid, bool hollow, float cellSize, TriMesh& mesh, CellData cellData)
{
    auto counted = [&](int x, int y, int z) {
        return grid.at(x, y, z).occupied && (!hollow || isExposedCell(grid, x, y, z));
    };
    int count = 0;
    for (int x = 0; x < grid.sizeX(); ++x)
        for (int y = 0; y < grid.sizeY(); ++y)
            for (int z = 0; z < grid.sizeZ(); ++z)
                count += counted(x, y, z) ? 1 : 0;
    CubeMeshWriter cubes(mesh, count, cellSize);
    for (int x = 0; x < grid.sizeX(); ++x)
        for (int y = 0; y < grid.sizeY(); ++y)
            for (int z = 0; z < grid.sizeZ(); ++z)
                if (counted(x, y, z)) {
                    const std::pair<int, int> data = cellData(x, y, z);
                    cubes.add(x, y, z, data.first, data.second);
                }
    return count;
}
