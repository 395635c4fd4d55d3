// The main window's recovery copy: a snapshot of the design after every step
// that changes it, written in the background; the offer to bring it back at
// start-up when the last session did not end normally.

#include "app/KalvexWindow.h"

#include "app/DeformImage.h"
#include "files/Recovery.h"
#include "render/SceneGLWidget.h"

#include <QTimer>
#include <QGroupBox>
#include <QJsonArray>
#include <QLabel>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>

namespace {

// The workflow groups whose enabled state makes the stage, in this order.
std::vector<QGroupBox*> stageGroups(const KalvexForm& f)
{
    return {f.gbx_simple_projection, f.gbx_simple_generate, f.gbx_simple_deform, f.gbx_simple_edit,
            f.gbx_simple_finish,     f.gbx_camera_group,    f.gbx_perspective};
}

}  // namespace

QJsonObject KalvexWindow::stageRecord() const
{
    const KalvexForm& f = _form;
    QJsonArray groups;
    for (QGroupBox* group : stageGroups(f))
        groups.append(group->isEnabled());
    QJsonObject stage;
    stage[QStringLiteral("groups")] = groups;
    stage[QStringLiteral("level")] = f.spn_simple_res->value();
    stage[QStringLiteral("fill")] = f.btn_simple_fill_example_based->isEnabled();
    stage[QStringLiteral("export")] = f.btn_simple_export_print->isEnabled();
    return stage;
}

// The snapshot is taken once the handler that changed the design has
// finished, so that it holds the stage the handler ends in.
void KalvexWindow::designChanged()
{
    if (_snapshot_pending)
        return;
    _snapshot_pending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            _snapshot_pending = false;
            if (_busy) {  // a step runs on the worker thread: the snapshot waits for it
                QTimer::singleShot(20, this, &KalvexWindow::designChanged);
                return;
            }
            if (std::optional<DesignSnapshot> snapshot = snapshotOf(_session, shownPictures(), stageRecord()))
                _recovery->submit(std::move(*snapshot));
        },
        Qt::QueuedConnection);
}

// Asked once the window is up: a copy left behind means the last session
// ended without cleaning up.
void KalvexWindow::offerRecovery()
{
    if (_busy) {
        QTimer::singleShot(20, this, &KalvexWindow::offerRecovery);
        return;
    }
    if (!_recovery->keepsCopy()) {  // the copy there is another window's live design
        setStatus(QStringLiteral("Another Kalvex window is open: this one keeps no recovery copy."));
        return;
    }
    const QString folder = _recovery->folder();
    if (!recoveryExists(folder))
        return;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Kalvex"),
                    QStringLiteral("Restore the design from your last session?"), QMessageBox::NoButton, this);
    QPushButton* restore = box.addButton(QStringLiteral("Restore"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Discard"), QMessageBox::RejectRole);
    box.exec();
    if (box.clickedButton() != restore) {
        removeRecovery(folder);
        return;
    }
    const Result<DesignSnapshot> read = readRecovery(folder);
    if (!read.ok()) {
        removeRecovery(folder);
        setStatus(read.error() + QStringLiteral(" The recovery copy was discarded."));
        return;
    }
    restoreFromSnapshot(read.value());
}

void KalvexWindow::restoreFromSnapshot(const DesignSnapshot& snapshot)
{
    const Report restored = restoreDesign(_session, snapshot);
    if (!restored.ok()) {
        removeRecovery(_recovery->folder());
        setStatus(restored.error() + QStringLiteral(" The recovery copy was discarded."));
        return;
    }
    KalvexForm& f = _form;
    closeLightSources();
    const int set = _session.pictures().projectionSet();
    if (set >= 0) {
        hideUnusedProjectionButtons(set);
        showCameraButtons(set);
    }
    clearPictures();
    QLabel* const labels[6] = {f.originalLabel_x, f.originalLabel_y, f.originalLabel_z,
                               f.imageLabel_x,    f.imageLabel_y,    f.imageLabel_z};
    for (int k = 0; k < 6; ++k)
        if (!snapshot.pictures[std::size_t(k)].isNull())
            labels[k]->setPixmap(QPixmap::fromImage(snapshot.pictures[std::size_t(k)]));
    if (_session.pictures().picturesDeform())
        showPictureModels(false);
    const QJsonObject stage = snapshot.record;
    const QJsonArray groups = stage.value(QStringLiteral("groups")).toArray();
    const std::vector<QGroupBox*> boxes = stageGroups(f);
    for (std::size_t k = 0; k < boxes.size() && k < std::size_t(groups.size()); ++k)
        boxes[k]->setEnabled(groups[qsizetype(k)].toBool());
    f.btn_simple_fill_example_based->setEnabled(stage.value(QStringLiteral("fill")).toBool());
    f.btn_simple_export_print->setEnabled(stage.value(QStringLiteral("export")).toBool());
    if (const int level = stage.value(QStringLiteral("level")).toInt(); level > 0)
        f.spn_simple_res->setValue(level);
    showCellSize();
    f.computeShadowMesh_button->setEnabled(true);
    f.saveMesh_button->setEnabled(true);
    showVolume();
    selected_camera_view();
    resetSliceRange();
    setStatus(lineOf(restored));
}
