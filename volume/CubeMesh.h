#pragma once
// The voxel cube mesh shared by both kinds of volume: per cell 8 vertices
// (corners 0..7: (x0,y0,z0), (x1,y0,z0), (x1,y1,z0), (x0,y1,z0), then the same
// at z1) and 12 triangles wound counter-clockwise seen from outside, with
// per-vertex cell data for the voxel shader. Vertices are not shared between
// cells and faces between occupied cells are kept.

#include "surface/TriMesh.h"

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
