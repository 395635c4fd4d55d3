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

// ---- loading ---------------------------------------------------------------------------

Report DesignSession::checkSetAndCellSize(int set, float cellSize) const
{
    if (!projectionSetModes(set))
        return fail(QStringLiteral("Unknown projection set %1.").arg(set));
    if (!isValidCellSize(cellSize))
        return fail(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    return StatusLine{};
}

Report DesignSession::load(const PictureChoice& choice)
{
    if (const Report checked = checkSetAndCellSize(choice.set, choice.cellSize); !checked.ok())
        return checked;
    if (choice.count < 1 || choice.count > 3)
        return fail(QStringLiteral("A design has one to three pictures, not %1.").arg(choice.count));
    // Every picture is checked before anything changes.
    Result<DesignPictures::Placed> placed = DesignPictures::place(choice);
    if (!placed.ok())
        return fail(placed.error());
    reset();
    _pictures.take(choice, std::move(placed).value());
    _cell_size = choice.cellSize;
    makeViews();
    return StatusLine{choice.count == 3 ? QStringLiteral("Loaded three pictures.")
                                        : QStringLiteral("Loaded %1 picture(s).").arg(choice.count)};
}

Report DesignSession::loadWithoutPictures(int set, float cellSize)
{
    if (const Report checked = checkSetAndCellSize(set, cellSize); !checked.ok())
        return checked;
    reset();
    PictureChoice choice;
    choice.set = set;
    choice.cellSize = cellSize;
    choice.how = Pictures::Plain;
    _pictures.take(choice, {});
    _cell_size = cellSize;
    makeViews();
    return StatusLine{QStringLiteral("Loaded three views without pictures.")};
}

void DesignSession::makeViews()
{
    _volume.adopt(nullptr);
    _pictures.makeViews(_cell_size);
    _counts.layers = 0;
}

void DesignSession::reset()
{
    _filling.clear();
    _volume.adopt(nullptr);
    _pictures.clear();
    _counts.layers = 0;
    _counts.optimizePasses = 0;
    _point_lights.clear();
}

bool DesignSession::setCellSize(float cellSize)
{
    if (!isValidCellSize(cellSize))
        return false;
    _cell_size = cellSize;
    _pictures.recordCellSize(cellSize);
    return true;
}

// ---- placement ----------------------------------------------------------------------------

Report DesignSession::setPlacement(int slot, const Placement& placement)
{
    if (!_pictures.canPlace(slot))
        return fail(kNothingToProcess);
    const bool hadVolume = _volume.exists();
    if (const Report placed = _pictures.setPlacement(slot, placement, _cell_size); !placed.ok())
        return placed;
    makeViews();
    if (!hadVolume)
        return StatusLine{QStringLiteral("Placed picture %1.").arg(slot + 1)};
    return compute();
}

Report DesignSession::placeByHand(int slot, const Placement& placement)
{
    if (!_pictures.canPlace(slot))
        return fail(kNothingToProcess);
    return setPlacement(slot, clampPlacement(_pictures.figure(slot), placement));
}

Report DesignSession::arrange(const std::function<void(double)>& progress)
{
    if (!_pictures.hasAllPictures())
        return fail(kNothingToProcess);
    const bool hadVolume = _volume.exists();
    if (const Report arranged = _pictures.arrange(_cell_size, progress); !arranged.ok())
        return arranged;
    makeViews();
    if (hadVolume)
        if (const Report built = compute(); !built.ok())
            return built;
    return StatusLine{QStringLiteral("Arranged the pictures.")};
}

KeptValues DesignSession::kept() const
{
    const ShadowObject* master = _volume.master();
    if (!master || !_pictures.hasAllPictures() || master->resolution() != ShadowView::resolutionFor(_cell_size))
        return {0, 0, 0};
    return keptFigures(*master, _pictures.viewFigures(_cell_size).maps);
}

QString keptText(const DesignSession& session)
{
    if (!session.volume().exists() || !session.pictures().hasAllPictures())
        return {};
    const KeptValues k = session.kept();
    return QStringLiteral("kept %1 % / %2 % / %3 %")
        .arg(qRound(100.0 * k[0]))
        .arg(qRound(100.0 * k[1]))
        .arg(qRound(100.0 * k[2]));
}

Report DesignSession::keepFigure()
{
    ShadowObject* master = _volume.master();
    if (!master || !_pictures.hasAllPictures())
        return fail(kNothingToProcess);
    const KeepReport kept = ::keepFigure(*master, _pictures.viewFigures(_cell_size));
    _volume.refresh();
    return StatusLine{QStringLiteral("Kept more of the figures: %1 cell(s) added, %2 removed.")
                          .arg(kept.added)
                          .arg(kept.removed)};
}

// ---- building the volume ----------------------------------------------------------------

void DesignSession::quantizeViewsIfNeeded()
{
    QElapsedTimer timer;
    timer.start();
    _pictures.quantizeViews(false);
    _counts.quantizeMs = elapsedMs(timer);
}

void DesignSession::buildMaster()
{
    QElapsedTimer timer;
    timer.start();
    _volume.adopt(nullptr);
    _volume.adopt(::buildMaster(_pictures.viewsToBuild(), _cell_size));
    _counts.buildMs = elapsedMs(timer);
}

Report DesignSession::volumeReport(const QString& success) const
{
    if (_volume.counts().cells == 0)
        return fail(kEmptyVolume);
    return StatusLine{success};
}

Report DesignSession::compute()
{
    if (_pictures.viewCount() == 0)
        return fail(kNothingToProcess);
    quantizeViewsIfNeeded();
    buildMaster();
    return volumeReport(QStringLiteral("Computed shadow mesh."));
}

Report DesignSession::recompute()
{
    if (_pictures.viewCount() == 0)
        return fail(kNothingToProcess);
    _volume.adopt(nullptr);
    _pictures.remakeViews(_cell_size);
    _counts.layers = 0;
    return compute();
}

Report DesignSession::increaseResolution(float cellSize)
{
    if (!setCellSize(cellSize))
        return fail(QStringLiteral("Cell size %1 is outside 1 to 250.").arg(cellSize));
    if (_pictures.viewCount() == 0)
        return StatusLine{};
    if (const Report rebuilt = recompute(); !rebuilt.ok())
        return rebuilt;
    return StatusLine{QStringLiteral("initial shadow mesh computed.")};
}

// ---- making the pictures agree -------------------------------------------------------------

Report DesignSession::adjust(const AdjustParameters& parameters)
{
    if (_pictures.viewCount() != 3)
        return fail(kNothingToProcess);
    quantizeViewsIfNeeded();
    buildMaster();
    std::array<QImage, 3> comparisons;
    for (int k = 0; k < 3; ++k)
        comparisons[std::size_t(k)] = _volume.comparison(k);
    const Result<AdjustmentStats> adjusted = _pictures.adjust(comparisons, parameters);
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
        ++_counts.optimizePasses;
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
                const DeformationModel& picture = _pictures.picture(k);
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
        for (int k = 0; k < 3; ++k)
            _pictures.setPictureState(k, bestPictures[std::size_t(k)]);
        if (const Report built = recompute(); !built.ok())
            return fail(built.error());
    }
    return best;
}

Report DesignSession::selectNextLayer()
{
    if (_pictures.viewCount() != 3)
        return fail(kNothingToProcess);
    QString line = QStringLiteral("Master volume computed.");
    if (_counts.layers == 0) {
        _pictures.quantizeViews(true);
        buildMaster();
    } else {
        const std::vector<ShadowView*> views = _pictures.viewPointers();
        for (int step = 0; step < kGreedyStepsPerPress; ++step)
            greedyStep(*_volume.master(), views);
        _volume.refresh();
        line = QStringLiteral("Performed %1 greedy step(s).").arg(kGreedyStepsPerPress);
    }
    ++_counts.layers;
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
    const Result<int> filled =
        fillMissingPixels(*_volume.master(), _pictures.viewPointers(), mode, marked, threshold);
    if (!filled.ok())
        return fail(filled.error());
    _volume.refresh();
    return StatusLine{QStringLiteral("finalized results in %1-view.").arg(QLatin1String(projectionModeName(mode)))};
}

Report DesignSession::cleanUp()
{
    if (_volume.exists())
        _volume.master()->setSourceViews({});
    _pictures.dropViews();
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
    bool deformed = false;
    for (int k = 0; k < 3; ++k) {
        const PictureState& state = pictures[std::size_t(k)];
        if (state.mesh.vertices.empty())
            continue;
        deformed = deformed || state.mesh.vertices != _pictures.picture(k)._image_mesh.vertices;
        _pictures.setPictureState(k, state);
    }
    // Views from the deformed pictures, as after an optimise pass, or from
    // the pictures themselves when none was deformed, as after generate; then
    // the cells as they were (the new volume has no history behind it).
    if (const Report rebuilt = deformed ? recompute() : compute(); !rebuilt.ok() && !_volume.exists())
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
    for (int k = 0; k < 3 && k < _pictures.viewCount(); ++k)
        modes[std::size_t(k)] = _pictures.viewMode(k);
    _volume.adopt(::carveFromShadowPictures(pictures, modes, _cell_size));
    return StatusLine{QStringLiteral("loaded directly from image: # of voxels -- ") +
                      QString::number(_volume.buildShadowMesh()->faces.size())};
}

std::vector<ShadowWall> shadowWallsOf(const DesignSession& session)
{
    return session.volume().hasCells() ? session.volume().shadowWalls() : session.pointLights().shadowWalls();
}
