#pragma once
// The main window: the three picture tabs, the 3-D view and the Workflow
// panel that takes three pictures through the stages "generate", "deform",
// "edit" and "finish". It owns the view objects (one per picture, slot order
// x, y, z) and the master volume built from them; every handler writes one
// line into the status label.

#include "app/KalvexForm.h"
#include "app/Presets.h"
#include "volume/ShadowObject.h"

#include <QMainWindow>

#include <memory>
#include <vector>

class CustomLoadDialog;
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
    ShadowObject* master() const { return _master.get(); }
    const std::vector<ShadowObject>& viewObjects() const { return _views; }
    float voxelResolution() const { return _voxel_resolution; }

    // ---- loaders --------------------------------------------------------------
    // The three pictures become the view objects of projection set `set`
    // (0, 1, 2); false for any other set.
    bool loadImageCombination(int set, const Presets::PictureFiles& paths);
    // A preset folder key under "./IncludedData".
    void loadPreset(const QString& key, int set);
    // An example key under "./Models/Images" (the Ctrl+E dialog).
    void loadExample(const QString& key, int set);

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
    void selected_camera_view();

    // ---- expert panels and keys -------------------------------------------------------
    void projection_mode_changed();
    void editToolboxRadius_changed(int radius);
    void chkRenderHollow_changed(int state);
    void spnMinSlice_changed(int value);
    void spnMaxSlice_changed(int value);
    void chkInvertSlice_changed(int state);
    void editToolboxDisplayFreeCells_toggled(bool on);
    void editToolboxDisplayDisconnectedCells_toggled(bool on);
    void editUndo_released();
    void editRedo_released();
    void grab_frames_released();
    void action_openMesh_slot();
    void actionAbout_slot();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // What a volume computation ended with: whether a volume is shown, and a
    // status line when its comparison pictures could not be written.
    struct VolumeResult {
        bool volumeShown = false;
        QString outputProblem;
    };

    // construction
    void setupWindow();
    void connectActions();
    void connectExpertPanels();
    void setupWorkflow();
    void connectWorkflow();
    void panelReset();

    // messages
    void setStatus(const QString& text);
    void showNotice(const QString& title, const QString& text);

    // volume helpers
    void readVoxelResolutionField();
    bool appendViews(int set, const Presets::PictureFiles& paths);
    void hideUnusedProjectionButtons(int set);
    void showCameraButtons(int set);
    void discardVolume();
    VolumeResult computeVolume();
    void newMaster();
    bool buildAndShowMaster();
    bool showMasterMesh();
    void sendVolumeDimensions();
    QLabel* resultLabel(int mode) const;
    QLabel* comparisonLabel(int slot) const;
    QRadioButton* projectionButton(int mode) const;
    std::vector<ShadowObject*> viewPointers();
    void showAllComparisons();
    void runOptimizePasses(int passes, QProgressBar* bar);
    void applyCellSize(float cellSize);
    void showComparison(int mode, QLabel* label);
    void showCellCount();
    void resetSliceRange();
    QString saveResultPictures();
    void setDisplayFlag(int flag, bool on);
    void updateHistoryButtons();
    void stepHistory(bool undo);
    bool handleWindowKey(QKeyEvent* event);

    KalvexForm _form;
    ExampleOpenDialog* _example_dialog = nullptr;
    CustomLoadDialog* _custom_load_dialog = nullptr;
    SceneGLWidget* _view = nullptr;
    QLabel* _status_label = nullptr;
    std::vector<ShadowObject> _views;
    std::unique_ptr<ShadowObject> _master;
    bool _initial_positioning = true;
    int _layer_counter = 0;
    float _mesh_centre[3] = {0.0f, 0.0f, 0.0f};
    float _mesh_scale = 1.0f;
    float _voxel_resolution = -1.0f;
    bool _animation_notice_pending = true;
};
