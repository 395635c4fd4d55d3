#include "files/ResultFiles.h"

#include "completion/ExampleCompletion.h"
#include "files/SceneFiles.h"
#include "perspective/PerspectiveDesign.h"
#include "session/DesignSession.h"
#include "surface/MeshWriters.h"
#include "surface/SafeFile.h"
#include "volume/Components.h"
#include "volume/SceneFile.h"
#include "volume/VolumeContouring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sstream>

namespace {

// Pure black stays black, every other pixel turns white.
QImage blackOnWhite(const QImage& picture)
{
    QImage image = picture.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] != 0xFF000000)
                line[x] = 0xFFFFFFFF;
    }
    return image;
}

bool makeFolder(const QString& folder)
{
    return QDir().mkpath(folder);
}

QString cannotWrite(const QString& path)
{
    return QStringLiteral("Cannot write %1.").arg(path);
}

}  // namespace

// ---- the volume's meshes ---------------------------------------------------------------------

Report saveContouredMesh(const DesignSession& session, const QString& folder, const QString& modeName, float iso)
{
    int position = -1;
    for (int m = LINEAR_INTERPOLATION; m <= CUBIC_BSPLINE_INTERPOLATION; ++m)
        if (modeName == QLatin1String(interpolationModeName(m)))
            position = m;
    if (position < 0)
        return fail(QStringLiteral("strange mode selected!!"));
    const Result<TriMesh> contoured = session.volume().contour(iso, position, 2);
    if (!contoured.ok())
        return fail(contoured.error());
    if (!makeFolder(folder))
        return fail(QStringLiteral("Cannot create folder %1.").arg(folder));
    const QString path = folder + QStringLiteral("/smoothed_edited_mesh.obj");
    if (!contoured.value().write(path.toLocal8Bit().constData()))
        return fail(cannotWrite(path));
    return StatusLine{QStringLiteral("result written to ") + path};
}

Report saveComponentFiles(DesignSession& session, const CleanUp& cleaned, const QString& folder)
{
    const QString centroidFile = folder + QStringLiteral("/cluster_centroid.vtx");
    std::ostringstream centroids;
    for (const point& c : cleaned.centroids)
        centroids << c[0] << '\t' << c[1] << '\t' << c[2] << '\n';
    if (!saveFileSafely(centroidFile.toLocal8Bit().toStdString(), centroids.str()))
        return fail(cannotWrite(centroidFile));
    const TriMesh* mesh = session.volume().buildShadowMesh();
    const QString meshFile = folder + QStringLiteral("/shadow_mesh.obj");
    if (!mesh || !mesh->write(meshFile.toLocal8Bit().constData()))
        return fail(cannotWrite(meshFile));
    return StatusLine{QStringLiteral("edit_makeOneComponent_released")};
}

Report saveMesh(const TriMesh& mesh, const QString& path)
{
    if (!makeFolder(QFileInfo(path).path()) || !mesh.write(path.toLocal8Bit().constData()))
        return fail(cannotWrite(path));
    return StatusLine{};
}

Report savePicture(const QImage& picture, const QString& path)
{
    if (!makeFolder(QFileInfo(path).path()) || !savePictureSafely(picture, path))
        return fail(cannotWrite(path));
    return StatusLine{};
}

Result<QString> saveMeshBoundary(const QString& objPath)
{
    const std::unique_ptr<TriMesh> mesh(TriMesh::read(objPath.toLocal8Bit().constData()));
    if (!mesh)
        return fail(QStringLiteral("Cannot read mesh %1.").arg(objPath));
    QString psPath = objPath;
    const qsizetype at = psPath.lastIndexOf(QLatin1String(".obj"));
    psPath = at < 0 ? psPath + QStringLiteral("_bdy.ps") : psPath.replace(at, 4, QStringLiteral("_bdy.ps"));
    std::ostringstream out;
    writeBoundaryLoops(*mesh, out, 200.0f, 254.52f);
    out << "showpage \n";
    if (!saveFileSafely(psPath.toLocal8Bit().toStdString(), out.str()))
        return fail(cannotWrite(psPath));
    return psPath;
}

// ---- point-light files --------------------------------------------------------------------

namespace {

const char* const kPerspectiveDump = "/cartoons/perspective/print/dumpFolder";

// folder + kPerspectiveDump, made if need be; empty when it cannot be.
QString perspectiveDump(const QString& folder)
{
    const QString dump = folder + QLatin1String(kPerspectiveDump);
    return makeFolder(dump) ? dump : QString();
}

// Writes `mesh` as folder + kPerspectiveDump + name; the status line.
Report writePerspectiveFile(const TriMesh& mesh, const QString& folder, const char* name)
{
    const QString dump = perspectiveDump(folder);
    if (dump.isEmpty())
        return fail(QStringLiteral("Cannot create folder %1.").arg(folder + QLatin1String(kPerspectiveDump)));
    const QString path = dump + QLatin1String(name);
    if (!mesh.write(path.toLocal8Bit().constData()))
        return fail(cannotWrite(path));
    return StatusLine{QStringLiteral("Perspective smoothed mesh saved to ") + path + QLatin1Char('.')};
}

}  // namespace

Report savePointLightMesh(const DesignSession& session, const QString& folder)
{
    const PerspectiveDesign& design = session.pointLights().design();
    if (design.viewCount() == 0 || !design.mesh())
        return fail(QStringLiteral("Load models first."));
    return writePerspectiveFile(*design.mesh(), folder, "/perspectiveMesh.obj");
}

Report savePointLightSmoothMesh(const DesignSession& session, const QString& folder, int mode, float iso)
{
    const PerspectiveDesign& design = session.pointLights().design();
    if (design.viewCount() == 0)
        return fail(QStringLiteral("Load models first."));
    TriMesh mesh;
    if (!contourVolume(*design.object(), iso, mode, mesh, 2))
        return fail(QStringLiteral("TriangulationReconstructor: failed!"));
    return writePerspectiveFile(mesh, folder, "/perpectiveSmoothMesh.obj");
}

Report savePointLightPictures(const DesignSession& session, const QString& folder)
{
    const PerspectiveDesign& design = session.pointLights().design();
    const int views = design.viewCount();
    if (views == 0)
        return fail(QStringLiteral("Load models first."));
    const QString dump = perspectiveDump(folder);
    if (dump.isEmpty())
        return fail(QStringLiteral("Cannot create folder %1.").arg(folder + QLatin1String(kPerspectiveDump)));
    for (int k = 0; k < views; ++k) {
        const DeformationModel& picture = design.picture(k);
        const QString image = dump + QStringLiteral("/persDeformed%1.png").arg(k);
        const QString mesh = dump + QStringLiteral("/persDeformedMesh%1.obj").arg(k);
        if (!savePictureSafely(picture.rendering(), image))
            return fail(cannotWrite(image));
        if (!picture.image_mesh().write(mesh.toLocal8Bit().constData()))
            return fail(cannotWrite(mesh));
    }
    return StatusLine{QStringLiteral("saved results.")};
}

Report savePointLightResults(const DesignSession& session, const QString& folder)
{
    const PointLights& lights = session.pointLights();
    const PerspectiveDesign& design = lights.design();
    if (design.viewCount() == 0 || !design.mesh())
        return fail(QStringLiteral("Load models first."));
    if (!makeFolder(folder))
        return fail(QStringLiteral("Cannot create folder %1.").arg(folder));
    const QDir dir(folder);
    const QString sceneFile = dir.filePath(QStringLiteral("volume.kxscene"));
    const SceneData scene = sceneOf(*design.object(), PerspectiveShadowObject::kCellSize, {NO_VIEW, NO_VIEW, NO_VIEW});
    if (!writeFileSafely(sceneFile, [&](QIODevice& file) { return writeScene(file, scene); }))
        return fail(cannotWrite(sceneFile));
    for (int k = 0; k < design.viewCount(); ++k) {
        const QString file = dir.filePath(QStringLiteral("mask%1.png").arg(k));
        if (!savePictureSafely(lights.figurePicture(k), file))
            return fail(cannotWrite(file));
    }
    const QString meshFile = dir.filePath(QStringLiteral("hull.obj"));
    if (!design.mesh()->write(meshFile.toLocal8Bit().constData()))
        return fail(cannotWrite(meshFile));
    return StatusLine{};
}

// ---- the example sculpture -------------------------------------------------------------------

Report saveExampleMeshes(const DesignSession& session, const QString& folder)
{
    if (!session.volume().exists())
        return fail(QStringLiteral("No shadow object yet."));
    const ExampleCompletion* examples = session.filling().completion();
    if (!examples)
        return fail(QStringLiteral("No sculpture yet."));
    const Result<QString> saved = examples->saveSeparateMeshes(folder);
    if (!saved.ok())
        return fail(saved.error());
    // The line names the path the numbered files are made from (output100.obj, ...).
    return StatusLine{QStringLiteral("saved separate files as ") + folder + QStringLiteral("/exampleBasedResults/output.obj")};
}

Report saveExamplePovScene(const DesignSession& session, const QString& folder)
{
    if (!session.volume().exists())
        return fail(QStringLiteral("No shadow object yet."));
    const ExampleCompletion empty;
    const ExampleCompletion* examples = session.filling().completion();
    const Result<QString> saved = (examples ? *examples : empty).savePovScene(folder);
    if (!saved.ok())
        return fail(saved.error());
    return StatusLine{QStringLiteral("scene saved to ") + saved.value()};
}

// ---- the deformation's results -------------------------------------------------------------

Report saveTestPictures(const DesignSession& session, const QString& folder)
{
    if (session.pictures().views().empty() || session.pictures().picture(0).empty())
        return fail(QStringLiteral("nothing to process."));
    if (!makeFolder(folder))
        return fail(QStringLiteral("Cannot create folder %1.").arg(folder));
    for (int k = 0; k < 3; ++k) {
        const QString path = folder + QStringLiteral("/ex%1.png").arg(k + 1);
        const QImage picture =
            blackOnWhite(session.pictures().picture(k).rendering()).scaledToWidth(250, Qt::FastTransformation);
        if (!savePictureSafely(picture, path))
            return fail(cannotWrite(path));
    }
    return StatusLine{QStringLiteral("saved test results")};
}

Report saveResultPictures(const DesignSession& session, const QString& folder)
{
    const ShadowObject* volume = session.volume().master();
    if (!volume)
        return fail(QStringLiteral("nothing to process."));
    const QString dump = folder + QStringLiteral("/dumpFolder/");
    if (!makeFolder(dump))
        return fail(QStringLiteral("Cannot create folder %1.").arg(dump));
    for (int k = 0; k < 3; ++k) {
        const QString path = dump + QStringLiteral("result_image_%1.png").arg(100 + k);
        const QImage shadow = volume->renderShadow(volume->viewModes()[std::size_t(k)]);
        if (!savePictureSafely(shadow.scaledToWidth(250, Qt::FastTransformation), path))
            return fail(cannotWrite(path));
    }
    return StatusLine{};
}

Report saveResultMeshes(DesignSession& session, const QString& folder)
{
    if (!session.volume().exists() || session.pictures().views().size() != 3 || session.pictures().picture(0).empty())
        return fail(QStringLiteral("nothing to process."));
    const QString dump = folder + QStringLiteral("/dumpFolder/");
    if (!makeFolder(dump))
        return fail(QStringLiteral("Cannot create folder %1.").arg(dump));
    const QString stem = dump + QStringLiteral("save");
    const QString n = QString::number(session.pictures().saveCounter());
    const QString loopsPath = stem + QStringLiteral("_deformed_image_") + n + QStringLiteral(".ps");
    const QString outlinesPath = stem + QStringLiteral("_deformed_imageMesh_") + n + QStringLiteral(".ps");
    std::ostringstream loops;
    std::ostringstream outlines;
    for (int k = 0; k < 3; ++k) {
        const QString view = stem + QStringLiteral("_view%1_deformed_").arg(k) + n;
        const TriMesh& mesh = session.pictures().picture(k)._image_mesh;
        if (!mesh.write((view + QStringLiteral(".obj")).toLocal8Bit().constData()))
            return fail(cannotWrite(view + QStringLiteral(".obj")));
        const float oy = 252.0f * (float(k) + 1.01f);
        writeBoundaryLoops(mesh, loops, 200.0f, oy);
        writeTriangleOutlines(mesh, outlines, 200.0f, oy);
        const QImage comparison = session.volume().comparison(k).scaledToWidth(250, Qt::FastTransformation);
        if (!savePictureSafely(comparison, view + QStringLiteral(".png")))
            return fail(cannotWrite(view + QStringLiteral(".png")));
    }
    loops << "showpage \n";
    if (!saveFileSafely(loopsPath.toLocal8Bit().toStdString(), loops.str()))
        return fail(cannotWrite(loopsPath));
    if (!saveFileSafely(outlinesPath.toLocal8Bit().toStdString(), outlines.str()))
        return fail(cannotWrite(outlinesPath));
    static_cast<void>(session.pictures().takeSaveNumber());
    return StatusLine{QStringLiteral("Saved results in dumpFolder.")};
}

// The pictures of save 104 (rendered from their meshes where those are
// there), scaled to the session's resolution, carve the volume; the
// pictures used are kept beside them as "_input.png".
Report loadAndCompute(DesignSession& session, const QString& folder, std::array<QImage, 3>* pictures)
{
    const int n = ShadowView::resolutionFor(session.cellSize());
    std::array<QImage, 3> loaded;
    for (int k = 0; k < 3; ++k) {
        const QString path = folder + QStringLiteral("/dumpFolder/save_view%1_deformed_104.png").arg(k);
        QString meshPath = path;
        meshPath.replace(QLatin1String(".png"), QLatin1String(".obj"));
        std::unique_ptr<TriMesh> mesh(QFile::exists(meshPath) ? TriMesh::read(meshPath.toLocal8Bit().constData())
                                                              : nullptr);
        QImage picture;
        if (mesh) {
            remove_unused_vertices(mesh.get());
            mesh->scale_mesh(1.25f);
            picture = renderMesh(*mesh, QSize(250, 250));
        } else {
            picture = QImage(path);
        }
        if (picture.isNull())
            return fail(QStringLiteral("Cannot read picture %1.").arg(path));
        QString inputPath = path;
        inputPath.replace(QLatin1String(".png"), QLatin1String("_input.png"));
        if (!savePictureSafely(picture, inputPath))
            return fail(cannotWrite(inputPath));
        loaded[std::size_t(k)] = picture;
    }
    std::array<QImage, 3> scaled;
    for (int k = 0; k < 3; ++k)
        scaled[std::size_t(k)] = loaded[std::size_t(k)].scaledToWidth(n, Qt::FastTransformation);
    const Report carved = session.carveFromShadowPictures(scaled);
    if (const Report saved = saveResultPictures(session, folder); !saved.ok())
        return saved;
    if (pictures)
        *pictures = loaded;
    return carved;
}

Report saveDeformedPictures(const DesignSession& session, const QString& folder)
{
    if (session.pictures().picture(0).empty())
        return fail(QStringLiteral("nothing to process."));
    if (!makeFolder(folder))
        return fail(QStringLiteral("Cannot create folder %1.").arg(folder));
    for (int k = 0; k < 3; ++k) {
        const QString path = QDir(folder).filePath(QStringLiteral("deformed%1.png").arg(k));
        const QImage picture =
            blackOnWhite(session.pictures().picture(k).rendering()).scaledToWidth(250, Qt::FastTransformation);
        if (!savePictureSafely(picture, path))
            return fail(cannotWrite(path));
    }
    return StatusLine{};
}

Report saveComparisonPictures(const DesignSession& session, const QString& folder)
{
    const char* const names[3] = {"/x_image.png", "/y_image.png", "/z_image.png"};
    for (int k = 0; k < 3; ++k) {
        const QImage& comparison = session.volume().comparison(k);
        if (comparison.isNull())
            continue;
        if (!makeFolder(folder))
            return fail(QStringLiteral("Cannot create folder %1.").arg(folder));
        const QString path = folder + QLatin1String(names[k]);
        if (!savePictureSafely(comparison.scaledToWidth(250, Qt::FastTransformation), path))
            return fail(cannotWrite(path));
    }
    return StatusLine{};
}
