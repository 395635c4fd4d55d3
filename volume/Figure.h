#pragma once
// The figure of a picture: which of its pixels are the shape whose shadow the
// user wants, at the picture's own size. Every picture a design uses goes
// through a Figure before it is put on the 250 x 250 canvas (volume/Placement.h),
// so the views and the deformable pictures see black-on-white pictures only.

#include "surface/Result.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

// How the figure of a picture was found.
enum class FigureRule { DarkRule, Transparency, AutomaticThreshold, Threshold };

struct Figure {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> mask;  // row-major (y * width + x), 1 on the figure
    FigureRule rule = FigureRule::DarkRule;
    int threshold = -1;

    bool empty() const { return width <= 0 || height <= 0; }
    bool at(int x, int y) const { return mask[std::size_t(y) * std::size_t(width) + std::size_t(x)] != 0; }
    int count() const;
    // The figure black on white at the picture's size.
    QImage toImage() const;
};

// How the figure is told from the ground. A negative threshold finds it
// automatically; 0..255 splits the luminance there.
struct FigureOptions {
    int threshold = -1;
};

// The figure of a picture already in memory; fails with one line when there
// is none.
Result<Figure> figureOf(const QImage& picture, const FigureOptions& options = {});
// Reads a picture file and finds its figure; fails with one line for a file
// that cannot be read, is not a picture, is too large or too small, or has
// no figure.
Result<Figure> loadFigure(const QString& path, const FigureOptions& options = {});
