// The main window's volume handlers: loading pictures into the session,
// computing and recomputing the volume, and showing what the session holds --
// the volume in the 3-D view, its shadows in the comparison labels, its cell
// count and cell size -- plus the display switches and the history.

#include "app/KalvexWindow.h"

#include "app/DeformImage.h"
#include "app/WaitCursor.h"
#include "files/ResultFiles.h"
#include "render/SceneGLWidget.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace {

constexpr int kLabelWidth = 200;  // pictures and comparisons on the left

}  // namespace

bool KalvexWindow::report(const Report& result)
{
    if (!lineOf(result).isEmpty())
        setStatus(lineOf(result));
    return result.ok();
}

// ---- loaders ------------------------------------------------------------------------

// The session checks the pictures before anything changes; only then is the
// board cleared for the new views.
bool KalvexWindow::loadViews(int set, const Presets::PictureFiles& paths, float cellSize, int threshold)
{
    DesignSession::PictureChoice choice;
    choice.set = set;
    choice.paths = paths;
    choice.cellSize = cellSize;
    choice.threshold = threshold;
    choice.useMask = _form.useMask_check->isChecked();
    const DesignSession::PictureChoice& current = _session.pictures().choice();
    const bool samePictures = current.set == set && current.paths == paths && current.threshold == threshold;
    const bool fromScene = current.paths == DesignSession::PictureFiles{};
    if (samePictures || fromScene)
        choice.placements = current.placements;
    return showLoadedViews(
        busy(QStringLiteral("Loading the pictures ..."), [&](const auto&) { return _session.load(choice); }), set);
}

bool KalvexWindow::showLoadedViews(const Report& loaded, int set)
{
    const KalvexForm& f = _form;
    if (!report(loaded))
        return false;
    showPictureModels(false);
    clearVolumeDisplay();
    for (QPushButton* b : {f.deformImages, f.saveMesh_button, f.adjustImages})
        b->setEnabled(false);
    showOriginals();
    for (QRadioButton* b : {f.x_proj_button, f.y_proj_button, f.z_proj_button, f.fortyFive_proj_button,
                            f.sixty_proj_button, f.oneTwenty_proj_button, f.all_proj_button})
        b->show();
    hideUnusedProjectionButtons(set);
    f.computeShadowMesh_button->setEnabled(true);
    f.selectNextLayer->setEnabled(true);
    showCameraButtons(set);
    showCellSize();
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
    return loadViews(set, paths, _session.cellSize());
}

void KalvexWindow::loadPreset(const QString& key, int set)
{
    const auto paths = Presets::presetPaths(key);
    if (!paths) {
        setStatus(QStringLiteral("preset load image failed."));
        return;
    }
    if (loadImageCombination(set, *paths))
        setStatus(QStringLiteral("Loaded preset image combo."));
}

void KalvexWindow::loadExample(const QString& key, int set)
{
    // A name the table lacks ("editdemo") names no pictures: three views
    // without any, whose volume is empty. "generate" keeps its pictures.
    const auto paths = Presets::examplePaths(key);
    if (paths ? !loadImageCombination(set, *paths)
              : !showLoadedViews(_session.loadWithoutPictures(set, _session.cellSize()), set))
        return;
    if (paths)
        chooseCustomPictures(set, *paths);
    setStatus(QStringLiteral("Loaded three (hardcoded) projection images."));
}

void KalvexWindow::chooseCustomPictures(int set, const Presets::PictureFiles& paths, int threshold)
{
    _custom_choice = {set, paths, threshold};
    _form.radioButton_2->setChecked(true);
}

void KalvexWindow::shadow_lazyButton_released()
{
    WaitCursor wait;
    loadExample(QStringLiteral("walk"), 2);
}

// ---- reset ---------------------------------------------------------------------------

void KalvexWindow::clearVolumeDisplay()
{
    _view->clearObjects();
    for (QLabel* label : {_form.currentResultLabel_x, _form.currentResultLabel_y, _form.currentResultLabel_z})
        label->clear();
    showCellCount();
    updateHistoryButtons();
}

void KalvexWindow::clearPictures()
{
    const KalvexForm& f = _form;
    for (QLabel* label : std::initializer_list<QLabel*>{f.originalLabel_x, f.originalLabel_y, f.originalLabel_z,
                                                        f.imageLabel_x, f.imageLabel_y, f.imageLabel_z})
        label->clear();
}

void KalvexWindow::resetAll_released()
{
    const KalvexForm& f = _form;
    _session.reset();
    voxelResolution_edit_changed();
    clearPictures();
    clearVolumeDisplay();
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

// Nothing when no volume is shown; otherwise the line that tells why the
// comparison pictures could not be written (empty when they were).
std::optional<QString> KalvexWindow::computeVolume()
{
    WaitCursor wait;
    bool shown = false;
    if (_session.pictures().viewCount() > 0) {
        const bool built = report(busy(QStringLiteral("Building the shadow hull ..."),
                                       [this](const auto&) { return _session.compute(); }));
        showVolume(false);
        if (!built)
            return std::nullopt;
        const KalvexForm& f = _form;
        f.saveMesh_button->setEnabled(true);
        f.deformImages->setEnabled(true);
        f.adjustImages->setEnabled(true);
        shown = true;
    }
    const QString problem = saveComparisonPictures();
    selected_camera_view();
    if (!problem.isEmpty())
        setStatus(problem);
    if (_session.volume().exists())
        resetSliceRange();
    return shown ? std::optional<QString>(problem) : std::nullopt;
}

void KalvexWindow::recompute_shadow_released()
{
    WaitCursor wait;
    if (_session.pictures().viewCount() == 0)
        return;
    report(_session.recompute());
    showVolume(false);
}

// ---- showing the session ----------------------------------------------------------------

void KalvexWindow::showVolume(bool obliqueComparisons)
{
    showMesh();
    showComparisons(obliqueComparisons);
    showCellCount();
    showKept();
    updateHistoryButtons();
    designChanged();
}

// The volume's cube mesh replaces the view's current object; the camera stays.
// Without a cell the view is emptied. Returns whether a mesh is shown.
bool KalvexWindow::showMesh()
{
    const TriMesh* mesh = _session.volume().hasCells() ? _session.volume().buildShadowMesh() : nullptr;
    if (!mesh || mesh->faces.empty()) {
        _view->clearObjects();
        _view->update();
        return false;
    }
    sendVolumeDimensions();
    _view->setMeshCopy(*mesh, true, _mesh_centre, &_mesh_scale, X_PROJECTION, true);
    return true;
}

// Slot k's label shows view k's comparison image, scaled to the label. A
// computation of the volume leaves the labels of the 60 and 120 degree views
// alone; the steps that work on every view show them too.
void KalvexWindow::showComparisons(bool obliqueComparisons)
{
    QLabel* const labels[3] = {_form.currentResultLabel_x, _form.currentResultLabel_y, _form.currentResultLabel_z};
    for (int k = 0; k < 3; ++k) {
        const int mode = _session.pictures().viewMode(k);
        if (!obliqueComparisons && (mode == Sixty_PROJECTION || mode == OneTwenty_PROJECTION))
            continue;
        const QImage& comparison = _session.volume().comparison(k);
        if (comparison.isNull())
            labels[k]->clear();
        else
            labels[k]->setPixmap(
                QPixmap::fromImage(comparison.scaledToWidth(kLabelWidth, Qt::FastTransformation)));
    }
}

void KalvexWindow::showCellCount()
{
    const bool cells = _session.volume().hasCells();
    const QString count = QString::number(_session.volume().counts().cells);
    _form.currentNofCells->setText(cells ? count : QStringLiteral("--"));
    _form.projectionCells->setText(QStringLiteral("cells: ") + (_session.volume().exists() ? count : QStringLiteral("--")));
}

// Both cell-size widgets show the session's value; the coarseness level only
// when the size is one of its whole levels.
void KalvexWindow::showCellSize()
{
    const float cellSize = _session.cellSize();
    _form.voxelResolution_edit->setText(QString::number(cellSize, 'g', 2));
    QSpinBox* level = _form.spn_simple_res;
    if (cellSize == float(int(cellSize)) && int(cellSize) >= level->minimum() && int(cellSize) <= level->maximum())
        level->setValue(int(cellSize));
}

void KalvexWindow::voxelResolution_edit_changed()
{
    bool ok = false;
    const float value = _form.voxelResolution_edit->text().toFloat(&ok);
    if (ok)
        _session.setCellSize(value);
    showCellSize();
}

// The grid on the volume's box has one plane per cell boundary.
void KalvexWindow::sendVolumeDimensions()
{
    const std::array<int, 3> cells = _session.volume().dimensions();
    _view->setVolumeDimensions(cells[0], cells[1], cells[2]);
}

void KalvexWindow::resetSliceRange()
{
    const int top = _session.volume().resolution();
    for (QSpinBox* slice : {_form.spnMinSlice, _form.spnMaxSlice})
        slice->setRange(0, top);
    _form.spnMinSlice->setValue(0);
    _form.spnMaxSlice->setValue(top);
}

// The comparison pictures, 250 wide, in "simple_shapes". Returns a status
// line when they cannot be written.
QString KalvexWindow::saveComparisonPictures()
{
    const Report saved = ::saveComparisonPictures(_session, Presets::kModelImages + QStringLiteral("/simple_shapes"));
    return saved.ok() ? QString() : saved.error();
}

void KalvexWindow::selected_camera_view()
{
    if (!_session.volume().exists())
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
    _session.volume().setEditRadius(radius);
    if (!_session.volume().hasCells())
        return;
    _view->updateCellData(*_session.volume().buildShadowMesh());
    _view->update();
}

void KalvexWindow::chkRenderHollow_changed(int state)
{
    _session.volume().setHollow(state != 0);
    if (_session.volume().hasCells())
        showMesh();
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
    _session.volume().setDisplayFlag(flag, on);
    if (_session.volume().hasCells())
        showMesh();
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

// Undo and redo act only while the volume has its views: after the clean-up
// or with an opened scene they only refresh the (disabled) buttons.
void KalvexWindow::stepHistory(bool undo)
{
    WaitCursor wait;
    if (_session.pictures().viewCount() > 0 && (undo ? _session.volume().undo() : _session.volume().redo()))
        showVolume();
    updateHistoryButtons();
}

void KalvexWindow::updateHistoryButtons()
{
    const bool views = _session.pictures().viewCount() > 0;
    _form.editUndo->setEnabled(views && _session.volume().canUndo());
    _form.editRedo->setEnabled(views && _session.volume().canRedo());
}

// ---- frame grabbing -------------------------------------------------------------------------

// One frame per slice step: the lower (or, inverted, the upper) slice bound
// moves through the range, and is put back at the end.
void KalvexWindow::grab_frames_released()
{
    if (!_session.volume().exists())
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
        return savePicture(_view->grabFramebuffer(), fileName).ok();
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
