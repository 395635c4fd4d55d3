#include "session/DesignSession.h"

#include "deform/GreedyLayers.h"
#include "volume/Comparison.h"
#include "volume/Diagnostics.h"
#include "volume/Finalization.h"
#include "volume/VolumeBuilder.h"

#include <QElapsedTimer>

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
    PictureChoice choice;
    choice.count = count;
    choice.set = set;
    choice.paths = paths;
    choice.cellSize = cellSize;
    choice.useMask = useMask;
    choice.how = how;
    return load(choice);
}

Report DesignSession::load(const PictureChoice& choice)
{
    if (const Report checked = checkSetAndCellSize(choice.set, choice.cellSize); !checked.ok())
        return checked;
    if (choice.count < 1 || choice.count > 3)
        return fail(QStringLiteral("A design has one to three pictures, not %1.").arg(choice.count));
    // Every picture is checked before anything changes.
    std::array<Figure, 3> figures;
    std::array<QImage, 3> canvases;
    for (int k = 0; k < choice.count; ++k) {
        const QString& path = choice.paths[std::size_t(k)];
        Result<Figure> figure = loadFigure(path, FigureOptions{choice.threshold});
        if (!figure.ok())
            return fail(figure.error());
        const Result<QImage> canvas = placeFigure(figure.value(), choice.placements[std::size_t(k)]);
        if (!canvas.ok())
            return fail(QStringLiteral("Picture %1: %2").arg(path, canvas.error()));
        if (!ShadowView::pictureHasDarkPixel(canvas.value(), choice.cellSize))
            return fail(QStringLiteral("Picture %1 has no dark pixel.").arg(path));
        figures[std::size_t(k)] = std::move(figure).value();
        canvases[std::size_t(k)] = canvas.value();
    }
    reset();
    _choice = choice;
    _cell_size = choice.cellSize;
    _how = choice.how;
    _set = choice.set;
    _figures = std::move(figures);
    _canvases = std::move(canvases);
    makeViews();
    return StatusLine{choice.count == 3 ? QStringLiteral("Loaded three pictures.")
                                        : QStringLiteral("Loaded %1 picture(s).").arg(choice.count)};
}

Report DesignSession::loadWithoutPictures(int set, float cellSize)
{
    if (const Report checked = checkSetAndCellSize(set, cellSize); !checked.ok())
        return checked;
    reset();
    _choice.set = _set = set;
    _choice.cellSize = _cell_size = cellSize;
    _choice.how = _how = Pictures::Plain;
    makeViews();
    return StatusLine{QStringLiteral("Loaded three views without pictures.")};
}

// A picture as found in its file (a black figure on white, square, not
// moved) keeps its picture mesh cached beside the file; any other is meshed
// from its canvas.
void DesignSession::makeViews()
{
    const std::array<int, 3> modes = *projectionSetModes(_set);
    _volume.adopt(nullptr);
    _views.clear();
    _views.reserve(3);
    _view_figures.reset();
    for (int k = 0; k < 3; ++k) {
        const std::size_t slot = std::size_t(k);
        if (k >= _choice.count) {
            _pictures[slot] = DeformationModel();  // no picture left over from an earlier load
            continue;
        }
        const QString& path = _choice.paths[slot];
        QImage picture = _canvases[slot];
        if (picture.isNull()) {
            // A view without a picture sees a white one: no pixel of it is dark.
            picture = QImage(kCanvasSize, kCanvasSize, QImage::Format_RGB32);
            picture.fill(Qt::white);
            _pictures[slot] = DeformationModel();
        } else if (_how == Pictures::Deformable) {
            const Figure& figure = _figures[slot];
            const bool asInItsFile = _choice.placements[slot].isIdentity() && figure.rule == FigureRule::DarkRule &&
                                     figure.width == kCanvasSize && figure.height == kCanvasSize;
            if (asInItsFile) {
                const QImage loaded = loadPictureFile(_pictures[slot], path, _choice.useMask);
                if (!loaded.isNull())
                    picture = loaded;
            } else {
                _pictures[slot].load_picture(picture, QString());
            }
        }
        _views.emplace_back(picture, path, modes[slot], _cell_size);
    }
    _views_need_quantisation = true;
    _layer_counter = 0;
}

void DesignSession::reset()
{
    _filling.clear();
    _volume.adopt(nullptr);
    _views.clear();
    _choice = PictureChoice();
    _figures = {};
    _canvases = {};
    _view_figures.reset();
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

QString DesignSession::picturePath(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._source_path : QString();
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

bool DesignSession::setCellSize(float cellSize)
{
    if (!isValidCellSize(cellSize))
        return false;
    _cell_size = cellSize;
    _choice.cellSize = cellSize;
    _view_figures.reset();
    return true;
}

// ---- placement ----------------------------------------------------------------------------

Report DesignSession::setPlacement(int slot, const Placement& placement)
{
    if (_views.empty() || slot < 0 || slot > 2 || _figures[std::size_t(slot)].empty())
        return fail(kNothingToProcess);
    const Result<QImage> canvas = placeFigure(_figures[std::size_t(slot)], placement);
    if (!canvas.ok())
        return fail(canvas.error());
    if (!ShadowView::pictureHasDarkPixel(canvas.value(), _cell_size))
        return fail(QStringLiteral("So placed, picture %1 has no dark pixel.").arg(_choice.paths[std::size_t(slot)]));
    const bool hadVolume = _volume.exists();
    _choice.placements[std::size_t(slot)] = placement;
    _canvases[std::size_t(slot)] = canvas.value();
    makeViews();
    if (!hadVolume)
        return StatusLine{QStringLiteral("Placed picture %1.").arg(slot + 1)};
    return compute();
}

Report DesignSession::placeByHand(int slot, const Placement& placement)
{
    if (_views.empty() || slot < 0 || slot > 2 || _figures[std::size_t(slot)].empty())
        return fail(kNothingToProcess);
    return setPlacement(slot, clampPlacement(_figures[std::size_t(slot)], placement));
}

Result<std::pair<QImage, QString>> DesignSession::figurePreview(const QString& path, int threshold)
{
    const Result<Figure> figure = loadFigure(path, FigureOptions{threshold});
    if (!figure.ok())
        return fail(figure.error());
    return std::pair<QImage, QString>(figure.value().toImage(), figure.value().extraction());
}

Report DesignSession::arrange(const std::function<void(double)>& progress)
{
    if (!hasAllPictures())
        return fail(kNothingToProcess);
    ArrangeOptions options;
    options.turns = _choice.placements;
    options.progress = progress;
    const Result<Arrangement> arranged = ::arrange(_figures, _set, _cell_size, options);
    if (!arranged.ok())
        return fail(arranged.error());
    std::array<QImage, 3> canvases;
    for (int k = 0; k < 3; ++k) {
        const Result<QImage> canvas = placeFigure(_figures[std::size_t(k)], arranged.value().placements[std::size_t(k)]);
        if (!canvas.ok())
            return fail(canvas.error());
        canvases[std::size_t(k)] = canvas.value();
    }
    const bool hadVolume = _volume.exists();
    _choice.placements = arranged.value().placements;
    _canvases = canvases;
    makeViews();
    if (hadVolume)
        if (const Report built = compute(); !built.ok())
            return built;
    return StatusLine{QStringLiteral("Arranged the pictures.")};
}

bool DesignSession::hasAllPictures() const
{
    return _views.size() == 3 && std::none_of(_canvases.begin(), _canvases.end(), [](const QImage& c) { return c.isNull(); });
}

const ViewFigures& DesignSession::viewFigures() const
{
    if (!_view_figures)
        _view_figures = ::viewFigures(_canvases, _cell_size);
    return *_view_figures;
}

KeptValues DesignSession::kept() const
{
    const ShadowObject* master = _volume.master();
    if (!master || !hasAllPictures() || master->resolution() != ShadowView::resolutionFor(_cell_size))
        return {0, 0, 0};
    return keptFigures(*master, viewFigures().maps);
}

QString DesignSession::keptText() const
{
    if (!_volume.exists() || !hasAllPictures())
        return {};
    const KeptValues k = kept();
    return QStringLiteral("kept %1 % / %2 % / %3 %")
        .arg(qRound(100.0 * k[0]))
        .arg(qRound(100.0 * k[1]))
        .arg(qRound(100.0 * k[2]));
}

Report DesignSession::keepFigure()
{
    ShadowObject* master = _volume.master();
    if (!master || !hasAllPictures())
        return fail(kNothingToProcess);
    const KeepReport kept = ::keepFigure(*master, viewFigures());
    _volume.refresh();
    return StatusLine{QStringLiteral("Kept more of the figures: %1 cell(s) added, %2 removed.")
                          .arg(kept.added)
                          .arg(kept.removed)};
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

Result<int> DesignSession::optimizeToBest(int passes, const AdjustParameters& parameters,
                                          const std::function<void(int, const KeptValues&)>& afterPass)
{
    if (!_volume.exists())
        if (const Report built = compute(); !built.ok())
            return fail(built.error());
    int best = 0;
    double bestWorst = worstKept(kept());
    std::array<PictureState, 3> bestPictures;
    if (afterPass)
        afterPass(0, kept());
    for (int pass = 1; pass <= passes; ++pass) {
        if (const Report optimized = optimize(1, parameters); !optimized.ok())
            return fail(optimized.error());
        const KeptValues now = kept();
        if (afterPass)
            afterPass(pass, now);
        if (worstKept(now) > bestWorst) {
            best = pass;
            bestWorst = worstKept(now);
            for (int k = 0; k < 3; ++k) {
                const DeformationModel& picture = _pictures[std::size_t(k)];
                bestPictures[std::size_t(k)] = {picture.image_mesh(), picture.rest_positions(), picture.vertex_weights()};
            }
        }
    }
    if (best == passes)
        return best;
    // Back to the best state: the pictures as placed, or deformed as then.
    if (best == 0) {
        makeViews();
        if (const Report built = compute(); !built.ok())
            return fail(built.error());
    } else {
        for (int k = 0; k < 3; ++k) {
            const PictureState& state = bestPictures[std::size_t(k)];
            _pictures[std::size_t(k)].set_image_mesh(state.mesh, state.rest, state.weights);
        }
        if (const Report built = recompute(); !built.ok())
            return fail(built.error());
    }
    return best;
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
        _volume.master()->setSourceViews({});
    _views.clear();
    _views_need_quantisation = false;
    _volume.refresh();
    return StatusLine{QStringLiteral("Now dont deform any more.")};
}

// ---- volumes without pictures -------------------------------------------------------------

void DesignSession::adoptVolume(std::unique_ptr<ShadowObject> volume)
{
    reset();
    _cell_size = volume->cellSize();
    _volume.adopt(std::move(volume));
}

Report DesignSession::restore(const PictureChoice& choice, const std::array<PictureState, 3>& pictures,
                              const std::vector<std::uint8_t>& occupancy)
{
    const float cellSize = choice.cellSize;
    const int n = ShadowView::resolutionFor(cellSize);
    if (!isValidCellSize(cellSize) || occupancy.size() != std::size_t(n) * n * n)
        return fail(QStringLiteral("The recovered volume does not fit a grid of cell size %1.").arg(cellSize));
    if (const Report loaded = load(choice); !loaded.ok())
        return loaded;
    for (int k = 0; k < 3; ++k) {
        const PictureState& state = pictures[std::size_t(k)];
        if (!state.mesh.vertices.empty())
            _pictures[std::size_t(k)].set_image_mesh(state.mesh, state.rest, state.weights);
    }
    // Views from the deformed pictures, as after an optimise pass; then the
    // cells as they were (the new volume has no history behind it).
    if (const Report rebuilt = recompute(); !rebuilt.ok() && !_volume.exists())
        return rebuilt;
    ShadowObject& master = *_volume.master();
    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y)
            for (int z = 0; z < n; ++z)
                master.setOccupied({x, y, z}, occupancy[(std::size_t(x) * n + y) * n + z] != 0);
    for (int k = 0; k < 3; ++k)
        master.create_reprojection_image_map(k, master.viewModes()[std::size_t(k)]);
    _volume.refresh();
    return StatusLine{QStringLiteral("Restored the design from the last session.")};
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

std::vector<ShadowWall> DesignSession::shadowWalls() const
{
    return _volume.hasCells() ? _volume.shadowWalls() : _point_lights.shadowWalls();
}
