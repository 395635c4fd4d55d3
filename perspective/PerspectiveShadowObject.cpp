#include "perspective/PerspectiveShadowObject.h"

#include "perspective/Diagnostics.h"
#include "volume/CubeMesh.h"
#include "volume/ShadowView.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

Q_LOGGING_CATEGORY(kalvexPerspective, "kalvex.perspective", QtInfoMsg)

PerspectiveShadowObject::PerspectiveShadowObject(float voxelResolution) : _voxel_resolution(voxelResolution)
{
    const int n = ShadowView::resolutionFor(_cell_size);
    _size_x = _size_y = _size_z = n;
    _master = CellGrid(n, n, n);
}

PerspectiveShadowObject::~PerspectiveShadowObject() = default;

bool PerspectiveShadowObject::isInGrid(const CellIndex& c) const
{
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x < _size_x && c.y < _size_y && c.z < _size_z;
}

// ---- views --------------------------------------------------------------------

Result<int> PerspectiveShadowObject::addView(const QImage& picture, const QString& sourcePath,
                                             const PerspectiveCamera& camera)
{
    if (const QString problem = cameraProblem(camera); !problem.isEmpty())
        return fail(problem);
    return addViewInGridUnits(picture, sourcePath, toGridUnits(camera, _size_x));
}

Result<int> PerspectiveShadowObject::addViewInGridUnits(const QImage& picture, const QString& sourcePath,
                                                        const PerspectiveCamera& camera)
{
    if (const QString problem = cameraProblem(camera); !problem.isEmpty())
        return fail(problem);
    qCDebug(kalvexPerspective).noquote() << "processing file " + sourcePath + ".";
    _view_grids.emplace_back(_size_x);
    _views.push_back(std::make_unique<PerspectiveView>(picture, sourcePath, camera, _cell_size));
    const int k = viewCount() - 1;
    processView(k);
    return k;
}

// Occupancy, distance to the figure and pixel of every cell in view k.
void PerspectiveShadowObject::processView(int k)
{
    qCDebug(kalvexPerspective, "starting _process_perspective_image");
    const PerspectiveView& v = view(k);
    PerspectiveViewGrid& grid = viewGrid(k);
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z) {
                const std::size_t i = grid.index(x, y, z);
                const PerspectiveView::Projection p = v.project(x, y, z);
                grid.occupied[i] = p.inFigure ? 1 : 0;
                if (!p.seen)
                    continue;  // distance kUnseen, pixel -1 from the start
                grid.pixel[i] = v.pixelIndex(p.px, p.py);
                grid.distance[i] = std::sqrt(v.squaredDistanceToFigure(p.px, p.py));
            }
    qCDebug(kalvexPerspective, "end _process_perspective_image");
}

// ---- master grid ----------------------------------------------------------------

void PerspectiveShadowObject::rebuildMaster()
{
    CellGrid::Storage& cells = _master.cells();
    // The per-view grids share the master's x, y, z order.
    for (std::size_t i = 0; i < cells.size(); ++i) {
        bool inAll = true;
        for (const PerspectiveViewGrid& grid : _view_grids)
            inAll = inAll && grid.occupied[i] != 0;
        cells[i].occupied = inAll;
    }
}

void PerspectiveShadowObject::refreshViews()
{
    for (auto& v : _views)
        v->refresh();
}

int PerspectiveShadowObject::occupiedCount() const
{
    int count = 0;
    for (const Cell& cell : _master.cells())
        count += cell.occupied ? 1 : 0;
    return count;
}

ByteMap PerspectiveShadowObject::castShadow(int k) const
{
    const PerspectiveView& v = view(k);
    const PerspectiveViewGrid& grid = viewGrid(k);
    ByteMap shadow(v.width(), v.height(), 0);
    const CellGrid::Storage& cells = _master.cells();
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int pixel = grid.pixel[i];
        if (cells[i].occupied && pixel >= 0)
            shadow.at(v.columnOf(pixel), v.rowOf(pixel)) = 1;
    }
    return shadow;
}

// ---- cells ---------------------------------------------------------------------------

void PerspectiveShadowObject::setOccupied(const CellIndex& c, bool occupied)
{
    Q_ASSERT(isInGrid(c));
    Cell& cell = _master.at(c.x, c.y, c.z);
    const bool changes = cell.occupied != occupied;
    for (int k = 0; k < viewCount(); ++k) {
        PerspectiveView& v = view(k);
        PerspectiveViewGrid& grid = viewGrid(k);
        const std::size_t i = grid.index(c);
        grid.occupied[i] = occupied ? 1 : 0;
        const int pixel = grid.pixel[i];
        if (!changes || pixel < 0)
            continue;
        std::vector<CellIndex>& list = v._occupied_cells[std::size_t(pixel)];
        if (occupied) {
            if (v._figure_mask.at(v.columnOf(pixel), v.rowOf(pixel)))
                list.push_back(c);
        } else if (auto found = std::find(list.begin(), list.end(), c); found != list.end()) {
            *found = list.back();
            list.pop_back();
        }
    }
    cell.occupied = occupied;
}

bool PerspectiveShadowObject::isCellRemovable(const CellIndex& c)
{
    if (!isOccupied(c))
        return true;
    for (int k = 0; k < viewCount(); ++k) {
        const PerspectiveView& v = view(k);
        const int pixel = viewGrid(k).pixel[viewGrid(k).index(c)];
        if (pixel < 0 || !v._figure_mask.at(v.columnOf(pixel), v.rowOf(pixel)))
            return false;
        if (v._occupied_cells[std::size_t(pixel)].size() < 2)
            return false;
    }
    return true;
}

bool PerspectiveShadowObject::areShadowsStillValid(bool, bool)
{
    qCDebug(kalvexPerspective, "not implemented yet");
    return true;
}

PerspectiveShadowObject::RandomRemoval PerspectiveShadowObject::removeRandomCells(int k)
{
    RandomRemoval result;
    const long long limit = 20LL * k;
    const int n = _size_x;
    while (result.draws < limit && result.removed <= k) {
        const int x = std::rand() % n;
        const int y = std::rand() % n;
        const int z = std::rand() % n;
        ++result.draws;
        const CellIndex c{x, y, z};
        if (isOccupied(c) && isCellRemovable(c)) {
            setOccupied(c, false);
            ++result.removed;
        }
    }
    buildCubes();
    return result;
}

// ---- cube mesh ----------------------------------------------------------------------

void PerspectiveShadowObject::buildCubes()
{
    // The same mesh object is refilled, so a pointer handed out earlier stays valid.
    if (!_shadow_mesh)
        _shadow_mesh = std::make_unique<TriMesh>();
    writeCubeMesh(_master, hollow(), _cell_size, *_shadow_mesh, [this](int x, int y, int z) {
        const std::uint8_t flags = _master.at(x, y, z).flags;
        return std::pair<int, int>(flags & (CellFlags::Editable | CellFlags::Disconnected),
                                   (flags & CellFlags::GreedyAdded) ? 1 : 0);
    });
}

TriMesh* PerspectiveShadowObject::buildShadowMesh()
{
    buildCubes();
    for (auto& v : _views) {
        for (auto& list : v->_occupied_cells)
            list.clear();
        for (auto& list : v->_all_cells)
            list.clear();
    }
    // Occupied cells on figure pixels, cells in x, y, z order.
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z) {
                if (!_master.at(x, y, z).occupied)
                    continue;
                for (int k = 0; k < viewCount(); ++k) {
                    PerspectiveView& v = view(k);
                    const int pixel = viewGrid(k).pixel[viewGrid(k).index(x, y, z)];
                    if (pixel >= 0 && v._figure_mask.at(v.columnOf(pixel), v.rowOf(pixel)))
                        v._occupied_cells[std::size_t(pixel)].push_back({x, y, z});
                }
            }
    // Every seen cell, view by view.
    for (int k = 0; k < viewCount(); ++k) {
        PerspectiveView& v = view(k);
        const PerspectiveViewGrid& grid = viewGrid(k);
        for (int x = 0; x < _size_x; ++x)
            for (int y = 0; y < _size_y; ++y)
                for (int z = 0; z < _size_z; ++z) {
                    const int pixel = grid.pixel[grid.index(x, y, z)];
                    if (pixel >= 0)
                        v._all_cells[std::size_t(pixel)].push_back({x, y, z});
                }
    }
    if (!_keep_point_indices)
        for (auto& v : _views)
            v->rebuildPointIndex();
    return _shadow_mesh.get();
}

void PerspectiveShadowObject::boundingBox(float min[3], float max[3]) const
{
    for (int k = 0; k < 3; ++k)
        min[k] = max[k] = 0.0f;
    if (!_shadow_mesh || _shadow_mesh->vertices.empty())
        return;
    _shadow_mesh->need_bbox();
    for (int k = 0; k < 3; ++k) {
        min[k] = _shadow_mesh->bbox.min[k];
        max[k] = _shadow_mesh->bbox.max[k];
    }
}
