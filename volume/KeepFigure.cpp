#include "volume/KeepFigure.h"

#include "volume/GridAllocator.h"
#include "volume/WordBits.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace {

// Grid-sized arrays come from the grid pool: fresh pages are slow to touch.
template <class T>
using GridVector = std::vector<T, GridAllocator<T>>;

// Softness of the minimum the moves raise: a view keeping this much more
// than the least kept one counts e times less. A soft minimum lets a move
// that helps two views at a small cost to the third go ahead when all three
// keep about as much.
constexpr double kSoftness = 0.005;
// A pixel holding this much figure is worth shading: at a kept figure k,
// shading a pixel that is a share w figure helps while w > k / (1 + k).
constexpr float kWorthShading = 0.45f;

enum class MoveKind { Open, Close };

struct Move {
    double score = 0;
    MoveKind kind = MoveKind::Open;
    int view = 0, column = 0, row = 0;
    int freeView = -1;  // opening: the view the cells may shade anywhere
};

// A move's change of the two sums of each view's kept share: the figure
// the shadow holds, and the figure plus the shadow beyond it.
struct Effect {
    bool valid = false;
    std::array<double, 3> both{0, 0, 0};
    std::array<double, 3> either{0, 0, 0};
};

// A ray along an axis: up to 256 cells (N is at most 250).
using RayBits = WordBits<4>;
// A ray in a plane of constant z, its cells laid out along its paths: up
// to 512 places.
using PlaneRayBits = WordBits<8>;

// What opening a ray does, found on bits: its effect (valid as open()
// finds it, the sums taken in the bits' order) and the cells it occupies.
template <class Bits>
struct OpeningOf {
    Effect effect;
    Bits joined;
};
using Opening = OpeningOf<RayBits>;
using PlaneOpening = OpeningOf<PlaneRayBits>;

// The keep step's state: per view the figure, the number of occupied cells
// on each visible pixel's ray, and the two counts of the kept figure.
//
// Finding the moves means trying every ray of every view, again each round,
// and most rays have nothing to offer. When every view runs along an axis
// their rays are tried as rows of bits: each view keeps, per ray, its
// occupied cells and its cells that are occupied or were changed by this
// step, and per row and per column of its pixels the ones not shaded, the
// figure and the pixels holding any figure. A ray of one view crosses one
// row or column of each other view along its length, so a few word
// operations give the cells an opening would occupy and what they shade.
// When every view's rows run along z (the sets with views in the x-y
// plane) each ray lies in one plane and is tried as bits too, laid out
// along the paths its cells make (see PlaneRay); there the views' pixels
// a ray crosses are kept per ray. When every weight is a multiple of 2^-20
// the sums of an effect do not depend on their order and the bits give the
// effect exactly; otherwise the openings that may raise the soft minimum
// are tried cell by cell (open()), whose order of summing the moves'
// scores were found in. Either way the moves are those of trying every ray
// cell by cell.
class Keeper {
public:
    Keeper(ShadowObject& master, const ViewFigures& figures, const KeepOptions& options) : _master(master)
    {
        _n = master.sizeX();
        const std::size_t pixels = std::size_t(_n) * _n;
        for (int k = 0; k < 3; ++k) {
            _modes[k] = master.viewModes()[std::size_t(k)];
            _count[k].assign(pixels, 0);
            _stamp[k].assign(pixels, 0);
            _removed[k].assign(pixels, 0);
            _weight[k].assign(pixels, 0.0f);
            for (int p = 0; p < int(pixels); ++p)
                _weight[k][std::size_t(p)] = options.onCanvas ? figures.cover[std::size_t(k)][std::size_t(p)]
                                                      : float(figures.maps[std::size_t(k)].at(p / _n, p % _n));
            _area[k] = 0;
            for (float w : _weight[k])
                _area[k] += w;
        }
        _touched.assign((pixels * std::size_t(_n) + 63) / 64, 0);
        // Oblique rays: the (x, y) of each visible column, and where each
        // (x, y) stands on its column's ray.
        std::size_t longest = std::size_t(_n);
        for (int k = 0; k < 3; ++k) {
            if (!isInPlaneMode(_modes[k]))
                continue;
            std::vector<std::vector<std::pair<int, int>>>& rays = _oblique[k];
            rays.assign(std::size_t(_n), {});
            _position[k].assign(pixels, -1);
            _columnOf[k].assign(pixels, -1);
            for (int x = 0; x < _n; ++x)
                for (int y = 0; y < _n; ++y) {
                    const int c = inPlaneColumn(_modes[k], x, y);
                    if (c >= 0 && c < _n) {
                        _columnOf[k][std::size_t(x) * _n + y] = c;
                        _position[k][std::size_t(x) * _n + y] = int(rays[std::size_t(c)].size());
                        rays[std::size_t(c)].emplace_back(x, y);
                    }
                }
            for (const auto& ray : rays)
                longest = std::max(longest, ray.size());
        }
        _rayStamp.assign(longest, 0);
        _bitRays = options.rowsOfBits && _n <= 64 * RayBits::kWords;
        for (int k = 0; k < 3; ++k)
            _bitRays = _bitRays && rayAxis(k) >= 0;
        if (_bitRays) {
            _cellsMask = RayBits::first(_n);
            // Whether the cells along a ray of view `view` fall on one row of
            // view k's pixels (one pixel per column), else on one column.
            for (int view = 0; view < 3; ++view)
                for (int k = 0; k < 3; ++k) {
                    const CellIndex a = rayCell(view, 0, 0, 0), b = rayCell(view, 0, 0, 1);
                    _crossesColumns[view][k] =
                        pixelOfCell(_modes[k], a.x, a.y, a.z).column != pixelOfCell(_modes[k], b.x, b.y, b.z).column;
                }
            for (int k = 0; k < 3; ++k) {
                _occupied[k].assign(pixels, RayBits());
                _blocked[k].assign(pixels, RayBits());
                for (PixelBits* bits : {&_figure[k], &_someFigure[k], &_unshaded[k]}) {
                    bits->rows.assign(std::size_t(_n), RayBits());
                    bits->columns.assign(std::size_t(_n), RayBits());
                }
                for (int p = 0; p < int(pixels); ++p) {
                    _figure[k].set(p, _n, figure(k, p));
                    _someFigure[k].set(p, _n, weight(k, p) > 0);
                }
            }
            // Each (x, y) column of cells as bits over z, spread into the
            // views' rays; the ray counts are the bits set.
            for (int x = 0; x < _n; ++x)
                for (int y = 0; y < _n; ++y) {
                    const Cell* cells = &master.grid().at(x, y, 0);
                    RayBits column;
                    for (int z = 0; z < _n; ++z)
                        if (cells[z].occupied)
                            setBit(column, z, true);
                    for (int k = 0; k < 3; ++k)
                        switch (_modes[k]) {
                        case X_PROJECTION:
                            column.forEach([&](int z) { setBit(_occupied[k][std::size_t(y) * _n + z], x, true); });
                            break;
                        case Y_PROJECTION:
                            column.forEach([&](int z) { setBit(_occupied[k][std::size_t(x) * _n + z], y, true); });
                            break;
                        default:
                            _occupied[k][std::size_t(x) * _n + y] = column;
                        }
                }
            for (int k = 0; k < 3; ++k) {
                _blocked[k] = _occupied[k];
                for (std::size_t p = 0; p < pixels; ++p) {
                    _count[k][p] = _occupied[k][p].count();
                    _unshaded[k].set(int(p), _n, _count[k][p] == 0);
                }
            }
        } else if (options.rowsOfBits && inPlanes()) {
            layOutPlaneRays();
        } else {
            for (int x = 0; x < _n; ++x)
                for (int y = 0; y < _n; ++y) {
                    const Cell* cells = &master.grid().at(x, y, 0);
                    for (int z = 0; z < _n; ++z)
                        if (cells[z].occupied)
                            for (int k = 0; k < 3; ++k)
                                if (const int p = pixelIndex(k, {x, y, z}); p >= 0)
                                    ++_count[k][std::size_t(p)];
                }
        }
        // Sums of weights are exact, in any order, when every weight is a
        // multiple of 2^-20 (a figure share of blocks of a power of two
        // pixels: cell sizes 1, 2, 4, ..., and the maps' 0 and 1).
        _exactSums = true;
        for (int k = 0; k < 3; ++k)
            for (float w : _weight[k])
                _exactSums = _exactSums && std::ldexp(double(w), 20) == std::floor(std::ldexp(double(w), 20));
        recount();
    }

    // The sums from the ray counts: the figure's share of every shadowed
    // pixel, and its complement.
    void recount()
    {
        _softKnown = false;
        for (int k = 0; k < 3; ++k) {
            _both[k] = 0;
            _either[k] = _area[k];
            for (int p = 0; p < _n * _n; ++p)
                if (_count[k][std::size_t(p)] > 0) {
                    _both[k] += weight(k, p);
                    _either[k] += 1.0 - weight(k, p);
                }
        }
    }

    KeptValues kept() const
    {
        KeptValues v{};
        for (int k = 0; k < 3; ++k)
            v[std::size_t(k)] = _either[k] <= 0 ? 1.0 : _both[k] / _either[k];
        return v;
    }

    KeptValues keptAfter(const Effect& e) const
    {
        KeptValues v{};
        for (int k = 0; k < 3; ++k) {
            const double both = _both[k] + e.both[k], either = _either[k] + e.either[k];
            v[std::size_t(k)] = either <= 0 ? 1.0 : both / either;
        }
        return v;
    }

    // Change of the soft minimum of the kept figures an effect brings.
    double gain(const Effect& e) const
    {
        if (!_softKnown) {
            _softNow = softMinimum(kept());
            _softKnown = true;
        }
        return softMinimum(keptAfter(e)) - _softNow;
    }

    void add(const Effect& e)
    {
        for (int k = 0; k < 3; ++k) {
            _both[k] += e.both[k];
            _either[k] += e.either[k];
        }
        _softKnown = false;
    }

    static double softMinimum(const KeptValues& v)
    {
        const double least = worstKept(v);
        double sum = 0;
        for (double x : v)
            sum += std::exp(-(x - least) / kSoftness);
        return least - kSoftness * std::log(sum);
    }

    // Undoes the cell changes made after the first `length` ones.
    void rollBack(std::size_t length)
    {
        while (_log.size() > length) {
            const auto [c, on] = _log.back();
            _log.pop_back();
            setCell(c, !on);
        }
        recount();
    }
    std::size_t logLength() const { return _log.size(); }

    // Adds the moves of pixel (column, row) of view `view` that raise the
    // soft minimum: openings of its ray with each view free or none, and
    // closing it.
    void addMoves(int view, int column, int row, std::vector<Move>& moves)
    {
        const int p = column * _n + row;
        if (_bitRays) {
            Opening openings[3];
            bitOpenings(view, column, row, openings);
            addOpenings(view, column, row, openings, moves);
        } else if (_planeRays && planeRegular(view, column)) {
            // Without a free cell beside the volume no opening; without one
            // that shades a new pixel holding figure, or the ray's own pixel
            // being one, none that changes anything.
            const std::uint8_t flags = _plane[view].flags[std::size_t(p)];
            if ((flags & kJoins) && ((flags & kGains) || (!shadowed(view, p) && weight(view, p) > 0))) {
                PlaneOpening openings[3];
                planeOpenings(view, column, row, openings);
                addOpenings(view, column, row, openings, moves);
            }
        } else if (mayShadeNew(view, column, row)) {
            for (int free = -1; free < 3; ++free)
                if (free != view)
                    if (const Effect e = open(view, column, row, false, free); e.valid)
                        if (const double g = gain(e); g > 0)
                            moves.push_back({g, MoveKind::Open, view, column, row, free});
        }
        if (shadowed(view, p) && !figure(view, p))
            if (const Effect e = close(view, column, row, false); e.valid)
                if (const double g = gain(e); g > 0)
                    moves.push_back({g, MoveKind::Close, view, column, row});
    }

    // The openings found on bits that raise the soft minimum, as moves.
    template <class Bits>
    void addOpenings(int view, int column, int row, const OpeningOf<Bits> openings[3], std::vector<Move>& moves)
    {
        for (int free = -1; free < 3; ++free) {
            const OpeningOf<Bits>& o = openings[free < 0 ? view : free];
            if (free == view || !o.effect.valid)
                continue;
            double g = gain(o.effect);
            if (!_exactSums && g > -1e-9) {
                // Summed in another order than open() sums: open() tells.
                const Effect e = open(view, column, row, false, free);
                g = e.valid ? gain(e) : 0.0;
            }
            if (g > 0)
                moves.push_back({g, MoveKind::Open, view, column, row, free});
        }
    }

    // Carries out a move when it still raises the soft minimum (by more than
    // rounding); returns whether it did.
    bool apply(const Move& m)
    {
        if (m.kind == MoveKind::Close) {
            const Effect e = close(m.view, m.column, m.row, false);
            if (!e.valid || !(gain(e) > 1e-12))
                return false;
            close(m.view, m.column, m.row, true);
            return true;
        }
        const int free = m.freeView < 0 ? m.view : m.freeView;
        if (_bitRays && _exactSums) {
            Opening openings[3];
            bitOpenings(m.view, m.column, m.row, openings, free);
            return take(openings[free], [&](int t) { return rayCell(m.view, m.column, m.row, t); });
        }
        if (_planeRays && _exactSums && planeRegular(m.view, m.column)) {
            PlaneOpening openings[3];
            planeOpenings(m.view, m.column, m.row, openings, free);
            const std::vector<int>& cells = _plane[m.view].cells[std::size_t(m.column)];
            return take(openings[free], [&](int t) {
                const int xy = cells[std::size_t(t)];
                return CellIndex{xy / _n, xy % _n, m.row};
            });
        }
        const Effect e = open(m.view, m.column, m.row, false, m.freeView);
        if (!e.valid || !(gain(e) > 1e-12))
            return false;
        open(m.view, m.column, m.row, true, m.freeView);
        return true;
    }

    // Carries out an opening found on bits when it raises the soft minimum;
    // `cellAt` gives the cell of each place on the ray.
    template <class Bits, class CellAt>
    bool take(const OpeningOf<Bits>& o, CellAt cellAt)
    {
        if (!o.effect.valid || !(gain(o.effect) > 1e-12))
            return false;
        o.joined.forEach([&](int t) { occupy(cellAt(t), true); });
        add(o.effect);
        return true;
    }

    // Effect of opening the ray of pixel (column, row) of view `view`; with
    // `apply` it is carried out as well. With `freeView`, that view's pixels
    // need not be figure or shadow: the cells may shade it anywhere (each new
    // pixel weighed by its figure).
    Effect open(int view, int column, int row, bool apply, int freeView = -1)
    {
        Effect e;
        const int q = column * _n + row;
        const bool wasDark = _count[view][std::size_t(q)] > 0;
        // The free cells of the ray whose other pixels are figure or shadow,
        // marked by their place on the ray.
        _ray.clear();
        const unsigned allowed = nextRayStamp();
        int position = 0;
        forEachCell(view, column, row, [&](const CellIndex& c) {
            const int at = position++;
            if (touched(c) || _master.isOccupied(c))
                return;
            for (int k = 0; k < 3; ++k) {
                if (k == view)
                    continue;
                const int p = pixelIndex(k, c);
                if (p < 0 || (k != freeView && !(figure(k, p) || _count[k][std::size_t(p)] > 0)))
                    return;
            }
            _rayStamp[std::size_t(at)] = allowed;
            _ray.push_back(c);
        });
        // Of those, the ones that join the volume (through each other): a
        // piece on its own would be dropped or bridged at a cost later.
        const unsigned joined = nextRayStamp();
        _queue.clear();
        for (const CellIndex& c : _ray)
            if (touchesVolume(c)) {
                _rayStamp[std::size_t(rayPosition(view, c))] = joined;
                _queue.push_back(c);
            }
        for (std::size_t i = 0; i < _queue.size(); ++i)
            forEachNeighbour(CellIndex(_queue[i]), [&](const CellIndex& d) {
                if (pixelIndex(view, d) != q)
                    return;  // off the ray
                unsigned& stamp = _rayStamp[std::size_t(rayPosition(view, d))];
                if (stamp == allowed) {
                    stamp = joined;
                    _queue.push_back(d);
                }
            });
        if (_queue.empty())
            return e;
        ++_stampValue;
        for (const CellIndex& c : _queue)
            for (int k = 0; k < 3; ++k) {
                if (k == view)
                    continue;
                const std::size_t p = std::size_t(pixelIndex(k, c));
                if (_count[k][p] == 0 && _stamp[k][p] != _stampValue) {
                    _stamp[k][p] = _stampValue;
                    e.both[k] += weight(k, int(p));
                    e.either[k] += 1.0 - weight(k, int(p));
                }
            }
        if (!wasDark) {
            e.both[view] += weight(view, q);
            e.either[view] += 1.0 - weight(view, q);
        }
        e.valid = e.both[0] + e.both[1] + e.both[2] > 0;
        if (apply && e.valid) {
            for (const CellIndex& c : _queue)
                occupy(c, true);
            add(e);
        }
        return e;
    }

    // Effect of freeing every cell on the ray of a shadow pixel that is not
    // worth shading; nothing when a cell there was occupied by this step.
    Effect close(int view, int column, int row, bool apply)
    {
        Effect e;
        const int q = column * _n + row;
        if (_count[view][std::size_t(q)] == 0 || figure(view, q))
            return e;
        ++_stampValue;
        bool blocked = false;
        _cells.clear();
        const auto take = [&](const CellIndex& c) {
            if (touched(c))
                blocked = true;
            _cells.push_back(c);
        };
        // The occupied cells of the ray, from its bits when there are any:
        // along an axis in the same order as the walk; in a plane in another
        // order, which only sums whose order does not matter may take.
        if (_bitRays) {
            _occupied[view][std::size_t(q)].forEach([&](int t) { take(rayCell(view, column, row, t)); });
        } else if (_planeRays && _exactSums && planeRegular(view, column)) {
            const std::vector<int>& cells = _plane[view].cells[std::size_t(column)];
            _plane[view].rays[std::size_t(q)].occupied.forEach([&](int t) {
                const int xy = cells[std::size_t(t)];
                take(CellIndex{xy / _n, xy % _n, row});
            });
        } else {
            forEachCell(view, column, row, [&](const CellIndex& c) {
                if (_master.isOccupied(c))
                    take(c);
            });
        }
        if (blocked || _cells.empty())
            return e;
        for (const CellIndex& c : _cells)
            for (int k = 0; k < 3; ++k) {
                if (k == view)
                    continue;
                const int p = pixelIndex(k, c);
                if (p < 0)
                    continue;
                int& removed = _removed[k][std::size_t(p)];
                if (_stamp[k][std::size_t(p)] != _stampValue) {
                    _stamp[k][std::size_t(p)] = _stampValue;
                    removed = 0;
                }
                if (++removed == _count[k][std::size_t(p)]) {
                    e.both[k] -= weight(k, p);
                    e.either[k] -= 1.0 - weight(k, p);
                }
            }
        e.both[view] -= weight(view, q);
        e.either[view] -= 1.0 - weight(view, q);
        e.valid = true;
        if (apply) {
            for (const CellIndex& c : _cells)
                occupy(c, false);
            add(e);
        }
        return e;
    }

    // Occupies the hollows: free cells from which no path of free cells
    // through faces leads out of the grid. The surface around a hollow would
    // be a second part inside the print. A hollow is filled only when none of
    // its cells shades a pixel that is not shaded yet (in a view along an
    // axis none does: its ray leaves the hollow through an occupied cell).
    // Returns the cells occupied.
    int fillHollows()
    {
        if (_n > 64 * RayBits::kWords)
            return 0;
        // Per (x, y) column, its free cells as bits over z (a view along z
        // has them as its rays), and those reached from outside the grid, a
        // whole run of free cells at a time.
        const std::size_t columns = std::size_t(_n) * _n;
        GridVector<RayBits> free(columns), reached(columns);
        const int alongZ = _bitRays ? int(std::find(_modes, _modes + 3, int(Z_PROJECTION)) - _modes) : 3;
        for (int x = 0; x < _n; ++x)
            for (int y = 0; y < _n; ++y) {
                RayBits& column = free[std::size_t(x) * _n + y];
                if (alongZ < 3) {
                    column = ~_occupied[alongZ][std::size_t(x) * _n + y] & _cellsMask;
                    continue;
                }
                const Cell* cells = &_master.grid().at(x, y, 0);
                for (int z = 0; z < _n; ++z)
                    setBit(column, z, !cells[z].occupied);
            }
        std::vector<std::size_t> stack;
        const auto reach = [&](std::size_t column, const RayBits& from) {
            const RayBits added = from & free[column] & ~reached[column];
            if (added.any()) {
                reached[column] = reached[column] | RayBits::runsWith(free[column], added);
                stack.push_back(column);
            }
        };
        RayBits ends;
        setBit(ends, 0, true);
        setBit(ends, _n - 1, true);
        for (int x = 0; x < _n; ++x)
            for (int y = 0; y < _n; ++y) {
                const bool border = x == 0 || y == 0 || x == _n - 1 || y == _n - 1;
                reach(std::size_t(x) * _n + y, border ? ~RayBits() : ends);
            }
        while (!stack.empty()) {
            const std::size_t column = stack.back();
            stack.pop_back();
            const int x = int(column / std::size_t(_n)), y = int(column % std::size_t(_n));
            const RayBits from = reached[column];
            if (x > 0)
                reach(column - std::size_t(_n), from);
            if (x + 1 < _n)
                reach(column + std::size_t(_n), from);
            if (y > 0)
                reach(column - 1, from);
            if (y + 1 < _n)
                reach(column + 1, from);
        }
        // The hollows, one at a time (a search through faces).
        GridVector<std::uint8_t> seen;
        int filled = 0;
        for (std::size_t column = 0; column < columns; ++column) {
            const RayBits hollow = free[column] & ~reached[column];
            if (!hollow.any())
                continue;
            if (seen.empty())
                seen.assign(columns * std::size_t(_n), 0);
            hollow.forEach([&](int z) {
                const CellIndex start{int(column / std::size_t(_n)), int(column % std::size_t(_n)), z};
                if (seen[cellIndex(start)])
                    return;
                seen[cellIndex(start)] = 1;
                _cells.assign(1, start);
                bool fills = true;
                for (std::size_t i = 0; i < _cells.size(); ++i) {
                    const CellIndex c = _cells[i];
                    for (int k = 0; k < 3; ++k) {
                        const int p = pixelIndex(k, c);
                        fills = fills && p >= 0 && _count[k][std::size_t(p)] > 0;
                    }
                    forEachNeighbour(c, [&](const CellIndex& d) {
                        if (!seen[cellIndex(d)] && !_master.isOccupied(d)) {
                            seen[cellIndex(d)] = 1;
                            _cells.push_back(d);
                        }
                    });
                }
                if (fills) {
                    for (const CellIndex& c : _cells)
                        occupy(c, true);
                    filled += int(_cells.size());
                }
            });
        }
        return filled;
    }

    // Cells occupied and freed by the moves kept.
    std::pair<int, int> changes() const
    {
        int added = 0, removed = 0;
        for (const auto& entry : _log)
            ++(entry.second ? added : removed);
        return {added, removed};
    }
    int n() const { return _n; }
    // How much of pixel p of view k is figure, 0..1.
    double weight(int k, int p) const { return _weight[k][std::size_t(p)]; }
    // A pixel worth shading (see kWorthShading).
    bool figure(int k, int p) const { return _weight[k][std::size_t(p)] >= kWorthShading; }
    bool shadowed(int k, int p) const { return _count[k][std::size_t(p)] > 0; }

private:
    // A view's pixels with some property: per row a bit for each column,
    // and per column a bit for each row.
    struct PixelBits {
        std::vector<RayBits> rows, columns;
        void set(int p, int n, bool on)
        {
            setBit(rows[std::size_t(p % n)], p / n, on);
            setBit(columns[std::size_t(p / n)], p % n, on);
        }
    };

    // Whether an opening of the ray of pixel (column, row) of view `view`
    // may have an effect: its own pixel, or a pixel of another view that
    // a free cell of the ray falls on, holds figure and is not shaded.
    bool mayShadeNew(int view, int column, int row) const
    {
        const int q = column * _n + row;
        if (_count[view][std::size_t(q)] == 0 && weight(view, q) > 0)
            return true;
        bool may = false;
        forEachCell(view, column, row, [&](const CellIndex& c) {
            if (may || touched(c) || _master.isOccupied(c))
                return;
            for (int k = 0; k < 3; ++k)
                if (k != view)
                    if (const int p = pixelIndex(k, c); p >= 0 && _count[k][std::size_t(p)] == 0 && weight(k, p) > 0)
                        may = true;
        });
        return may;
    }

    // The openings of the ray of pixel (column, row) of view `view`, per
    // free view (at `view`: none free); only `onlyFree`'s when given. Rays
    // as bits only.
    void bitOpenings(int view, int column, int row, Opening out[3], int onlyFree = -1)
    {
        const int q = column * _n + row;
        const RayBits free = ~_blocked[view][std::size_t(q)] & _cellsMask;
        // Cells that touch the volume: beside an occupied cell on the ray or on a neighbouring ray.
        const RayBits& occupied = _occupied[view][std::size_t(q)];
        RayBits touching = occupied.up() | occupied.down(1);
        if (column > 0)
            touching = touching | _occupied[view][std::size_t(q - _n)];
        if (column + 1 < _n)
            touching = touching | _occupied[view][std::size_t(q + _n)];
        if (row > 0)
            touching = touching | _occupied[view][std::size_t(q - 1)];
        if (row + 1 < _n)
            touching = touching | _occupied[view][std::size_t(q + 1)];
        if (!(free & touching).any())
            return;
        const bool ownNew = _count[view][std::size_t(q)] == 0;
        const bool ownGain = ownNew && weight(view, q) > 0;
        Crossing crossing[2];
        for (int i = 0, k = 0; k < 3; ++k) {
            if (k == view)
                continue;
            Crossing& x = crossing[i++];
            x.view = k;
            x.alongColumns = _crossesColumns[view][k];
            const CellIndex first = rayCell(view, column, row, 0);
            const Pixel pixel = pixelOfCell(_modes[k], first.x, first.y, first.z);
            x.fixed = x.alongColumns ? pixel.row : pixel.column;
            const PixelBits* const all[3] = {&_figure[k], &_someFigure[k], &_unshaded[k]};
            RayBits* const bits[3] = {&x.figure, &x.someFigure, &x.unshaded};
            for (int b = 0; b < 3; ++b)
                *bits[b] = x.alongColumns ? all[b]->rows[std::size_t(x.fixed)] : all[b]->columns[std::size_t(x.fixed)];
            x.ok = x.figure | ~x.unshaded;
        }
        // Without a cell that shades a new pixel holding figure, no effect.
        const RayBits gaining = (crossing[0].unshaded & crossing[0].someFigure) | (crossing[1].unshaded & crossing[1].someFigure);
        if (!ownGain && !(free & gaining).any())
            return;
        for (int freeView : {view, crossing[0].view, crossing[1].view}) {
            if (onlyFree >= 0 && freeView != onlyFree)
                continue;
            RayBits allowed = free;
            for (const Crossing& x : crossing)
                if (x.view != freeView)
                    allowed = allowed & x.ok;
            const RayBits seeds = allowed & touching;
            if (!seeds.any() || (!ownGain && !(allowed & gaining).any()))
                continue;
            Opening& o = out[freeView];
            o.joined = RayBits::runsWith(allowed, seeds);
            if (!ownGain && !(o.joined & gaining).any())
                continue;
            for (const Crossing& x : crossing)
                (o.joined & x.unshaded).forEach([&](int t) {
                    const int p = x.alongColumns ? t * _n + x.fixed : x.fixed * _n + t;
                    o.effect.both[std::size_t(x.view)] += weight(x.view, p);
                    o.effect.either[std::size_t(x.view)] += 1.0 - weight(x.view, p);
                });
            if (ownNew) {
                o.effect.both[std::size_t(view)] += weight(view, q);
                o.effect.either[std::size_t(view)] += 1.0 - weight(view, q);
            }
            o.effect.valid = true;
        }
    }

    // ---- rays in planes of constant z ----------------------------------------------

    // Whether every view's rows run along z (X, Y and the in-plane views):
    // then a ray is the cells (x, y) of one column of its view in one plane
    // z, the same cells in every plane.
    bool inPlanes() const
    {
        if (_n > 64 * RayBits::kWords)
            return false;
        for (int k = 0; k < 3; ++k)
            if (_modes[k] != X_PROJECTION && _modes[k] != Y_PROJECTION && !isInPlaneMode(_modes[k]))
                return false;
        return true;
    }

    // Lays out every view's rays (see PlaneLayout) and records the volume
    // in them: the ray counts, and per ray the bits that find the openings.
    void layOutPlaneRays()
    {
        _planeRays = true;
        const int n = _n;
        const std::size_t pixels = std::size_t(n) * n;
        for (int v = 0; v < 3; ++v)
            for (int s = 0, k = 0; k < 3; ++k)
                if (k != v)
                    _others[v][s++] = k;
        for (int k = 0; k < 3; ++k) {
            PlaneLayout& l = _plane[k];
            l.column.assign(pixels, -1);
            l.place.assign(pixels, -1);
            for (int x = 0; x < n; ++x)
                for (int y = 0; y < n; ++y) {
                    const std::size_t xy = std::size_t(x) * n + y;
                    l.column[xy] = _modes[k] == X_PROJECTION ? y : _modes[k] == Y_PROJECTION ? x : _columnOf[k][xy];
                }
        }
        for (int k = 0; k < 3; ++k) {
            PlaneLayout& l = _plane[k];
            std::vector<std::vector<int>> members;
            members.resize(std::size_t(n));
            for (int xy = 0; xy < int(pixels); ++xy)
                if (l.column[std::size_t(xy)] >= 0)
                    members[std::size_t(l.column[std::size_t(xy)])].push_back(xy);
            l.cells.assign(std::size_t(n), {});
            l.valid.assign(std::size_t(n), PlaneRayBits());
            l.regular.assign(std::size_t(n), 0);
            std::vector<std::uint8_t> seen(pixels, 0);
            for (int c = 0; c < n; ++c) {
                std::vector<int>& cells = l.cells[std::size_t(c)];
                if (!layOutColumn(k, c, members[std::size_t(c)], seen, cells)) {
                    cells = members[std::size_t(c)];  // tried cell by cell; kept for the pixels' updates
                    continue;
                }
                l.regular[std::size_t(c)] = 1;
                for (int t = 0; t < int(cells.size()); ++t) {
                    const int xy = cells[std::size_t(t)];
                    if (xy < 0)
                        continue;
                    l.place[std::size_t(xy)] = t;
                    bool valid = true;
                    for (int other : _others[k])
                        valid = valid && _plane[other].column[std::size_t(xy)] >= 0;
                    setBit(l.valid[std::size_t(c)], t, valid);
                }
            }
            l.rays.assign(pixels, PlaneRay());
        }
        // Each (x, y) column of cells as bits over z, and the cells beside
        // an occupied one, spread into the views' rays.
        const RayBits planes = RayBits::first(n);
        GridVector<RayBits> occupied(pixels);
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                const Cell* cells = &_master.grid().at(x, y, 0);
                RayBits& column = occupied[std::size_t(x) * n + y];
                for (int z = 0; z < n; ++z)
                    if (cells[z].occupied)
                        setBit(column, z, true);
            }
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y) {
                const std::size_t xy = std::size_t(x) * n + y;
                const RayBits& column = occupied[xy];
                RayBits near = column.up() | column.down(1);
                if (x > 0)
                    near = near | occupied[xy - std::size_t(n)];
                if (x + 1 < n)
                    near = near | occupied[xy + std::size_t(n)];
                if (y > 0)
                    near = near | occupied[xy - 1];
                if (y + 1 < n)
                    near = near | occupied[xy + 1];
                near = near & planes;
                for (int k = 0; k < 3; ++k) {
                    const PlaneLayout& l = _plane[k];
                    const int c = l.column[xy];
                    if (c < 0)
                        continue;
                    int* count = &_count[k][std::size_t(c) * n];
                    column.forEach([&](int z) { ++count[z]; });
                    const int t = l.place[xy];
                    if (t < 0)
                        continue;
                    PlaneRay* rays = &_plane[k].rays[std::size_t(c) * n];
                    column.forEach([&](int z) {
                        setBit(rays[z].occupied, t, true);
                        setBit(rays[z].blocked, t, true);
                    });
                    near.forEach([&](int z) { setBit(rays[z].touching, t, true); });
                }
            }
        // Per view and column of pixels, bits over z: not shaded, any
        // figure, figure; crossed into the other views' rays.
        std::vector<RayBits> unshaded[3], someFigure[3], figures[3];
        for (int k = 0; k < 3; ++k) {
            unshaded[k].assign(std::size_t(n), RayBits());
            someFigure[k].assign(std::size_t(n), RayBits());
            figures[k].assign(std::size_t(n), RayBits());
            for (int p = 0; p < int(pixels); ++p) {
                setBit(unshaded[k][std::size_t(p / n)], p % n, _count[k][std::size_t(p)] == 0);
                setBit(someFigure[k][std::size_t(p / n)], p % n, weight(k, p) > 0);
                setBit(figures[k][std::size_t(p / n)], p % n, figure(k, p));
            }
        }
        for (int v = 0; v < 3; ++v) {
            const PlaneLayout& l = _plane[v];
            for (int c = 0; c < n; ++c) {
                if (!l.regular[std::size_t(c)])
                    continue;
                PlaneRay* rays = &_plane[v].rays[std::size_t(c) * n];
                const std::vector<int>& cells = l.cells[std::size_t(c)];
                l.valid[std::size_t(c)].forEach([&](int t) {
                    for (int s = 0; s < 2; ++s) {
                        const int k = _others[v][s];
                        const std::size_t ck = std::size_t(_plane[k].column[std::size_t(cells[std::size_t(t)])]);
                        const RayBits gaining = unshaded[k][ck] & someFigure[k][ck];
                        const RayBits ok = (figures[k][ck] | ~unshaded[k][ck]) & planes;
                        gaining.forEach([&](int z) { setBit(rays[z].gaining[s], t, true); });
                        ok.forEach([&](int z) { setBit(rays[z].ok[s], t, true); });
                    }
                });
            }
        }
        for (int k = 0; k < 3; ++k) {
            _plane[k].flags.assign(pixels, 0);
            for (std::size_t q = 0; q < pixels; ++q)
                planeFlags(k, q);
        }
    }

    // The cells `members` of column c of view k in one plane laid out along
    // their paths through faces, a free place (-1) between paths; false when
    // they do not form paths or need more places than a ray's bits hold.
    bool layOutColumn(int k, int c, const std::vector<int>& members, std::vector<std::uint8_t>& seen,
                      std::vector<int>& cells) const
    {
        const int n = _n;
        const std::vector<int>& column = _plane[k].column;
        const auto neighbours = [&](int xy, int out[4]) {
            const int x = xy / n, y = xy % n;
            int count = 0;
            if (x > 0 && column[std::size_t(xy - n)] == c)
                out[count++] = xy - n;
            if (x + 1 < n && column[std::size_t(xy + n)] == c)
                out[count++] = xy + n;
            if (y > 0 && column[std::size_t(xy - 1)] == c)
                out[count++] = xy - 1;
            if (y + 1 < n && column[std::size_t(xy + 1)] == c)
                out[count++] = xy + 1;
            return count;
        };
        cells.clear();
        std::vector<int> path;
        for (const int start : members) {
            if (seen[std::size_t(start)])
                continue;
            // The cells joined to `start`: a path when no cell has more than
            // two neighbours and there is one fewer pair of them than cells.
            path.assign(1, start);
            seen[std::size_t(start)] = 1;
            int pairs = 0, end = -1;
            for (std::size_t i = 0; i < path.size(); ++i) {
                int next[4];
                const int count = neighbours(path[i], next);
                if (count > 2)
                    return false;
                if (count <= 1 && end < 0)
                    end = path[i];
                pairs += count;
                for (int j = 0; j < count; ++j)
                    if (!seen[std::size_t(next[j])]) {
                        seen[std::size_t(next[j])] = 1;
                        path.push_back(next[j]);
                    }
            }
            if (pairs != 2 * (int(path.size()) - 1) || end < 0)
                return false;
            if (!cells.empty())
                cells.push_back(-1);
            for (int previous = -1, at = end; at >= 0;) {
                cells.push_back(at);
                int next[4];
                const int count = neighbours(at, next);
                const int from = previous;
                previous = at;
                at = -1;
                for (int j = 0; j < count; ++j)
                    if (next[j] != from)
                        at = next[j];
            }
        }
        return int(cells.size()) <= 64 * PlaneRayBits::kWords;
    }

    // The openings of the ray of pixel (column, row) of view `view`, as
    // bitOpenings, on the rays in planes (a regular column only).
    void planeOpenings(int view, int column, int row, PlaneOpening out[3], int onlyFree = -1)
    {
        const int q = column * _n + row;
        PlaneLayout& l = _plane[view];
        const PlaneRay& ray = l.rays[std::size_t(q)];
        const PlaneRayBits free = ~ray.blocked & l.valid[std::size_t(column)];
        const bool ownNew = _count[view][std::size_t(q)] == 0;
        const bool ownGain = ownNew && weight(view, q) > 0;
        // Without a cell that shades a new pixel holding figure, no effect.
        const PlaneRayBits gaining = ray.gaining[0] | ray.gaining[1];
        if (!(free & gaining).any()) {
            l.flags[std::size_t(q)] &= std::uint8_t(~kGains);
            if (!ownGain)
                return;
        }
        const std::vector<int>& cells = l.cells[std::size_t(column)];
        for (int freeView : {view, _others[view][0], _others[view][1]}) {
            if (onlyFree >= 0 && freeView != onlyFree)
                continue;
            PlaneRayBits allowed = free;
            for (int s = 0; s < 2; ++s)
                if (_others[view][s] != freeView)
                    allowed = allowed & ray.ok[s];
            const PlaneRayBits seeds = allowed & ray.touching;
            if (!seeds.any() || (!ownGain && !(allowed & gaining).any()))
                continue;
            PlaneOpening& o = out[freeView];
            o.joined = PlaneRayBits::runsWith(allowed, seeds);
            if (!ownGain && !(o.joined & gaining).any())
                continue;
            // Several cells of the ray may fall on one pixel of another view.
            ++_stampValue;
            for (int s = 0; s < 2; ++s) {
                const int k = _others[view][s];
                const std::vector<int>& columnOf = _plane[k].column;
                const PlaneRayBits unshaded = ray.gaining[s] | ~ray.ok[s];
                (o.joined & unshaded).forEach([&](int t) {
                    const int p = columnOf[std::size_t(cells[std::size_t(t)])] * _n + row;
                    if (_stamp[k][std::size_t(p)] != _stampValue) {
                        _stamp[k][std::size_t(p)] = _stampValue;
                        o.effect.both[std::size_t(k)] += weight(k, p);
                        o.effect.either[std::size_t(k)] += 1.0 - weight(k, p);
                    }
                });
            }
            if (ownNew) {
                o.effect.both[std::size_t(view)] += weight(view, q);
                o.effect.either[std::size_t(view)] += 1.0 - weight(view, q);
            }
            o.effect.valid = true;
        }
    }

    bool planeRegular(int view, int column) const { return _plane[view].regular[std::size_t(column)] != 0; }

    // The bits of ray q of view k changed: its flags afresh (exact).
    void planeFlags(int k, std::size_t q)
    {
        PlaneLayout& l = _plane[k];
        const PlaneRay& ray = l.rays[q];
        const PlaneRayBits free = ~ray.blocked & l.valid[q / std::size_t(_n)];
        l.flags[q] = std::uint8_t(((free & ray.touching).any() ? kJoins : 0) |
                                  ((free & (ray.gaining[0] | ray.gaining[1])).any() ? kGains : 0));
    }
    // The same for the ray of cell (x, y) (x n + y) in plane `row`.
    void planeFlags(int k, std::size_t xy, int row)
    {
        planeFlags(k, std::size_t(_plane[k].column[xy]) * std::size_t(_n) + std::size_t(row));
    }

    // A cell changed: its bits in the views' rays.
    void planeCell(const CellIndex& c, bool on)
    {
        const std::size_t xy = std::size_t(c.x) * _n + c.y;
        for (int k = 0; k < 3; ++k)
            if (const int t = _plane[k].place[xy]; t >= 0) {
                PlaneRay& ray = _plane[k].rays[std::size_t(_plane[k].column[xy]) * _n + c.z];
                setBit(ray.occupied, t, on);
                setBit(ray.blocked, t, on || touched(c));
                planeFlags(k, xy, c.z);
            }
        forEachNeighbour(c, [&](const CellIndex& d) {
            const bool touching = touchesVolume(d);
            const std::size_t dxy = std::size_t(d.x) * _n + d.y;
            for (int k = 0; k < 3; ++k)
                if (const int t = _plane[k].place[dxy]; t >= 0) {
                    setBit(_plane[k].rays[std::size_t(_plane[k].column[dxy]) * _n + d.z].touching, t, touching);
                    planeFlags(k, dxy, d.z);
                }
        });
    }

    // Pixel p of view k became shaded or not: its bits in the rays of the
    // other views that cross its cells.
    void planePixel(int k, int p)
    {
        const int row = p % _n;
        const bool unshaded = _count[k][std::size_t(p)] == 0;
        const bool gaining = unshaded && weight(k, p) > 0;
        const bool ok = figure(k, p) || !unshaded;
        for (const int xy : _plane[k].cells[std::size_t(p / _n)]) {
            if (xy < 0)
                continue;
            for (int v = 0; v < 3; ++v) {
                if (v == k)
                    continue;
                const PlaneLayout& l = _plane[v];
                if (const int t = l.place[std::size_t(xy)]; t >= 0) {
                    const std::size_t q = std::size_t(l.column[std::size_t(xy)]) * _n + std::size_t(row);
                    PlaneRay& ray = _plane[v].rays[q];
                    const int s = k < v ? k : k - 1;
                    setBit(ray.gaining[s], t, gaining);
                    setBit(ray.ok[s], t, ok);
                    if (gaining)
                        _plane[v].flags[q] |= kGains;
                }
            }
        }
    }

    // A view crossed by a ray of another: its pixels the ray's cells fall on.
    struct Crossing {
        int view = 0;
        bool alongColumns = true;  // cell t falls on pixel (t, fixed), else (fixed, t)
        int fixed = 0;
        RayBits figure, someFigure, unshaded, ok;  // ok: figure or shaded
    };

    bool touchesVolume(const CellIndex& c) const
    {
        bool touches = false;
        forEachNeighbour(c, [&](const CellIndex& d) { touches = touches || _master.isOccupied(d); });
        return touches;
    }

    template <class Visit>
    void forEachNeighbour(const CellIndex& c, Visit visit) const
    {
        if (c.x > 0) visit(CellIndex{c.x - 1, c.y, c.z});
        if (c.x + 1 < _n) visit(CellIndex{c.x + 1, c.y, c.z});
        if (c.y > 0) visit(CellIndex{c.x, c.y - 1, c.z});
        if (c.y + 1 < _n) visit(CellIndex{c.x, c.y + 1, c.z});
        if (c.z > 0) visit(CellIndex{c.x, c.y, c.z - 1});
        if (c.z + 1 < _n) visit(CellIndex{c.x, c.y, c.z + 1});
    }

    void occupy(const CellIndex& c, bool on)
    {
        setCell(c, on);
        _log.emplace_back(c, on);
        const std::size_t i = cellIndex(c);
        _touched[i / 64] |= std::uint64_t(1) << (i % 64);
        if (_bitRays)
            for (int k = 0; k < 3; ++k)
                setBit(_blocked[k][std::size_t(pixelIndex(k, c))], rayPosition(k, c), true);
        if (_planeRays) {
            const std::size_t xy = std::size_t(c.x) * _n + c.y;
            for (int k = 0; k < 3; ++k)
                if (const int t = _plane[k].place[xy]; t >= 0) {
                    setBit(_plane[k].rays[std::size_t(_plane[k].column[xy]) * _n + c.z].blocked, t, true);
                    planeFlags(k, xy, c.z);
                }
        }
    }

    void setCell(const CellIndex& c, bool on)
    {
        _master.setOccupied(c, on);
        if (_planeRays)
            planeCell(c, on);
        for (int k = 0; k < 3; ++k)
            if (const int p = pixelIndex(k, c); p >= 0) {
                int& count = _count[k][std::size_t(p)];
                count += on ? 1 : -1;
                if (_planeRays && count == (on ? 1 : 0))
                    planePixel(k, p);
                if (!_bitRays)
                    continue;
                if (count == (on ? 1 : 0))
                    _unshaded[k].set(p, _n, !on);
                const int t = rayPosition(k, c);
                setBit(_occupied[k][std::size_t(p)], t, on);
                setBit(_blocked[k][std::size_t(p)], t, on || touched(c));
            }
    }

    // The axis along which view k's rays run (0 x, 1 y, 2 z); -1 oblique.
    int rayAxis(int k) const { return _modes[k] >= X_PROJECTION && _modes[k] <= Z_PROJECTION ? _modes[k] : -1; }

    // Where a cell stands on its ray in view k: the order forEachCell visits.
    int rayPosition(int k, const CellIndex& c) const
    {
        switch (_modes[k]) {
        case X_PROJECTION: return c.x;
        case Y_PROJECTION: return c.y;
        case Z_PROJECTION: return c.z;
        default: return _position[k][std::size_t(c.x) * _n + c.y];
        }
    }

    // Cell t of the ray of pixel (column, row) of an axis view.
    CellIndex rayCell(int view, int column, int row, int t) const
    {
        switch (_modes[view]) {
        case X_PROJECTION: return {t, column, row};
        case Y_PROJECTION: return {column, t, row};
        default: return {column, row, t};
        }
    }

    unsigned nextRayStamp()
    {
        if (++_rayStampValue == 0) {
            std::fill(_rayStamp.begin(), _rayStamp.end(), 0u);
            _rayStampValue = 1;
        }
        return _rayStampValue;
    }

    std::size_t cellIndex(const CellIndex& c) const { return (std::size_t(c.x) * _n + c.y) * _n + c.z; }
    bool touched(const CellIndex& c) const
    {
        const std::size_t i = cellIndex(c);
        return (_touched[i / 64] >> (i % 64) & 1) != 0;
    }

    // Index column * n + row of the cell's pixel in view k; -1 beyond the picture.
    int pixelIndex(int k, const CellIndex& c) const
    {
        switch (_modes[k]) {
        case X_PROJECTION: return c.y * _n + c.z;
        case Y_PROJECTION: return c.x * _n + c.z;
        case Z_PROJECTION: return c.x * _n + c.y;
        default: {
            const int column = _columnOf[k][std::size_t(c.x) * _n + c.y];
            return column < 0 ? -1 : column * _n + c.z;
        }
        }
    }

    template <class Visit>
    void forEachCell(int view, int column, int row, Visit visit) const
    {
        switch (_modes[view]) {
        case X_PROJECTION:
            for (int t = 0; t < _n; ++t)
                visit(CellIndex{t, column, row});
            return;
        case Y_PROJECTION:
            for (int t = 0; t < _n; ++t)
                visit(CellIndex{column, t, row});
            return;
        case Z_PROJECTION:
            for (int t = 0; t < _n; ++t)
                visit(CellIndex{column, row, t});
            return;
        default:
            for (const auto& [x, y] : _oblique[view][std::size_t(column)])
                visit(CellIndex{x, y, row});
        }
    }

    ShadowObject& _master;
    std::vector<float> _weight[3];
    double _area[3] = {0, 0, 0};
    int _n = 0;
    int _modes[3] = {NO_VIEW, NO_VIEW, NO_VIEW};
    std::vector<int> _count[3];
    std::vector<unsigned> _stamp[3];
    std::vector<int> _removed[3];
    unsigned _stampValue = 0;
    GridVector<std::uint64_t> _touched;  // per cell a bit: changed by this step
    std::vector<unsigned> _rayStamp;     // per place on the ray being opened
    unsigned _rayStampValue = 0;
    std::vector<CellIndex> _ray, _queue, _cells;
    std::vector<std::vector<std::pair<int, int>>> _oblique[3];
    std::vector<int> _position[3];  // oblique views: per (x, y), its place on its ray
    // Rays as bits, when every view runs along an axis: per view pixel, the
    // occupied cells of its ray, and those occupied or changed by this step.
    bool _bitRays = false;
    bool _exactSums = false;           // every sum of weights exact in any order
    RayBits _cellsMask;                // the n cells of a ray
    bool _crossesColumns[3][3] = {};  // see the constructor
    GridVector<RayBits> _occupied[3], _blocked[3];
    // Per view: the figure (worth shading), any figure, and not shaded.
    PixelBits _figure[3], _someFigure[3], _unshaded[3];
    // Rays as bits in planes of constant z, when every view's rows run
    // along z. A ray of a view is the cells (x, y) of one of its columns in
    // one plane: in a column of an in-plane view they make paths of cells
    // that share a face, laid out one after the other with a free place
    // between, so that a run of bits is cells joined through each other as
    // on an axis. Per ray: the occupied cells, those occupied or changed by
    // this step, those beside an occupied cell, and per other view (in
    // order) the cells whose pixel there is not shaded and holds figure, and
    // those whose pixel is figure or shaded.
    struct PlaneRay {
        PlaneRayBits occupied, blocked, touching;
        PlaneRayBits gaining[2], ok[2];
    };
    struct PlaneLayout {
        std::vector<int> column;  // per (x, y) (x n + y): its column, -1 beyond the picture
        std::vector<int> place;   // per (x, y): its place on its ray; -1 beyond or in an irregular column
        std::vector<std::vector<int>> cells;  // per column: the (x, y) at each place, -1 between paths
        std::vector<PlaneRayBits> valid;      // per column: places whose cells every view sees
        std::vector<std::uint8_t> regular;    // per column: laid out (else tried cell by cell)
        GridVector<PlaneRay> rays;            // per pixel (column n + row)
        // Per pixel: kJoins, its ray has a free cell beside an occupied one;
        // kGains, it may have a free cell whose pixel in another view is not
        // shaded and holds figure (set when such a pixel appears, cleared
        // when the ray is tried and has none). Most rays have neither.
        std::vector<std::uint8_t> flags;
    };
    static constexpr std::uint8_t kJoins = 1, kGains = 2;
    bool _planeRays = false;
    PlaneLayout _plane[3];
    int _others[3][2] = {};
    std::vector<int> _columnOf[3];  // in-plane views: per (x, y), its column; -1 beyond the picture
    double _both[3] = {0, 0, 0};
    double _either[3] = {0, 0, 0};
    mutable double _softNow = 0;  // the soft minimum of kept(), when known
    mutable bool _softKnown = false;
    std::vector<std::pair<CellIndex, bool>> _log;  // cell changes in order
};

bool usable(const ShadowObject& master, const ViewFigures& figures)
{
    const int n = master.sizeX();
    if (n <= 0 || master.sizeY() != n || master.sizeZ() != n)
        return false;
    for (int k = 0; k < 3; ++k) {
        const int mode = master.viewModes()[std::size_t(k)];
        if (mode < X_PROJECTION || mode > OneTwenty_PROJECTION)
            return false;
        if (figures.maps[std::size_t(k)].first() != n || figures.maps[std::size_t(k)].second() != n ||
            figures.cover[std::size_t(k)].size() != std::size_t(n) * n)
            return false;
    }
    return true;
}

}  // namespace

KeepReport keepFigure(ShadowObject& master, const ViewFigures& figures, const KeepOptions& options)
{
    KeepReport report;
    if (!usable(master, figures))
        return report;
    Keeper keeper(master, figures, options);
    report.before = keeper.kept();
    const int n = keeper.n();
    // The state the moves end in may keep less in its worst view than one
    // passed on the way: the best one is kept.
    const auto better = [](const KeptValues& a, const KeptValues& b) {
        const double wa = worstKept(a), wb = worstKept(b);
        if (wa != wb)
            return wa > wb + 1e-12;
        return a[0] + a[1] + a[2] > b[0] + b[1] + b[2] + 1e-12;
    };
    KeptValues best = report.before;
    std::size_t bestLength = 0;
    std::vector<Move> moves;
    for (int round = 0; round < options.maxRounds; ++round) {
        report.rounds = round + 1;
        moves.clear();
        for (int k = 0; k < 3; ++k)
            for (int c = 0; c < n; ++c)
                for (int r = 0; r < n; ++r)
                    keeper.addMoves(k, c, r, moves);
        std::sort(moves.begin(), moves.end(), [](const Move& a, const Move& b) {
            if (a.score != b.score)
                return a.score > b.score;
            return std::tie(a.kind, a.view, a.column, a.row, a.freeView) <
                   std::tie(b.kind, b.view, b.column, b.row, b.freeView);
        });
        int applied = 0;
        for (const Move& m : moves) {
            if (!keeper.apply(m))
                continue;
            ++applied;
            if (better(keeper.kept(), best)) {
                best = keeper.kept();
                bestLength = keeper.logLength();
            }
        }
        if (applied == 0)
            break;
    }
    keeper.rollBack(bestLength);
    keeper.fillHollows();
    report.after = keeper.kept();
    std::tie(report.added, report.removed) = keeper.changes();
    recordShadows(master);
    return report;
}
