#include "volume/CubeMesh.h"

#include <cmath>

namespace {

constexpr int kCubeFaces[12][3] = {{0, 3, 2}, {2, 1, 0}, {1, 2, 6}, {6, 5, 1}, {0, 1, 5}, {5, 4, 0},
                                   {0, 4, 7}, {7, 3, 0}, {2, 3, 7}, {7, 6, 2}, {4, 5, 6}, {6, 7, 4}};
constexpr int kCorner[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};

}  // namespace

// Every cube gets the corner normals the angle-weighted mean of its faces
// gives: (+-1, +-1, +-1) / sqrt 3.
CubeMeshWriter::CubeMeshWriter(TriMesh& mesh, int cells, float cellSize) : _s(cellSize)
{
    mesh.neighbors.clear();
    mesh.adjacentfaces.clear();
    mesh.bbox = TriMesh::BBox();
    mesh.vertices.resize(std::size_t(cells) * 8);
    mesh.normals.resize(std::size_t(cells) * 8);
    mesh.cell_data.resize(std::size_t(cells) * 8);
    mesh.faces.resize(std::size_t(cells) * 12);
    mesh.has_cell_data = true;
    _vertex = mesh.vertices.data();
    _normal = mesh.normals.data();
    _data = mesh.cell_data.data();
    _face = mesh.faces.data();
    const float unit = 1.0f / std::sqrt(3.0f);
    for (int k = 0; k < 8; ++k)
        _corner_normal[k] = point(kCorner[k][0] ? unit : -unit, kCorner[k][1] ? unit : -unit, kCorner[k][2] ? unit : -unit);
}

void CubeMeshWriter::add(int x, int y, int z, int state, int greedy)
{
    const float x0 = x * _s, y0 = y * _s, z0 = z * _s;
    for (int k = 0; k < 8; ++k) {
        *_vertex++ = point(kCorner[k][0] ? x0 + _s : x0, kCorner[k][1] ? y0 + _s : y0, kCorner[k][2] ? z0 + _s : z0);
        *_normal++ = _corner_normal[k];
        *_data++ = {state, k, greedy, z};
    }
    for (const auto& f : kCubeFaces)
        *_face++ = TriMesh::Face(_next + f[0], _next + f[1], _next + f[2]);
    _next += 8;
}

bool isExposedCell(const CellGrid& grid, int x, int y, int z)
{
    if (x == 0 || y == 0 || z == 0 || x == grid.sizeX() - 1 || y == grid.sizeY() - 1 || z == grid.sizeZ() - 1)
        return true;
    return !grid.at(x - 1, y, z).occupied || !grid.at(x + 1, y, z).occupied || !grid.at(x, y - 1, z).occupied ||
           !grid.at(x, y + 1, z).occupied || !grid.at(x, y, z - 1).occupied || !grid.at(x, y, z + 1).occupied;
}
