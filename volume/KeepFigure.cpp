#include "volume/KeepFigure.h"

#include <algorithm>
#include <cmath>

ByteMap figureMap(const QImage& canvas, float cellSize)
{
    return ShadowView::darkMap(canvas, ShadowView::resolutionFor(cellSize), cellSize, 100, 100, 100);
}

double keptFigure(const ByteMap& shadow, const ByteMap& figure)
{
    if (shadow.first() != figure.first() || shadow.second() != figure.second())
        return 0.0;
    long both = 0, either = 0;
    for (int c = 0; c < shadow.first(); ++c) {
        const std::uint8_t* s = shadow.column(c);
        const std::uint8_t* f = figure.column(c);
        for (int r = 0; r < shadow.second(); ++r) {
            both += (s[r] && f[r]) ? 1 : 0;
            either += (s[r] || f[r]) ? 1 : 0;
        }
    }
    return either == 0 ? 1.0 : double(both) / double(either);
}

KeptValues keptFigures(const ShadowObject& master, const FigureMaps& figures)
{
    KeptValues kept{0, 0, 0};
    for (int k = 0; k < 3; ++k)
        kept[std::size_t(k)] = keptFigure(master.castShadow(master.viewModes()[std::size_t(k)]), figures[std::size_t(k)]);
    return kept;
}

ViewFigures viewFigures(const std::array<QImage, 3>& canvases, float cellSize)
{
    ViewFigures figures;
    for (std::size_t k = 0; k < 3; ++k) {
        figures.maps[k] = figureMap(canvases[k], cellSize);
        figures.cover[k] = figureCover(canvases[k], cellSize);
    }
    return figures;
}

KeptValues keptOnCanvas(const ShadowObject& master, const ViewFigures& figures)
{
    KeptValues kept{0, 0, 0};
    const int n = master.sizeX();
    for (std::size_t k = 0; k < 3; ++k) {
        const std::vector<float>& cover = figures.cover[k];
        if (cover.size() != std::size_t(n) * n)
            continue;
        const ByteMap shadow = master.castShadow(master.viewModes()[k]);
        double both = 0, either = 0;
        for (std::size_t p = 0; p < cover.size(); ++p) {
            either += cover[p];
            if (shadow.at(int(p) / n, int(p) % n)) {
                both += cover[p];
                either += 1.0 - cover[p];
            }
        }
        kept[k] = either <= 0 ? 1.0 : both / either;
    }
    return kept;
}

namespace {

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

// The keep step's state: per view the figure, the number of occupied cells
// on each visible pixel's ray, and the two counts of the kept figure.
class Keeper {
public:
    Keeper(ShadowObject& master, const ViewFigures& figures, bool onCanvas) : _master(master)
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
                _weight[k][std::size_t(p)] = onCanvas ? figures.cover[std::size_t(k)][std::size_t(p)]
                                                      : float(figures.maps[std::size_t(k)].at(p / _n, p % _n));
            _area[k] = 0;
            for (float w : _weight[k])
                _area[k] += w;
        }
        _touched.assign(pixels * _n, 0);
        _cellStamp.assign(pixels * _n, 0);
        // Oblique rays: the (x, y) of each visible column.
        for (int k = 0; k < 3; ++k) {
            if (!isInPlaneMode(_modes[k]))
                continue;
            std::vector<std::vector<std::pair<int, int>>>& rays = _oblique[k];
            rays.assign(std::size_t(_n), {});
            for (int x = 0; x < _n; ++x)
                for (int y = 0; y < _n; ++y) {
                    const int c = inPlaneColumn(_modes[k], x, y);
                    if (c >= 0 && c < _n)
                        rays[std::size_t(c)].emplace_back(x, y);
                }
        }
        for (int x = 0; x < _n; ++x)
            for (int y = 0; y < _n; ++y)
                for (int z = 0; z < _n; ++z)
                    if (master.isOccupied({x, y, z}))
                        for (int k = 0; k < 3; ++k)
                            if (const int p = pixelIndex(k, {x, y, z}); p >= 0)
                                ++_count[k][std::size_t(p)];
        recount();
    }

    // The sums from the ray counts: the figure's share of every shadowed
    // pixel, and its complement.
    void recount()
    {
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
    double gain(const Effect& e) const { return softMinimum(keptAfter(e)) - softMinimum(kept()); }

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

    // Effect of opening the ray of pixel (column, row) of view `view`; with
    // `apply` it is carried out as well. With `freeView`, that view's pixels
    // need not be figure or shadow: the cells may shade it anywhere (each new
    // pixel weighed by its figure).
    Effect open(int view, int column, int row, bool apply, int freeView = -1)
    {
        Effect e;
        const int q = column * _n + row;
        const bool wasDark = _count[view][std::size_t(q)] > 0;
        // The free cells of the ray whose other pixels are figure or shadow.
        _ray.clear();
        const unsigned allowed = ++_cellStampValue;
        forEachCell(view, column, row, [&](const CellIndex& c) {
            const std::size_t at = cellIndex(c);
            if (_touched[at] != 0 || _master.isOccupied(c))
                return;
            for (int k = 0; k < 3; ++k) {
                if (k == view)
                    continue;
                const int p = pixelIndex(k, c);
                if (p < 0 || (k != freeView && !(figure(k, p) || _count[k][std::size_t(p)] > 0)))
                    return;
            }
            _cellStamp[at] = allowed;
            _ray.push_back(c);
        });
        // Of those, the ones that join the volume (through each other): a
        // piece on its own would be dropped or bridged at a cost later.
        const unsigned joined = ++_cellStampValue;
        _queue.clear();
        for (const CellIndex& c : _ray)
            if (touchesVolume(c)) {
                _cellStamp[cellIndex(c)] = joined;
                _queue.push_back(c);
            }
        for (std::size_t i = 0; i < _queue.size(); ++i)
            forEachNeighbour(CellIndex(_queue[i]), [&](const CellIndex& d) {
                unsigned& stamp = _cellStamp[cellIndex(d)];
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
            for (int k = 0; k < 3; ++k) {
                _both[k] += e.both[k];
                _either[k] += e.either[k];
            }
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
        std::vector<CellIndex> cells;
        forEachCell(view, column, row, [&](const CellIndex& c) {
            if (!_master.isOccupied(c))
                return;
            if (_touched[cellIndex(c)] != 0)
                blocked = true;
            cells.push_back(c);
        });
        if (blocked || cells.empty())
            return e;
        for (const CellIndex& c : cells)
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
            for (const CellIndex& c : cells)
                occupy(c, false);
            for (int k = 0; k < 3; ++k) {
                _both[k] += e.both[k];
                _either[k] += e.either[k];
            }
        }
        return e;
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
        _touched[cellIndex(c)] = on ? 1 : 2;
    }

    void setCell(const CellIndex& c, bool on)
    {
        _master.setOccupied(c, on);
        for (int k = 0; k < 3; ++k)
            if (const int p = pixelIndex(k, c); p >= 0)
                _count[k][std::size_t(p)] += on ? 1 : -1;
    }

    std::size_t cellIndex(const CellIndex& c) const { return (std::size_t(c.x) * _n + c.y) * _n + c.z; }

    // Index column * n + row of the cell's pixel in view k; -1 beyond the picture.
    int pixelIndex(int k, const CellIndex& c) const
    {
        const Pixel p = pixelOfCell(_modes[k], c.x, c.y, c.z);
        return (p.column < 0 || p.column >= _n) ? -1 : p.column * _n + p.row;
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
    std::vector<std::uint8_t> _touched;  // 1 occupied by this step, 2 freed by it
    std::vector<unsigned> _cellStamp;    // per cell, for the ray being opened
    unsigned _cellStampValue = 0;
    std::vector<CellIndex> _ray, _queue;
    std::vector<std::vector<std::pair<int, int>>> _oblique[3];
    double _both[3] = {0, 0, 0};
    double _either[3] = {0, 0, 0};
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

void recordShadows(ShadowObject& master)
{
    for (int k = 0; k < 3; ++k)
        if (master.viewModes()[std::size_t(k)] != NO_VIEW)
            master.create_reprojection_image_map(k, master.viewModes()[std::size_t(k)]);
}

}  // namespace

KeepReport keepFigure(ShadowObject& master, const ViewFigures& figures, const KeepOptions& options)
{
    KeepReport report;
    if (!usable(master, figures))
        return report;
    Keeper keeper(master, figures, options.onCanvas);
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
                for (int r = 0; r < n; ++r) {
                    const int p = c * n + r;
                    for (int free = -1; free < 3; ++free)
                        if (free != k)
                            if (const Effect e = keeper.open(k, c, r, false, free); e.valid)
                                if (const double g = keeper.gain(e); g > 0)
                                    moves.push_back({g, MoveKind::Open, k, c, r, free});
                    if (keeper.shadowed(k, p) && !keeper.figure(k, p))
                        if (const Effect e = keeper.close(k, c, r, false); e.valid)
                            if (const double g = keeper.gain(e); g > 0)
                                moves.push_back({g, MoveKind::Close, k, c, r});
                }
        std::sort(moves.begin(), moves.end(), [](const Move& a, const Move& b) {
            if (a.score != b.score)
                return a.score > b.score;
            return std::tie(a.kind, a.view, a.column, a.row, a.freeView) <
                   std::tie(b.kind, b.view, b.column, b.row, b.freeView);
        });
        int applied = 0;
        for (const Move& m : moves) {
            const bool open = m.kind == MoveKind::Open;
            const Effect e = open ? keeper.open(m.view, m.column, m.row, false, m.freeView)
                                  : keeper.close(m.view, m.column, m.row, false);
            if (!e.valid || !(keeper.gain(e) > 1e-12))
                continue;
            if (open)
                keeper.open(m.view, m.column, m.row, true, m.freeView);
            else
                keeper.close(m.view, m.column, m.row, true);
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
    report.after = keeper.kept();
    std::tie(report.added, report.removed) = keeper.changes();
    recordShadows(master);
    return report;
}

bool BestPass::offer(const ShadowObject& master, int pass)
{
    const KeptValues kept = keptOnCanvas(master, _figures);
    if (_pass >= 0 && !(worstKept(kept) > worstKept(_kept)))
        return false;
    _pass = pass;
    _kept = kept;
    _n = master.sizeX();
    const auto& cells = master.grid().cells();
    _cells.resize(cells.size());
    for (std::size_t i = 0; i < cells.size(); ++i)
        _cells[i] = cells[i].occupied ? 1 : 0;
    return true;
}

bool BestPass::restore(ShadowObject& master) const
{
    if (_pass < 0 || master.sizeX() != _n || master.grid().cells().size() != _cells.size())
        return false;
    std::size_t i = 0;
    for (int x = 0; x < _n; ++x)
        for (int y = 0; y < _n; ++y)
            for (int z = 0; z < _n; ++z, ++i)
                master.setOccupied({x, y, z}, _cells[i] != 0);
    recordShadows(master);
    return true;
}

std::vector<float> figureCover(const QImage& canvas, float cellSize)
{
    const int n = ShadowView::resolutionFor(cellSize);
    const QImage rgb = canvas.convertToFormat(QImage::Format_RGB32);
    const auto edge = [&](int i) {
        return std::min({rgb.width(), rgb.height(), int(std::ceil(double(i) * cellSize - 0.5))});
    };
    std::vector<float> cover(std::size_t(n) * n, 0.0f);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            int dark = 0, all = 0;
            for (int v = edge(j); v < edge(j + 1); ++v) {
                const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(v));
                for (int u = edge(i); u < edge(i + 1); ++u) {
                    ++all;
                    dark += (qRed(line[u]) < 100 && qGreen(line[u]) < 100 && qBlue(line[u]) < 100) ? 1 : 0;
                }
            }
            cover[std::size_t(i) * n + j] = all == 0 ? 0.0f : float(dark) / float(all);
        }
    return cover;
}
