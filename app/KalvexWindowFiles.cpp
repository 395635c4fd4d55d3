// The main window's files: scene files (Ctrl+S, Ctrl+O, with the six
// companion pictures shown in the picture labels) and the result files of the
// hidden save panel.

#include "app/KalvexWindow.h"

#include "app/DeformImage.h"
#include "app/WaitCursor.h"
#include "files/ResultFiles.h"
#include "files/SceneFiles.h"
#include "render/SceneGLWidget.h"
#include "surface/MeshWriters.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const QString kScenes = QStringLiteral("./Scenes");
const QString kSceneFilter = QStringLiteral("Kalvex Scene(*.kxscene)");

}  // namespace

void KalvexWindow::actionSaveScene_slot()
{
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Save Scene"), kScenes, kSceneFilter);
    if (path.isEmpty()) {
        setStatus(QStringLiteral("Error: could not save") + path + QStringLiteral("."));
        return;
    }
    saveSceneTo(path);
}

// The pictures as loaded and as deformed, as the picture labels show them.
ScenePictures KalvexWindow::shownPictures() const
{
    const KalvexForm& f = _form;
    QLabel* const labels[6] = {f.originalLabel_x, f.originalLabel_y, f.originalLabel_z,
                               f.imageLabel_x,    f.imageLabel_y,    f.imageLabel_z};
    ScenePictures pictures;
    for (int k = 0; k < 6; ++k)
        pictures[std::size_t(k)] = labels[k]->pixmap().toImage();
    return pictures;
}

void KalvexWindow::saveSceneTo(const QString& path)
{
    WaitCursor wait;
    report(saveScene(_session, path, shownPictures()));
}

void KalvexWindow::actionOpenScene_slot()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Scene"), kScenes, kSceneFilter);
    if (!path.isEmpty())
        openSceneFrom(path);
}

// The opened volume can be looked at and carved: the camera, edit and
// finishing groups are enabled. It has no pictures behind it.
void KalvexWindow::openSceneFrom(const QString& path)
{
    WaitCursor wait;
    KalvexForm& f = _form;
    ScenePictures pictures;
    if (!report(openScene(_session, path, &pictures)))
        return;
    clearPictures();
    showCellSize();
    _form.voxelResolution_edit->setText(QString::number(_session.cellSize(), 'g', 6));
    f.selectNextLayer->setEnabled(true);
    f.computeShadowMesh_button->setEnabled(true);
    showVolume();
    selected_camera_view();
    resetSliceRange();
    f.saveMesh_button->setEnabled(true);
    QLabel* const labels[6] = {f.originalLabel_x, f.originalLabel_y, f.originalLabel_z,
                               f.imageLabel_x,    f.imageLabel_y,    f.imageLabel_z};
    for (int k = 0; k < 6; ++k)
        if (!pictures[std::size_t(k)].isNull())
            labels[k]->setPixmap(QPixmap::fromImage(pictures[std::size_t(k)].scaledToWidth(200)));
    f.deform_panel->hide();
    f.saveLC_resultImages->setEnabled(true);
    for (QGroupBox* group : {f.gbx_camera_group, f.gbx_simple_edit, f.gbx_simple_finish})
        group->setEnabled(true);
    f.gbx_simple_deform->setEnabled(false);
    setStatus(QStringLiteral("all set."));
}

// ---- result files ----------------------------------------------------------------------

void KalvexWindow::saveCurrentTestResults_released()
{
    WaitCursor wait;
    report(saveTestPictures(_session, Presets::kModelImages));
}

void KalvexWindow::saveLC_resultImages_released()
{
    WaitCursor wait;
    report(saveResultPictures(_session, Presets::kModelImages));
}

void KalvexWindow::saveState_released()
{
    WaitCursor wait;
    report(saveResultMeshes(_session, Presets::kModelImages));
}

void KalvexWindow::loadAndCompute_shadowMesh_released()
{
    WaitCursor wait;
    std::array<QImage, 3> pictures;
    if (!report(loadAndCompute(_session, Presets::kModelImages, &pictures)))
        return;
    DeformImage* const labels[3] = {_form.imageLabel_x, _form.imageLabel_y, _form.imageLabel_z};
    for (int k = 0; k < 3; ++k)
        labels[k]->setPixmap(QPixmap::fromImage(pictures[std::size_t(k)].scaledToWidth(200)));
    showVolume();
}

void KalvexWindow::saveMeshBoundary_ps_released()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("planar mesh bdy -> ps"),
                                                      Presets::kModelImages + QStringLiteral("/Images/"),
                                                      QStringLiteral("Obj (*.obj)"));
    if (path.isEmpty())
        return;
    WaitCursor wait;
    const Result<QString> written = saveMeshBoundary(path);
    if (!written.ok())
        setStatus(written.error());
    else
        setStatus(QStringLiteral("saveMeshBoundary_ps_released: ") + written.value() + QStringLiteral("."));
}
