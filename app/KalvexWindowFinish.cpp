// The main window's finishing stage: the smooth surface of the volume.

#include "app/KalvexWindow.h"

#include "app/WaitCursor.h"
#include "files/PrintFiles.h"
#include "files/ResultFiles.h"
#include "render/SceneGLWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QProgressBar>
#include <QPushButton>

// A mesh in voxel units, in picture pixels and with the view's normalisation
// of the shown cube mesh, lies exactly where the cubes were. With a `path`
// the mesh is written there as shown first; false when it cannot be.
bool KalvexWindow::showVoxelUnitMesh(const TriMesh& mesh, const QString& path)
{
    auto shown = std::make_unique<TriMesh>(mesh);
    const point centre(_mesh_centre[0], _mesh_centre[1], _mesh_centre[2]);
    for (point& v : shown->vertices)
        v = (v * _session.cellSize() - centre) * _mesh_scale;
    if (!path.isEmpty() && !saveMesh(*shown, path).ok())
        return false;
    sendVolumeDimensions();
    _view->setMesh(shown.release(), false, nullptr, nullptr, X_PROJECTION, true);
    return true;
}

// The surface is also written, as shown, to "dumpFolder".
void KalvexWindow::exampleBased_showShadowMesh_released()
{
    WaitCursor wait;
    if (!_session.volume().exists()) {
        setStatus(QStringLiteral("No shadow object yet."));
        return;
    }
    const TriMesh* smooth = _session.volume().smoothMesh(true);
    if (!smooth) {
        setStatus(QStringLiteral("TriangulationReconstructor: failed!"));
        return;
    }
    const QString path = Presets::kModelImages + QStringLiteral("/dumpFolder/exampleShadow.obj");
    if (!showVoxelUnitMesh(*smooth, path)) {
        setStatus(QStringLiteral("Cannot write %1.").arg(path));
        return;
    }
    setStatus(QStringLiteral("Smooth mesh shown."));
}

// ---- example-based filling ------------------------------------------------------------------

bool KalvexWindow::exampleBased_loadDatabaseModels_released()
{
    WaitCursor wait;
    if (!report(_session.filling().loadModels(Presets::kExampleModels)))
        return false;
    _form.exampleBased_savePovScene->setEnabled(true);
    _form.exampleBased_computeSculpture->setEnabled(true);
    return true;
}

// Two pictures seen along x and y (a cat and a rabbit), their volume as
// "compute" makes it, and the models loaded.
void KalvexWindow::exampleBased_lazyLoad_released()
{
    WaitCursor wait;
    const Presets::PictureFiles pictures = {Presets::kModelImages + QStringLiteral("/pelko.png"),
                                            Presets::kModelImages + QStringLiteral("/trask.png"), QString()};
    const bool loaded = showLoadedViews(_session.load({.paths = pictures,
                                                       .cellSize = _session.cellSize(),
                                                       .useMask = _form.useMask_check->isChecked(),
                                                       .count = 2}),
                                        0);
    if (loaded && computeVolume() && exampleBased_loadDatabaseModels_released())
        setStatus(QStringLiteral("Scene setup!"));
}

// Placing is the long part: the workflow's progress bar follows it.
bool KalvexWindow::exampleBased_computeSculpture_released()
{
    WaitCursor wait;
    QProgressBar* bar = _form.simple_progressBar;
    bar->show();
    bar->reset();
    const Report result = _session.filling().fill(
        Presets::kExampleModels, [bar](double done) { bar->setValue(static_cast<int>(100.0 * done)); });
    bar->hide();
    report(result);
    if (!result.ok() && result.error() == Filling::kContourFailure) {
        showNotice(QStringLiteral("crash report"), QStringLiteral("failed to contour voxels -> mesh"));
        return false;
    }
    if (!result.ok())
        return false;
    showVoxelUnitMesh(*_session.filling().sculpture());
    _form.exampleBased_ICPrefine->setEnabled(true);
    return true;
}

void KalvexWindow::exampleBased_ICPrefine_released()
{
    WaitCursor wait;
    if (report(_session.filling().refine()) && _session.filling().sculpture())
        showVoxelUnitMesh(*_session.filling().sculpture());
}

void KalvexWindow::exampleBased_saveSculptureMesh_released()
{
    WaitCursor wait;
    report(saveExampleMeshes(_session, Presets::kModelImages));
}

void KalvexWindow::exampleBased_savePovScene_released()
{
    WaitCursor wait;
    report(saveExamplePovScene(_session, Presets::kModelImages));
}

// ---- printing -----------------------------------------------------------------------------------

// With an example sculpture there are two to choose from.
void KalvexWindow::btn_simple_export_print_released()
{
    bool examples = false;
    if (_session.filling().sculpture()) {
        const QStringList choices = {QStringLiteral("the carved volume (one closed part)"),
                                     QStringLiteral("the example sculpture (overlapping closed models)")};
        bool ok = false;
        const QString choice = QInputDialog::getItem(this, QStringLiteral("Export for printing"),
                                                     QStringLiteral("Sculpture:"), choices, 1, false, &ok);
        if (!ok)
            return;
        examples = choice == choices[1];
    }
    const QString stl = QStringLiteral("Binary STL (*.stl)");
    QString filter = stl;
    QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Export for printing"), Presets::kModelImages,
                                                stl + QStringLiteral(";;3MF (*.3mf)"), &filter);
    if (path.isEmpty())
        return;
    const QString extension = path.section(QLatin1Char('.'), -1).toLower();
    if (!path.contains(QLatin1Char('.')) || (extension != QLatin1String("stl") && extension != QLatin1String("3mf")))
        path += filter == stl ? QStringLiteral(".stl") : QStringLiteral(".3mf");
    bool ok = false;
    const double size = QInputDialog::getDouble(this, QStringLiteral("Export for printing"),
                                                QStringLiteral("Longest side in millimetres:"), 100.0, 1.0, 10000.0, 1,
                                                &ok);
    if (!ok)
        return;
    if (examples) {
        WaitCursor wait;
        report(exportExampleSculpture(_session, path, float(size), shownPictures()));
    } else {
        exportSculptureTo(path, size);
    }
}

// The panel's contouring choices: the interpolation list's entry (Catmull-Rom
// unless another is chosen) and the iso-value; factor 3.
void KalvexWindow::exportSculptureTo(const QString& path, double sizeMm)
{
    WaitCursor wait;
    SculptureOptions options;
    const int mode = _form.interpolationMode_triangulator->currentIndex();
    options.mode = mode >= 0 ? mode : options.mode;
    options.iso = float(_form.isovalue_triangulator->value());
    options.sizeMm = float(sizeMm);
    const ScenePictures pictures = shownPictures();
    report(busy(QStringLiteral("Making the sculpture ..."),
                [&](const auto&) { return exportSculpture(_session, path, options, pictures); }));
}
