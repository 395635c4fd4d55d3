#include "surface/Delaunay.h"

#include <CGAL/Delaunay_triangulation_2.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_2.h>

#include <algorithm>
#include <cmath>
#include <map>

namespace tpp {

namespace {

using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using VertexBase = CGAL::Triangulation_vertex_base_with_info_2<int, Kernel>;
using Tds = CGAL::Triangulation_data_structure_2<VertexBase>;
using Triangulation = CGAL::Delaunay_triangulation_2<Kernel, Tds>;

}  // namespace

Delaunay::Delaunay(const std::vector<Point>& points) : _input(points) {}

void Delaunay::Triangulate()
{
    _vertices.clear();
    _triangles.clear();

    // Distinct finite points in input order; a repeated point maps to the
    // index of its first occurrence.
    std::map<Point, int> first;
    for (const Point& p : _input) {
        if (!std::isfinite(p[0]) || !std::isfinite(p[1]))
            continue;
        if (first.emplace(p, static_cast<int>(_vertices.size())).second)
            _vertices.push_back(p);
    }

    // Insert one at a time, in walk order, so the result depends only on the
    // input sequence (cocircular pixel grids have many valid triangulations).
    Triangulation dt;
    Triangulation::Face_handle hint;
    for (int i = 0; i < static_cast<int>(_vertices.size()); ++i) {
        auto v = dt.insert(Kernel::Point_2(_vertices[i][0], _vertices[i][1]), hint);
        v->info() = i;
        hint = v->face();
    }
    if (dt.dimension() < 2)
        return;

    for (auto f = dt.finite_faces_begin(); f != dt.finite_faces_end(); ++f)
        _triangles.push_back({f->vertex(0)->info(), f->vertex(1)->info(), f->vertex(2)->info()});
    // CGAL's face order follows its internal storage; sort for a walk that
    // does not depend on it.
    for (Triangle& t : _triangles)
        std::rotate(t.begin(), std::min_element(t.begin(), t.end()), t.end());
    std::sort(_triangles.begin(), _triangles.end());
}

}  // namespace tpp
