#pragma once
// Pictures made for the volume tests: figures painted with QPainter (no
// antialiasing) on a white ground, reproducible from a seed.

#include <QImage>
#include <QPoint>

#include <initializer_list>

enum class Painted {
    Blobs,     // overlapping random ellipses in dark colours
    Ellipse,   // one large black ellipse
    Polygons,  // random filled polygons
    Strokes,   // thin lines 1 and 2 pixels wide around a small disc
    Greys,     // patches at grey levels around the dark limit (98..101, mixed channels)
};

QImage syntheticPicture(Painted figure, unsigned seed, int width = 250, int height = 250);

// White picture with the given pixels painted in `color`.
QImage pictureWithPixels(std::initializer_list<QPoint> pixels, QRgb color = 0xFF000000, int width = 250,
                         int height = 250);
