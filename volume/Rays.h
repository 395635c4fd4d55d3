#pragma once
// The cells that project onto one pixel of a view, in ray order: the free
// coordinate upward for the axis views, x outer and y inner for the in-plane
// views (those hold the cells of one row z whose oblique column is the pixel's).

#include "volume/Cell.h"

template <class Visit>
void forEachRayCell(int mode, int n, int column, int row, Visit visit)
{
    switch (mode) {
    case X_PROJECTION:
        for (int t = 0; t < n; ++t)
            visit(CellIndex{t, column, row});
        return;
    case Y_PROJECTION:
        for (int t = 0; t < n; ++t)
            visit(CellIndex{column, t, row});
        return;
    case Z_PROJECTION:
        for (int t = 0; t < n; ++t)
            visit(CellIndex{column, row, t});
        return;
    default:
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                if (inPlaneColumn(mode, x, y) == column)
                    visit(CellIndex{x, y, row});
    }
}
