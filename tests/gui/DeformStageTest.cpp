// The main window's deformation stage with real clicks: "optimize", the
// resolution increase, "Select Next Layer", "Adjust Images" and finalisation.

#include "WindowTestSupport.h"

#include "deform/Comparison.h"

using namespace gui_test;

class DeformStageTest : public WindowTestCase {
    Q_OBJECT

    // Orange (missing) pixels of the three comparison labels.
    int missingShown() const
    {
        int missing = 0;
        for (QLabel* label : {form().currentResultLabel_x, form().currentResultLabel_y, form().currentResultLabel_z})
            missing += countComparison(label->pixmap().toImage()).missing;
        return missing;
    }

private slots:
    void optimizeLowersTheMissingPixels()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("birds"));
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(f.gbx_simple_deform->isEnabled());
        // "generate" shows the comparisons of every view of set 0.
        const int before = missingShown();
        QVERIFY(before > 0);

        f.simple_iterateCount->setValue(2);
        click(f.btn_simple_deform_iterate);
        QVERIFY(f.simple_progressBar->isHidden());
        QCOMPARE(f.simple_progressBar->value(), 100);
        QVERIFY(_window->master());
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount()));
        QVERIFY(missingShown() < before);
        // The workflow's "preserve shape" (off) was copied into the deformation's switch.
        QVERIFY(!f.preserve_shape_check->isChecked());
    }

    void adjustImagesDisablesItselfUntilTheNextCompute()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("birds"));
        QVERIFY(f.adjustImages->isEnabled());
        f.fixImages_loopCount->setValue(5);
        _window->adjustImages_released();
        QCOMPARE(status(), QStringLiteral("Optimized images."));
        QVERIFY(!f.adjustImages->isEnabled());
        QVERIFY(f.saveCurrentTestResults->isEnabled());
        // Five steps over the views in turn end on view 1 (Y).
        QVERIFY(f.y_proj_button->isChecked());
        _window->shadow_computeShadowMesh_released();
        QVERIFY(f.adjustImages->isEnabled());
    }

    void increaseResolutionStopsAtTheFinestLevel()
    {
        const KalvexForm& f = form();
        f.spn_simple_res->setValue(5);
        generate(QStringLiteral("arrow"));
        QCOMPARE(_window->master()->resolution(), 50);
        click(f.btn_simple_increase_res);
        QCOMPARE(f.spn_simple_res->value(), 4);
        QCOMPARE(f.voxelResolution_edit->text(), QStringLiteral("4"));
        QCOMPARE(_window->master()->resolution(), 62);
        QCOMPARE(f.spnMaxSlice->value(), 62);
        click(f.btn_simple_increase_res);
        QCOMPARE(_window->master()->resolution(), 83);
        ShadowObject* finest = _window->master();
        click(f.btn_simple_increase_res);  // level 3 is the finest: nothing happens
        QCOMPARE(f.spn_simple_res->value(), 3);
        QCOMPARE(_window->master(), finest);
    }

    void expertIncreaseResolutionHasAFloor()
    {
        generate(QStringLiteral("arrow"));
        form().voxelResolution_edit->setText(QStringLiteral("2"));
        _window->increaseResolution_released();
        QCOMPARE(form().voxelResolution_edit->text(), QStringLiteral("1.5"));
        QCOMPARE(_window->master()->resolution(), 166);
        _window->increaseResolution_released();
        QCOMPARE(form().voxelResolution_edit->text(), QStringLiteral("1.5"));
    }

    void selectNextLayerBuildsThenAddsGreedyLayers()
    {
        generate(QStringLiteral("birds"));
        const int hull = cellCount();
        _window->shadow_selectNextLayer_released();
        QCOMPARE(status(), QStringLiteral("Master volume computed."));
        QCOMPARE(cellCount(), hull);
        _window->shadow_selectNextLayer_released();
        QCOMPARE(status(), QStringLiteral("Performed 4 greedy step(s)."));
        QVERIFY(cellCount() > hull);
        QCOMPARE(form().currentNofCells->text(), QString::number(cellCount()));
        QVERIFY(form().saveMesh_button->isEnabled());
        // A recompute returns to the first press: the master is built again.
        _window->recompute_shadow_released();
        _window->shadow_selectNextLayer_released();
        QCOMPARE(status(), QStringLiteral("Master volume computed."));
    }

    void finalizeFillsMissingPixelsOfTheChosenView()
    {
        _window->finalizeOptimization_released();
        QCOMPARE(status(), QStringLiteral("nothing to process."));

        generate(QStringLiteral("birds"));
        const int hull = cellCount();
        form().all_proj_button->setChecked(true);  // counts as the X view
        form().finalizeDistanceSpin->setValue(20);
        _window->finalizeOptimization_released();
        QCOMPARE(status(), QStringLiteral("finalized results in X_PROJECTION-view."));
        QVERIFY(cellCount() > hull);
    }

    void exitIsUsableBeforeAnyVolume()
    {
        QVERIFY(form().simple_exit->isEnabled());
        QVERIFY(form().simple_animate->isEnabled());
    }
};

QTEST_MAIN(DeformStageTest)
#include "DeformStageTest.moc"
