#include "volume/ShadowObject.h"

#include "volume/Components.h"
#include "volume/CubeMesh.h"
#include "volume/Diagnostics.h"
#include "volume/SceneFile.h"
#include "volume/VolumeContouring.h"

#include <algorithm>
#include <cmath>

Q_LOGGING_CATEGORY(kalvexVolume, "kalvex.volume", QtInfoMsg)

namespace {

constexpr std::uint8_t kDarkByte = 1;
constexpr std::uint8_t kLightByte = 0;

// What a view's map says about the cells (x, y, 0..N-1): dark bytes read at
// z * stride. Axis views along x and y and the oblique views read one map
// column along z; the Z view reads one pixel for the whole column of cells.
struct DarkRun {
    const std::uint8_t* bytes;
    std::ptrdiff_t stride;
};

DarkRun darkRun(const ShadowView& view, int x, int y)
{
    const ByteMap& map = view._image_map;
    switch (view._projection_mode) {
    case X_PROJECTION: return {map.column(y), 1};
    case Y_PROJECTION: return {map.column(x), 1};
    case Z_PROJECTION: return {map.column(x) + y, 0};
    default: {
        const int u = inPlaneColumn(view._projection_mode, x, y);
        if (u < 0 || u >= map.first())
            return {&kLightByte, 0};  // beyond the picture: light
        return {map.column(u), 1};
    }
    }
}

}  // namespace

// ---- construction -----------------------------------------------------------

ShadowObject::ShadowObject() = default;

ShadowObject::ShadowObject(float cellSize) : _cell_size(cellSize)
{
    allocate(ShadowView::resolutionFor(cellSize));
}

ShadowObject::ShadowObject(const ShadowView& firstView, float cellSize) : _cell_size(cellSize)
{
    allocate(firstView.resolution());
}

ShadowObject::ShadowObject(int resolution, float cellSize) : _cell_size(cellSize)
{
    allocate(resolution);
}

void ShadowObject::allocate(int n)
{
    _size_x = _size_y = _size_z = n;
    _slice_size = n * n;
    _occupancy_grid = CellGrid(n, n, n);
}

ShadowObject::ShadowObject(const ShadowObject& other)
    : EditableShadowObject(other),
      _cell_size(other._cell_size),
      _view_modes(other._view_modes),
      _shadow_mesh(other._shadow_mesh ? std::make_unique<TriMesh>(*other._shadow_mesh) : nullptr),
      _smooth_mesh(other._smooth_mesh ? std::make_unique<TriMesh>(*other._smooth_mesh) : nullptr),
      _size_x(other._size_x),
      _size_y(other._size_y),
      _size_z(other._size_z),
      _slice_size(other._slice_size),
      _reprojection_image_map{other._reprojection_image_map[0], other._reprojection_image_map[1],
                              other._reprojection_image_map[2]},
      _source_views(other._source_views),
      _occupancy_grid(other._occupancy_grid),
      _edit_radius(other._edit_radius),
      _display_flags(other._display_flags),
      _nof_mesh_cells(other._nof_mesh_cells),
      _rays{other._rays[0], other._rays[1], other._rays[2]},
      _rays_counted(other._rays_counted)
{
}

ShadowObject& ShadowObject::operator=(const ShadowObject& other)
{
    if (this != &other) {
        ShadowObject copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ShadowObject::~ShadowObject()
{
    if (!_occupancy_grid.empty())
        qCDebug(kalvexVolume, "deleted _occupancy_grid");
}

// floor(250 / cell size) for a volume built from pictures; a volume read
// from a scene file has the size the file gives.
int ShadowObject::resolution() const
{
    return _size_x;
}

bool ShadowObject::isInGrid(const CellIndex& c) const
{
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x < _size_x && c.y < _size_y && c.z < _size_z;
}

// ---- building ---------------------------------------------------------------

void ShadowObject::buildFromViews(std::vector<ShadowView>& views)
{
    std::vector<ShadowView*> pointers;
    for (ShadowView& v : views)
        pointers.push_back(&v);
    buildFromViews(pointers);
}

void ShadowObject::buildFromViews(const std::vector<ShadowView*>& views)
{
    const int n = _size_x;
    for (const ShadowView* view : views) {
        if (!view->quantized() || view->resolution() != n) {
            qCDebug(kalvexVolume, "buildFromViews: a view is not quantised at this resolution");
            return;
        }
    }
    _rays_counted = false;  // counted again once the occupancy is written
    // A cell is occupied when its pixel is dark in every view. Views beyond
    // the third (none in practice) are checked cell by cell below.
    constexpr std::uint8_t clearGreedy = static_cast<std::uint8_t>(~CellFlags::GreedyAdded);
    DarkRun runs[3] = {{&kDarkByte, 0}, {&kDarkByte, 0}, {&kDarkByte, 0}};
    const int runCount = std::min<int>(3, static_cast<int>(views.size()));
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            for (int k = 0; k < runCount; ++k)
                runs[k] = darkRun(*views[k], x, y);
            Cell* cells = &_occupancy_grid.at(x, y, 0);
            for (int z = 0; z < n; ++z) {
                cells[z].occupied = (runs[0].bytes[z * runs[0].stride] & runs[1].bytes[z * runs[1].stride] &
                                     runs[2].bytes[z * runs[2].stride]) != 0;
                cells[z].flags &= clearGreedy;
            }
        }
    // Cells a repair claimed count as inside the view that holds the claim;
    // further views decide cell by cell.
    auto inEveryView = [&](const CellIndex& c) {
        for (const ShadowView* view : views)
            if (view->distance(c.x, c.y, c.z) != 0.0f)
                return false;
        return true;
    };
    for (const ShadowView* view : views)
        for (const CellIndex& c : view->zeroedCells())
            _occupancy_grid.at(c.x, c.y, c.z).occupied = inEveryView(c);
    if (views.size() > 3)
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                for (int z = 0; z < n; ++z)
                    _occupancy_grid.at(x, y, z).occupied = inEveryView({x, y, z});

    for (int k = 0; k < static_cast<int>(views.size()) && k < 3; ++k) {
        _view_modes[k] = views[k]->_projection_mode;
        create_reprojection_image_map(k, _view_modes[k]);
    }
    _source_views = views;
}

// ---- smooth surface -------------------------------------------------------------

TriMesh* ShadowObject::smoothMesh(bool recompute)
{
    if (_smooth_mesh && !recompute)
        return _smooth_mesh.get();
    _smooth_mesh = std::make_unique<TriMesh>();
    if (!contourVolume(*this, 0.8f, CATMULL_ROM_INTERPOLATION, *_smooth_mesh, 3))
        return nullptr;
    for (TriMesh::Face& f : _smooth_mesh->faces)
        std::swap(f[0], f[2]);
    return _smooth_mesh.get();
}

// ---- scene files --------------------------------------------------------------

bool ShadowObject::writeScene(QIODevice& device) const
{
    return ::writeScene(device, sceneOf(*this, _cell_size, _view_modes));
}

Result<void> ShadowObject::readScene(QIODevice& device)
{
    const Result<SceneData> read = ::readScene(device);
    if (!read.ok())
        return fail(read.error());
    return adoptScene(read.value());
}

Result<void> ShadowObject::adoptScene(const SceneData& scene)
{
    if (scene.size[0] != scene.size[1] || scene.size[1] != scene.size[2])
        return fail(QStringLiteral("The scene file's grid of %1 x %2 x %3 cells is not a cube.")
            .arg(scene.size[0])
            .arg(scene.size[1])
            .arg(scene.size[2]));
    ShadowObject volume;
    volume._cell_size = scene.cellSize;
    volume.allocate(scene.size[0]);
    volume._view_modes.assign(3, NO_VIEW);
    for (std::size_t k = 0; k < scene.viewModes.size() && k < 3; ++k)
        volume._view_modes[k] = scene.viewModes[k];
    CellGrid::Storage& cells = volume._occupancy_grid.cells();
    for (std::size_t i = 0; i < cells.size(); ++i)
        cells[i].occupied = scene.occupancy[i] != 0;  // same x, y, z order
    for (int k = 0; k < 3; ++k)
        volume.create_reprojection_image_map(k, volume._view_modes[k]);
    *this = std::move(volume);
    return {};
}

float ShadowObject::cost(int x, int y, int z) const
{
    float sum = 0.0f;
    for (const ShadowView* view : _source_views)
        sum += view->distance(x, y, z);  // zero distances add nothing
    return sum;
}

// ---- shadows ----------------------------------------------------------------

ByteMap ShadowObject::castShadow(int mode) const
{
    const int n = _size_x;
    ByteMap shadow(n, n, 0);
    if (mode < X_PROJECTION || mode > OneTwenty_PROJECTION)
        return shadow;
    if (RayCounts* rays = raysOf(mode)) {
        for (int c = 0; c < n; ++c)
            for (int r = 0; r < n; ++r)
                shadow.at(c, r) = rays->at({c, r}) > 0 ? 1 : 0;
        return shadow;
    }
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            const Cell* cells = &_occupancy_grid.at(x, y, 0);
            std::uint8_t* column = nullptr;  // the map column the cells' rows z fall on
            switch (mode) {
            case X_PROJECTION: column = shadow.column(y); break;
            case Y_PROJECTION: column = shadow.column(x); break;
            case Z_PROJECTION: {
                bool any = false;
                for (int z = 0; z < n && !any; ++z)
                    any = cells[z].occupied;
                shadow.at(x, y) |= any ? 1 : 0;
                continue;
            }
            default: {
                const int u = inPlaneColumn(mode, x, y);
                if (u < 0 || u >= n)
                    continue;
                column = shadow.column(u);
            }
            }
            for (int z = 0; z < n; ++z)
                column[z] |= cells[z].occupied ? 1 : 0;
        }
    return shadow;
}

QImage ShadowObject::renderShadow(int mode) const
{
    const ByteMap shadow = castShadow(mode);
    const int n = _size_x;
    QImage image(n, n, QImage::Format_RGB32);
    image.fill(Qt::white);
    for (int r = 0; r < n; ++r) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(r));
        for (int c = 0; c < n; ++c)
            if (shadow.at(c, r))
                line[c] = 0xFF000000;
    }
    return image;
}

// ---- cells ------------------------------------------------------------------

int ShadowObject::occupiedCount() const
{
    int count = 0;
    for (const Cell& cell : _occupancy_grid.cells())
        count += cell.occupied ? 1 : 0;
    return count;
}

bool ShadowObject::occupiedBox(CellIndex& low, CellIndex& high) const
{
    const int n = _size_x;
    low = {n, n, n};
    high = {-1, -1, -1};
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            const Cell* cells = &_occupancy_grid.at(x, y, 0);
            for (int z = 0; z < n; ++z) {
                if (!cells[z].occupied)
                    continue;
                low = {std::min(low.x, x), std::min(low.y, y), std::min(low.z, z)};
                high = {std::max(high.x, x), std::max(high.y, y), std::max(high.z, z)};
            }
        }
    return high.x >= 0;
}

void ShadowObject::boundingBox(float min[3], float max[3]) const
{
    for (int k = 0; k < 3; ++k)
        min[k] = max[k] = 0.0f;
    CellIndex low, high;
    if (!occupiedBox(low, high))
        return;
    const float s = _cell_size;
    const int lo[3] = {low.x, low.y, low.z};
    const int hi[3] = {high.x, high.y, high.z};
    for (int k = 0; k < 3; ++k) {
        min[k] = float(lo[k]) * s;
        max[k] = float(hi[k]) * s + s;
    }
}

// ---- cube mesh --------------------------------------------------------------

std::uint8_t ShadowObject::cellDataState(int x, int y, int z, const std::vector<int>* labels, int mainLabel)
{
    Cell& cell = _occupancy_grid.at(x, y, z);
    const bool editable = (_display_flags & 1) && isCellRemovable({x, y, z});
    const bool disconnected = labels && (*labels)[componentIndex(x, y, z)] != mainLabel;
    cell.flags = static_cast<std::uint8_t>((cell.flags & ~(CellFlags::Editable | CellFlags::Disconnected)) |
                                           (editable ? CellFlags::Editable : 0) |
                                           (disconnected ? CellFlags::Disconnected : 0));
    return cell.flags & (CellFlags::Editable | CellFlags::Disconnected);
}

std::size_t ShadowObject::componentIndex(int x, int y, int z) const
{
    return (std::size_t(z) * _size_y + y) * _size_x + x;
}

// One pass over the cells into the arrays of the previous mesh, which keep
// their memory: a fresh multi-megabyte mesh per edit would cost more in
// first-touch page faults than in building.
TriMesh* ShadowObject::buildShadowMesh()
{
    std::vector<int> labels;
    int mainLabel = 0;
    const bool markDisconnected = (_display_flags & 2) != 0;
    if (markDisconnected)
        mainLabel = labelComponents(*this, labels);

    if (!_shadow_mesh)
        _shadow_mesh = std::make_unique<TriMesh>();
    _nof_mesh_cells = writeCubeMesh(_occupancy_grid, hollow(), _cell_size, *_shadow_mesh, [&](int x, int y, int z) {
        const int state = cellDataState(x, y, z, markDisconnected ? &labels : nullptr, mainLabel);
        const int greedy = (_occupancy_grid.at(x, y, z).flags & CellFlags::GreedyAdded) ? 1 : 0;
        return std::pair<int, int>(state, greedy);
    });
    return _shadow_mesh.get();
}
