#pragma once
// Automatic placement: the scale and shift of each of three pictures that
// let the shadow hull keep as much as possible of the figure its view keeps
// least.
//
// The search raises the least figure kept on the canvas (keptOnCanvas): the
// hull's shadow drawn as blocks against the canvas figure, so a figure too
// small for the cells loses as surely as one the hull cuts.
//
// Each grid axis is seen by two pictures (set 0: X shows (y, z), Y (x, z),
// Z (x, y); the oblique sets share z among all three and mix x and y), so
// the pictures must agree on where their figures lie along every shared
// axis. The search tries placements on the hull alone (no volume is built):
// pattern steps over each picture's scale and whole-pixel shift and over
// moves of the whole volume along an axis, from 27 starts (each picture at
// its largest, its identity and its smallest scale, centred) on a grid of
// cells of at least 10 for the hull's agreement, then the best few and the
// identity start on cells of at least 5 and at the cell size asked for.
// Deterministic: the same input gives the same placements.

#include "volume/Figure.h"
#include "volume/KeepFigure.h"
#include "volume/Placement.h"
#include "surface/Result.h"

#include <array>
#include <functional>

struct ArrangeOptions {
    // Each figure's larger side stays at least this share of the canvas.
    double smallestShare = 0.6;
    // Quarter turns and mirrors to keep (hand placement); scale and shift
    // are searched.
    std::array<Placement, 3> turns{};
    // Progress, 0 to 1, called now and then from the calling thread.
    std::function<void(double)> progress;
};

struct Arrangement {
    std::array<Placement, 3> placements{};
    // Per view, of the hull of the placed pictures: the kept figure of the
    // maps, and the figure kept on the canvas (what the search raises: its
    // least value; see keptOnCanvas).
    KeptValues kept{0, 0, 0};
    KeptValues onCanvas{0, 0, 0};
};

// Chooses the placements of `figures` (view order of projection set `set`)
// for volumes of cells of `cellSize`. Fails with one line for an unknown
// set, a cell size outside 1..250 or an empty figure.
Result<Arrangement> arrange(const std::array<Figure, 3>& figures, int set, float cellSize,
                            const ArrangeOptions& options = {});

// Per view, the kept figure of the hull of three canvases (250 x 250) cast in
// the modes of `set` at `cellSize`: the prediction arrange makes, without
// building a volume. Zeros for an unknown set.
KeptValues hullKept(const std::array<QImage, 3>& canvases, int set, float cellSize);
