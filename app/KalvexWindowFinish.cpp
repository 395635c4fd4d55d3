// The main window's finishing stage: the smooth surface of the volume.

#include "app/KalvexWindow.h"

#include "app/WaitCursor.h"
#include "render/SceneGLWidget.h"

#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QPushButton>

// The surface comes in voxel units; in picture pixels and with the view's
// normalisation of the shown cube mesh it lies exactly where the cubes were.
void KalvexWindow::exampleBased_showShadowMesh_released()
{
    WaitCursor wait;
    if (!_session.master()) {
        setStatus(QStringLiteral("No shadow object yet."));
        return;
    }
    const TriMesh* smooth = _session.smoothMesh(true);
    if (!smooth) {
        setStatus(QStringLiteral("TriangulationReconstructor: failed!"));
        return;
    }
    auto shown = std::make_unique<TriMesh>(*smooth);
    const point centre(_mesh_centre[0], _mesh_centre[1], _mesh_centre[2]);
    for (point& v : shown->vertices)
        v = (v * _session.cellSize() - centre) * _mesh_scale;
    const QString folder = Presets::kModelImages + QStringLiteral("/dumpFolder");
    const QString path = folder + QStringLiteral("/exampleShadow.obj");
    if (!QDir().mkpath(folder) || !shown->write(path.toLocal8Bit().constData())) {
        setStatus(QStringLiteral("Cannot write %1.").arg(path));
        return;
    }
    sendVolumeDimensions();
    _view->setMesh(shown.release(), false, nullptr, nullptr, X_PROJECTION, true);
    setStatus(QStringLiteral("Smooth mesh shown."));
}

void KalvexWindow::btn_simple_export_print_released()
{
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
    if (ok)
        exportSculptureTo(path, size);
}

// The panel's contouring choices: the interpolation list's entry (Catmull-Rom
// unless another is chosen) and the iso-value; factor 3.
void KalvexWindow::exportSculptureTo(const QString& path, double sizeMm)
{
    WaitCursor wait;
    DesignSession::SculptureOptions options;
    const int mode = _form.interpolationMode_triangulator->currentIndex();
    options.mode = mode >= 0 ? mode : options.mode;
    options.iso = float(_form.isovalue_triangulator->value());
    options.sizeMm = float(sizeMm);
    report(_session.exportSculpture(path, options, shownPictures()));
}
