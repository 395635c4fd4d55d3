#pragma once
// The figure of a picture: which of its pixels are the shape whose shadow the
// user wants, at the picture's own size. Every picture a design uses goes
// through a Figure before it is put on the 250 x 250 canvas (volume/Placement.h),
// so the views and the deformable pictures see black-on-white pictures only.
//
// How the figure is told from the ground (the ground is the part that holds
// most of the picture's border; on a tie the darker part is the figure):
// - By hand: a luminance threshold splits the picture; the side that is not
//   the ground is the figure.
// - Transparency: in a picture whose transparent part is the ground, the
//   opaque part is the figure (the more opaque side of the automatic split
//   of the opacity, so a half-transparent shadow counts as opaque).
// - Dark rule: the pixels whose red, green and blue are all below 100, as for
//   every black-on-white picture, when the picture is two-tone in the dark
//   rule's sense: the dark pixels are the darker side of the picture's own
//   luminance split (Otsu's threshold) give or take a tenth, and not the ground.
// - Otherwise (a coloured, grey-on-grey or photographed figure, a dark figure
//   on a ground darker than the dark rule's limit, a light figure on a dark
//   ground): the side of the automatic luminance threshold that is not the
//   ground.
// Luminance is Qt's qGray of the picture laid over white. A picture whose
// luminance does not fall into two distinct parts has no figure.

#include "surface/Result.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

// How the figure of a picture was found.
enum class FigureRule { DarkRule, Transparency, AutomaticThreshold, Threshold };

struct Figure {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> mask;  // row-major (y * width + x), 1 on the figure
    FigureRule rule = FigureRule::DarkRule;
    // For the two threshold rules: the split, luminance below it on one side,
    // at or above it on the other. Typing it as FigureOptions::threshold
    // gives the same figure again.
    int threshold = -1;

    bool empty() const { return width <= 0 || height <= 0; }
    bool at(int x, int y) const { return mask[std::size_t(y) * std::size_t(width) + std::size_t(x)] != 0; }
    int count() const;
    // The figure black on white at the picture's size.
    QImage toImage() const;
    // How the figure was found, for a status line: "dark rule", "transparency",
    // "automatic threshold 128" or "threshold 90".
    QString extraction() const;
};

// How the figure is told from the ground. A negative threshold finds it
// automatically; 0..255 splits the luminance there.
struct FigureOptions {
    int threshold = -1;
};

// Pictures outside these sizes are refused: a larger one before it is decoded.
struct FigureLimits {
    static constexpr int minSide = 8;
    static constexpr int maxSide = 10000;
    static constexpr long long maxPixels = 25'000'000;
};

// The figure of a picture already in memory; fails with one line when the
// picture is too small or too large or has no figure.
Result<Figure> figureOf(const QImage& picture, const FigureOptions& options = {});
// Reads a picture file and finds its figure; fails with one line naming the
// file when it cannot be read, is not a picture, is too large or too small, or
// has no figure.
Result<Figure> loadFigure(const QString& path, const FigureOptions& options = {});
// The same for picture bytes from a device (format from the content); `name`
// stands for the file in messages.
Result<Figure> readFigure(QIODevice& device, const QString& name, const FigureOptions& options = {});
