// The main window after "generate": the later stages, the camera group and
// stored views, the highlight keys, the edit tools with undo and redo, scene
// files, the example dialog, and the hidden experiment and quick set-up.

#include "WindowTestSupport.h"

#include "app/ExampleOpenDialog.h"
#include "render/VoxelRenderObject.h"

#include <QAction>
#include <QRegularExpression>
#include <QToolButton>

using namespace gui_test;

class WorkflowTest : public WindowTestCase {
    Q_OBJECT

    // The occupancy of every cell.
    EditableShadowObject::Snapshot occupancy() const
    {
        EditableShadowObject::Snapshot cells;
        _window->master()->takeSnapshot(cells);
        return cells;
    }

    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(_window.get(), key, modifiers);
    }

private slots:
    void stagesThroughEditAndFilling()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("arrow"));
        QCOMPARE(answerMessageBoxes(QStringLiteral("Got It"), [&] { click(f.btn_readyToEdit); }),
                 QStringList{"Edit Mode"});
        QCOMPARE(status(), QStringLiteral("4 database model(s) loaded."));
        QCOMPARE(stages(), (QList<bool>{false, false, false, true, true, true, false}));
        f.spn_simple_edit_radius->setValue(7);
        QCOMPARE(f.editToolboxRadius->value(), 7);
        QCOMPARE(_window->master()->editRadius(), 7);

        QCOMPARE(answerMessageBoxes(QStringLiteral("No"), [&] { click(f.btn_simple_fill_example_based); }),
                 QStringList{"Example based completion"});
        QVERIFY(f.gbx_simple_edit->isEnabled());
        const int cells = cellCount();
        QCOMPARE(answerMessageBoxes(QStringLiteral("Yes"), [&] { click(f.btn_simple_fill_example_based); }).size(), 1);
        QCOMPARE(status(), QStringLiteral("sculpture computed."));
        QCOMPARE(stages(), (QList<bool>{false, false, false, false, true, true, false}));
        QVERIFY(!f.btn_simple_fill_example_based->isEnabled() && f.btn_simple_export_print->isEnabled());
        QCOMPARE(cellCount(), cells);  // the volume stays

        // The view shows the merged models, which the example panel refines and saves.
        const TriMesh* sculpture = _window->session().filling().sculpture();
        QVERIFY(sculpture && !sculpture->faces.empty());
        auto shownVertices = [&] {
            const SceneGLWidget* view = _window->view();
            return view->renderObject(view->objectCount() - 1)->mesh()->vertices.size();
        };
        QCOMPARE(shownVertices(), sculpture->vertices.size());
        QVERIFY(f.exampleBased_ICPrefine->isEnabled());
        f.exampleBased_ICPrefine->click();
        QCOMPARE(status(), QStringLiteral("icp refined."));
        QCOMPARE(shownVertices(), _window->session().filling().sculpture()->vertices.size());
        f.exampleBased_saveSculptureMesh->click();
        QCOMPARE(status(), QStringLiteral("saved separate files as ./Models/Images/exampleBasedResults/output.obj"));
        QVERIFY(QFile::exists(QStringLiteral("./Models/Images/exampleBasedResults/output100.obj")));
        f.exampleBased_savePovScene->click();
        QCOMPARE(status(), QStringLiteral("scene saved to ./Models/Images/current_scene.pov"));
        QVERIFY(QFileInfo(QStringLiteral("./Models/Images/current_scene_mesh.pov")).size() > 0);
    }

    // The camera buttons turn the view. Alt+1 stores it; holding 1 shows it
    // (auto-repeated releases do not end that) and releasing 1 returns.
    void cameraButtonsAndStoredViews()
    {
        KalvexWindow* w = _window.get();
        generate(QStringLiteral("birds"));
        const SceneGLWidget::Matrix alongX = viewMatrix();
        QTest::keyPress(w, Qt::Key_1, Qt::AltModifier);
        QTest::keyRelease(w, Qt::Key_1, Qt::AltModifier);
        QCOMPARE(status(), QStringLiteral("Projection 1 saved."));
        click(form().simple_camera_y);
        const SceneGLWidget::Matrix alongY = viewMatrix();
        QVERIFY(!nearlyEqual(alongX, alongY));
        click(form().simple_camera_z);
        const SceneGLWidget::Matrix alongZ = viewMatrix();
        QVERIFY(!nearlyEqual(alongY, alongZ));

        QTest::keyPress(w, Qt::Key_1);
        QCOMPARE(viewMatrix(), alongX);
        QKeyEvent repeated(QEvent::KeyRelease, Qt::Key_1, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(w, &repeated);
        QCOMPARE(viewMatrix(), alongX);
        QTest::keyRelease(w, Qt::Key_1);
        QCOMPARE(viewMatrix(), alongZ);
        // A slot never stored does nothing, held or released.
        QTest::keyClick(w, Qt::Key_3);
        QCOMPARE(viewMatrix(), alongZ);
        click(form().simple_camera_x);
        QCOMPARE(viewMatrix(), alongX);
    }

    // Without three views "animate" only shows its notice (the first time)
    // and checks the x camera; with them it plays and ends along x.
    void animateShowsItsNoticeOnce()
    {
        const KalvexForm& f = form();
        key(Qt::Key_Z, Qt::ControlModifier);  // no volume: undo only refreshes the history buttons
        QVERIFY(!f.editUndo->isEnabled() && !f.editRedo->isEnabled());
        f.simple_camera_y->setChecked(true);
        QCOMPARE(answerMessageBoxes(QStringLiteral("Got It"), [&] { _window->simple_animate_released(); }),
                 QStringList{"Animate"});
        QVERIFY(f.simple_camera_x->isChecked());

        generate(QStringLiteral("arrow"));
        const SceneGLWidget::Matrix alongX = viewMatrix();
        f.animateSpinBox->setValue(15);
        click(f.simple_camera_z);
        QVERIFY(!nearlyEqual(alongX, viewMatrix()));
        QVERIFY(answerMessageBoxes(QStringLiteral("Got It"), [&] { click(f.simple_animate); }).isEmpty());
        QVERIFY(f.simple_camera_x->isChecked());
        QVERIFY(nearlyEqual(alongX, viewMatrix()));
    }

    void exampleDialogLoadsViews()
    {
        ExampleOpenDialog* dialog = _window->exampleDialog();
        auto radio = [&](const char* name) { return dialog->findChild<QRadioButton*>(QString::fromLatin1(name)); };
        key(Qt::Key_E, Qt::ControlModifier);
        QVERIFY(dialog->isVisible() && radio("option_13")->isChecked());
        radio("sixty")->setChecked(true);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QVERIFY(!dialog->isVisible());
        QCOMPARE(status(), QStringLiteral("Loaded three (hardcoded) projection images."));
        QCOMPARE(viewModes(), (QList<int>{0, 4, 5}));
        QCOMPARE(_window->viewObjects()[0]._source_path, QStringLiteral("./Models/Images/brennic_logo/a.png"));
        // "generate" builds from the pictures loaded last.
        QVERIFY(form().radioButton_2->isChecked());
        click(form().btn_simple_generate_volume);
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        QCOMPARE(_window->viewObjects()[0]._source_path, QStringLiteral("./Models/Images/brennic_logo/a.png"));

        // "editdemo" names no pictures: three views without any, whose volume
        // is empty; the steps after it run on that and "generate" still
        // builds from the pictures chosen before.
        key(Qt::Key_E, Qt::ControlModifier);
        radio("option_16")->setChecked(true);
        radio("orthogonal")->setChecked(true);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QCOMPARE(status(), QStringLiteral("Loaded three (hardcoded) projection images."));
        QCOMPARE(viewModes(), (QList<int>{0, 1, 2}));
        QVERIFY(_window->viewObjects()[2]._source_path.isEmpty());
        QVERIFY(!_window->master() && form().computeShadowMesh_button->isEnabled());
        _window->shadow_computeShadowMesh_released();
        QCOMPARE(status(), QStringLiteral("intersection volume empty (please reposition images)."));
        QCOMPARE(cellCount(), 0);
        _window->adjustImages_released();
        _window->optimize_released();
        _window->shadow_selectNextLayer_released();
        _window->shadow_selectNextLayer_released();
        _window->finalizeOptimization_released();
        _window->recompute_shadow_released();
        _window->edit_autoConnect_released();
        key(Qt::Key_Z, Qt::ControlModifier);
        _window->deformImages_released();
        QCOMPARE(cellCount(), 0);
        _window->btn_simple_generate_volume_released();
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        QCOMPARE(_window->viewObjects()[0]._source_path, QStringLiteral("./Models/Images/brennic_logo/a.png"));
    }

    // Undo and redo act only while the volume has its views: after the
    // clean-up the history stays with the volume but the keys leave it be.
    void undoAndRedoNeedViews()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("arrow"));
        const int generated = cellCount();
        f.edit_removeRandomBalls->click();
        const int edited = cellCount();
        QVERIFY(edited < generated && f.editUndo->isEnabled());
        key(Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(cellCount(), generated);
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(cellCount(), edited);

        f.edit_cleanUp->click();
        QVERIFY(_window->viewObjects().empty() && _window->session().volume().canUndo());
        QVERIFY(!f.editUndo->isEnabled() && !f.editRedo->isEnabled());
        key(Qt::Key_Z, Qt::ControlModifier);
        f.editUndo->click();
        QCOMPARE(cellCount(), edited);
        QVERIFY(!f.editUndo->isEnabled());
    }

    // The hidden "Deform Images" runs one more adjustment pass; the example
    // panel's quick set-up builds a volume from two pictures and loads the models.
    void experimentAndQuickSetUp()
    {
        const KalvexForm& f = form();
        QVERIFY(!f.deformImages->isEnabled());  // the start-up pictures have no volume yet
        generate(QStringLiteral("birds"));
        QVERIFY(f.deformImages->isEnabled());
        f.deformImages->click();
        QCOMPARE(status(), QStringLiteral("Subroutine deformImages testing ...."));
        QCOMPARE(_window->session().counts().optimizePasses, 1);
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount()));

        f.exampleBased_lazyLoad->click();
        QCOMPARE(status(), QStringLiteral("Scene setup!"));
        QCOMPARE(viewModes(), (QList<int>{0, 1}));
        QCOMPARE(_window->viewObjects()[1]._source_path, QStringLiteral("./Models/Images/trask.png"));
        QVERIFY(cellCount() > 0);
        QCOMPARE(_window->session().filling().modelCount(), 4);
        QVERIFY(f.exampleBased_computeSculpture->isEnabled());
    }

    // The mesh shown holds only the cells not completely hidden; F and D
    // switch the highlights of free and disconnected cells.
    void hollowMeshAndHighlightKeys()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("arrow"));
        QVERIFY(_window->master()->meshCellCount() < cellCount());
        const std::pair<Qt::Key, int> presses[] = {{Qt::Key_F, 1}, {Qt::Key_D, 3}, {Qt::Key_F, 2}};
        for (const auto& [pressed, flags] : presses) {
            key(pressed);
            QCOMPARE(_window->master()->displayFlags(), flags);
            QCOMPARE(_window->view()->renderFlags(), unsigned(flags));
        }
        QVERIFY(!f.editToolboxDisplayFreeCells->isChecked() && f.editToolboxDisplayDisconnectedCells->isChecked());
    }

    // In the edit stage a Shift-press on the volume applies the chosen tool
    // along the ray under the pointer (the count in the status line is what
    // changed; erosion counts its steps); a press on the background does
    // nothing; Ctrl+Z and Ctrl+Y step through the edits.
    void shiftPressAppliesEachTool()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("birds"));
        answerMessageBoxes(QStringLiteral("Got It"), [&] { click(f.btn_readyToEdit); });
        SceneGLWidget* view = _window->view();
        auto shiftPress = [&](QPoint at) {
            view->grabFramebuffer();  // the picture whose depth the pick reads
            QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
            QTest::mousePress(view, Qt::LeftButton, Qt::ShiftModifier, at);
            QTest::mouseRelease(view, Qt::LeftButton, Qt::ShiftModifier, at);
            QTest::keyRelease(view, Qt::Key_Shift);
        };
        const std::pair<QToolButton*, const char*> tools[] = {{f.btn_simple_edit_brush_sub, "removed"},
                                                              {f.btn_simple_edit_brush_erode, "removed"},
                                                              {f.btn_simple_edit_brush_add, "added"},
                                                              {f.btn_simple_edit_ray, "removed"}};
        for (const auto& [tool, change] : tools) {
            click(tool);
            if (tool == f.btn_simple_edit_ray) {
                // All or nothing: along a view axis the last cell of the ray must stay.
                shiftPress(view->rect().center());
                QCOMPARE(status(), QStringLiteral("0 cell(s) removed."));
                click(f.chk_simple_completeOnly);
                QVERIFY(!f.remove_complete_rays_only->isChecked());
            }
            const int before = cellCount();
            shiftPress(view->rect().center());
            const QRegularExpression line(QStringLiteral("^(\\d+) cell\\(s\\) %1\\.$").arg(QLatin1String(change)));
            const QRegularExpressionMatch match = line.match(status());
            QVERIFY2(match.hasMatch(), qPrintable(status()));
            QVERIFY2(cellCount() != before, qPrintable(tool->objectName()));
            if (tool != f.btn_simple_edit_brush_erode)
                QCOMPARE(std::abs(cellCount() - before), match.captured(1).toInt());
            QCOMPARE(f.currentNofCells->text(), QString::number(cellCount()));
        }
        const QString line = status();
        const int edited = cellCount();
        shiftPress(QPoint(3, 3));
        QCOMPARE(status(), line);
        QCOMPARE(cellCount(), edited);

        key(Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(cellCount() > edited);  // the ray's cells are back
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount()));
        QVERIFY(f.editUndo->isEnabled() && f.editRedo->isEnabled());
        key(Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(cellCount(), edited);
        QVERIFY(f.editUndo->isEnabled() && !f.editRedo->isEnabled());
    }

    // Ctrl+S writes the volume and its pictures, a reset clears the board, and
    // Ctrl+O brings back the same volume, ready for editing.
    void sceneFilesRoundTrip()
    {
        generate(QStringLiteral("arrow"));
        QVERIFY(QDir().mkpath(QStringLiteral("./Scenes")));
        const QString path = QDir::current().absoluteFilePath(QStringLiteral("Scenes/arrow.v1.kxscene"));
        answerFileDialog(path, [&] { key(Qt::Key_S, Qt::ControlModifier); });
        QCOMPARE(status(), QStringLiteral("Saved") + path + QStringLiteral("."));
        QVERIFY(QFileInfo::exists(QDir::current().absoluteFilePath(QStringLiteral("Scenes/arrow.v1_imgz.png"))));
        const EditableShadowObject::Snapshot cells = occupancy();

        _window->resetAll_released();
        QVERIFY(!_window->master());
        answerFileDialog(path, [&] { key(Qt::Key_O, Qt::ControlModifier); });
        QCOMPARE(status(), QStringLiteral("all set."));
        QVERIFY(_window->master() && occupancy() == cells);
        QCOMPARE(_window->view()->objectCount(), 1);
        QVERIFY(!form().originalLabel_z->pixmap().isNull());
        QVERIFY(form().gbx_simple_edit->isEnabled());

        // A file that is not a scene: one line, the volume stays.
        QFile bad(QStringLiteral("./Scenes/bad.kxscene"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a scene") > 0);
        bad.close();
        _window->openSceneFrom(bad.fileName());
        QVERIFY(status().startsWith(QStringLiteral("The scene file")));
        QVERIFY(occupancy() == cells);
    }
};

QTEST_MAIN(WorkflowTest)
#include "WorkflowTest.moc"
