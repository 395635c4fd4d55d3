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

// N x N comparison image of the master's shadow in `mode` against the map of
// the last view with that mode (a plain shadow when no view has it).
QImage comparisonImage(ShadowObject& master, int mode, const std::vector<ShadowObject*>& views);

struct ComparisonCounts {
    int missing = 0;
    int extra = 0;
};
ComparisonCounts countComparison(const QImage& comparison);
