#pragma once
// One picture's view of the volume: the picture, the direction it is cast in
// (its projection mode), the binary map of its dark pixels and the distance
// from every pixel a cell can project onto to the nearest dark pixel.
//
// A view holds 2-D data only. A cell's distance is the distance of the pixel
// it projects onto, so nothing of size N^3 is kept per view.
//
// N = floor(250 / cell size) map pixels per side; map pixel (i, j) samples the
// picture (scaled to width 250) at the centre of cell column (i, j).

#include "volume/Cell.h"
#include "volume/Grids.h"
#include "volume/SquaredDistanceMap.h"

#include <QImage>
#include <QString>

#include <memory>
#include <unordered_set>
#include <vector>

class DarkPixelSearch;

// How quantisation finds each pixel's distance to the nearest dark pixel: a
// distance transform (fast) or one kd-tree query per pixel. Both give
// identical values.
enum class DistanceMethod { DistanceTransform, KdTree };

class ShadowView {
public:
    static constexpr int kImageExtent = 250;  // picture pixels spanned by the grid

    ShadowView() = default;
    // A view of `picture` cast in `mode` (0..5) with cells of `cellSize`
    // picture pixels; quantise it before use.
    ShadowView(const QImage& picture, const QString& sourcePath, int mode, float cellSize);
    ~ShadowView();
    ShadowView(const ShadowView&) = default;
    ShadowView& operator=(const ShadowView&) = default;
    ShadowView(ShadowView&&) noexcept = default;
    ShadowView& operator=(ShadowView&&) noexcept = default;

    // N = floor(250 / cell size).
    int resolution() const { return _size; }
    static int resolutionFor(float cellSize);

    // Binary map, pixel distances and a fresh "untreated" map. A pixel is dark
    // when red, green and blue are all strictly below the limits.
    void quantize(int redLimit = 100, int greenLimit = 100, int blueLimit = 100, bool saveQuantized = false,
                  DistanceMethod method = DistanceMethod::DistanceTransform);
    bool quantized() const { return !_image_map.empty(); }
    bool hasDarkPixels() const { return _sq_distances.hasDarkPixels(); }

    // Whether quantising `picture` at this cell size would find a dark pixel.
    static bool pictureHasDarkPixel(const QImage& picture, float cellSize);
    // Binary map of a picture already scaled to width 250: map pixel (i, j) is
    // 1 when the picture pixel at the centre of cell (i, j) is dark.
    static ByteMap darkMap(const QImage& picture, int n, float cellSize, int redLimit, int greenLimit,
                           int blueLimit);

    // Distance in grid units from the pixel that cell (x, y, z) projects onto
    // to the nearest dark map pixel: 0 inside the figure (or for a cell the
    // repair has claimed), +infinity when the picture has no dark pixel.
    float distance(int x, int y, int z) const;
    // Squared distance of pixel (column, row) to the nearest dark map pixel,
    // for any column a projection reaches; repairs claiming cells do not
    // change it.
    float squaredDistance(int column, int row) const { return _sq_distances.at(column, row); }
    const SquaredDistanceMap& squaredDistances() const { return _sq_distances; }

    // The repair claims a cell for this view: its distance reads 0 until the
    // view is quantised again, and a master built meanwhile counts the cell as
    // inside this view.
    void zeroDistance(const CellIndex& c);
    const std::vector<CellIndex>& zeroedCells() const { return _zeroed_cells; }

    // Nearest dark map pixel (built on first use, kept until the view is
    // quantised again; copies share it).
    DarkPixelSearch& nearestDarkPixel();

    // ---- fields -----------------------------------------------------------------
    QString _source_path;
    QImage _image;
    int _projection_mode = NO_PROJECTION;
    float _cell_size = -1.0f;
    int _size = 0;                  // N
    ByteMap _image_map;             // N x N, 1 where the picture is dark
    ByteMap _gray_and_not_treated;  // N x N, 1 until the repair visits the pixel

private:
    std::size_t cellKey(const CellIndex& c) const;

    SquaredDistanceMap _sq_distances;
    std::vector<float> _distance;  // square roots of _sq_distances over its column range
    std::vector<CellIndex> _zeroed_cells;
    std::unordered_set<std::size_t> _zeroed;
    std::shared_ptr<DarkPixelSearch> _ann_tree;
};
