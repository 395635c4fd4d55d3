#pragma once
// 2-D Delaunay triangulation of an ordered point list, backed by CGAL's exact
// predicates. Duplicate points are merged into their first occurrence; the
// vertex walk lists the distinct points in input order, and Org/Dest/Apex of a
// triangle are 0-based indices into that walk. Triangles are counter-clockwise.

#include <array>
#include <vector>

namespace tpp {

class Delaunay {
public:
    using Point = std::array<double, 2>;
    using Triangle = std::array<int, 3>;
    using vIterator = std::vector<Point>::const_iterator;
    using fIterator = std::vector<Triangle>::const_iterator;

    explicit Delaunay(const std::vector<Point>& points);

    // Computes the triangulation; the walks below are empty before this call.
    void Triangulate();

    int nvertices() const { return static_cast<int>(_vertices.size()); }
    vIterator vbegin() const { return _vertices.begin(); }
    vIterator vend() const { return _vertices.end(); }

    int ntriangles() const { return static_cast<int>(_triangles.size()); }
    fIterator fbegin() const { return _triangles.begin(); }
    fIterator fend() const { return _triangles.end(); }

    int Org(const fIterator& f) const { return (*f)[0]; }
    int Dest(const fIterator& f) const { return (*f)[1]; }
    int Apex(const fIterator& f) const { return (*f)[2]; }

private:
    std::vector<Point> _input;
    std::vector<Point> _vertices;
    std::vector<Triangle> _triangles;
};

}  // namespace tpp
