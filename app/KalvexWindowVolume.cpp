// The main window's volume flows: loading pictures into view objects,
// computing and recomputing the master volume, showing it in the 3-D view and
// its shadows in the comparison labels, and the display switches that rebuild
// the volume's mesh.

#include "app/KalvexWindow.h"

#include "app/DeformImage.h"
#include "app/WaitCursor.h"
#include "deform/Comparison.h"
#include "render/SceneGLWidget.h"
#include "volume/VolumeBuilder.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr int kLabelWidth = 200;        // pictures and comparisons on the left
constexpr int kSavedPictureWidth = 250; // the comparison pictures written to disk

// Cell sizes the grid can hold: 250 cells per axis at most.
constexpr float kSmallestCellSize = 1.0f;
constexpr float kLargestCellSize = 250.0f;

}  // namespace

// ---- loaders ------------------------------------------------------------------------

void KalvexWindow::readVoxelResolutionField()
{
    bool ok = false;
    const float value = _form.voxelResolution_edit->text().toFloat(&ok);
    if (ok && value >= kSmallestCellSize && value <= kLargestCellSize)
        _voxel_resolution = value;
}

// Views replace any earlier ones: a volume only ever takes three, and it
// refers to the views it was built from.
bool KalvexWindow::appendViews(int set, const Presets::PictureFiles& paths)
{
    const auto modes = projectionSetModes(set);
    if (!modes)
        return false;
    if (!_views.empty())
        discardVolume();
    DeformImage* const deformed[3] = {_form.imageLabel_x, _form.imageLabel_y, _form.imageLabel_z};
    QLabel* const originals[3] = {_form.originalLabel_x, _form.originalLabel_y, _form.originalLabel_z};
    const bool useMask = _form.useMask_check->isChecked();
    _views.reserve(3);
    for (int k = 0; k < 3; ++k) {
        _views.emplace_back(paths[k], 0, (*modes)[k], deformed[k]->model(), _voxel_resolution, useMask);
        const QImage& picture = _views.back()._image;
        originals[k]->setPixmap(picture.isNull() ? QPixmap() : QPixmap::fromImage(picture.scaledToWidth(kLabelWidth)));
    }
    hideUnusedProjectionButtons(set);
    return true;
}

void KalvexWindow::hideUnusedProjectionButtons(int set)
{
    const KalvexForm& f = _form;
    switch (set) {
    case 0:
        for (QRadioButton* b : {f.fortyFive_proj_button, f.sixty_proj_button, f.oneTwenty_proj_button, f.all_proj_button})
            b->hide();
        break;
    case 1:
        for (QRadioButton* b : {f.z_proj_button, f.sixty_proj_button, f.oneTwenty_proj_button, f.all_proj_button})
            b->hide();
        break;
    case 2:
        for (QRadioButton* b : {f.y_proj_button, f.z_proj_button, f.all_proj_button, f.fortyFive_proj_button})
            b->hide();
        break;
    default: break;
    }
}

void KalvexWindow::showCameraButtons(int set)
{
    const KalvexForm& f = _form;
    for (QRadioButton* b : {f.simple_camera_x, f.simple_camera_y, f.simple_camera_z, f.simple_camera_45,
                            f.simple_camera_60, f.simple_camera_120})
        b->hide();
    switch (set) {
    case 0:
        for (QRadioButton* b : {f.simple_camera_x, f.simple_camera_y, f.simple_camera_z})
            b->show();
        break;
    case 1:
        for (QRadioButton* b : {f.simple_camera_x, f.simple_camera_y, f.simple_camera_45})
            b->show();
        break;
    case 2:
        for (QRadioButton* b : {f.simple_camera_x, f.simple_camera_60, f.simple_camera_120})
            b->show();
        break;
    default: break;
    }
}

bool KalvexWindow::loadImageCombination(int set, const Presets::PictureFiles& paths)
{
    if (!appendViews(set, paths))
        return false;
    _form.computeShadowMesh_button->setEnabled(true);
    _form.selectNextLayer->setEnabled(true);
    showCameraButtons(set);
    return true;
}

void KalvexWindow::loadPreset(const QString& key, int set)
{
    const auto paths = Presets::presetPaths(key);
    if (paths && loadImageCombination(set, *paths))
        setStatus(QStringLiteral("Loaded preset image combo."));
    else
        setStatus(QStringLiteral("preset load image failed."));
}

void KalvexWindow::loadExample(const QString& key, int set)
{
    const auto paths = Presets::examplePaths(key);
    if (!paths) {
        setStatus(QStringLiteral("No example set named %1.").arg(key));
        return;
    }
    if (const QString problem = Presets::picturesProblem(*paths); !problem.isEmpty()) {
        setStatus(problem);
        return;
    }
    appendViews(set, *paths);
    _form.computeShadowMesh_button->setEnabled(true);
    _form.selectNextLayer->setEnabled(true);
    setStatus(QStringLiteral("Loaded three (hardcoded) projection images."));
}

void KalvexWindow::shadow_lazyButton_released()
{
    WaitCursor wait;
    loadExample(QStringLiteral("walk"), 2);
}

// ---- reset ---------------------------------------------------------------------------

void KalvexWindow::discardVolume()
{
    _master.reset();
    _views.clear();
    _view->clearObjects();
    _layer_counter = 0;
    _initial_positioning = true;
    for (QLabel* label : {_form.currentResultLabel_x, _form.currentResultLabel_y, _form.currentResultLabel_z})
        label->clear();
    _form.currentNofCells->setText(QStringLiteral("--"));
}

void KalvexWindow::resetAll_released()
{
    const KalvexForm& f = _form;
    readVoxelResolutionField();
    for (QLabel* label : std::initializer_list<QLabel*>{f.originalLabel_x, f.originalLabel_y, f.originalLabel_z,
                                                        f.imageLabel_x, f.imageLabel_y, f.imageLabel_z})
        label->clear();
    discardVolume();
    for (QPushButton* b : {f.selectNextLayer, f.deformImages, f.computeShadowMesh_button, f.saveMesh_button,
                           f.adjustImages})
        b->setEnabled(false);
    for (QRadioButton* b : {f.x_proj_button, f.y_proj_button, f.z_proj_button, f.fortyFive_proj_button,
                            f.sixty_proj_button, f.oneTwenty_proj_button, f.all_proj_button})
        b->show();
    setStatus(QStringLiteral("Clean board now."));
}

// ---- computing the volume -----------------------------------------------------------

void KalvexWindow::shadow_computeShadowMesh_released()
{
    computeVolume();
}

KalvexWindow::VolumeResult KalvexWindow::computeVolume()
{
    WaitCursor wait;
    VolumeResult result;
    if (!_views.empty()) {
        if (_initial_positioning) {
            quantizeViews(_views);
            _initial_positioning = false;
        }
        result.volumeShown = buildAndShowMaster();
        if (!result.volumeShown)
            return result;
    }
    result.outputProblem = saveResultPictures();
    selected_camera_view();
    if (!result.outputProblem.isEmpty())
        setStatus(result.outputProblem);
    sendVolumeDimensions();
    if (_master)
        resetSliceRange();
    return result;
}

// A new master from the (quantised) views, with the display settings of the
// window: the workflow's edit radius (it wins over the expert panel's), the
// highlight switches and the hollow switch.
void KalvexWindow::newMaster()
{
    const KalvexForm& f = _form;
    _master = buildMaster(_views, _voxel_resolution);
    _master->_edit_radius = f.spn_simple_edit_radius->value();
    _master->_display_flags = (f.editToolboxDisplayFreeCells->isChecked() ? 1 : 0) |
                              (f.editToolboxDisplayDisconnectedCells->isChecked() ? 2 : 0);
    _master->_hollow = f.chkRenderHollow->isChecked();
}

// A new master from the (quantised) views, shown in the view and in the
// comparison labels. False when the pictures' extrusions do not meet.
bool KalvexWindow::buildAndShowMaster()
{
    const KalvexForm& f = _form;
    newMaster();
    if (!showMasterMesh()) {
        setStatus(QStringLiteral("intersection volume empty (please reposition images)."));
        return false;
    }
    if (f.editToolboxDisplayFreeCells->isChecked())
        editToolboxRadius_changed(f.editToolboxRadius->value());
    for (const ShadowObject& view : _views)
        if (view._projection_mode != Sixty_PROJECTION && view._projection_mode != OneTwenty_PROJECTION)
            showComparison(view._projection_mode, resultLabel(view._projection_mode));
    f.saveMesh_button->setEnabled(true);
    setStatus(QStringLiteral("Computed shadow mesh."));
    showCellCount();
    f.deformImages->setEnabled(true);
    f.adjustImages->setEnabled(true);
    return true;
}

// Rebuilds the views from the deformed pictures and the master from them. Each
// picture is first set again from its own mesh, rest positions and weights,
// so its deformation so far is kept and only its step counter restarts.
void KalvexWindow::recompute_shadow_released()
{
    WaitCursor wait;
    if (_views.empty())
        return;
    std::vector<ShadowObject> rebuilt = viewsFromDeformedPictures(_views, _voxel_resolution);
    _master.reset();
    _views = std::move(rebuilt);
    _initial_positioning = false;
    _layer_counter = 0;
    buildAndShowMaster();
}

// The volume's cube mesh replaces the view's current object; the camera stays.
// The hollow switch decides which cells the mesh holds. False (and the view
// unchanged) when the volume has no cell.
bool KalvexWindow::showMasterMesh()
{
    _master->_hollow = _form.chkRenderHollow->isChecked();
    const TriMesh* mesh = _master->buildShadowMesh();
    if (mesh->faces.empty())
        return false;
    sendVolumeDimensions();
    _view->setMesh(new TriMesh(*mesh), true, _mesh_centre, &_mesh_scale, X_PROJECTION, true);
    return true;
}

void KalvexWindow::sendVolumeDimensions()
{
    if (!_master)
        return;
    float low[3];
    float high[3];
    _master->boundingBox(low, high);
    int size[3];
    for (int k = 0; k < 3; ++k)
        size[k] = static_cast<int>(high[k]) - static_cast<int>(low[k]) + 1;
    _view->setVolumeDimensions(size[0], size[1], size[2]);
}

QLabel* KalvexWindow::resultLabel(int mode) const
{
    switch (mode) {
    case X_PROJECTION: return _form.currentResultLabel_x;
    case Y_PROJECTION:
    case Sixty_PROJECTION: return _form.currentResultLabel_y;
    default: return _form.currentResultLabel_z;
    }
}

void KalvexWindow::showComparison(int mode, QLabel* label)
{
    std::vector<ShadowObject*> views;
    for (ShadowObject& view : _views)
        views.push_back(&view);
    const QImage comparison = comparisonImage(*_master, mode, views);
    label->setPixmap(QPixmap::fromImage(comparison.scaledToWidth(kLabelWidth, Qt::FastTransformation)));
}

void KalvexWindow::showCellCount()
{
    _form.currentNofCells->setText(QString::number(countOccupiedCells(*_master)));
}

void KalvexWindow::resetSliceRange()
{
    const int top = _master->sizeZ();
    for (QSpinBox* slice : {_form.spnMinSlice, _form.spnMaxSlice})
        slice->setRange(0, top);
    _form.spnMinSlice->setValue(0);
    _form.spnMaxSlice->setValue(top);
}

// The comparison pictures as shown, 250 wide, in "simple_shapes". Returns a
// status line when they cannot be written.
QString KalvexWindow::saveResultPictures()
{
    const QString folder = Presets::kModelImages + QStringLiteral("/simple_shapes");
    const std::pair<QLabel*, const char*> pictures[3] = {{_form.currentResultLabel_x, "/x_image.png"},
                                                         {_form.currentResultLabel_y, "/y_image.png"},
                                                         {_form.currentResultLabel_z, "/z_image.png"}};
    for (const auto& [label, name] : pictures) {
        const QPixmap shown = label->pixmap();
        if (shown.isNull())
            continue;
        if (!QDir().mkpath(folder))
            return QStringLiteral("Cannot create folder %1.").arg(folder);
        const QString path = folder + QLatin1String(name);
        if (!shown.scaledToWidth(kSavedPictureWidth).save(path))
            return QStringLiteral("Cannot write %1.").arg(path);
    }
    return {};
}

void KalvexWindow::selected_camera_view()
{
    if (!_master)
        return;
    int mode = basicTabSelection();
    if (mode == all_ortho)
        mode = X_PROJECTION;
    _view->setCameraView(mode);
    setStatus(QStringLiteral("Looking along ") + QLatin1String(projectionModeName(mode)));
}

// ---- display switches ------------------------------------------------------------------

void KalvexWindow::projection_mode_changed()
{
    _view->setOrthographic(_form.orthoOpt->isChecked());
    _view->projectionSetup();
    _view->update();
    setStatus(QStringLiteral("Projection mode updated."));
}

void KalvexWindow::editToolboxRadius_changed(int radius)
{
    WaitCursor wait;
    if (_views.empty() || !_master)
        return;
    _master->_edit_radius = radius;
    _master->_hollow = _form.chkRenderHollow->isChecked();
    const TriMesh* mesh = _master->buildShadowMesh();
    if (mesh->faces.empty())
        return;
    _view->updateCellData(*mesh);
    _view->update();
}

void KalvexWindow::chkRenderHollow_changed(int /*state*/)
{
    if (_master)
        showMasterMesh();
}

void KalvexWindow::spnMinSlice_changed(int value)
{
    _view->setSliceMin(value);
    _view->update();
}

void KalvexWindow::spnMaxSlice_changed(int value)
{
    _view->setSliceMax(value);
    _view->update();
}

void KalvexWindow::chkInvertSlice_changed(int state)
{
    _view->setSliceInvert(state != 0);
    _view->update();
}

void KalvexWindow::editToolboxDisplayFreeCells_toggled(bool on)
{
    setDisplayFlag(1, on);
}

void KalvexWindow::editToolboxDisplayDisconnectedCells_toggled(bool on)
{
    setDisplayFlag(2, on);
}

// The view's render flag and the volume's display flag go together; the cube
// mesh carries the cell states, so it is built again.
void KalvexWindow::setDisplayFlag(int flag, bool on)
{
    WaitCursor wait;
    _view->setRenderFlag(static_cast<unsigned>(flag), on);
    if (!_views.empty() && _master) {
        _master->_display_flags = on ? (_master->_display_flags | flag) : (_master->_display_flags & ~flag);
        showMasterMesh();
    }
    _view->update();
}

// ---- history ------------------------------------------------------------------------------

void KalvexWindow::editUndo_released()
{
    stepHistory(true);
}

void KalvexWindow::editRedo_released()
{
    stepHistory(false);
}

void KalvexWindow::stepHistory(bool undo)
{
    {
        WaitCursor wait;
        if (!_views.empty() && _master) {
            if (undo)
                _master->undo();
            else
                _master->redo();
            showMasterMesh();
            showCellCount();
        }
    }
    updateHistoryButtons();
}

void KalvexWindow::updateHistoryButtons()
{
    const bool volume = !_views.empty() && _master;
    _form.editUndo->setEnabled(volume && _master->canUndo());
    _form.editRedo->setEnabled(volume && _master->canRedo());
}

// ---- frame grabbing -------------------------------------------------------------------------

// One frame per slice step: the lower (or, inverted, the upper) slice bound
// moves through the range, and is put back at the end.
void KalvexWindow::grab_frames_released()
{
    if (!_master)
        return;
    WaitCursor wait;
    const int low = _form.spnMinSlice->value();
    const int high = _form.spnMaxSlice->value();
    const QString folder = Presets::kModelImages + QStringLiteral("/frames_dump");
    if (!QDir().mkpath(folder)) {
        setStatus(QStringLiteral("Cannot create folder %1.").arg(folder));
        return;
    }
    QString fileName;
    auto grab = [&](int i) {
        fileName = folder + QStringLiteral("/grab_") + QString::number(i + 1000) + QStringLiteral(".png");
        return _view->grabFramebuffer().save(fileName);
    };
    bool written = true;
    if (_form.chkInvertSlice->isChecked()) {
        for (int i = high; i > low && written; --i)
            if ((written = grab(i)))
                _form.spnMaxSlice->setValue(_form.spnMaxSlice->value() - 1);
        _form.spnMaxSlice->setValue(high);
    } else {
        for (int i = low; i < high && written; ++i)
            if ((written = grab(i)))
                _form.spnMinSlice->setValue(_form.spnMinSlice->value() + 1);
        _form.spnMinSlice->setValue(low);
    }
    setStatus(written ? QStringLiteral("frame grabbing done. ") + fileName
                      : QStringLiteral("Cannot write %1.").arg(fileName));
}
