#pragma once
// Steps that raise the least kept figure (see KeptFigure.h for the measure).
// The hull of contradicting pictures drops parts of figures; keepFigure wins
// them back by opening rays, accepting some shadow outside another view's
// figure when that raises the least kept view.

#include "volume/KeptFigure.h"
#include "volume/ShadowObject.h"

struct KeepOptions {
    int maxRounds = 100;  // rounds of candidate search; each applies many moves
    // Raise the least figure kept on the canvas (true) or the least kept
    // figure of the maps (false).
    bool onCanvas = true;
    // Try the rays as rows of bits when every view runs along an axis, or
    // every view's rows along z (false: cell by cell). The same moves either
    // way; the bits are many times faster.
    bool rowsOfBits = true;
};

struct KeepReport {
    KeptValues before{0, 0, 0};  // the measure raised (see KeepOptions::onCanvas)
    KeptValues after{0, 0, 0};
    int added = 0;    // cells occupied (hollows filled included)
    int removed = 0;  // cells freed
    int rounds = 0;
};

// Raises the least kept figure of the master. Moves, applied while they
// raise a soft minimum of the three views' kept figures:
//  - opening a ray: the free cells on one view pixel's ray whose pixels in
//    the other views are figure (at least half, on the canvas) or already
//    shadow are occupied, as far as they join the volume through each other;
//    it costs at most that one pixel of shadow outside its figure and covers
//    missing pixels of the other views; a variant lets the cells shade one
//    of the other views anywhere, its new pixels weighed by their figure;
//  - closing a ray: every cell on the ray of a shadow pixel that is less
//    than half figure is freed (shadow outside the figure: left by the
//    optimise passes, or a block the hull fills that holds little figure).
// Never occupies a cell whose pixel in a view falls beyond that view's
// picture, and changes each cell at most once. Of the states passed on the
// way the one with the largest least kept figure is kept, so it never
// drops. Last it occupies every hollow (free cells that no path through
// faces leads out of the grid from) whose cells shade no new pixel: opened
// rays can close one in, and its surface would be a second part inside the
// print. The master's view modes tell the views; its shadow maps are
// recorded afresh at the end. Run it last: a new volume from the views
// (compute, optimise) starts from the hull again.
KeepReport keepFigure(ShadowObject& master, const ViewFigures& figures, const KeepOptions& options = {});
