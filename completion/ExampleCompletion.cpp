#include "completion/ExampleCompletion.h"

#include "completion/Diagnostics.h"
#include "completion/NuRegistration.h"
#include "completion/VertexDistanceField.h"
#include "completion/VertexIndex.h"
#include "surface/MeshWriters.h"
#include "surface/SafeFile.h"
#include "volume/ShadowObject.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <numbers>

namespace {

const QString kNothingPrepared = QStringLiteral("No sculpture surface yet: prepare the volume first.");

// rand() as a number in [-0.5, 0.5): rand() / 32768 - 0.5 where RAND_MAX is 32767.
double centredDraw()
{
    return std::rand() / (double(RAND_MAX) + 1.0) - 0.5;
}

// Whether a pixel already kept in `kept` lies closer to (i, j) than the
// square root of `minSquared`.
bool keptWithin(const ByteMap& kept, int i, int j, double minSquared)
{
    const int reach = static_cast<int>(std::ceil(std::sqrt(minSquared)));
    for (int di = -reach; di <= reach; ++di)
        for (int dj = -reach; dj <= reach; ++dj)
            if (double(di * di + dj * dj) < minSquared && kept.get(i + di, j + dj))
                return true;
    return false;
}

// A set pixel with an unset pixel among the 3 x 3 around it, neighbour
// indices clamped to the map.
bool isBoundaryPixel(const ByteMap& map, int i, int j)
{
    for (int di = -1; di <= 1; ++di) {
        for (int dj = -1; dj <= 1; ++dj) {
            const int a = std::clamp(i + di, 0, map.first() - 1);
            const int b = std::clamp(j + dj, 0, map.second() - 1);
            if (!map.at(a, b))
                return true;
        }
    }
    return false;
}

bool isProjection(int mode)
{
    return mode >= X_PROJECTION && mode <= OneTwenty_PROJECTION;
}

}  // namespace

ExampleCompletion::ExampleCompletion() = default;
ExampleCompletion::~ExampleCompletion() = default;

// ---- database ------------------------------------------------------------------------

Result<int> ExampleCompletion::loadDatabase(const QString& folder, float resolution)
{
    if (!(resolution > 0.0f))
        return fail(QStringLiteral("The voxel resolution must be above 0."));
    _models.clear();
    for (const char* name : kModelNames)
        loadModel(folder + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".obj"), resolution);
    if (_models.empty())
        return fail(QStringLiteral("No example model could be read from %1.").arg(folder));
    return modelCount();
}

bool ExampleCompletion::loadModel(const QString& path, float resolution)
{
    if (!(resolution > 0.0f))
        return false;
    std::unique_ptr<TriMesh> mesh(TriMesh::read(QFile::encodeName(path).constData()));
    if (mesh)
        remove_unused_vertices(mesh.get());
    if (!mesh || mesh->faces.empty()) {
        qCDebug(kalvexCompletion, "couldnt read file %s", qPrintable(path));
        return false;
    }
    mesh->move_mesh_to_center();
    mesh->need_bbox();
    const float diagonal = len(mesh->bbox.size());
    if (diagonal > 0.0f)
        mesh->scale_mesh(25.0f / resolution / diagonal);
    qCDebug(kalvexCompletion, "loaded mesh with %d vertices, %d faces", int(mesh->vertices.size()),
            int(mesh->faces.size()));
    _models.push_back(std::move(mesh));
    return true;
}

// ---- preparing -----------------------------------------------------------------------

Result<int> ExampleCompletion::prepare(ShadowObject& volume)
{
    _placements.clear();
    _result = TriMesh();
    _target.reset();
    _target_index.reset();
    _cell_distance.clear();
    _occupied.clear();
    _views.clear();
    _n = 0;

    const QString failed = QStringLiteral("failed to contour voxels -> mesh.");
    const int n = volume.resolution();
    if (n < 1 || volume.sizeY() != n || volume.sizeZ() != n)
        return fail(failed);
    const TriMesh* smooth = volume.smoothMesh(true);
    if (!smooth)
        return fail(failed);

    // A copy: the volume may build its smooth mesh again while this object
    // still registers against this one.
    _target = std::make_unique<TriMesh>();
    _target->vertices = smooth->vertices;
    _target->faces = smooth->faces;
    _target->need_bbox();
    _target_box = _target->bbox;
    _target_index = std::make_unique<VertexIndex>(_target->vertices);

    _n = n;
    _cell_distance = vertexDistanceField(_target->vertices, n);
    _occupied.assign(_cell_distance.size(), 0);
    for (int x = 0; x < n; ++x) {
        for (int y = 0; y < n; ++y) {
            for (int z = 0; z < n; ++z) {
                if (!volume.isOccupied({x, y, z}))
                    continue;
                const std::size_t at = cellIndex(x, y, z);
                _occupied[at] = 1;
                _cell_distance[at] = -_cell_distance[at];
            }
        }
    }
    for (const ShadowView* view : volume.sourceViews())
        if (view)
            _views.push_back({view->_projection_mode, view->_image_map});
    return static_cast<int>(_target->vertices.size());
}

float ExampleCompletion::cellDistance(int x, int y, int z) const
{
    assert(x >= 0 && x < _n && y >= 0 && y < _n && z >= 0 && z < _n);
    return _cell_distance[cellIndex(x, y, z)];
}

// ---- placing -------------------------------------------------------------------------

std::vector<Pixel> ExampleCompletion::candidatePixels(int mode, const ByteMap& map)
{
    std::vector<Pixel> pixels;
    if (!isProjection(mode) || map.empty())
        return pixels;
    ByteMap boundary(map.first(), map.second(), 0), interior(map.first(), map.second(), 0);
    for (int i = 0; i < map.first(); ++i) {
        for (int j = 0; j < map.second(); ++j) {
            if (map.at(i, j) && isBoundaryPixel(map, i, j) && !keptWithin(boundary, i, j, kBoundarySpacing)) {
                boundary.at(i, j) = 1;
                pixels.push_back({i, j});
            }
        }
    }
    for (int i = 0; i < map.first(); ++i) {
        for (int j = 0; j < map.second(); ++j) {
            if (map.at(i, j) && !keptWithin(boundary, i, j, kBoundarySpacing) &&
                !keptWithin(interior, i, j, kInteriorSpacing)) {
                interior.at(i, j) = 1;
                pixels.push_back({i, j});
            }
        }
    }
    return pixels;
}

void ExampleCompletion::cellsOnRay(int mode, const Pixel& pixel,
                                   const std::vector<std::vector<std::array<int, 2>>>& columns,
                                   std::vector<CellIndex>& cells) const
{
    cells.clear();
    const int u = pixel.column, v = pixel.row;
    if (u < 0 || v < 0 || v >= _n)
        return;
    auto take = [&](int x, int y, int z) {
        if (_occupied[cellIndex(x, y, z)])
            cells.push_back({x, y, z});
    };
    switch (mode) {
    case X_PROJECTION:
        if (u < _n)
            for (int x = 0; x < _n; ++x)
                take(x, u, v);
        break;
    case Y_PROJECTION:
        if (u < _n)
            for (int y = 0; y < _n; ++y)
                take(u, y, v);
        break;
    case Z_PROJECTION:
        if (u < _n)
            for (int z = 0; z < _n; ++z)
                take(u, v, z);
        break;
    default:
        if (std::size_t(u) < columns.size())
            for (const auto& [x, y] : columns[std::size_t(u)])
                take(x, y, v);
        break;
    }
}

void ExampleCompletion::placeAt(const std::vector<CellIndex>& cells, NuRegistration& registration)
{
    // The draws, in this order: the cell, the turn (r1 .. r4), the model.
    const CellIndex c = cells[std::size_t(std::rand() % static_cast<int>(cells.size()))];
    const double r1 = centredDraw();
    const double r2 = centredDraw();
    const double r3 = centredDraw();
    const double r4 = centredDraw();
    const int model = std::rand() % modelCount();

    Vec3 axis{r4, r3, r2};
    const double norm = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
    if (norm > 0.0)
        for (double& a : axis)
            a /= norm;
    RigidTransform pose = RigidTransform::rotation(r1 * std::numbers::pi, axis);
    pose.t = {double(c.x), double(c.y), double(c.z)};
    const float delta = std::fabs(cellDistance(c.x, c.y, c.z));
    const float scale = std::clamp(delta / 2.0f, kMinScale, kMaxScale);

    registration.setSource(*_models[std::size_t(model)], pose, scale);
    const Result<int> ran = registration.run(kPlaceIterations);
    assert(ran.ok());  // the placing registration's selector is 0
    (void)ran;
    _placements.push_back({model, registration.transform(), scale, true});
}

Result<int> ExampleCompletion::place(const Progress& progress)
{
    if (!_target)
        return fail(kNothingPrepared);
    if (_models.empty())
        return fail(QStringLiteral("No database model loaded."));
    _placements.clear();

    std::vector<std::vector<Pixel>> candidates;
    std::size_t total = 0;
    for (const ViewShadow& view : _views) {
        candidates.push_back(candidatePixels(view.mode, view.map));
        total += candidates.back().size();
    }

    NuRegistration registration(*_target, NuRegistration::PointToPoint, kPlaceMaxSquaredDistance, 0.0);
    std::size_t done = 0;
    int reported = -1;  // last whole percent handed to `progress`
    std::vector<CellIndex> cells;
    std::vector<std::vector<std::array<int, 2>>> columns;
    for (std::size_t k = 0; k < _views.size(); ++k) {
        const int mode = _views[k].mode;
        // Cells (x, y) of each in-plane column, x slower than y.
        columns.clear();
        if (isInPlaneMode(mode)) {
            columns.resize(std::size_t(std::max(_views[k].map.first(), 0)));
            for (int x = 0; x < _n; ++x) {
                for (int y = 0; y < _n; ++y) {
                    const int u = inPlaneColumn(mode, x, y);
                    if (u >= 0 && std::size_t(u) < columns.size())
                        columns[std::size_t(u)].push_back({x, y});
                }
            }
        }
        for (const Pixel& pixel : candidates[k]) {
            cellsOnRay(mode, pixel, columns, cells);
            if (!cells.empty())
                placeAt(cells, registration);
            ++done;
            const int percent = static_cast<int>(100 * done / total);
            if (progress && percent != reported) {
                reported = percent;
                progress(double(done) / double(total));
            }
        }
    }
    qCDebug(kalvexCompletion, "%d placements from %d candidate pixels", int(_placements.size()), int(total));
    if (_placements.empty())
        return fail(
            QStringLiteral("No example model could be placed: no shadow pixel has an occupied cell on its ray."));
    rebuildResultMesh();
    return static_cast<int>(_placements.size());
}

Result<int> ExampleCompletion::refine(int selector, int iterations, double maxSquaredDistance)
{
    if (const QString problem = NuRegistration::checkSelector(selector); !problem.isEmpty())
        return fail(problem);
    if (!_target)
        return fail(kNothingPrepared);
    NuRegistration registration(*_target, selector, maxSquaredDistance, 0.0);
    for (ModelPlacement& placement : _placements) {
        registration.setSource(*_models[std::size_t(placement.model)], placement.transform, placement.scale);
        const Result<int> ran = registration.run(iterations);
        assert(ran.ok());  // the selector was checked above
        (void)ran;
        placement.transform = registration.transform();
    }
    rebuildResultMesh();
    return keptCount();
}

// ---- results -------------------------------------------------------------------------

void ExampleCompletion::rebuildResultMesh()
{
    for (ModelPlacement& placement : _placements) {
        assert(placement.model >= 0 && placement.model < modelCount());
        if (!placement.kept)
            continue;
        const point first = placement.transform.apply(model(placement.model).vertices[0] * placement.scale);
        for (int k = 0; k < 3; ++k)
            if (first[k] < _target_box.min[k] - kBoxMargin || first[k] > _target_box.max[k] + kBoxMargin)
                placement.kept = false;
    }
    _result = TriMesh();
    for (const ModelPlacement& placement : _placements) {
        if (!placement.kept)
            continue;
        const TriMesh& m = model(placement.model);
        const int offset = static_cast<int>(_result.vertices.size());
        for (const point& v : m.vertices)
            _result.vertices.push_back(placement.transform.apply(v * placement.scale));
        for (const TriMesh::Face& f : m.faces)
            _result.faces.emplace_back(f[0] + offset, f[1] + offset, f[2] + offset);
    }
}

int ExampleCompletion::keptCount() const
{
    return static_cast<int>(
        std::count_if(_placements.begin(), _placements.end(), [](const ModelPlacement& p) { return p.kept; }));
}

TriMesh ExampleCompletion::placedModel(const ModelPlacement& placement) const
{
    const TriMesh& m = model(placement.model);
    TriMesh placed;
    placed.vertices.reserve(m.vertices.size());
    for (const point& v : m.vertices)
        placed.vertices.push_back(placement.transform.apply(v * placement.scale));
    placed.faces = m.faces;
    return placed;
}

double ExampleCompletion::meanSquaredDistance() const
{
    if (!_target_index || _result.vertices.empty())
        return 0.0;
    double sum = 0.0;
    for (const point& v : _result.vertices)
        sum += _target_index->nearest(v).squaredDistance;
    return sum / double(_result.vertices.size());
}

// ---- files ---------------------------------------------------------------------------

Result<QString> ExampleCompletion::saveSeparateMeshes(const QString& folder) const
{
    if (keptCount() == 0)
        return fail(QStringLiteral("No placed model to save."));
    const QString dir = folder + QStringLiteral("/exampleBasedResults");
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("Cannot create folder %1.").arg(dir));
    QString first;
    int written = 0;
    for (const ModelPlacement& placement : _placements) {
        if (!placement.kept)
            continue;
        const QString path = dir + QStringLiteral("/output%1.obj").arg(100 + written);
        if (!placedModel(placement).write(QFile::encodeName(path).constData()))
            return fail(QStringLiteral("Cannot write %1.").arg(path));
        if (written++ == 0)
            first = path;
    }
    return first;
}

Result<QString> ExampleCompletion::savePovScene(const QString& folder) const
{
    const QString path = folder + QStringLiteral("/current_scene.pov");
    bool ok;
    if (_result.vertices.empty()) {
        ok = saveFileSafely(path, QByteArray("test"));
    } else {
        ok = writePovScene(_result, QFile::encodeName(path).toStdString());
    }
    if (!ok)
        return fail(QStringLiteral("Cannot write %1.").arg(path));
    return path;
}
