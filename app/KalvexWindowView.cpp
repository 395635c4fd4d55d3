// The main window's 3-D view: the walls with the shadows of the volume shown,
// kept in step with every volume the view is given, and the view saved as a
// picture of any size.

#include "app/KalvexWindow.h"

#include "app/FormWidgets.h"
#include "app/WaitCursor.h"
#include "render/SceneGLWidget.h"
#include "session/ShadowWalls.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QPushButton>
#include <QSpinBox>

namespace {

constexpr int kMaxPictureSide = 8192;

}  // namespace

// Every mesh the view takes (a new volume, an edit, undo and redo, an opened
// scene, the point-light volume) brings the walls up to date.
void KalvexWindow::connectSceneView()
{
    connect(_view, &SceneGLWidget::objectsChanged, this, &KalvexWindow::showShadows);
    connect(_form.chkShowShadows, &QCheckBox::toggled, this, &KalvexWindow::showShadows);
    connect(_form.btn_save_view_picture, &QPushButton::released, this,
            &KalvexWindow::btn_save_view_picture_released);
}

// The shadows of the directional-light volume when there is one, else those
// of the point-light volume; in the frame the view gave the volume's mesh.
void KalvexWindow::showShadows()
{
    std::vector<ShadowWall> walls;
    if (_form.chkShowShadows->isChecked() && _view->objectCount() > 0)
        walls = shadowWallsOf(_session);
    ShadowWalls::toSceneUnits(walls, point(_mesh_centre[0], _mesh_centre[1], _mesh_centre[2]), _mesh_scale);
    _view->setShadowWalls(std::move(walls));
}

void KalvexWindow::btn_save_view_picture_released()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("saveViewPictureDialog"));
    dialog.setWindowTitle(QStringLiteral("Save view as picture"));
    auto* layout = new QFormLayout(&dialog);
    const QString pixels = QStringLiteral(" px");
    QSpinBox* width = FormWidgets::spin(&dialog, "spnPictureWidth", 16, kMaxPictureSide,
                                        std::min(2 * _view->width(), kMaxPictureSide), pixels);
    QSpinBox* height = FormWidgets::spin(&dialog, "spnPictureHeight", 16, kMaxPictureSide,
                                         std::min(2 * _view->height(), kMaxPictureSide), pixels);
    layout->addRow(QStringLiteral("width:"), width);
    layout->addRow(QStringLiteral("height:"), height);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addRow(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Save View as Picture"),
                                     Presets::kModelImages + QStringLiteral("/view.png"),
                                     QStringLiteral("PNG picture (*.png)"));
    if (!path.isEmpty())
        saveViewPictureTo(QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".png") : path,
                          QSize(width->value(), height->value()));
}

// Drawn offscreen at the size asked for; the view on screen stays as it is.
void KalvexWindow::saveViewPictureTo(const QString& path, const QSize& size)
{
    WaitCursor wait;
    const QImage picture = _view->renderPicture(size);
    if (picture.isNull()) {
        setStatus(QStringLiteral("Cannot draw the view at %1 x %2 pixels.").arg(size.width()).arg(size.height()));
        return;
    }
    if (!picture.save(path, "PNG")) {
        setStatus(QStringLiteral("Cannot write %1.").arg(path));
        return;
    }
    setStatus(QStringLiteral("View saved as %1 (%2 x %3 pixels).").arg(path).arg(size.width()).arg(size.height()));
}
