// The main window's form: the picture tabs on the left, the 3-D view's frame in
// the middle, the right-hand tabs (the workflow panel here, the expert tabs in
// KalvexExpertForm.cpp) and the menus. A splitter holds the three columns; the
// view takes every pixel the side panels do not need.

#include "app/DeformImage.h"
#include "app/FormWidgets.h"
#include "app/KalvexForm.h"
#include "app/PlacementLabel.h"
#include "app/Presets.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

using namespace FormWidgets;

namespace {

constexpr int kPictureSide = 200;  // the pictures on the left are shown 200 wide
constexpr QSize kDefaultWindowSize(1280, 860);

QLabel* pictureLabel(QWidget* parent, QLayout* layout, const char* name)
{
    auto* picture = label(parent, name, QString());
    picture->setMinimumSize(kPictureSide, kPictureSide);
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    return picture;
}

PlacementLabel* placementLabel(QWidget* parent, QLayout* layout, const char* name)
{
    auto* picture = named(new PlacementLabel(parent), name);
    picture->setMinimumSize(kPictureSide, kPictureSide);
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    return picture;
}

DeformImage* deformLabel(QWidget* parent, QLayout* layout, const char* name)
{
    auto* picture = named(new DeformImage(parent), name);
    picture->setMinimumSize(kPictureSide, kPictureSide);
    picture->setAlignment(Qt::AlignCenter);
    layout->addWidget(picture);
    return picture;
}

QWidget* leftPage(QTabWidget* tabs, const QString& title)
{
    auto* page = new QWidget(tabs);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    tabs->addTab(page, title);
    return page;
}

void setupLeftPanel(KalvexForm& f, QSplitter* splitter)
{
    f.left_panel = named(new QTabWidget(splitter), "left_panel");
    f.left_panel->setUsesScrollButtons(true);
    splitter->addWidget(f.left_panel);

    QWidget* originals = leftPage(f.left_panel, QStringLiteral("Originals"));
    f.originalLabel_x = placementLabel(originals, originals->layout(), "originalLabel_x");
    f.originalLabel_y = placementLabel(originals, originals->layout(), "originalLabel_y");
    f.originalLabel_z = placementLabel(originals, originals->layout(), "originalLabel_z");
    f.pushButton_2 = button(originals, "pushButton_2", QString());
    originals->layout()->addWidget(f.pushButton_2);

    QWidget* deformed = leftPage(f.left_panel, QStringLiteral("Deformed"));
    f.imageLabel_x = deformLabel(deformed, deformed->layout(), "imageLabel_x");
    f.imageLabel_y = deformLabel(deformed, deformed->layout(), "imageLabel_y");
    f.imageLabel_z = deformLabel(deformed, deformed->layout(), "imageLabel_z");
    f.recompute_shadow_button = button(deformed, "recompute_shadow_button", QStringLiteral("Recompute Shadow"));
    deformed->layout()->addWidget(f.recompute_shadow_button);

    QWidget* results = leftPage(f.left_panel, QStringLiteral("Projection(s)"));
    f.currentResultLabel_x = pictureLabel(results, results->layout(), "currentResultLabel_x");
    f.currentResultLabel_y = pictureLabel(results, results->layout(), "currentResultLabel_y");
    f.currentResultLabel_z = pictureLabel(results, results->layout(), "currentResultLabel_z");
    f.projectionLegend = label(results, "projectionLegend",
                               QStringLiteral("black: shadow, orange: missing, brown: outside the figure"));
    f.projectionLegend->setWordWrap(true);
    f.projectionLegend->setMaximumWidth(kPictureSide);
    results->layout()->addWidget(f.projectionLegend);
    f.projectionCells = label(results, "projectionCells", QStringLiteral("cells: --"));
    results->layout()->addWidget(f.projectionCells);
    f.projectionKept = label(results, "projectionKept", QString());
    f.projectionKept->setToolTip(
        QStringLiteral("how much of each placed figure the volume's shadow keeps (intersection over union)"));
    results->layout()->addWidget(f.projectionKept);
    static_cast<QVBoxLayout*>(results->layout())->addStretch(1);  // the labels together at the top
    f.exit_button = button(results, "exit_button", QStringLiteral("Exit"));
    results->layout()->addWidget(f.exit_button);
    // Wide enough for the pictures and for every tab's title.
    f.left_panel->setMinimumWidth(f.left_panel->tabBar()->sizeHint().width() + 4);
}

void setupMeshViewer(KalvexForm& f, QSplitter* splitter)
{
    f.meshViewer = named(new QGroupBox(QStringLiteral("Mesh Viewer"), splitter), "meshViewer");
    auto* viewerLayout = new QVBoxLayout(f.meshViewer);
    viewerLayout->setContentsMargins(2, 2, 2, 2);
    f.render_widget = named(new QWidget(f.meshViewer), "render_widget");
    f.render_widget->setMinimumSize(320, 320);
    f.render_widget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    viewerLayout->addWidget(f.render_widget);
    splitter->addWidget(f.meshViewer);
}

void setupRightTabs(KalvexForm& f, QSplitter* splitter)
{
    f.taw_right = named(new QTabWidget(splitter), "taw_right");
    splitter->addWidget(f.taw_right);

    auto addPage = [&](const char* name, const QString& title) {
        auto* page = named(new QWidget(f.taw_right), name);
        f.taw_right->addTab(page, title);
        return page;
    };
    f.tab_right_simple = addPage("tab_right_simple", QStringLiteral("Simple"));
    f.tab_basic = addPage("tab_basic", QStringLiteral("Basic"));
    f.tab_edit = addPage("tab_edit", QStringLiteral("Edit"));
    f.tab_example = addPage("tab_example", QStringLiteral("Example-based"));
    f.tab_perspective = addPage("tab_perspective", QStringLiteral("Perspective"));

    setupWorkflowTab(f, f.tab_right_simple);
    setupBasicTab(f, f.tab_basic);
    setupEditTab(f, f.tab_edit);
    setupExampleTab(f, f.tab_example);
    setupPerspectiveTab(f, f.tab_perspective);
}

QAction* action(QMainWindow* window, const char* name, const QString& text, bool checkable = false,
                bool checked = false)
{
    auto* a = named(new QAction(text, window), name);
    a->setCheckable(checkable);
    a->setChecked(checked);
    return a;
}

// The actions belong to the window so that they outlive the menus, which the
// window deletes at construction.
void setupMenus(KalvexForm& f, QMainWindow* window)
{
    f.actionOpenMesh = action(window, "actionOpenMesh", QStringLiteral("Open Mesh..."));
    f.actionOpenScene = action(window, "actionOpenScene", QStringLiteral("Open Scene"));
    f.actionOpenScene->setShortcut(QKeySequence(QStringLiteral("Ctrl+O")));
    f.actionSaveScene = action(window, "actionSaveScene", QStringLiteral("Save Scene"));
    f.actionSaveScene->setShortcut(QKeySequence(QStringLiteral("Ctrl+S")));
    f.actionExit = action(window, "actionExit", QStringLiteral("E&xit"));

    auto* modes = new QActionGroup(window);
    f.actionFlat = action(window, "actionFlat", QStringLiteral("Flat"), true);
    f.actionSmooth = action(window, "actionSmooth", QStringLiteral("Smooth"), true);
    f.actionWireFrame = action(window, "actionWireFrame", QStringLiteral("WireFrame"), true);
    f.actionWireFrameHidden = action(window, "actionWireFrameHidden", QStringLiteral("WireFrameHidden"), true);
    f.actionPoints = action(window, "actionPoints", QStringLiteral("Points"), true);
    for (QAction* a : {f.actionFlat, f.actionSmooth, f.actionWireFrame, f.actionWireFrameHidden, f.actionPoints})
        modes->addAction(a);
    f.actionShowAxis = action(window, "actionShowAxis", QStringLiteral("Show Axis"), true);
    f.actionShowBBoxAndGrid = action(window, "actionShowBBoxAndGrid", QStringLiteral("Show BBox and Grid"), true);
    f.actionCommonControl = action(window, "actionCommonControl", QStringLiteral("Common Control"), true, true);
    f.actionWhiteBackground =
        action(window, "actionWhiteBackground", QStringLiteral("White Background"), true, true);
    f.actionAbout = action(window, "actionAbout", QStringLiteral("About"));

    QMenuBar* bar = window->menuBar();
    f.menuFile = bar->addMenu(QStringLiteral("&File"));
    f.menuFile->addActions({f.actionOpenMesh, f.actionOpenScene, f.actionSaveScene});
    f.menuFile->addSeparator();
    f.menuFile->addAction(f.actionExit);
    f.menuRender = bar->addMenu(QStringLiteral("Render"));
    f.menuRender->addActions(modes->actions());
    f.menuRender->addSeparator();
    f.menuRender->addActions(
        {f.actionShowAxis, f.actionShowBBoxAndGrid, f.actionCommonControl, f.actionWhiteBackground});
    f.menuHelp = bar->addMenu(QStringLiteral("Help"));
    f.menuHelp->addAction(f.actionAbout);
}

QToolButton* toolButton(QWidget* parent, const char* name, const char* icon, const QString& tip)
{
    auto* tool = named(new QToolButton(parent), name);
    tool->setIcon(QIcon(QString::fromLatin1(icon)));
    tool->setIconSize(QSize(32, 32));
    tool->setToolTip(tip);
    tool->setCheckable(true);
    tool->setAutoExclusive(true);
    return tool;
}

QGroupBox* group(QWidget* parent, QLayout* layout, const char* name, const QString& title)
{
    auto* box = named(new QGroupBox(title, parent), name);
    layout->addWidget(box);
    return box;
}

}  // namespace

void setupKalvexForm(KalvexForm& f, QMainWindow* window)
{
    // The icons live in the GUI library; make sure its resources are linked in.
    Q_INIT_RESOURCE(resources);
    window->setObjectName(QStringLiteral("kalvexWindowClass"));
    window->setWindowTitle(QStringLiteral("Kalvex: Creator and Editor"));
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/kalvex")));
    QFont font = window->font();
    font.setFamily(QStringLiteral("Segoe UI"));
    window->setFont(font);

    auto* central = named(new QWidget(window), "centralWidget");
    auto* layout = new QHBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    f.mainSplitter = named(new QSplitter(Qt::Horizontal, central), "mainSplitter");
    f.mainSplitter->setChildrenCollapsible(false);  // both side panels stay usable
    layout->addWidget(f.mainSplitter);
    setupLeftPanel(f, f.mainSplitter);
    setupMeshViewer(f, f.mainSplitter);
    setupRightTabs(f, f.mainSplitter);
    // The side panels keep their natural widths; the view grows and shrinks.
    f.mainSplitter->setStretchFactor(0, 0);
    f.mainSplitter->setStretchFactor(1, 1);
    f.mainSplitter->setStretchFactor(2, 0);
    window->setCentralWidget(central);
    setupMenus(f, window);

    // Shown without a size of its own (no window manager to maximise it),
    // the window takes this size, less where the screen is smaller.
    QSize size = kDefaultWindowSize;
    if (const QScreen* screen = window->screen())
        size = size.boundedTo(screen->availableSize());
    window->resize(size);
}

void setupWorkflowTab(KalvexForm& f, QWidget* page)
{
    auto* layout = new QVBoxLayout(page);

    f.lightSources = group(page, layout, "lightSources", QStringLiteral("Select type of light sources (projections)"));
    auto* lightLayout = new QVBoxLayout(f.lightSources);
    f.parallelLights = button(f.lightSources, "parallelLights", QStringLiteral("directional lights"));
    f.pointLights = button(f.lightSources, "pointLights", QStringLiteral("point lights"));
    lightLayout->addWidget(f.parallelLights);
    lightLayout->addWidget(f.pointLights);

    f.gbx_simple_projection =
        group(page, layout, "gbx_simple_projection", QStringLiteral("1A. Select your orthographic projections"));
    auto* projection = new QGridLayout(f.gbx_simple_projection);
    f.label_8 = label(f.gbx_simple_projection, "label_8", QStringLiteral("Orthographic projections:"));
    f.cmb_simple_ortho_type = named(new QComboBox(f.gbx_simple_projection), "cmb_simple_ortho_type");
    f.cmb_simple_ortho_type->addItems(
        {QStringLiteral("Preset"), QStringLiteral("X, Y, Z"), QString::fromUtf8("XY: 0°, 45°, 90°"),
         QString::fromUtf8("XY: 0°, 60°, 120°")});
    f.label_9 = label(f.gbx_simple_projection, "label_9", QStringLiteral("Coarseness level:"));
    f.spn_simple_res = spin(f.gbx_simple_projection, "spn_simple_res", 1, 8, 5);
    f.spn_simple_res->setToolTip(QStringLiteral("resolution"));
    projection->addWidget(f.label_8, 0, 0);
    projection->addWidget(f.cmb_simple_ortho_type, 0, 1);
    projection->addWidget(f.label_9, 1, 0);
    projection->addWidget(f.spn_simple_res, 1, 1);

    f.gbx_simple_generate = group(page, layout, "gbx_simple_generate", QStringLiteral("1B. Generate shadow hull"));
    auto* generate = new QGridLayout(f.gbx_simple_generate);
    f.presetRadio = radio(f.gbx_simple_generate, "presetRadio", QStringLiteral("Preset Selection:"), true);
    f.cmb_simple_preset = named(new QComboBox(f.gbx_simple_generate), "cmb_simple_preset");
    f.cmb_simple_preset->addItems(Presets::workflowPresetNames());
    f.radioButton_2 = radio(f.gbx_simple_generate, "radioButton_2", QStringLiteral("Custom:"));
    f.btn_simple_load_images = button(f.gbx_simple_generate, "btn_simple_load_images", QStringLiteral("load images ..."));
    f.btn_simple_generate_volume = button(f.gbx_simple_generate, "btn_simple_generate_volume", QStringLiteral("generate"));
    f.btn_simple_arrange = button(f.gbx_simple_generate, "btn_simple_arrange", QStringLiteral("arrange"));
    f.btn_simple_arrange->setToolTip(
        QStringLiteral("scale and shift the pictures so that every shadow keeps as much of its figure as it can"));
    f.arrangeProgressBar = progress(f.gbx_simple_generate, "arrangeProgressBar");
    generate->addWidget(f.presetRadio, 0, 0);
    generate->addWidget(f.cmb_simple_preset, 0, 1);
    generate->addWidget(f.radioButton_2, 1, 0);
    generate->addWidget(f.btn_simple_load_images, 1, 1);
    generate->addWidget(f.btn_simple_generate_volume, 2, 0);
    generate->addWidget(f.btn_simple_arrange, 2, 1);
    generate->addWidget(f.arrangeProgressBar, 3, 0, 1, 2);

    f.gbx_simple_deform = group(page, layout, "gbx_simple_deform", QStringLiteral("2. Deform shadow images"));
    f.gbx_simple_deform->setEnabled(false);
    auto* deform = new QGridLayout(f.gbx_simple_deform);
    f._simple_preserveShape = check(f.gbx_simple_deform, "_simple_preserveShape", QStringLiteral("preserve shape"), false);
    f.simple_iterateCount = spin(f.gbx_simple_deform, "simple_iterateCount", 1, 20, 4, QStringLiteral("   times"));
    f.simple_progressBar = progress(f.gbx_simple_deform, "simple_progressBar");
    f.btn_simple_deform_iterate = button(f.gbx_simple_deform, "btn_simple_deform_iterate", QStringLiteral("optimize"));
    f.btn_simple_increase_res =
        button(f.gbx_simple_deform, "btn_simple_increase_res", QStringLiteral("increase resolution"));
    f.btn_readyToEdit = button(f.gbx_simple_deform, "btn_readyToEdit", QStringLiteral("done with this stage ..."));
    deform->addWidget(f._simple_preserveShape, 0, 0);
    deform->addWidget(f.simple_iterateCount, 0, 1);
    deform->addWidget(f.simple_progressBar, 1, 0, 1, 2);
    deform->addWidget(f.btn_simple_deform_iterate, 2, 0);
    deform->addWidget(f.btn_simple_increase_res, 2, 1);
    deform->addWidget(f.btn_readyToEdit, 3, 0, 1, 2);

    f.gbx_simple_edit = group(page, layout, "gbx_simple_edit", QStringLiteral("3. Edit toolbox"));
    f.gbx_simple_edit->setEnabled(false);
    auto* edit = new QGridLayout(f.gbx_simple_edit);
    f.label_10 = label(f.gbx_simple_edit, "label_10", QStringLiteral("Tools:"));
    f.btn_simple_edit_brush_sub =
        toolButton(f.gbx_simple_edit, "btn_simple_edit_brush_sub", ":/editIcons/sub_brush", QStringLiteral("remove"));
    f.btn_simple_edit_brush_add =
        toolButton(f.gbx_simple_edit, "btn_simple_edit_brush_add", ":/editIcons/add_brush", QStringLiteral("add"));
    f.btn_simple_edit_brush_erode =
        toolButton(f.gbx_simple_edit, "btn_simple_edit_brush_erode", ":/editIcons/erode", QStringLiteral("erode"));
    f.btn_simple_edit_ray =
        toolButton(f.gbx_simple_edit, "btn_simple_edit_ray", ":/editIcons/ray", QStringLiteral("shoot ray"));
    f.btn_simple_edit_brush_sub->setChecked(true);
    f.spn_simple_edit_radius = spin(f.gbx_simple_edit, "spn_simple_edit_radius", 1, 10, 3, QStringLiteral("   radius"));
    edit->addWidget(f.label_10, 0, 0);
    int column = 1;
    for (QToolButton* tool : {f.btn_simple_edit_brush_sub, f.btn_simple_edit_brush_add, f.btn_simple_edit_brush_erode,
                              f.btn_simple_edit_ray})
        edit->addWidget(tool, 0, column++);
    edit->addWidget(f.spn_simple_edit_radius, 1, 1, 1, 4);
    // The removing tools' all-or-nothing switch, on the panel the user sees.
    f.chk_simple_completeOnly = check(f.gbx_simple_edit, "chk_simple_completeOnly", QStringLiteral("complete only"), true);
    f.chk_simple_completeOnly->setToolTip(
        QStringLiteral("remove a whole ball (brush) or a whole ray, or nothing"));
    edit->addWidget(f.chk_simple_completeOnly, 2, 1, 1, 4);

    f.gbx_simple_finish = group(page, layout, "gbx_simple_finish", QStringLiteral("4. Finishing"));
    f.gbx_simple_finish->setEnabled(false);
    auto* finish = new QVBoxLayout(f.gbx_simple_finish);
    f.btn_simple_fill_example_based =
        button(f.gbx_simple_finish, "btn_simple_fill_example_based", QStringLiteral("perform example-based filling"));
    finish->addWidget(f.btn_simple_fill_example_based);
    f.btn_simple_export_print =
        button(f.gbx_simple_finish, "btn_simple_export_print", QStringLiteral("export for printing ..."));
    finish->addWidget(f.btn_simple_export_print);

    f.label_11 = label(page, "label_11", QStringLiteral("KalvexCreator: Please read the manual!"));
    layout->addWidget(f.label_11);

    f.gbx_perspective = group(page, layout, "gbx_perspective", QStringLiteral("Perspective projection example"));
    auto* perspective = new QGridLayout(f.gbx_perspective);
    f.simple_perspectiveLoad = button(f.gbx_perspective, "simple_perspectiveLoad", QStringLiteral("load preset"));
    f.simple_pers_nofIter = spin(f.gbx_perspective, "simple_pers_nofIter", 1, 15, 4, QStringLiteral("  times"));
    f.simple_pers_nofIter->setEnabled(false);
    f.simple_perspectiveOpt = button(f.gbx_perspective, "simple_perspectiveOpt", QStringLiteral("optimize"));
    f.simple_perspectiveOpt->setEnabled(false);
    f.persp_progressIterate = progress(f.gbx_perspective, "persp_progressIterate");
    perspective->addWidget(f.simple_perspectiveLoad, 0, 0, 1, 2);
    perspective->addWidget(f.simple_pers_nofIter, 1, 0);
    perspective->addWidget(f.simple_perspectiveOpt, 1, 1);
    perspective->addWidget(f.persp_progressIterate, 2, 0, 1, 2);

    f.gbx_camera_group = group(page, layout, "gbx_camera_group", QStringLiteral("Camera view"));
    f.gbx_camera_group->setEnabled(false);
    auto* camera = new QGridLayout(f.gbx_camera_group);
    f.simple_camera_x = radio(f.gbx_camera_group, "simple_camera_x", QStringLiteral("x"), true);
    f.simple_camera_y = radio(f.gbx_camera_group, "simple_camera_y", QStringLiteral("y"));
    f.simple_camera_z = radio(f.gbx_camera_group, "simple_camera_z", QStringLiteral("z"));
    f.simple_camera_45 = radio(f.gbx_camera_group, "simple_camera_45", QStringLiteral("45"));
    f.simple_camera_60 = radio(f.gbx_camera_group, "simple_camera_60", QStringLiteral("60"));
    f.simple_camera_120 = radio(f.gbx_camera_group, "simple_camera_120", QStringLiteral("120"));
    QRadioButton* const cameras[] = {f.simple_camera_x,  f.simple_camera_y,  f.simple_camera_z,
                                     f.simple_camera_45, f.simple_camera_60, f.simple_camera_120};
    for (int i = 0; i < 6; ++i)
        camera->addWidget(cameras[i], 0, i);
    camera->setColumnStretch(6, 1);  // the buttons keep their own width; a click on one hits it
    // The view's own switches share the next row.
    auto* viewRow = new QHBoxLayout;
    f.chkShowShadows = check(f.gbx_camera_group, "chkShowShadows", QStringLiteral("show shadows"), true);
    f.chkShowShadows->setToolTip(QStringLiteral("walls behind the volume with the shadows it casts"));
    f.btn_save_view_picture =
        button(f.gbx_camera_group, "btn_save_view_picture", QStringLiteral("save view as picture ..."));
    viewRow->addWidget(f.chkShowShadows);
    viewRow->addWidget(f.btn_save_view_picture, 1);
    camera->addLayout(viewRow, 1, 0, 1, 7);

    // Animate, reset and exit sit below the camera group, in a row of their
    // own that stays usable at every stage: exit must always be reachable.
    f.workflowActions = named(new QWidget(page), "workflowActions");
    layout->addWidget(f.workflowActions);
    auto* actions = new QHBoxLayout(f.workflowActions);
    actions->setContentsMargins(0, 0, 0, 0);
    f.simple_animate = button(f.workflowActions, "simple_animate", QStringLiteral("animate"));
    f.btn_simple_reset_scene = button(f.workflowActions, "btn_simple_reset_scene", QStringLiteral("reset scene..."));
    f.btn_simple_reset_scene->hide();
    f.simple_exit = button(f.workflowActions, "simple_exit", QStringLiteral("exit"));
    for (QPushButton* b : {f.simple_animate, f.btn_simple_reset_scene, f.simple_exit})
        actions->addWidget(b);

    layout->addStretch(1);
}
