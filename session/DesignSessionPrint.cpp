// The design session's printable sculpture: the volume made one piece,
// contoured, checked and written for a slicer.

#include "session/DesignSession.h"

#include "surface/VoxelContouring.h"
#include "volume/Components.h"

#include <algorithm>
#include <cmath>

Result<DesignSession::Sculpture> DesignSession::sculpture(const SculptureOptions& options)
{
    using R = Result<Sculpture>;
    if (!_master || !hasCells())
        return R::failure(QStringLiteral("There is no volume to print."));
    if (!(options.sizeMm > 0.0f && std::isfinite(options.sizeMm)))
        return R::failure(QStringLiteral("The size of the print must be above 0 mm."));
    ShadowObject piece(*_master);
    autoConnectAll(piece);
    if (const Result<CleanUp> cleaned = ::makeOneComponent(piece, _cell_size, QString()); !cleaned.ok())
        return R::failure(cleaned.error);
    const Bridging bridging = bridgePieces(piece);

    // An empty layer on every side, so that no cell touches the field's border.
    const int n = piece.resolution();
    const int m = n + 2;
    std::vector<std::uint8_t> occupied(std::size_t(m) * m * m, 0);
    Sculpture result;
    result.bridgeCells = bridging.cells;
    result.bridgePixels = bridging.pixels;
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                if (piece.isOccupied({x, y, z})) {
                    occupied[(std::size_t(x + 1) * m + (y + 1)) * m + (z + 1)] = 1;
                    ++result.cells;
                }
    if (result.cells == 0)
        return R::failure(QStringLiteral("There is no volume to print."));
    if (!contourOccupancy(m, occupied, options.iso, options.mode, result.mesh, options.factor))
        return R::failure(QStringLiteral("TriangulationReconstructor: failed!"));

    // Sample s of the padded field is cell s - 1; its centre is at s - 0.5.
    // Half a turn about x puts the pictures' bottom rows (high z) on the bed.
    TriMesh& mesh = result.mesh;
    for (point& v : mesh.vertices) {
        const point px = (v - point(0.5f, 0.5f, 0.5f)) * _cell_size;
        v = point(px[0], -px[1], -px[2]);
    }
    for (TriMesh::Face& f : mesh.faces)
        std::swap(f[0], f[2]);  // outward
    mesh.need_bbox();
    const point extent = mesh.bbox.size();
    const float longest = std::max({extent[0], extent[1], extent[2]});
    const float scale = options.sizeMm / longest;
    const point low = mesh.bbox.min;
    for (point& v : mesh.vertices)
        v = (v - low) * scale;
    result.originPx = low;
    result.mmPerPixel = scale;
    mesh.need_bbox();
    for (int a = 0; a < 3; ++a)
        result.sizeMm[std::size_t(a)] = mesh.bbox.max[a];
    result.check = checkMesh(mesh);
    return {std::move(result), {}};
}

Report DesignSession::exportSculpture(const QString& path, const SculptureOptions& options,
                                      const ScenePictures& pictures)
{
    const QString extension = path.section(QLatin1Char('.'), -1).toLower();
    if (extension != QLatin1String("stl") && extension != QLatin1String("3mf"))
        return Report::failure(QStringLiteral("Choose a file name ending in .stl or .3mf."));
    const Result<Sculpture> made = sculpture(options);
    if (!made.ok())
        return Report::failure(made.error);
    const MeshCheck& check = made.value.check;
    if (!check.printable())
        return Report::failure(QStringLiteral("Not printable, nothing written: %1 open edge(s), %2 edge(s) with more "
                                              "than two faces, %3 part(s), %4 edge(s) wound both ways.")
                                   .arg(check.openEdges)
                                   .arg(check.nonManifoldEdges)
                                   .arg(check.parts)
                                   .arg(check.flippedEdges));
    const std::string file = path.toLocal8Bit().toStdString();
    const bool written = extension == QLatin1String("stl") ? writeBinaryStl(made.value.mesh, file)
                                                           : write3mf(made.value.mesh, file);
    if (!written)
        return Report::failure(QStringLiteral("Cannot write %1.").arg(path));
    const QString scene = sceneBase(path) + QStringLiteral(".kxscene");
    if (const Report saved = saveScene(scene, pictures); !saved.ok)
        return saved;
    const std::array<float, 3>& size = made.value.sizeMm;
    const QString bridges = made.value.bridgeCells == 0
                                ? QString()
                                : QStringLiteral("; %1 bridging cell(s) join its pieces, adding %2 shadow pixel(s)")
                                      .arg(made.value.bridgeCells)
                                      .arg(made.value.bridgePixels);
    return {QStringLiteral("Wrote %1: %2 triangles, %3 x %4 x %5 mm%6 (and the scene %7).")
                .arg(path)
                .arg(made.value.mesh.faces.size())
                .arg(double(size[0]), 0, 'f', 1)
                .arg(double(size[1]), 0, 'f', 1)
                .arg(double(size[2]), 0, 'f', 1)
                .arg(bridges)
                .arg(scene),
            true};
}
