#pragma once
// Nearest point of a fixed set of 3-D points (mesh vertices) through an ANN
// kd-tree: bucket size 1, the suggested split rule, error bound 1e-5 unless
// asked otherwise, squared distances. Used by the registration's pairing and
// to measure how far a mesh lies from the target surface.

#include "surface/TriMesh.h"

#include <limits>
#include <vector>

class ANNkd_tree;

class VertexIndex {
public:
    struct Nearest {
        int index = -1;  // into the points, -1 when there are none
        double squaredDistance = std::numeric_limits<double>::infinity();
    };

    explicit VertexIndex(const std::vector<point>& points);
    ~VertexIndex();
    VertexIndex(const VertexIndex&) = delete;
    VertexIndex& operator=(const VertexIndex&) = delete;

    int size() const { return _count; }
    // `errorBound` 0 finds the nearest point exactly; the default lets the
    // search stop at a point up to that fraction farther.
    Nearest nearest(double x, double y, double z, double errorBound = 1e-5) const;
    Nearest nearest(const point& p) const { return nearest(p[0], p[1], p[2]); }

private:
    int _count = 0;
    double** _points = nullptr;  // ANNpointArray, alive as long as the tree
    ANNkd_tree* _tree = nullptr;
};
