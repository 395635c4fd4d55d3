// Keys on the main window and the handlers only keys reach now that the menus
// are gone. Every key press, and every release the window does not use, goes
// on to the 3-D view.

#include "app/KalvexWindow.h"

#include "app/ExampleOpenDialog.h"
#include "app/WaitCursor.h"
#include "render/SceneGLWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QKeyEvent>

void KalvexWindow::keyPressEvent(QKeyEvent* event)
{
    _view->viewKeyPressEvent(event);
}

void KalvexWindow::keyReleaseEvent(QKeyEvent* event)
{
    if (!handleWindowKey(event))
        _view->viewKeyReleaseEvent(event);
}

// The window's own keys act on release; a held key's repeats are left to the view.
bool KalvexWindow::handleWindowKey(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return false;
    const KalvexForm& f = _form;
    if (event->key() == Qt::Key_F1) {
        f.actionAbout->trigger();
        return true;
    }
    if (event->modifiers() & Qt::ControlModifier) {
        switch (event->key()) {
        case Qt::Key_A: f.actionShowAxis->toggle(); return true;
        case Qt::Key_B: f.actionShowBBoxAndGrid->toggle(); return true;
        case Qt::Key_C: f.actionCommonControl->toggle(); return true;
        case Qt::Key_E: _example_dialog->show(); return true;
        case Qt::Key_O: f.actionOpenScene->trigger(); return true;
        case Qt::Key_S: f.actionSaveScene->trigger(); return true;
        case Qt::Key_R:
            _view->reloadShaders();
            _view->update();
            return true;
        case Qt::Key_Y: editRedo_released(); return true;
        case Qt::Key_Z: editUndo_released(); return true;
        default: return false;
        }
    }
    switch (event->key()) {
    case Qt::Key_D: f.editToolboxDisplayDisconnectedCells->toggle(); return true;
    case Qt::Key_F: f.editToolboxDisplayFreeCells->toggle(); return true;
    case Qt::Key_M: action_openMesh_slot(); return true;
    default: return false;
    }
}

void KalvexWindow::actionAbout_slot()
{
    showNotice(QStringLiteral("Kalvex"), QStringLiteral("Kalvex: Fun with shadows"));
}

void KalvexWindow::action_openMesh_slot()
{
    const QString fileName = QFileDialog::getOpenFileName(this, QStringLiteral("Open Mesh File"), Presets::kModelImages,
                                                          QStringLiteral("Obj/Off/Ply/Asc (*.obj *off *ply *asc)"));
    if (fileName.isEmpty())
        return;
    WaitCursor wait;
    if (_view->loadMeshFile(fileName))
        setStatus(QStringLiteral("Loaded") + fileName + QStringLiteral("."));
    else
        setStatus(QStringLiteral("Couldn't load") + fileName + QStringLiteral("."));
    _view->update();
}
