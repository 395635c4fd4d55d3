#include "perspective/PerspectiveView.h"

#include "volume/DarkPixelSearch.h"
#include "volume/ShadowView.h"

#include <algorithm>
#include <cmath>

namespace {

double dotProduct(const Vector3& a, const Vector3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

Vector3 minus(const Vector3& a, const Vector3& b)
{
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}

Vector3 scaled(const Vector3& a, double s)
{
    return {a[0] * s, a[1] * s, a[2] * s};
}

Vector3 crossProduct(const Vector3& a, const Vector3& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

double length(const Vector3& a)
{
    return std::sqrt(dotProduct(a, a));
}

bool finite(const Vector3& a)
{
    return std::isfinite(a[0]) && std::isfinite(a[1]) && std::isfinite(a[2]);
}

// Relative size below which a direction counts as lost: the centre on the
// look-at point, or the up vector along the view direction.
constexpr double kDegenerate = 1e-9;

struct Frame {
    Vector3 forward, up, side;
};

// Forward towards the look-at point, the up vector made orthogonal to it,
// side = up x forward. False when a direction vanishes.
bool orthonormalFrame(const PerspectiveCamera& camera, Frame& frame)
{
    const Vector3 view = minus(camera.lookAt, camera.center);
    const double viewLength = length(view);
    const double scale = std::max({length(camera.center), length(camera.lookAt), 1.0});
    if (!(viewLength > kDegenerate * scale))
        return false;
    frame.forward = scaled(view, 1.0 / viewLength);
    const double upLength = length(camera.up);
    const Vector3 up = minus(camera.up, scaled(frame.forward, dotProduct(camera.up, frame.forward)));
    const double orthogonal = length(up);
    if (!(upLength > 0.0) || !(orthogonal > kDegenerate * upLength))
        return false;
    frame.up = scaled(up, 1.0 / orthogonal);
    const Vector3 side = crossProduct(frame.up, frame.forward);
    frame.side = scaled(side, 1.0 / length(side));
    return true;
}

}  // namespace

PerspectiveCamera toGridUnits(const PerspectiveCamera& camera, int n)
{
    PerspectiveCamera grid = camera;
    for (int i = 0; i < 3; ++i) {
        grid.center[i] = (camera.center[i] + 0.5) * n;
        grid.lookAt[i] = (camera.lookAt[i] + 0.5) * n;
    }
    grid.focalDistance = camera.focalDistance * n;
    return grid;
}

QString cameraProblem(const PerspectiveCamera& camera)
{
    if (!finite(camera.center) || !finite(camera.lookAt) || !finite(camera.up) ||
        !std::isfinite(camera.focalDistance))
        return QStringLiteral("a number is not finite");
    if (!(camera.focalDistance > 0.0))
        return QStringLiteral("the focal distance is not above 0");
    if (camera.imageSize <= 0)
        return QStringLiteral("the image size is not above 0");
    Frame frame;
    if (!orthonormalFrame(camera, frame))
        return QStringLiteral("its centre is its look-at point, or its up vector runs along the view direction");
    return {};
}

PerspectiveView::PerspectiveView(const QImage& picture, const QString& sourcePath, const PerspectiveCamera& camera,
                                 float cellSize)
    : _half_image_size(float(camera.imageSize) / 2.0f),
      _cell_size(cellSize),
      _source_path(sourcePath),
      _camera(camera)
{
    const int width = ShadowView::resolutionFor(cellSize);
    _picture = picture.scaledToWidth(width, Qt::FastTransformation);
    _width = _picture.width();
    _height = _picture.height();
    _figure_mask = figureMask(_picture, _width);
    _second_mask = ByteMap(_width, _height, 1);
    _occupied_cells.resize(std::size_t(pixelCount()));
    _all_cells.resize(std::size_t(pixelCount()));

    _center = camera.center;
    _look_at = camera.lookAt;
    _focal = camera.focalDistance;
    Frame frame;
    const bool oriented = orthonormalFrame(camera, frame);
    Q_ASSERT(oriented);  // cameras are checked before a view is made
    (void)oriented;
    _forward = frame.forward;
    _up = frame.up;
    _side = frame.side;

    _figure_distances = SquaredDistanceMap(_figure_mask);
    rebuildPointIndex();
}

PerspectiveView::~PerspectiveView() = default;

ByteMap PerspectiveView::figureMask(const QImage& picture, int width)
{
    const QImage scaledPicture =
        (picture.width() == width ? picture : picture.scaledToWidth(width, Qt::FastTransformation))
            .convertToFormat(QImage::Format_RGB32);
    ByteMap mask(scaledPicture.width(), scaledPicture.height(), 0);
    for (int py = 0; py < scaledPicture.height(); ++py) {
        const auto* line = reinterpret_cast<const QRgb*>(scaledPicture.constScanLine(py));
        for (int px = 0; px < scaledPicture.width(); ++px) {
            const QRgb p = line[px];
            mask.at(px, py) =
                (qRed(p) < kFigureThreshold && qGreen(p) < kFigureThreshold && qBlue(p) < kFigureThreshold) ? 1 : 0;
        }
    }
    return mask;
}

PerspectiveView::Projection PerspectiveView::project(int x, int y, int z) const
{
    const Vector3 d = {double(x) - _center[0], double(y) - _center[1], double(z) - _center[2]};
    const double depth = dotProduct(d, _forward);
    const double h = _half_image_size;
    const double u = _focal * dotProduct(d, _up) / depth / h;
    const double v = _focal * dotProduct(d, _side) / depth / h;
    Projection p;
    if (!(std::fabs(u) < 1.0 && std::fabs(v) < 1.0))
        return p;  // also a cell at depth 0, whose u and v are not finite
    p.seen = true;
    // u just below 1 can round to W; such a cell belongs to the last pixel.
    p.px = std::min(static_cast<int>((u + 1.0) / 2.0 * _width), _width - 1);
    p.py = std::min(static_cast<int>((v + 1.0) / 2.0 * _height), _height - 1);
    p.inFigure = _figure_mask.at(p.px, p.py) != 0;
    return p;
}

DarkPixelSearch& PerspectiveView::pointIndex()
{
    if (!_point_index)
        rebuildPointIndex();
    return *_point_index;
}

void PerspectiveView::rebuildPointIndex()
{
    _point_index = std::make_unique<DarkPixelSearch>(_figure_mask);
}

void PerspectiveView::refresh()
{
    _second_mask.fill(1);
    rebuildPointIndex();
}
