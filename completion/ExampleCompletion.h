#pragma once
// Example-based completion: fills an edited shadow volume with copies of
// stored example models. Candidate positions come from the views' shadow
// maps; at each one a model chosen by rand(), turned at random and sized by
// its distance to the volume's smooth surface is placed in the volume and
// pulled onto that surface by rigid registration (NuRegistration). The
// placed models, merged, form the result mesh.
//
// Use: loadDatabase, prepare (the volume's smooth surface and distances),
// place, optionally refine; then the result mesh, the per-placement OBJ files
// and the POV-Ray scene. Nothing here ends the program: every failure comes
// back as one line for the caller to show.
//
// Units are grid units of the volume (one per voxel), as on the smooth mesh.

#include "completion/RigidTransform.h"
#include "surface/TriMesh.h"
#include "volume/Grids.h"
#include "surface/Result.h"

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class NuRegistration;
class ShadowObject;
class VertexIndex;

// One placed copy of a database model: model vertices are scaled by `scale`,
// then moved by `transform`. A placement that drifted away from the volume is
// no longer kept (it stays in the list but not in the result).
struct ModelPlacement {
    int model = 0;
    RigidTransform transform;
    float scale = 1.0f;
    bool kept = true;
};

class ExampleCompletion {
public:
    // The database, in loading order: folder + "/" + name + ".obj".
    static constexpr std::array<const char*, 4> kModelNames{"armadillo", "teapot", "bunny", "gargoyle"};

    // Placing: registration steps per placement, pairing limits, the spacing
    // of candidate pixels (squared), the scale range.
    static constexpr int kPlaceIterations = 3;
    static constexpr double kPlaceMaxSquaredDistance = 3.1;
    static constexpr double kBoundarySpacing = 3.1;
    static constexpr double kInteriorSpacing = 2.1;
    static constexpr float kMinScale = 0.8f;
    static constexpr float kMaxScale = 3.0f;
    // The window's refinement.
    static constexpr int kRefineSelector = 0;
    static constexpr int kRefineIterations = 10;
    static constexpr double kRefineMaxSquaredDistance = 10.0;
    // A placement whose first vertex leaves the target's box grown by this
    // much on every side is dropped from the result.
    static constexpr float kBoxMargin = 4.0f;

    // Fraction of the placing done, 0 .. 1.
    using Progress = std::function<void(double fraction)>;

    ExampleCompletion();
    ~ExampleCompletion();
    ExampleCompletion(const ExampleCompletion&) = delete;
    ExampleCompletion& operator=(const ExampleCompletion&) = delete;

    // ---- database --------------------------------------------------------------------
    // Loads the four models from `folder` for cells of size `resolution` (the
    // window's voxel resolution): unused vertices dropped, centred on the
    // origin, scaled to a box diagonal of 25 / resolution. Replaces the
    // database; returns the number of models read (a file that cannot be
    // read is skipped), an error when none could be.
    Result<int> loadDatabase(const QString& folder, float resolution);
    // Appends one model, prepared as above; false when it cannot be read or
    // has no triangle, or when `resolution` is not above 0.
    bool loadModel(const QString& path, float resolution);
    // Appends a copy of a model prepared already (another completion's).
    void addModel(const TriMesh& model) { _models.push_back(std::make_unique<TriMesh>(model)); }
    int modelCount() const { return static_cast<int>(_models.size()); }
    const TriMesh& model(int i) const { return *_models[std::size_t(i)]; }

    // ---- completion ------------------------------------------------------------------
    // Empties the placements and takes what placing needs from `volume`: its
    // smooth mesh (recomputed: iso 0.8, Catmull-Rom) as the target, the
    // target's box and vertex index, every cell's distance to the nearest
    // target vertex, the occupancy and the views' shadow maps. Later changes
    // of the volume do not reach this object. Fails with "failed to contour
    // voxels -> mesh." when the volume yields no surface. Returns the number
    // of target vertices.
    Result<int> prepare(ShadowObject& volume);
    bool prepared() const { return _target != nullptr; }

    // Places models at the candidate pixels of every view (boundary pixels,
    // then interior ones), 3 registration steps each, and rebuilds the
    // result. Draws rand() in a fixed order (seed it to repeat a run).
    // Returns the number of placements; an error when none was possible or
    // when nothing is prepared or loaded.
    Result<int> place(const Progress& progress = {});

    // Registers every placement again, `iterations` steps with the error term
    // `selector` (0, 1, 2) and pairs within `maxSquaredDistance`, then
    // rebuilds the result. Returns the number of kept placements; an error
    // for another selector (nothing changes) or without a target.
    Result<int> refine(int selector = kRefineSelector, int iterations = kRefineIterations,
                       double maxSquaredDistance = kRefineMaxSquaredDistance);

    // Drops the placements that drifted out of the target's box (see
    // kBoxMargin), then merges the kept ones into the result mesh.
    void rebuildResultMesh();

    // Candidate pixels of a view with projection `mode` and shadow map `map`
    // ([column][row]), in placing order: the boundary pixels (set, with an
    // unset one among the 3 x 3 around them, indices clamped to the map) at
    // squared distances of at least 3.1 from each other, then the other set
    // pixels at least 3.1 from those and 2.1 from each other; columns
    // outer, rows inner. None for a mode outside 0..5.
    static std::vector<Pixel> candidatePixels(int mode, const ByteMap& map);

    // ---- results ---------------------------------------------------------------------
    // Placements in placing order; a caller may change them and rebuild.
    std::vector<ModelPlacement>& placements() { return _placements; }
    const std::vector<ModelPlacement>& placements() const { return _placements; }
    int keptCount() const;
    // The kept placements merged (empty before placing).
    const TriMesh& resultMesh() const { return _result; }
    // One placement's model, scaled and moved.
    TriMesh placedModel(const ModelPlacement& placement) const;
    // The volume's smooth surface taken by prepare; null before.
    const TriMesh* target() const { return _target.get(); }
    // Distance of cell (x, y, z) to the nearest target vertex, negative for an
    // occupied cell; valid after prepare.
    float cellDistance(int x, int y, int z) const;
    int gridSize() const { return _n; }
    // Mean squared distance from the result's vertices to the nearest target
    // vertex (0 without a result).
    double meanSquaredDistance() const;

    // ---- files -----------------------------------------------------------------------
    // One OBJ per kept placement: folder + "/exampleBasedResults/output" +
    // (100 + i) + ".obj", i counting the files written. Returns the path of
    // the first; an error when nothing is kept or a file cannot be written.
    Result<QString> saveSeparateMeshes(const QString& folder) const;
    // folder + "/current_scene.pov" holding "test" and beside it
    // "current_scene_mesh.pov", the result mesh moved to its centre (not
    // written without a result). Returns the scene path or an error.
    Result<QString> savePovScene(const QString& folder) const;

private:
    struct ViewShadow {
        int mode = 6;
        ByteMap map;
    };
    std::size_t cellIndex(int x, int y, int z) const
    {
        return (std::size_t(x) * std::size_t(_n) + std::size_t(y)) * std::size_t(_n) + std::size_t(z);
    }
    // Occupied cells on the ray of pixel (u, v) in `mode`, in grid order.
    void cellsOnRay(int mode, const Pixel& pixel, const std::vector<std::vector<std::array<int, 2>>>& columns,
                    std::vector<CellIndex>& cells) const;
    void placeAt(const std::vector<CellIndex>& cells, NuRegistration& registration);

    std::vector<std::unique_ptr<TriMesh>> _models;
    std::unique_ptr<TriMesh> _target;  // copy of the volume's smooth mesh
    TriMesh _result;
    std::vector<ModelPlacement> _placements;
    TriMesh::BBox _target_box;
    std::unique_ptr<VertexIndex> _target_index;
    int _n = 0;
    std::vector<float> _cell_distance;       // signed, (x·n + y)·n + z
    std::vector<std::uint8_t> _occupied;     // same layout
    std::vector<ViewShadow> _views;
};
