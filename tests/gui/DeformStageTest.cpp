// The main window's deformation stage with real clicks: "optimize" (and the
// same passes from kalvex-cli), the resolution increase, "Select Next Layer",
// "Adjust Images" and finalisation.

#include "WindowTestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace gui_test;

class DeformStageTest : public WindowTestCase {
    Q_OBJECT

    int missingShown() const
    {
        const DesignSession::Counts& counts = _window->session().counts();
        return counts.missing[0] + counts.missing[1] + counts.missing[2];
    }

    // The session's counts as kalvex-cli prints them.
    QJsonObject countsJson() const
    {
        const DesignSession::Counts& c = _window->session().counts();
        return {{"cells", c.cells},
                {"missing", QJsonArray{c.missing[0], c.missing[1], c.missing[2]}},
                {"extra", QJsonArray{c.extra[0], c.extra[1], c.extra[2]}}};
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
        QCOMPARE(f.projectionCells->text(), QStringLiteral("cells: %1").arg(cellCount()));
        QVERIFY(missingShown() < before);
        // The passes end on the adjustment: its line, and "Adjust Images" waits for a compute.
        QCOMPARE(status(), QStringLiteral("Optimized images."));
        QVERIFY(!f.adjustImages->isEnabled());
        QCOMPARE(_window->session().optimizePasses(), 2);
        // The workflow's "preserve shape" (off) was copied into the deformation's switch.
        QVERIFY(!f.preserve_shape_check->isChecked());
    }

    // One pass at a time through the window and all passes through kalvex-cli
    // on copies of the same pictures (each with no picture-mesh cache yet):
    // the same cells and missing and extra pixels after every pass.
    void windowAndCommandLineOptimizeAlike()
    {
        const QString folder = QStringLiteral("./IncludedData/dragon-copy");
        QVERIFY(QDir().mkpath(folder));
        QStringList pictures;
        for (const char* name : {"eagle.png", "griffin.png", "lion.png"}) {
            pictures << folder + QLatin1Char('/') + QLatin1String(name);
            QVERIFY(QFile::copy(QStringLiteral("./IncludedData/griffin/") + QLatin1String(name), pictures.back()));
        }
        QProcess cli;
        cli.start(QStringLiteral(KALVEX_CLI_PATH),
                  QStringList{"optimize", "--set", "1", "--cell-size", "4", "--passes", "3"} + pictures);
        QVERIFY(cli.waitForFinished(120000));
        QCOMPARE(cli.exitCode(), 0);
        const QJsonObject expected = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
        QCOMPARE(expected["passes"].toArray().size(), 3);

        form().spn_simple_res->setValue(4);
        generate(QStringLiteral("griffin"));  // ./IncludedData/griffin, set 1
        QCOMPARE(countsJson(), expected["initial"].toObject());
        form().simple_iterateCount->setValue(1);
        for (int pass = 0; pass < 3; ++pass) {
            click(form().btn_simple_deform_iterate);
            QJsonObject cliPass = expected["passes"].toArray()[pass].toObject();
            cliPass.remove(QStringLiteral("ms"));
            QCOMPARE(countsJson(), cliPass);
        }
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
        QCOMPARE(status(), QStringLiteral("Increased resolution: cell size 4, 62 cells per side."));
        QCOMPARE(f.spnMaxSlice->value(), 62);
        click(f.btn_simple_increase_res);
        QCOMPARE(_window->master()->resolution(), 83);
        ShadowObject* finest = _window->master();
        click(f.btn_simple_increase_res);  // level 3 is the finest: nothing happens
        QCOMPARE(f.spn_simple_res->value(), 3);
        QCOMPARE(_window->master(), finest);
    }

    // The hidden cell-size field is the session's: typing a size sets it.
    void expertIncreaseResolutionHasAFloor()
    {
        generate(QStringLiteral("arrow"));
        QLineEdit* field = form().voxelResolution_edit;
        field->setText(QStringLiteral("2"));
        emit field->editingFinished();
        QCOMPARE(_window->voxelResolution(), 2.0f);
        _window->increaseResolution_released();
        QCOMPARE(field->text(), QStringLiteral("1.5"));
        QCOMPARE(_window->master()->resolution(), 166);
        _window->increaseResolution_released();
        QCOMPARE(field->text(), QStringLiteral("1.5"));
        field->setText(QStringLiteral("0.2"));  // too fine: the field shows the size kept
        emit field->editingFinished();
        QCOMPARE(field->text(), QStringLiteral("1.5"));
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
