#include "volume/Components.h"

#include "volume/Diagnostics.h"
#include "volume/ShadowObject.h"

#include <deque>
#include <fstream>
#include <limits>
#include <queue>
#include <utility>

namespace {

// Face neighbours in the order -x, +x, -y, +y, -z, +z; direction k + 1 (even
// k) or k - 1 (odd k) leads back.
constexpr int kStep[6][3] = {{-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}, {0, 0, -1}, {0, 0, 1}};

struct Grid {
    int nx, ny, nz;
    explicit Grid(EditableShadowObject& v) : nx(v.sizeX()), ny(v.sizeY()), nz(v.sizeZ()) {}
    std::size_t cells() const { return std::size_t(nx) * ny * nz; }
    std::size_t index(int x, int y, int z) const { return (std::size_t(z) * ny + y) * nx + x; }
    bool inside(int x, int y, int z) const { return x >= 0 && y >= 0 && z >= 0 && x < nx && y < ny && z < nz; }
};

}  // namespace

int labelComponents(EditableShadowObject& volume, std::vector<int>& labels, std::vector<ComponentSeed>* seeds)
{
    const Grid grid(volume);
    labels.assign(grid.cells(), 0);
    if (seeds)
        seeds->clear();
    std::vector<std::pair<int, int>> sizes;  // (size, label), in order of discovery
    std::vector<CellIndex> stack;
    // The fill pushes +x, -x, +y, -y, +z, -z; a cell pushed twice before it
    // is taken is taken (and counted) twice.
    static constexpr int kFillOrder[6] = {1, 0, 3, 2, 5, 4};
    for (int x = 0; x < grid.nx; ++x)
        for (int y = 0; y < grid.ny; ++y)
            for (int z = 0; z < grid.nz; ++z) {
                if (!volume.isOccupied({x, y, z}) || labels[grid.index(x, y, z)] != 0)
                    continue;
                const int label = static_cast<int>(sizes.size()) + 1;
                sizes.push_back({0, label});
                if (seeds)
                    seeds->push_back({label, x, y, z});
                stack.push_back({x, y, z});
                while (!stack.empty()) {
                    const CellIndex c = stack.back();
                    stack.pop_back();
                    labels[grid.index(c.x, c.y, c.z)] = label;
                    ++sizes.back().first;
                    for (int k : kFillOrder) {
                        const CellIndex n{c.x + kStep[k][0], c.y + kStep[k][1], c.z + kStep[k][2]};
                        if (grid.inside(n.x, n.y, n.z) && volume.isOccupied(n) && labels[grid.index(n.x, n.y, n.z)] == 0)
                            stack.push_back(n);
                    }
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

int joinMainComponent(EditableShadowObject& volume, int x, int y, int z, const std::vector<int>& labels,
                      int mainLabel)
{
    const Grid grid(volume);
    constexpr int kUnvisited = -1, kRefused = -2;
    std::vector<int> direction(grid.cells(), kUnvisited);
    std::deque<CellIndex> queue{{x, y, z}};
    CellIndex meeting{-1, -1, -1};
    while (!queue.empty() && meeting.x < 0) {
        const CellIndex c = queue.front();
        queue.pop_front();
        for (int k = 0; k < 6 && meeting.x < 0; ++k) {
            const CellIndex n{c.x + kStep[k][0], c.y + kStep[k][1], c.z + kStep[k][2]};
            if (!grid.inside(n.x, n.y, n.z))
                continue;
            int& entry = direction[grid.index(n.x, n.y, n.z)];
            if (entry == kUnvisited) {
                if (volume.isCellAddable(n.x, n.y, n.z)) {
                    entry = k % 2 == 0 ? k + 1 : k - 1;
                    queue.push_back(n);
                } else {
                    entry = kRefused;
                }
            }
            if (labels[grid.index(n.x, n.y, n.z)] == mainLabel)
                meeting = n;
        }
    }
    if (meeting.x < 0)
        return 0;
    int occupied = 0;
    CellIndex c = meeting;
    while (!(c.x == x && c.y == y && c.z == z)) {
        const int k = direction[grid.index(c.x, c.y, c.z)];
        if (k < 0)
            break;  // cannot happen: every cell on the way was reached from the start
        c = {c.x + kStep[k][0], c.y + kStep[k][1], c.z + kStep[k][2]};
        if (!volume.isOccupied(c)) {
            volume.setOccupied(c, true);
            ++occupied;
        }
    }
    return occupied;
}

int autoConnectAll(EditableShadowObject& volume)
{
    EditableShadowObject::Snapshot snapshot;
    volume.takeSnapshot(snapshot);
    std::vector<int> labels;
    std::vector<ComponentSeed> seeds;
    const int mainLabel = labelComponents(volume, labels, &seeds);
    int occupied = 0;
    if (mainLabel != 0)
        for (const ComponentSeed& seed : seeds)
            if (seed.label != mainLabel)
                occupied += joinMainComponent(volume, seed.x, seed.y, seed.z, labels, mainLabel);
    volume.recordEdit(snapshot);
    return occupied;
}

Bridging bridgePieces(ShadowObject& volume)
{
    const Grid grid(volume);
    Bridging bridging;
    // Shadow pixels a free cell would add: the views whose ray through it is empty.
    auto newPixels = [&](const CellIndex& c) {
        int pixels = 0;
        for (int mode : volume._view_modes)
            pixels += (mode != NO_VIEW && !volume.rayHasOccupiedCell(c, mode)) ? 1 : 0;
        return pixels;
    };
    constexpr std::int64_t kPixelCost = std::int64_t(1) << 32;
    constexpr std::int64_t kUnreached = std::numeric_limits<std::int64_t>::max();
    std::vector<int> labels;
    for (;;) {
        const int mainLabel = labelComponents(volume, labels);
        std::vector<std::int64_t> cost(grid.cells(), kUnreached);
        std::vector<int> from(grid.cells(), -1);  // the cell the cheapest path came from
        using Entry = std::pair<std::int64_t, std::size_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
        for (std::size_t i = 0; i < grid.cells(); ++i)
            if (labels[i] == mainLabel && mainLabel != 0) {
                cost[i] = 0;
                open.push({0, i});
            }
        auto cellOf = [&](std::size_t i) {
            const int x = static_cast<int>(i % std::size_t(grid.nx));
            const int y = static_cast<int>(i / std::size_t(grid.nx) % std::size_t(grid.ny));
            return CellIndex{x, y, static_cast<int>(i / (std::size_t(grid.nx) * grid.ny))};
        };
        std::size_t reached = grid.cells();  // a cell of another piece
        while (!open.empty() && reached == grid.cells()) {
            const auto [c, i] = open.top();
            open.pop();
            if (c != cost[i])
                continue;
            const CellIndex cell = cellOf(i);
            for (int k = 0; k < 6; ++k) {
                const CellIndex n{cell.x + kStep[k][0], cell.y + kStep[k][1], cell.z + kStep[k][2]};
                if (!grid.inside(n.x, n.y, n.z))
                    continue;
                const std::size_t j = grid.index(n.x, n.y, n.z);
                if (labels[j] != 0 && labels[j] != mainLabel) {
                    from[j] = static_cast<int>(i);
                    reached = j;
                    break;
                }
                if (labels[j] != 0)
                    continue;
                const std::int64_t next = c + 1 + kPixelCost * newPixels(n);
                if (next < cost[j]) {
                    cost[j] = next;
                    from[j] = static_cast<int>(i);
                    open.push({next, j});
                }
            }
        }
        if (reached == grid.cells())
            return bridging;  // one piece (or none)
        for (int i = from[reached]; i >= 0 && labels[std::size_t(i)] == 0; i = from[std::size_t(i)]) {
            const CellIndex cell = cellOf(std::size_t(i));
            bridging.pixels += newPixels(cell);
            volume.setOccupied(cell, true);
            ++bridging.cells;
        }
        ++bridging.pieces;
    }
}

CleanUp makeOneComponent(EditableShadowObject& volume, float cellSize)
{
    const Grid grid(volume);
    std::vector<int> labels(grid.cells(), -1);
    std::vector<std::vector<CellIndex>> components;
    std::deque<CellIndex> queue;
    for (int x = 0; x < grid.nx; ++x)
        for (int y = 0; y < grid.ny; ++y)
            for (int z = 0; z < grid.nz; ++z) {
                if (!volume.isOccupied({x, y, z}) || labels[grid.index(x, y, z)] != -1)
                    continue;
                const int label = static_cast<int>(components.size());
                components.emplace_back();
                labels[grid.index(x, y, z)] = label;
                queue.push_back({x, y, z});
                while (!queue.empty()) {
                    const CellIndex c = queue.front();
                    queue.pop_front();
                    for (int dx = -1; dx <= 1; ++dx)
                        for (int dy = -1; dy <= 1; ++dy)
                            for (int dz = -1; dz <= 1; ++dz) {
                                const CellIndex n{c.x + dx, c.y + dy, c.z + dz};
                                if ((dx | dy | dz) == 0 || !grid.inside(n.x, n.y, n.z) || !volume.isOccupied(n))
                                    continue;
                                int& l = labels[grid.index(n.x, n.y, n.z)];
                                if (l == -1) {
                                    l = label;
                                    queue.push_back(n);
                                }
                            }
                }
            }
    qCDebug(kalvexVolume, "number of components  %d", static_cast<int>(components.size()));
    // The cells of each component in x, y, z order.
    for (int x = 0; x < grid.nx; ++x)
        for (int y = 0; y < grid.ny; ++y)
            for (int z = 0; z < grid.nz; ++z)
                if (const int l = labels[grid.index(x, y, z)]; l >= 0)
                    components[std::size_t(l)].push_back({x, y, z});

    CleanUp result;
    result.components = static_cast<int>(components.size());
    for (const std::vector<CellIndex>& cells : components) {
        if (cells.size() < 6) {
            for (const CellIndex& c : cells)
                volume.setOccupied(c, false);
            result.removed += static_cast<int>(cells.size());
            continue;
        }
        float centroid[3] = {0.0f, 0.0f, 0.0f};
        for (const CellIndex& c : cells) {
            centroid[0] += float(c.x);
            centroid[1] += float(c.y);
            centroid[2] += float(c.z);
        }
        for (float& v : centroid)
            v = (v / float(cells.size()) + 0.5f) * cellSize;
        result.centroids.emplace_back(centroid[0], centroid[1], centroid[2]);
    }
    return result;
}
