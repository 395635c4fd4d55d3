#include "files/PrintFiles.h"

#include "session/DesignSession.h"

namespace {

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

QString printExtension(const QString& path)
{
    const QString extension = path.section(QLatin1Char('.'), -1).toLower();
    return extension == QLatin1String("stl") || extension == QLatin1String("3mf") ? extension : QString();
}

Report exportSculpture(const DesignSession& session, const QString& path, const SculptureOptions& options,
                       const ScenePictures& pictures)
{
    if (printExtension(path).isEmpty())
        return fail(kNeedsExtension);
    const Result<Sculpture> made = session.sculpture(options);
    if (!made.ok())
        return fail(made.error());
    return exportSculpture(session, made.value(), path, pictures);
}

Report exportSculpture(const DesignSession& session, const Sculpture& sculpture, const QString& path,
                       const ScenePictures& pictures)
{
    if (printExtension(path).isEmpty())
        return fail(kNeedsExtension);
    const MeshCheck& check = sculpture.check;
    if (!check.printable())
        return fail(QStringLiteral("Not printable, nothing written: %1 open edge(s), %2 edge(s) with more "
                                   "than two faces, %3 part(s), %4 edge(s) wound both ways%5.")
                        .arg(check.openEdges)
                        .arg(check.nonManifoldEdges)
                        .arg(check.parts)
                        .arg(check.flippedEdges)
                        .arg(check.insideOut ? QStringLiteral(", turned inside out") : QString()));
    if (!writePrintFile(sculpture.mesh, path))
        return fail(QStringLiteral("Cannot write %1.").arg(path));
    const QString scene = sceneBase(path) + QStringLiteral(".kxscene");
    if (const Report saved = saveScene(session, scene, pictures); !saved.ok())
        return saved;
    const QString bridges = sculpture.bridgeCells == 0
                                ? QString()
                                : QStringLiteral("; %1 bridging cell(s) join its pieces, adding %2 shadow pixel(s)")
                                      .arg(sculpture.bridgeCells)
                                      .arg(sculpture.bridgePixels);
    return StatusLine{QStringLiteral("Wrote %1: %2 triangles, %3%4 (and the scene %5).")
                          .arg(path)
                          .arg(sculpture.mesh.faces.size())
                          .arg(sizeText(sculpture.mesh), bridges, scene)};
}

// The placed models overlap: the file holds each as a closed shell of its
// own, which a slicer merges into one solid. The line says so.
Report exportExampleSculpture(const DesignSession& session, const QString& path, float sizeMm,
                              const ScenePictures& pictures)
{
    if (printExtension(path).isEmpty())
        return fail(kNeedsExtension);
    const Result<Sculpture> made =
        exampleSculptureForPrint(session.filling().sculpture(), session.cellSize(), sizeMm);
    if (!made.ok())
        return fail(made.error());
    const TriMesh& mesh = made.value().mesh;
    const MeshCheck& check = made.value().check;
    if (!writePrintFile(mesh, path))
        return fail(QStringLiteral("Cannot write %1.").arg(path));
    const QString scene = sceneBase(path) + QStringLiteral(".kxscene");
    if (const Report saved = saveScene(session, scene, pictures); !saved.ok())
        return saved;
    const QString open = check.openEdges == 0 && check.nonManifoldEdges == 0
                             ? QString()
                             : QStringLiteral("; %1 open edge(s) and %2 edge(s) with more than two faces")
                                   .arg(check.openEdges)
                                   .arg(check.nonManifoldEdges);
    return StatusLine{QStringLiteral("Wrote %1: the example sculpture, %2 overlapping model(s) that a slicer merges "
                                     "into one solid, %3 triangles, %4%5 (and the scene %6).")
                          .arg(path)
                          .arg(session.filling().keptCount())
                          .arg(mesh.faces.size())
                          .arg(sizeText(mesh), open, scene)};
}
