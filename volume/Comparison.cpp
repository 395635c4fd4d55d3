#include "volume/Comparison.h"

int comparisonSlot(int mode)
{
    switch (mode) {
    case X_PROJECTION: return 0;
    case Y_PROJECTION:
    case Sixty_PROJECTION: return 1;
    case Z_PROJECTION:
    case FortyFive_PROJECTION:
    case OneTwenty_PROJECTION: return 2;
    default: return -1;
    }
}

QImage comparisonImage(const ShadowObject& master, const ShadowView& view)
{
    const ByteMap shadow = master.castShadow(view._projection_mode);
    const int n = shadow.first();
    QImage image(n, n, QImage::Format_RGB32);
    for (int r = 0; r < n; ++r) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(r));
        for (int c = 0; c < n; ++c) {
            const bool cast = shadow.at(c, r) != 0;
            const bool dark = view._image_map.get(c, r) == 1;
            line[c] = cast ? (dark ? ComparisonColor::Shadow : ComparisonColor::Extra)
                           : (dark ? ComparisonColor::Missing : ComparisonColor::Background);
        }
    }
    return image;
}

ComparisonCounts countComparison(const QImage& comparison)
{
    ComparisonCounts counts;
    for (int y = 0; y < comparison.height(); ++y)
        for (int x = 0; x < comparison.width(); ++x) {
            const QRgb p = comparison.pixel(x, y);
            counts.missing += p == ComparisonColor::Missing ? 1 : 0;
            counts.extra += p == ComparisonColor::Extra ? 1 : 0;
            counts.shadow += (p == ComparisonColor::Shadow || p == ComparisonColor::Extra) ? 1 : 0;
        }
    return counts;
}

std::vector<Pixel> missingPixels(const QImage& comparison)
{
    std::vector<Pixel> marked;
    for (int i = 0; i < comparison.width(); ++i)
        for (int j = 0; j < comparison.height(); ++j)
            if (comparison.pixel(i, j) == ComparisonColor::Missing)
                marked.push_back({i, j});
    return marked;
}
