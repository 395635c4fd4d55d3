#pragma once
// Cubic voxel grid for parallel light. One class, two roles:
//  - a view object holds one picture, its projection mode, its binary map and
//    a grid of per-cell distances to the picture's dark figure;
//  - the master object is the volume: its cells' `occupied` flags are the
//    voxels, it refers to its view objects (not owned) and records, per view,
//    the shadow the volume cast when it was built.
// N = floor(250 / cell size) cells per axis; cell (x, y, z) spans
// [x s, (x+1) s] x [y s, (y+1) s] x [z s, (z+1) s] picture pixels.

#include "surface/TriMesh.h"
#include "volume/EditableShadowObject.h"
#include "volume/Grids.h"

#include <QImage>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class DarkPixelSearch;
class DeformationModel;
class SquaredDistanceMap;

// How quantisation finds each cell's distance to the nearest dark pixel: a
// distance-transform lookup (fast) or one kd-tree query per cell. Both give
// identical values.
enum class DistanceMethod { DistanceTransform, KdTree };

class ShadowObject : public EditableShadowObject {
public:
    static constexpr int kImageExtent = 250;  // picture pixels spanned by the grid

    // Empty object (scene loading): no grid, cell size -1, no projection mode.
    ShadowObject();

    // View from the current rendering of a deformable picture: the picture is
    // the model's rendering scaled to width 250.
    ShadowObject(const QString& path, int mode, DeformationModel* deformImage, float cellSize);

    // View from a picture file. With a model, the picture goes through it: a
    // cached picture mesh beside the file ("_mesh.obj") is read and rendered,
    // otherwise the model is built from the picture (writing the cache); with
    // useMask, "_mask.png" beside the file sets the vertex stiffness. Without a
    // model the picture is used as it is. `unused` is accepted for callers that
    // pass a picture index and has no effect.
    ShadowObject(const QString& path, int unused, int mode, DeformationModel* deformImage, float cellSize,
                 bool useMask);

    // Master volume sized like `firstView`: every cell free, distance -1.
    ShadowObject(const ShadowObject* firstView, float cellSize);

    ShadowObject(const ShadowObject& other);
    ShadowObject& operator=(const ShadowObject& other);
    ShadowObject(ShadowObject&& other) noexcept;
    ShadowObject& operator=(ShadowObject&& other) noexcept;
    ~ShadowObject() override;

    // ---- volume slots ---------------------------------------------------------
    bool isOccupied(const CellIndex& c) override { return _occupancy_grid.at(c.x, c.y, c.z).occupied; }
    int resolution() override;
    TriMesh* buildShadowMesh() override;
    bool isInGrid(const CellIndex& c) override;
    void setOccupied(const CellIndex& c, bool occupied) override { _occupancy_grid.at(c.x, c.y, c.z).occupied = occupied; }
    Cell& cellAt(int x, int y, int z) override { return _occupancy_grid.at(x, y, z); }
    bool isCellAddable(int x, int y, int z) override;
    bool isCellRemovable(const CellIndex& c) override;
    bool areShadowsStillValid(bool checkCovered, bool checkUncovered) override;
    void boundingBox(float min[3], float max[3]) override;
    int sizeX() override { return _size_x; }
    int sizeY() override { return _size_y; }
    int sizeZ() override { return _size_z; }

    // ---- views ----------------------------------------------------------------
    // Binary map, distance grid and fresh "untreated" map of a view. A pixel is
    // dark when red, green and blue are all strictly below the limits.
    void quantize(int redLimit, int greenLimit, int blueLimit, bool saveQuantized,
                  DistanceMethod method = DistanceMethod::DistanceTransform);
    bool hasDarkPixels() const { return _image_map.count() > 0; }
    // Whether quantising `picture` at this cell size would find a dark pixel.
    static bool pictureHasDarkPixel(const QImage& picture, float cellSize);
    // Binary map of a picture already scaled to width 250: map pixel (i, j) is
    // 1 when the picture pixel at the centre of cell (i, j) is dark.
    static ByteMap darkMap(const QImage& picture, int n, float cellSize, int redLimit, int greenLimit,
                           int blueLimit);

    // Nearest dark map pixel of a view (built on first use, kept until the
    // view is quantised again).
    DarkPixelSearch& nearestDarkPixel();
    // Squared distance to the nearest dark map pixel for any pixel a cell can
    // project onto (computed on first use, kept until the next quantisation).
    const SquaredDistanceMap& squaredDistances();

    // ---- master ---------------------------------------------------------------
    // Occupies every cell whose pixel is dark (distance 0) in every view; cost
    // is the sum of the other distances. Records view modes, shadow maps and views.
    void buildFromViews(const std::vector<ShadowObject*>& views);
    void buildFromViews(std::vector<ShadowObject>& views);

    // The volume's shadow in `mode`: N x N RGB picture, white, black where a
    // pixel's ray holds an occupied cell. Oblique columns outside 0..N-1 are
    // not drawn.
    QImage renderShadow(int mode);

    // ---- coverage -------------------------------------------------------------
    bool rayHasOccupiedCell(const CellIndex& c, int mode);
    bool is_cell_removable_wrt_single_view(const CellIndex& c, int mode);
    void create_reprojection_image_map(int k, int mode);

    // A cell is exposed when it lies on the grid border or has a free face
    // neighbour.
    bool isExposed(int x, int y, int z);

    // ---- fields ---------------------------------------------------------------
    float _cell_size = -1.0f;
    std::vector<int> _view_modes{NO_VIEW, NO_VIEW, NO_VIEW};
    std::unique_ptr<TriMesh> _shadow_mesh;
    QString _source_path;
    DeformationModel* _deform_image = nullptr;  // not owned
    QImage _image;
    int _image_extent[3] = {kImageExtent, kImageExtent, kImageExtent};
    int _size_x = 0, _size_y = 0, _size_z = 0;
    int _slice_size = 0;
    int _projection_mode = NO_PROJECTION;
    ByteMap _image_map;
    ByteMap _reprojection_image_map[3];
    ByteMap _gray_and_not_treated;
    std::vector<ShadowObject*> _source_views;  // master only, not owned
    CellGrid _occupancy_grid;
    std::unique_ptr<DarkPixelSearch> _ann_tree;
    bool _ann_built = false;
    int _edit_radius = 0;
    int _display_flags = 0;
    int _nof_mesh_cells = 0;

private:
    void setResolutionFromCellSize(float cellSize);
    void loadPictureFile(const QString& path, bool useMask);
    void fillDistances(DistanceMethod method);
    bool singleShadowStillValid(int mode, bool checkCovered, bool checkUncovered);
    int countOnRay(const CellIndex& c, int mode, int stopAt);
    std::uint8_t cellDataState(int x, int y, int z);
    void releaseSearch();

    std::unique_ptr<SquaredDistanceMap> _sq_distances;
};

// Number of occupied cells, visiting x, then y, then z.
int countOccupiedCells(EditableShadowObject& object);

// Writes `message` to the debug output and ends the process with exit code 1.
[[noreturn]] void exitOnImpossibleState(const char* message);
