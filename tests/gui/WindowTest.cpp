// The main window from start-up to a generated volume: the form's state after
// construction, "generate" from presets and from the custom-load dialog, bad
// input that must leave the current volume alone, and "exit".

#include "WindowTestSupport.h"

#include "app/CustomLoadDialog.h"
#include "app/DeformImage.h"
#include "app/Presets.h"

#include <QProgressBar>
#include <QWheelEvent>
#include <QPainter>
#include <QProcess>

#include <numeric>

using namespace gui_test;

namespace {

constexpr const char* kExitChildArgument = "--press-exit";

// A white picture ./IncludedData/test/`name` with a dark rectangle.
void writePicture(const QString& name, const QRect& dark)
{
    QDir().mkpath(QStringLiteral("./IncludedData/test"));
    QImage picture(250, 250, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter(&picture).fillRect(dark, qRgb(20, 20, 20));
    QVERIFY(picture.save(QStringLiteral("./IncludedData/test/") + name));
}

}  // namespace

class WindowTest : public WindowTestCase {
    Q_OBJECT

    // Opens the custom-load dialog (its button is disabled after "generate",
    // the handler still opens it), fills in three pictures and loads them.
    void chooseCustomPictures(const QStringList& names)
    {
        CustomLoadDialog* dialog = _window->customLoadDialog();
        _window->btn_simple_load_images_released();
        QVERIFY(dialog->isVisible());
        for (int k = 0; k < 3; ++k)
            dialog->findChild<QLineEdit*>(QStringLiteral("imagePath_%1").arg(k + 1))->setText(names[k]);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QVERIFY(!dialog->isVisible());
        QVERIFY(form().radioButton_2->isChecked());
    }

private slots:
    void startUpState()
    {
        const KalvexForm& f = form();
        QCOMPARE(status(), QStringLiteral("Projection mode updated."));
        QVERIFY(_window->view()->orthographic());
        QCOMPARE(stages(), (QList<bool>{true, true, false, false, false, false, true}));
        for (QWidget* hidden : QWidgetList{f.gbx_perspective, f.btn_simple_reset_scene, f.simple_camera_45,
                                           f.simple_camera_60, f.simple_camera_120, f.simple_progressBar})
            QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
        // The light-source choice shows above the directional-light stages.
        QVERIFY(f.lightSources->isVisible() && f.lightSources->isEnabled());
        QVERIFY(f.gbx_simple_projection->isVisible() && f.presetRadio->isChecked());

        QStringList presets;
        for (int i = 0; i < f.cmb_simple_preset->count(); ++i)
            presets.append(f.cmb_simple_preset->itemText(i));
        QCOMPARE(presets, (QStringList{"animals", "arrow", "birds", "Velmora", "griffin", "Quillon", "Brennic-logo",
                                       "Tamberlin", "sketch", "Orvessa", "walking man"}));
        QCOMPARE(f.currentNofCells->text(), QStringLiteral("--"));
        QVERIFY(!_window->master());
    }

    // Every folder the preset and example tables name is bundled and usable.
    void presetsAreBundled()
    {
        auto bundled = [](const std::optional<Presets::PictureFiles>& paths) {
            return paths && Presets::picturesProblem(*paths).isEmpty();
        };
        for (const char* key : {"editDemo", "birds", "dog1", "dragon", "music", "walk", "working_man", "velmora",
                                "corvane", "orvessa", "quillon", "brennic_logo", "tamberlin", "spare"})
            QVERIFY2(bundled(Presets::presetPaths(key)), key);
        for (const QString& key : Presets::exampleOptionLabels())
            if (key != QLatin1String("editdemo"))
                QVERIFY2(bundled(Presets::examplePaths(key)), qPrintable(key));
    }

    void generateFromPreset()
    {
        const KalvexForm& f = form();
        generate(QStringLiteral("arrow"));
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(cellCount() > 0);
        QCOMPARE(f.currentNofCells->text(), QString::number(cellCount()));
        QCOMPARE(stages(), (QList<bool>{false, false, true, false, false, true, false}));
        QCOMPARE(_window->voxelResolution(), 5.0f);
        QCOMPARE(_window->master()->sizeZ(), 50);
        QCOMPARE(viewModes(), (QList<int>{0, 1, 2}));
        for (QLabel* label : {f.currentResultLabel_x, f.currentResultLabel_y, f.currentResultLabel_z,
                              static_cast<QLabel*>(f.originalLabel_x), static_cast<QLabel*>(f.imageLabel_z)})
            QVERIFY(!label->pixmap().isNull());
        QCOMPARE(f.projectionCells->text(), QStringLiteral("cells: %1").arg(cellCount()));
        // The grid counts cells of the volume's box.
        QCOMPARE(_window->view()->volumeDimensions(), _window->session().volume().dimensions());
        QCOMPARE(_window->view()->objectCount(), 1);
        QVERIFY(QFileInfo::exists(QStringLiteral("./Models/Images/simple_shapes/x_image.png")));
    }

    // The projection combo overrides a preset's own set ("sketch" then drops
    // "preserve shape", "Tamberlin" keeps it); 60 and 120 degree views have
    // no result label after "generate".
    void presetSetsAndPreserveShape_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("combo");
        QTest::addColumn<QList<int>>("modes");
        QTest::addColumn<bool>("preserveShape");
        QTest::newRow("walking man") << QStringLiteral("walking man") << 0 << QList<int>{0, 4, 5} << true;
        QTest::newRow("Tamberlin as X, Y, Z") << QStringLiteral("Tamberlin") << 1 << QList<int>{0, 1, 2} << true;
        QTest::newRow("sketch at 45") << QStringLiteral("sketch") << 2 << QList<int>{0, 1, 3} << false;
    }

    void presetSetsAndPreserveShape()
    {
        QFETCH(QString, entry);
        QFETCH(int, combo);
        QFETCH(QList<int>, modes);
        QFETCH(bool, preserveShape);
        const KalvexForm& f = form();
        generate(entry, combo);
        QCOMPARE(viewModes(), modes);
        QCOMPARE(f._simple_preserveShape->isChecked(), preserveShape);
        QVERIFY(cellCount() > 0);
        const bool set2 = modes[1] == Sixty_PROJECTION;
        QCOMPARE(f.currentResultLabel_y->pixmap().isNull(), set2);
        QCOMPARE(f.simple_camera_60->isHidden(), !set2);
    }

    // "cancel" returns to the presets; the dialog's own pictures generate; a
    // picture that cannot be used then is reported and the volume stays.
    void customPicturesAndBadOnesKeepTheVolume()
    {
        CustomLoadDialog* dialog = _window->customLoadDialog();
        click(form().btn_simple_load_images);
        click(dialog->findChild<QPushButton*>(QStringLiteral("cancel")));
        QVERIFY(form().presetRadio->isChecked() && !dialog->isVisible());
        click(form().btn_simple_load_images);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QVERIFY(form().radioButton_2->isChecked());
        click(form().btn_simple_generate_volume);
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        QCOMPARE(viewModes(), (QList<int>{0, 1, 2}));
        const QString eagle = QStringLiteral("./IncludedData/griffin/eagle.png");
        QCOMPARE(_window->viewObjects().at(1)._source_path, eagle);

        const ShadowObject* master = _window->master();
        const int cells = cellCount();
        const QList<bool> stagesBefore = stages();
        QVERIFY(cells > 0);
        chooseCustomPictures({"griffin/griffin.png", "griffin/missing.png", "griffin/lion.png"});
        _window->btn_simple_generate_volume_released();
        QCOMPARE(status(), QStringLiteral("Cannot read picture ./IncludedData/griffin/missing.png: File not found."));
        QCOMPARE(_window->master(), master);
        QCOMPARE(cellCount(), cells);
        QCOMPARE(_window->viewObjects().at(1)._source_path, eagle);
        QCOMPARE(stages(), stagesBefore);
        QCOMPARE(_window->view()->objectCount(), 1);
    }

    // Stage 1 shows the chosen pictures at once; "arrange" places them; after
    // "generate" a drag in the Originals tab moves a picture and rebuilds the
    // hull, the wheel scales it, and "reset placement" puts it back.
    void placeByHandAndArrange()
    {
        const KalvexForm& f = form();
        f.cmb_simple_preset->setCurrentText(QStringLiteral("birds"));
        QVERIFY(!f.originalLabel_x->pixmap().isNull());
        QVERIFY(f.originalLabel_y->placingEnabled());
        click(f.btn_simple_arrange);
        QCOMPARE(status(), QStringLiteral("Arranged the pictures."));
        QCOMPARE(f.arrangeProgressBar->value(), 100);
        const DesignSession::Placements arranged = _window->session().pictures().placements();
        QVERIFY(arranged != DesignSession::Placements{});

        click(f.btn_simple_generate_volume);
        QCOMPARE(_window->session().pictures().placements(), arranged);  // generate keeps the arranged pictures
        QVERIFY(f.projectionKept->text().startsWith(QStringLiteral("kept ")));
        const int cells = cellCount();
        PlacementLabel* label = f.originalLabel_y;
        QVERIFY(label->placingEnabled());
        const QPoint centre = label->rect().center();
        QTest::mousePress(label, Qt::LeftButton, {}, centre);
        QTest::mouseRelease(label, Qt::LeftButton, {}, centre + QPoint(24, 0));
        // 24 label pixels are 30 canvas pixels (200 on 250), less where the
        // figure would leave the canvas.
        const double moved = _window->session().pictures().placements()[1].dx - arranged[1].dx;
        QVERIFY(moved > 0.0 && moved <= 30.0);
        QVERIFY(cellCount() != cells);
        QVERIFY(status().contains(QStringLiteral("kept ")));

        QWheelEvent wheel(QPointF(centre), label->mapToGlobal(QPointF(centre)), {}, QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(label, &wheel);
        QVERIFY(_window->session().pictures().placements()[1].scale < arranged[1].scale);
        emit label->placementReset();
        QCOMPARE(_window->session().pictures().placements()[1], Placement());
    }

    // X sees (y, z), Y sees (x, z): figures in disjoint rows leave no cell.
    void emptyIntersectionIsReported()
    {
        writePicture(QStringLiteral("top.png"), QRect(50, 0, 150, 60));
        writePicture(QStringLiteral("bottom.png"), QRect(50, 190, 150, 60));
        writePicture(QStringLiteral("full.png"), QRect(0, 0, 250, 250));
        chooseCustomPictures({"test/top.png", "test/bottom.png", "test/full.png"});
        click(form().btn_simple_generate_volume);
        QCOMPARE(status(), QStringLiteral("intersection volume empty (please reposition images)."));
        QCOMPARE(cellCount(), 0);
        QCOMPARE(form().currentNofCells->text(), QStringLiteral("--"));
        QCOMPARE(_window->view()->objectCount(), 0);
        QVERIFY(form().gbx_simple_deform->isEnabled());
    }

    // Point lights from the visible choice: the perspective example loads,
    // "optimize" repairs missing pixels with its progress bar, the brush
    // carves the point-light volume, and "reset scene..." offers the choice again.
    void pointLightsFromTheChoice()
    {
        const KalvexForm& f = form();
        click(f.pointLights);
        QVERIFY(f.gbx_perspective->isVisible() && !f.lightSources->isVisible());
        QVERIFY(!f.gbx_simple_generate->isVisible() && f.btn_simple_reset_scene->isVisible());

        click(f.simple_perspectiveLoad);
        QCOMPARE(status(), QStringLiteral("Perspective mesh shown."));
        const PointLights& design = _window->session().pointLights();
        QCOMPARE(design.viewCount(), 3);
        QCOMPARE(_window->voxelResolution(), 5.0f);  // the coarseness level, not the expert field's 4
        QCOMPARE(stages(), (QList<bool>{false, false, false, false, false, false, true}));
        QVERIFY(!f.simple_perspectiveLoad->isEnabled() && f.simple_perspectiveOpt->isEnabled());
        QCOMPARE(_window->view()->objectCount(), 1);
        QCOMPARE(f.currentNofCells->text(), QString::number(design.counts().cells));
        QVERIFY(!f.currentResultLabel_x->pixmap().isNull());
        QCOMPARE(f.imageLabel_x->pixmap().toImage(), QPixmap::fromImage(design.rendering(0)).toImage());

        auto missing = [&] {
            const std::vector<int>& m = design.counts().missing;
            return std::accumulate(m.begin(), m.end(), 0);
        };
        const int before = missing();
        QVERIFY(before > 0);
        int progressSeen = 0;
        connect(f.persp_progressIterate, &QProgressBar::valueChanged, this, [&](int) { ++progressSeen; });
        f.simple_pers_nofIter->setValue(2);
        click(f.simple_perspectiveOpt);
        QCOMPARE(status(), QStringLiteral("recomputed shadow mesh."));
        QCOMPARE(design.passCount(), 2);
        QVERIFY2(missing() < before, qPrintable(QStringLiteral("%1 -> %2").arg(before).arg(missing())));
        QVERIFY(progressSeen >= 2 && f.persp_progressIterate->isHidden());

        // The default tool, the subtractive brush, carves the point-light volume.
        const int cells = design.counts().cells;
        const std::vector<int> missingPerView = design.counts().missing;
        SceneGLWidget* view = _window->view();
        view->grabFramebuffer();
        QTest::keyPress(view, Qt::Key_Shift, Qt::ShiftModifier);
        QTest::mouseClick(view, Qt::LeftButton, Qt::ShiftModifier, view->rect().center());
        QTest::keyRelease(view, Qt::Key_Shift);
        QVERIFY2(status().endsWith(QStringLiteral(" cell(s) removed.")), qPrintable(status()));
        QCOMPARE(design.counts().cells, cells - status().section(QLatin1Char(' '), 0, 0).toInt());
        QVERIFY(design.counts().cells < cells);
        QCOMPARE(design.counts().missing, missingPerView);  // no shadow changed

        QCOMPARE(answerMessageBoxes(QStringLiteral("Discard"), [&] { click(f.btn_simple_reset_scene); }),
                 QStringList{"Reset Scene"});
        QVERIFY(f.lightSources->isVisible() && !f.gbx_perspective->isVisible());
        QVERIFY(f.gbx_simple_generate->isVisible() && f.gbx_simple_generate->isEnabled());
        QCOMPARE(design.viewCount(), 0);
        QCOMPARE(f.spn_simple_res->value(), 5);
        click(f.parallelLights);
        QVERIFY(!f.lightSources->isVisible() && f.gbx_simple_generate->isVisible());
        generate(QStringLiteral("arrow"));
        QCOMPARE(status(), QStringLiteral("initial shadow mesh computed."));
        QCOMPARE(f.imageLabel_x->pixmap().toImage(),
                 QPixmap::fromImage(_window->session().pictures().picture(0).rendering()).toImage());
    }

    void exitEndsTheProcessWithStatusOne()
    {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kExitChildArgument)});
        QVERIFY(child.waitForFinished(120000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 1);
        QVERIFY(child.readAllStandardOutput().contains("shown"));
    }
};

// The child of the exit test: presses "exit" on the freshly shown window (it is
// usable at every stage). Returns only if the press did not end the process.
static int pressExit()
{
    const auto workDir = enterTestWorkingDir();
    const auto window = shownWindow();
    if (!workDir || !window || !window->form().simple_exit->isEnabled())
        return 2;
    std::printf("shown\n");
    std::fflush(stdout);
    click(window->form().simple_exit);
    return 0;
}

int main(int argc, char** argv)
{
    WindowTest::initMain();
    QApplication application(argc, argv);
    if (argc > 1 && qstrcmp(argv[1], kExitChildArgument) == 0)
        return pressExit();
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowTest.moc"
