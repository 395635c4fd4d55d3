#include "perspective/PerspectiveDesign.h"

#include "perspective/Diagnostics.h"
#include "volume/Comparison.h"
#include "volume/DarkPixelSearch.h"
#include "volume/Figure.h"
#include "volume/Placement.h"
#include "volume/ShadowView.h"

#include <QDir>

#include <cmath>
#include <limits>

namespace {

const QString kLoadFirst = QStringLiteral("Load models first.");
const QString kLoaded = QStringLiteral("Loaded images(s).");
const QString kShown = QStringLiteral("Perspective mesh shown.");
const QString kRecomputed = QStringLiteral("recomputed shadow mesh.");

// White picture with the shadow in black.
QImage shadowPicture(const ByteMap& shadow)
{
    QImage image(shadow.first(), shadow.second(), QImage::Format_RGB32);
    for (int py = 0; py < image.height(); ++py) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        for (int px = 0; px < image.width(); ++px)
            line[px] = shadow.at(px, py) ? ComparisonColor::Shadow : ComparisonColor::Background;
    }
    return image;
}

// The deformable picture of a picture file, through its figure as the
// directional views have it: a black-on-white square picture keeps its
// picture mesh cached beside the file; any other (colour, transparency, grey
// on grey, another size or aspect) is meshed from its figure fitted into the
// square canvas.
Result<void> loadPicture(DeformationModel& model, const QString& path, int threshold)
{
    const Result<Figure> figure = loadFigure(path, FigureOptions{threshold});
    if (!figure.ok())
        return fail(figure.error());
    const Figure& f = figure.value();
    if (f.rule == FigureRule::DarkRule && f.width == kCanvasSize && f.height == kCanvasSize) {
        if (loadPictureFile(model, path, false).isNull())
            return fail(QStringLiteral("Cannot read picture %1.").arg(path));
        return {};
    }
    const Result<QImage> canvas = placeFigure(f, Placement{});
    if (!canvas.ok())
        return fail(QStringLiteral("Picture %1: %2").arg(path, canvas.error()));
    model.load_picture(canvas.value(), QString());
    return {};
}

}  // namespace

// A view checked and its picture loaded, not yet part of the design.
struct PerspectiveDesign::Prepared {
    DeformationModel model;
    PerspectiveViewSource source;
};

std::vector<PerspectiveViewSource> PerspectiveDesign::exampleViews(const QString& folder)
{
    const QDir dir(folder);
    const double diagonal = -1.2 / std::sqrt(2.0);
    auto camera = [](Vector3 center, Vector3 up) {
        PerspectiveCamera c;
        c.center = center;
        c.lookAt = {0.0, 0.0, 0.0};
        c.up = up;
        c.focalDistance = 0.8;
        c.imageSize = 40;
        return c;
    };
    return {{dir.filePath(QStringLiteral("x.png")), camera({-1.2, 0.0, 0.0}, {0.0, -1.0, 0.0})},
            {dir.filePath(QStringLiteral("xy.png")), camera({diagonal, diagonal, 0.0}, {0.0, -1.0, 0.0})},
            {dir.filePath(QStringLiteral("y.png")), camera({0.0, -1.2, 0.0}, {1.0, 0.0, 0.0})}};
}

PerspectiveDesign::PerspectiveDesign(float voxelResolution) : _voxel_resolution(voxelResolution) {}

PerspectiveDesign::~PerspectiveDesign() = default;

// ---- views ----------------------------------------------------------------------------

Result<std::vector<PerspectiveDesign::Prepared>>
PerspectiveDesign::prepare(const std::vector<PerspectiveViewSource>& sources, int firstSlot) const
{
    if (sources.empty())
        return fail(QStringLiteral("No picture to load."));
    if (firstSlot + static_cast<int>(sources.size()) > kMaxViews)
        return fail(QStringLiteral("A point-light design holds at most %1 views.").arg(kMaxViews));
    std::vector<Prepared> prepared(sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const QString& path = sources[i].picture;
        if (const QString problem = cameraProblem(sources[i].camera); !problem.isEmpty())
            return fail(QStringLiteral("The camera of %1 is unusable: %2.").arg(path, problem));
        if (const Result<void> read = loadPicture(prepared[i].model, path, sources[i].threshold); !read.ok())
            return fail(read.error());
        const int width = ShadowView::resolutionFor(PerspectiveShadowObject::kCellSize);
        if (PerspectiveView::figureMask(prepared[i].model.rendering(), width).count() == 0)
            return fail(QStringLiteral("Picture %1 has no figure pixel.").arg(path));
        prepared[i].source = sources[i];
    }
    return prepared;
}

// Hands each checked picture to the design's own model (which keeps its
// address and render callback) and adds its view.
void PerspectiveDesign::commit(std::vector<Prepared>& prepared, int firstSlot)
{
    for (std::size_t i = 0; i < prepared.size(); ++i) {
        DeformationModel& model = _pictures[std::size_t(firstSlot) + i];
        const DeformationModel& loaded = prepared[i].model;
        model.set_image_mesh(loaded._image_mesh, loaded._rest_positions, loaded._vertex_weights);
        const Result<int> added = _object->addView(model.rendering(), prepared[i].source.picture,
                                                   prepared[i].source.camera);
        Q_ASSERT(added.ok());  // the camera was checked
        (void)added;
    }
    _comparisons = {};
    _request_pictures = {};
    _counts = {};
}

Report PerspectiveDesign::addView(const PerspectiveViewSource& source)
{
    Result<std::vector<Prepared>> prepared = prepare({source}, viewCount());
    if (!prepared.ok())
        return fail(prepared.error());
    if (!_object)
        _object = std::make_unique<PerspectiveShadowObject>(_voxel_resolution);
    commit(prepared.value(), viewCount());
    return StatusLine{kLoaded};
}

Report PerspectiveDesign::load(const std::vector<PerspectiveViewSource>& sources)
{
    Result<std::vector<Prepared>> prepared = prepare(sources, 0);
    if (!prepared.ok())
        return fail(prepared.error());
    clear();
    _object = std::make_unique<PerspectiveShadowObject>(_voxel_resolution);
    commit(prepared.value(), 0);
    return StatusLine{kLoaded};
}

Report PerspectiveDesign::loadExample(const QString& folder)
{
    const Report loaded = load(exampleViews(folder));
    if (loaded.ok()) {
        qCDebug(kalvexPerspective, "x-image inserted");
        qCDebug(kalvexPerspective, "xy-image inserted");
        qCDebug(kalvexPerspective, "y-image inserted");
    }
    return loaded;
}

void PerspectiveDesign::clear()
{
    _object.reset();
    _comparisons = {};
    _request_pictures = {};
    _requests = {};
    _counts = {};
    _passes = 0;
}

// ---- steps --------------------------------------------------------------------------------

Report PerspectiveDesign::show()
{
    if (viewCount() == 0)
        return fail(kLoadFirst);
    rebuild();
    return StatusLine{kShown};
}

void PerspectiveDesign::rebuild()
{
    _object->rebuildMaster();
    _object->buildShadowMesh();
    _object->refreshViews();
    updateComparisons();
}

void PerspectiveDesign::refresh()
{
    if (viewCount() == 0)
        return;
    _object->buildShadowMesh();
    _object->refreshViews();
    updateComparisons();
}

void PerspectiveDesign::updateComparisons()
{
    _comparisons = {};
    _counts = {};
    _counts.cells = _object->occupiedCount();
    for (int k = 0; k < viewCount(); ++k) {
        const ByteMap shadow = _object->castShadow(k);
        const ByteMap& figure = _object->view(k)._figure_mask;
        QImage image(shadow.first(), shadow.second(), QImage::Format_RGB32);
        int missing = 0, extra = 0;
        for (int py = 0; py < image.height(); ++py) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
            for (int px = 0; px < image.width(); ++px) {
                const bool cast = shadow.at(px, py) != 0;
                const bool inFigure = figure.at(px, py) != 0;
                missing += (inFigure && !cast) ? 1 : 0;
                extra += (cast && !inFigure) ? 1 : 0;
                line[px] = cast ? (inFigure ? ComparisonColor::Shadow : ComparisonColor::Extra)
                                : (inFigure ? ComparisonColor::Missing : ComparisonColor::Background);
            }
        }
        _comparisons[std::size_t(k)] = image;
        _counts.missing.push_back(missing);
        _counts.extra.push_back(extra);
    }
}

Report PerspectiveDesign::recompute()
{
    if (viewCount() == 0)
        return fail(kLoadFirst);
    auto rebuilt = std::make_unique<PerspectiveShadowObject>(_voxel_resolution);
    rebuilt->setHollow(_object->hollow());
    for (int k = 0; k < viewCount(); ++k) {
        // Set again from its own mesh: the rendering shows the deformation
        // (deform alone does not render), the rest positions stay, and the
        // shape-preservation steps restart.
        DeformationModel& model = _pictures[std::size_t(k)];
        const QImage rendering = model.set_image_mesh(model.image_mesh(), model.rest_positions(), model.vertex_weights());
        const PerspectiveView& old = _object->view(k);
        const Result<int> added = rebuilt->addViewInGridUnits(rendering, old._source_path, old.camera());
        Q_ASSERT(added.ok());  // the same camera as before
        (void)added;
    }
    _object = std::move(rebuilt);
    rebuild();
    return StatusLine{kRecomputed};
}

// Region of missing pixels of view v, then for each of its pixels the seen
// cell that the two other views come closest to covering; each accepted cell
// is requested of one of them.
void PerspectiveDesign::consistencyStep(int v, int minSize)
{
    Q_ASSERT(v >= 0 && v < viewCount() && viewCount() == kMaxViews);
    PerspectiveShadowObject& object = *_object;
    PerspectiveView& view = object.view(v);
    const PixelList region = markComponentToBeProcessed(_comparisons[std::size_t(v)], view._second_mask, minSize);
    if (region.empty())
        return;

    std::array<QImage, kMaxViews> working;
    for (int k = 0; k < kMaxViews; ++k) {
        working[std::size_t(k)] = shadowPicture(object.castShadow(k));
        object.view(k).pointIndex();
    }
    const int a = v == 0 ? 1 : 0;
    const int b = v == 2 ? 1 : 2;
    const PerspectiveView& viewA = object.view(a);
    const PerspectiveView& viewB = object.view(b);
    PerspectiveViewGrid& gridA = object.viewGrid(a);
    const PerspectiveViewGrid& gridB = object.viewGrid(b);
    for (const Pixel& p : region) {
        const std::vector<CellIndex>& candidates = view._all_cells[std::size_t(view.pixelIndex(p.column, p.row))];
        float bestCost = std::numeric_limits<float>::max();
        const CellIndex* best = nullptr;
        for (const CellIndex& c : candidates) {
            const int pa = gridA.pixel[gridA.index(c)];
            if (pa < 0)
                continue;
            const int pb = gridB.pixel[gridB.index(c)];
            if (pb < 0)
                continue;
            const float cost = viewA.squaredDistanceToFigure(viewA.columnOf(pa), viewA.rowOf(pa)) +
                               viewB.squaredDistanceToFigure(viewB.columnOf(pb), viewB.rowOf(pb));
            if (cost < bestCost) {
                bestCost = cost;
                best = &c;
            }
        }
        if (!best || !(bestCost <= kCostLimit))
            continue;
        // A cell already on view a's figure (or already requested of it) is
        // requested of view b.
        const int t = gridA.distance[gridA.index(*best)] == 0.0f ? b : a;
        PerspectiveView& target = object.view(t);
        PerspectiveViewGrid& gridT = object.viewGrid(t);
        const int pixel = gridT.pixel[gridT.index(*best)];
        const int qx = target.columnOf(pixel), qy = target.rowOf(pixel);
        working[std::size_t(t)].setPixel(qx, qy, ComparisonColor::Extra);
        gridT.distance[gridT.index(*best)] = 0.0f;
        _requests[std::size_t(t)].push_back(point(float(qx), float(qy), 0.0f));
    }
    _request_pictures[std::size_t(a)] = working[std::size_t(a)];
    _request_pictures[std::size_t(b)] = working[std::size_t(b)];
}

Report PerspectiveDesign::adjust(const PerspectiveAdjustOptions& options)
{
    if (viewCount() == 0)
        return fail(kLoadFirst);
    if (viewCount() != kMaxViews)
        return fail(QStringLiteral("The adjustment needs three views."));
    if (!(std::isfinite(options.handleScale) && options.handleScale > 0.0f))
        return fail(QStringLiteral("The handle scale must be a number above 0."));

    for (RequestList& list : _requests)
        list.clear();
    for (int r = 0; r < kAdjustmentPasses; ++r) {
        rebuild();
        consistencyStep((r + 2) % kMaxViews, options.minSize);
    }
    for (int k = 0; k < kMaxViews; ++k) {
        // Handles: nearest figure pixel -> requested pixel, in picture pixels.
        DarkPixelSearch& index = _object->view(k).pointIndex();
        std::vector<point> sources, targets;
        for (const point& request : withoutRepeats(_requests[std::size_t(k)])) {
            const DarkPixelSearch::Result nearest = index.nearest(request[0], request[1]);
            if (nearest.index < 0)
                continue;
            sources.push_back(point(float(nearest.column), float(nearest.row), 0.0f) * options.handleScale);
            targets.push_back(request * options.handleScale);
        }
        if (sources.empty())
            continue;
        DeformationModel& model = _pictures[std::size_t(k)];
        model.deform(sources, targets);
        if (options.preserveShape)
            model.preserve_shape();
    }
    ++_passes;
    return recompute();
}

Report PerspectiveDesign::optimize(int passes, const PerspectiveAdjustOptions& options,
                                                      const std::function<void(int)>& beforePass,
                                                      const std::function<void(int)>& afterPass)
{
    if (passes < 0)
        return fail(QStringLiteral("The number of passes cannot be negative."));
    const std::vector<int> progress = progressValues(passes);
    Report status = StatusLine{};
    for (int pass = 0; pass < passes; ++pass) {
        if (beforePass)
            beforePass(progress[std::size_t(pass)]);
        status = adjust(options);
        if (!status.ok())
            return status;
        if (afterPass)
            afterPass(pass);
    }
    return status;
}

Report PerspectiveDesign::removeRandomCells(int k)
{
    if (viewCount() == 0)
        return fail(kLoadFirst);
    const PerspectiveShadowObject::RandomRemoval removal = _object->removeRandomCells(k);
    refresh();
    return StatusLine{QString::number(removal.removed) + QStringLiteral(" many cells removed.")};
}
