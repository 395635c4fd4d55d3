#pragma once
// Distances from every point of an integer grid to the nearest vertex of a
// mesh, for all n^3 grid points at once. A contoured surface has its vertices
// on grid lines (two whole coordinates), so the nearest vertex follows from
// three one-dimensional passes per axis instead of one kd-tree query per grid
// point; the squared distance is then evaluated exactly as the kd-tree does.
// The field is the exact nearest-vertex distance, equal to kd-tree queries
// with error bound 0 (with the usual bound 1e-5 a query may return a vertex
// up to that fraction farther).

#include "surface/TriMesh.h"

#include <vector>

// For grid point (x, y, z), 0 <= x, y, z < n, at (x·n + y)·n + z: the index of
// the nearest of `points`. Empty when some point has more than one fractional
// coordinate (or lies far outside the grid), or when there are no points.
std::vector<int> nearestVertexOnGridLines(const std::vector<point>& points, int n);

// Squared distance of grid point (x, y, z) to `p`, summed over the axes in
// order in double precision, as the kd-tree sums it.
inline double gridSquaredDistance(const point& p, int x, int y, int z)
{
    double t = double(x) - double(p[0]);
    double d = t * t;
    t = double(y) - double(p[1]);
    d += t * t;
    t = double(z) - double(p[2]);
    d += t * t;
    return d;
}

// Distance of every grid point to the nearest of `points` (the square root of
// the squared distance, as float), laid out as above; +infinity without
// points. Uses the grid-line passes when they apply, else exact VertexIndex
// queries.
std::vector<float> vertexDistanceField(const std::vector<point>& points, int n);
