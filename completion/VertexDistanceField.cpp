#include "completion/VertexDistanceField.h"

#include "completion/VertexIndex.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <utility>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// Lower envelope of the parabolas height(p) + (q - (lo + p))^2 over the
// positions p = 0 .. count - 1 with a finite height: for q = 0 .. n - 1,
// winner[q * stride] := the position of the least one, -1 when none is
// finite. The two envelope neighbours are compared too, so that rounding in
// the breakpoints cannot pick a parabola that is not the least.
template <class Height>
void lowerEnvelope(int count, int lo, const Height& height, int n, int* winner, std::ptrdiff_t stride,
                   std::vector<int>& v, std::vector<double>& hv, std::vector<double>& z)
{
    v.resize(std::size_t(count));
    hv.resize(std::size_t(count));
    z.resize(std::size_t(count) + 1);
    int k = -1;
    for (int p = 0; p < count; ++p) {
        const double hp = height(p);
        if (hp == kInfinity)
            continue;
        const double sp = lo + p;
        double s = -kInfinity;  // where this parabola starts to be the least
        if (k >= 0) {
            for (;;) {
                const double sv = lo + v[std::size_t(k)];
                s = ((hp + sp * sp) - (hv[std::size_t(k)] + sv * sv)) / (2.0 * sp - 2.0 * sv);
                if (k == 0 || s > z[std::size_t(k)])
                    break;
                --k;  // the parabola at v[k] is nowhere the least
            }
        }
        ++k;
        v[std::size_t(k)] = p;
        hv[std::size_t(k)] = hp;
        z[std::size_t(k)] = s;
        z[std::size_t(k) + 1] = kInfinity;
    }
    if (k < 0) {
        for (int q = 0; q < n; ++q)
            winner[q * stride] = -1;
        return;
    }
    auto value = [&](int j, int q) {
        const double d = q - double(lo + v[std::size_t(j)]);
        return hv[std::size_t(j)] + d * d;
    };
    int j = 0;
    for (int q = 0; q < n; ++q) {
        while (j < k && z[std::size_t(j) + 1] < q)
            ++j;
        int best = j;
        double bestValue = value(j, q);
        for (int other : {j - 1, j + 1}) {
            if (other < 0 || other > k)
                continue;
            const double d = value(other, q);
            if (d < bestValue) {
                best = other;
                bestValue = d;
            }
        }
        winner[q * stride] = v[std::size_t(best)];
    }
}

}  // namespace

std::vector<int> nearestVertexOnGridLines(const std::vector<point>& points, int n)
{
    if (points.empty() || n < 1)
        return {};
    // Sort the points by their fractional axis (a point with three whole
    // coordinates counts for the x axis) and find the box of the whole ones.
    std::vector<int> sites[3];
    int lo = 0, hi = n - 1;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const point& p = points[i];
        int axis = 0, fractional = 0;
        for (int k = 0; k < 3; ++k) {
            if (!std::isfinite(p[k]))
                return {};
            if (p[k] != std::floor(p[k])) {
                axis = k;
                ++fractional;
            }
        }
        if (fractional > 1)
            return {};
        for (int k = 0; k < 3; ++k) {
            if (k == axis)
                continue;
            if (std::fabs(p[k]) > 8.0f * float(n) + 64.0f)
                return {};
            lo = std::min(lo, int(p[k]));
            hi = std::max(hi, int(p[k]));
        }
        sites[axis].push_back(static_cast<int>(i));
    }
    const int L = hi - lo + 1;
    const std::size_t nn = std::size_t(n);
    const std::size_t ll = std::size_t(L);

    std::vector<int> best(nn * nn * nn, -1);
    std::vector<int> stage1, stage2, lineStart, lineSites, v;
    std::vector<double> hv, z;
    for (int a = 0; a < 3; ++a) {
        if (sites[a].empty())
            continue;
        const int b = a == 0 ? 1 : 0;
        const int c = a == 2 ? 1 : 2;
        auto line = [&](const point& p) { return std::size_t(int(p[b]) - lo) * ll + std::size_t(int(p[c]) - lo); };

        // Sites per grid line (b, c), ordered along a.
        lineStart.assign(ll * ll + 1, 0);
        for (int s : sites[a])
            ++lineStart[line(points[std::size_t(s)]) + 1];
        for (std::size_t l = 0; l < ll * ll; ++l)
            lineStart[l + 1] += lineStart[l];
        lineSites.assign(sites[a].size(), -1);
        {
            std::vector<int> fill(lineStart.begin(), lineStart.end() - 1);
            for (int s : sites[a])
                lineSites[std::size_t(fill[line(points[std::size_t(s)])]++)] = s;
        }
        for (std::size_t l = 0; l < ll * ll; ++l)
            std::sort(lineSites.begin() + lineStart[l], lineSites.begin() + lineStart[l + 1],
                      [&](int s, int t) { return points[std::size_t(s)][a] < points[std::size_t(t)][a]; });

        // Pass 1, along a: the nearest site of each line for every qa,
        // stage1[(line)·n + qa].
        stage1.assign(ll * ll * nn, -1);
        for (std::size_t l = 0; l < ll * ll; ++l) {
            const int first = lineStart[l], last = lineStart[l + 1];
            if (first == last)
                continue;
            int at = first;  // first site with coordinate >= qa
            for (int qa = 0; qa < n; ++qa) {
                while (at < last && points[std::size_t(lineSites[std::size_t(at)])][a] < float(qa))
                    ++at;
                int chosen = -1;
                double chosenValue = kInfinity;
                for (int candidate : {at - 1, at}) {
                    if (candidate < first || candidate >= last)
                        continue;
                    const int s = lineSites[std::size_t(candidate)];
                    const double d = double(qa) - double(points[std::size_t(s)][a]);
                    if (d * d < chosenValue) {
                        chosenValue = d * d;
                        chosen = s;
                    }
                }
                stage1[l * nn + std::size_t(qa)] = chosen;
            }
        }

        // Pass 2, along b: for every (qa, line c) the best line b for each qb,
        // stage2[(qa·n + qb)·L + lc].
        stage2.assign(nn * nn * ll, -1);
        for (int qa = 0; qa < n; ++qa) {
            for (int lc = 0; lc < L; ++lc) {
                auto height = [&](int lb) {
                    const int s = stage1[(std::size_t(lb) * ll + std::size_t(lc)) * nn + std::size_t(qa)];
                    if (s < 0)
                        return kInfinity;
                    const double d = double(qa) - double(points[std::size_t(s)][a]);
                    return d * d;
                };
                int* out = stage2.data() + std::size_t(qa) * nn * ll + std::size_t(lc);
                lowerEnvelope(L, lo, height, n, out, std::ptrdiff_t(ll), v, hv, z);
                for (int qb = 0; qb < n; ++qb) {
                    int& w = out[std::size_t(qb) * ll];
                    if (w >= 0)
                        w = stage1[(std::size_t(w) * ll + std::size_t(lc)) * nn + std::size_t(qa)];
                }
            }
        }

        // Pass 3, along c: the best line c for each qc, and the site it holds
        // against the best of the other axes.
        std::vector<int> winners(nn);
        for (int qa = 0; qa < n; ++qa) {
            for (int qb = 0; qb < n; ++qb) {
                const int* row = stage2.data() + (std::size_t(qa) * nn + std::size_t(qb)) * ll;
                auto height = [&](int lc) {
                    const int s = row[lc];
                    if (s < 0)
                        return kInfinity;
                    const point& p = points[std::size_t(s)];
                    const double da = double(qa) - double(p[a]);
                    const double db = double(qb) - double(p[b]);
                    return da * da + db * db;
                };
                lowerEnvelope(L, lo, height, n, winners.data(), 1, v, hv, z);
                int cell[3];
                cell[a] = qa;
                cell[b] = qb;
                for (int qc = 0; qc < n; ++qc) {
                    const int lc = winners[std::size_t(qc)];
                    if (lc < 0)
                        continue;
                    const int s = row[lc];
                    cell[c] = qc;
                    int& current = best[(std::size_t(cell[0]) * nn + std::size_t(cell[1])) * nn + std::size_t(cell[2])];
                    if (current < 0 ||
                        gridSquaredDistance(points[std::size_t(s)], cell[0], cell[1], cell[2]) <
                            gridSquaredDistance(points[std::size_t(current)], cell[0], cell[1], cell[2]))
                        current = s;
                }
            }
        }
    }
    return best;
}

std::vector<float> vertexDistanceField(const std::vector<point>& points, int n)
{
    if (n < 1)
        return {};
    const std::size_t nn = std::size_t(n);
    std::vector<float> field(nn * nn * nn, std::numeric_limits<float>::infinity());
    if (points.empty())
        return field;
    const std::vector<int> nearest = nearestVertexOnGridLines(points, n);
    std::unique_ptr<VertexIndex> index;
    if (nearest.empty())
        index = std::make_unique<VertexIndex>(points);
    std::size_t at = 0;
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            for (int z = 0; z < n; ++z, ++at) {
                const double d2 = index ? index->nearest(x, y, z, 0.0).squaredDistance
                                        : gridSquaredDistance(points[std::size_t(nearest[at])], x, y, z);
                field[at] = static_cast<float>(std::sqrt(d2));
            }
        }
    }
    return field;
}
