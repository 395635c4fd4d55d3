// The design session's files: scene files with their companion pictures, and
// the result files of the deformation work.

#include "session/DesignSession.h"

#include "perspective/PerspectiveDesign.h"
#include "surface/MeshWriters.h"
#include "volume/VolumeBuilder.h"
#include "volume/VolumeContouring.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fstream>

namespace {

const char* const kCompanions[6] = {"_origx.png", "_origy.png", "_origz.png", "_imgx.png", "_imgy.png", "_imgz.png"};

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

// ---- surfaces -----------------------------------------------------------------------------

Result<TriMesh> DesignSession::contour(float iso, int mode, int factor)
{
    if (!_master)
        return Result<TriMesh>::failure(QStringLiteral("nothing to process."));
    TriMesh mesh;
    if (!contourVolume(*_master, iso, mode, mesh, factor))
        return Result<TriMesh>::failure(QStringLiteral("TriangulationReconstructor: failed!"));
    return {std::move(mesh), {}};
}

Report DesignSession::saveContouredMesh(const QString& folder, const QString& modeName, float iso)
{
    int position = -1;
    for (int m = LINEAR_INTERPOLATION; m <= CUBIC_BSPLINE_INTERPOLATION; ++m)
        if (modeName == QLatin1String(interpolationModeName(m)))
            position = m;
    if (position < 0)
        return Report::failure(QStringLiteral("strange mode selected!!"));
    const Result<TriMesh> contoured = contour(iso, position, 2);
    if (!contoured.ok())
        return Report::failure(contoured.error);
    if (!makeFolder(folder))
        return Report::failure(QStringLiteral("Cannot create folder %1.").arg(folder));
    const QString path = folder + QStringLiteral("/smoothed_edited_mesh.obj");
    if (!contoured.value.write(path.toLocal8Bit().constData()))
        return Report::failure(cannotWrite(path));
    return {QStringLiteral("result written to ") + path, true};
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
        return Report::failure(QStringLiteral("Cannot create folder %1.").arg(folder + QLatin1String(kPerspectiveDump)));
    const QString path = dump + QLatin1String(name);
    if (!mesh.write(path.toLocal8Bit().constData()))
        return Report::failure(cannotWrite(path));
    return {QStringLiteral("Perspective smoothed mesh saved to ") + path + QLatin1Char('.'), true};
}

}  // namespace

Report DesignSession::savePerspectiveMesh(const QString& folder)
{
    if (_perspective->viewCount() == 0)
        return Report::failure(QStringLiteral("Load models first."));
    return writePerspectiveFile(*_perspective->object()->buildShadowMesh(), folder, "/perspectiveMesh.obj");
}

Report DesignSession::savePerspectiveSmoothMesh(const QString& folder, int mode, float iso)
{
    if (_perspective->viewCount() == 0)
        return Report::failure(QStringLiteral("Load models first."));
    TriMesh mesh;
    if (!contourVolume(*_perspective->object(), iso, mode, mesh, 2))
        return Report::failure(QStringLiteral("TriangulationReconstructor: failed!"));
    return writePerspectiveFile(mesh, folder, "/perpectiveSmoothMesh.obj");
}

Report DesignSession::savePerspectivePictures(const QString& folder)
{
    const int views = _perspective->viewCount();
    if (views == 0)
        return Report::failure(QStringLiteral("Load models first."));
    const QString dump = perspectiveDump(folder);
    if (dump.isEmpty())
        return Report::failure(QStringLiteral("Cannot create folder %1.").arg(folder + QLatin1String(kPerspectiveDump)));
    for (int k = 0; k < views; ++k) {
        const DeformationModel& picture = _perspective->picture(k);
        const QString image = dump + QStringLiteral("/persDeformed%1.png").arg(k);
        const QString mesh = dump + QStringLiteral("/persDeformedMesh%1.obj").arg(k);
        if (!picture.rendering().save(image))
            return Report::failure(cannotWrite(image));
        if (!picture.image_mesh().write(mesh.toLocal8Bit().constData()))
            return Report::failure(cannotWrite(mesh));
    }
    return {QStringLiteral("saved results."), true};
}

TriMesh* DesignSession::smoothMesh(bool recompute)
{
    return _master ? _master->smoothMesh(recompute) : nullptr;
}

// ---- scene files ------------------------------------------------------------------------

QString DesignSession::sceneBase(const QString& path)
{
    QStringList pieces = path.split(QLatin1Char('.'));
    if (pieces.size() > 1)
        pieces.removeLast();
    return pieces.join(QLatin1Char('.'));
}

Report DesignSession::saveScene(const QString& path, const ScenePictures& pictures)
{
    if (!_master)
        return Report::failure(QStringLiteral("No volume to save."));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || !_master->writeScene(file))
        return Report::failure(cannotWrite(path));
    file.close();
    const QString base = sceneBase(path);
    for (int k = 0; k < 6; ++k)
        if (!pictures[std::size_t(k)].isNull() && !pictures[std::size_t(k)].save(base + QLatin1String(kCompanions[k])))
            return Report::failure(cannotWrite(base + QLatin1String(kCompanions[k])));
    return {QStringLiteral("Saved") + path + QStringLiteral("."), true};
}

Report DesignSession::openScene(const QString& path, ScenePictures* pictures)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Report::failure(QStringLiteral("Cannot read scene file %1.").arg(path));
    auto volume = std::make_unique<ShadowObject>();
    if (const QString error = volume->readScene(file); !error.isEmpty())
        return Report::failure(error);
    reset();
    _cell_size = volume->_cell_size;
    _master = std::move(volume);
    _master->_display_flags = _display_flags;
    _master->_hollow = _hollow;
    _master->_edit_radius = _edit_radius;
    refresh();
    if (pictures) {
        const QString base = sceneBase(path);
        for (int k = 0; k < 6; ++k)
            (*pictures)[std::size_t(k)] = QImage(base + QLatin1String(kCompanions[k]));
    }
    return {QStringLiteral("Images loaded."), true};
}

// ---- result files -------------------------------------------------------------------------

Report DesignSession::saveTestPictures(const QString& folder)
{
    if (_how == Pictures::Plain || _views.empty())
        return Report::failure(QStringLiteral("nothing to process."));
    if (!makeFolder(folder))
        return Report::failure(QStringLiteral("Cannot create folder %1.").arg(folder));
    for (int k = 0; k < 3; ++k) {
        const QString path = folder + QStringLiteral("/ex%1.png").arg(k + 1);
        const QImage picture =
            blackOnWhite(_pictures[std::size_t(k)].rendering()).scaledToWidth(250, Qt::FastTransformation);
        if (!picture.save(path))
            return Report::failure(cannotWrite(path));
    }
    return {QStringLiteral("saved test results"), true};
}

Report DesignSession::saveResultPictures(const QString& folder)
{
    if (!_master)
        return Report::failure(QStringLiteral("nothing to process."));
    const QString dump = folder + QStringLiteral("/dumpFolder/");
    if (!makeFolder(dump))
        return Report::failure(QStringLiteral("Cannot create folder %1.").arg(dump));
    for (int k = 0; k < 3; ++k) {
        const QString path = dump + QStringLiteral("result_image_%1.png").arg(100 + k);
        if (!_master->renderShadow(_master->_view_modes[std::size_t(k)])
                 .scaledToWidth(250, Qt::FastTransformation)
                 .save(path))
            return Report::failure(cannotWrite(path));
    }
    return {QString(), true};
}

Report DesignSession::saveResultMeshes(const QString& folder)
{
    if (!_master || _views.size() != 3 || _how == Pictures::Plain)
        return Report::failure(QString());
    const QString dump = folder + QStringLiteral("/dumpFolder/");
    if (!makeFolder(dump))
        return Report::failure(QStringLiteral("Cannot create folder %1.").arg(dump));
    const QString stem = dump + QStringLiteral("save");
    const QString n = QString::number(_save_counter);
    const QString loopsPath = stem + QStringLiteral("_deformed_image_") + n + QStringLiteral(".ps");
    const QString outlinesPath = stem + QStringLiteral("_deformed_imageMesh_") + n + QStringLiteral(".ps");
    std::ofstream loops(loopsPath.toLocal8Bit().constData());
    if (!loops)
        return Report::failure(cannotWrite(loopsPath));
    std::ofstream outlines(outlinesPath.toLocal8Bit().constData());
    if (!outlines)
        return Report::failure(cannotWrite(outlinesPath));
    for (int k = 0; k < 3; ++k) {
        const QString view = stem + QStringLiteral("_view%1_deformed_").arg(k) + n;
        const TriMesh& mesh = _pictures[std::size_t(k)]._image_mesh;
        if (!mesh.write((view + QStringLiteral(".obj")).toLocal8Bit().constData()))
            return Report::failure(cannotWrite(view + QStringLiteral(".obj")));
        const float oy = 252.0f * (float(k) + 1.01f);
        writeBoundaryLoops(mesh, loops, 200.0f, oy);
        writeTriangleOutlines(mesh, outlines, 200.0f, oy);
        if (!_comparisons[std::size_t(k)].scaledToWidth(250, Qt::FastTransformation).save(view + QStringLiteral(".png")))
            return Report::failure(cannotWrite(view + QStringLiteral(".png")));
    }
    ++_save_counter;
    loops << "showpage \n";
    return {QStringLiteral("Saved results in dumpFolder."), true};
}

// The pictures of save 104, scaled to this session's resolution, carve a
// volume: a cell stays when its pixel is dark (red at most 100) in all three,
// the views' modes (or X, Y, Z) deciding the pixel.
Report DesignSession::loadAndCompute(const QString& folder, std::array<QImage, 3>* pictures)
{
    const int n = ShadowView::resolutionFor(_cell_size);
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
            return Report::failure(QStringLiteral("Cannot read picture %1.").arg(path));
        QString inputPath = path;
        picture.save(inputPath.replace(QLatin1String(".png"), QLatin1String("_input.png")));
        loaded[std::size_t(k)] = picture;
    }
    std::array<int, 3> modes = *projectionSetModes(0);
    for (std::size_t k = 0; k < 3 && k < _views.size(); ++k)
        modes[k] = _views[k]._projection_mode;
    std::array<QImage, 3> scaled;
    for (int k = 0; k < 3; ++k)
        scaled[std::size_t(k)] = loaded[std::size_t(k)].scaledToWidth(n, Qt::FastTransformation);
    _master = carveFromShadowPictures(scaled, modes, _cell_size);
    _master->_display_flags = _display_flags;
    _master->_hollow = _hollow;
    _master->_edit_radius = _edit_radius;
    refresh();
    saveResultPictures(folder);
    if (pictures)
        *pictures = loaded;
    return {QStringLiteral("loaded directly from image: # of voxels -- ") +
                QString::number(_master->buildShadowMesh()->faces.size()),
            true};
}
