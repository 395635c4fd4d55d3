#include "files/PrintFiles.h"

#include "session/DesignSession.h"

#include <algorithm>
#include <future>
#include <vector>

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
    const Result<Sculpture> made = session.volume().sculpture(options);
    if (!made.ok())
        return fail(made.error());
    return exportSculpture(session, made.value(), path, pictures);
}

Report exportSculpture(const DesignSession& session, const Sculpture& sculpture, const QString& path,
                       const ScenePictures& pictures)
{
    return exportSculpture(session, sculpture, QStringList{path}, pictures);
}

Report exportSculpture(const DesignSession& session, const Sculpture& sculpture, const QStringList& paths,
                       const ScenePictures& pictures)
{
    if (paths.isEmpty() || std::any_of(paths.begin(), paths.end(), [](const QString& p) { return printExtension(p).isEmpty(); }))
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
    // A 3MF package takes longest (its deflating): beside other files it is
    // packed on a thread of its own while they are written. Its future waits
    // for the thread before the mesh goes.
    std::vector<std::future<bool>> packed(std::size_t(paths.size()));
    for (qsizetype i = 0; i < paths.size() && paths.size() > 1; ++i)
        if (printExtension(paths[i]) == QLatin1String("3mf"))
            packed[std::size_t(i)] = std::async(std::launch::async,
                                                [&mesh = sculpture.mesh, path = paths[i]] { return writePrintFile(mesh, path); });
    QString unwritten;
    for (qsizetype i = 0; i < paths.size() && unwritten.isEmpty(); ++i)
        if (!packed[std::size_t(i)].valid() && !writePrintFile(sculpture.mesh, paths[i]))
            unwritten = paths[i];
    QStringList scenes;
    for (const QString& path : paths)
        if (const QString scene = sceneBase(path) + QStringLiteral(".kxscene"); !scenes.contains(scene))
            scenes << scene;
    Report sceneSaved = StatusLine{};
    for (const QString& scene : scenes)
        if (unwritten.isEmpty() && sceneSaved.ok())
            sceneSaved = saveScene(session, scene, pictures);
    for (qsizetype i = 0; i < paths.size(); ++i)
        if (packed[std::size_t(i)].valid() && !packed[std::size_t(i)].get() && unwritten.isEmpty())
            unwritten = paths[i];
    if (!unwritten.isEmpty())
        return fail(QStringLiteral("Cannot write %1.").arg(unwritten));
    if (!sceneSaved.ok())
        return sceneSaved;
    const QString bridges = sculpture.bridgeCells == 0
                                ? QString()
                                : QStringLiteral("; %1 bridging cell(s) join its pieces, adding %2 shadow pixel(s)")
                                      .arg(sculpture.bridgeCells)
                                      .arg(sculpture.bridgePixels);
    return StatusLine{QStringLiteral("Wrote %1: %2 triangles, %3%4 (and the scene %5).")
                          .arg(paths.join(QStringLiteral(" and ")))
                          .arg(sculpture.mesh.faces.size())
                          .arg(sizeText(sculpture.mesh), bridges, scenes.join(QStringLiteral(" and ")))};
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
