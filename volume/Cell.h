#pragma once
// Voxel records, projection modes and the cell-to-pixel rule shared by every
// part of the volume code.

#include <cstdint>

struct CellIndex {
    int x = 0;
    int y = 0;
    int z = 0;
    bool operator==(const CellIndex&) const = default;
};

// One voxel of the volume, two bytes so that a fine grid stays small. A
// view's distance at a cell and the volume's cost are not stored: both follow
// from the views' 2-D maps (ShadowView::distance, ShadowObject::cost).
struct Cell {
    bool occupied = false;   // the voxel is part of the volume
    std::uint8_t flags = 0;  // CellFlags
};

namespace CellFlags {
constexpr std::uint8_t Editable = 1;      // removable without changing a shadow
constexpr std::uint8_t Disconnected = 2;  // not in the main component
constexpr std::uint8_t GreedyAdded = 4;   // added by a greedy layer step
}  // namespace CellFlags

// Projection modes: how a view's picture is cast through the volume.
enum ProjectionMode : int {
    NO_VIEW = -1,               // unused view slot of a master
    X_PROJECTION = 0,           // along x: pixel (y, z)
    Y_PROJECTION = 1,           // along y: pixel (x, z)
    Z_PROJECTION = 2,           // along z: pixel (x, y)
    FortyFive_PROJECTION = 3,   // in the x-y plane at 45 degrees
    Sixty_PROJECTION = 4,       // in the x-y plane at 60 degrees
    OneTwenty_PROJECTION = 5,   // in the x-y plane at 120 degrees
    NO_PROJECTION = 6,          // a view made without a mode
    all_ortho = 7,              // selector value only, never stored in a view
};

inline bool isInPlaneMode(int mode)
{
    return mode == FortyFive_PROJECTION || mode == Sixty_PROJECTION || mode == OneTwenty_PROJECTION;
}

// Column of cell (x, y) in an in-plane view: truncation toward zero of the
// rotated x coordinate, in double precision with these exact constants.
inline int inPlaneColumn(int mode, int x, int y)
{
    switch (mode) {
    case FortyFive_PROJECTION: return static_cast<int>(0.7071 * x + 0.7071 * y);
    case Sixty_PROJECTION: return static_cast<int>(0.866 * x + 0.5 * y);
    case OneTwenty_PROJECTION: return static_cast<int>(0.866 * x - 0.5 * y);
    default: return 0;
    }
}

struct Pixel {
    int column = 0;
    int row = 0;
    bool operator==(const Pixel&) const = default;
};

// Pixel (column, row) onto which cell (x, y, z) projects in `mode` (0..5).
inline Pixel pixelOfCell(int mode, int x, int y, int z)
{
    switch (mode) {
    case X_PROJECTION: return {y, z};
    case Y_PROJECTION: return {x, z};
    case Z_PROJECTION: return {x, y};
    default: return {inPlaneColumn(mode, x, y), z};
    }
}

inline const char* projectionModeName(int mode)
{
    switch (mode) {
    case X_PROJECTION: return "X_PROJECTION";
    case Y_PROJECTION: return "Y_PROJECTION";
    case Z_PROJECTION: return "Z_PROJECTION";
    case FortyFive_PROJECTION: return "FortyFive_PROJECTION";
    case Sixty_PROJECTION: return "Sixty_PROJECTION";
    case OneTwenty_PROJECTION: return "OneTwenty_PROJECTION";
    case all_ortho: return "all_ortho";
    default: return "";
    }
}
