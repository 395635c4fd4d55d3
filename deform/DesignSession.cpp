#include "deform/DesignSession.h"

#include "deform/Comparison.h"
#include "volume/VolumeBuilder.h"

QString DesignSession::load(int set, const QStringList& paths, float cellSize, bool useMask)
{
    const auto modes = projectionSetModes(set);
    if (!modes || paths.size() != 3)
        return QStringLiteral("Unknown projection set %1.").arg(set);
    // Check every picture before anything changes.
    for (const QString& path : paths) {
        const QImage picture(path);
        if (picture.isNull())
            return QStringLiteral("Cannot read picture %1.").arg(path);
        if (!ShadowObject::pictureHasDarkPixel(picture, cellSize))
            return QStringLiteral("Picture %1 has no dark pixel.").arg(path);
    }
    _master.reset();
    _views.clear();
    _views.reserve(3);
    _cell_size = cellSize;
    for (int k = 0; k < 3; ++k)
        _views.emplace_back(paths[k], 0, (*modes)[k], _models[k], cellSize, useMask);
    _views_need_quantisation = true;
    return {};
}

void DesignSession::compute()
{
    if (_views_need_quantisation) {
        quantizeViews(_views);
        _views_need_quantisation = false;
    }
    _master = buildMaster(_views, _cell_size);
}

AdjustmentStats DesignSession::adjust(const AdjustParameters& parameters)
{
    compute();
    if (!_master)
        return {};
    return adjustImages(*_master, viewPointers(), [this](int slot) { return shownComparison(slot); }, parameters);
}

void DesignSession::recompute()
{
    _master.reset();
    _views = viewsFromDeformedPictures(_views, _cell_size);
    _master = buildMaster(_views, _cell_size);
}

QImage DesignSession::shownComparison(int slot)
{
    if (!_master || slot < 0 || slot >= static_cast<int>(_views.size()))
        return {};
    return comparisonImage(*_master, _views[slot]._projection_mode, viewPointers())
        .scaledToWidth(200, Qt::FastTransformation);
}

DesignSession::Counts DesignSession::counts()
{
    Counts c;
    if (!_master)
        return c;
    c.cells = countOccupiedCells(*_master);
    for (int k = 0; k < static_cast<int>(_views.size()) && k < 3; ++k) {
        const ComparisonCounts counted =
            countComparison(comparisonImage(*_master, _views[k]._projection_mode, viewPointers()));
        c.missing[k] = counted.missing;
        c.extra[k] = counted.extra;
    }
    return c;
}

std::vector<ShadowObject*> DesignSession::viewPointers()
{
    std::vector<ShadowObject*> pointers;
    for (ShadowObject& v : _views)
        pointers.push_back(&v);
    return pointers;
}
