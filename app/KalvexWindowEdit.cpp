// The main window's edit stage: the tools applied with Shift in the 3-D view,
// and the buttons of the edit panel. The edits are the session's; the window
// turns the view's pick ray into the volume's coordinates and shows the
// result with the camera kept.

#include "app/KalvexWindow.h"

#include "app/WaitCursor.h"
#include "files/ResultFiles.h"
#include "render/SceneGLWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QPushButton>
#include <QSpinBox>

void KalvexWindow::showEdit(const Report& result)
{
    if (report(result)) {
        if (_session.volume().exists())
            showVolume();
        else
            showPerspective();
    }
    updateHistoryButtons();
}

// The pick ray comes in the drawn object's coordinates: the volume's cube mesh
// moved by minus the mesh centre and scaled by the mesh scale. Without a
// volume the subtractive brush carves the point-light volume.
void KalvexWindow::sceneView_toolRequested()
{
    const bool pointLights = !_session.volume().exists();
    if (pointLights && (activeTool() != DesignVolume::SubtractBrush || !_session.pointLights().mesh()))
        return;
    float origin[3], direction[3];
    _view->pickRay(origin, direction);
    const point d(direction[0], direction[1], direction[2]);
    if (!(len2(d) > 0.0f) || !(_mesh_scale > 0.0f))
        return;  // nothing under the pointer
    WaitCursor wait;
    const point centre(_mesh_centre[0], _mesh_centre[1], _mesh_centre[2]);
    const point o = point(origin[0], origin[1], origin[2]) * (1.0f / _mesh_scale) + centre;
    const float radius = float(_form.editToolboxRadius->value());
    const bool completeOnly = _form.remove_complete_rays_only->isChecked();
    const int tool = activeTool();
    showEdit(busy(QStringLiteral("Editing ..."), [&](const auto&) {
        return pointLights ? _session.pointLights().subtractBrush(o, d * (1.0f / _mesh_scale), radius, completeOnly)
                           : _session.volume().applyTool(tool, o, d * (1.0f / _mesh_scale), radius, completeOnly);
    }));
}

void KalvexWindow::edit_makeOneComponent_released()
{
    WaitCursor wait;
    const Result<CleanUp> cleaned = _session.volume().makeOneComponent();
    showEdit(cleaned.ok() ? saveComponentFiles(_session, cleaned.value(), Presets::kModelImages) : fail(cleaned.error()));
}

void KalvexWindow::edit_autoConnect_released()
{
    WaitCursor wait;
    showEdit(_session.volume().autoConnect());
}

void KalvexWindow::edit_removeRandomBalls_released()
{
    WaitCursor wait;
    showEdit(_session.volume().removeRandomBalls(_form.nof_random_cells->value(), float(_form.random_cells_radius->value())));
}

void KalvexWindow::edit_smooth_released()
{
    WaitCursor wait;
    showEdit(_session.volume().smooth(float(_form.smooth_radius->value()), float(_form.smooth_threshold->value() / 100.0)));
}

void KalvexWindow::edit_removeCellsInBox_released()
{
    WaitCursor wait;
    showEdit(_session.volume().removeCellsInBox());
}

void KalvexWindow::edit_removeBallsAtBoxBorder_released()
{
    WaitCursor wait;
    showEdit(_session.volume().removeBallsAtBoxBorder(_form.nof_random_cells->value(),
                                                      float(_form.random_cells_radius->value()),
                                                      float(_form.spnEditRbfbbDistance->value())));
}

// The pictures go: the deformation controls with them, and the history
// buttons (undo needs the views).
void KalvexWindow::edit_cleanUp_released()
{
    WaitCursor wait;
    report(_session.cleanUp());
    _form.deform_panel->hide();
    _form.gbx_simple_deform->setEnabled(false);
    showComparisons(true);
    updateHistoryButtons();
}

void KalvexWindow::edit_save_contouredMesh_released()
{
    WaitCursor wait;
    report(saveContouredMesh(_session, Presets::kModelImages, _form.interpolationMode_triangulator->currentText(),
                             float(_form.isovalue_triangulator->value())));
}
