#include "volume/ShadowView.h"

#include "volume/DarkPixelSearch.h"
#include "volume/Diagnostics.h"
#include "surface/SafeFile.h"

#include <cassert>
#include <cmath>
#include <limits>

namespace {

QString companionPath(const QString& picturePath, const QString& suffix)
{
    QString path = picturePath;
    const int at = path.indexOf(QLatin1String(".png"));
    if (at >= 0)
        path.replace(at, 4, suffix);
    return path;
}

// Pixels outside the picture (or of a picture that failed to load) are light.
QRgb pixelOrWhite(const QImage& image, int x, int y)
{
    return image.valid(x, y) ? image.pixel(x, y) : qRgb(255, 255, 255);
}

}  // namespace

ShadowView::ShadowView(const QImage& picture, const QString& sourcePath, int mode, float cellSize)
    : _source_path(sourcePath), _image(picture), _projection_mode(mode), _cell_size(cellSize),
      _size(resolutionFor(cellSize))
{
    assert(mode >= X_PROJECTION && mode <= OneTwenty_PROJECTION);
}

ShadowView::~ShadowView()
{
    if (!_image_map.empty())
        qCDebug(kalvexVolume, "deleted _image_map");
    if (!_gray_and_not_treated.empty())
        qCDebug(kalvexVolume, "deleted _gray_and_not_treated");
}

int ShadowView::resolutionFor(float cellSize)
{
    return static_cast<int>(std::floor(float(kImageExtent) / cellSize));
}

void ShadowView::quantize(int redLimit, int greenLimit, int blueLimit, bool saveQuantized, DistanceMethod method)
{
    const int n = _size;
    const float cs = _cell_size;
    _gray_and_not_treated = ByteMap(n, n, 1);
    _zeroed.clear();
    _zeroed_cells.clear();
    _ann_tree.reset();

    _image = _image.scaledToWidth(kImageExtent, Qt::FastTransformation);
    _image_map = darkMap(_image, n, cs, redLimit, greenLimit, blueLimit);
    if (saveQuantized) {
        QImage quantized(n, n, QImage::Format_RGB32);
        quantized.fill(Qt::white);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (_image_map.at(i, j))
                    quantized.setPixel(i, j, 0xFF000000);
        const int side = static_cast<int>(float(n) * cs);
        savePictureSafely(quantized.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation),
                          companionPath(_source_path, QStringLiteral("_quant.png")));
    }

    _sq_distances = SquaredDistanceMap(_image_map);
    _distance.clear();
    if (!_sq_distances.hasDarkPixels())
        return;
    // One distance per pixel any cell can project onto, column by column.
    const int columnMin = _sq_distances.columnMin();
    const int columnMax = _sq_distances.columnMax();
    _distance.resize(std::size_t(columnMax - columnMin + 1) * n);
    float* d = _distance.data();
    for (int c = columnMin; c <= columnMax; ++c)
        for (int r = 0; r < n; ++r) {
            const double squared = method == DistanceMethod::KdTree
                                       ? nearestDarkPixel().nearest(c, r).squaredDistance
                                       : double(_sq_distances.at(c, r));
            *d++ = static_cast<float>(std::sqrt(squared));
        }
}

ByteMap ShadowView::darkMap(const QImage& picture, int n, float cellSize, int redLimit, int greenLimit, int blueLimit)
{
    // Map pixel (i, j) samples the picture at the centre of its cell.
    ByteMap map(n, n, 0);
    const int half = static_cast<int>(cellSize * 0.5f);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int px = static_cast<int>(float(i) * cellSize + float(half));
            const int py = static_cast<int>(float(j) * cellSize + float(half));
            const QRgb rgb = pixelOrWhite(picture, px, py);
            const bool dark = qRed(rgb) < redLimit && qGreen(rgb) < greenLimit && qBlue(rgb) < blueLimit;
            map.at(i, j) = dark ? 1 : 0;
        }
    }
    return map;
}

bool ShadowView::pictureHasDarkPixel(const QImage& picture, float cellSize)
{
    const QImage scaled = picture.scaledToWidth(kImageExtent, Qt::FastTransformation);
    return darkMap(scaled, resolutionFor(cellSize), cellSize, 100, 100, 100).count() > 0;
}

float ShadowView::distance(int x, int y, int z) const
{
    if (!_zeroed.empty() && _zeroed.count(cellKey({x, y, z})))
        return 0.0f;
    if (_distance.empty())
        return std::numeric_limits<float>::infinity();
    const Pixel p = pixelOfCell(_projection_mode, x, y, z);
    return _distance[std::size_t(p.column - _sq_distances.columnMin()) * _size + p.row];
}

void ShadowView::zeroDistance(const CellIndex& c)
{
    if (_zeroed.insert(cellKey(c)).second)
        _zeroed_cells.push_back(c);
}

std::size_t ShadowView::cellKey(const CellIndex& c) const
{
    return (std::size_t(c.x) * _size + c.y) * _size + c.z;
}

DarkPixelSearch& ShadowView::nearestDarkPixel()
{
    if (!_ann_tree)
        _ann_tree = std::make_shared<DarkPixelSearch>(_image_map);
    return *_ann_tree;
}
