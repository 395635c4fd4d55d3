#pragma once
// A second, deliberately plain computation of the shadow hull, written from
// the rules alone (no code shared with the volume classes): quantisation of a
// picture into a binary map, brute-force distances to the nearest dark pixel,
// the master occupancy and cost, the volume's shadow per view and the
// comparison counts. Slow on purpose; the tests compare the real code to it.

#include <QImage>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace reference {

// N = floor(250 / cell size).
int resolution(float cellSize);

// Modes of the views of projection set 0, 1 or 2.
std::array<int, 3> setModes(int set);

// Pixel (column, row) of cell (x, y, z) in mode 0..5.
struct Pixel {
    int column, row;
};
Pixel pixelOf(int mode, int x, int y, int z);

// One quantised picture.
class View {
public:
    View(const QImage& picture, int mode, float cellSize);

    int mode() const { return _mode; }
    int n() const { return _n; }
    // True where picture pixel sampled for map pixel (column, row) is dark;
    // false outside the map.
    bool dark(int column, int row) const;
    int darkCount() const;
    // Euclidean distance from (column, row) to the nearest dark map pixel,
    // any column (also outside the map); +infinity without dark pixels.
    float distance(int column, int row) const;

private:
    int _mode;
    int _n;
    std::vector<std::uint8_t> _dark;            // column * n + row
    std::vector<std::pair<int, int>> _darkList;  // (column, row)
    mutable std::vector<float> _memo;            // distance per reachable pixel, NaN = not yet known
};

// The master built from the views.
struct Hull {
    int n = 0;
    std::vector<std::uint8_t> occupied;  // (x * n + y) * n + z
    std::vector<float> cost;

    bool at(int x, int y, int z) const { return occupied[(std::size_t(x) * n + y) * n + z] != 0; }
    float costAt(int x, int y, int z) const { return cost[(std::size_t(x) * n + y) * n + z]; }
    int count() const;
};
Hull buildHull(const std::vector<const View*>& views);

// N x N shadow of the hull in `mode`: [column * n + row], 1 where drawn.
std::vector<std::uint8_t> shadow(const Hull& hull, int mode);

struct ViewFigures {
    int mode = 0, dark = 0, shadow = 0, missing = 0, extra = 0;
};
struct Figures {
    int resolution = 0;
    int cells = 0;
    std::vector<ViewFigures> views;
};
// Everything kalvex-cli hull reports (timings aside) for three picture files.
Figures hullFigures(const std::array<QString, 3>& pictures, int set, float cellSize);

}  // namespace reference
