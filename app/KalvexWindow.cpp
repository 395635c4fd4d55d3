// Construction of the main window and the Workflow panel's handlers.

#include "app/KalvexWindow.h"

#include "app/BusyRunner.h"

#include "app/CustomLoadDialog.h"
#include "app/DeformImage.h"
#include "app/ExampleOpenDialog.h"
#include "app/WaitCursor.h"
#include "files/Recovery.h"
#include "render/SceneGLWidget.h"

#include <QAction>
#include <QPointer>
#include <QScopeGuard>
#include <QProgressBar>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kStartLevel = 5;  // the coarseness level a fresh panel offers

}  // namespace

KalvexWindow::KalvexWindow(QWidget* parent) : QMainWindow(parent), _recovery(std::make_unique<RecoveryWriter>())
{
    setupKalvexForm(_form, this);
    voxelResolution_edit_changed();
    showPictureModels(false);
    _session.volume().setHollow(_form.chkRenderHollow->isChecked());
    setupWindow();
    setupWorkflow();
    _example_dialog = new ExampleOpenDialog(this);
    _custom_load_dialog = new CustomLoadDialog(this);
    _form.currentNofCells->setText(QStringLiteral("--"));
    _view->setRenderFlag(1, _form.editToolboxDisplayFreeCells->isChecked());
    _view->setRenderFlag(2, _form.editToolboxDisplayDisconnectedCells->isChecked());
    connectSceneView();
    offerLightSources();
    QTimer::singleShot(0, this, &KalvexWindow::offerRecovery);
}

// The session (and its pictures) goes before the labels that show them.
KalvexWindow::~KalvexWindow()
{
    _recovery->discard();
    for (int k = 0; k < 3; ++k) {
        _session.pictures().watchPicture(k, {});
        _session.pointLights().watchPicture(k, {});
    }
}

// ---- construction ----------------------------------------------------------------

void KalvexWindow::setupWindow()
{
    auto* quit = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Q")), this);
    quit->setContext(Qt::WindowShortcut);
    connect(quit, &QShortcut::activated, this, &KalvexWindow::action_exit_slot);

    const QRect frame = _form.render_widget->geometry();
    _view = new SceneGLWidget(_form.render_widget, frame.width(), frame.height());
    _view->setObjectName(QStringLiteral("sceneView"));
    auto* viewLayout = new QVBoxLayout(_form.render_widget);
    viewLayout->setContentsMargins(0, 0, 0, 0);
    viewLayout->addWidget(_view);
    _view->show();
    connectActions();
    connectExpertPanels();

    _form.actionSmooth->setChecked(true);
    _form.fixImage_progressBar->hide();
    const bool savePanel = _form.savePanel_checkBox->isChecked();
    _form.savePanel->setVisible(savePanel);
    _form.savePanel_checkBox->setVisible(savePanel);
    _form.x_proj_button->setChecked(true);
    _form.interpolationMode_triangulator->addItems(
        {QStringLiteral("Linear"), QStringLiteral("Quadratic"), QStringLiteral("Cubic"), QStringLiteral("Catmull-Rom"),
         QStringLiteral("Cubic-BSpline")});
    _form.interpolationMode_triangulator->setCurrentIndex(3);

    _status_label = new QLabel(QStringLiteral("Ready."), this);
    _status_label->setObjectName(QStringLiteral("statusLabel"));
    _status_label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    statusBar()->addPermanentWidget(_status_label, 1);
}

void KalvexWindow::connectActions()
{
    const KalvexForm& f = _form;
    connect(f.actionExit, &QAction::triggered, this, &KalvexWindow::action_exit_slot);
    connect(f.actionAbout, &QAction::triggered, this, &KalvexWindow::actionAbout_slot);
    connect(f.actionOpenMesh, &QAction::triggered, this, &KalvexWindow::action_openMesh_slot);
    connect(f.actionShowAxis, &QAction::toggled, this, [this](bool on) {
        _view->setShowAxis(on);
        _view->update();
    });
    connect(f.actionShowBBoxAndGrid, &QAction::toggled, this, [this](bool on) {
        _view->setShowBoxAndGrid(on);
        _view->update();
    });
    connect(f.actionCommonControl, &QAction::toggled, this, [this](bool on) {
        _view->setCommonControl(on);
        _view->update();
    });
    connect(f.actionWhiteBackground, &QAction::toggled, this, [this](bool on) {
        _view->setWhiteBackground(on);
        _view->update();
    });
    QAction* const modes[] = {f.actionFlat, f.actionSmooth, f.actionWireFrame, f.actionWireFrameHidden, f.actionPoints};
    for (int mode = 0; mode < 5; ++mode)
        connect(modes[mode], &QAction::toggled, this, [this, mode](bool on) {
            if (on)
                _view->setRenderMode(mode);
        });
}

void KalvexWindow::connectExpertPanels()
{
    const KalvexForm& f = _form;
    connect(f.orthoOpt, &QRadioButton::clicked, this, &KalvexWindow::projection_mode_changed);
    connect(f.perspectiveOpt, &QRadioButton::clicked, this, &KalvexWindow::projection_mode_changed);
    connect(f.voxelResolution_edit, &QLineEdit::editingFinished, this, &KalvexWindow::voxelResolution_edit_changed);
    connect(f.editToolboxRadius, &QSpinBox::valueChanged, this, &KalvexWindow::editToolboxRadius_changed);
    connect(f.chkRenderHollow, &QCheckBox::stateChanged, this, &KalvexWindow::chkRenderHollow_changed);
    connect(f.spnMinSlice, &QSpinBox::valueChanged, this, &KalvexWindow::spnMinSlice_changed);
    connect(f.spnMaxSlice, &QSpinBox::valueChanged, this, &KalvexWindow::spnMaxSlice_changed);
    connect(f.chkInvertSlice, &QCheckBox::stateChanged, this, &KalvexWindow::chkInvertSlice_changed);
    connect(f.editToolboxDisplayFreeCells, &QCheckBox::toggled, this,
            &KalvexWindow::editToolboxDisplayFreeCells_toggled);
    connect(f.editToolboxDisplayDisconnectedCells, &QCheckBox::toggled, this,
            &KalvexWindow::editToolboxDisplayDisconnectedCells_toggled);
    connect(f.editUndo, &QPushButton::released, this, &KalvexWindow::editUndo_released);
    connect(f.edit_makeOneComponent, &QPushButton::released, this, &KalvexWindow::edit_makeOneComponent_released);
    connect(f.edit_autoConnect, &QPushButton::released, this, &KalvexWindow::edit_autoConnect_released);
    connect(f.edit_removeRandomBalls, &QPushButton::released, this, &KalvexWindow::edit_removeRandomBalls_released);
    connect(f.edit_smooth, &QPushButton::released, this, &KalvexWindow::edit_smooth_released);
    connect(f.edit_removeCellsInBox, &QPushButton::released, this, &KalvexWindow::edit_removeCellsInBox_released);
    connect(f.edit_removeBallsAtBoxBorder, &QPushButton::released, this,
            &KalvexWindow::edit_removeBallsAtBoxBorder_released);
    connect(f.edit_cleanUp, &QPushButton::released, this, &KalvexWindow::edit_cleanUp_released);
    connect(f.edit_save_contouredMesh, &QPushButton::released, this, &KalvexWindow::edit_save_contouredMesh_released);
    connect(f.exampleBased_showShadowMesh, &QPushButton::released, this,
            &KalvexWindow::exampleBased_showShadowMesh_released);
    connect(f.actionSaveScene, &QAction::triggered, this, &KalvexWindow::actionSaveScene_slot);
    connect(f.actionOpenScene, &QAction::triggered, this, &KalvexWindow::actionOpenScene_slot);
    connect(f.saveCurrentTestResults, &QPushButton::released, this, &KalvexWindow::saveCurrentTestResults_released);
    connect(f.saveLC_resultImages, &QPushButton::released, this, &KalvexWindow::saveLC_resultImages_released);
    connect(f.saveState, &QPushButton::released, this, &KalvexWindow::saveState_released);
    connect(f.loadAndCompute_shadowMesh, &QPushButton::released, this,
            &KalvexWindow::loadAndCompute_shadowMesh_released);
    connect(f.saveMeshBoundary_ps, &QPushButton::released, this, &KalvexWindow::saveMeshBoundary_ps_released);
    connect(f.editRedo, &QPushButton::released, this, &KalvexWindow::editRedo_released);
    connect(f.grab_frames, &QPushButton::released, this, &KalvexWindow::grab_frames_released);
    connect(f.resetAll, &QPushButton::released, this, &KalvexWindow::resetAll_released);
    connect(f.shadow_lazyButton, &QPushButton::released, this, &KalvexWindow::shadow_lazyButton_released);
    connect(f.computeShadowMesh_button, &QPushButton::released, this,
            &KalvexWindow::shadow_computeShadowMesh_released);
    connect(f.recompute_shadow_button, &QPushButton::released, this, &KalvexWindow::recompute_shadow_released);
    connect(f.adjustImages, &QPushButton::released, this, &KalvexWindow::adjustImages_released);
    connect(f.deformImages, &QPushButton::released, this, &KalvexWindow::deformImages_released);
    connect(f.fix_images, &QPushButton::released, this, &KalvexWindow::optimize_released);
    connect(f.increaseResolution, &QPushButton::released, this, &KalvexWindow::increaseResolution_released);
    connect(f.selectNextLayer, &QPushButton::released, this, &KalvexWindow::shadow_selectNextLayer_released);
    connect(f.finalizeOptimization, &QPushButton::released, this, &KalvexWindow::finalizeOptimization_released);
    connect(f.exit_button, &QPushButton::released, this, &KalvexWindow::action_exit_slot);
    connect(f.perspective_loadFromUI, &QPushButton::released, this, &KalvexWindow::perspective_loadFromUI_released);
    connect(f.perspective_lazy, &QPushButton::released, this, &KalvexWindow::perspective_lazy_released);
    connect(f.perspective_ShowShadow, &QPushButton::released, this, &KalvexWindow::perspective_ShowShadow_released);
    connect(f.perspective_edit, &QPushButton::released, this, &KalvexWindow::perspective_edit_released);
    connect(f.perspective_saveMesh, &QPushButton::released, this, &KalvexWindow::perspective_saveMesh_released);
    connect(f.perspective_saveSmoothMesh, &QPushButton::released, this,
            &KalvexWindow::perspective_saveSmoothMesh_released);
    connect(f.perspective_recompute_shadow, &QPushButton::released, this,
            &KalvexWindow::perspective_recompute_shadow_released);
    connect(f.pers_adjustImages, &QPushButton::released, this, &KalvexWindow::pers_adjustImages_released);
    connect(f.saveDeformedPersMeshes, &QPushButton::released, this, &KalvexWindow::saveDeformedPersMeshes_released);
    connect(f.exampleBased_loadDatabaseModels, &QPushButton::released, this,
            &KalvexWindow::exampleBased_loadDatabaseModels_released);
    connect(f.exampleBased_lazyLoad, &QPushButton::released, this, &KalvexWindow::exampleBased_lazyLoad_released);
    connect(f.exampleBased_computeSculpture, &QPushButton::released, this,
            &KalvexWindow::exampleBased_computeSculpture_released);
    connect(f.exampleBased_ICPrefine, &QPushButton::released, this, &KalvexWindow::exampleBased_ICPrefine_released);
    connect(f.exampleBased_saveSculptureMesh, &QPushButton::released, this,
            &KalvexWindow::exampleBased_saveSculptureMesh_released);
    connect(f.exampleBased_savePovScene, &QPushButton::released, this,
            &KalvexWindow::exampleBased_savePovScene_released);

    connect(_view, &SceneGLWidget::statusMessage, this, &KalvexWindow::setStatus);
    connect(_view, &SceneGLWidget::editToolRequested, this, &KalvexWindow::sceneView_toolRequested);
    connect(_view, &SceneGLWidget::keyPressed, this, &KalvexWindow::keyPressEvent);
    connect(_view, &SceneGLWidget::keyReleased, this, &KalvexWindow::keyReleaseEvent);
    connect(_view, &SceneGLWidget::editRadiusStep, this,
            [this](int delta) { _form.editToolboxRadius->setValue(_form.editToolboxRadius->value() + delta); });
}

// Only the workflow tab stays on the right; the other tabs' pages remain the
// window's (hidden) children, and the menus go while their actions stay.
void KalvexWindow::setupWorkflow()
{
    for (int i = _form.taw_right->count() - 1; i >= 1; --i) {
        QWidget* page = _form.taw_right->widget(i);
        _form.taw_right->removeTab(i);
        page->setParent(this);
        page->hide();
    }
    _form.taw_right->setTabText(0, QStringLiteral("Workflow"));
    panelReset();
    menuBar()->clear();
    for (QMenu** menu : {&_form.menuFile, &_form.menuRender, &_form.menuHelp}) {
        delete *menu;
        *menu = nullptr;
    }
    connectWorkflow();
}

void KalvexWindow::connectWorkflow()
{
    const KalvexForm& f = _form;
    connect(f.parallelLights, &QPushButton::released, this, &KalvexWindow::simple_parallelLights_released);
    connect(f.pointLights, &QPushButton::released, this, &KalvexWindow::simple_pointLights_released);
    connect(f.btn_simple_load_images, &QPushButton::released, this, &KalvexWindow::btn_simple_load_images_released);
    connect(f.btn_simple_generate_volume, &QPushButton::released, this,
            &KalvexWindow::btn_simple_generate_volume_released);
    connectPlacement();
    connect(f.btn_readyToEdit, &QPushButton::released, this, &KalvexWindow::btn_readyToEdit_released);
    connect(f.spn_simple_edit_radius, &QSpinBox::valueChanged, this, &KalvexWindow::spn_simple_edit_radius_released);
    connect(f.btn_simple_fill_example_based, &QPushButton::released, this,
            &KalvexWindow::btn_simple_fill_example_based_released);
    connect(f.btn_simple_export_print, &QPushButton::released, this, &KalvexWindow::btn_simple_export_print_released);
    connect(f.simple_animate, &QPushButton::released, this, &KalvexWindow::simple_animate_released);
    for (QRadioButton* camera : {f.simple_camera_x, f.simple_camera_y, f.simple_camera_z, f.simple_camera_45,
                                 f.simple_camera_60, f.simple_camera_120})
        connect(camera, &QRadioButton::clicked, this, &KalvexWindow::simple_camera_view_update_released);
    connect(f.simple_exit, &QPushButton::released, this, &KalvexWindow::action_exit_slot);
    connect(f.btn_simple_reset_scene, &QPushButton::released, this, &KalvexWindow::btn_simple_reset_scene_released);
    connect(f.simple_perspectiveLoad, &QPushButton::released, this, &KalvexWindow::simple_perspectiveLoad_released);
    connect(f.simple_perspectiveOpt, &QPushButton::released, this, &KalvexWindow::simple_perspectiveOpt_released);
    connect(f.btn_simple_deform_iterate, &QPushButton::released, this,
            &KalvexWindow::btn_simple_deform_iterate_released);
    connect(f.btn_simple_increase_res, &QPushButton::released, this, &KalvexWindow::btn_simple_increase_res_released);
    connect(f.chk_simple_completeOnly, &QCheckBox::toggled, f.remove_complete_rays_only, &QCheckBox::setChecked);
    for (QToolButton* tool : {f.btn_simple_edit_brush_sub, f.btn_simple_edit_brush_add, f.btn_simple_edit_brush_erode,
                              f.btn_simple_edit_ray})
        connect(tool, &QToolButton::toggled, this, [this] { _view->setActiveTool(activeTool()); });
}

void KalvexWindow::panelReset()
{
    KalvexForm& f = _form;
    for (QObject* child : f.tab_right_simple->children())
        if (auto* widget = qobject_cast<QWidget*>(child))
            widget->setEnabled(false);
    f.gbx_simple_projection->setEnabled(true);
    f.gbx_simple_generate->setEnabled(true);
    f.gbx_camera_group->setEnabled(false);
    f.workflowActions->setEnabled(true);  // animate and exit stay usable
    for (QWidget* w : std::initializer_list<QWidget*>{f.simple_progressBar, f.persp_progressIterate, f.pushButton_2,
                                                      f.recompute_shadow_button, f.exit_button})
        w->hide();
    f._simple_preserveShape->setChecked(false);
    f.orthoOpt->setChecked(true);
    projection_mode_changed();
    f.gbx_perspective->setEnabled(true);
    f.simple_pers_nofIter->setEnabled(false);
    f.simple_perspectiveOpt->setEnabled(false);
    f.spn_simple_res->setValue(kStartLevel);
    for (QWidget* w : std::initializer_list<QWidget*>{
             f.btn_simple_reset_scene, f.simple_camera_45, f.simple_camera_60, f.simple_camera_120,
             f.gbx_simple_projection, f.gbx_simple_generate, f.gbx_simple_deform, f.gbx_simple_edit,
             f.gbx_simple_finish, f.gbx_perspective, f.gbx_camera_group})
        w->hide();
    f.lightSources->setEnabled(true);
}

// ---- messages -----------------------------------------------------------------------

Report KalvexWindow::busy(const QString& what, const std::function<Report(const std::function<void(int)>&)>& step,
                          QProgressBar* bar)
{
    QPointer<QProgressBar> shownBar(bar);
    // Nothing else may touch the session while the step runs (queued work
    // such as the recovery snapshot waits).
    _busy = true;
    const auto done = qScopeGuard([this] { _busy = false; });
    return BusyRunner::run<Report>(this, what, [&](const BusyRunner::Progress& progress) {
        return step([&](int value) {
            progress(value);
            if (shownBar)
                QMetaObject::invokeMethod(
                    shownBar, [shownBar, value] { shownBar->setValue(value); }, Qt::QueuedConnection);
        });
    });
}

void KalvexWindow::setStatus(const QString& text)
{
    _status_label->setText(text);
}

void KalvexWindow::showNotice(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Information, title, text, QMessageBox::NoButton, this);
    box.addButton(QStringLiteral("Got It"), QMessageBox::AcceptRole);
    box.exec();
}

// ---- projection selectors -------------------------------------------------------------

int KalvexWindow::cameraGroupSelection() const
{
    const KalvexForm& f = _form;
    if (f.simple_camera_x->isChecked())
        return X_PROJECTION;
    if (f.simple_camera_y->isChecked())
        return Y_PROJECTION;
    if (f.simple_camera_45->isChecked())
        return FortyFive_PROJECTION;
    if (f.simple_camera_60->isChecked())
        return Sixty_PROJECTION;
    if (f.simple_camera_120->isChecked())
        return OneTwenty_PROJECTION;
    if (f.simple_camera_z->isChecked())
        return Z_PROJECTION;
    return X_PROJECTION;
}

int KalvexWindow::basicTabSelection() const
{
    const KalvexForm& f = _form;
    if (f.x_proj_button->isChecked())
        return X_PROJECTION;
    if (f.y_proj_button->isChecked())
        return Y_PROJECTION;
    if (f.fortyFive_proj_button->isChecked())
        return FortyFive_PROJECTION;
    if (f.sixty_proj_button->isChecked())
        return Sixty_PROJECTION;
    if (f.oneTwenty_proj_button->isChecked())
        return OneTwenty_PROJECTION;
    if (f.z_proj_button->isChecked())
        return Z_PROJECTION;
    if (f.all_proj_button->isChecked())
        return all_ortho;
    return X_PROJECTION;
}

int KalvexWindow::activeTool() const
{
    if (_form.btn_simple_edit_brush_add->isChecked())
        return SceneGLWidget::AddBrush;
    if (_form.btn_simple_edit_brush_sub->isChecked())
        return SceneGLWidget::SubtractBrush;
    if (_form.btn_simple_edit_ray->isChecked())
        return SceneGLWidget::SubtractRay;
    return SceneGLWidget::Erode;
}

// ---- workflow panel ----------------------------------------------------------------------

void KalvexWindow::simple_parallelLights_released()
{
    KalvexForm& f = _form;
    closeLightSources();
    for (QGroupBox* box : {f.gbx_simple_projection, f.gbx_simple_generate, f.gbx_simple_deform, f.gbx_simple_edit,
                           f.gbx_simple_finish, f.gbx_camera_group})
        box->show();
    f.presetRadio->setChecked(true);
    loadChosenPictures();
}

// The directional-light stages make way for the perspective example.
void KalvexWindow::simple_pointLights_released()
{
    KalvexForm& f = _form;
    closeLightSources();
    for (QGroupBox* box : {f.gbx_simple_projection, f.gbx_simple_generate, f.gbx_simple_deform, f.gbx_simple_edit,
                           f.gbx_simple_finish, f.gbx_camera_group})
        box->hide();
    f.gbx_perspective->show();
}

// Directional light is what most designs use, so its stages show at once;
// the choice above them stays until a volume is made or a choice pressed.
void KalvexWindow::offerLightSources()
{
    simple_parallelLights_released();
    _form.lightSources->show();
    _form.btn_simple_reset_scene->hide();
}

void KalvexWindow::closeLightSources()
{
    _form.lightSources->hide();
    _form.btn_simple_reset_scene->show();
    _form.btn_simple_reset_scene->setEnabled(true);
}

void KalvexWindow::btn_simple_load_images_released()
{
    _custom_load_dialog->show();
}

// The pictures are checked before anything is reset, so that a bad choice
// leaves the current volume, pictures and stages as they were. "Custom:"
// builds from the pictures chosen last: the custom-load dialog's or an
// example set's.
void KalvexWindow::btn_simple_generate_volume_released()
{
    KalvexForm& f = _form;
    WaitCursor wait;
    const std::optional<PictureChoice> choice = chosenPictures();
    if (!choice)
        return;
    // Pictures already loaded for this choice (shown and perhaps placed in
    // stage 1) are used as they are.
    const DesignSession::PictureChoice& current = _session.pictures().choice();
    const float cellSize = static_cast<float>(f.spn_simple_res->value());
    const bool loaded = !_session.volume().exists() && _session.pictures().viewCount() == 3 &&
                        current.set == choice->set && current.paths == choice->paths &&
                        current.threshold == choice->threshold && current.cellSize == cellSize &&
                        current.useMask == f.useMask_check->isChecked();
    if (!loaded && !loadViews(choice->set, choice->paths, cellSize, choice->threshold))
        return;
    if (f.presetRadio->isChecked() &&
        Presets::resolvePreset(f.cmb_simple_preset->currentText(), f.cmb_simple_ortho_type->currentIndex()).preserveShape)
        f._simple_preserveShape->setChecked(true);

    const std::optional<QString> shown = computeVolume();
    simple_camera_view_update_released();
    // An empty intersection keeps its own message; an unwritable picture
    // folder is added to the line.
    if (shown)
        setStatus(QStringLiteral("initial shadow mesh computed.") +
                  (shown->isEmpty() ? QString() : QLatin1Char(' ') + *shown));
    f.gbx_simple_projection->setEnabled(false);
    f.gbx_simple_generate->setEnabled(false);
    f.gbx_simple_deform->setEnabled(true);
    f.gbx_camera_group->setEnabled(true);
    f.gbx_perspective->setEnabled(false);
    closeLightSources();
}

void KalvexWindow::btn_readyToEdit_released()
{
    {
        WaitCursor wait;
        _form.gbx_simple_deform->setEnabled(false);
        _form.gbx_simple_edit->setEnabled(true);
        const int radius = _form.spn_simple_edit_radius->value();
        _session.volume().setEditRadius(radius);
        _form.editToolboxRadius->setValue(radius);
        exampleBased_loadDatabaseModels_released();
        _form.gbx_simple_finish->setEnabled(true);
        _form.btn_simple_fill_example_based->setEnabled(true);
    }
    showNotice(QStringLiteral("Edit Mode"),
               QStringLiteral("Press SHIFT while editing. \nEdits will remove cells only if removal does not affect "
                              "the shadows."));
}

void KalvexWindow::spn_simple_edit_radius_released(int radius)
{
    _session.volume().setEditRadius(radius);
    _form.editToolboxRadius->setValue(radius);
}

void KalvexWindow::btn_simple_fill_example_based_released()
{
    const auto answer = QMessageBox::question(
        this, QStringLiteral("Example based completion"),
        QStringLiteral("This is memory heavy. If the voxel resolution is high, \nor if there are only a few active "
                       "voxels remaining, the program may crash.\nContinue?"),
        QMessageBox::Yes | QMessageBox::No);
    // A failed filling keeps the volume and the stages, so the user can edit
    // on. After a filling only the export stays, to print either sculpture.
    if (answer != QMessageBox::Yes || !exampleBased_computeSculpture_released())
        return;
    _form.gbx_simple_edit->setEnabled(false);
    _form.btn_simple_fill_example_based->setEnabled(false);
}

void KalvexWindow::simple_animate_released()
{
    if (_animation_notice_pending) {
        showNotice(QStringLiteral("Animate"),
                   QStringLiteral("Please do not move focus away from this window during animation. \nSit back, and "
                                  "enjoy!"));
        _animation_notice_pending = false;
    }
    _form.simple_camera_x->setChecked(true);
    if (_session.pictures().viewCount() == 3) {
        _view->animate(_form.animateSpinBox->value(), _session.pictures().viewMode(2));
        _view->update();
    }
}

void KalvexWindow::simple_camera_view_update_released()
{
    if (_session.volume().exists())
        _view->setCameraView(cameraGroupSelection());
}

void KalvexWindow::btn_simple_reset_scene_released()
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Reset Scene"),
                    QStringLiteral("Do you really want to discard the current shadow volume?"), QMessageBox::NoButton,
                    this);
    QPushButton* discard = box.addButton(QStringLiteral("Discard"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Retain"), QMessageBox::NoRole);
    box.exec();
    if (box.clickedButton() != discard)
        return;
    panelReset();
    resetAll_released();
    // The board's cell size comes from the expert field; the level for the
    // next "generate" stays the panel's.
    _form.spn_simple_res->setValue(kStartLevel);
    offerLightSources();
    QTimer::singleShot(0, this, &KalvexWindow::offerRecovery);
}

// Ends the process at once: nothing is saved and nothing is asked.
void KalvexWindow::action_exit_slot()
{
    _recovery->discard();
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(1);
}
