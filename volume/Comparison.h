#pragma once
// Comparison image of one view: where the volume's shadow matches the picture
// (black), where the picture is dark but the volume casts no shadow (orange,
// "missing"), where the volume casts a shadow on light picture (brown, "extra").

#include "volume/ShadowObject.h"

#include <QImage>

#include <vector>

namespace ComparisonColor {
constexpr QRgb Shadow = 0xFF000000;
constexpr QRgb Missing = 0xFFFA6400;
constexpr QRgb Extra = 0xFF993300;
constexpr QRgb Background = 0xFFFFFFFF;
}  // namespace ComparisonColor

// View slot (and comparison label) of a projection mode: X -> 0; Y, 60 -> 1;
// Z, 45, 120 -> 2; -1 for any other value.
int comparisonSlot(int mode);

// N x N comparison image of the volume's shadow in the view's mode against
// the view's dark map.
QImage comparisonImage(const ShadowObject& master, const ShadowView& view);

struct ComparisonCounts {
    int missing = 0;
    int extra = 0;
    int shadow = 0;  // pixels the volume shades (black and brown)
};
ComparisonCounts countComparison(const QImage& comparison);

// Orange (missing) pixels of a comparison image, in column-major order.
std::vector<Pixel> missingPixels(const QImage& comparison);
