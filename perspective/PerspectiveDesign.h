#pragma once
// One point-light design, the object the window and kalvex-cli drive: the
// deformable pictures of views 0, 1 and 2, the perspective volume built from
// them, each view's comparison image, the request lists of the last
// adjustment and the pass counter.
//
// Every step returns a Report: on success the status line to show (value),
// otherwise the one line that tells why the step did not run (error). Bad
// input leaves the design as it was.

#include "deform/DeformationModel.h"
#include "deform/ImageAdjustment.h"
#include "perspective/PerspectiveShadowObject.h"
#include "surface/Result.h"

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <vector>

// A picture file and its camera in volume units (as the window's fields give them).
struct PerspectiveViewSource {
    QString picture;
    PerspectiveCamera camera;
    // How the figure is told from the ground: a luminance split 0..255, or
    // automatic when negative (see volume/Figure.h).
    int threshold = -1;
};

struct PerspectiveAdjustOptions {
    int minSize = 2;            // smallest region of missing pixels that is repaired
    bool preserveShape = true;  // shape preservation after each picture's deformation
    // Map pixels to pixels of the 200-pixel-wide deformable picture.
    float handleScale = handleScaleFor(PerspectiveShadowObject::kCellSize);

    // The window's factor: its voxel resolution x 200 / 250.
    static constexpr float handleScaleFor(float voxelResolution) { return voxelResolution * 200.0f / 250.0f; }
};

class PerspectiveDesign {
public:
    static constexpr int kMaxViews = 3;
    static constexpr int kAdjustmentPasses = 6;  // consistency steps per adjustment, views 2, 0, 1, 2, 0, 1
    static constexpr float kCostLimit = 20.0f;   // a cell is requested when its cost is at most this
    static constexpr int kRandomRemovalCount = 3000;

    // Per view (in view order) and the volume's cell count.
    struct Counts {
        int cells = 0;
        std::vector<int> missing;  // figure pixels without an occupied cell
        std::vector<int> extra;    // shadow pixels outside the figure
    };

    // The three views of the built-in example: x.png, xy.png and y.png in
    // `folder`, looking at the origin with focal distance 0.8 and image size 40.
    static std::vector<PerspectiveViewSource> exampleViews(const QString& folder);
    static QString exampleFolder() { return QStringLiteral("IncludedData/perspective"); }

    explicit PerspectiveDesign(float voxelResolution = PerspectiveShadowObject::kCellSize);
    ~PerspectiveDesign();
    PerspectiveDesign(const PerspectiveDesign&) = delete;
    PerspectiveDesign& operator=(const PerspectiveDesign&) = delete;

    // ---- views ----------------------------------------------------------------------
    // Adds one view after the present ones ("Loaded images(s)."). Refused: a
    // fourth view, an unreadable picture, a picture without figure pixels, a
    // camera that fails cameraProblem.
    Report addView(const PerspectiveViewSource& source);
    // A new volume from these views, replacing the design; every view is
    // checked before anything changes.
    Report load(const std::vector<PerspectiveViewSource>& sources);
    // load(exampleViews(folder)).
    Report loadExample(const QString& folder = exampleFolder());
    // No views, no volume, counters back to 0.
    void clear();
    // The window's voxel resolution, taken by the next volume made.
    void setVoxelResolution(float voxelResolution) { _voxel_resolution = voxelResolution; }
    float voxelResolution() const { return _voxel_resolution; }

    // ---- steps ----------------------------------------------------------------------
    // Master grid from the views, cube mesh, per-pixel lists, comparisons
    // ("Perspective mesh shown.").
    Report show();
    // The views made again from the (deformed) pictures with the same
    // cameras, then show ("recomputed shadow mesh.").
    Report recompute();
    // One adjustment: six consistency steps (each after a show) collect
    // requests, which become handles that deform the pictures; then the pass
    // counter goes up and the volume is recomputed. Needs three views.
    Report adjust(const PerspectiveAdjustOptions& options);
    // `passes` adjustments. `beforePass` gets the progress value (0..100)
    // before each, `afterPass` the pass number after it.
    Report optimize(int passes, const PerspectiveAdjustOptions& options,
                    const std::function<void(int)>& beforePass = {}, const std::function<void(int)>& afterPass = {});
    // Frees up to k + 1 random removable cells, builds the mesh and the
    // comparisons again ("N many cells removed.").
    Report removeRandomCells(int k = kRandomRemovalCount);
    // The cube mesh, per-pixel lists and comparisons of the volume as it is
    // now (after an edit of its cells); the master grid is not rebuilt.
    void refresh();

    // ---- state ----------------------------------------------------------------------
    int viewCount() const { return _object ? _object->viewCount() : 0; }
    PerspectiveShadowObject* object() { return _object.get(); }
    const PerspectiveShadowObject* object() const { return _object.get(); }
    // The volume's cube mesh as last built (null before the first show).
    TriMesh* mesh() { return _object ? _object->shadowMesh() : nullptr; }
    const TriMesh* mesh() const { return _object ? _object->shadowMesh() : nullptr; }
    // The deformable picture of view k (its address never changes).
    DeformationModel& picture(int k) { return _pictures[std::size_t(k)]; }
    const DeformationModel& picture(int k) const { return _pictures[std::size_t(k)]; }
    // View k's W x H comparison image of the volume as last shown (null
    // before): black shadow on the figure, orange figure pixel without an
    // occupied cell, brown shadow outside the figure, white elsewhere.
    const QImage& comparison(int k) const { return _comparisons[std::size_t(k)]; }
    // View k's shadow with the pixels last requested of it in brown.
    const QImage& requestPicture(int k) const { return _request_pictures[std::size_t(k)]; }
    // Requests of the last adjustment ((px, py, 0) in view pixels).
    const RequestList& requests(int k) const { return _requests[std::size_t(k)]; }
    const Counts& counts() const { return _counts; }
    int passCount() const { return _passes; }

private:
    struct Prepared;
    Result<std::vector<Prepared>> prepare(const std::vector<PerspectiveViewSource>& sources, int firstSlot) const;
    void commit(std::vector<Prepared>& prepared, int firstSlot);
    // Master grid, cube mesh, per-pixel lists and comparisons of the views.
    void rebuild();
    void consistencyStep(int v, int minSize);
    void updateComparisons();

    float _voxel_resolution;
    std::array<DeformationModel, kMaxViews> _pictures;
    std::unique_ptr<PerspectiveShadowObject> _object;
    std::array<QImage, kMaxViews> _comparisons;
    std::array<QImage, kMaxViews> _request_pictures;
    std::array<RequestList, kMaxViews> _requests;
    Counts _counts;
    int _passes = 0;
};
