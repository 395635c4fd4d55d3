#pragma once
// A sculpture to print: the volume made one piece, contoured into a closed
// surface in millimetres, turned so that the pictures' bottom rows rest on the
// printer's bed, and checked. Nothing here writes a file.

#include "surface/PrintableMesh.h"
#include "surface/Result.h"
#include "surface/TriMesh.h"

#include <array>

class ShadowObject;

struct SculptureOptions {
    int mode = 3;  // Catmull-Rom
    int factor = 3;
    float iso = 0.8f;
    float sizeMm = 100.0f;  // the longest side
};

struct Sculpture {
    TriMesh mesh;  // millimetres, faces outward, in the positive octant
    MeshCheck check;
    std::array<float, 3> sizeMm{0.0f, 0.0f, 0.0f};
    int cells = 0;         // of the volume made one piece
    int bridgeCells = 0;   // cells added to join pieces no shadow-keeping path joins
    int bridgePixels = 0;  // shadow pixels those cells add
    // Where the mesh sits in the volume: a point of the volume (picture
    // pixels) turned half a turn about x (so the pictures' bottom rows rest
    // on the printer's bed), less originPx, times mmPerPixel.
    point originPx;
    float mmPerPixel = 1.0f;
    point toPicturePixels(const point& mm) const
    {
        const point turned = mm * (1.0f / mmPerPixel) + originPx;
        return point(turned[0], -turned[1], -turned[2]);
    }
};

// The volume as a mesh to print, made from a copy of it: pieces joined to the
// largest through addable cells, pieces of fewer than 6 cells dropped, the
// rest bridged, contoured with an empty border around it so it closes, each
// cell's surface centred on the cell (its shadow covers the pixel centres the
// volume's shadow covers). Fails without a cell or a positive size.
Result<Sculpture> makeSculpture(const ShadowObject* volume, const SculptureOptions& options);

// The example sculpture (voxel units, cells of `cellSize`), turned and sized
// the same way. Its models overlap, so it is no single manifold part.
Result<Sculpture> exampleSculptureForPrint(const TriMesh* sculpture, float cellSize, float sizeMm);
