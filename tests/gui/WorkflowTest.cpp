// The main window after "generate": the later stages, the camera group and
// stored views, the display switches and keys, undo and redo, recompute,
// frame grabbing and the example dialog.

#include "WindowTestSupport.h"

#include "app/ExampleOpenDialog.h"
#include "render/SceneGLWidget.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QRadioButton>
#include <QSpinBox>

#include <cmath>

using namespace gui_test;

namespace {

bool sameMatrix(const SceneGLWidget::Matrix& a, const SceneGLWidget::Matrix& b)
{
    for (std::size_t i = 0; i < 16; ++i)
        if (std::fabs(a[i] - b[i]) > 1e-9)
            return false;
    return true;
}

// Lowest z layer holding an occupied cell, -1 for an empty volume.
int lowestOccupiedLayer(ShadowObject& master)
{
    for (int z = 0; z < master.sizeZ(); ++z)
        for (int y = 0; y < master.sizeY(); ++y)
            for (int x = 0; x < master.sizeX(); ++x)
                if (master.isOccupied({x, y, z}))
                    return z;
    return -1;
}

// Pixels that differ from the white background.
int drawnPixels(const QImage& frame)
{
    int drawn = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x) {
            const QRgb p = frame.pixel(x, y);
            drawn += (qRed(p) < 245 || qGreen(p) < 245 || qBlue(p) < 245) ? 1 : 0;
        }
    return drawn;
}

}  // namespace

class WorkflowTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void stagesThroughEditAndFilling()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("arrow"));
        {
            MessageBoxAnswer answer(QStringLiteral("Got It"));
            click(f.btn_readyToEdit);
            QCOMPARE(answer.count, 1);
            QCOMPARE(answer.title, QStringLiteral("Edit Mode"));
        }
        QVERIFY(!f.gbx_simple_deform->isEnabled());
        QVERIFY(f.gbx_simple_edit->isEnabled() && f.gbx_simple_finish->isEnabled());
        QVERIFY(f.gbx_camera_group->isEnabled() && !f.gbx_perspective->isEnabled());
        QCOMPARE(f.editToolboxRadius->value(), 3);
        QCOMPARE(w.master()->_edit_radius, 3);

        f.spn_simple_edit_radius->setValue(7);
        QCOMPARE(f.editToolboxRadius->value(), 7);
        QCOMPARE(w.master()->_edit_radius, 7);

        {
            MessageBoxAnswer answer(QStringLiteral("No"));
            click(f.btn_simple_fill_example_based);
            QCOMPARE(answer.title, QStringLiteral("Example based completion"));
        }
        QVERIFY(f.gbx_simple_edit->isEnabled());
        {
            MessageBoxAnswer answer(QStringLiteral("Yes"));
            click(f.btn_simple_fill_example_based);
            QCOMPARE(answer.count, 1);
        }
        QVERIFY(!f.gbx_simple_edit->isEnabled() && !f.gbx_simple_finish->isEnabled());
        QVERIFY(f.gbx_camera_group->isEnabled());
    }

    void cameraButtonsTurnTheView()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("birds"));
        const SceneGLWidget::Matrix alongX = w.view()->currentMatrix();
        click(f.simple_camera_y);
        const SceneGLWidget::Matrix alongY = w.view()->currentMatrix();
        QVERIFY(!sameMatrix(alongX, alongY));
        click(f.simple_camera_z);
        QVERIFY(!sameMatrix(alongY, w.view()->currentMatrix()));
        click(f.simple_camera_x);
        QVERIFY(sameMatrix(alongX, w.view()->currentMatrix()));
    }

    // Alt+1 stores the view; holding 1 shows it, releasing 1 returns.
    void storedViewsByKeys()
    {
        KalvexWindow& w = *_window;
        generatePreset(w, QStringLiteral("birds"));
        const SceneGLWidget::Matrix alongX = w.view()->currentMatrix();
        QTest::keyPress(&w, Qt::Key_1, Qt::AltModifier);
        QTest::keyRelease(&w, Qt::Key_1, Qt::AltModifier);
        QCOMPARE(status(w), QStringLiteral("Projection 1 saved."));
        click(w.form().simple_camera_y);
        const SceneGLWidget::Matrix alongY = w.view()->currentMatrix();
        QTest::keyPress(&w, Qt::Key_1);
        QVERIFY(sameMatrix(w.view()->currentMatrix(), alongX));
        QTest::keyRelease(&w, Qt::Key_1);
        QVERIFY(sameMatrix(w.view()->currentMatrix(), alongY));
    }

    // Without three views "animate" only shows its notice (the first time)
    // and checks the x camera; with them it plays and ends along x.
    void animateShowsItsNoticeOnce()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        f.simple_camera_y->setChecked(true);
        {
            MessageBoxAnswer answer(QStringLiteral("Got It"));
            w.simple_animate_released();
            QCOMPARE(answer.count, 1);
            QCOMPARE(answer.title, QStringLiteral("Animate"));
        }
        QVERIFY(f.simple_camera_x->isChecked());

        generatePreset(w, QStringLiteral("arrow"));
        const SceneGLWidget::Matrix alongX = w.view()->currentMatrix();
        f.animateSpinBox->setValue(15);
        click(f.simple_camera_z);
        QVERIFY(!sameMatrix(alongX, w.view()->currentMatrix()));
        MessageBoxAnswer none(QStringLiteral("Got It"));
        click(f.simple_animate);
        QCOMPARE(none.count, 0);
        QVERIFY(f.simple_camera_x->isChecked());
        QVERIFY(sameMatrix(alongX, w.view()->currentMatrix()));
    }

    void windowKeys()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        QTest::keyClick(&w, Qt::Key_F);
        QVERIFY(f.editToolboxDisplayFreeCells->isChecked());
        QCOMPARE(w.view()->renderFlags() & 1u, 1u);
        QTest::keyClick(&w, Qt::Key_D);
        QVERIFY(f.editToolboxDisplayDisconnectedCells->isChecked());
        QCOMPARE(w.view()->renderFlags() & 2u, 2u);
        QTest::keyClick(&w, Qt::Key_F);
        QCOMPARE(w.view()->renderFlags() & 1u, 0u);

        QTest::keyClick(&w, Qt::Key_A, Qt::ControlModifier);
        QVERIFY(f.actionShowAxis->isChecked());
        QTest::keyClick(&w, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(!f.actionCommonControl->isChecked());

        // No volume: undo only refreshes the history buttons.
        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(!f.editUndo->isEnabled() && !f.editRedo->isEnabled());

        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(w.exampleDialog()->isVisible());
        {
            MessageBoxAnswer answer(QStringLiteral("Got It"));
            QTest::keyClick(&w, Qt::Key_F1);
            QCOMPARE(answer.title, QStringLiteral("Kalvex"));
            QCOMPARE(answer.text, QStringLiteral("Kalvex: Fun with shadows"));
        }
    }

    void exampleDialogLoadsViews()
    {
        KalvexWindow& w = *_window;
        ExampleOpenDialog* dialog = w.exampleDialog();
        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        QVERIFY(dialog->findChild<QRadioButton*>(QStringLiteral("option_13"))->isChecked());
        QCOMPARE(dialog->findChild<QRadioButton*>(QStringLiteral("option_8"))->text(), QStringLiteral("graphics2"));
        dialog->findChild<QRadioButton*>(QStringLiteral("sixty"))->setChecked(true);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(status(w), QStringLiteral("Loaded three (hardcoded) projection images."));
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 4, 5}));
        QCOMPARE(w.viewObjects()[0]._source_path, QStringLiteral("./Models/Images/brennic_logo/a.png"));
        QVERIFY(w.form().computeShadowMesh_button->isEnabled());
        QVERIFY(w.form().y_proj_button->isHidden());

        // A key with no picture set changes nothing.
        QTest::keyClick(&w, Qt::Key_E, Qt::ControlModifier);
        dialog->findChild<QRadioButton*>(QStringLiteral("option_16"))->setChecked(true);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QCOMPARE(status(w), QStringLiteral("No example set named editdemo."));
        QCOMPARE(w.viewObjects().size(), std::size_t(3));
    }

    void hollowAndHighlightRebuildTheMesh()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("arrow"));
        QVERIFY(w.master()->_hollow);
        const int hollowCells = w.master()->_nof_mesh_cells;
        f.chkRenderHollow->setChecked(false);
        QVERIFY(!w.master()->_hollow);
        QCOMPARE(w.master()->_nof_mesh_cells, cellCount(w));
        QVERIFY(hollowCells < cellCount(w));
        QCOMPARE(w.view()->objectCount(), 1);

        QTest::keyClick(&w, Qt::Key_F);
        QCOMPARE(w.master()->_display_flags, 1);
        f.editToolboxRadius->setValue(9);
        QCOMPARE(w.master()->_edit_radius, 9);
        QTest::keyClick(&w, Qt::Key_D);
        QCOMPARE(w.master()->_display_flags, 3);
    }

    void undoAndRedoFollowTheHistory()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("arrow"));
        ShadowObject& master = *w.master();
        const int cells = cellCount(w);
        const int z = lowestOccupiedLayer(master);
        CellIndex cell{-1, -1, z};
        for (int y = 0; y < master.sizeY() && cell.x < 0; ++y)
            for (int x = 0; x < master.sizeX() && cell.x < 0; ++x)
                if (master.isOccupied({x, y, z}))
                    cell = {x, y, z};
        EditableShadowObject::Snapshot snapshot;
        master.takeSnapshot(snapshot);
        master.setOccupied(cell, false);
        master.recordEdit(snapshot);

        QTest::keyClick(&w, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(master.isOccupied(cell));
        QCOMPARE(f.currentNofCells->text(), QString::number(cells));
        QVERIFY(!f.editUndo->isEnabled() && f.editRedo->isEnabled());
        QTest::keyClick(&w, Qt::Key_Y, Qt::ControlModifier);
        QVERIFY(!master.isOccupied(cell));
        QCOMPARE(f.currentNofCells->text(), QString::number(cells - 1));
        QVERIFY(f.editUndo->isEnabled() && !f.editRedo->isEnabled());
    }

    void recomputeRebuildsFromTheDeformedPictures()
    {
        KalvexWindow& w = *_window;
        generatePreset(w, QStringLiteral("birds"));
        w.recompute_shadow_released();
        QCOMPARE(w.viewObjects().size(), std::size_t(3));
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 1, 2}));
        QVERIFY(cellCount(w) > 0);
        QCOMPARE(w.form().currentNofCells->text(), QString::number(cellCount(w)));
        QCOMPARE(w.master()->_source_views.front(), &w.viewObjects().front());
        QCOMPARE(status(w), QStringLiteral("Computed shadow mesh."));
    }

    void frameGrabbingWritesSlices()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("arrow"));
        const int low = lowestOccupiedLayer(*w.master());
        QVERIFY(low >= 0);
        f.spnMinSlice->setValue(low);
        f.spnMaxSlice->setValue(low + 2);
        w.grab_frames_released();
        const QString last = QStringLiteral("./Models/Images/frames_dump/grab_%1.png").arg(low + 1001);
        QCOMPARE(status(w), QStringLiteral("frame grabbing done. ") + last);
        for (int i = low; i < low + 2; ++i) {
            const QImage frame(QStringLiteral("./Models/Images/frames_dump/grab_%1.png").arg(i + 1000));
            QVERIFY(!frame.isNull());
            QVERIFY(drawnPixels(frame) > 0);
        }
        QVERIFY(!QFileInfo::exists(QStringLiteral("./Models/Images/frames_dump/grab_%1.png").arg(low + 1002)));
        QCOMPARE(f.spnMinSlice->value(), low);

        // A file where the folder should be: one clear line, nothing else.
        QVERIFY(QDir(QStringLiteral("./Models/Images/frames_dump")).removeRecursively());
        QFile blocker(QStringLiteral("./Models/Images/frames_dump"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        w.grab_frames_released();
        QCOMPARE(status(w), QStringLiteral("Cannot create folder ./Models/Images/frames_dump."));
        QVERIFY(blocker.remove());
    }
};

int main(int argc, char** argv)
{
    SceneGLWidget::setDefaultSurfaceFormat();
    QApplication application(argc, argv);
    WorkflowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WorkflowTest.moc"
