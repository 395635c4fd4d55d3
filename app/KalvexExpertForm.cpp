// The four expert tabs of the form ("Basic", "Edit", "Example-based",
// "Perspective"). The window takes them off the tab widget at construction;
// their widgets stay as the parameters the workflow reads.

#include "app/FormWidgets.h"
#include "app/KalvexForm.h"

#include <QComboBox>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

using namespace FormWidgets;

namespace {

QGroupBox* group(QWidget* parent, QBoxLayout* layout, const char* name, const QString& title)
{
    auto* box = named(new QGroupBox(title, parent), name);
    layout->addWidget(box);
    return box;
}

// Buttons side by side in rows of two.
void addButtonRows(QGridLayout* grid, std::initializer_list<QPushButton*> buttons)
{
    int i = grid->count();
    for (QPushButton* b : buttons) {
        grid->addWidget(b, i / 2, i % 2);
        ++i;
    }
}

QWidget* rangeRow(QWidget* parent, QSpinBox* from, const QString& between, QSpinBox* to)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    from->setParent(row);
    to->setParent(row);
    layout->addWidget(from);
    layout->addWidget(new QLabel(between, row));
    layout->addWidget(to);
    return row;
}

void setupPerspectiveView(PerspectiveViewFields& view, QGroupBox* box, int k, const char* presentName,
                          const QString& presentText, const QString& imageName, const QString (&center)[3],
                          const QString (&up)[3])
{
    auto fieldName = [k](const char* stem) { return QStringLiteral("%1_%2").arg(QLatin1String(stem)).arg(k); };
    auto field = [&](const char* stem, const QString& text) {
        auto* edit = new QLineEdit(text, box);
        edit->setObjectName(fieldName(stem));
        return edit;
    };
    auto* form = new QFormLayout(box);
    view.present = check(box, presentName, presentText, true);
    form->addRow(view.present);
    view.image_name = field("perspective_image_name", imageName);
    form->addRow(QStringLiteral("Image Name"), view.image_name);

    static const char* const axes[3] = {"x", "y", "z"};
    auto triple = [&](const char* stem, QLineEdit* (&fields)[3], const QString (&values)[3], const QString& title) {
        auto* row = new QWidget(box);
        auto* layout = new QHBoxLayout(row);
        layout->setContentsMargins(0, 0, 0, 0);
        for (int a = 0; a < 3; ++a) {
            fields[a] = new QLineEdit(values[a], row);
            fields[a]->setObjectName(QStringLiteral("%1_%2_%3").arg(QLatin1String(stem), QLatin1String(axes[a])).arg(k));
            layout->addWidget(fields[a]);
        }
        form->addRow(title, row);
    };
    triple("center", view.center, center, QStringLiteral("center"));
    const QString origin[3] = {QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("0")};
    triple("lookAt", view.lookAt, origin, QStringLiteral("lookAt"));
    triple("upVector", view.upVector, up, QStringLiteral("upVector"));
    view.focal_distance = field("focal_distance", QStringLiteral(".3"));
    form->addRow(QStringLiteral("Focal Distance"), view.focal_distance);
    view.image_size = field("image_size", QStringLiteral("22"));
    form->addRow(QStringLiteral("Image Size"), view.image_size);
}

}  // namespace

void setupBasicTab(KalvexForm& f, QWidget* page)
{
    auto* layout = new QVBoxLayout(page);

    QGroupBox* projection = group(page, layout, "projectionGroup", QStringLiteral("Projection"));
    auto* projections = new QGridLayout(projection);
    f.x_proj_button = radio(projection, "x_proj_button", QStringLiteral("X"));
    f.y_proj_button = radio(projection, "y_proj_button", QStringLiteral("Y"));
    f.z_proj_button = radio(projection, "z_proj_button", QStringLiteral("Z"));
    f.fortyFive_proj_button = radio(projection, "fortyFive_proj_button", QString::fromUtf8("45°"));
    f.sixty_proj_button = radio(projection, "sixty_proj_button", QString::fromUtf8("60°"));
    f.oneTwenty_proj_button = radio(projection, "oneTwenty_proj_button", QString::fromUtf8("120°"));
    f.all_proj_button = radio(projection, "all_proj_button", QStringLiteral("All"));
    QRadioButton* const buttons[] = {f.x_proj_button,         f.y_proj_button,     f.z_proj_button,
                                     f.fortyFive_proj_button, f.sixty_proj_button, f.oneTwenty_proj_button,
                                     f.all_proj_button};
    for (int i = 0; i < 7; ++i)
        projections->addWidget(buttons[i], i / 4, i % 4);

    auto* settings = new QFormLayout;
    layout->addLayout(settings);
    f.voxelResolution_edit = lineEdit(page, "voxelResolution_edit", QStringLiteral("4"));
    settings->addRow(QStringLiteral("VoxelResolution"), f.voxelResolution_edit);
    f.useMask_check = check(page, "useMask_check", QStringLiteral("use mask"), false);
    settings->addRow(f.useMask_check);
    f.currentNofCells = label(page, "currentNofCells", QStringLiteral("--"));
    settings->addRow(QStringLiteral("Cells:"), f.currentNofCells);

    auto* actions = new QGridLayout;
    layout->addLayout(actions);
    f.resetAll = button(page, "resetAll", QStringLiteral("Reset"));
    f.shadow_lazyButton = button(page, "shadow_lazyButton", QStringLiteral("Lazy"));
    f.computeShadowMesh_button = button(page, "computeShadowMesh_button", QStringLiteral("Compute Shadow Mesh"));
    f.selectNextLayer = button(page, "selectNextLayer", QStringLiteral("Select Next Layer"));
    f.saveMesh_button = button(page, "saveMesh_button", QStringLiteral("Save Mesh"));
    addButtonRows(actions, {f.resetAll, f.shadow_lazyButton, f.computeShadowMesh_button, f.selectNextLayer,
                            f.saveMesh_button});

    f.deform_panel = group(page, layout, "deform_panel", QStringLiteral("Deform"));
    auto* deform = new QVBoxLayout(f.deform_panel);
    f.preserve_shape_check = check(f.deform_panel, "preserve_shape_check", QStringLiteral("preserve shape"), true);
    f.fixImages_outerCount = spin(f.deform_panel, "fixImages_outerCount", 1, 15, 5, QStringLiteral("     loopCount"));
    f.fixImages_loopCount = spin(f.deform_panel, "fixImages_loopCount", 1, 10, 6, QStringLiteral("     repeats"));
    f.fixImages_distThresh = spin(f.deform_panel, "fixImages_distThresh", 1, 20, 4, QStringLiteral("         distance"));
    f.fixImages_minSize = spin(f.deform_panel, "fixImages_minSize", 1, 50, 2, QStringLiteral("     minSize"));
    f.fixImage_progressBar = progress(f.deform_panel, "fixImage_progressBar");
    f.finalizeDistanceSpin = spin(f.deform_panel, "finalizeDistanceSpin", 0, 99, 1, QStringLiteral("   distance"));
    for (QWidget* w : std::initializer_list<QWidget*>{f.preserve_shape_check, f.fixImages_outerCount,
                                                      f.fixImages_loopCount, f.fixImages_distThresh,
                                                      f.fixImages_minSize, f.fixImage_progressBar,
                                                      f.finalizeDistanceSpin})
        deform->addWidget(w);
    auto* deformActions = new QGridLayout;
    deform->addLayout(deformActions);
    f.deformImages = button(f.deform_panel, "deformImages", QStringLiteral("Deform Images"));
    f.adjustImages = button(f.deform_panel, "adjustImages", QStringLiteral("Adjust Images"));
    f.fix_images = button(f.deform_panel, "fix_images", QStringLiteral("Optimize"));
    f.increaseResolution = button(f.deform_panel, "increaseResolution", QStringLiteral("Increase Resolution"));
    f.finalizeOptimization = button(f.deform_panel, "finalizeOptimization", QStringLiteral("Finalize"));
    f.saveCurrentTestResults = button(f.deform_panel, "saveCurrentTestResults", QStringLiteral("Save Test Results"));
    f.saveLC_resultImages = button(f.deform_panel, "saveLC_resultImages", QStringLiteral("Save LC Result Images"));
    addButtonRows(deformActions, {f.deformImages, f.adjustImages, f.fix_images, f.finalizeOptimization,
                                  f.increaseResolution, f.saveCurrentTestResults, f.saveLC_resultImages});

    f.savePanel_checkBox = check(page, "savePanel_checkBox", QStringLiteral("Save panel"), false);
    layout->addWidget(f.savePanel_checkBox);
    f.savePanel = named(new QFrame(page), "savePanel");
    f.savePanel->setFrameShape(QFrame::StyledPanel);
    auto* save = new QGridLayout(f.savePanel);
    f.saveState = button(f.savePanel, "saveState", QStringLiteral("Save State"));
    f.loadAndCompute_shadowMesh = button(f.savePanel, "loadAndCompute_shadowMesh", QStringLiteral("Load And Compute"));
    addButtonRows(save, {f.saveState, f.loadAndCompute_shadowMesh});
    layout->addWidget(f.savePanel);
    layout->addStretch(1);
}

void setupEditTab(KalvexForm& f, QWidget* page)
{
    auto* layout = new QVBoxLayout(page);

    QGroupBox* tools = group(page, layout, "editToolbox", QStringLiteral("Edit toolbox"));
    auto* toolForm = new QFormLayout(tools);
    f.editToolboxRadius = spin(tools, "editToolboxRadius", 1, 100, 5);
    toolForm->addRow(QStringLiteral("Radius:"), f.editToolboxRadius);
    f.remove_complete_rays_only = check(tools, "remove_complete_rays_only", QStringLiteral("Complete only"), true);
    f.editToolboxDisplayFreeCells =
        check(tools, "editToolboxDisplayFreeCells", QStringLiteral("Highlight Editable Cells (F)"), false);
    f.editToolboxDisplayDisconnectedCells =
        check(tools, "editToolboxDisplayDisconnectedCells", QStringLiteral("Highlight Disconnected Cells (D)"), false);
    toolForm->addRow(f.remove_complete_rays_only);
    toolForm->addRow(f.editToolboxDisplayFreeCells);
    toolForm->addRow(f.editToolboxDisplayDisconnectedCells);
    auto* history = new QGridLayout;
    toolForm->addRow(history);
    f.editUndo = button(tools, "editUndo", QStringLiteral("Undo (Ctrl-Z)"));
    f.editRedo = button(tools, "editRedo", QStringLiteral("Redo (Ctrl-Y)"));
    f.edit_makeOneComponent = button(tools, "edit_makeOneComponent", QStringLiteral("Make One Component"));
    f.edit_save_contouredMesh = button(tools, "edit_save_contouredMesh", QStringLiteral("Save Contoured Mesh"));
    f.edit_autoConnect = button(tools, "edit_autoConnect", QStringLiteral("Connect Components"));
    f.edit_cleanUp = button(tools, "edit_cleanUp", QStringLiteral("Clean Up"));
    addButtonRows(history, {f.editUndo, f.editRedo, f.edit_makeOneComponent, f.edit_save_contouredMesh,
                            f.edit_autoConnect, f.edit_cleanUp});

    QGroupBox* random = group(page, layout, "randomBalls", QStringLiteral("Random balls"));
    auto* randomForm = new QFormLayout(random);
    f.nof_random_cells = spin(random, "nof_random_cells", 10000, 999999999, 10000);
    f.random_cells_radius = spin(random, "random_cells_radius", 1, 10, 3);
    randomForm->addRow(QStringLiteral("Count:"), f.nof_random_cells);
    randomForm->addRow(QStringLiteral("Radius:"), f.random_cells_radius);
    f.edit_removeRandomBalls = button(random, "edit_removeRandomBalls", QStringLiteral("Remove Random Balls"));
    randomForm->addRow(f.edit_removeRandomBalls);

    QGroupBox* smoothing = group(page, layout, "smoothing", QStringLiteral("Smoothing"));
    auto* smoothForm = new QFormLayout(smoothing);
    f.smooth_threshold = spin(smoothing, "smooth_threshold", 0, 100, 50);
    f.smooth_radius = spin(smoothing, "smooth_radius", 1, 10, 3);
    smoothForm->addRow(QStringLiteral("Threshold (%):"), f.smooth_threshold);
    smoothForm->addRow(QStringLiteral("Radius:"), f.smooth_radius);
    f.edit_smooth = button(smoothing, "edit_smooth", QStringLiteral("Smooth"));
    smoothForm->addRow(f.edit_smooth);

    QGroupBox* special = group(page, layout, "specialEdits", QStringLiteral("Special edits"));
    auto* specialForm = new QFormLayout(special);
    f.spnEditRbfeDit = spin(special, "spnEditRbfeDit", 0, 9999, 50);
    f.spnEditRbfbbDistance = spin(special, "spnEditRbfbbDistance", 1, 50, 10);
    specialForm->addRow(QStringLiteral("Distance Increment Threshold:"), f.spnEditRbfeDit);
    specialForm->addRow(QStringLiteral("Distance:"), f.spnEditRbfbbDistance);
    f.edit_removeCellsInBox = button(special, "edit_removeCellsInBox", QStringLiteral("Remove Cells In Box"));
    f.edit_removeBallsAtBoxBorder =
        button(special, "edit_removeBallsAtBoxBorder", QStringLiteral("Remove Balls At Box Border"));
    specialForm->addRow(f.edit_removeCellsInBox);
    specialForm->addRow(f.edit_removeBallsAtBoxBorder);

    // The slice range follows the volume: it is set to 0..sizeZ whenever one is computed.
    QGroupBox* display = group(page, layout, "displayGroup", QStringLiteral("Display"));
    auto* displayForm = new QFormLayout(display);
    f.spnMinSlice = spin(display, "spnMinSlice", 0, 0, 0);
    f.spnMaxSlice = spin(display, "spnMaxSlice", 0, 0, 0);
    displayForm->addRow(QStringLiteral("Slicing:"),
                        rangeRow(display, f.spnMinSlice, QStringLiteral("<= Z <="), f.spnMaxSlice));
    f.chkInvertSlice = check(display, "chkInvertSlice", QStringLiteral("Invert"), false);
    f.chkRenderHollow =
        check(display, "chkRenderHollow", QStringLiteral("Hollow (don't render completely occluded cells)"), true);
    f.animateSpinBox = spin(display, "animateSpinBox", 15, 99000, 75, QStringLiteral(" frames"));
    f.grab_frames = button(display, "grab_frames", QStringLiteral("Grab Frames"));
    displayForm->addRow(f.chkInvertSlice);
    displayForm->addRow(f.chkRenderHollow);
    displayForm->addRow(f.animateSpinBox);
    displayForm->addRow(f.grab_frames);
    layout->addStretch(1);
}

void setupExampleTab(KalvexForm& f, QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    f.interpolationMode_triangulator = named(new QComboBox(page), "interpolationMode_triangulator");
    form->addRow(QStringLiteral("Interpolation"), f.interpolationMode_triangulator);
    f.isovalue_triangulator = named(new QDoubleSpinBox(page), "isovalue_triangulator");
    f.isovalue_triangulator->setRange(0.05, 0.95);
    f.isovalue_triangulator->setSingleStep(0.05);
    f.isovalue_triangulator->setValue(0.8);
    form->addRow(QStringLiteral("IsoValue"), f.isovalue_triangulator);
    f.exampleBased_stickingOut = lineEdit(page, "exampleBased_stickingOut", QStringLiteral("0.8"));
    form->addRow(QStringLiteral("Outside Margin"), f.exampleBased_stickingOut);
    f.imageMesh_sampleSpacing = lineEdit(page, "imageMesh_sampleSpacing", QStringLiteral("2.0"));
    form->addRow(QStringLiteral("Sample Spacing"), f.imageMesh_sampleSpacing);
    f.imageMesh_pointSpacing = lineEdit(page, "imageMesh_pointSpacing", QStringLiteral("10.0"));
    form->addRow(QStringLiteral("Point Spacing"), f.imageMesh_pointSpacing);

    auto* actions = new QGridLayout;
    layout->addLayout(actions);
    f.exampleBased_lazyLoad = button(page, "exampleBased_lazyLoad", QStringLiteral("Lazy Load"));
    f.exampleBased_loadDatabaseModels =
        button(page, "exampleBased_loadDatabaseModels", QStringLiteral("Load Database Models"));
    f.exampleBased_computeSculpture = button(page, "exampleBased_computeSculpture", QStringLiteral("Compute Sculpture"));
    f.exampleBased_ICPrefine = button(page, "exampleBased_ICPrefine", QStringLiteral("ICP Refine"));
    f.exampleBased_showShadowMesh = button(page, "exampleBased_showShadowMesh", QStringLiteral("Show Shadow Mesh"));
    f.exampleBased_saveSculptureMesh =
        button(page, "exampleBased_saveSculptureMesh", QStringLiteral("Save Sculpture Mesh"));
    f.exampleBased_savePovScene = button(page, "exampleBased_savePovScene", QStringLiteral("Save POV Scene"));
    f.saveMeshBoundary_ps = button(page, "saveMeshBoundary_ps", QStringLiteral("Mesh Boundary -> PS"));
    addButtonRows(actions, {f.exampleBased_lazyLoad, f.exampleBased_loadDatabaseModels, f.exampleBased_computeSculpture,
                            f.exampleBased_ICPrefine, f.exampleBased_showShadowMesh, f.exampleBased_saveSculptureMesh,
                            f.exampleBased_savePovScene, f.saveMeshBoundary_ps});
    layout->addStretch(1);
}

void setupPerspectiveTab(KalvexForm& f, QWidget* page)
{
    auto* layout = new QVBoxLayout(page);

    QGroupBox* mode = group(page, layout, "projectionModeGroup", QStringLiteral("Projection mode"));
    auto* modeLayout = new QHBoxLayout(mode);
    f.orthoOpt = radio(mode, "orthoOpt", QStringLiteral("Orthographic"));
    f.perspectiveOpt = radio(mode, "perspectiveOpt", QStringLiteral("Perspective"));
    modeLayout->addWidget(f.orthoOpt);
    modeLayout->addWidget(f.perspectiveOpt);

    const QString zero = QStringLiteral("0");
    setupPerspectiveView(f.perspectiveView[0], group(page, layout, "x_image", QStringLiteral("x_image")), 1,
                         "x_perpective_image_present", QStringLiteral("x_perspective_image"),
                         QStringLiteral("pelko.png"), {QStringLiteral("-1.1"), zero, zero},
                         {zero, QStringLiteral("-1"), zero});
    setupPerspectiveView(f.perspectiveView[1], group(page, layout, "y_image", QStringLiteral("y_image")), 2,
                         "y_perpective_image_present", QStringLiteral("y_perspective_image"),
                         QStringLiteral("trask.png"), {zero, QStringLiteral("-1.1"), zero},
                         {QStringLiteral("1"), zero, zero});

    auto* actions = new QGridLayout;
    layout->addLayout(actions);
    f.perspective_loadFromUI = button(page, "perspective_loadFromUI", QStringLiteral("Load From UI"));
    f.perspective_lazy = button(page, "perspective_lazy", QStringLiteral("Lazy"));
    f.perspective_ShowShadow = button(page, "perspective_ShowShadow", QStringLiteral("Show Shadow"));
    f.perspective_edit = button(page, "perspective_edit", QStringLiteral("Remove Random Cells"));
    f.pers_adjustImages = button(page, "pers_adjustImages", QStringLiteral("Adjust Images"));
    f.perspective_recompute_shadow = button(page, "perspective_recompute_shadow", QStringLiteral("Recompute Shadow"));
    f.perspective_saveMesh = button(page, "perspective_saveMesh", QStringLiteral("Save Mesh"));
    f.perspective_saveSmoothMesh = button(page, "perspective_saveSmoothMesh", QStringLiteral("Save Smooth Mesh"));
    f.saveDeformedPersMeshes = button(page, "saveDeformedPersMeshes", QStringLiteral("Save Deformed Pictures"));
    addButtonRows(actions, {f.perspective_loadFromUI, f.perspective_lazy, f.perspective_ShowShadow,
                            f.perspective_edit, f.pers_adjustImages, f.perspective_recompute_shadow,
                            f.perspective_saveMesh, f.perspective_saveSmoothMesh, f.saveDeformedPersMeshes});
    layout->addStretch(1);
}
