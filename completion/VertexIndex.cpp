#include "completion/VertexIndex.h"

#include <ANN/ANN.h>

VertexIndex::VertexIndex(const std::vector<point>& points) : _count(static_cast<int>(points.size()))
{
    if (_count == 0)
        return;
    _points = annAllocPts(_count, 3);
    for (int i = 0; i < _count; ++i)
        for (int k = 0; k < 3; ++k)
            _points[i][k] = points[std::size_t(i)][k];
    _tree = new ANNkd_tree(_points, _count, 3, 1, ANN_KD_SUGGEST);
}

VertexIndex::~VertexIndex()
{
    delete _tree;
    if (_points)
        annDeallocPts(_points);
}

VertexIndex::Nearest VertexIndex::nearest(double x, double y, double z, double errorBound) const
{
    Nearest result;
    if (!_tree)
        return result;
    double query[3] = {x, y, z};
    ANNidx index = -1;
    ANNdist dist = 0.0;
    _tree->annkSearch(query, 1, &index, &dist, errorBound);
    result.index = index;
    result.squaredDistance = dist;
    return result;
}
