#include "volume/DarkPixelSearch.h"

#include <ANN/ANN.h>

#include <limits>

DarkPixelSearch::DarkPixelSearch(const ByteMap& map)
{
    for (int i = 0; i < map.first(); ++i)
        for (int j = 0; j < map.second(); ++j)
            _count += map.at(i, j) != 0;
    if (_count == 0)
        return;
    _points = annAllocPts(_count, 2);
    int k = 0;
    for (int i = 0; i < map.first(); ++i) {
        for (int j = 0; j < map.second(); ++j) {
            if (map.at(i, j) == 0)
                continue;
            _points[k][0] = i;
            _points[k][1] = j;
            ++k;
        }
    }
    _tree = new ANNkd_tree(_points, _count, 2, 1, ANN_KD_SUGGEST);
}

DarkPixelSearch::~DarkPixelSearch()
{
    delete _tree;
    if (_points)
        annDeallocPts(_points);
}

DarkPixelSearch::Result DarkPixelSearch::nearest(double column, double row) const
{
    Result result{-1, std::numeric_limits<double>::infinity(), 0, 0};
    if (!_tree)
        return result;
    double query[2] = {column, row};
    ANNidx index = -1;
    ANNdist dist = 0.0;
    _tree->annkSearch(query, 1, &index, &dist, 1e-5);
    result.index = index;
    result.squaredDistance = dist;
    result.column = static_cast<int>(_points[index][0]);
    result.row = static_cast<int>(_points[index][1]);
    return result;
}
