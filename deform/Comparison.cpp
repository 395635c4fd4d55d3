#include "deform/Comparison.h"

QImage comparisonImage(ShadowObject& master, int mode, const std::vector<ShadowObject*>& views)
{
    QImage image = master.renderShadow(mode);
    const ShadowObject* view = nullptr;
    for (const ShadowObject* v : views)
        if (v->_projection_mode == mode)
            view = v;
    if (!view)
        return image;
    const int n = image.width();
    for (int c = 0; c < n; ++c)
        for (int r = 0; r < n; ++r) {
            const bool shadow = image.pixel(c, r) != ComparisonColor::Background;
            const bool dark = view->_image_map.get(c, r) == 1;
            if (shadow && !dark)
                image.setPixel(c, r, ComparisonColor::Extra);
            else if (!shadow && dark)
                image.setPixel(c, r, ComparisonColor::Missing);
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
        }
    return counts;
}
