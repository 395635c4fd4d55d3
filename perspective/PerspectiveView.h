#pragma once
// One point-light picture of the perspective volume: the picture (the
// deformable picture's rendering scaled to width 50), its figure mask, the
// pinhole camera that casts it, and per pixel the cells of the volume that
// project onto it.
//
// Units: the volume is the unit cube centred at the origin ("volume units");
// the view works in grid units, cell (x, y, z) at the point (x, y, z). A
// camera converts by p' = (p + 0.5) N and f' = f N; the up vector and the
// image size stay as they are.
//
// Pixel (px, py) of the W x H picture: px from the up direction, py from the
// side direction. Masks are [px][py]; per-pixel lists are at px * H + py.

#include "volume/Cell.h"
#include "volume/Grids.h"
#include "volume/SquaredDistanceMap.h"

#include <QImage>
#include <QString>

#include <array>
#include <memory>
#include <vector>

class DarkPixelSearch;

using Vector3 = std::array<double, 3>;

// A pinhole camera: centre, look-at point, up vector, focal distance and the
// image size (the picture spans image size / 2 on each side of the axis at
// the focal distance).
struct PerspectiveCamera {
    Vector3 center{0.0, 0.0, 0.0};
    Vector3 lookAt{0.0, 0.0, 0.0};
    Vector3 up{0.0, 1.0, 0.0};
    double focalDistance = 1.0;
    int imageSize = 1;
};

// The camera of volume units in the grid units of an N-cell grid.
PerspectiveCamera toGridUnits(const PerspectiveCamera& camera, int n);

// Why a camera cannot cast a picture, as a lower-case phrase (a number that is
// not finite, a focal distance or image size that is not positive, the centre
// on the look-at point, an up vector along the view direction), or "" when
// its frame can be orthonormalised.
QString cameraProblem(const PerspectiveCamera& camera);

class PerspectiveView {
public:
    static constexpr int kFigureThreshold = 50;  // figure: red, green and blue all below

    struct Projection {
        bool seen = false;      // inside the picture
        int px = -1, py = -1;   // -1 when not seen
        bool inFigure = false;  // seen and on a figure pixel
    };

    // `picture` is the deformable picture's rendering; `camera` is in grid
    // units and passes cameraProblem.
    PerspectiveView(const QImage& picture, const QString& sourcePath, const PerspectiveCamera& camera,
                    float cellSize);
    ~PerspectiveView();
    PerspectiveView(const PerspectiveView&) = delete;
    PerspectiveView& operator=(const PerspectiveView&) = delete;

    // Figure mask of a picture scaled to `width` (fast transformation).
    static ByteMap figureMask(const QImage& picture, int width);

    // Where cell (x, y, z) falls: depth d.F, u = f (d.up) / depth / h and
    // v = f (d.side) / depth / h for d = cell - centre; seen when |u| < 1 and
    // |v| < 1, then px = trunc((u + 1) / 2 W), py = trunc((v + 1) / 2 H).
    Projection project(int x, int y, int z) const;

    int width() const { return _width; }
    int height() const { return _height; }
    int pixelCount() const { return _width * _height; }
    int pixelIndex(int px, int py) const { return px * _height + py; }
    int columnOf(int index) const { return index / _height; }
    int rowOf(int index) const { return index % _height; }
    bool hasFigurePixels() const { return _figure_distances.hasDarkPixels(); }

    // Squared distance in pixels from (px, py) to the nearest figure pixel
    // (+infinity without one).
    float squaredDistanceToFigure(int px, int py) const { return _figure_distances.at(px, py); }
    // Nearest figure pixel (built on first use).
    DarkPixelSearch& pointIndex();
    void rebuildPointIndex();
    // Every pixel untreated again and a fresh point index.
    void refresh();

    // The camera in grid units as given.
    const PerspectiveCamera& camera() const { return _camera; }

    // ---- fields -----------------------------------------------------------------
    ByteMap _second_mask;  // W x H, 1 until the region finder visits the pixel
    int _threshold = kFigureThreshold;
    int _width = 0, _height = 0;
    float _half_image_size = 0.0f;
    float _cell_size = 0.0f;
    QString _source_path;
    QImage _picture;      // the rendering scaled to width 50
    ByteMap _figure_mask; // W x H, 1 on the figure
    // Per pixel: the occupied cells projecting onto it (kept only for figure
    // pixels), and every grid cell projecting onto it.
    std::vector<std::vector<CellIndex>> _occupied_cells;
    std::vector<std::vector<CellIndex>> _all_cells;
    // Camera in grid units and its orthonormal frame.
    Vector3 _center{}, _look_at{};
    Vector3 _forward{}, _up{}, _side{};
    double _focal = 0.0;

private:
    PerspectiveCamera _camera;
    SquaredDistanceMap _figure_distances;
    std::unique_ptr<DarkPixelSearch> _point_index;
};
