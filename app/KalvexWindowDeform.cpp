// The main window's deformation stage: adjusting the pictures so that they
// agree, the optimise loops around it, the resolution increase, the greedy
// layer selection and the finalisation of one view. Each handler reads its
// widgets, runs the session's step and shows the result.

#include "app/KalvexWindow.h"

#include "app/WaitCursor.h"
#include "render/SceneGLWidget.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

// ---- adjusting the pictures ------------------------------------------------------

AdjustParameters KalvexWindow::adjustParameters() const
{
    const KalvexForm& f = _form;
    AdjustParameters parameters;
    parameters.minSize = f.fixImages_minSize->value();
    parameters.loopCount = f.fixImages_loopCount->value();
    parameters.distance = f.fixImages_distThresh->value();
    parameters.preserveShape = f.preserve_shape_check->isChecked();
    return parameters;
}

// After the last adjustment: "Adjust Images" waits for the next compute, and
// the projection button of the last repair step stays checked.
void KalvexWindow::afterAdjustment(const Report& result, int loopCount)
{
    if (!report(result))
        return;
    projectionButton(_session.pictures().viewMode((loopCount - 1) % 3))->setChecked(true);
    _form.adjustImages->setEnabled(false);
    _form.saveCurrentTestResults->setEnabled(true);
}

void KalvexWindow::adjustImages_released()
{
    WaitCursor wait;
    const AdjustParameters parameters = adjustParameters();
    const Report result = _session.adjust(parameters);
    showVolume();  // the volume the adjustment was made against
    afterAdjustment(result, parameters.loopCount);
}

// The experiment: one adjustment pass of the pictures against the volume,
// the volume then made again from them, as one round of "deform". The line
// stays the experiment's unless the pass could not run.
void KalvexWindow::deformImages_released()
{
    WaitCursor wait;
    if (!_session.volume().exists()) {
        setStatus(QStringLiteral("No master shadow."));
        return;
    }
    const Report result = _session.optimize(1, adjustParameters());
    showVolume();
    if (report(result))
        setStatus(QStringLiteral("Subroutine deformImages testing ...."));
}

QRadioButton* KalvexWindow::projectionButton(int mode) const
{
    const KalvexForm& f = _form;
    switch (mode) {
    case X_PROJECTION: return f.x_proj_button;
    case Y_PROJECTION: return f.y_proj_button;
    case Z_PROJECTION: return f.z_proj_button;
    case FortyFive_PROJECTION: return f.fortyFive_proj_button;
    case Sixty_PROJECTION: return f.sixty_proj_button;
    case OneTwenty_PROJECTION: return f.oneTwenty_proj_button;
    default: return f.all_proj_button;
    }
}

void KalvexWindow::runOptimizePasses(int passes, QProgressBar* bar)
{
    bar->show();
    bar->reset();
    const AdjustParameters parameters = adjustParameters();
    const Report result = busy(
        QStringLiteral("Optimizing ..."),
        [&](const std::function<void(int)>& progress) { return _session.optimize(passes, parameters, progress); }, bar);
    bar->setValue(100);
    bar->hide();
    showVolume();
    afterAdjustment(result, parameters.loopCount);
}

void KalvexWindow::optimize_released()
{
    WaitCursor wait;
    runOptimizePasses(_form.fixImages_outerCount->value(), _form.fixImage_progressBar);
}

void KalvexWindow::btn_simple_deform_iterate_released()
{
    WaitCursor wait;
    const KalvexForm& f = _form;
    f.preserve_shape_check->setChecked(f._simple_preserveShape->isChecked());
    runOptimizePasses(f.simple_iterateCount->value(), f.simple_progressBar);
    simple_camera_view_update_released();
}

// ---- resolution ---------------------------------------------------------------------

void KalvexWindow::applyCellSize(float cellSize)
{
    const Report result = busy(QStringLiteral("Building the finer volume ..."),
                               [&](const auto&) { return _session.increaseResolution(cellSize); });
    showCellSize();
    if (_session.pictures().viewCount() > 0)
        showVolume();
    report(result);
    if (_session.volume().exists())
        resetSliceRange();
}

void KalvexWindow::increaseResolution_released()
{
    WaitCursor wait;
    applyCellSize(finerCellSize(_session.cellSize()));
}

void KalvexWindow::btn_simple_increase_res_released()
{
    WaitCursor wait;
    QSpinBox* level = _form.spn_simple_res;
    const int v = level->value();
    if (v <= level->minimum())
        return;  // already the finest level
    level->setValue(v - 1);
    applyCellSize(float(v - 1));
    simple_camera_view_update_released();
}

// ---- greedy layers ----------------------------------------------------------------------

void KalvexWindow::shadow_selectNextLayer_released()
{
    WaitCursor wait;
    if (!report(_session.selectNextLayer()))
        return;
    showVolume();
    _form.saveMesh_button->setEnabled(true);
    _form.deformImages->setEnabled(true);
}

// ---- finalisation -------------------------------------------------------------------------

void KalvexWindow::finalizeOptimization_released()
{
    WaitCursor wait;
    if (report(_session.finalize(basicTabSelection(), float(_form.finalizeDistanceSpin->value()))))
        showVolume();
}
