#pragma once
// Where a figure sits on the 250 x 250 canvas the views are cast from.
//
// The identity placement fits the figure's picture into the canvas with its
// aspect kept, centred (a 250 x 250 picture lands pixel for pixel). A
// placement then scales that about the canvas centre, mirrors it left to
// right, turns it by quarter turns clockwise and shifts it by (dx, dy) canvas
// pixels, in that order. No placement may push a figure pixel off the canvas:
// placementFits tells, clampPlacement makes one fit, placeFigure refuses one
// that does not.

#include "volume/Figure.h"
#include "surface/Result.h"

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

struct Placement {
    double scale = 1;
    double dx = 0, dy = 0;  // canvas pixels, x to the right, y down
    int quarterTurns = 0;   // 0..3, clockwise as seen on the canvas
    bool mirror = false;    // left to right, before the turn

    bool operator==(const Placement&) const = default;
    bool isIdentity() const { return *this == Placement(); }
};

constexpr int kCanvasSize = 250;

// Canvas rectangle [left, right) x [top, bottom) in canvas pixels.
struct CanvasBox {
    double left = 0, top = 0, right = 0, bottom = 0;
};

// The box the figure's pixels cover on the canvas under `placement` (empty
// for an empty figure).
CanvasBox placedBox(const Figure& figure, const Placement& placement);

// Whether every figure pixel stays on the canvas (a scale above 0 and finite
// numbers are part of it).
bool placementFits(const Figure& figure, const Placement& placement);

// The nearest placement that fits: a scale too large for the canvas is
// lowered until the figure fits, then the figure is shifted back onto the
// canvas. Turn and mirror stay.
Placement clampPlacement(const Figure& figure, const Placement& placement);

// The canvas, black figure on white (Format_RGB32, 250 x 250). A canvas
// pixel is black when the figure covers at least half of it; when the figure
// is shrunk, also where its coverage forms a ridge (a line thinner than a
// canvas pixel), so thin parts survive. Fails when the figure is empty or
// the placement does not fit.
Result<QImage> placeFigure(const Figure& figure, const Placement& placement);

// The canvas pixels placeFigure blackens, over the box of whole pixels that
// holds them, also where that box leaves the canvas (searches try placements
// before clamping them). Pixels outside the box are light.
struct PlacedMask {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<std::uint8_t> mask;  // row-major, 1 on the figure

    bool at(int x, int y) const
    {
        x -= left;
        y -= top;
        return x >= 0 && y >= 0 && x < width && y < height && mask[std::size_t(y) * width + x] != 0;
    }
};
// Empty for an empty figure or a placement with a scale not above 0.
PlacedMask placedMask(const Figure& figure, const Placement& placement);

// Text form: "scale=S dx=X dy=Y turns=T mirror=M" with the shortest numbers
// that read back exactly.
QString placementText(const Placement& placement);
// Reads the text form: fields separated by spaces in any order, each at most
// once; a missing field keeps its identity value. One line names the first
// problem (unknown field, bad number, scale not above 0, turns outside 0..3,
// mirror other than 0 or 1).
Result<Placement> parsePlacement(const QString& text);

// The three placements of a design, one line each in view order (the
// companion file of a scene), and back; a file without exactly three
// placement lines is refused, the line naming the bad line.
QString placementsText(const std::array<Placement, 3>& placements);
Result<std::array<Placement, 3>> parsePlacements(const QString& text);
