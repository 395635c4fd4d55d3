#pragma once
// The edits a user makes to a volume: brushes and rays at a picked cell or
// along a picked ray, erosion, smoothing and the random and box-border ball
// removals. Every removal asks isCellRemovable and every addition
// isCellAddable first, so no edit changes a shadow. Each operation but the
// two box operations records one history step (also when nothing changed).
//
// A ball of radius r around cell c holds the cells c + (dx, dy, dz) with
// |dx|, |dy|, |dz| <= ceil(r - 1) and dx^2 + dy^2 + dz^2 <= floor((r - 1)^2),
// visited dx outer, then dy, then dz, each upward. Random choices come from
// the C library's rand().

#include "volume/EditableShadowObject.h"
#include "volume/RayIntersector.h"

#include <vector>

// The box and cell counts of a volume's grid, in the coordinates the pick
// rays come in.
struct GridBox {
    point low, high;
    int n[3] = {0, 0, 0};
};

// Offsets of the ball of radius r, in visiting order.
std::vector<CellIndex> ballOffsets(float r);

// Over the ball: with `add`, occupies each free cell that is addable;
// otherwise frees each occupied cell that is removable. Each test sees the
// changes made before it. Returns the number of cells changed.
int brushCells(EditableShadowObject& volume, const CellIndex& c, float r, bool add);
// Whether every occupied ball cell can go, asked of each just before it goes;
// the volume is unchanged afterwards. True for a ball without occupied cells.
bool ballRemovable(EditableShadowObject& volume, const CellIndex& c, float r);
// Sets every ball cell to `value`; appends the changed cells to `changed`.
int setBall(EditableShadowObject& volume, const CellIndex& c, float r, bool value,
            std::vector<CellIndex>* changed = nullptr);

// The edit tools. The brushes and erode act around the first occupied cell
// the ray meets; the subtractive ray along every cell the ray crosses.
// `picked` receives the cell the brushes and erode used ((-1, -1, -1) when
// the ray met no cell). Each returns the number of cells (erode: steps) it
// changed.
int addBrush(EditableShadowObject& volume, const GridBox& box, const Ray& ray, float r, CellIndex* picked = nullptr);
int subtractBrush(EditableShadowObject& volume, const GridBox& box, const Ray& ray, float r, bool completeOnly,
                  CellIndex* picked = nullptr);
int subtractRay(EditableShadowObject& volume, const GridBox& box, const Ray& ray, bool completeOnly, float r);
int erode(EditableShadowObject& volume, const GridBox& box, const Ray& ray, int steps, float r,
          CellIndex* picked = nullptr);

// Global edits.
// Occupies addable cells where a Gaussian density of the occupied cells is
// above `threshold` and frees removable cells where it is not.
int smooth(EditableShadowObject& volume, float sigma, float threshold);
int removeRandomBalls(EditableShadowObject& volume, int count, float r);
// The edit box := the box of the occupied cells (grid units).
void updateOccupiedBox(EditableShadowObject& volume);
// Frees every removable cell of the edit box (one cell beyond its maximum).
// Records no history step.
int removeCellsInBox(EditableShadowObject& volume);
// Removes removable balls at random places within `depth` of the edit box's
// faces. Records no history step.
int removeBallsAtBoxBorder(EditableShadowObject& volume, int count, float r, float depth);
