#pragma once
// The volume for point lights: a 50^3 grid of 5-pixel cells (the unit cube
// of volume units) in which a cell is occupied when it projects into the
// figure of every perspective view. Each view keeps a grid of its own (the
// cell's occupancy in that view, its distance to the view's figure and the
// pixel it falls on); the master grid is their intersection. A cell may be
// removed when every view's pixel under it keeps another occupied cell.
//
// buildShadowMesh() builds the cube mesh of the current master grid and the
// views' per-pixel lists; rebuildMaster() computes the master grid from the
// per-view grids first.

#include "perspective/PerspectiveView.h"
#include "surface/TriMesh.h"
#include "volume/EditableShadowObject.h"
#include "volume/Grids.h"
#include "surface/Result.h"

#include <cstdint>
#include <memory>
#include <vector>

// One view's grid: per cell (x, y, z) at (x N + y) N + z its occupancy in the
// view, its distance in pixels to the view's figure (0 on it, kUnseen where
// the view does not see the cell) and its pixel index (-1 when not seen).
struct PerspectiveViewGrid {
    static constexpr float kUnseen = 3.4028235e38f;

    int n = 0;
    std::vector<std::uint8_t> occupied;
    std::vector<float> distance;
    std::vector<std::int32_t> pixel;

    explicit PerspectiveViewGrid(int size)
        : n(size),
          occupied(std::size_t(size) * size * size, 0),
          distance(std::size_t(size) * size * size, kUnseen),
          pixel(std::size_t(size) * size * size, -1)
    {
    }
    std::size_t index(int x, int y, int z) const { return (std::size_t(x) * n + y) * n + z; }
    std::size_t index(const CellIndex& c) const { return index(c.x, c.y, c.z); }
};

class PerspectiveShadowObject final : public EditableShadowObject {
public:
    static constexpr float kCellSize = 5.0f;
    static constexpr int kImageExtent = 250;

    // `voxelResolution`: the window's voxel resolution when the object is made.
    explicit PerspectiveShadowObject(float voxelResolution = kCellSize);
    ~PerspectiveShadowObject() override;
    PerspectiveShadowObject(const PerspectiveShadowObject&) = delete;
    PerspectiveShadowObject& operator=(const PerspectiveShadowObject&) = delete;

    // ---- volume slots -----------------------------------------------------------
    bool isOccupied(const CellIndex& c) const override { return isInGrid(c) && _master.at(c.x, c.y, c.z).occupied; }
    int resolution() const override { return _size_x; }
    // Cube mesh of the occupied master cells (only exposed ones when hollow),
    // then the views' per-pixel lists and point indices built again.
    TriMesh* buildShadowMesh() override;
    bool isInGrid(const CellIndex& c) const override;
    // Keeps the views' occupied-cell lists and grids in step with the master.
    void setOccupied(const CellIndex& c, bool occupied) override;
    const Cell& cellAt(int x, int y, int z) const override { return _master.at(x, y, z); }
    std::uint8_t& cellFlags(int x, int y, int z) override { return _master.at(x, y, z).flags; }
    bool isCellAddable(int, int, int) override { return false; }
    bool isCellRemovable(const CellIndex& c) override;
    // Not checked for point lights: always true.
    bool areShadowsStillValid(bool checkCovered, bool checkUncovered) override;
    // Box of the cube mesh in picture pixels; zeros before a mesh is built.
    void boundingBox(float min[3], float max[3]) const override;
    int sizeX() const override { return _size_x; }
    int sizeY() const override { return _size_y; }
    int sizeZ() const override { return _size_z; }

    // ---- views ------------------------------------------------------------------
    // Adds a view of `picture` (the deformable picture's rendering) with a
    // camera in volume units and fills its grid. A camera that fails
    // cameraProblem is refused and nothing changes. Returns the view index.
    Result<int> addView(const QImage& picture, const QString& sourcePath, const PerspectiveCamera& camera);
    // The same with a camera already in grid units (a view made again from a
    // deformed picture).
    Result<int> addViewInGridUnits(const QImage& picture, const QString& sourcePath, const PerspectiveCamera& camera);

    int viewCount() const { return static_cast<int>(_views.size()); }
    PerspectiveView& view(int k) { return *_views[std::size_t(k)]; }
    const PerspectiveView& view(int k) const { return *_views[std::size_t(k)]; }
    PerspectiveViewGrid& viewGrid(int k) { return _view_grids[std::size_t(k)]; }
    const PerspectiveViewGrid& viewGrid(int k) const { return _view_grids[std::size_t(k)]; }

    // ---- master grid and what it casts ------------------------------------------------
    // A cell is occupied when every view's grid holds it (every cell without views).
    void rebuildMaster();
    // Every view's pixels untreated again and its point index rebuilt.
    void refreshViews();
    int occupiedCount() const;
    // W x H map of view k, 1 where some occupied cell projects.
    ByteMap castShadow(int k) const;

    struct RandomRemoval {
        int removed = 0;
        int draws = 0;
    };
    // Draws cells (rand() mod N for x, y, z in this order) at most 20 k times
    // and frees each occupied removable one drawn, stopping once more than k
    // are freed; then builds the cube mesh again.
    RandomRemoval removeRandomCells(int k);

    TriMesh* shadowMesh() { return _shadow_mesh.get(); }
    const TriMesh* shadowMesh() const { return _shadow_mesh.get(); }
    // Edge of a cell in picture pixels.
    float cellSize() const { return _cell_size; }

private:
    float _cell_size = kCellSize;
    int _image_extent[3] = {kImageExtent, kImageExtent, kImageExtent};
    int _size_x = 0, _size_y = 0, _size_z = 0;
    float _voxel_resolution = kCellSize;
    std::vector<std::unique_ptr<PerspectiveView>> _views;
    std::vector<PerspectiveViewGrid> _view_grids;  // parallel to _views
    CellGrid _master;
    std::unique_ptr<TriMesh> _shadow_mesh;
    bool _keep_point_indices = false;  // buildShadowMesh leaves the point indices as they are

    void processView(int k);
    void buildCubes();
};
