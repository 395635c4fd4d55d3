#pragma once
// The main window's form, built in code: every widget the window, its
// handlers and the hidden expert panels use, by object name. All widgets are
// children of the window; the four expert tabs are built on `taw_right` and
// then taken off it by the window, their pages living on unseen as parameter
// holders.
//
// Fixed names: other tools rely on them, so none is renamed or "tidied",
// however odd it looks. Each field below is also its widget's object name
// (`radioButton_2`, `pushButton_2`, `label_8`, `btn_simple_generate_volume`,
// `_simple_preserveShape`, `spnEditRbfeDit`, ...), and the window is checked
// from outside by these object names, as are `kalvexWindowClass`,
// `sceneView`, `statusLabel`, `exampleOpenDialog`, `customLoadDialog` and
// `option_1` ... `option_16`. The window's handler slots are named after the
// widgets, with their suffixes (`btn_simple_generate_volume_released`,
// `editUndo_released`, `editToolboxRadius_changed`, `actionAbout_slot`, ...)
// and keep those names too.

#include "app/PlacementLabel.h"

class DeformImage;

class QAction;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QSplitter;
class QTabWidget;
class QToolButton;
class QWidget;

struct PerspectiveViewFields {
    QCheckBox* present = nullptr;
    QLineEdit* image_name = nullptr;
    QLineEdit* center[3] = {};
    QLineEdit* lookAt[3] = {};
    QLineEdit* upVector[3] = {};
    QLineEdit* focal_distance = nullptr;
    QLineEdit* image_size = nullptr;
};

struct KalvexForm {
    // ---- left side and the 3-D view's frame ---------------------------------
    QTabWidget* left_panel = nullptr;
    PlacementLabel* originalLabel_x = nullptr;
    PlacementLabel* originalLabel_y = nullptr;
    PlacementLabel* originalLabel_z = nullptr;
    QPushButton* pushButton_2 = nullptr;
    DeformImage* imageLabel_x = nullptr;
    DeformImage* imageLabel_y = nullptr;
    DeformImage* imageLabel_z = nullptr;
    QPushButton* recompute_shadow_button = nullptr;
    QLabel* currentResultLabel_x = nullptr;
    QLabel* currentResultLabel_y = nullptr;
    QLabel* currentResultLabel_z = nullptr;
    QLabel* projectionLegend = nullptr;  // what the comparison colours mean
    QLabel* projectionCells = nullptr;   // the volume's cell count
    QLabel* projectionKept = nullptr;    // "kept 94 % / 88 % / 91 %"
    QPushButton* exit_button = nullptr;
    QGroupBox* meshViewer = nullptr;
    QWidget* render_widget = nullptr;
    // Picture tabs, the view's frame and the right-hand tabs, side by side.
    QSplitter* mainSplitter = nullptr;

    // ---- right side: the workflow panel ---------------------------------------
    QTabWidget* taw_right = nullptr;
    QWidget* tab_right_simple = nullptr;
    QGroupBox* lightSources = nullptr;
    QPushButton* parallelLights = nullptr;
    QPushButton* pointLights = nullptr;
    QGroupBox* gbx_simple_projection = nullptr;
    QLabel* label_8 = nullptr;
    QComboBox* cmb_simple_ortho_type = nullptr;
    QLabel* label_9 = nullptr;
    QSpinBox* spn_simple_res = nullptr;
    QGroupBox* gbx_simple_generate = nullptr;
    QRadioButton* presetRadio = nullptr;
    QComboBox* cmb_simple_preset = nullptr;
    QRadioButton* radioButton_2 = nullptr;
    QPushButton* btn_simple_load_images = nullptr;
    QPushButton* btn_simple_generate_volume = nullptr;
    QPushButton* btn_simple_arrange = nullptr;
    QProgressBar* arrangeProgressBar = nullptr;
    QGroupBox* gbx_simple_deform = nullptr;
    QCheckBox* _simple_preserveShape = nullptr;
    QSpinBox* simple_iterateCount = nullptr;
    QProgressBar* simple_progressBar = nullptr;
    QPushButton* btn_simple_deform_iterate = nullptr;
    QPushButton* btn_simple_increase_res = nullptr;
    QPushButton* btn_readyToEdit = nullptr;
    QGroupBox* gbx_simple_edit = nullptr;
    QLabel* label_10 = nullptr;
    QToolButton* btn_simple_edit_brush_sub = nullptr;
    QToolButton* btn_simple_edit_brush_add = nullptr;
    QToolButton* btn_simple_edit_brush_erode = nullptr;
    QToolButton* btn_simple_edit_ray = nullptr;
    QCheckBox* chk_simple_completeOnly = nullptr;
    QSpinBox* spn_simple_edit_radius = nullptr;
    QGroupBox* gbx_simple_finish = nullptr;
    QPushButton* btn_simple_fill_example_based = nullptr;
    QPushButton* btn_simple_export_print = nullptr;
    QLabel* label_11 = nullptr;
    QGroupBox* gbx_perspective = nullptr;
    QPushButton* simple_perspectiveLoad = nullptr;
    QSpinBox* simple_pers_nofIter = nullptr;
    QPushButton* simple_perspectiveOpt = nullptr;
    QProgressBar* persp_progressIterate = nullptr;
    QGroupBox* gbx_camera_group = nullptr;
    QRadioButton* simple_camera_x = nullptr;
    QRadioButton* simple_camera_y = nullptr;
    QRadioButton* simple_camera_z = nullptr;
    QRadioButton* simple_camera_45 = nullptr;
    QRadioButton* simple_camera_60 = nullptr;
    QRadioButton* simple_camera_120 = nullptr;
    QCheckBox* chkShowShadows = nullptr;           // walls with the volume's shadows in the 3-D view
    QPushButton* btn_save_view_picture = nullptr;  // the 3-D view as a PNG picture
    QWidget* workflowActions = nullptr;
    QPushButton* simple_animate = nullptr;
    QPushButton* btn_simple_reset_scene = nullptr;
    QPushButton* simple_exit = nullptr;

    // ---- expert tab "Basic" -----------------------------------------------------
    QWidget* tab_basic = nullptr;
    QRadioButton* x_proj_button = nullptr;
    QRadioButton* y_proj_button = nullptr;
    QRadioButton* z_proj_button = nullptr;
    QRadioButton* fortyFive_proj_button = nullptr;
    QRadioButton* sixty_proj_button = nullptr;
    QRadioButton* oneTwenty_proj_button = nullptr;
    QRadioButton* all_proj_button = nullptr;
    QLineEdit* voxelResolution_edit = nullptr;
    QCheckBox* useMask_check = nullptr;
    QPushButton* resetAll = nullptr;
    QPushButton* shadow_lazyButton = nullptr;
    QPushButton* computeShadowMesh_button = nullptr;
    QPushButton* selectNextLayer = nullptr;
    QPushButton* saveMesh_button = nullptr;
    QLabel* currentNofCells = nullptr;
    QGroupBox* deform_panel = nullptr;
    QCheckBox* preserve_shape_check = nullptr;
    QSpinBox* fixImages_outerCount = nullptr;
    QSpinBox* fixImages_loopCount = nullptr;
    QSpinBox* fixImages_distThresh = nullptr;
    QSpinBox* fixImages_minSize = nullptr;
    QPushButton* deformImages = nullptr;
    QPushButton* adjustImages = nullptr;
    QPushButton* fix_images = nullptr;
    QPushButton* increaseResolution = nullptr;
    QProgressBar* fixImage_progressBar = nullptr;
    QSpinBox* finalizeDistanceSpin = nullptr;
    QPushButton* finalizeOptimization = nullptr;
    QPushButton* saveCurrentTestResults = nullptr;
    QPushButton* saveLC_resultImages = nullptr;
    QCheckBox* savePanel_checkBox = nullptr;
    QFrame* savePanel = nullptr;
    QPushButton* saveState = nullptr;
    QPushButton* loadAndCompute_shadowMesh = nullptr;

    // ---- expert tab "Edit" -------------------------------------------------------
    QWidget* tab_edit = nullptr;
    QSpinBox* editToolboxRadius = nullptr;
    QCheckBox* remove_complete_rays_only = nullptr;
    QCheckBox* editToolboxDisplayFreeCells = nullptr;
    QCheckBox* editToolboxDisplayDisconnectedCells = nullptr;
    QPushButton* editUndo = nullptr;
    QPushButton* editRedo = nullptr;
    QPushButton* edit_makeOneComponent = nullptr;
    QPushButton* edit_save_contouredMesh = nullptr;
    QPushButton* edit_autoConnect = nullptr;
    QPushButton* edit_removeRandomBalls = nullptr;
    QPushButton* edit_smooth = nullptr;
    QPushButton* edit_removeCellsInBox = nullptr;
    QPushButton* edit_removeBallsAtBoxBorder = nullptr;
    QPushButton* edit_cleanUp = nullptr;
    QSpinBox* nof_random_cells = nullptr;
    QSpinBox* random_cells_radius = nullptr;
    QSpinBox* smooth_threshold = nullptr;
    QSpinBox* smooth_radius = nullptr;
    QSpinBox* spnEditRbfeDit = nullptr;
    QSpinBox* spnEditRbfbbDistance = nullptr;
    QSpinBox* spnMinSlice = nullptr;
    QSpinBox* spnMaxSlice = nullptr;
    QCheckBox* chkInvertSlice = nullptr;
    QCheckBox* chkRenderHollow = nullptr;
    QSpinBox* animateSpinBox = nullptr;
    QPushButton* grab_frames = nullptr;

    // ---- expert tab "Example-based" -----------------------------------------------
    QWidget* tab_example = nullptr;
    QComboBox* interpolationMode_triangulator = nullptr;
    QDoubleSpinBox* isovalue_triangulator = nullptr;
    QLineEdit* exampleBased_stickingOut = nullptr;
    QLineEdit* imageMesh_sampleSpacing = nullptr;
    QLineEdit* imageMesh_pointSpacing = nullptr;
    QPushButton* exampleBased_lazyLoad = nullptr;
    QPushButton* exampleBased_loadDatabaseModels = nullptr;
    QPushButton* exampleBased_computeSculpture = nullptr;
    QPushButton* exampleBased_ICPrefine = nullptr;
    QPushButton* exampleBased_showShadowMesh = nullptr;
    QPushButton* exampleBased_saveSculptureMesh = nullptr;
    QPushButton* exampleBased_savePovScene = nullptr;
    QPushButton* saveMeshBoundary_ps = nullptr;

    // ---- expert tab "Perspective" ------------------------------------------------
    QWidget* tab_perspective = nullptr;
    QRadioButton* orthoOpt = nullptr;
    QRadioButton* perspectiveOpt = nullptr;
    PerspectiveViewFields perspectiveView[2];
    QPushButton* perspective_loadFromUI = nullptr;
    QPushButton* perspective_lazy = nullptr;
    QPushButton* perspective_ShowShadow = nullptr;
    QPushButton* perspective_edit = nullptr;
    QPushButton* pers_adjustImages = nullptr;
    QPushButton* perspective_recompute_shadow = nullptr;
    QPushButton* perspective_saveMesh = nullptr;
    QPushButton* perspective_saveSmoothMesh = nullptr;
    QPushButton* saveDeformedPersMeshes = nullptr;

    // ---- menus and their actions (the actions are children of the window) --------
    QMenu* menuFile = nullptr;
    QMenu* menuRender = nullptr;
    QMenu* menuHelp = nullptr;
    QAction* actionOpenMesh = nullptr;
    QAction* actionOpenScene = nullptr;
    QAction* actionSaveScene = nullptr;
    QAction* actionExit = nullptr;
    QAction* actionFlat = nullptr;
    QAction* actionSmooth = nullptr;
    QAction* actionWireFrame = nullptr;
    QAction* actionWireFrameHidden = nullptr;
    QAction* actionPoints = nullptr;
    QAction* actionShowAxis = nullptr;
    QAction* actionShowBBoxAndGrid = nullptr;
    QAction* actionCommonControl = nullptr;
    QAction* actionWhiteBackground = nullptr;
    QAction* actionAbout = nullptr;
};

// Builds the whole form on `window`: central widget, all five right-hand tabs,
// the menus and their actions, and the status bar; gives the window its
// default size.
void setupKalvexForm(KalvexForm& form, QMainWindow* window);

// The parts of the form, one per tab (KalvexWindowForm.cpp and KalvexExpertForm.cpp).
void setupWorkflowTab(KalvexForm& form, QWidget* page);
void setupBasicTab(KalvexForm& form, QWidget* page);
void setupEditTab(KalvexForm& form, QWidget* page);
void setupExampleTab(KalvexForm& form, QWidget* page);
void setupPerspectiveTab(KalvexForm& form, QWidget* page);
