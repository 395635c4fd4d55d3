#include "session/DesignPictures.h"

#include "volume/Arrange.h"
#include "volume/VolumeBuilder.h"

#include <algorithm>

// ---- reading ----------------------------------------------------------------------------

Result<std::pair<QImage, QString>> DesignPictures::figurePreview(const QString& path, int threshold)
{
    const Result<Figure> figure = loadFigure(path, FigureOptions{threshold});
    if (!figure.ok())
        return fail(figure.error());
    return std::pair<QImage, QString>(figure.value().toImage(), figure.value().extraction());
}

QString DesignPictures::picturePath(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._source_path : QString();
}

void DesignPictures::watchPicture(int slot, std::function<void(const QImage&)> shown)
{
    DeformationModel& picture = _pictures[std::size_t(slot)];
    if (shown && !picture.empty())
        shown(picture.rendering());
    picture.set_render_callback(std::move(shown));
}

int DesignPictures::viewMode(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._projection_mode : NO_VIEW;
}

QImage DesignPictures::viewPicture(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._image : QImage();
}

int DesignPictures::figurePixels(int slot) const
{
    return slot >= 0 && slot < viewCount() ? _views[std::size_t(slot)]._image_map.count() : 0;
}

bool DesignPictures::hasAllPictures() const
{
    return _views.size() == 3 &&
           std::none_of(_canvases.begin(), _canvases.end(), [](const QImage& c) { return c.isNull(); });
}

const ViewFigures& DesignPictures::viewFigures(float cellSize) const
{
    if (!_view_figures || _view_figures_cell_size != cellSize) {
        _view_figures = ::viewFigures(_canvases, cellSize);
        _view_figures_cell_size = cellSize;
    }
    return *_view_figures;
}

// ---- choosing and placing ---------------------------------------------------------------

Result<DesignPictures::Placed> DesignPictures::place(const PictureChoice& choice)
{
    Placed placed;
    for (int k = 0; k < choice.count; ++k) {
        const std::size_t slot = std::size_t(k);
        const QString& path = choice.paths[slot];
        Result<Figure> figure = loadFigure(path, FigureOptions{choice.threshold});
        if (!figure.ok())
            return fail(figure.error());
        const Result<QImage> canvas = placeFigure(figure.value(), choice.placements[slot]);
        if (!canvas.ok())
            return fail(QStringLiteral("Picture %1: %2").arg(path, canvas.error()));
        if (!ShadowView::pictureHasDarkPixel(canvas.value(), choice.cellSize))
            return fail(QStringLiteral("Picture %1 has no dark pixel.").arg(path));
        placed.figures[slot] = std::move(figure).value();
        placed.canvases[slot] = canvas.value();
    }
    return placed;
}

void DesignPictures::take(const PictureChoice& choice, Placed placed)
{
    _choice = choice;
    _set = choice.set;
    _figures = std::move(placed.figures);
    _canvases = std::move(placed.canvases);
    _view_figures.reset();
}

void DesignPictures::clear()
{
    _views.clear();
    _choice = PictureChoice();
    _figures = {};
    _canvases = {};
    _view_figures.reset();
    _set = -1;
    _views_need_quantisation = false;
}

bool DesignPictures::canPlace(int slot) const
{
    return !_views.empty() && slot >= 0 && slot <= 2 && !_figures[std::size_t(slot)].empty();
}

Report DesignPictures::setPlacement(int slot, const Placement& placement, float cellSize)
{
    const Result<QImage> canvas = placeFigure(_figures[std::size_t(slot)], placement);
    if (!canvas.ok())
        return fail(canvas.error());
    if (!ShadowView::pictureHasDarkPixel(canvas.value(), cellSize))
        return fail(QStringLiteral("So placed, picture %1 has no dark pixel.").arg(_choice.paths[std::size_t(slot)]));
    _choice.placements[std::size_t(slot)] = placement;
    _canvases[std::size_t(slot)] = canvas.value();
    _view_figures.reset();
    return StatusLine{};
}

Report DesignPictures::arrange(float cellSize, const std::function<void(double)>& progress)
{
    ArrangeOptions options;
    options.turns = _choice.placements;
    options.progress = progress;
    const Result<Arrangement> arranged = ::arrange(_figures, _set, cellSize, options);
    if (!arranged.ok())
        return fail(arranged.error());
    std::array<QImage, 3> canvases;
    for (int k = 0; k < 3; ++k) {
        const std::size_t slot = std::size_t(k);
        const Result<QImage> canvas = placeFigure(_figures[slot], arranged.value().placements[slot]);
        if (!canvas.ok())
            return fail(canvas.error());
        canvases[slot] = canvas.value();
    }
    _choice.placements = arranged.value().placements;
    _canvases = canvases;
    _view_figures.reset();
    return StatusLine{};
}

// ---- views ------------------------------------------------------------------------------

// A picture as found in its file (a black figure on white, square, not
// moved) keeps its picture mesh cached beside the file; any other is meshed
// from its canvas.
void DesignPictures::makeViews(float cellSize)
{
    const std::array<int, 3> modes = *projectionSetModes(_set);
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
        } else if (_choice.how == Kind::Deformable) {
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
        _views.emplace_back(picture, path, modes[slot], cellSize);
    }
    _views_need_quantisation = true;
}

void DesignPictures::remakeViews(float cellSize)
{
    std::vector<ShadowView> rebuilt;
    rebuilt.reserve(_views.size());
    for (std::size_t k = 0; k < _views.size(); ++k) {
        const ShadowView& view = _views[k];
        QImage picture = view._image;
        if (_choice.how == Kind::Deformable) {
            // Set again from its own mesh: the deformation survives, the rest
            // positions stay, and the shape-preservation steps restart.
            DeformationModel& model = _pictures[k];
            picture = model.set_image_mesh(model.image_mesh(), model.rest_positions(), model.vertex_weights(), 4);
        }
        rebuilt.emplace_back(picture, view._source_path, view._projection_mode, cellSize);
    }
    _views = std::move(rebuilt);
    _views_need_quantisation = true;
}

void DesignPictures::dropViews()
{
    _views.clear();
    _views_need_quantisation = false;
}

void DesignPictures::quantizeViews(bool always)
{
    if (always || _views_need_quantisation)
        ::quantizeViews(_views);
    _views_need_quantisation = false;
}

std::vector<ShadowView*> DesignPictures::viewPointers()
{
    std::vector<ShadowView*> pointers;
    for (ShadowView& v : _views)
        pointers.push_back(&v);
    return pointers;
}

// ---- deforming --------------------------------------------------------------------------

Result<AdjustmentStats> DesignPictures::adjust(const std::array<QImage, 3>& comparisons,
                                               const AdjustParameters& parameters)
{
    std::array<DeformationModel*, 3> deformable{nullptr, nullptr, nullptr};
    if (_choice.how == Kind::Deformable)
        deformable = {&_pictures[0], &_pictures[1], &_pictures[2]};
    return adjustImages(viewPointers(), comparisons, deformable, parameters);
}

void DesignPictures::setPictureState(int slot, const PictureState& state)
{
    _pictures[std::size_t(slot)].set_image_mesh(state.mesh, state.rest, state.weights);
}
