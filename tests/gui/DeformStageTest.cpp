// The main window's deformation stage with real clicks: "optimize", the
// resolution increase, "Select Next Layer", "Adjust Images" and finalisation.

#include "WindowTestSupport.h"

#include "deform/Comparison.h"
#include "render/SceneGLWidget.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>

using namespace gui_test;

namespace {

// Orange (missing) pixels of the three comparison labels.
int missingShown(const KalvexWindow& window)
{
    const KalvexForm& f = window.form();
    int missing = 0;
    for (QLabel* label : {f.currentResultLabel_x, f.currentResultLabel_y, f.currentResultLabel_z})
        missing += countComparison(label->pixmap().toImage()).missing;
    return missing;
}

}  // namespace

class DeformStageTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void optimizeLowersTheMissingPixels()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("birds"));
        QCOMPARE(status(w), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(f.gbx_simple_deform->isEnabled());
        // "generate" shows the comparisons of every view of set 0.
        const int before = missingShown(w);
        QVERIFY(before > 0);

        f.simple_iterateCount->setValue(2);
        click(f.btn_simple_deform_iterate);
        QVERIFY(f.simple_progressBar->isHidden());
        QCOMPARE(f.simple_progressBar->value(), 100);
        QVERIFY(w.master());
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount(w)));
        QVERIFY(missingShown(w) < before);
        // The workflow's "preserve shape" (off) was copied into the deformation's switch.
        QVERIFY(!f.preserve_shape_check->isChecked());
    }

    void adjustImagesDisablesItselfUntilTheNextCompute()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("birds"));
        QVERIFY(f.adjustImages->isEnabled());
        f.fixImages_loopCount->setValue(5);
        w.adjustImages_released();
        QCOMPARE(status(w), QStringLiteral("Optimized images."));
        QVERIFY(!f.adjustImages->isEnabled());
        QVERIFY(f.saveCurrentTestResults->isEnabled());
        // Five steps over the views in turn end on view 1 (Y).
        QVERIFY(f.y_proj_button->isChecked());
        w.shadow_computeShadowMesh_released();
        QVERIFY(f.adjustImages->isEnabled());
    }

    void increaseResolutionStopsAtTheFinestLevel()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        f.spn_simple_res->setValue(5);
        generatePreset(w, QStringLiteral("arrow"));
        QCOMPARE(w.master()->resolution(), 50);
        click(f.btn_simple_increase_res);
        QCOMPARE(f.spn_simple_res->value(), 4);
        QCOMPARE(f.voxelResolution_edit->text(), QStringLiteral("4"));
        QCOMPARE(w.master()->resolution(), 62);
        QCOMPARE(f.spnMaxSlice->value(), 62);
        click(f.btn_simple_increase_res);
        QCOMPARE(w.master()->resolution(), 83);
        ShadowObject* finest = w.master();
        click(f.btn_simple_increase_res);  // level 3 is the finest: nothing happens
        QCOMPARE(f.spn_simple_res->value(), 3);
        QCOMPARE(w.master(), finest);
    }

    void expertIncreaseResolutionHasAFloor()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("arrow"));
        f.voxelResolution_edit->setText(QStringLiteral("2"));
        w.increaseResolution_released();
        QCOMPARE(f.voxelResolution_edit->text(), QStringLiteral("1.5"));
        QCOMPARE(w.master()->resolution(), 166);
        w.increaseResolution_released();
        QCOMPARE(f.voxelResolution_edit->text(), QStringLiteral("1.5"));
    }

    void selectNextLayerBuildsThenAddsGreedyLayers()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("birds"));
        const int hull = cellCount(w);
        w.shadow_selectNextLayer_released();
        QCOMPARE(status(w), QStringLiteral("Master volume computed."));
        QCOMPARE(cellCount(w), hull);
        w.shadow_selectNextLayer_released();
        QCOMPARE(status(w), QStringLiteral("Performed 4 greedy step(s)."));
        QVERIFY(cellCount(w) > hull);
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount(w)));
        QVERIFY(f.saveMesh_button->isEnabled());
        // A recompute returns to the first press: the master is built again.
        w.recompute_shadow_released();
        w.shadow_selectNextLayer_released();
        QCOMPARE(status(w), QStringLiteral("Master volume computed."));
    }

    void finalizeFillsMissingPixelsOfTheChosenView()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        w.finalizeOptimization_released();
        QCOMPARE(status(w), QStringLiteral("nothing to process."));

        generatePreset(w, QStringLiteral("birds"));
        const int hull = cellCount(w);
        f.all_proj_button->setChecked(true);  // counts as the X view
        f.finalizeDistanceSpin->setValue(20);
        w.finalizeOptimization_released();
        QCOMPARE(status(w), QStringLiteral("finalized results in X_PROJECTION-view."));
        QVERIFY(cellCount(w) > hull);
    }

    void exitIsUsableBeforeAnyVolume()
    {
        QVERIFY(_window->form().simple_exit->isEnabled());
        QVERIFY(_window->form().simple_animate->isEnabled());
    }
};

int main(int argc, char** argv)
{
    SceneGLWidget::setDefaultSurfaceFormat();
    QApplication application(argc, argv);
    DeformStageTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "DeformStageTest.moc"
