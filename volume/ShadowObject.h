#pragma once
// The volume for parallel light: a cubic voxel grid whose occupied cells are
// the voxels the user sees and edits. It refers to the views it was built from
// (not owned) and records, per view, the shadow it cast when it was built, so
// that edits can be checked against it.
//
// N = floor(250 / cell size) cells per axis; cell (x, y, z) spans
// [x s, (x+1) s] x [y s, (y+1) s] x [z s, (z+1) s] picture pixels.

#include "surface/Result.h"
#include "surface/TriMesh.h"
#include "volume/EditableShadowObject.h"
#include "volume/Grids.h"
#include "volume/ShadowView.h"

#include <QIODevice>
#include <QImage>

#include <array>
#include <memory>
#include <vector>

struct SceneData;

class ShadowObject final : public EditableShadowObject {
public:
    // Empty object (scene loading): no grid, cell size -1.
    ShadowObject();
    // Volume of floor(250 / cellSize) cells per axis, every cell free.
    explicit ShadowObject(float cellSize);
    // Volume sized like `firstView`, every cell free.
    ShadowObject(const ShadowView& firstView, float cellSize);
    // Volume of `resolution` cells per axis whatever the cell size (shadow
    // pictures carved at their own size), every cell free.
    ShadowObject(int resolution, float cellSize);

    ShadowObject(const ShadowObject& other);
    ShadowObject& operator=(const ShadowObject& other);
    ShadowObject(ShadowObject&& other) noexcept = default;
    ShadowObject& operator=(ShadowObject&& other) noexcept = default;
    ~ShadowObject() override;

    // ---- volume slots ---------------------------------------------------------
    bool isOccupied(const CellIndex& c) const override { return _occupancy_grid.at(c.x, c.y, c.z).occupied; }
    int resolution() const override;
    TriMesh* buildShadowMesh() override;
    bool isInGrid(const CellIndex& c) const override;
    // Occupancy changes go through here (it keeps the per-view ray counts);
    // cellFlags is for the flags.
    void setOccupied(const CellIndex& c, bool occupied) override;
    const Cell& cellAt(int x, int y, int z) const override { return _occupancy_grid.at(x, y, z); }
    std::uint8_t& cellFlags(int x, int y, int z) override { return _occupancy_grid.at(x, y, z).flags; }
    bool isCellAddable(int x, int y, int z) override;
    bool isCellRemovable(const CellIndex& c) override;
    bool areShadowsStillValid(bool checkCovered, bool checkUncovered) override;
    // Corners of the occupied cells' box in picture pixels; zeros when empty.
    void boundingBox(float min[3], float max[3]) const override;
    int sizeX() const override { return _size_x; }
    int sizeY() const override { return _size_y; }
    int sizeZ() const override { return _size_z; }
    // The cells, for reading in bulk (x, then y, z fastest).
    const CellGrid& grid() const { return _occupancy_grid; }

    // ---- what the volume is ------------------------------------------------------
    // Edge of a cell in picture pixels (-1 for the empty object).
    float cellSize() const { return _cell_size; }
    // Projection mode of view slot k = 0, 1, 2; NO_VIEW where the slot has
    // none. Always three entries.
    const std::vector<int>& viewModes() const { return _view_modes; }
    // The modes of a volume made without view objects (carved from shadow
    // pictures, or in tests). The shadow maps stay as they were:
    // create_reprojection_image_map records them.
    void setViewModes(const std::array<int, 3>& modes) { _view_modes.assign(modes.begin(), modes.end()); }

    // ---- building ---------------------------------------------------------------
    // Occupies every cell that lies inside the figure (distance 0) of every
    // view, clears the greedy flags, and records view modes, shadow maps and
    // the views. The views must be quantised at this resolution.
    void buildFromViews(const std::vector<ShadowView*>& views);
    void buildFromViews(std::vector<ShadowView>& views);
    // The views the volume was built from (not owned; they must outlive the
    // volume's use of them), in view order; cost() and the completion read them.
    const std::vector<ShadowView*>& sourceViews() const { return _source_views; }
    // Refers to other views (none when they are about to go).
    void setSourceViews(std::vector<ShadowView*> views) { _source_views = std::move(views); }

    // The volume's smooth surface (contoured at iso 0.8, Catmull-Rom, on a
    // field three times finer; faces turned outward), built on first use or
    // when asked to. Null when contouring yields no triangle.
    TriMesh* smoothMesh(bool recompute);
    // The cube mesh of the last buildShadowMesh (null before one), and the
    // number of cells it holds.
    const TriMesh* shadowMesh() const { return _shadow_mesh.get(); }
    int meshCellCount() const { return _nof_mesh_cells; }

    // ---- window settings the volume carries -------------------------------------
    // 1: the cube mesh marks the cells that may go; 2: the cells off the
    // main component (either or both). Read by the next buildShadowMesh.
    int displayFlags() const { return _display_flags; }
    void setDisplayFlags(int flags) { _display_flags = flags; }
    // The edit tools' radius in cells, as the window last set it.
    int editRadius() const { return _edit_radius; }
    void setEditRadius(int radius) { _edit_radius = radius; }

    // ---- scene files ------------------------------------------------------------
    // Writes cell size, extent, view modes and occupancy; false when the
    // device cannot take them.
    bool writeScene(QIODevice& device) const;
    // Becomes the volume of the scene file (no views behind it, every flag
    // clear, the shadow maps of its occupancy recorded). A refused file
    // leaves the object unchanged.
    Result<void> readScene(QIODevice& device);
    // The same for a scene in memory (a grid that is not a cube is refused).
    Result<void> adoptScene(const SceneData& scene);

    // Sum of the views' non-zero distances at cell (x, y, z).
    float cost(int x, int y, int z) const;

    // ---- shadows ------------------------------------------------------------------
    // The volume's shadow in `mode`: N x N, [column][row], 1 where the pixel's
    // ray holds an occupied cell. Oblique columns outside 0..N-1 are dropped.
    ByteMap castShadow(int mode) const;
    // The same as an N x N RGB picture, white with black shadow.
    QImage renderShadow(int mode) const;

    // ---- coverage -------------------------------------------------------------
    // Each view keeps the number of occupied cells on every one of its rays,
    // so these answer in constant time.
    bool rayHasOccupiedCell(const CellIndex& c, int mode);
    bool is_cell_removable_wrt_single_view(const CellIndex& c, int mode);
    void create_reprojection_image_map(int k, int mode);
    // View slot k's shadow as create_reprojection_image_map recorded it
    // (empty before, all light for a slot without a view).
    const ByteMap& reprojectionMap(int k) const { return _reprojection_image_map[k]; }
    // Occupied cells on the ray of c in `mode` (c included when occupied).
    int occupiedOnRay(const CellIndex& c, int mode);

    // ---- cells ----------------------------------------------------------------------
    int occupiedCount() const;
    // Smallest and largest occupied cell index per axis; false when empty.
    bool occupiedBox(CellIndex& low, CellIndex& high) const;
    // A cell is exposed when it lies on the grid border or has a free face
    // neighbour.
    // Index of cell (x, y, z) in a component label array: (z N + y) N + x.
    std::size_t componentIndex(int x, int y, int z) const;

private:
    // Occupied cells per ray of one projection mode: pixel (column, row) at
    // (column - columnMin) * rows + row; oblique columns reach beyond 0..N-1.
    struct RayCounts {
        int mode = NO_VIEW;
        int columnMin = 0, columnMax = -1, rows = 0;
        std::vector<std::uint16_t> count;

        std::uint16_t& at(const Pixel& p) { return count[std::size_t(p.column - columnMin) * rows + p.row]; }
    };

    void allocate(int n);
    bool singleShadowStillValid(int k, bool checkCovered, bool checkUncovered);
    RayCounts* raysOf(int mode) const;
    void countRays() const;
    std::uint8_t cellDataState(int x, int y, int z, const std::vector<int>* labels, int mainLabel);

    float _cell_size = -1.0f;
    std::vector<int> _view_modes{NO_VIEW, NO_VIEW, NO_VIEW};  // three entries
    std::unique_ptr<TriMesh> _shadow_mesh;
    std::unique_ptr<TriMesh> _smooth_mesh;
    int _size_x = 0, _size_y = 0, _size_z = 0;  // the grid's extent
    int _slice_size = 0;                        // _size_x * _size_y
    ByteMap _reprojection_image_map[3];
    std::vector<ShadowView*> _source_views;  // not owned
    CellGrid _occupancy_grid;
    int _edit_radius = 0;
    int _display_flags = 0;
    int _nof_mesh_cells = 0;
    mutable RayCounts _rays[3];
    mutable bool _rays_counted = false;  // _rays match the occupancy (for the modes they hold)
};

// Number of occupied cells, visiting x, then y, then z (either kind of volume;
// calls on a ShadowObject are not virtual).
template <class Volume>
int countOccupiedCells(Volume& object)
{
    int count = 0;
    const int sx = object.sizeX(), sy = object.sizeY(), sz = object.sizeZ();
    for (int x = 0; x < sx; ++x)
        for (int y = 0; y < sy; ++y)
            for (int z = 0; z < sz; ++z)
                count += object.isOccupied({x, y, z}) ? 1 : 0;
    return count;
}
