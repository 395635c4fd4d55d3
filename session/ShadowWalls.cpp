#include "session/ShadowWalls.h"

#include "volume/Cell.h"
#include "volume/Comparison.h"

#include <QRect>
#include <QVector2D>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ShadowWalls {

namespace {

constexpr QRgb kWall = qRgb(238, 235, 228);
constexpr QRgb kShadow = qRgb(74, 67, 62);  // warm: apart from the cool grey volume
constexpr QRgb kMissedFigure = qRgb(238, 212, 184);
constexpr QRgb kWhite = 0xFFFFFFFF;

constexpr float kTexelsPerPixel = 4.0f;  // texels per shadow pixel
constexpr int kMaxTexels = 2048;
// The walls stand this far beyond the volume, in its largest half extent,
// and leave this much room around each shadow.
constexpr float kGapFactor = 0.3f;

// A view's light direction (from the light through the volume to its wall)
// and the directions of the picture's columns and rows. Pixel column c of
// an oblique view holds the cells whose corner projects into [c, c + 1)
// cells; their centres lie columnOffset cells further on.
struct Frame {
    QVector3D light, column, row;
    float columnOffset = 0.0f;
};

bool frameOf(int mode, Frame& frame)
{
    const QVector3D z(0.0f, 0.0f, 1.0f);
    switch (mode) {
    case X_PROJECTION: frame = {{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, z, 0.0f}; return true;
    case Y_PROJECTION: frame = {{0.0f, -1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}, z, 0.0f}; return true;
    case Z_PROJECTION: frame = {z, {1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, 0.0f}; return true;
    case FortyFive_PROJECTION:
        frame = {{0.7071f, -0.7071f, 0.0f}, {0.7071f, 0.7071f, 0.0f}, z, 0.7071f};
        return true;
    case Sixty_PROJECTION: frame = {{0.5f, -0.866f, 0.0f}, {0.866f, 0.5f, 0.0f}, z, 0.683f}; return true;
    case OneTwenty_PROJECTION: frame = {{-0.5f, -0.866f, 0.0f}, {0.866f, -0.5f, 0.0f}, z, 0.183f}; return true;
    default: return false;
    }
}

// Bounding rectangle of the pixels that are not white; empty when none is.
QRect markedPixels(const QImage& image)
{
    int left = image.width(), right = -1, top = image.height(), bottom = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kWhite) {
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
    return right < 0 ? QRect() : QRect(QPoint(left, top), QPoint(right, bottom));
}

QRgb pixelOrWhite(const QImage& image, int x, int y)
{
    return x >= 0 && y >= 0 && x < image.width() && y < image.height() ? image.pixel(x, y) : kWhite;
}

// A picture of a wall `width` x `height` units large at `texelsPerUnit`;
// `sample(a, b)` gives the shadow pixel at the fractions a across and b down.
template <class Sample>
QImage wallPicture(float width, float height, float texelsPerUnit, Sample sample)
{
    auto texels = [&](float units) { return std::clamp(int(std::ceil(units * texelsPerUnit)), 1, kMaxTexels); };
    QImage picture(texels(width), texels(height), QImage::Format_RGB32);
    for (int j = 0; j < picture.height(); ++j) {
        auto* line = reinterpret_cast<QRgb*>(picture.scanLine(j));
        const float b = (float(j) + 0.5f) / float(picture.height());
        for (int i = 0; i < picture.width(); ++i)
            line[i] = wallColour(sample((float(i) + 0.5f) / float(picture.width()), b));
    }
    return picture;
}

QImage plainPicture()
{
    QImage picture(1, 1, QImage::Format_RGB32);
    picture.fill(kWall);
    return picture;
}

ShadowWall rectangleWall(QImage picture, const QVector3D& origin, const QVector3D& across, const QVector3D& down)
{
    return {std::move(picture), origin, across, down, {origin, origin + across, origin + across + down, origin + down}};
}

float cross2(const QVector2D& o, const QVector2D& a, const QVector2D& b)
{
    return (a.x() - o.x()) * (b.y() - o.y()) - (a.y() - o.y()) * (b.x() - o.x());
}

// Counter-clockwise convex hull (monotone chain).
std::vector<QVector2D> convexHull(std::vector<QVector2D> points)
{
    std::sort(points.begin(), points.end(), [](const QVector2D& a, const QVector2D& b) {
        return a.x() < b.x() || (a.x() == b.x() && a.y() < b.y());
    });
    if (points.size() < 3)
        return points;
    std::vector<QVector2D> hull(2 * points.size());
    std::size_t k = 0;
    for (const QVector2D& p : points) {
        while (k >= 2 && cross2(hull[k - 2], hull[k - 1], p) <= 0.0f)
            --k;
        hull[k++] = p;
    }
    const std::size_t lower = k + 1;
    for (auto it = points.rbegin() + 1; it != points.rend(); ++it) {
        while (k >= lower && cross2(hull[k - 2], hull[k - 1], *it) <= 0.0f)
            --k;
        hull[k++] = *it;
    }
    hull.resize(k - 1);
    return hull;
}

// A wall of a horizontal view, as the room is being laid out.
struct Side {
    Frame frame;
    const QImage* shadow = nullptr;
    float angle = 0.0f;           // of the light direction in the x-y plane
    float centreColumn = 0.0f;    // the box centre along the column direction
    float low = 0.0f, high = 0.0f;  // the shadow's reach from there, each way
    float zTop = 0.0f, zBottom = 0.0f;
};

}  // namespace

QRgb wallColour(QRgb shadowPixel)
{
    if (shadowPixel == ComparisonColor::Missing)
        return kMissedFigure;
    return qGray(shadowPixel) < 128 ? kShadow : kWall;
}

// The horizontal walls are tangent to a circle of radius R around the box
// centre, one per light direction, each running to where it meets its
// neighbours (the next direction round) or, at the ends, to the content's
// edge. R is the smallest radius at which every wall stands beyond the
// volume and every shadow, with room around it, lies on its own wall.
std::vector<ShadowWall> directionalWalls(const DirectionalScene& scene)
{
    const float cs = scene.cellSize;
    const QVector3D low(scene.boxMin[0], scene.boxMin[1], scene.boxMin[2]);
    const QVector3D high(scene.boxMax[0], scene.boxMax[1], scene.boxMax[2]);
    if (!(cs > 0.0f) || !(high.x() > low.x() && high.y() > low.y() && high.z() > low.z()))
        return {};
    const QVector3D centre = 0.5f * (low + high);
    const QVector3D half = 0.5f * (high - low);
    const float gap = std::max(kGapFactor * std::max({half.x(), half.y(), half.z()}), 2.0f * cs);

    // The content the room must hold, in the x-y plane: the box and the
    // floor's shadow, each with room around it.
    std::vector<QVector2D> content;
    for (int i = 0; i < 4; ++i)
        content.emplace_back(i & 1 ? high.x() + gap : low.x() - gap, i & 2 ? high.y() + gap : low.y() - gap);
    float zTop = low.z() - gap, zFloor = high.z() + gap;

    std::vector<Side> sides;
    const QImage* floorShadow = nullptr;
    for (const DirectionalView& view : scene.views) {
        Frame frame;
        if (view.shadow.isNull() || !frameOf(view.mode, frame))
            continue;
        const QRect marked = markedPixels(view.shadow);
        if (view.mode == Z_PROJECTION) {
            floorShadow = &view.shadow;
            if (!marked.isEmpty())
                for (int i = 0; i < 4; ++i)
                    content.emplace_back(cs * float(i & 1 ? marked.right() + 1 : marked.left()) + (i & 1 ? gap : -gap),
                                         cs * float(i & 2 ? marked.bottom() + 1 : marked.top()) +
                                             (i & 2 ? gap : -gap));
            continue;
        }
        Side side;
        side.frame = frame;
        side.shadow = &view.shadow;
        side.angle = std::atan2(frame.light.y(), frame.light.x());
        side.centreColumn = QVector3D::dotProduct(centre, frame.column);
        float first = 0.0f, last = 0.0f;
        if (marked.isEmpty()) {
            first = last = side.centreColumn;
        } else {
            first = cs * (float(marked.left()) + frame.columnOffset);
            last = cs * (float(marked.right() + 1) + frame.columnOffset);
            zTop = std::min(zTop, cs * float(marked.top()) - gap);
            zFloor = std::max(zFloor, cs * float(marked.bottom() + 1) + gap);
        }
        side.low = std::max(0.0f, side.centreColumn - first) + gap;
        side.high = std::max(0.0f, last - side.centreColumn) + gap;
        sides.push_back(side);
    }
    // Round from the x direction clockwise (seen from above the floor).
    std::sort(sides.begin(), sides.end(), [](const Side& a, const Side& b) { return a.angle > b.angle; });

    float radius = 0.0f;
    for (const Side& side : sides) {
        for (int i = 0; i < 8; ++i) {
            const QVector3D corner(i & 1 ? high.x() : low.x(), i & 2 ? high.y() : low.y(), i & 4 ? high.z() : low.z());
            radius = std::max(radius, QVector3D::dotProduct(corner - centre, side.frame.light) + gap);
        }
        for (const QVector2D& p : content)
            radius = std::max(radius, QVector3D::dotProduct(QVector3D(p, centre.z()) - centre, side.frame.light));
    }
    // Half the angle to the next wall round, as a tangent; 0: no neighbour.
    std::vector<float> toNext(sides.size(), 0.0f);
    for (std::size_t k = 0; k + 1 < sides.size(); ++k) {
        const float turn = sides[k].angle - sides[k + 1].angle;
        if (!(turn > 1.0e-3f && turn < std::numbers::pi_v<float> - 1.0e-3f))
            continue;
        toNext[k] = std::tan(0.5f * turn);
        radius = std::max({radius, sides[k].low / toNext[k], sides[k + 1].high / toNext[k]});
    }

    std::vector<ShadowWall> walls;
    std::vector<QVector2D> footprint = content;
    for (std::size_t k = 0; k < sides.size(); ++k) {
        const Side& side = sides[k];
        const Frame& f = side.frame;
        // The next wall round lies towards smaller columns, the one before
        // towards larger ones. Open ends reach to the content's edge.
        float from = -side.low, to = side.high;
        for (const QVector2D& p : content) {
            const float u = QVector3D::dotProduct(QVector3D(p, 0.0f), f.column) - side.centreColumn;
            from = std::min(from, u);
            to = std::max(to, u);
        }
        if (toNext[k] > 0.0f)
            from = -radius * toNext[k];
        if (k > 0 && toNext[k - 1] > 0.0f)
            to = radius * toNext[k - 1];
        const QVector3D foot = centre + radius * f.light;  // where the wall touches the circle
        const QVector3D origin(foot.x() + from * f.column.x(), foot.y() + from * f.column.y(), zTop);
        const QVector3D across = (to - from) * f.column;
        const QVector3D down(0.0f, 0.0f, zFloor - zTop);
        const QImage& shadow = *side.shadow;
        const float firstColumn = side.centreColumn + from;
        QImage picture = wallPicture(to - from, zFloor - zTop, kTexelsPerPixel / cs, [&](float a, float b) {
            const float u = firstColumn + a * (to - from);
            const float z = zTop + b * (zFloor - zTop);
            return pixelOrWhite(shadow, int(std::floor(u / cs - f.columnOffset)), int(std::floor(z / cs)));
        });
        walls.push_back(rectangleWall(std::move(picture), origin, across, down));
        footprint.emplace_back(origin.x() + across.x(), origin.y() + across.y());
        footprint.emplace_back(origin.x(), origin.y());
    }

    // The floor: everything the walls stand round, and the z view's shadow.
    const std::vector<QVector2D> hull = convexHull(footprint);
    if (hull.size() >= 3) {
        float x0 = hull[0].x(), x1 = x0, y0 = hull[0].y(), y1 = y0;
        for (const QVector2D& p : hull) {
            x0 = std::min(x0, p.x());
            x1 = std::max(x1, p.x());
            y0 = std::min(y0, p.y());
            y1 = std::max(y1, p.y());
        }
        QImage picture = floorShadow ? wallPicture(x1 - x0, y1 - y0, kTexelsPerPixel / cs,
                                                   [&](float a, float b) {
                                                       return pixelOrWhite(*floorShadow,
                                                                           int(std::floor((x0 + a * (x1 - x0)) / cs)),
                                                                           int(std::floor((y0 + b * (y1 - y0)) / cs)));
                                                   })
                                     : plainPicture();
        ShadowWall floor{std::move(picture), QVector3D(x0, y0, zFloor), QVector3D(x1 - x0, 0.0f, 0.0f),
                         QVector3D(0.0f, y1 - y0, 0.0f), {}};
        for (const QVector2D& p : hull)
            floor.outline.emplace_back(p, zFloor);
        walls.push_back(std::move(floor));
    }
    return walls;
}

// Each wall stands `gap` beyond the farthest corner of the box from the
// light; the picture there is the picture plane's, grown by depth / focal.
// The wall is seen from the volume's side: where that would show the
// picture mirrored, the picture is mirrored and its corner moved across.
std::vector<ShadowWall> pointLightWalls(const PointLightScene& scene)
{
    const float cs = scene.cellSize;
    const QVector3D low = QVector3D(scene.boxMin[0], scene.boxMin[1], scene.boxMin[2]) / cs;
    const QVector3D high = QVector3D(scene.boxMax[0], scene.boxMax[1], scene.boxMax[2]) / cs;
    if (!(cs > 0.0f) || !(high.x() > low.x() && high.y() > low.y() && high.z() > low.z()))
        return {};
    const QVector3D half = 0.5f * (high - low);
    const float gap = kGapFactor * std::max({half.x(), half.y(), half.z()});
    std::vector<ShadowWall> walls;
    for (const PointLightView& view : scene.views) {
        if (view.shadow.isNull() || !(view.focal > 0.0f))
            continue;
        float depth = 0.0f;
        for (int i = 0; i < 8; ++i) {
            const QVector3D corner(i & 1 ? high.x() : low.x(), i & 2 ? high.y() : low.y(), i & 4 ? high.z() : low.z());
            depth = std::max(depth, QVector3D::dotProduct(corner - view.centre, view.forward));
        }
        depth += gap;
        const float reach = view.halfSize * depth / view.focal;
        QVector3D origin = cs * (view.centre + depth * view.forward - reach * view.up - reach * view.side);
        QVector3D across = cs * 2.0f * reach * view.up;
        const QVector3D down = cs * 2.0f * reach * view.side;
        const QImage& shadow = view.shadow;
        QImage picture = wallPicture(float(shadow.width()), float(shadow.height()), kTexelsPerPixel,
                                     [&](float a, float b) {
                                         return pixelOrWhite(shadow, int(a * float(shadow.width())),
                                                             int(b * float(shadow.height())));
                                     });
        if (QVector3D::dotProduct(QVector3D::crossProduct(down, across), view.forward) > 0.0f) {
            picture = picture.mirrored(true, false);
            origin += across;
            across = -across;
        }
        walls.push_back(rectangleWall(std::move(picture), origin, across, down));
    }
    return walls;
}

void toSceneUnits(std::vector<ShadowWall>& walls, const point& centre, float scale)
{
    const QVector3D c(centre[0], centre[1], centre[2]);
    for (ShadowWall& wall : walls) {
        wall.origin = (wall.origin - c) * scale;
        wall.across *= scale;
        wall.down *= scale;
        for (QVector3D& p : wall.outline)
            p = (p - c) * scale;
    }
}

}  // namespace ShadowWalls
