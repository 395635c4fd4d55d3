#pragma once
// One design, from three pictures to an edited volume: the deformable
// pictures, the view made of each, the master volume built from them with its
// edit history, the cell size, the projection set, the comparison images and
// the pass counters. The window and the command-line tool run every step of
// the workflow through it, so both compute the same numbers.
//
// Every step returns a Report: the one status line to show, and whether the
// step ran. Bad input never changes the current volume.

#include "deform/DeformationModel.h"
#include "deform/ImageAdjustment.h"
#include "surface/PrintableMesh.h"
#include "volume/Result.h"
#include "volume/ShadowObject.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class ExampleCompletion;
class PerspectiveDesign;

struct Report {
    QString message;  // one status line
    bool ok = true;   // false: the step did not run (bad input or nothing to work on)

    static Report failure(QString text) { return {std::move(text), false}; }
};

class DesignSession {
public:
    using PictureFiles = std::array<QString, 3>;
    // Companion pictures of a scene file: the three pictures as loaded, then
    // the three as deformed (null where there is none).
    using ScenePictures = std::array<QImage, 6>;

    // Per-view comparison counts and the master's cell count.
    struct Counts {
        int cells = 0;
        std::array<int, 3> missing{0, 0, 0};
        std::array<int, 3> extra{0, 0, 0};
        std::array<int, 3> shadow{0, 0, 0};  // pixels the volume shades
    };

    // How pictures become views: through the deformable pictures (as the
    // window does; the picture mesh is cached beside each file), or plainly
    // (nothing is written, the pictures cannot be deformed).
    enum class Pictures { Deformable, Plain };

    // The cell sizes a volume can have: at most 250 cells per axis.
    static constexpr float kSmallestCellSize = 1.0f;
    static constexpr float kLargestCellSize = 250.0f;

    DesignSession();
    ~DesignSession();
    DesignSession(const DesignSession&) = delete;
    DesignSession& operator=(const DesignSession&) = delete;

    // ---- pictures and views ---------------------------------------------------------
    // Three picture files become the views of projection set `set` (0, 1, 2)
    // with cells of `cellSize`, replacing the views and the volume. Everything
    // is checked first: an unknown set, a cell size outside 1..250, an
    // unreadable picture or one without a dark pixel fails and leaves the
    // session as it was.
    Report load(int set, const PictureFiles& paths, float cellSize, bool useMask = false,
                Pictures how = Pictures::Deformable);
    // No views, no volume, counters back to 0.
    void reset();

    // The deformable picture of view slot k (x, y, z).
    DeformationModel& picture(int slot) { return _pictures[std::size_t(slot)]; }
    const std::vector<ShadowView>& views() const { return _views; }
    int projectionSet() const { return _set; }

    // ---- cell size ------------------------------------------------------------------------
    float cellSize() const { return _cell_size; }
    // Used by the next build; false (and no change) outside 1..250.
    bool setCellSize(float cellSize);
    static bool isValidCellSize(float cellSize);

    // ---- workflow steps -----------------------------------------------------------------
    // A new volume from the views (quantising them first after a load).
    Report compute();
    // The views made again from the (deformed) pictures at the current cell
    // size, and a new volume from them.
    Report recompute();
    // One adjustment: a new volume, then repair steps that deform the pictures
    // towards voxels covering missing shadow pixels.
    Report adjust(const AdjustParameters& parameters);
    // `passes` rounds of adjust and recompute. `beforePass` gets the progress
    // value (0..100) before each pass, `afterPass` the pass number after it.
    Report optimize(int passes, const AdjustParameters& parameters, const std::function<void(int)>& beforePass = {},
                    const std::function<void(int)>& afterPass = {});
    // New cell size, then recompute.
    Report increaseResolution(float cellSize);
    // First call after a load or recompute: a new volume from the views; later
    // calls: four greedy layers.
    Report selectNextLayer();
    // Fills the missing pixels of the view with `mode` (all_ortho counts as X).
    Report finalize(int mode, float threshold);

    // ---- edits ------------------------------------------------------------------------------
    // None of them changes a shadow; each records one history step unless
    // said otherwise. Without a volume they do nothing and report nothing.
    enum Tool { AddBrush = 0, SubtractBrush = 1, SubtractRay = 3, Erode = 4 };
    // Applies an edit tool along a ray in the volume's picture-pixel
    // coordinates: "N cell(s) added." or "N cell(s) removed.". Without a
    // volume the subtractive brush carves the point-light volume.
    Report applyTool(int tool, const point& origin, const point& direction, float radius, bool completeOnly);
    // Joins every piece to the largest one through addable cells.
    Report autoConnect();
    // Drops pieces of fewer than 6 cells and writes "cluster_centroid.vtx"
    // and the volume's cube mesh "shadow_mesh.obj" into `folder`. No step.
    Report makeOneComponent(const QString& folder);
    Report smooth(float sigma, float threshold);
    Report removeRandomBalls(int count, float radius);
    // The two box edits work on the box of the occupied cells and record no step.
    Report removeCellsInBox();
    Report removeBallsAtBoxBorder(int count, float radius, float depth);
    // Drops the views (the pictures can no longer be deformed); the volume stays.
    Report cleanUp();

    // ---- surfaces ---------------------------------------------------------------------------
    // The volume contoured on a field `factor` times finer per axis (sample
    // units, faces toward the occupied side). Fails without a volume or
    // when no triangle results.
    Result<TriMesh> contour(float iso, int mode, int factor);
    // The edit panel's "save contoured mesh": the interpolation named
    // `modeName` (an entry of the list, else "strange mode selected!!"),
    // factor 2, written to folder + "/smoothed_edited_mesh.obj".
    Report saveContouredMesh(const QString& folder, const QString& modeName, float iso);
    // The volume's smooth surface (faces outward), cached by the volume.
    TriMesh* smoothMesh(bool recompute);

    // ---- printing ---------------------------------------------------------------------------
    struct SculptureOptions {
        int mode = 3;  // Catmull-Rom
        int factor = 3;
        float iso = 0.8f;
        float sizeMm = 100.0f;  // the longest side
    };
    struct Sculpture {
        TriMesh mesh;  // millimetres, faces outward, in the positive octant
        MeshCheck check;
        std::array<float, 3> sizeMm{0.0f, 0.0f, 0.0f};
        int cells = 0;  // of the volume made one piece
        int bridgeCells = 0;   // cells added to join pieces no shadow-keeping path joins
        int bridgePixels = 0;  // shadow pixels those cells add
        // Where the mesh sits in the volume: a point of the volume (picture
        // pixels) turned half a turn about x (so the pictures' bottom rows
        // rest on the printer's bed), less originPx, times mmPerPixel.
        point originPx;
        float mmPerPixel = 1.0f;
        point toPicturePixels(const point& mm) const
        {
            const point turned = mm * (1.0f / mmPerPixel) + originPx;
            return point(turned[0], -turned[1], -turned[2]);
        }
    };
    // The volume as a mesh to print, made from a copy of it: pieces joined
    // to the largest through addable cells, pieces of fewer than 6 cells
    // dropped, contoured with an empty border around it so it closes, each
    // cell's surface centred on the cell (its shadow covers the pixel
    // centres the volume's shadow covers).
    Result<Sculpture> sculpture(const SculptureOptions& options);
    // Writes the sculpture as binary STL or 3MF (by the extension of `path`)
    // and the design's scene file beside it, only when the mesh is closed,
    // manifold and one part; otherwise says what is wrong and writes nothing.
    Report exportSculpture(const QString& path, const SculptureOptions& options, const ScenePictures& pictures);
    // The example sculpture, turned and sized the same way, written with the
    // scene file beside it. Its models overlap, so it is no single manifold
    // part; the line says how many it holds.
    Report exportExampleSculpture(const QString& path, float sizeMm, const ScenePictures& pictures);

    // ---- files ------------------------------------------------------------------------------
    // Writes the volume to `path` (".kxscene") and the companions beside it
    // as base + "_origx.png" ... "_imgz.png".
    Report saveScene(const QString& path, const ScenePictures& pictures);
    // Replaces the design by the volume of a scene file (no pictures behind
    // it); the companions found beside it go to `pictures`. A bad file is
    // refused with one line and changes nothing.
    Report openScene(const QString& path, ScenePictures* pictures = nullptr);
    // The base of a scene path: everything before its last dot.
    static QString sceneBase(const QString& path);

    // Result files below `folder` (normally "./Models/Images"): the deformed
    // pictures, black on white ("ex1.png" ...); the volume's shadows
    // ("dumpFolder/result_image_100.png" ...); and a numbered save of the
    // picture meshes, their outlines and the comparisons ("dumpFolder/save_..."),
    // the number counting up from 100 in a session.
    Report saveTestPictures(const QString& folder);
    Report saveResultPictures(const QString& folder);
    Report saveResultMeshes(const QString& folder);
    int saveCounter() const { return _save_counter; }
    // A volume carved directly from the pictures of save number 104; the
    // pictures used go to `pictures`.
    Report loadAndCompute(const QString& folder, std::array<QImage, 3>* pictures = nullptr);

    // ---- point lights ------------------------------------------------------------------------
    // The point-light design: pictures, cameras and volume of its own, apart
    // from the three views above. It lives as long as the session (its
    // pictures keep their addresses); reset empties it.
    PerspectiveDesign& perspective() { return *_perspective; }
    const PerspectiveDesign& perspective() const { return *_perspective; }
    // The point-light volume's cube mesh, written to folder +
    // "/cartoons/perspective/print/dumpFolder/perspectiveMesh.obj".
    Report savePerspectiveMesh(const QString& folder);
    // The point-light volume contoured with `mode` at `iso` (factor 2, faces
    // toward the occupied side), written to ".../perpectiveSmoothMesh.obj".
    Report savePerspectiveSmoothMesh(const QString& folder, int mode, float iso);
    // Its deformed pictures and their meshes, beside those ("persDeformed0.png",
    // "persDeformedMesh0.obj", ...): "saved results.".
    Report savePerspectivePictures(const QString& folder);

    // ---- example-based filling --------------------------------------------------------------
    static const QString kContourFailure;  // "failed to contour voxels -> mesh."
    // A new completion with the example models of `folder`, sized for the
    // current cell size: "N database model(s) loaded.". Needs a volume.
    Report loadExampleModels(const QString& folder);
    // The volume's smooth surface as the target, then models placed in the
    // volume (`progress` gets 0..1 while placing): "sculpture computed.". The
    // models are loaded from `modelFolder` first when none are. Without a
    // surface: kContourFailure; without a placement: the reason, and the
    // volume and the last sculpture stay as they were.
    Report fillWithExamples(const QString& modelFolder, const std::function<void(double)>& progress = {});
    // Registers every placement again (point-to-point, 10 steps, pairs within
    // 10): "icp refined.".
    Report refineExamples();
    // One OBJ per kept placement below folder + "/exampleBasedResults/".
    Report saveExampleMeshes(const QString& folder);
    // folder + "/current_scene.pov" and its mesh file.
    Report saveExamplePovScene(const QString& folder);
    // The kept placed models merged, in voxel units; null before a filling.
    const TriMesh* exampleSculpture() const;

    // ---- history ---------------------------------------------------------------------------
    bool canUndo() const;
    bool canRedo() const;
    bool undo();
    bool redo();

    // ---- the volume and what it casts -------------------------------------------------------
    ShadowObject* master() { return _master.get(); }
    const ShadowObject* master() const { return _master.get(); }
    bool hasCells() const { return _master && _counts.cells > 0; }
    // View k's N x N comparison image of the current volume (null without one).
    const QImage& comparison(int slot) const { return _comparisons[std::size_t(slot)]; }
    const Counts& counts() const { return _counts; }
    int layerCounter() const { return _layer_counter; }
    int optimizePasses() const { return _optimize_passes; }
    // Cells spanned by the occupied cells along x, y and z (zeros when empty).
    std::array<int, 3> volumeDimensions() const;

    // How the volume's cube mesh is built: highlight flags (1 removable cells,
    // 2 disconnected cells), hollow (only exposed cells) and the edit radius.
    void setDisplayFlag(int flag, bool on);
    void setHollow(bool hollow);
    void setEditRadius(int radius);
    int displayFlags() const { return _display_flags; }
    // The volume's cube mesh (owned by the volume); null without a volume.
    TriMesh* buildShadowMesh();

    // Milliseconds of the last compute: quantising the views, building the
    // volume (its comparisons included).
    struct Timings {
        double quantize = 0.0;
        double build = 0.0;
    };
    const Timings& lastTimings() const { return _timings; }

private:
    std::vector<ShadowView*> viewPointers();
    std::array<DeformationModel*, 3> deformablePictures();
    void quantizeViewsIfNeeded();
    void buildMaster();
    // Comparison images and counts of the current volume.
    void refresh();
    Report volumeReport(const QString& success) const;
    // Refreshes after an edit and reports the count with `text`.
    Report edited(int count, const char* text);

    std::array<DeformationModel, 3> _pictures;
    std::vector<ShadowView> _views;
    std::unique_ptr<ShadowObject> _master;
    std::array<QImage, 3> _comparisons;
    Counts _counts;
    Timings _timings;
    Pictures _how = Pictures::Deformable;
    int _set = -1;
    float _cell_size = 5.0f;
    bool _views_need_quantisation = false;
    int _layer_counter = 0;
    int _optimize_passes = 0;
    int _display_flags = 0;
    bool _hollow = false;
    int _edit_radius = 0;
    int _save_counter = 100;
    std::unique_ptr<PerspectiveDesign> _perspective;
    std::unique_ptr<ExampleCompletion> _examples;
};
