#include "volume/Placement.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

namespace {

constexpr double kCentre = kCanvasSize * 0.5;
constexpr double kTolerance = 1e-9;  // canvas pixels a box may stray by rounding
// Shrunk figures: coverage from which a ridge (a line thinner than a canvas
// pixel) stays black.
constexpr double kRidgeCoverage = 0.2;

struct Vec {
    double x, y;
};

// Canvas point of picture point u (picture pixels, continuous) and back.
struct Transform {
    double fit = 1, scale = 1, dx = 0, dy = 0;
    double halfW = 0, halfH = 0;
    int turns = 0;
    bool mirror = false;

    Transform(const Figure& figure, const Placement& p)
        : fit(double(kCanvasSize) / std::max(figure.width, figure.height)), scale(p.scale), dx(p.dx), dy(p.dy),
          halfW(figure.width * 0.5), halfH(figure.height * 0.5), turns(((p.quarterTurns % 4) + 4) % 4),
          mirror(p.mirror)
    {
    }

    Vec toCanvas(Vec u) const
    {
        Vec p{(u.x - halfW) * fit, (u.y - halfH) * fit};
        if (mirror)
            p.x = -p.x;
        for (int t = 0; t < turns; ++t)
            p = {-p.y, p.x};  // clockwise with y down
        return {kCentre + p.x * scale + dx, kCentre + p.y * scale + dy};
    }

    Vec toPicture(Vec q) const
    {
        Vec p{(q.x - kCentre - dx) / scale, (q.y - kCentre - dy) / scale};
        for (int t = 0; t < turns; ++t)
            p = {p.y, -p.x};
        if (mirror)
            p.x = -p.x;
        return {p.x / fit + halfW, p.y / fit + halfH};
    }
};

// Corners of the figure's pixels (picture pixels): [x0, x1) x [y0, y1).
struct PixelBox {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty = true;
};

PixelBox figureBox(const Figure& figure)
{
    PixelBox box{figure.width, figure.height, 0, 0, true};
    for (int y = 0; y < figure.height; ++y) {
        const std::uint8_t* row = figure.mask.data() + std::size_t(y) * std::size_t(figure.width);
        const std::uint8_t* end = row + figure.width;
        const std::uint8_t* first = std::find_if(row, end, [](std::uint8_t v) { return v != 0; });
        if (first == end)
            continue;
        const std::uint8_t* last = std::find_if(std::make_reverse_iterator(end), std::make_reverse_iterator(first),
                                                [](std::uint8_t v) { return v != 0; }).base();
        box.x0 = std::min(box.x0, int(first - row));
        box.x1 = std::max(box.x1, int(last - row));
        box.y0 = std::min(box.y0, y);
        box.y1 = std::max(box.y1, y + 1);
        box.empty = false;
    }
    return box;
}

bool finitePlacement(const Placement& p)
{
    return std::isfinite(p.scale) && p.scale > 0 && std::isfinite(p.dx) && std::isfinite(p.dy);
}

// Area of the figure below and left of picture points, exact for fractional
// corners: the integral of the mask is the bilinear interpolation of its
// summed-area table.
class Coverage {
public:
    explicit Coverage(const Figure& figure) : _w(figure.width), _h(figure.height), _sum(std::size_t(_w + 1) * (_h + 1), 0)
    {
        for (int y = 0; y < _h; ++y) {
            double row = 0;
            for (int x = 0; x < _w; ++x) {
                row += figure.at(x, y) ? 1.0 : 0.0;
                at(x + 1, y + 1) = at(x + 1, y) + row;
            }
        }
    }

    // A coordinate clamped to the picture: its whole pixel and the fraction beyond.
    struct Split {
        int i;
        double f;
    };
    Split splitX(double x) const { return split(x, _w); }
    Split splitY(double y) const { return split(y, _h); }

    // The figure's area in [0, x) x [0, y).
    double integral(const Split& x, const Split& y) const
    {
        const int ix = x.i, iy = y.i;
        const double fx = x.f, fy = y.f;
        return at(ix, iy) * (1 - fx) * (1 - fy) + at(ix + 1, iy) * fx * (1 - fy) + at(ix, iy + 1) * (1 - fx) * fy +
               at(ix + 1, iy + 1) * fx * fy;
    }

private:
    static Split split(double v, int size)
    {
        v = std::clamp(v, 0.0, double(size));
        const int i = std::min(int(v), size - 1);
        return {i, v - i};
    }

    double& at(int x, int y) { return _sum[std::size_t(y) * (_w + 1) + x]; }
    double at(int x, int y) const { return _sum[std::size_t(y) * (_w + 1) + x]; }

    int _w, _h;
    std::vector<double> _sum;
};

QString numberText(double v)
{
    char buffer[64];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, v).ptr;
    return QString::fromLatin1(buffer, int(end - buffer));
}

}  // namespace

CanvasBox placedBox(const Figure& figure, const Placement& placement)
{
    const PixelBox box = figureBox(figure);
    if (figure.empty() || box.empty)
        return {};
    const Transform t(figure, placement);
    const Vec a = t.toCanvas({double(box.x0), double(box.y0)});
    const Vec b = t.toCanvas({double(box.x1), double(box.y1)});
    return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)};
}

bool placementFits(const Figure& figure, const Placement& placement)
{
    if (!finitePlacement(placement) || figure.empty())
        return false;
    const CanvasBox box = placedBox(figure, placement);
    return box.left >= -kTolerance && box.top >= -kTolerance && box.right <= kCanvasSize + kTolerance &&
           box.bottom <= kCanvasSize + kTolerance;
}

Placement clampPlacement(const Figure& figure, const Placement& placement)
{
    Placement p = placement;
    p.quarterTurns = ((p.quarterTurns % 4) + 4) % 4;
    if (!std::isfinite(p.scale) || !(p.scale > 0))
        p.scale = 1;
    if (!std::isfinite(p.dx))
        p.dx = 0;
    if (!std::isfinite(p.dy))
        p.dy = 0;
    if (figure.empty())
        return p;
    CanvasBox box = placedBox(figure, p);
    const double larger = std::max(box.right - box.left, box.bottom - box.top);
    if (larger > kCanvasSize) {
        p.scale *= kCanvasSize / larger;
        box = placedBox(figure, p);
    }
    if (box.left < 0)
        p.dx -= box.left;
    else if (box.right > kCanvasSize)
        p.dx -= box.right - kCanvasSize;
    if (box.top < 0)
        p.dy -= box.top;
    else if (box.bottom > kCanvasSize)
        p.dy -= box.bottom - kCanvasSize;
    return p;
}

PlacedMask placedMask(const Figure& figure, const Placement& placement)
{
    PlacedMask placed;
    if (figure.empty() || !finitePlacement(placement))
        return placed;
    const CanvasBox box = placedBox(figure, placement);
    if (!(box.right > box.left))
        return placed;
    const Transform t(figure, placement);
    const Coverage coverage(figure);
    const double pixelArea = 1.0 / (t.fit * t.scale * t.fit * t.scale);  // picture pixels per canvas pixel
    const bool shrunk = t.fit * t.scale < 1.0;

    // Coverage of the canvas pixels around the figure's box, one pixel more
    // on each side for the ridge test.
    const int i0 = int(std::floor(box.left + kTolerance)) - 1, i1 = int(std::ceil(box.right - kTolerance)) + 1;
    const int j0 = int(std::floor(box.top + kTolerance)) - 1, j1 = int(std::ceil(box.bottom - kTolerance)) + 1;
    const int w = i1 - i0, h = j1 - j0;
    // A canvas pixel's corners map onto the corners of its picture rectangle,
    // the same corner of every pixel onto the same corner of its rectangle:
    // the figure's integral is taken once per canvas corner. A picture
    // coordinate follows one canvas coordinate only: the column's for x and
    // the row's for y, or the other way round after an odd number of quarter
    // turns.
    std::vector<Coverage::Split> alongColumns(std::size_t(w + 1)), alongRows(std::size_t(h + 1));
    const bool turned = t.turns % 2 == 1;
    for (int i = 1; i < w; ++i) {
        const Vec a = t.toPicture({double(i0 + i), double(j0 + 1)});
        alongColumns[std::size_t(i)] = turned ? coverage.splitY(a.y) : coverage.splitX(a.x);
    }
    for (int j = 1; j < h; ++j) {
        const Vec a = t.toPicture({double(i0 + 1), double(j0 + j)});
        alongRows[std::size_t(j)] = turned ? coverage.splitX(a.x) : coverage.splitY(a.y);
    }
    // Which corner (offsets along x and y, 0 or 1) lands on the rectangle's
    // corners (x0, y0), (x1, y0), (x0, y1), (x1, y1).
    int corner[2][2][2] = {};
    {
        const Vec a = t.toPicture({double(i0 + 1), double(j0 + 1)});
        const Vec b = t.toPicture({double(i0 + 2), double(j0 + 2)});
        for (int u = 0; u < 2; ++u)
            for (int v = 0; v < 2; ++v) {
                const Vec c = t.toPicture({double(i0 + 1 + u), double(j0 + 1 + v)});
                const int right = c.x == std::max(a.x, b.x) ? 1 : 0, bottom = c.y == std::max(a.y, b.y) ? 1 : 0;
                corner[right][bottom][0] = u;
                corner[right][bottom][1] = v;
            }
    }
    // The integral along canvas corner rows j and j + 1, and the coverage of
    // pixel rows j - 1, j and j + 1 (the ridge test looks one row up and
    // down; rows and columns beyond the box cover nothing).
    std::vector<double> integral[2] = {std::vector<double>(std::size_t(w + 1), 0.0), std::vector<double>(std::size_t(w + 1), 0.0)};
    std::vector<double> cov[3] = {std::vector<double>(std::size_t(w), 0.0), std::vector<double>(std::size_t(w), 0.0),
                                  std::vector<double>(std::size_t(w), 0.0)};
    const auto integralRow = [&](int j, std::vector<double>& out) {
        for (int i = 1; i < w; ++i)
            out[std::size_t(i)] = turned ? coverage.integral(alongRows[std::size_t(j)], alongColumns[std::size_t(i)])
                                         : coverage.integral(alongColumns[std::size_t(i)], alongRows[std::size_t(j)]);
    };
    // Coverage of the row between the integral's two rows.
    const auto coverageRow = [&](std::vector<double>& out) {
        const auto at = [&](int i, int right, int bottom) {
            return integral[corner[right][bottom][1]][std::size_t(i + corner[right][bottom][0])];
        };
        for (int i = 1; i + 1 < w; ++i)
            out[std::size_t(i)] = (at(i, 1, 1) - at(i, 0, 1) - at(i, 1, 0) + at(i, 0, 0)) / pixelArea;
    };
    const auto ridge = [](double left, double mid, double right) {
        return mid >= left && mid >= right && (mid > left || mid > right);
    };

    placed.left = i0 + 1;
    placed.top = j0 + 1;
    placed.width = w - 2;
    placed.height = h - 2;
    placed.mask.assign(std::size_t(placed.width) * placed.height, 0);
    integralRow(1, integral[0]);
    integralRow(2, integral[1]);
    coverageRow(cov[1]);
    for (int j = 1; j + 1 < h; ++j) {
        const std::vector<double>& above = cov[(j - 1) % 3];
        const std::vector<double>& here = cov[j % 3];
        std::vector<double>& below = cov[(j + 1) % 3];
        if (j + 2 < h) {
            std::swap(integral[0], integral[1]);
            integralRow(j + 2, integral[1]);
            coverageRow(below);
        } else {
            std::fill(below.begin(), below.end(), 0.0);
        }
        for (int i = 1; i + 1 < w; ++i) {
            const double v = here[std::size_t(i)];
            bool dark = v >= 0.5 - 1e-12;
            if (!dark && shrunk && v >= kRidgeCoverage)
                dark = ridge(here[std::size_t(i - 1)], v, here[std::size_t(i + 1)]) ||
                       ridge(above[std::size_t(i)], v, below[std::size_t(i)]);
            placed.mask[std::size_t(j - 1) * placed.width + (i - 1)] = dark ? 1 : 0;
        }
    }
    return placed;
}

Result<QImage> placeFigure(const Figure& figure, const Placement& placement)
{
    if (figure.empty() || figure.count() == 0)
        return fail(QStringLiteral("The picture has no figure to place."));
    if (!placementFits(figure, placement))
        return fail(QStringLiteral("The placement pushes the figure off the canvas."));
    const PlacedMask placed = placedMask(figure, placement);
    QImage canvas(kCanvasSize, kCanvasSize, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    for (int y = std::max(0, placed.top); y < std::min(kCanvasSize, placed.top + placed.height); ++y) {
        auto* line = reinterpret_cast<QRgb*>(canvas.scanLine(y));
        for (int x = std::max(0, placed.left); x < std::min(kCanvasSize, placed.left + placed.width); ++x)
            if (placed.at(x, y))
                line[x] = 0xFF000000;
    }
    return canvas;
}

QString placementText(const Placement& p)
{
    return QStringLiteral("scale=%1 dx=%2 dy=%3 turns=%4 mirror=%5")
        .arg(numberText(p.scale), numberText(p.dx), numberText(p.dy))
        .arg(p.quarterTurns)
        .arg(p.mirror ? 1 : 0);
}

Result<Placement> parsePlacement(const QString& text)
{
    Placement p;
    QStringList seen;
    const QStringList fields = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (fields.isEmpty())
        return fail(QStringLiteral("A placement needs at least one field."));
    for (const QString& field : fields) {
        const int at = field.indexOf(QLatin1Char('='));
        const QString key = at < 0 ? field : field.left(at);
        const QString value = at < 0 ? QString() : field.mid(at + 1);
        if (at < 0 || value.isEmpty())
            return fail(QStringLiteral("Placement field '%1' has no value.").arg(key));
        if (seen.contains(key))
            return fail(QStringLiteral("Placement field '%1' appears twice.").arg(key));
        seen << key;
        bool ok = false;
        if (key == QLatin1String("scale") || key == QLatin1String("dx") || key == QLatin1String("dy")) {
            const double v = value.toDouble(&ok);
            if (!ok || !std::isfinite(v))
                return fail(QStringLiteral("Placement field '%1' is not a number: %2.").arg(key, value));
            if (key == QLatin1String("scale")) {
                if (!(v > 0))
                    return fail(QStringLiteral("The placement scale must be above 0."));
                p.scale = v;
            } else {
                (key == QLatin1String("dx") ? p.dx : p.dy) = v;
            }
        } else if (key == QLatin1String("turns")) {
            const int v = value.toInt(&ok);
            if (!ok || v < 0 || v > 3)
                return fail(QStringLiteral("Placement turns must be 0, 1, 2 or 3."));
            p.quarterTurns = v;
        } else if (key == QLatin1String("mirror")) {
            if (value != QLatin1String("0") && value != QLatin1String("1"))
                return fail(QStringLiteral("Placement mirror must be 0 or 1."));
            p.mirror = value == QLatin1String("1");
        } else {
            return fail(QStringLiteral("Placement field '%1' is unknown.").arg(key));
        }
    }
    return p;
}

QString placementsText(const std::array<Placement, 3>& placements)
{
    QString text;
    for (const Placement& p : placements)
        text += placementText(p) + QLatin1Char('\n');
    return text;
}

Result<std::array<Placement, 3>> parsePlacements(const QString& text)
{
    std::array<Placement, 3> placements;
    int found = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines[i].trimmed().isEmpty())
            continue;
        if (found == 3)
            return fail(QStringLiteral("Placement line %1: a design has three placements only.").arg(i + 1));
        const Result<Placement> p = parsePlacement(lines[i]);
        if (!p.ok())
            return fail(QStringLiteral("Placement line %1: %2").arg(i + 1).arg(p.error()));
        placements[std::size_t(found++)] = p.value();
    }
    if (found != 3)
        return fail(QStringLiteral("A placement file needs three placements, found %1.").arg(found));
    return placements;
}
