// The main window from start-up to a generated volume: the form's state after
// construction, "generate" from presets and from the custom-load dialog, bad
// input that must leave the current volume alone, and "exit".

#include "WindowTestSupport.h"

#include "app/CustomLoadDialog.h"
#include "app/DeformImage.h"
#include "app/Presets.h"
#include "render/SceneGLWidget.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QImage>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProgressBar>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>

using namespace gui_test;

namespace {

constexpr const char* kExitChildArgument = "--press-exit";

struct Stage {
    bool projection, generate, deform, edit, finish, camera, perspective;
};

Stage stageOf(const KalvexWindow& window)
{
    const KalvexForm& f = window.form();
    return {f.gbx_simple_projection->isEnabled(), f.gbx_simple_generate->isEnabled(), f.gbx_simple_deform->isEnabled(),
            f.gbx_simple_edit->isEnabled(),       f.gbx_simple_finish->isEnabled(),   f.gbx_camera_group->isEnabled(),
            f.gbx_perspective->isEnabled()};
}

bool operator==(const Stage& a, const Stage& b)
{
    return a.projection == b.projection && a.generate == b.generate && a.deform == b.deform && a.edit == b.edit &&
           a.finish == b.finish && a.camera == b.camera && a.perspective == b.perspective;
}

// The three pictures of a custom load, written into ./IncludedData/test.
void writePicture(const QString& name, const QRect& dark)
{
    QDir().mkpath(QStringLiteral("./IncludedData/test"));
    QImage picture(250, 250, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (int y = dark.top(); y <= dark.bottom(); ++y)
        for (int x = dark.left(); x <= dark.right(); ++x)
            picture.setPixel(x, y, qRgb(20, 20, 20));
    QVERIFY(picture.save(QStringLiteral("./IncludedData/test/") + name));
}

void chooseCustomPictures(KalvexWindow& window, const QStringList& names)
{
    CustomLoadDialog* dialog = window.customLoadDialog();
    // After "generate" the button is disabled with its group; the handler still opens the dialog.
    if (window.form().btn_simple_load_images->isEnabled())
        click(window.form().btn_simple_load_images);
    else
        window.btn_simple_load_images_released();
    QVERIFY(dialog->isVisible());
    for (int k = 0; k < 3; ++k)
        dialog->findChild<QLineEdit*>(QStringLiteral("imagePath_%1").arg(k + 1))->setText(names[k]);
    click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
    QVERIFY(!dialog->isVisible());
    QVERIFY(window.form().radioButton_2->isChecked());
}

}  // namespace

class WindowTest : public WindowTestCase {
    Q_OBJECT

private slots:
    void startUpState()
    {
        const KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        QCOMPARE(status(w), QStringLiteral("Projection mode updated."));
        QVERIFY(w.view()->orthographic());
        QCOMPARE(w.windowTitle(), QStringLiteral("Kalvex: Creator and Editor"));
        QCOMPARE(w.objectName(), QStringLiteral("kalvexWindowClass"));
        QVERIFY(stageOf(w) == (Stage{true, true, false, false, false, false, true}));
        QVERIFY(f.gbx_perspective->isHidden());
        QVERIFY(f.lightSources->isHidden());
        QVERIFY(!f.gbx_simple_projection->isHidden());
        QVERIFY(f.presetRadio->isChecked());
        QVERIFY(f.btn_simple_reset_scene->isHidden());
        QVERIFY(f.simple_camera_45->isHidden() && f.simple_camera_60->isHidden() && f.simple_camera_120->isHidden());
        QVERIFY(f.simple_progressBar->isHidden());

        // Only the workflow tab is left, and the menus are gone; their actions stay.
        QCOMPARE(f.taw_right->count(), 1);
        QCOMPARE(f.taw_right->tabText(0), QStringLiteral("Workflow"));
        QVERIFY(w.menuBar()->actions().isEmpty());
        QVERIFY(w.findChild<QAction*>(QStringLiteral("actionAbout")));
        QVERIFY(w.findChild<QAction*>(QStringLiteral("actionSmooth"))->isChecked());

        const QStringList presets = {"animals", "arrow",        "birds",     "Velmora", "griffin",    "Quillon",
                                     "Brennic-logo", "Tamberlin", "sketch", "Orvessa", "walking man"};
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("cmb_simple_preset"));
        QCOMPARE(combo->count(), 11);
        for (int i = 0; i < combo->count(); ++i)
            QCOMPARE(combo->itemText(i), presets[i]);
        QCOMPARE(combo->currentIndex(), 0);
        QCOMPARE(f.cmb_simple_ortho_type->count(), 4);
        QCOMPARE(f.cmb_simple_ortho_type->itemText(2), QString::fromUtf8("XY: 0°, 45°, 90°"));

        auto spin = [&](const char* name) { return w.findChild<QSpinBox*>(QString::fromLatin1(name)); };
        auto expectSpin = [&](const char* name, int minimum, int maximum, int value) {
            QSpinBox* box = spin(name);
            QVERIFY2(box, name);
            QCOMPARE(box->minimum(), minimum);
            QCOMPARE(box->maximum(), maximum);
            QCOMPARE(box->value(), value);
        };
        expectSpin("spn_simple_res", 3, 8, 5);
        expectSpin("simple_iterateCount", 1, 20, 4);
        expectSpin("spn_simple_edit_radius", 1, 10, 3);
        expectSpin("fixImages_outerCount", 1, 15, 5);
        expectSpin("fixImages_loopCount", 1, 10, 6);
        expectSpin("fixImages_distThresh", 1, 20, 4);
        expectSpin("fixImages_minSize", 1, 50, 2);
        expectSpin("animateSpinBox", 15, 99000, 75);
        expectSpin("editToolboxRadius", 1, 100, 5);
        QCOMPARE(spin("fixImages_outerCount")->suffix(), QStringLiteral("     loopCount"));
        QCOMPARE(spin("animateSpinBox")->suffix(), QStringLiteral(" frames"));
        QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("voxelResolution_edit"))->text(), QStringLiteral("4"));
        QCOMPARE(w.voxelResolution(), 4.0f);
        QVERIFY(w.findChild<QCheckBox*>(QStringLiteral("chkRenderHollow"))->isChecked());
        QVERIFY(w.findChild<QCheckBox*>(QStringLiteral("preserve_shape_check"))->isChecked());
        QVERIFY(!w.findChild<QCheckBox*>(QStringLiteral("useMask_check"))->isChecked());
        QVERIFY(w.findChild<QRadioButton*>(QStringLiteral("orthoOpt"))->isChecked());
        QVERIFY(w.findChild<QRadioButton*>(QStringLiteral("x_proj_button"))->isChecked());
        QCOMPARE(f.interpolationMode_triangulator->currentText(), QStringLiteral("Catmull-Rom"));
        QCOMPARE(f.perspectiveView[1].image_name->objectName(), QStringLiteral("perspective_image_name_2"));
        QCOMPARE(f.perspectiveView[0].center[0]->objectName(), QStringLiteral("center_x_1"));
        QCOMPARE(f.perspectiveView[0].center[0]->text(), QStringLiteral("-1.1"));
        QCOMPARE(f.currentNofCells->text(), QStringLiteral("--"));
        QVERIFY(!w.master());
    }

    void presetResolution()
    {
        using Presets::resolvePreset;
        QCOMPARE(resolvePreset("griffin", 0).key, QStringLiteral("dragon"));
        QCOMPARE(resolvePreset("griffin", 0).set, 1);
        QCOMPARE(resolvePreset("griffin", 3).set, 2);
        QCOMPARE(resolvePreset("walking man", 0).set, 2);
        QVERIFY(resolvePreset("walking man", 1).preserveShape);
        QVERIFY(resolvePreset("sketch", 0).preserveShape);
        QVERIFY(!resolvePreset("sketch", 2).preserveShape);
        QCOMPARE(resolvePreset("working man", 0).key, QStringLiteral("working_man"));
        QCOMPARE(resolvePreset("Griffin", 0).set, -1);
        QVERIFY(Presets::examplePaths("music2"));
        QCOMPARE((*Presets::examplePaths("clock"))[1], QStringLiteral("./Models/Images/cartoons/clock02.png"));
        QVERIFY(!Presets::examplePaths("editdemo"));
        // Every folder the tables name is bundled.
        for (const char* key : {"editDemo", "birds", "dog1", "dragon", "music", "walk", "working_man", "velmora",
                                "corvane", "orvessa", "quillon", "brennic_logo", "tamberlin", "spare"})
            QVERIFY2(Presets::picturesProblem(*Presets::presetPaths(key)).isEmpty(), key);
        for (const QString& key : Presets::exampleOptionLabels())
            if (key != QLatin1String("editdemo"))
                QVERIFY2(Presets::picturesProblem(*Presets::examplePaths(key)).isEmpty(), qPrintable(key));
    }

    void generateFromPreset()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("arrow"));
        QCOMPARE(status(w), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(w.master());
        const int cells = cellCount(w);
        QVERIFY(cells > 0);
        QCOMPARE(f.currentNofCells->text(), QString::number(cells));
        QVERIFY(stageOf(w) == (Stage{false, false, true, false, false, true, false}));
        QCOMPARE(w.voxelResolution(), 5.0f);
        QCOMPARE(w.master()->sizeZ(), 50);
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 1, 2}));
        for (QLabel* label : {f.currentResultLabel_x, f.currentResultLabel_y, f.currentResultLabel_z,
                              f.originalLabel_x, static_cast<QLabel*>(f.imageLabel_z)})
            QVERIFY(!label->pixmap().isNull());
        QCOMPARE(f.currentResultLabel_x->pixmap().width(), 200);
        QVERIFY(!f.simple_camera_z->isHidden() && f.simple_camera_45->isHidden());
        QCOMPARE(w.view()->objectCount(), 1);
        QCOMPARE(f.spnMaxSlice->maximum(), 50);
        QCOMPARE(f.spnMaxSlice->value(), 50);
        QVERIFY(f.saveMesh_button->isEnabled() && f.computeShadowMesh_button->isEnabled());
        QVERIFY(QFileInfo::exists(QStringLiteral("./Models/Images/simple_shapes/x_image.png")));
    }

    void setTwoShowsOnlyTheXComparison()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        generatePreset(w, QStringLiteral("walking man"));
        QCOMPARE(status(w), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 4, 5}));
        QVERIFY(f._simple_preserveShape->isChecked());
        QVERIFY(!f.currentResultLabel_x->pixmap().isNull());
        QVERIFY(f.currentResultLabel_y->pixmap().isNull());
        QVERIFY(f.currentResultLabel_z->pixmap().isNull());
        QVERIFY(!f.simple_camera_60->isHidden() && !f.simple_camera_120->isHidden() && f.simple_camera_y->isHidden());
        QVERIFY(f.y_proj_button->isHidden() && !f.sixty_proj_button->isHidden());
    }

    void generateFromCustomDialog()
    {
        KalvexWindow& w = *_window;
        CustomLoadDialog* dialog = w.customLoadDialog();
        QVERIFY(dialog->loaded());
        QCOMPARE(dialog->fileNames()[0], QStringLiteral("griffin/griffin.png"));
        click(w.form().btn_simple_load_images);
        click(dialog->findChild<QPushButton*>(QStringLiteral("loadCombination")));
        QVERIFY(w.form().radioButton_2->isChecked());
        click(w.form().btn_simple_generate_volume);
        QCOMPARE(status(w), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 1, 2}));
        QCOMPARE(w.viewObjects()[1]._source_path, QStringLiteral("./IncludedData/griffin/eagle.png"));
        QVERIFY(cellCount(w) > 0);
    }

    void customCancelReturnsToPresets()
    {
        KalvexWindow& w = *_window;
        click(w.form().btn_simple_load_images);
        click(w.customLoadDialog()->findChild<QPushButton*>(QStringLiteral("cancel")));
        QVERIFY(w.form().presetRadio->isChecked());
        QVERIFY(!w.customLoadDialog()->isVisible());
    }

    void comboSetOverridesThePreset()
    {
        KalvexWindow& w = *_window;
        generatePreset(w, QStringLiteral("Tamberlin"), 1);
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 1, 2}));
        QVERIFY(w.form()._simple_preserveShape->isChecked());
        QVERIFY(cellCount(w) > 0);
    }

    void sketchWithAComboSetKeepsPreserveShape()
    {
        KalvexWindow& w = *_window;
        generatePreset(w, QStringLiteral("sketch"), 2);
        QVERIFY(viewModes(w) == (std::array<int, 3>{0, 1, 3}));
        QVERIFY(!w.form()._simple_preserveShape->isChecked());
    }

    void unknownPresetStopsSilently()
    {
        KalvexWindow& w = *_window;
        const KalvexForm& f = w.form();
        f.cmb_simple_preset->setItemText(0, QStringLiteral("no such preset"));
        f.cmb_simple_preset->setCurrentIndex(0);
        click(f.btn_simple_generate_volume);
        QVERIFY(f.gbx_camera_group->isHidden());
        QCOMPARE(status(w), QStringLiteral("Projection mode updated."));
        QVERIFY(!w.master());
        QVERIFY(w.viewObjects().empty());
        QVERIFY(stageOf(w) == (Stage{true, true, false, false, false, false, true}));
    }

    // A picture that cannot be used is reported and the volume stays.
    void badCustomPicturesKeepTheVolume()
    {
        KalvexWindow& w = *_window;
        generatePreset(w, QStringLiteral("arrow"));
        const ShadowObject* master = w.master();
        const int cells = cellCount(w);
        QVERIFY(cells > 0);
        const Stage stage = stageOf(w);

        chooseCustomPictures(w, {"griffin/griffin.png", "griffin/missing.png", "griffin/lion.png"});
        if (QTest::currentTestFailed())
            return;
        w.btn_simple_generate_volume_released();
        QCOMPARE(status(w), QStringLiteral("Cannot read picture ./IncludedData/griffin/missing.png."));
        QCOMPARE(w.master(), master);
        QCOMPARE(cellCount(w), cells);
        QCOMPARE(w.viewObjects().size(), std::size_t(3));
        QCOMPARE(w.viewObjects()[0]._source_path, QStringLiteral("./IncludedData/arrow/edit1.png"));
        QVERIFY(stageOf(w) == stage);
        QCOMPARE(w.view()->objectCount(), 1);

        writePicture(QStringLiteral("blank.png"), QRect());
        chooseCustomPictures(w, {"griffin/griffin.png", "test/blank.png", "griffin/lion.png"});
        w.btn_simple_generate_volume_released();
        QCOMPARE(status(w), QStringLiteral("Picture ./IncludedData/test/blank.png has no dark pixel."));
        QCOMPARE(w.master(), master);
    }

    // X sees (y, z), Y sees (x, z): figures in disjoint rows leave no cell.
    void emptyIntersectionIsReported()
    {
        KalvexWindow& w = *_window;
        writePicture(QStringLiteral("top.png"), QRect(50, 0, 150, 60));
        writePicture(QStringLiteral("bottom.png"), QRect(50, 190, 150, 60));
        writePicture(QStringLiteral("full.png"), QRect(0, 0, 250, 250));
        chooseCustomPictures(w, {"test/top.png", "test/bottom.png", "test/full.png"});
        click(w.form().btn_simple_generate_volume);
        QCOMPARE(status(w), QStringLiteral("intersection volume empty (please reposition images)."));
        QCOMPARE(cellCount(w), 0);
        QCOMPARE(w.form().currentNofCells->text(), QStringLiteral("--"));
        QCOMPARE(w.view()->objectCount(), 0);
        QVERIFY(w.form().gbx_simple_deform->isEnabled());
    }

    void everyPresetGivesAVolume_data()
    {
        QTest::addColumn<QString>("entry");
        for (const QString& entry : Presets::workflowPresetNames())
            QTest::newRow(qPrintable(entry)) << entry;
    }

    void everyPresetGivesAVolume()
    {
        QFETCH(QString, entry);
        KalvexWindow& w = *_window;
        generatePreset(w, entry);
        QCOMPARE(status(w), QStringLiteral("initial shadow mesh computed."));
        QVERIFY(cellCount(w) > 0);
        QCOMPARE(w.form().currentNofCells->text(), QString::number(cellCount(w)));
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
    if (!workDir || !window)
        return 2;
    if (!window->form().simple_exit->isEnabled())
        return 3;
    std::printf("shown\n");
    std::fflush(stdout);
    click(window->form().simple_exit);
    return 0;
}

int main(int argc, char** argv)
{
    SceneGLWidget::setDefaultSurfaceFormat();
    QApplication application(argc, argv);
    if (argc > 1 && QString::fromLatin1(argv[1]) == QLatin1String(kExitChildArgument))
        return pressExit();
    WindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "WindowTest.moc"
