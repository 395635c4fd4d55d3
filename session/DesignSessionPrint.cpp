// The design session's printable sculpture: the volume made one piece,
// contoured, checked and written for a slicer.

#include "session/DesignSession.h"

#include "example/ExampleCompletion.h"

#include "surface/VoxelContouring.h"
#include "volume/Components.h"
#include "volume/GridAllocator.h"

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

QString printExtension(const QString& path)
{
    const QString extension = path.section(QLatin1Char('.'), -1).toLower();
    return extension == QLatin1String("stl") || extension == QLatin1String("3mf") ? extension : QString();
}

bool writePrintFile(const TriMesh& mesh, const QString& path)
{
    const std::string file = path.toLocal8Bit().toStdString();
    return printExtension(path) == QLatin1String("stl") ? writeBinaryStl(mesh, file) : write3mf(mesh, file);
}

QString sizeText(const TriMesh& mesh)
{
    return QStringLiteral("%1 x %2 x %3 mm")
        .arg(double(mesh.bbox.max[0]), 0, 'f', 1)
        .arg(double(mesh.bbox.max[1]), 0, 'f', 1)
        .arg(double(mesh.bbox.max[2]), 0, 'f', 1);
}

const QString kNeedsExtension = QStringLiteral("Choose a file name ending in .stl or .3mf.");

}  // namespace

Result<DesignSession::Sculpture> DesignSession::sculpture(const SculptureOptions& options)
{
    using R = Result<Sculpture>;
    if (!_master || !hasCells())
        return R::failure(QStringLiteral("There is no volume to print."));
    if (!(options.sizeMm > 0.0f && std::isfinite(options.sizeMm)))
        return R::failure(QStringLiteral("The size of the print must be above 0 mm."));
    ShadowObject piece(*_master);
    connectToMain(piece);
    if (const Result<CleanUp> cleaned = ::makeOneComponent(piece, _cell_size, QString()); !cleaned.ok())
        return R::failure(cleaned.error);
    const Bridging bridging = bridgePieces(piece);

    // An empty layer on every side, so that no cell touches the field's border.
    const int n = piece.resolution();
    const int m = n + 2;
    std::vector<std::uint8_t, GridAllocator<std::uint8_t>> occupied(std::size_t(m) * m * m, 0);
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
    TriMesh& mesh = result.mesh;
    for (point& v : mesh.vertices)
        v = (v - point(0.5f, 0.5f, 0.5f)) * _cell_size;
    for (TriMesh::Face& f : mesh.faces)
        std::swap(f[0], f[2]);  // outward
    std::tie(result.originPx, result.mmPerPixel) = placeOnBed(mesh, options.sizeMm);
    for (int a = 0; a < 3; ++a)
        result.sizeMm[std::size_t(a)] = mesh.bbox.max[a];
    result.check = checkMesh(mesh);
    return {std::move(result), {}};
}

Report DesignSession::exportSculpture(const QString& path, const SculptureOptions& options,
                                      const ScenePictures& pictures)
{
    if (printExtension(path).isEmpty())
        return Report::failure(kNeedsExtension);
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
    if (!writePrintFile(made.value.mesh, path))
        return Report::failure(QStringLiteral("Cannot write %1.").arg(path));
    const QString scene = sceneBase(path) + QStringLiteral(".kxscene");
    if (const Report saved = saveScene(scene, pictures); !saved.ok)
        return saved;
    const QString bridges = made.value.bridgeCells == 0
                                ? QString()
                                : QStringLiteral("; %1 bridging cell(s) join its pieces, adding %2 shadow pixel(s)")
                                      .arg(made.value.bridgeCells)
                                      .arg(made.value.bridgePixels);
    return {QStringLiteral("Wrote %1: %2 triangles, %3%4 (and the scene %5).")
                .arg(path)
                .arg(made.value.mesh.faces.size())
                .arg(sizeText(made.value.mesh), bridges, scene),
            true};
}

// The placed models overlap: the file holds each as a closed shell of its
// own, which a slicer merges into one solid. The line says so.
Report DesignSession::exportExampleSculpture(const QString& path, float sizeMm, const ScenePictures& pictures)
{
    if (printExtension(path).isEmpty())
        return Report::failure(kNeedsExtension);
    const TriMesh* sculpture = exampleSculpture();
    if (!sculpture)
        return Report::failure(QStringLiteral("No example sculpture yet."));
    if (!(sizeMm > 0.0f && std::isfinite(sizeMm)))
        return Report::failure(QStringLiteral("The size of the print must be above 0 mm."));
    TriMesh mesh = *sculpture;
    for (point& v : mesh.vertices)
        v = v * _cell_size;
    placeOnBed(mesh, sizeMm);
    const MeshCheck check = checkMesh(mesh);
    if (!writePrintFile(mesh, path))
        return Report::failure(QStringLiteral("Cannot write %1.").arg(path));
    const QString scene = sceneBase(path) + QStringLiteral(".kxscene");
    if (const Report saved = saveScene(scene, pictures); !saved.ok)
        return saved;
    const QString open = check.openEdges == 0 && check.nonManifoldEdges == 0
                             ? QString()
                             : QStringLiteral("; %1 open edge(s) and %2 edge(s) with more than two faces")
                                   .arg(check.openEdges)
                                   .arg(check.nonManifoldEdges);
    return {QStringLiteral("Wrote %1: the example sculpture, %2 overlapping model(s) that a slicer merges into one "
                           "solid, %3 triangles, %4%5 (and the scene %6).")
                .arg(path)
                .arg(_examples->keptCount())
                .arg(mesh.faces.size())
                .arg(sizeText(mesh), open, scene),
            true};
}
