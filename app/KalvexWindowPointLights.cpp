// The main window's point lights: the workflow's perspective example and the
// handlers of the perspective panel. The design (pictures, cameras, volume)
// is the session's point-light design; the window shows its volume, its
// pictures and its comparisons.

#include "app/KalvexWindow.h"

#include "app/DeformImage.h"
#include "app/WaitCursor.h"
#include "files/ResultFiles.h"
#include "render/SceneGLWidget.h"
#include "surface/VoxelContouring.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int kLabelWidth = 200;

// A field's number, or the line that says which field is not one.
Result<double> fieldNumber(const QLineEdit* field)
{
    bool ok = false;
    const double value = field->text().trimmed().toDouble(&ok);
    if (!ok)
        return fail(
            QStringLiteral("%1 is not a number: \"%2\".").arg(field->objectName(), field->text()));
    return value;
}

// The picture and camera of one group of the perspective panel's fields.
Result<PointLightView> viewFromFields(const PerspectiveViewFields& fields)
{
    PointLightView source;
    source.picture = Presets::kModelImages + QLatin1Char('/') + fields.image_name->text().trimmed();
    std::array<double, 3>* const vectors[3] = {&source.camera.center, &source.camera.lookAt, &source.camera.up};
    QLineEdit* const* const rows[3] = {fields.center, fields.lookAt, fields.upVector};
    for (int v = 0; v < 3; ++v) {
        for (int i = 0; i < 3; ++i) {
            const Result<double> value = fieldNumber(rows[v][i]);
            if (!value.ok())
                return fail(value.error());
            (*vectors[v])[std::size_t(i)] = value.value();
        }
    }
    const Result<double> focal = fieldNumber(fields.focal_distance);
    if (!focal.ok())
        return fail(focal.error());
    source.camera.focalDistance = focal.value();
    bool ok = false;
    source.camera.imageSize = fields.image_size->text().trimmed().toInt(&ok);
    if (!ok)
        return fail(QStringLiteral("%1 is not a whole number: \"%2\".")
                        .arg(fields.image_size->objectName(), fields.image_size->text()));
    return source;
}

}  // namespace


// ---- what the window shows -------------------------------------------------------------

void KalvexWindow::showPictureModels(bool pointLights)
{
    DeformImage* const labels[3] = {_form.imageLabel_x, _form.imageLabel_y, _form.imageLabel_z};
    for (int k = 0; k < 3; ++k) {
        DeformImage* label = labels[k];
        label->clear();
        // Pictures are drawn again during steps on a worker thread: the label
        // takes them in its own thread.
        auto show = [label](const QImage& rendering) {
            QMetaObject::invokeMethod(label, [label, rendering] { label->showRendering(rendering); }, Qt::AutoConnection);
        };
        if (pointLights) {
            _session.pictures().watchPicture(k, {});
            _session.pointLights().watchPicture(k, show);
        } else {
            _session.pointLights().watchPicture(k, {});
            _session.pictures().watchPicture(k, show);
        }
    }
}

// The point-light volume replaces the view's object with the camera kept; its
// comparisons, cell count and pictures go to the labels.
void KalvexWindow::showPerspective()
{
    const PointLights& design = _session.pointLights();
    const TriMesh* mesh = design.mesh();
    if (!mesh || mesh->faces.empty()) {
        _view->clearObjects();
    } else {
        const std::array<int, 3> cells = design.dimensions();
        _view->setVolumeDimensions(cells[0], cells[1], cells[2]);
        _view->setMeshCopy(*mesh, true, _mesh_centre, &_mesh_scale, X_PROJECTION, true);
    }
    _view->update();
    QLabel* const comparisons[3] = {_form.currentResultLabel_x, _form.currentResultLabel_y,
                                    _form.currentResultLabel_z};
    for (int k = 0; k < 3; ++k) {
        const QImage& comparison = design.comparison(k);
        if (comparison.isNull())
            comparisons[k]->clear();
        else
            comparisons[k]->setPixmap(
                QPixmap::fromImage(comparison.scaledToWidth(kLabelWidth, Qt::FastTransformation)));
    }
    const QString count = design.viewCount() ? QString::number(design.counts().cells) : QStringLiteral("--");
    _form.currentNofCells->setText(count);
    _form.projectionCells->setText(QStringLiteral("cells: ") + count);
}

// A new point-light design from `sources`, or from the built-in example when
// null. Nothing changes when a picture or camera is refused.
bool KalvexWindow::loadPerspective(const std::vector<PointLightView>* views)
{
    PointLights& design = _session.pointLights();
    if (!report(views ? design.load(*views, _session.cellSize()) : design.loadExample(_session.cellSize())))
        return false;
    showPictureModels(true);
    QLabel* const originals[3] = {_form.originalLabel_x, _form.originalLabel_y, _form.originalLabel_z};
    for (int k = 0; k < 3; ++k) {
        if (k < design.viewCount())
            originals[k]->setPixmap(QPixmap::fromImage(QImage(design.picturePath(k)).scaledToWidth(kLabelWidth)));
        else
            originals[k]->clear();
    }
    _form.perspective_ShowShadow->setEnabled(true);
    return true;
}

PointLightOptions KalvexWindow::perspectiveOptions() const
{
    PointLightOptions options;
    options.minSize = _form.fixImages_minSize->value();
    options.preserveShape = _form.preserve_shape_check->isChecked();
    return options;
}

// ---- workflow ---------------------------------------------------------------------------

void KalvexWindow::simple_perspectiveLoad_released()
{
    KalvexForm& f = _form;
    WaitCursor wait;
    for (QGroupBox* box : {f.gbx_simple_projection, f.gbx_simple_generate, f.gbx_simple_deform, f.gbx_simple_edit,
                           f.gbx_simple_finish})
        box->setEnabled(false);
    const int level = f.spn_simple_res->value();
    resetAll_released();
    _session.setCellSize(float(level));
    showCellSize();
    if (!loadPerspective(nullptr))
        return;
    perspective_ShowShadow_released();
    closeLightSources();
    f.simple_perspectiveLoad->setEnabled(false);
    f.simple_pers_nofIter->setEnabled(true);
    f.simple_perspectiveOpt->setEnabled(true);
}

void KalvexWindow::simple_perspectiveOpt_released()
{
    WaitCursor wait;
    QProgressBar* bar = _form.persp_progressIterate;
    bar->show();
    bar->reset();
    const Report status = _session.pointLights().optimize(_form.simple_pers_nofIter->value(), perspectiveOptions(),
                                                         [bar](int value) { bar->setValue(value); });
    bar->setValue(100);
    bar->hide();
    showPerspective();
    setStatus(status.ok() ? QStringLiteral("recomputed shadow mesh.") : status.error());
}

// ---- the perspective panel ----------------------------------------------------------------

void KalvexWindow::perspective_loadFromUI_released()
{
    WaitCursor wait;
    std::vector<PointLightView> sources;
    for (const PerspectiveViewFields& fields : _form.perspectiveView) {
        if (!fields.present->isChecked())
            continue;
        const Result<PointLightView> source = viewFromFields(fields);
        if (!source.ok()) {
            setStatus(source.error());
            return;
        }
        sources.push_back(source.value());
    }
    loadPerspective(&sources);
}

void KalvexWindow::perspective_lazy_released()
{
    WaitCursor wait;
    loadPerspective(nullptr);
}

void KalvexWindow::perspective_ShowShadow_released()
{
    WaitCursor wait;
    if (!report(_session.pointLights().show()))
        return;
    showPerspective();
    _form.perspective_saveMesh->setEnabled(true);
    _form.perspective_saveSmoothMesh->setEnabled(true);
}

void KalvexWindow::perspective_edit_released()
{
    WaitCursor wait;
    if (report(_session.pointLights().removeRandomCells()))
        showPerspective();
}

void KalvexWindow::perspective_saveMesh_released()
{
    WaitCursor wait;
    report(savePointLightMesh(_session, Presets::kModelImages));
}

void KalvexWindow::perspective_saveSmoothMesh_released()
{
    WaitCursor wait;
    if (_session.pointLights().viewCount() == 0) {
        setStatus(QStringLiteral("Load models first."));
        return;
    }
    setStatus(QStringLiteral("Reconstructing a smooth 3d mesh..."));
    const int position = _form.interpolationMode_triangulator->currentIndex();
    const bool listed = position >= LINEAR_INTERPOLATION && position <= CUBIC_BSPLINE_INTERPOLATION;
    report(savePointLightSmoothMesh(_session, Presets::kModelImages, listed ? position : CATMULL_ROM_INTERPOLATION,
                                    float(_form.isovalue_triangulator->value())));
}

void KalvexWindow::perspective_recompute_shadow_released()
{
    WaitCursor wait;
    if (report(_session.pointLights().recompute()))
        showPerspective();
}

void KalvexWindow::pers_adjustImages_released()
{
    WaitCursor wait;
    if (report(_session.pointLights().adjust(perspectiveOptions())))
        showPerspective();
}

void KalvexWindow::saveDeformedPersMeshes_released()
{
    WaitCursor wait;
    report(savePointLightPictures(_session, Presets::kModelImages));
}
