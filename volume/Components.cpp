#include "volume/Components.h"

#include "volume/Diagnostics.h"
#include "volume/GridAllocator.h"
#include "volume/ShadowObject.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <fstream>
#include <limits>
#include <queue>
#include <unordered_map>
#include <utility>

namespace {

// Face neighbours in the order -x, +x, -y, +y, -z, +z; direction k + 1 (even
// k) or k - 1 (odd k) leads back.
constexpr int kStep[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};

// Grid-sized work arrays come from the grid pool: the steps of one sculpture
// allocate arrays of the same sizes one after the other, and fresh pages are
// slow to touch.
template <class T>
using GridVector = std::vector<T, GridAllocator<T>>;

struct Grid {
    int nx, ny, nz;
    explicit Grid(EditableShadowObject& v) : nx(v.sizeX()), ny(v.sizeY()), nz(v.sizeZ()) {}
    std::size_t cells() const { return std::size_t(nx) * ny * nz; }
    std::size_t index(int x, int y, int z) const { return (std::size_t(z) * ny + y) * nx + x; }
    bool inside(int x, int y, int z) const { return x >= 0 && y >= 0 && z >= 0 && x < nx && y < ny && z < nz; }
};

// The grid with a free layer around it, x slowest and z fastest: the order in
// which the scans below find components (so they read front to back), and
// the border spares the searches their bounds tests.
struct PaddedGrid {
    int nx, ny, nz;
    std::ptrdiff_t strideX, strideY;  // strideZ is 1
    explicit PaddedGrid(const Grid& grid)
        : nx(grid.nx), ny(grid.ny), nz(grid.nz), strideX(std::ptrdiff_t(ny + 2) * (nz + 2)), strideY(nz + 2)
    {
    }
    std::size_t cells() const { return std::size_t(nx + 2) * std::size_t(strideX); }
    std::size_t index(int x, int y, int z) const
    {
        return std::size_t((x + 1) * strideX + (y + 1) * strideY + (z + 1));
    }
    CellIndex cellOf(std::size_t p) const
    {
        const std::size_t xy = p / std::size_t(strideY);
        return {int(xy / std::size_t(ny + 2)) - 1, int(xy % std::size_t(ny + 2)) - 1, int(p % std::size_t(strideY)) - 1};
    }
};

// 1 for every occupied cell, 0 elsewhere (the border included). A
// ShadowObject's grid is stored x slowest and z fastest too and is read
// directly.
GridVector<std::uint8_t> paddedOccupancy(EditableShadowObject& volume, const PaddedGrid& padded)
{
    GridVector<std::uint8_t> occupied(padded.cells(), 0);
    const auto* object = dynamic_cast<const ShadowObject*>(&volume);
    const bool direct = object && object->grid().sizeX() == padded.nx &&
                        object->grid().sizeY() == padded.ny && object->grid().sizeZ() == padded.nz;
    const Cell* cells = direct ? object->grid().cells().data() : nullptr;
    for (int x = 0; x < padded.nx; ++x)
        for (int y = 0; y < padded.ny; ++y) {
            std::uint8_t* row = occupied.data() + padded.index(x, y, 0);
            if (direct) {
                const Cell* from = cells + (std::size_t(x) * padded.ny + y) * padded.nz;
                for (int z = 0; z < padded.nz; ++z)
                    row[z] = from[z].occupied ? 1 : 0;
            } else {
                for (int z = 0; z < padded.nz; ++z)
                    row[z] = volume.isOccupied({x, y, z}) ? 1 : 0;
            }
        }
    return occupied;
}

// labelComponents into any int array.
template <class Labels>
int labelInto(EditableShadowObject& volume, Labels& labels, std::vector<ComponentSeed>* seeds)
{
    const Grid grid(volume);
    const PaddedGrid padded(grid);
    labels.assign(grid.cells(), 0);
    if (seeds)
        seeds->clear();
    // 0 free, 1 occupied, 2 labelled.
    GridVector<std::uint8_t> state = paddedOccupancy(volume, padded);
    std::vector<std::pair<int, int>> sizes;  // (size, label), in order of discovery
    GridVector<std::uint32_t> stack;
    // The fill pushes +x, -x, +y, -y, +z, -z; a cell pushed twice before it
    // is taken is taken (and counted) twice.
    const std::ptrdiff_t fillSteps[6] = {padded.strideX, -padded.strideX, padded.strideY, -padded.strideY, 1, -1};
    for (int x = 0; x < grid.nx; ++x)
        for (int y = 0; y < grid.ny; ++y)
            for (int z = 0; z < grid.nz; ++z) {
                if (state[padded.index(x, y, z)] != 1)
                    continue;
                const int label = static_cast<int>(sizes.size()) + 1;
                sizes.push_back({0, label});
                if (seeds)
                    seeds->push_back({label, x, y, z});
                stack.push_back(std::uint32_t(padded.index(x, y, z)));
                while (!stack.empty()) {
                    const std::size_t p = stack.back();
                    stack.pop_back();
                    state[p] = 2;
                    const CellIndex c = padded.cellOf(p);
                    labels[grid.index(c.x, c.y, c.z)] = label;
                    ++sizes.back().first;
                    for (const std::ptrdiff_t step : fillSteps)
                        if (state[std::size_t(std::ptrdiff_t(p) + step)] == 1)
                            stack.push_back(std::uint32_t(std::ptrdiff_t(p) + step));
                }
            }
    int mainLabel = 0, mainSize = -1;
    for (const auto& [size, label] : sizes)
        if (size >= mainSize) {
            mainSize = size;
            mainLabel = label;
        }
    return mainLabel;
}

}  // namespace

int labelComponents(EditableShadowObject& volume, std::vector<int>& labels, std::vector<ComponentSeed>* seeds)
{
    return labelInto(volume, labels, seeds);
}

namespace {

// The breadth-first search of joinMainComponent with its per-cell array kept
// between searches: only the entries a search touched are reset, so joining
// many small pieces costs their searches, not a fresh grid-sized array each.
class MainJoiner {
public:
    MainJoiner(EditableShadowObject& volume, const int* labels, int mainLabel)
        : _volume(volume), _grid(volume), _labels(labels), _mainLabel(mainLabel), _direction(_grid.cells(), kUnvisited)
    {
    }

    int join(int x, int y, int z)
    {
        const int occupied = search(x, y, z);
        for (const std::size_t i : _touched)
            _direction[i] = kUnvisited;
        _touched.clear();
        return occupied;
    }

private:
    static constexpr std::int8_t kUnvisited = -1, kRefused = -2;

    int search(int x, int y, int z)
    {
        _queue.clear();
        _queue.push_back({x, y, z});
        CellIndex meeting{-1, -1, -1};
        while (!_queue.empty() && meeting.x < 0) {
            const CellIndex c = _queue.front();
            _queue.pop_front();
            for (int k = 0; k < 6 && meeting.x < 0; ++k) {
                const CellIndex n{c.x + kStep[k][0], c.y + kStep[k][1], c.z + kStep[k][2]};
                if (!_grid.inside(n.x, n.y, n.z))
                    continue;
                const std::size_t i = _grid.index(n.x, n.y, n.z);
                std::int8_t& entry = _direction[i];
                if (entry == kUnvisited) {
                    _touched.push_back(i);
                    if (_volume.isCellAddable(n.x, n.y, n.z)) {
                        entry = std::int8_t(k % 2 == 0 ? k + 1 : k - 1);
                        _queue.push_back(n);
                    } else {
                        entry = kRefused;
                    }
                }
                if (_labels[i] == _mainLabel)
                    meeting = n;
            }
        }
        if (meeting.x < 0)
            return 0;
        int occupied = 0;
        CellIndex c = meeting;
        while (!(c.x == x && c.y == y && c.z == z)) {
            const int k = _direction[_grid.index(c.x, c.y, c.z)];
            if (k < 0)
                break;  // cannot happen: every cell on the way was reached from the start
            c = {c.x + kStep[k][0], c.y + kStep[k][1], c.z + kStep[k][2]};
            if (!_volume.isOccupied(c)) {
                _volume.setOccupied(c, true);
                ++occupied;
            }
        }
        return occupied;
    }

    EditableShadowObject& _volume;
    const Grid _grid;
    const int* _labels;
    const int _mainLabel;
    GridVector<std::int8_t> _direction;  // per cell: the step back toward the start, or a mark
    std::vector<std::size_t> _touched;
    std::deque<CellIndex> _queue;
};

}  // namespace

int joinMainComponent(EditableShadowObject& volume, int x, int y, int z, const std::vector<int>& labels,
                      int mainLabel)
{
    return MainJoiner(volume, labels.data(), mainLabel).join(x, y, z);
}

int autoConnectAll(EditableShadowObject& volume)
{
    EditableShadowObject::Snapshot snapshot;
    volume.takeSnapshot(snapshot);
    const int occupied = connectToMain(volume);
    volume.recordEdit(snapshot);
    return occupied;
}

int connectToMain(EditableShadowObject& volume)
{
    GridVector<int> labels;
    std::vector<ComponentSeed> seeds;
    const int mainLabel = labelInto(volume, labels, &seeds);
    int occupied = 0;
    if (mainLabel != 0 && seeds.size() > 1) {
        MainJoiner joiner(volume, labels.data(), mainLabel);
        for (const ComponentSeed& seed : seeds)
            if (seed.label != mainLabel)
                occupied += joiner.join(seed.x, seed.y, seed.z);
    }
    return occupied;
}

// ---- bridging ------------------------------------------------------------------------
//
// The pieces are joined in the order of a cheapest-first search from the main
// piece: a free cell costs (the shadow pixels it would add) * 2^32 + 1, a path
// the sum of its cells, and the piece joined next is the one beside the free
// cell that is cheapest to reach (the lower cell index among equals), by the
// path that steps back to the neighbour cheapest to reach (again the lower
// index among equals). Joining makes the piece and the path part of the main
// piece and darkens the path's pixels, which lowers the cost of the free cells
// on those rays; both only lower the distances, so one search serves every
// join: it takes the new cells as sources, lowers the distances of the cells
// whose cost fell, and settles cells only as far as the next join needs.

namespace {

using Cost = std::uint64_t;
constexpr Cost kPixelCost = Cost(1) << 32;
constexpr Cost kUnreached = std::numeric_limits<Cost>::max();

// Pending cells by cost (pixels, then cells), popped in ascending order. A
// cost is a pair of small integers, so the cells wait in buckets: one array
// per pixel count, indexed by the cell count. Pushing below the lowest bucket
// (new sources after a join) moves the cursors back.
class BucketQueue {
public:
    bool empty() const { return _size == 0; }

    void push(Cost cost, std::uint32_t cell)
    {
        const std::size_t pixels = std::size_t(cost >> 32), cells = std::size_t(cost & 0xFFFFFFFFu);
        if (pixels >= _levels.size())
            _levels.resize(pixels + 1);
        Level& level = _levels[pixels];
        if (cells >= level.buckets.size())
            level.buckets.resize(cells + 1);
        level.buckets[cells].push_back(cell);
        level.cursor = std::min(level.cursor, cells);
        ++level.size;
        _cursor = std::min(_cursor, pixels);
        ++_size;
    }

    // The lowest cost waiting; the queue must not be empty.
    Cost top()
    {
        advance();
        return Cost(_cursor) << 32 | Cost(_levels[_cursor].cursor);
    }

    // Takes a cell of the lowest cost.
    std::uint32_t pop()
    {
        advance();
        Level& level = _levels[_cursor];
        std::vector<std::uint32_t>& bucket = level.buckets[level.cursor];
        const std::uint32_t cell = bucket.back();
        bucket.pop_back();
        if (bucket.empty())
            std::vector<std::uint32_t>().swap(bucket);  // a settled bucket gives its memory back
        --level.size;
        --_size;
        return cell;
    }

private:
    struct Level {
        std::vector<std::vector<std::uint32_t>> buckets;
        std::size_t cursor = 0;  // no cell waits below it
        std::size_t size = 0;
    };

    void advance()
    {
        while (_levels[_cursor].size == 0)
            ++_cursor;
        Level& level = _levels[_cursor];
        while (level.buckets[level.cursor].empty())
            ++level.cursor;
    }

    std::vector<Level> _levels;
    std::size_t _cursor = 0;
    std::size_t _size = 0;
};

// Per cell, in four bytes, what the bridging search knows of it: in the main
// piece (cost 0), in another piece, or free with its cost so far (pixels *
// 2^20 + cells while the pixels stay below 4093 and the cells below 2^20, any
// bridge worth building; the rare larger costs are kept aside) or not reached.
// One word per cell keeps the search's reads to one place in memory.
class CellStates {
public:
    // From component labels (0 free): the main piece's cells at cost 0, the
    // free ones not reached. Takes the labels' memory.
    void fromLabels(GridVector<std::uint32_t>&& labels, std::uint32_t mainLabel)
    {
        _packed = std::move(labels);
        _large.clear();
        for (std::uint32_t& state : _packed)
            state = state == 0 ? kUnreachedPacked : state == mainLabel ? 0 : kForeignPacked;
    }

    bool isMain(std::size_t i) const { return _packed[i] == 0; }
    bool isForeign(std::size_t i) const { return _packed[i] == kForeignPacked; }
    bool isFree(std::size_t i) const { return _packed[i] != 0 && _packed[i] != kForeignPacked; }

    // The cost of a free cell (kUnreached before it is reached), 0 in the main
    // piece; not for cells of other pieces.
    Cost cost(std::size_t i) const
    {
        const std::uint32_t packed = _packed[i];
        if (packed == kUnreachedPacked)
            return kUnreached;
        if (packed == kLargePacked)
            return _large.at(std::uint32_t(i));
        return Cost(packed >> 20) << 32 | Cost(packed & 0xFFFFFu);
    }

    // Cost 0 makes the cell part of the main piece.
    void setCost(std::size_t i, Cost cost)
    {
        const Cost pixels = cost >> 32, cells = cost & 0xFFFFFFFFu;
        if (_packed[i] == kLargePacked)
            _large.erase(std::uint32_t(i));
        if (pixels < 4093 && cells < (Cost(1) << 20)) {
            _packed[i] = std::uint32_t(pixels << 20 | cells);
        } else {
            _packed[i] = kLargePacked;
            _large[std::uint32_t(i)] = cost;
        }
    }

private:
    static constexpr std::uint32_t kUnreachedPacked = 0xFFFFFFFFu, kLargePacked = 0xFFFFFFFEu,
                                   kForeignPacked = 0xFFFFFFFDu;
    GridVector<std::uint32_t> _packed;
    std::unordered_map<std::uint32_t, Cost> _large;
};

// One view's shadow as the bridging sees it: per pixel, dark or not, and the
// cells of each ray. Cell (x, y, z) falls on pixel base[x ny + y] + (zStep ? z : 0).
struct ViewRays {
    std::vector<std::uint32_t> base;
    bool zStep = true;
    int rows = 0;                              // pixels per column: nz, or 1 without zStep
    std::vector<std::uint8_t> dark;            // per pixel
    std::vector<std::uint32_t> columnStart;    // per column (pixel / rows), into columnCells
    std::vector<std::uint32_t> columnCells;    // x ny + y of the cells in each column

    std::uint32_t pixel(std::uint32_t xy, int z) const { return base[xy] + (zStep ? std::uint32_t(z) : 0u); }
};

class Bridger {
public:
    explicit Bridger(ShadowObject& volume) : _volume(volume), _grid(volume) {}

    Bridging run()
    {
        Bridging bridging;
        if (!sortCells())
            return bridging;  // no piece, or one
        setUpViews();
        // Main cells are sources; only those beside a free cell have anything to relax.
        for (std::uint32_t i = 0; i < _grid.cells(); ++i)
            if (_cells.isMain(i)) {
                bool besideFree = false;
                forNeighbours(cellOf(i), [&](std::uint32_t j) { besideFree = besideFree || _cells.isFree(j); });
                if (besideFree)
                    _open.push(0, i);
            }
        for (;;) {
            const std::uint32_t start = nextJoin();
            if (start == kNone)
                return bridging;
            join(start, bridging);
        }
    }

private:
    static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();

    CellIndex cellOf(std::uint32_t i) const
    {
        const std::uint32_t nx = std::uint32_t(_grid.nx), ny = std::uint32_t(_grid.ny);
        return {int(i % nx), int(i / nx % ny), int(i / (nx * ny))};
    }

    std::uint32_t indexOf(const CellIndex& c) const { return std::uint32_t(_grid.index(c.x, c.y, c.z)); }

    // Calls f(neighbour index) for the face neighbours of c inside the grid,
    // in the order -x, +x, -y, +y, -z, +z.
    template <class F>
    void forNeighbours(const CellIndex& c, F&& f) const
    {
        for (const auto& step : kStep) {
            const CellIndex n{c.x + step[0], c.y + step[1], c.z + step[2]};
            if (_grid.inside(n.x, n.y, n.z))
                f(indexOf(n));
        }
    }

    // Sorts the cells into the main piece, the others and free ones, and
    // marks the free cells beside another piece (a mark that stays once that
    // piece is joined: it only says where to look). False when there is no
    // other piece to join.
    bool sortCells()
    {
        GridVector<std::uint32_t> labels;
        const std::uint32_t mainLabel = std::uint32_t(labelInto(_volume, labels, nullptr));
        if (mainLabel == 0)
            return false;
        for (const std::uint32_t label : labels)
            _foreignCells += (label != 0 && label != mainLabel) ? 1 : 0;
        if (_foreignCells == 0)
            return false;
        _beside.assign(labels.size(), false);
        for (std::uint32_t i = 0; i < labels.size(); ++i)
            if (labels[i] != 0 && labels[i] != mainLabel)
                forNeighbours(cellOf(i), [&](std::uint32_t j) { _beside[j] = _beside[j] || labels[j] == 0; });
        _cells.fromLabels(std::move(labels), mainLabel);
        return true;
    }

    bool touchesForeign(const CellIndex& c) const
    {
        bool touches = false;
        forNeighbours(c, [&](std::uint32_t j) { touches = touches || _cells.isForeign(j); });
        return touches;
    }

    void setUpViews()
    {
        const int nx = _grid.nx, ny = _grid.ny, nz = _grid.nz;
        for (const int mode : _volume.viewModes()) {
            if (mode < X_PROJECTION || mode > OneTwenty_PROJECTION)
                continue;  // no view, or one that casts no shadow to keep
            ViewRays& view = _views.emplace_back();
            view.base.resize(std::size_t(nx) * ny);
            view.zStep = mode != Z_PROJECTION;
            view.rows = view.zStep ? nz : 1;
            int columnMin = 0, columnMax = 0;
            if (isInPlaneMode(mode)) {
                columnMin = columnMax = inPlaneColumn(mode, 0, 0);
                for (int x = 0; x < nx; ++x)
                    for (int y = 0; y < ny; ++y) {
                        columnMin = std::min(columnMin, inPlaneColumn(mode, x, y));
                        columnMax = std::max(columnMax, inPlaneColumn(mode, x, y));
                    }
            }
            const int columns = mode == X_PROJECTION   ? ny
                                : mode == Y_PROJECTION ? nx
                                : mode == Z_PROJECTION ? nx * ny
                                                       : columnMax - columnMin + 1;
            std::vector<std::uint32_t> columnOf(view.base.size());
            for (int x = 0; x < nx; ++x)
                for (int y = 0; y < ny; ++y) {
                    const int column = mode == X_PROJECTION   ? y
                                       : mode == Y_PROJECTION ? x
                                       : mode == Z_PROJECTION ? x * ny + y
                                                              : inPlaneColumn(mode, x, y) - columnMin;
                    columnOf[std::size_t(x) * ny + y] = std::uint32_t(column);
                    view.base[std::size_t(x) * ny + y] = std::uint32_t(column * view.rows);
                }
            view.dark.assign(std::size_t(columns) * view.rows, 0);
            view.columnStart.assign(std::size_t(columns) + 1, 0);
            for (const std::uint32_t column : columnOf)
                ++view.columnStart[column + 1];
            for (int c = 0; c < columns; ++c)
                view.columnStart[std::size_t(c) + 1] += view.columnStart[std::size_t(c)];
            view.columnCells.resize(columnOf.size());
            std::vector<std::uint32_t> fill(view.columnStart.begin(), view.columnStart.end() - 1);
            for (std::uint32_t xy = 0; xy < columnOf.size(); ++xy)
                view.columnCells[fill[columnOf[xy]]++] = xy;
        }
        std::size_t i = 0;
        for (int z = 0; z < nz; ++z)
            for (int y = 0; y < ny; ++y)
                for (int x = 0; x < nx; ++x)
                    if (!_cells.isFree(i++))
                        for (ViewRays& view : _views)
                            view.dark[view.pixel(std::uint32_t(x * ny + y), z)] = 1;
    }

    // Shadow pixels a free cell would add: the views whose ray through it is empty.
    int newPixels(const CellIndex& c) const
    {
        const std::uint32_t xy = std::uint32_t(c.x * _grid.ny + c.y);
        int pixels = 0;
        for (const ViewRays& view : _views)
            pixels += view.dark[view.pixel(xy, c.z)] ? 0 : 1;
        return pixels;
    }

    Cost cellCost(const CellIndex& c) const { return 1 + kPixelCost * Cost(newPixels(c)); }

    void lower(std::uint32_t i, Cost cost)
    {
        _cells.setCost(i, cost);
        _open.push(cost, i);
        if (_beside[i])
            _candidates.push({cost, i});
    }

    // Settles cells until the cheapest free cell beside another piece is
    // known; kNone when no other piece is left or can be reached.
    std::uint32_t nextJoin()
    {
        if (_foreignCells == 0)
            return kNone;
        for (;;) {
            while (!_candidates.empty()) {
                const auto [cost, i] = _candidates.top();
                if (_cells.isFree(i) && _cells.cost(i) == cost && touchesForeign(cellOf(i)))
                    break;
                _candidates.pop();  // outdated: reached more cheaply since, taken, or its pieces joined
            }
            // Every cell cheaper than the cheapest open one has its final distance.
            if (!_candidates.empty() && (_open.empty() || _candidates.top().first < _open.top()))
                return _candidates.top().second;
            if (_open.empty())
                return kNone;
            const Cost cost = _open.top();
            const std::uint32_t i = _open.pop();
            if (_cells.cost(i) != cost)
                continue;  // reached more cheaply since
            const CellIndex c = cellOf(i);
            for (const auto& step : kStep) {
                const CellIndex n{c.x + step[0], c.y + step[1], c.z + step[2]};
                if (!_grid.inside(n.x, n.y, n.z))
                    continue;
                const std::uint32_t j = indexOf(n);
                if (!_cells.isFree(j))
                    continue;
                const Cost next = cost + cellCost(n);
                if (next < _cells.cost(j))
                    lower(j, next);
            }
        }
    }

    void join(std::uint32_t start, Bridging& bridging)
    {
        // The path back to the main piece.
        std::vector<std::uint32_t> path{start};
        for (std::uint32_t i = start;;) {
            std::uint32_t best = kNone;
            Cost bestDistance = kUnreached;
            forNeighbours(cellOf(i), [&](std::uint32_t j) {
                const Cost distance = _cells.isForeign(j) ? kUnreached : _cells.cost(j);
                if (distance != kUnreached &&
                    (best == kNone || distance < bestDistance || (distance == bestDistance && j < best))) {
                    best = j;
                    bestDistance = distance;
                }
            });
            if (_cells.isMain(best))
                break;
            path.push_back(best);
            i = best;
        }
        std::vector<std::pair<std::size_t, std::uint32_t>> darkened;  // (view, pixel)
        for (const std::uint32_t i : path) {
            const CellIndex c = cellOf(i);
            bridging.pixels += newPixels(c);
            _volume.setOccupied(c, true);
            ++bridging.cells;
            makeMain(i);
            const std::uint32_t xy = std::uint32_t(c.x * _grid.ny + c.y);
            for (std::size_t v = 0; v < _views.size(); ++v) {
                const std::uint32_t p = _views[v].pixel(xy, c.z);
                if (!_views[v].dark[p]) {
                    _views[v].dark[p] = 1;
                    darkened.push_back({v, p});
                }
            }
        }
        ++bridging.pieces;
        // The pieces the path touches become part of the main piece.
        for (const std::uint32_t i : path)
            forNeighbours(cellOf(i), [&](std::uint32_t j) {
                if (_cells.isForeign(j))
                    absorbPiece(j);
            });
        // Free cells on the darkened rays cost fewer pixels now.
        for (const auto& [v, p] : darkened) {
            const ViewRays& view = _views[v];
            const std::uint32_t column = p / std::uint32_t(view.rows);
            for (std::uint32_t k = view.columnStart[column]; k < view.columnStart[column + 1]; ++k) {
                const std::uint32_t xy = view.columnCells[k];
                const int x = int(xy / std::uint32_t(_grid.ny)), y = int(xy % std::uint32_t(_grid.ny));
                if (view.zStep)
                    recost({x, y, int(p % std::uint32_t(view.rows))});
                else
                    for (int z = 0; z < _grid.nz; ++z)
                        recost({x, y, z});
            }
        }
    }

    void makeMain(std::uint32_t i)
    {
        _cells.setCost(i, 0);
        _open.push(0, i);
    }

    // The pieces are 6-connected components: the foreign cells 6-connected to
    // `first` are its piece.
    void absorbPiece(std::uint32_t first)
    {
        std::vector<std::uint32_t> stack{first};
        makeMain(first);
        while (!stack.empty()) {
            const std::uint32_t i = stack.back();
            stack.pop_back();
            --_foreignCells;
            forNeighbours(cellOf(i), [&](std::uint32_t j) {
                if (_cells.isForeign(j)) {
                    makeMain(j);
                    stack.push_back(j);
                }
            });
        }
    }

    // A free cell's cost fell: its distance through its cheapest neighbour.
    void recost(const CellIndex& c)
    {
        const std::uint32_t i = indexOf(c);
        if (!_cells.isFree(i))
            return;
        Cost through = kUnreached;
        forNeighbours(c, [&](std::uint32_t j) {
            if (!_cells.isForeign(j))
                through = std::min(through, _cells.cost(j));
        });
        if (through == kUnreached)
            return;
        const Cost cost = through + cellCost(c);
        if (cost < _cells.cost(i))
            lower(i, cost);
    }

    ShadowObject& _volume;
    const Grid _grid;
    CellStates _cells;  // free cells' costs are upper bounds, exact below the cheapest open cost
    std::vector<bool> _beside;      // free cells that were beside another piece
    std::size_t _foreignCells = 0;  // occupied cells outside the main piece
    std::vector<ViewRays> _views;
    BucketQueue _open;            // cells whose neighbours have not seen their distance
    using Candidate = std::pair<Cost, std::uint32_t>;
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<Candidate>> _candidates;  // beside a piece
};

}  // namespace

Bridging bridgePieces(ShadowObject& volume)
{
    return Bridger(volume).run();
}

CleanUp makeOneComponent(EditableShadowObject& volume, float cellSize)
{
    const Grid grid(volume);
    const PaddedGrid padded(grid);
    // Components are numbered in x, y, z order, the order of the padded grid;
    // the labels are kept in that order without the border.
    GridVector<std::uint8_t> state = paddedOccupancy(volume, padded);  // 0 free, 1 occupied, 2 labelled
    GridVector<int> labels(grid.cells(), -1);
    auto scanIndex = [&](std::size_t p) {
        const CellIndex c = padded.cellOf(p);
        return (std::size_t(c.x) * std::size_t(grid.ny) + std::size_t(c.y)) * std::size_t(grid.nz) + std::size_t(c.z);
    };
    std::vector<std::ptrdiff_t> around;  // the 26 neighbours' offsets
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            for (int dz = -1; dz <= 1; ++dz)
                if ((dx | dy | dz) != 0)
                    around.push_back(dx * padded.strideX + dy * padded.strideY + dz);
    int components = 0;
    std::vector<std::size_t> queue;
    for (int x = 0; x < grid.nx; ++x)
        for (int y = 0; y < grid.ny; ++y)
            for (int z = 0; z < grid.nz; ++z) {
                const std::size_t p = padded.index(x, y, z);
                if (state[p] != 1)
                    continue;
                const int label = components++;
                state[p] = 2;
                queue.assign(1, p);
                for (std::size_t head = 0; head < queue.size(); ++head) {
                    labels[scanIndex(queue[head])] = label;
                    for (const std::ptrdiff_t step : around) {
                        const std::size_t q = std::size_t(std::ptrdiff_t(queue[head]) + step);
                        if (state[q] == 1) {
                            state[q] = 2;
                            queue.push_back(q);
                        }
                    }
                }
            }
    qCDebug(kalvexVolume, "number of components  %d", components);

    // Per component, its cells counted and summed in x, y, z order; the cells
    // of the small ones kept to be freed.
    struct Component {
        std::size_t cells = 0;
        double sum[3] = {0.0, 0.0, 0.0};
        std::vector<CellIndex> small;  // its first cells, all of them when fewer than 6
    };
    std::vector<Component> parts(static_cast<std::size_t>(components));
    for (int x = 0; x < grid.nx; ++x)
        for (int y = 0; y < grid.ny; ++y) {
            const int* row = labels.data() + (std::size_t(x) * std::size_t(grid.ny) + std::size_t(y)) * std::size_t(grid.nz);
            for (int z = 0; z < grid.nz; ++z) {
                if (row[z] < 0)
                    continue;
                Component& part = parts[std::size_t(row[z])];
                if (++part.cells < 6)
                    part.small.push_back({x, y, z});
                part.sum[0] += x;
                part.sum[1] += y;
                part.sum[2] += z;
            }
        }

    CleanUp result;
    result.components = components;
    for (const Component& part : parts) {
        if (part.cells < 6) {
            for (const CellIndex& c : part.small)
                volume.setOccupied(c, false);
            result.removed += static_cast<int>(part.cells);
            continue;
        }
        float centroid[3];
        for (int a = 0; a < 3; ++a)
            centroid[a] = float((part.sum[a] / double(part.cells) + 0.5) * cellSize);
        result.centroids.emplace_back(centroid[0], centroid[1], centroid[2]);
    }
    return result;
}
