#include "session/PointLights.h"

#include "session/ShadowWalls.h"

#include "perspective/PerspectiveDesign.h"
#include "volume/EditOperations.h"

namespace {

PerspectiveViewSource sourceOf(const PointLightView& view)
{
    PerspectiveViewSource source;
    source.picture = view.picture;
    source.camera.center = view.camera.center;
    source.camera.lookAt = view.camera.lookAt;
    source.camera.up = view.camera.up;
    source.camera.focalDistance = view.camera.focalDistance;
    source.camera.imageSize = view.camera.imageSize;
    source.threshold = view.threshold;
    return source;
}

}  // namespace

PointLights::PointLights() : _design(std::make_unique<PerspectiveDesign>()) {}

PointLights::~PointLights() = default;

Report PointLights::load(const std::vector<PointLightView>& views, float cellSize)
{
    std::vector<PerspectiveViewSource> sources;
    for (const PointLightView& view : views)
        sources.push_back(sourceOf(view));
    _design->setVoxelResolution(cellSize);
    return _design->load(sources);
}

Report PointLights::loadExample(float cellSize)
{
    _design->setVoxelResolution(cellSize);
    return _design->loadExample();
}

Report PointLights::loadExample()
{
    return loadExample(PerspectiveShadowObject::kCellSize);
}

void PointLights::clear()
{
    _design->clear();
}

Report PointLights::show()
{
    return _design->show();
}

Report PointLights::recompute()
{
    return _design->recompute();
}

// Handles move pixels of the 200-pixel-wide deformable pictures: a map pixel
// of the design's cell size spans cell size x 200 / 250 of them.
Report PointLights::adjust(const PointLightOptions& options)
{
    PerspectiveAdjustOptions adjust;
    adjust.minSize = options.minSize;
    adjust.preserveShape = options.preserveShape;
    adjust.handleScale = PerspectiveAdjustOptions::handleScaleFor(_design->voxelResolution());
    return _design->adjust(adjust);
}

Report PointLights::optimize(int passes, const PointLightOptions& options, const std::function<void(int)>& beforePass,
                             const std::function<void(int)>& afterPass)
{
    PerspectiveAdjustOptions adjust;
    adjust.minSize = options.minSize;
    adjust.preserveShape = options.preserveShape;
    adjust.handleScale = PerspectiveAdjustOptions::handleScaleFor(_design->voxelResolution());
    return _design->optimize(passes, adjust, beforePass, afterPass);
}

Report PointLights::removeRandomCells()
{
    return _design->removeRandomCells();
}

Report PointLights::subtractBrush(const point& origin, const point& direction, float radius, bool completeOnly)
{
    PerspectiveShadowObject* object = _design->object();
    if (!object || !_design->mesh())
        return fail(QStringLiteral("There is no volume to edit."));
    if (!(len2(direction) > 0.0f))
        return fail(QStringLiteral("The ray has no direction."));
    const int n = object->resolution();
    GridBox box;
    box.high = point(1, 1, 1) * (float(n) * object->cellSize());
    box.n[0] = box.n[1] = box.n[2] = n;
    const int removed = ::subtractBrush(*object, box, Ray(origin, direction), radius, completeOnly);
    _design->refresh();
    return StatusLine{QString::number(removed) + QStringLiteral(" cell(s) removed.")};
}

int PointLights::viewCount() const
{
    return _design->viewCount();
}

int PointLights::resolution() const
{
    return _design->object() ? _design->object()->resolution() : 0;
}

float PointLights::cellSize() const
{
    return _design->object() ? _design->object()->cellSize() : PerspectiveShadowObject::kCellSize;
}

const TriMesh* PointLights::mesh() const
{
    return _design->mesh();
}

std::array<int, 3> PointLights::dimensions() const
{
    PerspectiveShadowObject* object = const_cast<PerspectiveDesign&>(*_design).object();
    if (!object || !_design->mesh())
        return {0, 0, 0};
    float low[3], high[3];
    object->boundingBox(low, high);
    std::array<int, 3> cells{};
    for (int i = 0; i < 3; ++i)
        cells[std::size_t(i)] = int((high[i] - low[i]) / object->cellSize() + 0.5f);
    return cells;
}

const QImage& PointLights::comparison(int k) const
{
    return _design->comparison(k);
}

PointLights::Counts PointLights::counts() const
{
    const PerspectiveDesign::Counts& c = _design->counts();
    return {c.cells, c.missing, c.extra};
}

int PointLights::passCount() const
{
    return _design->passCount();
}

QString PointLights::picturePath(int k) const
{
    return k < viewCount() ? _design->object()->view(k)._source_path : QString();
}

QImage PointLights::figurePicture(int k) const
{
    if (k >= viewCount())
        return {};
    const ByteMap& mask = _design->object()->view(k)._figure_mask;
    QImage image(mask.first(), mask.second(), QImage::Format_RGB32);
    for (int py = 0; py < image.height(); ++py)
        for (int px = 0; px < image.width(); ++px)
            image.setPixel(px, py, mask.at(px, py) ? 0xFF000000 : 0xFFFFFFFF);
    return image;
}

QImage PointLights::rendering(int k) const
{
    return _design->picture(k).rendering();
}

void PointLights::watchPicture(int k, std::function<void(const QImage&)> shown)
{
    DeformationModel& picture = _design->picture(k);
    if (shown && !picture.empty())
        shown(picture.rendering());
    picture.set_render_callback(std::move(shown));
}

namespace {

QVector3D toQVector(const Vector3& v)
{
    return {float(v[0]), float(v[1]), float(v[2])};
}

}  // namespace

std::vector<ShadowWall> PointLights::shadowWalls() const
{
    const PerspectiveShadowObject* object = _design->object();
    if (!object || !mesh() || mesh()->faces.empty())
        return {};
    ShadowWalls::PointLightScene scene;
    scene.cellSize = object->cellSize();
    object->boundingBox(scene.boxMin.data(), scene.boxMax.data());
    for (int k = 0; k < object->viewCount(); ++k) {
        const PerspectiveView& view = object->view(k);
        scene.views.push_back({toQVector(view._center), toQVector(view._forward), toQVector(view._up),
                               toQVector(view._side), float(view._focal), view._half_image_size, comparison(k)});
    }
    return ShadowWalls::pointLightWalls(scene);
}
