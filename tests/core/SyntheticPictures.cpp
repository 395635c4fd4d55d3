#include "SyntheticPictures.h"

#include <QPainter>
#include <QPolygonF>

#include <random>

namespace {

// A colour whose three channels are all below the dark limit, or (one in
// four, unless the shape must be dark) a light one with a single channel at or
// above it.
QColor figureColor(std::mt19937& rng, bool mustBeDark)
{
    std::uniform_int_distribution<int> channel(0, 99);
    QColor c(channel(rng), channel(rng), channel(rng));
    if (!mustBeDark && rng() % 4 == 0) {
        const int light = std::uniform_int_distribution<int>(100, 255)(rng);
        const auto which = rng() % 3;
        c = QColor(which == 0 ? light : c.red(), which == 1 ? light : c.green(), which == 2 ? light : c.blue());
    }
    return c;
}

void paintBlobs(QPainter& p, std::mt19937& rng, int w, int h)
{
    std::uniform_real_distribution<double> cx(0.2 * w, 0.8 * w), cy(0.2 * h, 0.8 * h);
    std::uniform_real_distribution<double> rx(0.05 * w, 0.3 * w), ry(0.05 * h, 0.3 * h);
    for (int k = 0; k < 7; ++k) {
        p.setBrush(figureColor(rng, k == 0));
        p.drawEllipse(QPointF(cx(rng), cy(rng)), rx(rng), ry(rng));
    }
}

void paintPolygons(QPainter& p, std::mt19937& rng, int w, int h)
{
    std::uniform_real_distribution<double> px(0.05 * w, 0.95 * w), py(0.05 * h, 0.95 * h);
    for (int k = 0; k < 4; ++k) {
        QPolygonF polygon;
        const int corners = 4 + int(rng() % 6);
        for (int i = 0; i < corners; ++i)
            polygon << QPointF(px(rng), py(rng));
        p.setBrush(figureColor(rng, k == 0));
        p.drawPolygon(polygon, k % 2 ? Qt::OddEvenFill : Qt::WindingFill);
    }
}

void paintStrokes(QPainter& p, std::mt19937& rng, int w, int h)
{
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(0.5 * w, 0.5 * h), 0.08 * w, 0.08 * h);
    std::uniform_real_distribution<double> px(0.0, w), py(0.0, h);
    p.setBrush(Qt::NoBrush);
    for (int k = 0; k < 12; ++k) {
        p.setPen(QPen(QColor(20, 20, 20), 1 + k % 2));
        p.drawLine(QPointF(px(rng), py(rng)), QPointF(px(rng), py(rng)));
    }
    p.setPen(Qt::NoPen);
}

void paintGreys(QPainter& p, std::mt19937& rng, int w, int h)
{
    static const QColor levels[] = {
        QColor(98, 98, 98), QColor(99, 99, 99),   QColor(100, 100, 100), QColor(101, 101, 101),
        QColor(99, 99, 100), QColor(99, 100, 99), QColor(100, 99, 99),   QColor(0, 0, 99),
    };
    p.setBrush(QColor(99, 99, 99));
    p.drawEllipse(QPointF(0.5 * w, 0.5 * h), 0.3 * w, 0.35 * h);
    std::uniform_real_distribution<double> px(0.0, 0.9 * w), py(0.0, 0.9 * h);
    for (int k = 0; k < 24; ++k) {
        p.setBrush(levels[rng() % std::size(levels)]);
        p.drawRect(QRectF(px(rng), py(rng), 0.04 * w + rng() % 30, 0.04 * h + rng() % 30));
    }
}

}  // namespace

QImage syntheticPicture(Painted figure, unsigned seed, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    std::mt19937 rng(seed);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(Qt::NoPen);
    switch (figure) {
    case Painted::Blobs: paintBlobs(p, rng, width, height); break;
    case Painted::Ellipse:
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(0.5 * width, 0.5 * height), 0.4 * width, 0.3 * height);
        break;
    case Painted::Polygons: paintPolygons(p, rng, width, height); break;
    case Painted::Strokes: paintStrokes(p, rng, width, height); break;
    case Painted::Greys: paintGreys(p, rng, width, height); break;
    }
    return picture;
}

QImage pictureWithPixels(std::initializer_list<QPoint> pixels, QRgb color, int width, int height)
{
    QImage picture(width, height, QImage::Format_RGB32);
    picture.fill(Qt::white);
    for (const QPoint& p : pixels)
        picture.setPixel(p, color);
    return picture;
}
