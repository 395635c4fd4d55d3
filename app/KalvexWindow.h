#pragma once
// The main window: the three picture tabs, the 3-D view and the Workflow
// panel that takes three pictures through the stages "generate", "deform",
// "edit" and "finish". The design itself (pictures, views, volume, history)
// is the session's: every handler reads its widgets, runs a session step and
// shows what the session holds, with one line in the status label.

#include "app/KalvexForm.h"
#include "app/Presets.h"
#include "files/SceneFiles.h"
#include "session/DesignSession.h"

#include <QJsonObject>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CustomLoadDialog;
class RecoveryWriter;
struct DesignSnapshot;
class ExampleOpenDialog;
class QKeyEvent;
class QLabel;
class QProgressBar;
class QRadioButton;
class SceneGLWidget;

class KalvexWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit KalvexWindow(QWidget* parent = nullptr);
    ~KalvexWindow() override;

    const KalvexForm& form() const { return _form; }
    SceneGLWidget* view() const { return _view; }
    QLabel* statusLabel() const { return _status_label; }
    CustomLoadDialog* customLoadDialog() const { return _custom_load_dialog; }
    ExampleOpenDialog* exampleDialog() const { return _example_dialog; }
    DesignSession& session() { return _session; }
    const DesignSession& session() const { return _session; }
    ShadowObject* master() { return _session.volume().master(); }
    const std::vector<ShadowView>& viewObjects() const { return _session.pictures().views(); }
    float voxelResolution() const { return _session.cellSize(); }

    // ---- loaders --------------------------------------------------------------
    // The three pictures become the views of projection set `set` (0, 1, 2) at
    // the session's cell size. False, with the reason in the status line and
    // nothing changed, for an unknown set or an unusable picture.
    bool loadImageCombination(int set, const Presets::PictureFiles& paths);
    // A preset folder key under "./IncludedData".
    void loadPreset(const QString& key, int set);
    // An example key under "./Models/Images" (the Ctrl+E dialog). The set
    // becomes the pictures "generate" builds from; a key without pictures
    // ("editdemo") gives three views without any.
    void loadExample(const QString& key, int set);
    // The pictures chosen in the custom-load dialog (with the luminance
    // threshold that finds their figures, -1 automatic), for "generate".
    void chooseCustomPictures(int set, const Presets::PictureFiles& paths, int threshold = -1);

    // ---- placement ---------------------------------------------------------------
    // Whether the Originals pictures may be placed by hand now: three
    // pictures, in stage 1 or 2 (a hull is rebuilt after each change).
    bool placingAllowed() const;
    // Changes view `slot`'s placement by `change` (of the current one).
    void changePlacement(int slot, const std::function<void(Placement&)>& change);

    // The scene file behind the dialogs of Ctrl+S and Ctrl+O.
    void saveSceneTo(const QString& path);
    void openSceneFrom(const QString& path);
    // The sculpture behind "export for printing ...".
    void exportSculptureTo(const QString& path, double sizeMm);
    // The 3-D view behind "save view as picture ...": a PNG of `size` pixels.
    void saveViewPictureTo(const QString& path, const QSize& size);

    // ---- the recovery copy -----------------------------------------------------
    // After a step that changed the design: a snapshot to the background writer.
    void designChanged();
    RecoveryWriter& recovery() { return *_recovery; }
    // The copy left by a session that did not end normally, offered once.
    void offerRecovery();
    void restoreFromSnapshot(const DesignSnapshot& snapshot);

    // ---- projection selectors: the first checked button's mode ----------------
    int cameraGroupSelection() const;
    int basicTabSelection() const;
    // The edit tool of the workflow's tool buttons (SceneGLWidget::Tool values).
    int activeTool() const;

public slots:
    // ---- workflow panel -----------------------------------------------------------
    void simple_parallelLights_released();
    void simple_pointLights_released();
    void btn_simple_load_images_released();
    void btn_simple_generate_volume_released();
    void btn_simple_arrange_released();
    void btn_readyToEdit_released();
    void spn_simple_edit_radius_released(int radius);
    void btn_simple_fill_example_based_released();
    void simple_animate_released();
    void simple_camera_view_update_released();
    void btn_simple_reset_scene_released();
    void action_exit_slot();

    // ---- volume -----------------------------------------------------------------------
    void resetAll_released();
    void shadow_computeShadowMesh_released();
    void recompute_shadow_released();

    // ---- deformation stage --------------------------------------------------------------
    void btn_simple_deform_iterate_released();
    void btn_simple_increase_res_released();
    void adjustImages_released();
    void optimize_released();
    void increaseResolution_released();
    void shadow_selectNextLayer_released();
    void finalizeOptimization_released();
    void shadow_lazyButton_released();
    // The hidden "Deform Images": an experiment on the pictures, one more
    // adjustment pass against the volume.
    void deformImages_released();
    void selected_camera_view();

    // ---- expert panels and keys -------------------------------------------------------
    void projection_mode_changed();
    void voxelResolution_edit_changed();
    void editToolboxRadius_changed(int radius);
    void chkRenderHollow_changed(int state);
    void spnMinSlice_changed(int value);
    void spnMaxSlice_changed(int value);
    void chkInvertSlice_changed(int state);
    void editToolboxDisplayFreeCells_toggled(bool on);
    void editToolboxDisplayDisconnectedCells_toggled(bool on);
    // ---- edit stage ------------------------------------------------------------------
    // Shift-click or Shift-drag in the 3-D view: the active tool along the
    // ray under the pointer.
    void sceneView_toolRequested();
    void edit_makeOneComponent_released();
    void edit_autoConnect_released();
    void edit_removeRandomBalls_released();
    void edit_smooth_released();
    void edit_removeCellsInBox_released();
    void edit_removeBallsAtBoxBorder_released();
    void edit_cleanUp_released();
    void edit_save_contouredMesh_released();
    // ---- point lights ---------------------------------------------------------------
    void simple_perspectiveLoad_released();
    void simple_perspectiveOpt_released();
    void perspective_loadFromUI_released();
    void perspective_lazy_released();
    void perspective_ShowShadow_released();
    void perspective_edit_released();
    void perspective_saveMesh_released();
    void perspective_saveSmoothMesh_released();
    void perspective_recompute_shadow_released();
    void pers_adjustImages_released();
    void saveDeformedPersMeshes_released();
    // ---- finishing ------------------------------------------------------------------
    // The volume's smooth surface in place of its cubes (and in "dumpFolder").
    void exampleBased_showShadowMesh_released();
    // Example-based filling: the models, the sculpture made of them, its
    // refinement and its files.
    bool exampleBased_loadDatabaseModels_released();
    // A quick set-up: two pictures as views, their volume and the models.
    void exampleBased_lazyLoad_released();
    bool exampleBased_computeSculpture_released();
    void exampleBased_ICPrefine_released();
    void exampleBased_saveSculptureMesh_released();
    void exampleBased_savePovScene_released();
    // Asks for a file (".stl" or ".3mf") and the longest side in millimetres.
    void btn_simple_export_print_released();
    // ---- scene files (Ctrl+S, Ctrl+O) and result files ------------------------------
    void actionSaveScene_slot();
    void actionOpenScene_slot();
    void saveCurrentTestResults_released();
    void saveLC_resultImages_released();
    void saveState_released();
    void loadAndCompute_shadowMesh_released();
    void saveMeshBoundary_ps_released();
    void editUndo_released();
    void editRedo_released();
    void grab_frames_released();
    void action_openMesh_slot();
    void actionAbout_slot();
    // ---- 3-D view (KalvexWindowView.cpp) ------------------------------------------------
    // The walls with the shadows of the volume shown, or none ("show shadows").
    void showShadows();
    // Asks for the picture's size, then for a PNG file.
    void btn_save_view_picture_released();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The pictures "generate" builds from when "Custom:" is checked: the
    // custom-load dialog's or the last example set loaded.
    struct PictureChoice {
        int set = 0;
        Presets::PictureFiles paths;
        int threshold = -1;
    };
    // The pictures of the workflow's current choice (preset or "Custom:");
    // nullopt, with the reason shown, when there are none.
    std::optional<PictureChoice> chosenPictures();
    // Stage 1 without a volume: the chosen pictures are loaded at once, so
    // that they show in the Originals tab and can be placed and arranged.
    void loadChosenPictures();
    void connectPlacement();
    // The Originals labels: the pictures as placed on the canvas.
    void showOriginals();
    // The kept figure below the comparisons ("kept 94 % / 88 % / 91 %").
    void showKept();

    // construction
    void setupWindow();
    void connectSceneView();
    void connectActions();
    void connectExpertPanels();
    void setupWorkflow();
    void connectWorkflow();
    void panelReset();
    // The light-source choice, shown at start-up and after "reset scene...",
    // with the directional-light stages below it until a choice is made.
    void offerLightSources();
    // A choice made: the choice goes and "reset scene..." brings it back.
    void closeLightSources();

    // A session step on a worker thread, the window painting meanwhile (see
    // BusyRunner); `bar`, when given, follows the step's progress too.
    Report busy(const QString& what, const std::function<Report(const std::function<void(int)>&)>& step,
                QProgressBar* bar = nullptr);

    // messages
    void setStatus(const QString& text);
    void showNotice(const QString& title, const QString& text);
    // Shows a step's line (if any); returns whether the step ran.
    bool report(const Report& result);

    // loading and resetting
    // Loads the pictures at `cellSize`; the design's placements stay when
    // they are the same pictures (or came with an opened scene).
    bool loadViews(int set, const Presets::PictureFiles& paths, float cellSize, int threshold = -1);
    // The views a session load made, on the labels and buttons; false (with
    // the reason shown) when the load failed.
    bool showLoadedViews(const Report& loaded, int set);
    void hideUnusedProjectionButtons(int set);
    void showCameraButtons(int set);
    void clearVolumeDisplay();
    void clearPictures();

    // showing what the session holds
    std::optional<QString> computeVolume();
    // The volume, its comparison images (with or without the 60 and 120
    // degree views'), its cell count and the history buttons.
    void showVolume(bool obliqueComparisons = true);
    bool showMesh();
    void showComparisons(bool obliqueComparisons);
    void showCellCount();
    void showCellSize();
    void sendVolumeDimensions();
    void resetSliceRange();
    QString saveComparisonPictures();
    void updateHistoryButtons();

    ScenePictures shownPictures() const;
    // Which workflow stage is shown, for the recovery copy.
    QJsonObject stageRecord() const;

    // edits: show the edited volume with the camera kept
    void showEdit(const Report& result);

    // point lights: the deformable pictures the labels show (the point-light
    // design's or the three views'), the point-light volume and its comparisons
    void showPictureModels(bool pointLights);
    void showPerspective();
    bool loadPerspective(const std::vector<PointLightView>* views);
    PointLightOptions perspectiveOptions() const;

    // finishing: a mesh in voxel units shown where the volume's cubes are
    bool showVoxelUnitMesh(const TriMesh& mesh, const QString& path = {});

    // steps
    AdjustParameters adjustParameters() const;
    void afterAdjustment(const Report& result, int loopCount);
    QRadioButton* projectionButton(int mode) const;
    void runOptimizePasses(int passes, QProgressBar* bar);
    void applyCellSize(float cellSize);
    void setDisplayFlag(int flag, bool on);
    void stepHistory(bool undo);
    bool handleWindowKey(QKeyEvent* event);

    DesignSession _session;
    KalvexForm _form;
    ExampleOpenDialog* _example_dialog = nullptr;
    CustomLoadDialog* _custom_load_dialog = nullptr;
    SceneGLWidget* _view = nullptr;
    QLabel* _status_label = nullptr;
    PictureChoice _custom_choice;
    bool _busy = false;  // a session step runs on a worker thread
    float _mesh_centre[3] = {0.0f, 0.0f, 0.0f};
    float _mesh_scale = 1.0f;
    bool _animation_notice_pending = true;
    std::unique_ptr<RecoveryWriter> _recovery;
    bool _snapshot_pending = false;
};
