#pragma once
// How much of each picture's figure the volume keeps.
//
// A view keeps its figure to the degree its shadow matches it: the
// intersection over union of the volume's N x N shadow in the view's mode
// and the figure's N x N map (the dark map of the placed picture before any
// deformation).

#include "volume/Grids.h"
#include "volume/ShadowObject.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

using FigureMaps = std::array<ByteMap, 3>;  // per view slot, N x N, [column][row]
using KeptValues = std::array<double, 3>;

// The N x N figure map of a canvas picture (250 wide) at `cellSize`: the
// views' dark map (red, green and blue below 100).
ByteMap figureMap(const QImage& canvas, float cellSize);

// Per map pixel (index column * N + row), the share of its block of the
// canvas (cell size x cell size pixels) that the figure covers, 0..1.
std::vector<float> figureCover(const QImage& canvas, float cellSize);

// What the three views should show, at the volume's resolution, per view slot.
struct ViewFigures {
    FigureMaps maps;                         // the dark maps
    std::array<std::vector<float>, 3> cover;  // figureCover
};
ViewFigures viewFigures(const std::array<QImage, 3>& canvases, float cellSize);

// Intersection over union of two maps of the same size; 1 when both are
// empty, 0 for maps of different sizes.
double keptFigure(const ByteMap& shadow, const ByteMap& figure);

// Per view slot k, the kept figure of the volume's shadow in its k-th view
// mode against figures[k].
KeptValues keptFigures(const ShadowObject& master, const FigureMaps& figures);

// Per view slot, the figure kept on the canvas: the intersection over union
// of the volume's shadow drawn as blocks of cell size x cell size canvas
// pixels and the canvas figure. Unlike keptFigures it sees what a block
// holds: a block half figure counts half. This is what the print shows at
// best, before any fitting.
KeptValues keptOnCanvas(const ShadowObject& master, const ViewFigures& figures);

inline double worstKept(const KeptValues& kept)
{
    return std::min({kept[0], kept[1], kept[2]});
}

// Of the states offered (the volume after 0, 1, ... optimise passes), the
// one whose least figure kept on the canvas is largest; the first among
// equals.
class BestPass {
public:
    explicit BestPass(ViewFigures figures) : _figures(std::move(figures)) {}

    // Records the master's cells when its least kept figure beats the best so
    // far; returns whether it did.
    bool offer(const ShadowObject& master, int pass);
    int bestPass() const { return _pass; }  // -1 before any offer
    const KeptValues& bestKept() const { return _kept; }
    // Puts the best state's cells into `master` (same resolution; false and
    // no change otherwise) and records its shadow maps.
    bool restore(ShadowObject& master) const;

private:
    ViewFigures _figures;
    int _pass = -1;
    KeptValues _kept{0, 0, 0};
    int _n = 0;
    std::vector<std::uint8_t> _cells;  // occupancy, x, then y, then z (z fastest)
};

// The master's shadow maps in every view made again from its cells, after
// cells changed one by one.
void recordShadows(ShadowObject& master);
