#pragma once
// Connected pieces of a volume: labelling the 6-connected components of the
// occupied cells and finding the main (largest) one, joining other components
// to it through cells that can be added without changing a shadow, and the
// clean-up that drops tiny 26-connected pieces.
//
// Label arrays hold one int per cell, cell (x, y, z) at (z N + y) N + x.

#include "volume/EditableShadowObject.h"
#include "surface/Result.h"
#include "surface/TriMesh.h"

#include <QString>

#include <vector>

struct ComponentSeed {
    int label;
    int x, y, z;  // the first cell found of the component
};

// Labels every occupied cell with its 6-connected component, from 1 in the
// order the components are found (x, then y, then z); free cells get 0.
// Returns the main label: the component with the most cells, the one found
// later among equals; 0 for an empty volume. `seeds` gets one entry per
// component when given.
int labelComponents(EditableShadowObject& volume, std::vector<int>& labels,
                    std::vector<ComponentSeed>* seeds = nullptr);

// Occupies one shortest path of addable cells from (x, y, z) to a cell of the
// main component (breadth-first, directions -x, +x, -y, +y, -z, +z). Returns
// the number of cells it occupied; 0 when no such path exists.
int joinMainComponent(EditableShadowObject& volume, int x, int y, int z, const std::vector<int>& labels,
                      int mainLabel);

// Joins every other component to the main one (labels taken once, before
// the first join) and records the whole as one history step. Returns the
// number of cells occupied.
int autoConnectAll(EditableShadowObject& volume);
// The same joins without a history step.
int connectToMain(EditableShadowObject& volume);

struct Bridging {
    int pieces = 0;  // pieces joined
    int cells = 0;   // cells added
    int pixels = 0;  // shadow pixels they add (0 when every cell was addable)
};
// Joins every 6-connected piece to the largest, one piece at a time, by the
// cheapest path of free cells from the largest piece: a cell costs first the
// shadow pixels it would add (none for an addable cell), then its count. The
// piece joined next is the one beside the free cell that is cheapest to reach
// (the lower label-array index among equals), and the path steps back
// through the neighbour cheapest to reach (again the lower index among
// equals). A fresh hull has no addable cell, so its pieces are joined by the
// thinnest bridges that add the fewest shadow pixels. Records no history
// step. One search serves every join: near-linear in the cells it reaches.
class ShadowObject;
Bridging bridgePieces(ShadowObject& volume);

struct CleanUp {
    int components = 0;            // 26-connected components found
    int removed = 0;               // cells freed with their components of fewer than 6 cells
    std::vector<point> centroids;  // of the components kept, in picture pixels
};
// Frees every 26-connected component of fewer than 6 cells (without any
// shadow test) and gives the centroids of the others, in picture pixels of
// cells of `cellSize`. Records no history step.
CleanUp makeOneComponent(EditableShadowObject& volume, float cellSize);
