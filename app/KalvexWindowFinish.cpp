// The main window's finishing stage: the smooth surface of the volume.

#include "app/KalvexWindow.h"

#include "app/WaitCursor.h"
#include "render/SceneGLWidget.h"

#include <QDir>
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
