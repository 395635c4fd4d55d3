// The main window's deformation stage: adjusting the pictures so that they
// agree, the optimise loops around it, the resolution increase, the greedy
// layer selection and the finalisation of one view.

#include "app/KalvexWindow.h"

#include "app/WaitCursor.h"
#include "deform/GreedyLayers.h"
#include "deform/ImageAdjustment.h"
#include "render/SceneGLWidget.h"
#include "volume/Finalization.h"
#include "volume/VolumeBuilder.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr int kGreedyStepsPerPress = 4;

}  // namespace

std::vector<ShadowObject*> KalvexWindow::viewPointers()
{
    std::vector<ShadowObject*> pointers;
    for (ShadowObject& view : _views)
        pointers.push_back(&view);
    return pointers;
}

QLabel* KalvexWindow::comparisonLabel(int slot) const
{
    QLabel* const labels[3] = {_form.currentResultLabel_x, _form.currentResultLabel_y, _form.currentResultLabel_z};
    return slot >= 0 && slot < 3 ? labels[slot] : nullptr;
}

void KalvexWindow::showAllComparisons()
{
    for (int k = 0; k < static_cast<int>(_views.size()) && k < 3; ++k)
        showComparison(_views[k]._projection_mode, comparisonLabel(k));
}

// ---- adjusting the pictures ------------------------------------------------------

void KalvexWindow::adjustImages_released()
{
    WaitCursor wait;
    const KalvexForm& f = _form;
    if (_views.size() != 3)
        return;  // the repair steps work on three views
    AdjustParameters parameters;
    parameters.minSize = f.fixImages_minSize->value();
    parameters.loopCount = f.fixImages_loopCount->value();
    parameters.distance = f.fixImages_distThresh->value();
    parameters.preserveShape = f.preserve_shape_check->isChecked();

    computeVolume();
    if (!_master)
        return;
    // The repair steps read the missing pixels of every view from its
    // comparison picture, the oblique views' included.
    showAllComparisons();
    adjustImages(*_master, viewPointers(), [this](int slot) { return comparisonLabel(slot)->pixmap().toImage(); },
                 parameters);
    // The steps go over the views in turn; the button of the last one stays checked.
    projectionButton(_views[(parameters.loopCount - 1) % 3]._projection_mode)->setChecked(true);

    f.adjustImages->setEnabled(false);
    f.saveCurrentTestResults->setEnabled(true);
    setStatus(QStringLiteral("Optimized images."));
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
    for (int value : progressValues(passes)) {
        bar->setValue(value);
        adjustImages_released();
        recompute_shadow_released();
    }
    bar->setValue(100);
    bar->hide();
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
    if (_master)
        showAllComparisons();
    simple_camera_view_update_released();
}

// ---- resolution ---------------------------------------------------------------------

void KalvexWindow::applyCellSize(float cellSize)
{
    _voxel_resolution = cellSize;
    _form.voxelResolution_edit->setText(QString::number(cellSize, 'g', 2));
    if (!_views.empty())
        recompute_shadow_released();
}

void KalvexWindow::increaseResolution_released()
{
    WaitCursor wait;
    bool ok = false;
    const float current = _form.voxelResolution_edit->text().toFloat(&ok);
    applyCellSize(finerCellSize(ok ? current : _voxel_resolution));
    if (_master)
        resetSliceRange();
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
    if (!_master)
        return;
    showAllComparisons();
    resetSliceRange();
    simple_camera_view_update_released();
}

// ---- greedy layers ----------------------------------------------------------------------

void KalvexWindow::shadow_selectNextLayer_released()
{
    WaitCursor wait;
    if (_views.size() != 3)
        return;  // a greedy step covers the missing pixels of three views
    if (_layer_counter == 0) {
        quantizeViews(_views);
        _initial_positioning = false;
        newMaster();
        setStatus(QStringLiteral("Master volume computed."));
    } else {
        const std::vector<ShadowObject*> views = viewPointers();
        for (int step = 0; step < kGreedyStepsPerPress; ++step)
            greedyStep(*_master, views);
        setStatus(QStringLiteral("Performed %1 greedy step(s).").arg(kGreedyStepsPerPress));
    }
    showMasterMesh();
    showAllComparisons();
    ++_layer_counter;
    _form.saveMesh_button->setEnabled(true);
    _form.deformImages->setEnabled(true);
    showCellCount();
}

// ---- finalisation -------------------------------------------------------------------------

void KalvexWindow::finalizeOptimization_released()
{
    WaitCursor wait;
    if (!_master) {
        setStatus(QStringLiteral("nothing to process."));
        return;
    }
    int mode = basicTabSelection();
    if (mode == all_ortho)
        mode = X_PROJECTION;
    const std::vector<ShadowObject*> views = viewPointers();
    const int thirdMode = views.size() == 3 ? views[2]->_projection_mode : NO_VIEW;
    if (thirdMode != Z_PROJECTION && thirdMode != FortyFive_PROJECTION && thirdMode != OneTwenty_PROJECTION)
        exitOnImpossibleState("finalizeOptimization_released: unhandled case");
    const std::vector<Pixel> marked =
        collectMissingPixels(_master->resolution(), comparisonLabel(comparisonSlot(mode))->pixmap().toImage());
    fillMissingPixels(*_master, views, mode, marked, float(_form.finalizeDistanceSpin->value()));
    showMasterMesh();
    setStatus(QStringLiteral("finalized results in %1-view.").arg(QLatin1String(projectionModeName(mode))));
}
