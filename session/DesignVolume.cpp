#include "session/DesignVolume.h"

#include "session/ShadowWalls.h"

#include "volume/Comparison.h"
#include "volume/Diagnostics.h"
#include "volume/EditOperations.h"
#include "volume/VolumeContouring.h"

#include <QElapsedTimer>

namespace {

const QString kNoVolume = QStringLiteral("There is no volume to edit.");

}  // namespace

void DesignVolume::adopt(std::unique_ptr<ShadowObject> master)
{
    _master = std::move(master);
    if (_master) {
        _master->setDisplayFlags(_display_flags);
        _master->setHollow(_hollow);
        _master->setEditRadius(_edit_radius);
    }
    refresh();
}

void DesignVolume::refresh()
{
    _comparisons = {};
    _counts = {};
    if (!_master)
        return;
    _counts.cells = _master->occupiedCount();
    updateOccupiedBox(*_master);
    for (std::size_t k = 0; k < _views.size() && k < 3; ++k) {
        _comparisons[k] = comparisonImage(*_master, _views[k]);
        const ComparisonCounts counted = countComparison(_comparisons[k]);
        _counts.missing[k] = counted.missing;
        _counts.extra[k] = counted.extra;
        _counts.shadow[k] = counted.shadow;
    }
}

std::array<int, 3> DesignVolume::dimensions() const
{
    CellIndex low, high;
    if (!_master || !_master->occupiedBox(low, high))
        return {0, 0, 0};
    return {high.x - low.x + 1, high.y - low.y + 1, high.z - low.z + 1};
}

// ---- edits -------------------------------------------------------------------------------------

Report DesignVolume::edited(int count, const char* text)
{
    refresh();
    return StatusLine{QString::number(count) + QLatin1String(text)};
}

Report DesignVolume::applyTool(int tool, const point& origin, const point& direction, float radius,
                               bool completeOnly)
{
    if (!_master)
        return fail(kNoVolume);
    if (!(len2(direction) > 0.0f))
        return fail(QStringLiteral("The ray has no direction."));
    const Ray ray(origin, direction);
    const int n = _master->resolution();
    GridBox box;
    box.high = point(1, 1, 1) * (float(n) * _master->cellSize());
    box.n[0] = box.n[1] = box.n[2] = n;
    switch (tool) {
    case AddBrush: return edited(addBrush(*_master, box, ray, radius), " cell(s) added.");
    case SubtractBrush: {
        QElapsedTimer timer;
        timer.start();
        const int removed = subtractBrush(*_master, box, ray, radius, completeOnly);
        qCDebug(kalvexVolume, "Time elapsed: %d ms", static_cast<int>(timer.elapsed()));
        return edited(removed, " cell(s) removed.");
    }
    case SubtractRay: return edited(subtractRay(*_master, box, ray, completeOnly, radius), " cell(s) removed.");
    default: return edited(erode(*_master, box, ray, 1000, radius), " cell(s) removed.");
    }
}

Report DesignVolume::autoConnect()
{
    if (!_master)
        return fail(kNoVolume);
    return edited(autoConnectAll(*_master), " cell(s) removed.");
}

Result<CleanUp> DesignVolume::makeOneComponent()
{
    if (!_master)
        return fail(kNoVolume);
    CleanUp cleaned = ::makeOneComponent(*_master, _master->cellSize());
    refresh();
    return cleaned;
}

Report DesignVolume::smooth(float sigma, float threshold)
{
    if (!_master)
        return fail(kNoVolume);
    return edited(::smooth(*_master, sigma, threshold), " cell(s) changed.");
}

Report DesignVolume::removeRandomBalls(int count, float radius)
{
    if (!_master)
        return fail(kNoVolume);
    QElapsedTimer timer;
    timer.start();
    const int removed = ::removeRandomBalls(*_master, count, radius);
    qCDebug(kalvexVolume, "Time elapsed: %d ms", static_cast<int>(timer.elapsed()));
    return edited(removed, " ball(s) removed.");
}

Report DesignVolume::removeCellsInBox()
{
    if (!_master)
        return fail(kNoVolume);
    return edited(::removeCellsInBox(*_master), " cell(s) removed.");
}

Report DesignVolume::removeBallsAtBoxBorder(int count, float radius, float depth)
{
    if (!_master)
        return fail(kNoVolume);
    return edited(::removeBallsAtBoxBorder(*_master, count, radius, depth), " ball(s) removed.");
}

// ---- history -----------------------------------------------------------------------------------

bool DesignVolume::canUndo() const
{
    return _master && _master->canUndo();
}

bool DesignVolume::canRedo() const
{
    return _master && _master->canRedo();
}

bool DesignVolume::undo()
{
    if (!canUndo())
        return false;
    _master->undo();
    refresh();
    return true;
}

bool DesignVolume::redo()
{
    if (!canRedo())
        return false;
    _master->redo();
    refresh();
    return true;
}

// ---- display -----------------------------------------------------------------------------------

void DesignVolume::setDisplayFlag(int flag, bool on)
{
    _display_flags = on ? (_display_flags | flag) : (_display_flags & ~flag);
    if (_master)
        _master->setDisplayFlags(_display_flags);
}

void DesignVolume::setHollow(bool hollow)
{
    _hollow = hollow;
    if (_master)
        _master->setHollow(hollow);
}

void DesignVolume::setEditRadius(int radius)
{
    _edit_radius = radius;
    if (_master)
        _master->setEditRadius(radius);
}

const TriMesh* DesignVolume::buildShadowMesh()
{
    return _master ? _master->buildShadowMesh() : nullptr;
}

// ---- surfaces ----------------------------------------------------------------------------------

Result<TriMesh> DesignVolume::contour(float iso, int mode, int factor) const
{
    if (!_master)
        return fail(QStringLiteral("nothing to process."));
    TriMesh mesh;
    if (!contourVolume(*_master, iso, mode, mesh, factor))
        return fail(QStringLiteral("TriangulationReconstructor: failed!"));
    return mesh;
}

const TriMesh* DesignVolume::smoothMesh(bool recompute)
{
    return _master ? _master->smoothMesh(recompute) : nullptr;
}

Result<Sculpture> DesignVolume::sculpture(const SculptureOptions& options) const
{
    return makeSculpture(_master.get(), options);
}

std::vector<ShadowWall> DesignVolume::shadowWalls() const
{
    if (!hasCells())
        return {};
    ShadowWalls::DirectionalScene scene;
    scene.cellSize = _master->cellSize();
    _master->boundingBox(scene.boxMin.data(), scene.boxMax.data());
    for (std::size_t k = 0; k < _master->viewModes().size() && k < 3; ++k) {
        const int mode = _master->viewModes()[k];
        if (mode == NO_VIEW)
            continue;
        const QImage& shadow = _comparisons[k];
        scene.views.push_back({mode, shadow.isNull() ? _master->renderShadow(mode) : shadow});
    }
    return ShadowWalls::directionalWalls(scene);
}
