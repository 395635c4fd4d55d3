#include "session/DesignSession.h"

#include "deform/GreedyLayers.h"
#include "volume/Comparison.h"
#include "volume/Diagnostics.h"
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

DesignSession::DesignSession() = default;

// The volume refers to the views: it goes first.
DesignSession::~DesignSession()
{
    _filling.clear();
    _volume.adopt(nullptr);
}

// ---- pictures and views ---------------------------------------------------------------

Report DesignSession::checkSetAndCellSize(int set, float cellSize) const
{
    if (!projectionSetModes(set))
        return fail(QStringLiteral("Unknown projection set %1.").arg(set));
    if (!isValidCellSize(cellSize))
        return fail(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    return StatusLine{};
}

Report DesignSession::load(int set, const PictureFiles& paths, float cellSize, bool useMask, Pictures how, int count)
{
    if (const Report checked = checkSetAndCellSize(set, cellSize); !checked.ok())
        return checked;
    if (count < 1 || count > 3)
        return fail(QStringLiteral("A design has one to three pictures, not %1.").arg(count));
    // Every picture is checked before anything changes.
    for (int k = 0; k < count; ++k) {
        const QString& path = paths[std::size_t(k)];
        const QImage picture(path);
        if (picture.isNull())
            return fail(QStringLiteral("Cannot read picture %1.").arg(path));
        if (!ShadowView::pictureHasDarkPixel(picture, cellSize))
            return fail(QStringLiteral("Picture %1 has no dark pixel.").arg(path));
    }
    const std::array<int, 3> modes = *projectionSetModes(set);
    reset();
    _cell_size = cellSize;
    _how = how;
    _set = set;
    _views.reserve(3);
    for (int k = 0; k < 3; ++k) {
        DeformationModel& model = _pictures[std::size_t(k)];
        if (k >= count) {
            model = DeformationModel();  // no picture left over from an earlier load
            continue;
        }
        const QImage picture = how == Pictures::Deformable ? loadPictureFile(model, paths[k], useMask)
                                                           : QImage(paths[k]);
        _views.emplace_back(picture, paths[k], modes[k], _cell_size);
    }
    _views_need_quantisation = true;
    return StatusLine{count == 3 ? QStringLiteral("Loaded three pictures.")
                                 : QStringLiteral("Loaded %1 picture(s).").arg(count)};
}

Report DesignSession::loadWithoutPictures(int set, float cellSize)
{
    if (const Report checked = checkSetAndCellSize(set, cellSize); !checked.ok())
        return checked;
    const std::array<int, 3> modes = *projectionSetModes(set);
    // Each view sees a white picture: no pixel of it is dark.
    QImage blank(ShadowView::kImageExtent, ShadowView::kImageExtent, QImage::Format_RGB32);
    blank.fill(Qt::white);
    reset();
    _cell_size = cellSize;
    _how = Pictures::Plain;
    _set = set;
    for (int k = 0; k < 3; ++k) {
        _pictures[std::size_t(k)] = DeformationModel();
        _views.emplace_back(blank, QString(), modes[k], _cell_size);
    }
    _views_need_quantisation = true;
    return StatusLine{QStringLiteral("Loaded three views without pictures.")};
}

void DesignSession::reset()
{
    _filling.clear();
    _volume.adopt(nullptr);
    _views.clear();
    _set = -1;
    _views_need_quantisation = false;
    _layer_counter = 0;
    _optimize_passes = 0;
    _point_lights.clear();
}

int DesignSession::viewMode(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._projection_mode : NO_VIEW;
}

QImage DesignSession::viewPicture(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._image : QImage();
}

int DesignSession::figurePixels(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._image_map.count() : 0;
}

void DesignSession::watchPicture(int slot, std::function<void(const QImage&)> shown)
{
    DeformationModel& picture = _pictures[std::size_t(slot)];
    if (shown && !picture.empty())
        shown(picture.rendering());
    picture.set_render_callback(std::move(shown));
}

bool DesignSession::isValidCellSize(float cellSize)
{
    return std::isfinite(cellSize) && cellSize >= kSmallestCellSize && cellSize <= kLargestCellSize;
}

float DesignSession::finerCellSize(float cellSize)
{
    return ::finerCellSize(cellSize);
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
    _volume.adopt(nullptr);
    _volume.adopt(::buildMaster(_views, _cell_size));
    _timings.build = elapsedMs(timer);
}

Report DesignSession::volumeReport(const QString& success) const
{
    if (_volume.counts().cells == 0)
        return fail(kEmptyVolume);
    return StatusLine{success};
}

Report DesignSession::compute()
{
    if (_views.empty())
        return fail(kNothingToProcess);
    quantizeViewsIfNeeded();
    buildMaster();
    return volumeReport(QStringLiteral("Computed shadow mesh."));
}

Report DesignSession::recompute()
{
    if (_views.empty())
        return fail(kNothingToProcess);
    _volume.adopt(nullptr);
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
        return fail(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    if (_views.empty())
        return StatusLine{};
    if (const Report rebuilt = recompute(); !rebuilt.ok())
        return rebuilt;
    return StatusLine{QStringLiteral("initial shadow mesh computed.")};
}

// ---- making the pictures agree -------------------------------------------------------------

Report DesignSession::adjust(const AdjustParameters& parameters)
{
    if (_views.size() != 3)
        return fail(kNothingToProcess);
    quantizeViewsIfNeeded();
    buildMaster();
    std::array<QImage, 3> comparisons;
    for (int k = 0; k < 3; ++k)
        comparisons[std::size_t(k)] = _volume.comparison(k);
    const Result<AdjustmentStats> adjusted =
        adjustImages(viewPointers(), comparisons, deformablePictures(), parameters);
    if (!adjusted.ok())
        return fail(adjusted.error());
    return StatusLine{QStringLiteral("Optimized images.")};
}

Report DesignSession::optimize(int passes, const AdjustParameters& parameters,
                               const std::function<void(int)>& beforePass, const std::function<void(int)>& afterPass)
{
    const std::vector<int> progress = progressValues(passes);
    for (int pass = 0; pass < passes; ++pass) {
        if (beforePass)
            beforePass(progress[std::size_t(pass)]);
        if (const Report adjusted = adjust(parameters); !adjusted.ok())
            return adjusted;
        // A pass that leaves the volume empty still counts; the volume shows as it is.
        if (const Report rebuilt = recompute(); !rebuilt.ok())
            qCDebug(kalvexVolume, "%s", qPrintable(rebuilt.error()));
        ++_optimize_passes;
        if (afterPass)
            afterPass(pass);
    }
    return StatusLine{QStringLiteral("Optimized images.")};
}

Report DesignSession::selectNextLayer()
{
    if (_views.size() != 3)
        return fail(kNothingToProcess);
    QString line = QStringLiteral("Master volume computed.");
    if (_layer_counter == 0) {
        quantizeViews(_views);
        _views_need_quantisation = false;
        buildMaster();
    } else {
        const std::vector<ShadowView*> views = viewPointers();
        for (int step = 0; step < kGreedyStepsPerPress; ++step)
            greedyStep(*_volume.master(), views);
        _volume.refresh();
        line = QStringLiteral("Performed %1 greedy step(s).").arg(kGreedyStepsPerPress);
    }
    ++_layer_counter;
    return StatusLine{line};
}

Report DesignSession::finalize(int mode, float threshold)
{
    if (!_volume.exists())
        return fail(kNothingToProcess);
    if (mode == all_ortho)
        mode = X_PROJECTION;
    const int slot = comparisonSlot(mode);
    const std::vector<Pixel> marked = slot < 0 ? std::vector<Pixel>() : missingPixels(_volume.comparison(slot));
    const Result<int> filled = fillMissingPixels(*_volume.master(), viewPointers(), mode, marked, threshold);
    if (!filled.ok())
        return fail(filled.error());
    _volume.refresh();
    return StatusLine{QStringLiteral("finalized results in %1-view.").arg(QLatin1String(projectionModeName(mode)))};
}

Report DesignSession::cleanUp()
{
    if (_volume.exists())
        _volume.master()->_source_views.clear();
    _views.clear();
    _views_need_quantisation = false;
    _volume.refresh();
    return StatusLine{QStringLiteral("Now dont deform any more.")};
}

// ---- volumes without pictures -------------------------------------------------------------

void DesignSession::adoptVolume(std::unique_ptr<ShadowObject> volume)
{
    reset();
    _cell_size = volume->_cell_size;
    _volume.adopt(std::move(volume));
}

Report DesignSession::carveFromShadowPictures(const std::array<QImage, 3>& pictures)
{
    std::array<int, 3> modes = *projectionSetModes(0);
    for (std::size_t k = 0; k < 3 && k < _views.size(); ++k)
        modes[k] = _views[k]._projection_mode;
    _volume.adopt(::carveFromShadowPictures(pictures, modes, _cell_size));
    return StatusLine{QStringLiteral("loaded directly from image: # of voxels -- ") +
                      QString::number(_volume.buildShadowMesh()->faces.size())};
}

Result<Sculpture> DesignSession::sculpture(const SculptureOptions& options) const
{
    return makeSculpture(_volume.master(), options);
}
