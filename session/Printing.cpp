// The printable sculpture: the volume made one piece, contoured and checked.

#include "session/Printing.h"

#include "surface/VoxelContouring.h"
#include "volume/Components.h"
#include "volume/GridAllocator.h"
#include "volume/ShadowObject.h"

#include <algorithm>
#include <tuple>
#include <cmath>

namespace {

// Points in picture pixels turned half a turn about x (the pictures' bottom
// rows go to the bed), then moved into the positive octant and scaled so that
// the longest side is `sizeMm`. Returns the corner moved to the origin and
// the scale.
std::pair<point, float> placeOnBed(TriMesh& mesh, float sizeMm)
{
    for (point& v : mesh.vertices)
        v = point(v[0], -v[1], -v[2]);
    mesh.need_bbox();
    const point extent = mesh.bbox.size();
    const float scale = sizeMm / std::max({extent[0], extent[1], extent[2]});
    const point low = mesh.bbox.min;
    for (point& v : mesh.vertices)
        v = (v - low) * scale;
    mesh.need_bbox();
    return {low, scale};
}

constexpr int kPad = 2;  // empty layers around the cells in the contoured field

// Fills the free cells that no path of free cells through faces joins to the
// field's border: a hollow closed inside the volume would be a second, inner
// surface of the print, and no light reaches it, so filling it changes no
// shadow. The contoured surface closes free cells that touch only along an
// edge or at a corner, so those count as closed too. Returns the cells filled.
int fillCavities(int m, std::vector<std::uint8_t, GridAllocator<std::uint8_t>>& occupied)
{
    std::vector<std::uint8_t> outside(occupied.size(), 0);
    std::vector<std::size_t> stack{0};  // the corner sample is free (padding)
    outside[0] = 1;
    const std::size_t mm = std::size_t(m) * std::size_t(m);
    const std::size_t steps[3] = {mm, std::size_t(m), 1};
    while (!stack.empty()) {
        const std::size_t i = stack.back();
        stack.pop_back();
        const int at[3] = {int(i / mm), int(i / std::size_t(m) % std::size_t(m)), int(i % std::size_t(m))};
        for (int axis = 0; axis < 3; ++axis)
            for (int side : {-1, 1}) {
                const int c = at[axis] + side;
                if (c < 0 || c >= m)
                    continue;
                const std::size_t j = side < 0 ? i - steps[axis] : i + steps[axis];
                if (occupied[j] || outside[j])
                    continue;
                outside[j] = 1;
                stack.push_back(j);
            }
    }
    int filled = 0;
    for (std::size_t i = 0; i < occupied.size(); ++i)
        if (!occupied[i] && !outside[i]) {
            occupied[i] = 1;
            ++filled;
        }
    return filled;
}

}  // namespace

Result<Sculpture> makeSculpture(const ShadowObject* volume, const SculptureOptions& options)
{
    if (!volume || volume->occupiedCount() == 0)
        return fail(QStringLiteral("There is no volume to print."));
    if (!(options.sizeMm > 0.0f && std::isfinite(options.sizeMm)))
        return fail(QStringLiteral("The size of the print must be above 0 mm."));
    const float cellSize = volume->cellSize();
    ShadowObject piece(*volume);
    connectToMain(piece);
    makeOneComponent(piece, cellSize);
    const Bridging bridging = bridgePieces(piece);

    // Two empty layers on every side: the smooth interpolations march only
    // the cubes whose four samples per axis lie inside the field, so a cell
    // next to the border would lose its outer faces.
    const int n = piece.resolution();
    const int m = n + 2 * kPad;
    std::vector<std::uint8_t, GridAllocator<std::uint8_t>> occupied(std::size_t(m) * m * m, 0);
    Sculpture result;
    result.bridgeCells = bridging.cells;
    result.bridgePixels = bridging.pixels;
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                if (piece.isOccupied({x, y, z})) {
                    occupied[(std::size_t(x + kPad) * m + (y + kPad)) * m + (z + kPad)] = 1;
                    ++result.cells;
                }
    if (result.cells == 0)
        return fail(QStringLiteral("There is no volume to print."));
    result.cells += fillCavities(m, occupied);
    if (!contourOccupancy(m, occupied, options.iso, options.mode, result.mesh, options.factor))
        return fail(QStringLiteral("TriangulationReconstructor: failed!"));

    // Sample s of the padded field is cell s - kPad; its centre is at s - kPad + 0.5.
    TriMesh& mesh = result.mesh;
    for (point& v : mesh.vertices)
        v = (v - point(kPad - 0.5f, kPad - 0.5f, kPad - 0.5f)) * cellSize;
    for (TriMesh::Face& f : mesh.faces)
        std::swap(f[0], f[2]);  // outward
    std::tie(result.originPx, result.mmPerPixel) = placeOnBed(mesh, options.sizeMm);
    for (int a = 0; a < 3; ++a)
        result.sizeMm[std::size_t(a)] = mesh.bbox.max[a];
    result.check = checkMesh(mesh);
    return result;
}

Result<Sculpture> exampleSculptureForPrint(const TriMesh* sculpture, float cellSize, float sizeMm)
{
    if (!sculpture)
        return fail(QStringLiteral("No example sculpture yet."));
    if (!(sizeMm > 0.0f && std::isfinite(sizeMm)))
        return fail(QStringLiteral("The size of the print must be above 0 mm."));
    Sculpture result;
    result.mesh = *sculpture;
    for (point& v : result.mesh.vertices)
        v = v * cellSize;
    std::tie(result.originPx, result.mmPerPixel) = placeOnBed(result.mesh, sizeMm);
    for (int a = 0; a < 3; ++a)
        result.sizeMm[std::size_t(a)] = result.mesh.bbox.max[a];
    result.check = checkMesh(result.mesh);
    return result;
}
