#include "volume/Arrange.h"

#include "volume/ShadowView.h"
#include "volume/VolumeBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <vector>

namespace {

using Map = std::vector<std::uint8_t>;  // n x n, column * n + row, like ByteMap

// The many starts run on cells of at least this size (25 per axis): the
// hull's losses show there already, and it is fast.
constexpr float kCoarseCellSize = 10.0f;
// The best of them again on cells of at least this size (50 per axis).
constexpr float kSearchCellSize = 5.0f;
constexpr int kStarts = 27;
constexpr int kCarried = 6;  // results of the coarse grid searched again finer
constexpr double kScaleStep = 1.02;     // ratio between neighbouring scales tried
constexpr double kTieMean = 0.05;       // weight of the mean kept (moves off plateaus)
constexpr double kSoftness = 0.02;      // of the minimum searched for
constexpr double kTolerance = 1e-9;

// ---- the hull's kept figures ------------------------------------------------------

// One view's figure at the volume's resolution: the dark map, and for its
// dark pixels the canvas pixels of figure in the pixel's block.
struct Target {
    Map map;
    std::vector<float> cover;
    double figure = 0;  // canvas pixels of figure
};

// Canvas pixels of the block of map pixel i (along one axis): [edge(i), edge(i + 1)).
int blockEdge(int i, float cellSize)
{
    return std::min(kCanvasSize, int(std::ceil(double(i) * cellSize - 0.5)));
}

// Kept figure per view of the hull of three maps: the hull's shadow lies in
// each figure, so a view keeps its shadow's share of its figure.
class HullKept {
public:
    HullKept(int set, int n, float cellSize) : _n(n), _words((n + 63) / 64)
    {
        _area.resize(std::size_t(n) * n);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                _area[std::size_t(i) * n + j] = float((blockEdge(i + 1, cellSize) - blockEdge(i, cellSize)) *
                                                      (blockEdge(j + 1, cellSize) - blockEdge(j, cellSize)));
        const auto modes = projectionSetModes(set);
        _modes = modes ? *modes : std::array<int, 3>{X_PROJECTION, Y_PROJECTION, Z_PROJECTION};
        _axis = _modes[2] == Z_PROJECTION;
        if (_axis) {
            for (auto* bits : {&_bRowZ, &_cRowY, &_aRowZ, &_cColX, &_aColY, &_bColX})
                bits->assign(std::size_t(n) * _words, 0);
        } else {
            for (int k = 0; k < 3; ++k) {
                _column[k].assign(std::size_t(n) * n, -1);
                for (int x = 0; x < n; ++x)
                    for (int y = 0; y < n; ++y) {
                        const Pixel p = pixelOfCell(_modes[std::size_t(k)], x, y, 0);
                        if (p.column >= 0 && p.column < n)
                            _column[k][std::size_t(x) * n + y] = p.column;
                    }
                // First x whose column is at least c, per row y (n when none).
                _first[k].assign(std::size_t(n) * (n + 1), n);
                for (int y = 0; y < n; ++y)
                    for (int x = n - 1; x >= 0; --x) {
                        const int c = std::clamp(pixelOfCell(_modes[std::size_t(k)], x, y, 0).column, -1, n);
                        for (int to = c; to >= 0; --to) {
                            int& f = _first[k][std::size_t(y) * (n + 1) + std::size_t(to)];
                            if (f <= x)
                                break;
                            f = x;
                        }
                    }
                _shaded[k].assign(std::size_t(n) + 1, 0);
            }
        }
    }

    int n() const { return _n; }

    // Per view the hull's kept figure: with `weighted`, the intersection over
    // union of its shadow drawn as blocks and the canvas figure; otherwise
    // the share of the dark map the shadow keeps.
    KeptValues operator()(const std::array<const Target*, 3>& targets, bool weighted)
    {
        _targets = targets;
        for (int k = 0; k < 3; ++k)
            _count[k] = _inside[k] = _outside[k] = 0;
        if (_axis)
            axisKept(targets[0]->map, targets[1]->map, targets[2]->map);
        else
            obliqueKept(targets[0]->map, targets[1]->map, targets[2]->map);
        KeptValues kept{};
        for (int k = 0; k < 3; ++k) {
            const Target& t = *targets[std::size_t(k)];
            if (weighted) {
                const double either = t.figure + _outside[k];
                kept[std::size_t(k)] = either <= 0 ? 1.0 : _inside[k] / either;
            } else {
                long dark = 0;
                for (std::uint8_t v : t.map)
                    dark += v;
                kept[std::size_t(k)] = dark == 0 ? 1.0 : double(_count[k]) / double(dark);
            }
        }
        return kept;
    }

private:
    using Bits = std::vector<std::uint64_t>;

    void set(Bits& bits, int line, int bit) { bits[std::size_t(line) * _words + std::size_t(bit / 64)] |= 1ull << (bit % 64); }
    bool meet(const Bits& a, int la, const Bits& b, int lb) const
    {
        const std::uint64_t* pa = &a[std::size_t(la) * _words];
        const std::uint64_t* pb = &b[std::size_t(lb) * _words];
        for (int w = 0; w < _words; ++w)
            if (pa[w] & pb[w])
                return true;
        return false;
    }

    // Map pixel `at` of view k is shadowed.
    void credit(int k, std::size_t at)
    {
        ++_count[k];
        const std::vector<float>& cover = _targets[std::size_t(k)]->cover;
        if (!cover.empty()) {
            _inside[k] += cover[at];
            _outside[k] += _area[at] - cover[at];
        }
    }

    // Set 0: X shows A(y, z), Y shows B(x, z), Z shows C(x, y).
    void axisKept(const Map& a, const Map& b, const Map& c)
    {
        const int n = _n;
        for (auto* bits : {&_bRowZ, &_cRowY, &_aRowZ, &_cColX, &_aColY, &_bColX})
            std::fill(bits->begin(), bits->end(), 0);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const std::size_t at = std::size_t(i) * n + j;
                if (a[at]) {  // y = i, z = j
                    set(_aRowZ, j, i);
                    set(_aColY, i, j);
                }
                if (b[at]) {  // x = i, z = j
                    set(_bRowZ, j, i);
                    set(_bColX, i, j);
                }
                if (c[at]) {  // x = i, y = j
                    set(_cRowY, j, i);
                    set(_cColX, i, j);
                }
            }
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j) {
                const std::size_t at = std::size_t(i) * n + j;
                if (a[at] && meet(_bRowZ, j, _cRowY, i))
                    credit(0, at);
                if (b[at] && meet(_aRowZ, j, _cColX, i))
                    credit(1, at);
                if (c[at] && meet(_aColY, j, _bColX, i))
                    credit(2, at);
            }
    }

    // Oblique sets: every view's row is z; a slice z keeps the cells (x, y)
    // whose three columns are figure in row z.
    //
    // Views 1 and 2 see cell (x, y) in a column that never falls as x grows,
    // so for a row y of the slice the cells a run of dark columns takes are
    // one interval of x: a row's cells are the intersection of two lists of
    // intervals, and the columns they shade are intervals again.
    void obliqueKept(const Map& m0, const Map& m1, const Map& m2)
    {
        const int n = _n;
        const Map* maps[3] = {&m0, &m1, &m2};
        for (int z = 0; z < n; ++z) {
            for (int k = 1; k < 3; ++k) {
                _runs[k].clear();
                for (int c = 0; c < n; ++c)
                    if ((*maps[k])[std::size_t(c) * n + z]) {
                        if (!_runs[k].empty() && _runs[k].back().second == c - 1)
                            _runs[k].back().second = c;
                        else
                            _runs[k].emplace_back(c, c);
                    }
            }
            if (_runs[1].empty() || _runs[2].empty())
                continue;
            std::fill(_shaded[1].begin(), _shaded[1].end(), 0);
            std::fill(_shaded[2].begin(), _shaded[2].end(), 0);
            for (int y = 0; y < n; ++y) {
                if (!m0[std::size_t(y) * n + z])
                    continue;
                for (int k = 1; k < 3; ++k) {
                    _spans[k].clear();
                    const int* first = &_first[k][std::size_t(y) * (n + 1)];
                    for (const auto& [c0, c1] : _runs[k])
                        if (first[c0] < first[c1 + 1])
                            _spans[k].emplace_back(first[c0], first[c1 + 1] - 1);
                }
                bool any = false;
                std::size_t i = 0, j = 0;
                while (i < _spans[1].size() && j < _spans[2].size()) {
                    const int x0 = std::max(_spans[1][i].first, _spans[2][j].first);
                    const int x1 = std::min(_spans[1][i].second, _spans[2][j].second);
                    if (x0 <= x1) {
                        any = true;
                        for (int k = 1; k < 3; ++k) {
                            ++_shaded[k][std::size_t(_column[k][std::size_t(x0) * n + y])];
                            --_shaded[k][std::size_t(_column[k][std::size_t(x1) * n + y]) + 1];
                        }
                    }
                    (_spans[1][i].second < _spans[2][j].second) ? ++i : ++j;
                }
                if (any)
                    credit(0, std::size_t(y) * n + z);
            }
            for (int k = 1; k < 3; ++k) {
                int depth = 0;
                for (int c = 0; c < n; ++c) {
                    depth += _shaded[k][std::size_t(c)];
                    if (depth > 0)
                        credit(k, std::size_t(c) * n + z);
                }
            }
        }
    }

    int _n;
    int _words;
    std::array<int, 3> _modes{};
    bool _axis = true;
    Bits _bRowZ, _cRowY, _aRowZ, _cColX, _aColY, _bColX;
    std::vector<int> _column[3];
    std::vector<int> _first[3];   // oblique sets: see obliqueKept
    std::vector<int> _shaded[3];  // per column of a row: intervals opened less closed
    std::vector<std::pair<int, int>> _runs[3], _spans[3];
    std::vector<float> _area;  // canvas pixels of each map pixel's block
    std::array<const Target*, 3> _targets{};
    long _count[3] = {0, 0, 0};
    double _inside[3] = {0, 0, 0}, _outside[3] = {0, 0, 0};
};

// ---- one picture's placements ---------------------------------------------------------

// A placed mask with its summed-area table (pixels of [0, x) x [0, y) at
// (y * (width + 1) + x)).
struct ScaledMask {
    PlacedMask placed;
    std::vector<int> sum;  // made when a search first weighs blocks (kept per scale: the coarse search needs none)
    long count = -1;       // -1 before the mask is made

    // Figure pixels in canvas rectangle [x0, x1) x [y0, y1) when the mask is
    // shifted by (dx, dy).
    int pixels(int x0, int y0, int x1, int y1, int dx, int dy) const
    {
        const int w = placed.width, h = placed.height;
        const auto cx = [&](int x) { return std::clamp(x - dx - placed.left, 0, w); };
        const auto cy = [&](int y) { return std::clamp(y - dy - placed.top, 0, h); };
        const int a = cx(x0), b = cx(x1), c = cy(y0), d = cy(y1);
        const auto at = [&](int x, int y) { return sum[std::size_t(y) * (w + 1) + x]; };
        return at(b, d) - at(a, d) - at(b, c) + at(a, c);
    }
};

// The scales a figure may take and its placed masks (shift 0), made on first use.
class PictureScales {
public:
    PictureScales(const Figure& figure, const Placement& turn, double smallestShare) : _figure(&figure), _turn(turn)
    {
        _turn.scale = 1;
        _turn.dx = _turn.dy = 0;
        const CanvasBox box = placedBox(figure, _turn);
        const double larger = std::max(box.right - box.left, box.bottom - box.top);
        // One canvas pixel to spare, so that a whole-pixel shift fits it.
        const double largest = (kCanvasSize - 1) / larger;
        const double smallest = std::min(largest, smallestShare * kCanvasSize / larger);
        // The largest and smallest scale, and between them the powers of the
        // step (the identity's scale among them when it is allowed).
        _scales.push_back(largest);
        for (int i = int(std::floor(std::log(largest) / std::log(kScaleStep))); ; --i) {
            const double s = std::pow(kScaleStep, i);
            if (s <= smallest * (1 + 1e-9))
                break;
            if (s < largest * (1 - 1e-9))
                _scales.push_back(s);
        }
        if (smallest < largest * (1 - 1e-9))
            _scales.push_back(smallest);
        _masks.resize(_scales.size());
        _boxes.resize(_scales.size());
        for (std::size_t i = 0; i < _scales.size(); ++i)
            _boxes[i] = placedBox(figure, placement(int(i), 0, 0));
    }

    int count() const { return int(_scales.size()); }
    // The index of the identity's scale, or of the middle one when the
    // identity is not allowed.
    int identity() const
    {
        for (int i = 0; i < count(); ++i)
            if (_scales[std::size_t(i)] == 1.0)
                return i;
        return count() / 2;
    }
    double scale(int i) const { return _scales[std::size_t(i)]; }
    const CanvasBox& box(int i) const { return _boxes[std::size_t(i)]; }

    Placement placement(int i, int dx, int dy) const
    {
        Placement p = _turn;
        p.scale = _scales[std::size_t(i)];
        p.dx = dx;
        p.dy = dy;
        return p;
    }

    // The mask at scale i; with `sums`, its summed-area table too.
    const ScaledMask& mask(int i, bool sums)
    {
        ScaledMask& m = _masks[std::size_t(i)];
        if (m.count < 0) {
            m.placed = placedMask(*_figure, placement(i, 0, 0));
            m.count = std::count(m.placed.mask.begin(), m.placed.mask.end(), std::uint8_t(1));
        }
        if (sums && m.sum.empty()) {
            const int w = m.placed.width, h = m.placed.height;
            m.sum.assign(std::size_t(w + 1) * (h + 1), 0);
            for (int y = 0; y < h; ++y) {
                int row = 0;
                for (int x = 0; x < w; ++x) {
                    row += m.placed.mask[std::size_t(y) * w + x];
                    m.sum[std::size_t(y + 1) * (w + 1) + x + 1] = m.sum[std::size_t(y) * (w + 1) + x + 1] + row;
                }
            }
        }
        return m;
    }

    // Whole-pixel shifts that keep the figure on the canvas at scale i.
    int lowX(int i) const { return int(std::ceil(-box(i).left - kTolerance)); }
    int highX(int i) const { return int(std::floor(kCanvasSize - box(i).right + kTolerance)); }
    int lowY(int i) const { return int(std::ceil(-box(i).top - kTolerance)); }
    int highY(int i) const { return int(std::floor(kCanvasSize - box(i).bottom + kTolerance)); }

private:
    const Figure* _figure;
    Placement _turn;
    std::vector<double> _scales;
    std::vector<ScaledMask> _masks;
    std::vector<CanvasBox> _boxes;
};

struct Pose {
    int scale = 0, dx = 0, dy = 0;
    bool operator==(const Pose&) const = default;
    auto key() const { return std::tie(scale, dx, dy); }
};
using Poses = std::array<Pose, 3>;

// Where the map pixels of a cell size sample the canvas and the blocks they
// stand for, along either axis.
struct Sampling {
    std::vector<int> at;    // per map pixel i: canvas pixel trunc(i cs + half), beyond the canvas at kCanvasSize
    std::vector<int> edge;  // blockEdge(i), i = 0..n

    Sampling(int n, float cellSize)
    {
        const int half = static_cast<int>(cellSize * 0.5f);
        for (int i = 0; i < n; ++i)
            at.push_back(std::min(kCanvasSize, static_cast<int>(float(i) * cellSize + float(half))));
        for (int i = 0; i <= n; ++i)
            edge.push_back(blockEdge(i, cellSize));
    }
};

// The dark map of a placed canvas, read from the placed mask: map pixel
// (i, j) samples canvas pixel (trunc(i cs + half), trunc(j cs + half)); and,
// with `cover`, the figure in the block of each dark map pixel.
void sampleTarget(const ScaledMask& scaled, int dx, int dy, const Sampling& sampling, bool cover, Target& target)
{
    const PlacedMask& mask = scaled.placed;
    const int n = int(sampling.at.size());
    target.map.assign(std::size_t(n) * n, 0);
    target.cover.assign(cover ? std::size_t(n) * n : 0, 0.0f);
    target.figure = double(scaled.count);
    for (int i = 0; i < n; ++i) {
        const int x = sampling.at[std::size_t(i)] - dx - mask.left;
        if (sampling.at[std::size_t(i)] >= kCanvasSize || x < 0 || x >= mask.width)
            continue;
        const std::uint8_t* column = mask.mask.data() + x;
        std::uint8_t* map = &target.map[std::size_t(i) * n];
        for (int j = 0; j < n; ++j) {
            const int y = sampling.at[std::size_t(j)] - dy - mask.top;
            if (sampling.at[std::size_t(j)] >= kCanvasSize || y < 0 || y >= mask.height || !column[std::size_t(y) * mask.width])
                continue;
            map[j] = 1;
            if (cover)
                target.cover[std::size_t(i) * n + j] =
                    float(scaled.pixels(sampling.edge[std::size_t(i)], sampling.edge[std::size_t(j)],
                                        sampling.edge[std::size_t(i) + 1], sampling.edge[std::size_t(j) + 1], dx, dy));
        }
    }
}

// Pattern search over the three poses at one cell size.
class Search {
public:
    // `onCanvas`: raise the figure kept on the canvas (what the cell size can
    // show of the figure counts); otherwise the kept figure of the maps.
    Search(std::array<PictureScales, 3>& pictures, int set, float cellSize, bool onCanvas)
        : _pictures(pictures), _hull(set, ShadowView::resolutionFor(cellSize), cellSize),
          _sampling(ShadowView::resolutionFor(cellSize), cellSize), _onCanvas(onCanvas), _modes(*projectionSetModes(set))
    {
    }

    double objective(const Poses& poses, KeptValues* keptOut = nullptr)
    {
        std::array<const Target*, 3> targets{};
        for (int k = 0; k < 3; ++k) {
            Cached& c = _cache[k];
            if (!c.valid || !(c.pose == poses[std::size_t(k)])) {
                const Pose& p = poses[std::size_t(k)];
                sampleTarget(_pictures[std::size_t(k)].mask(p.scale, _onCanvas), p.dx, p.dy, _sampling, _onCanvas, c.target);
                c.pose = p;
                c.valid = true;
            }
            targets[std::size_t(k)] = &c.target;
        }
        // What each view's hull shadow, drawn as blocks, keeps of the canvas figure.
        const KeptValues kept = _hull(targets, _onCanvas);
        if (keptOut)
            *keptOut = kept;
        // A soft minimum: a move that helps one view a lot and costs another
        // a little goes ahead, so the views can move towards agreeing.
        const double least = worstKept(kept);
        double sum = 0;
        for (double v : kept)
            sum += std::exp(-(v - least) / kSoftness);
        return least - kSoftness * std::log(sum) + kTieMean * (kept[0] + kept[1] + kept[2]) / 3;
    }

    // Pattern search from `poses`: shift steps (canvas pixels) halving from
    // `shiftStep` down to `lastShiftStep`, scale steps from `scaleStep` down
    // to one; the first improvement wins.
    double improve(Poses& poses, int shiftStep, int lastShiftStep, int scaleStep)
    {
        double best = objective(poses);
        for (int step = shiftStep, sstep = scaleStep; step >= lastShiftStep; step /= 2, sstep = std::max(1, sstep / 2)) {
            for (int sweep = 0; sweep < 12; ++sweep) {
                bool improved = false;
                const auto attempt = [&](const Poses& trial) {
                    const double value = objective(trial);
                    if (value > best + 1e-12) {
                        best = value;
                        poses = trial;
                        improved = true;
                    }
                };
                for (int k = 0; k < 3; ++k)
                    for (int move = 0; move < 6; ++move) {
                        Poses trial = poses;
                        if (moved(k, move, step, sstep, trial[std::size_t(k)]))
                            attempt(trial);
                    }
                // The whole volume moved along an axis: the pictures keep
                // agreeing, their figures meet the cells differently.
                for (int axis = 0; axis < 3; ++axis)
                    for (const int sign : {-1, 1}) {
                        Poses trial = poses;
                        if (translated(axis, sign * step, trial))
                            attempt(trial);
                    }
                if (!improved)
                    break;
            }
        }
        return best;
    }

    // A pose with its figure's box centred on the canvas.
    static Pose centred(const PictureScales& p, int scale)
    {
        const CanvasBox& b = p.box(scale);
        Pose pose{scale, int(std::lround(kCanvasSize * 0.5 - (b.left + b.right) * 0.5)),
                  int(std::lround(kCanvasSize * 0.5 - (b.top + b.bottom) * 0.5))};
        pose.dx = std::clamp(pose.dx, p.lowX(scale), p.highX(scale));
        pose.dy = std::clamp(pose.dy, p.lowY(scale), p.highY(scale));
        return pose;
    }


private:
    // Moves 0..5: shift left, right, up, down, scale down, up (about the
    // figure's box centre). False when the move leaves the allowed range.
    bool moved(int k, int move, int step, int sstep, Pose& pose) const
    {
        const PictureScales& p = _pictures[std::size_t(k)];
        switch (move) {
        case 0: pose.dx -= step; break;
        case 1: pose.dx += step; break;
        case 2: pose.dy -= step; break;
        case 3: pose.dy += step; break;
        default: {
            const int to = pose.scale + (move == 4 ? sstep : -sstep);  // larger index: smaller scale
            if (to < 0 || to >= p.count())
                return false;
            const CanvasBox& a = p.box(pose.scale);
            const CanvasBox& b = p.box(to);
            pose.dx = int(std::lround(pose.dx + (a.left + a.right - b.left - b.right) * 0.5));
            pose.dy = int(std::lround(pose.dy + (a.top + a.bottom - b.top - b.bottom) * 0.5));
            pose.scale = to;
            pose.dx = std::clamp(pose.dx, p.lowX(to), p.highX(to));
            pose.dy = std::clamp(pose.dy, p.lowY(to), p.highY(to));
            return true;
        }
        }
        return pose.dx >= p.lowX(pose.scale) && pose.dx <= p.highX(pose.scale) && pose.dy >= p.lowY(pose.scale) &&
               pose.dy <= p.highY(pose.scale);
    }

    // Moves every picture as the volume moving `t` canvas pixels along grid
    // axis 0 (x), 1 (y) or 2 (z) moves its shadow; false when a figure would
    // leave the canvas.
    bool translated(int axis, int t, Poses& poses) const
    {
        for (int k = 0; k < 3; ++k) {
            Pose& pose = poses[std::size_t(k)];
            const int mode = _modes[std::size_t(k)];
            if (axis == 2) {
                pose.dy += mode == Z_PROJECTION ? 0 : t;
            } else if (mode == Z_PROJECTION) {
                (axis == 0 ? pose.dx : pose.dy) += t;
            } else {
                // The column of (x, y): x for Y, y for X, a x + b y for the oblique views.
                const Pixel unitX = pixelOfCell(mode, 1000, 0, 0), unitY = pixelOfCell(mode, 0, 1000, 0);
                const double along = (axis == 0 ? unitX.column : unitY.column) / 1000.0;
                pose.dx += int(std::lround(along * t));
            }
            const PictureScales& p = _pictures[std::size_t(k)];
            if (pose.dx < p.lowX(pose.scale) || pose.dx > p.highX(pose.scale) || pose.dy < p.lowY(pose.scale) ||
                pose.dy > p.highY(pose.scale))
                return false;
        }
        return true;
    }

    struct Cached {
        Pose pose;
        Target target;
        bool valid = false;
    };

    std::array<PictureScales, 3>& _pictures;
    HullKept _hull;
    Sampling _sampling;
    bool _onCanvas;
    std::array<int, 3> _modes;
    Cached _cache[3];
};

}  // namespace

KeptValues hullKept(const std::array<QImage, 3>& canvases, int set, float cellSize)
{
    if (!projectionSetModes(set) || !(cellSize >= 1.0f && cellSize <= 250.0f))
        return {0, 0, 0};
    const int n = ShadowView::resolutionFor(cellSize);
    HullKept hull(set, n, cellSize);
    std::array<Target, 3> targets;
    for (int k = 0; k < 3; ++k) {
        const ByteMap m = figureMap(canvases[std::size_t(k)], cellSize);
        Map& map = targets[std::size_t(k)].map;
        map.resize(std::size_t(n) * n);
        for (int c = 0; c < n; ++c)
            for (int r = 0; r < n; ++r)
                map[std::size_t(c) * n + r] = m.at(c, r);
    }
    return hull({&targets[0], &targets[1], &targets[2]}, false);
}

Result<Arrangement> arrange(const std::array<Figure, 3>& figures, int set, float cellSize, const ArrangeOptions& options)
{
    if (!projectionSetModes(set))
        return fail(QStringLiteral("Unknown projection set %1.").arg(set));
    if (!(cellSize >= 1.0f && cellSize <= 250.0f))
        return fail(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    for (const Figure& f : figures)
        if (f.empty() || f.count() == 0)
            return fail(QStringLiteral("A picture has no figure to place."));
    const double share = std::clamp(options.smallestShare, 0.05, 1.0);
    std::array<PictureScales, 3> pictures{PictureScales(figures[0], options.turns[0], share),
                                          PictureScales(figures[1], options.turns[1], share),
                                          PictureScales(figures[2], options.turns[2], share)};
    const auto report = [&](double v) {
        if (options.progress)
            options.progress(std::clamp(v, 0.0, 1.0));
    };
    report(0.0);

    // Every mix of largest, identity and smallest scale, centred, searched on
    // a coarse grid for the hull's agreement alone; the best few again on
    // finer ones, down to the cell size asked for, for the figure kept on the
    // canvas (at the coarse grid's cells a figure's detail would mislead).
    struct Stage {
        float cellSize;
        int keep;  // results carried into the stage
        int shiftStep, lastShiftStep, scaleStep;
    };
    std::vector<Stage> stages{{std::max(cellSize, kCoarseCellSize), kStarts, 32, 2, 8}};
    if (cellSize < kCoarseCellSize)
        stages.push_back({std::max(cellSize, kSearchCellSize), kCarried + 1, 8, 1, 2});
    if (cellSize < kSearchCellSize)
        stages.push_back({cellSize, 2, 4, 1, 1});
    else
        stages.back().lastShiftStep = 1;

    std::vector<std::pair<double, Poses>> results;
    for (int s = 0; s < kStarts; ++s) {
        Poses poses;
        int choice = s;
        for (int k = 0; k < 3; ++k, choice /= 3) {
            const int last = pictures[std::size_t(k)].count() - 1;
            const int scale = choice % 3 == 0 ? 0 : (choice % 3 == 1 ? pictures[std::size_t(k)].identity() : last);
            poses[std::size_t(k)] = Search::centred(pictures[std::size_t(k)], scale);
        }
        results.emplace_back(0.0, poses);
    }
    // The pictures at the identity's scale, centred: what the coarse grid
    // may misjudge most (a figure's detail at the cell size), searched
    // finer whatever it found.
    const Poses identityStart = results[1 + 3 + 9].second;
    // Progress: each stage's share of the work, by its evaluations' cost.
    double work = 0, done = 0;
    for (const Stage& st : stages)
        work += st.keep * std::pow(double(ShadowView::resolutionFor(st.cellSize)), 2.0);
    for (const Stage& st : stages) {
        Search search(pictures, set, st.cellSize, &st != &stages.front() || stages.size() == 1);
        std::vector<std::pair<double, Poses>> next;
        const double each = std::pow(double(ShadowView::resolutionFor(st.cellSize)), 2.0) / work;
        for (int i = 0; i < std::min<int>(st.keep, int(results.size())); ++i) {
            Poses poses = results[std::size_t(i)].second;
            const double value = search.improve(poses, st.shiftStep, st.lastShiftStep, st.scaleStep);
            if (std::none_of(next.begin(), next.end(), [&](const auto& r) { return r.second == poses; }))
                next.emplace_back(value, poses);
            done += each;
            report(done);
        }
        std::stable_sort(next.begin(), next.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
        if (&st == &stages.front() && stages.size() > 1) {
            next.resize(std::min<std::size_t>(next.size(), kCarried));
            if (std::none_of(next.begin(), next.end(), [&](const auto& r) { return r.second == identityStart; }))
                next.emplace_back(0.0, identityStart);
        }
        results = std::move(next);
    }
    const Poses best = results.front().second;
    KeptValues onCanvas{};
    Search(pictures, set, cellSize, true).objective(best, &onCanvas);

    Arrangement arrangement;
    std::array<QImage, 3> canvases;
    for (int k = 0; k < 3; ++k) {
        const Pose& p = best[std::size_t(k)];
        arrangement.placements[std::size_t(k)] = pictures[std::size_t(k)].placement(p.scale, p.dx, p.dy);
        canvases[std::size_t(k)] = placeFigure(figures[std::size_t(k)], arrangement.placements[std::size_t(k)]).value();
    }
    arrangement.kept = hullKept(canvases, set, cellSize);
    arrangement.onCanvas = onCanvas;
    report(1.0);
    return arrangement;
}
