#include "session/DesignSession.h"

#include "deform/GreedyLayers.h"
#include "example/ExampleCompletion.h"
#include "perspective/PerspectiveDesign.h"
#include "volume/Comparison.h"
#include "volume/Components.h"
#include "volume/Diagnostics.h"
#include "volume/EditOperations.h"
#include "volume/Finalization.h"
#include "volume/VolumeBuilder.h"

#include <QElapsedTimer>

#include <cmath>

namespace {

constexpr int kGreedyStepsPerPress = 4;
const QString kNothingToProcess = QStringLiteral("nothing to process.");
const QString kEmptyVolume = QStringLiteral("intersection volume empty (please reposition images).");

double elapsedMs(QElapsedTimer& timer)
{
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    timer.restart();
    return ms;
}

}  // namespace

DesignSession::DesignSession() : _perspective(std::make_unique<PerspectiveDesign>(_cell_size)) {}

// The volume refers to the views: it goes first.
DesignSession::~DesignSession()
{
    _master.reset();
}

// ---- pictures and views ---------------------------------------------------------------

Report DesignSession::load(int set, const PictureFiles& paths, float cellSize, bool useMask, Pictures how)
{
    const auto modes = projectionSetModes(set);
    if (!modes)
        return Report::failure(QStringLiteral("Unknown projection set %1.").arg(set));
    if (!isValidCellSize(cellSize))
        return Report::failure(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    // Every picture is checked before anything changes.
    for (const QString& path : paths) {
        const QImage picture(path);
        if (picture.isNull())
            return Report::failure(QStringLiteral("Cannot read picture %1.").arg(path));
        if (!ShadowView::pictureHasDarkPixel(picture, cellSize))
            return Report::failure(QStringLiteral("Picture %1 has no dark pixel.").arg(path));
    }
    reset();
    _cell_size = cellSize;
    _how = how;
    _set = set;
    _views.reserve(3);
    for (int k = 0; k < 3; ++k) {
        const QImage picture = how == Pictures::Deformable ? loadPictureFile(_pictures[k], paths[k], useMask)
                                                           : QImage(paths[k]);
        _views.emplace_back(picture, paths[k], (*modes)[k], _cell_size);
    }
    _views_need_quantisation = true;
    return {QStringLiteral("Loaded three pictures."), true};
}

void DesignSession::reset()
{
    _master.reset();
    _views.clear();
    _comparisons = {};
    _counts = {};
    _set = -1;
    _views_need_quantisation = false;
    _layer_counter = 0;
    _optimize_passes = 0;
    _perspective->clear();
    _examples.reset();
}

bool DesignSession::isValidCellSize(float cellSize)
{
    return std::isfinite(cellSize) && cellSize >= kSmallestCellSize && cellSize <= kLargestCellSize;
}

bool DesignSession::setCellSize(float cellSize)
{
    if (!isValidCellSize(cellSize))
        return false;
    _cell_size = cellSize;
    return true;
}

std::vector<ShadowView*> DesignSession::viewPointers()
{
    std::vector<ShadowView*> pointers;
    for (ShadowView& v : _views)
        pointers.push_back(&v);
    return pointers;
}

std::array<DeformationModel*, 3> DesignSession::deformablePictures()
{
    if (_how == Pictures::Plain)
        return {nullptr, nullptr, nullptr};
    return {&_pictures[0], &_pictures[1], &_pictures[2]};
}

// ---- building the volume ----------------------------------------------------------------

void DesignSession::quantizeViewsIfNeeded()
{
    QElapsedTimer timer;
    timer.start();
    if (_views_need_quantisation) {
        quantizeViews(_views);
        _views_need_quantisation = false;
    }
    _timings.quantize = elapsedMs(timer);
}

void DesignSession::buildMaster()
{
    QElapsedTimer timer;
    timer.start();
    _master.reset();
    _master = ::buildMaster(_views, _cell_size);
    _master->_display_flags = _display_flags;
    _master->_hollow = _hollow;
    _master->_edit_radius = _edit_radius;
    refresh();
    _timings.build = elapsedMs(timer);
}

void DesignSession::refresh()
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

Report DesignSession::volumeReport(const QString& success) const
{
    if (_counts.cells == 0)
        return Report::failure(kEmptyVolume);
    return {success, true};
}

Report DesignSession::compute()
{
    if (_views.empty())
        return Report::failure(kNothingToProcess);
    quantizeViewsIfNeeded();
    buildMaster();
    return volumeReport(QStringLiteral("Computed shadow mesh."));
}

Report DesignSession::recompute()
{
    if (_views.empty())
        return Report::failure(kNothingToProcess);
    _master.reset();
    std::vector<ShadowView> rebuilt;
    rebuilt.reserve(_views.size());
    for (std::size_t k = 0; k < _views.size(); ++k) {
        const ShadowView& view = _views[k];
        QImage picture = view._image;
        if (_how == Pictures::Deformable) {
            // Set again from its own mesh: the deformation survives, the rest
            // positions stay, and the shape-preservation steps restart.
            DeformationModel& model = _pictures[k];
            picture = model.set_image_mesh(model.image_mesh(), model.rest_positions(), model.vertex_weights(), 4);
        }
        rebuilt.emplace_back(picture, view._source_path, view._projection_mode, _cell_size);
    }
    _views = std::move(rebuilt);
    _views_need_quantisation = true;
    _layer_counter = 0;
    return compute();
}

Report DesignSession::increaseResolution(float cellSize)
{
    if (!setCellSize(cellSize))
        return Report::failure(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    if (_views.empty())
        return {QString(), true};
    const Report rebuilt = recompute();
    if (!rebuilt.ok)
        return rebuilt;
    return {QStringLiteral("Increased resolution: cell size %1, %2 cells per side.")
                .arg(_cell_size)
                .arg(_master->resolution()),
            true};
}

// ---- making the pictures agree -------------------------------------------------------------

Report DesignSession::adjust(const AdjustParameters& parameters)
{
    if (_views.size() != 3)
        return Report::failure(kNothingToProcess);
    compute();
    const Result<AdjustmentStats> adjusted =
        adjustImages(viewPointers(), _comparisons, deformablePictures(), parameters);
    if (!adjusted.ok())
        return Report::failure(adjusted.error);
    return {QStringLiteral("Optimized images."), true};
}

Report DesignSession::optimize(int passes, const AdjustParameters& parameters,
                               const std::function<void(int)>& beforePass, const std::function<void(int)>& afterPass)
{
    const std::vector<int> progress = progressValues(passes);
    for (int pass = 0; pass < passes; ++pass) {
        if (beforePass)
            beforePass(progress[std::size_t(pass)]);
        const Report adjusted = adjust(parameters);
        if (!adjusted.ok)
            return adjusted;
        recompute();
        ++_optimize_passes;
        if (afterPass)
            afterPass(pass);
    }
    return {QStringLiteral("Optimized images."), true};
}

Report DesignSession::selectNextLayer()
{
    if (_views.size() != 3)
        return Report::failure(kNothingToProcess);
    Report report{QStringLiteral("Master volume computed."), true};
    if (_layer_counter == 0) {
        quantizeViews(_views);
        _views_need_quantisation = false;
        buildMaster();
    } else {
        const std::vector<ShadowView*> views = viewPointers();
        for (int step = 0; step < kGreedyStepsPerPress; ++step)
            greedyStep(*_master, views);
        refresh();
        report.message = QStringLiteral("Performed %1 greedy step(s).").arg(kGreedyStepsPerPress);
    }
    ++_layer_counter;
    return report;
}

Report DesignSession::finalize(int mode, float threshold)
{
    if (!_master)
        return Report::failure(kNothingToProcess);
    if (mode == all_ortho)
        mode = X_PROJECTION;
    const int slot = comparisonSlot(mode);
    const std::vector<Pixel> marked = slot < 0 ? std::vector<Pixel>() : missingPixels(_comparisons[std::size_t(slot)]);
    const Result<int> filled = fillMissingPixels(*_master, viewPointers(), mode, marked, threshold);
    if (!filled.ok())
        return Report::failure(filled.error);
    refresh();
    return {QStringLiteral("finalized results in %1-view.").arg(QLatin1String(projectionModeName(mode))), true};
}

// ---- edits -------------------------------------------------------------------------------------

Report DesignSession::edited(int count, const char* text)
{
    refresh();
    return {QString::number(count) + QLatin1String(text), true};
}

Report DesignSession::applyTool(int tool, const point& origin, const point& direction, float radius, bool completeOnly)
{
    if (!(len2(direction) > 0.0f))
        return Report::failure(QString());
    const Ray ray(origin, direction);
    GridBox box;
    if (!_master) {
        // The point-light volume takes the subtractive brush only.
        PerspectiveShadowObject* object = _perspective->object();
        if (tool != SubtractBrush || !object || !_perspective->mesh())
            return Report::failure(QString());
        const int n = object->resolution();
        box.high = point(1, 1, 1) * (float(n) * object->_cell_size);
        box.n[0] = box.n[1] = box.n[2] = n;
        const int removed = subtractBrush(*object, box, ray, radius, completeOnly);
        _perspective->refresh();
        return {QString::number(removed) + QStringLiteral(" cell(s) removed."), true};
    }
    const int n = _master->resolution();
    box.high = point(1, 1, 1) * (float(n) * _cell_size);
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

Report DesignSession::autoConnect()
{
    if (!_master)
        return Report::failure(QString());
    return edited(autoConnectAll(*_master), " cell(s) removed.");
}

Report DesignSession::makeOneComponent(const QString& folder)
{
    if (!_master)
        return Report::failure(QString());
    const Result<CleanUp> cleaned =
        ::makeOneComponent(*_master, _cell_size, folder + QStringLiteral("/cluster_centroid.vtx"));
    if (!cleaned.ok())
        return Report::failure(cleaned.error);
    refresh();
    const QString meshFile = folder + QStringLiteral("/shadow_mesh.obj");
    if (!_master->buildShadowMesh()->write(meshFile.toLocal8Bit().constData()))
        return Report::failure(QStringLiteral("Cannot write %1.").arg(meshFile));
    return {QStringLiteral("edit_makeOneComponent_released"), true};
}

Report DesignSession::smooth(float sigma, float threshold)
{
    if (!_master)
        return Report::failure(QString());
    return edited(::smooth(*_master, sigma, threshold), " cell(s) changed.");
}

Report DesignSession::removeRandomBalls(int count, float radius)
{
    if (!_master)
        return Report::failure(QString());
    QElapsedTimer timer;
    timer.start();
    const int removed = ::removeRandomBalls(*_master, count, radius);
    qCDebug(kalvexVolume, "Time elapsed: %d ms", static_cast<int>(timer.elapsed()));
    return edited(removed, " ball(s) removed.");
}

Report DesignSession::removeCellsInBox()
{
    if (!_master)
        return Report::failure(QString());
    return edited(::removeCellsInBox(*_master), " cell(s) removed.");
}

Report DesignSession::removeBallsAtBoxBorder(int count, float radius, float depth)
{
    if (!_master)
        return Report::failure(QString());
    return edited(::removeBallsAtBoxBorder(*_master, count, radius, depth), " ball(s) removed.");
}

Report DesignSession::cleanUp()
{
    if (_master)
        _master->_source_views.clear();
    _views.clear();
    _views_need_quantisation = false;
    refresh();
    return {QStringLiteral("Now dont deform any more."), true};
}

// ---- history -----------------------------------------------------------------------------------

bool DesignSession::canUndo() const
{
    return _master && _master->canUndo();
}

bool DesignSession::canRedo() const
{
    return _master && _master->canRedo();
}

bool DesignSession::undo()
{
    if (!canUndo())
        return false;
    _master->undo();
    refresh();
    return true;
}

bool DesignSession::redo()
{
    if (!canRedo())
        return false;
    _master->redo();
    refresh();
    return true;
}

// ---- display -----------------------------------------------------------------------------------

std::array<int, 3> DesignSession::volumeDimensions() const
{
    CellIndex low, high;
    if (!_master || !_master->occupiedBox(low, high))
        return {0, 0, 0};
    return {high.x - low.x + 1, high.y - low.y + 1, high.z - low.z + 1};
}

void DesignSession::setDisplayFlag(int flag, bool on)
{
    _display_flags = on ? (_display_flags | flag) : (_display_flags & ~flag);
    if (_master)
        _master->_display_flags = _display_flags;
}

void DesignSession::setHollow(bool hollow)
{
    _hollow = hollow;
    if (_master)
        _master->_hollow = hollow;
}

void DesignSession::setEditRadius(int radius)
{
    _edit_radius = radius;
    if (_master)
        _master->_edit_radius = radius;
}

TriMesh* DesignSession::buildShadowMesh()
{
    return _master ? _master->buildShadowMesh() : nullptr;
}
