#include "volume/ShadowObject.h"

#include "deform/DeformationModel.h"
#include "volume/DarkPixelSearch.h"
#include "volume/SquaredDistanceMap.h"

#include <QDebug>
#include <QFile>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

QString companionPath(const QString& picturePath, const QString& suffix)
{
    QString path = picturePath;
    const int at = path.indexOf(QLatin1String(".png"));
    if (at >= 0)
        path.replace(at, 4, suffix);
    return path;
}

// Pixels outside the picture (or of a picture that failed to load) are light.
QRgb pixelOrWhite(const QImage& image, int x, int y)
{
    return image.valid(x, y) ? image.pixel(x, y) : qRgb(255, 255, 255);
}

}  // namespace

const char* projectionModeName(int mode)
{
    switch (mode) {
    case X_PROJECTION: return "X_PROJECTION";
    case Y_PROJECTION: return "Y_PROJECTION";
    case Z_PROJECTION: return "Z_PROJECTION";
    case FortyFive_PROJECTION: return "FortyFive_PROJECTION";
    case Sixty_PROJECTION: return "Sixty_PROJECTION";
    case OneTwenty_PROJECTION: return "OneTwenty_PROJECTION";
    case all_ortho: return "all_ortho";
    default: return "";
    }
}

void exitOnImpossibleState(const char* message)
{
    qDebug("%s", message);
    std::fflush(stderr);
    std::exit(1);
}

int countOccupiedCells(EditableShadowObject& object)
{
    int count = 0;
    const int sx = object.sizeX(), sy = object.sizeY(), sz = object.sizeZ();
    for (int x = 0; x < sx; ++x)
        for (int y = 0; y < sy; ++y)
            for (int z = 0; z < sz; ++z)
                count += object.isOccupied({x, y, z}) ? 1 : 0;
    return count;
}

// ---- construction -----------------------------------------------------------

ShadowObject::ShadowObject() = default;

ShadowObject::ShadowObject(const QString& path, int mode, DeformationModel* deformImage, float cellSize)
    : _source_path(path), _deform_image(deformImage), _projection_mode(mode)
{
    if (deformImage)
        _image = deformImage->rendering().scaledToWidth(kImageExtent, Qt::FastTransformation);
    setResolutionFromCellSize(cellSize);
}

ShadowObject::ShadowObject(const QString& path, int /*unused*/, int mode, DeformationModel* deformImage,
                           float cellSize, bool useMask)
    : _source_path(path), _deform_image(deformImage), _projection_mode(mode)
{
    loadPictureFile(path, useMask);
    setResolutionFromCellSize(cellSize);
}

ShadowObject::ShadowObject(const ShadowObject* firstView, float cellSize)
{
    _cell_size = cellSize;
    _size_x = firstView->_size_x;
    _size_y = firstView->_size_y;
    _size_z = firstView->_size_z;
    _slice_size = _size_x * _size_y;
    _occupancy_grid = CellGrid(_size_x, _size_y, _size_z);
}

ShadowObject::ShadowObject(const ShadowObject& other)
    : EditableShadowObject(other),
      _cell_size(other._cell_size),
      _view_modes(other._view_modes),
      _shadow_mesh(other._shadow_mesh ? std::make_unique<TriMesh>(*other._shadow_mesh) : nullptr),
      _source_path(other._source_path),
      _deform_image(other._deform_image),
      _image(other._image),
      _size_x(other._size_x),
      _size_y(other._size_y),
      _size_z(other._size_z),
      _slice_size(other._slice_size),
      _projection_mode(other._projection_mode),
      _image_map(other._image_map),
      _reprojection_image_map{other._reprojection_image_map[0], other._reprojection_image_map[1],
                              other._reprojection_image_map[2]},
      _gray_and_not_treated(other._gray_and_not_treated),
      _source_views(other._source_views),
      _occupancy_grid(other._occupancy_grid),
      _edit_radius(other._edit_radius),
      _display_flags(other._display_flags),
      _nof_mesh_cells(other._nof_mesh_cells),
      _sq_distances(other._sq_distances ? std::make_unique<SquaredDistanceMap>(*other._sq_distances) : nullptr)
{
    // The kd-tree is rebuilt on demand from the copied map.
}

ShadowObject& ShadowObject::operator=(const ShadowObject& other)
{
    if (this != &other) {
        ShadowObject copy(other);
        *this = std::move(copy);
    }
    return *this;
}

ShadowObject::ShadowObject(ShadowObject&& other) noexcept = default;
ShadowObject& ShadowObject::operator=(ShadowObject&& other) noexcept = default;

ShadowObject::~ShadowObject()
{
    if (!_occupancy_grid.empty())
        qDebug("deleted _occupancy_grid");
    if (!_image_map.empty())
        qDebug("deleted _image_map");
    if (!_gray_and_not_treated.empty())
        qDebug("deleted _gray_and_not_treated");
}

void ShadowObject::setResolutionFromCellSize(float cellSize)
{
    _cell_size = cellSize;
    const int n = resolution();
    _size_x = _size_y = _size_z = n;
    _slice_size = n * n;
}

void ShadowObject::loadPictureFile(const QString& path, bool useMask)
{
    const QString meshPath = companionPath(path, QStringLiteral("_mesh.obj"));
    std::unique_ptr<TriMesh> cached;
    if (_deform_image && QFile::exists(meshPath))
        cached.reset(TriMesh::read(meshPath.toLocal8Bit().constData()));

    if (cached) {
        remove_unused_vertices(cached.get());
        const std::vector<float> weights(cached->vertices.size(), 1.0f);
        _image = _deform_image->set_image_mesh(*cached, cached->vertices, weights, 4);
    } else {
        _image = QImage(path);
        if (_deform_image && !_image.isNull())
            _deform_image->load_picture(_image, path, 3.0f, 4);
    }

    if (useMask && _deform_image) {
        const QImage mask(companionPath(path, QStringLiteral("_mask.png")));
        if (!mask.isNull())
            _deform_image->apply_mask(mask.scaledToWidth(DeformationModel::kPictureSize, Qt::FastTransformation));
    }
}

int ShadowObject::resolution()
{
    return static_cast<int>(std::floor(250.0f / _cell_size));
}

bool ShadowObject::isInGrid(const CellIndex& c)
{
    return c.x >= 0 && c.y >= 0 && c.z >= 0 && c.x < _size_x && c.y < _size_y && c.z < _size_z;
}

void ShadowObject::boundingBox(float min[3], float max[3])
{
    for (int k = 0; k < 3; ++k)
        min[k] = max[k] = 0.0f;
    if (!_shadow_mesh)
        return;
    _shadow_mesh->need_bbox();
    for (int k = 0; k < 3; ++k) {
        min[k] = _shadow_mesh->bbox.min[k];
        max[k] = _shadow_mesh->bbox.max[k];
    }
}

// ---- quantisation -----------------------------------------------------------

void ShadowObject::quantize(int redLimit, int greenLimit, int blueLimit, bool saveQuantized, DistanceMethod method)
{
    if (_projection_mode < X_PROJECTION || _projection_mode > OneTwenty_PROJECTION)
        exitOnImpossibleState("quantize: unknown projection mode");
    const int n = _size_x;
    _occupancy_grid = CellGrid(n, n, n);
    _gray_and_not_treated = ByteMap(n, n, 1);
    releaseSearch();

    const float cs = _cell_size;
    _image = _image.scaledToWidth(kImageExtent, Qt::FastTransformation);
    _image_map = darkMap(_image, n, cs, redLimit, greenLimit, blueLimit);

    if (saveQuantized) {
        QImage quantized(n, n, QImage::Format_RGB32);
        quantized.fill(Qt::white);
        for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
                if (_image_map.at(i, j))
                    quantized.setPixel(i, j, 0xFF000000);
        const int side = static_cast<int>(float(n) * cs);
        quantized.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation)
            .save(companionPath(_source_path, QStringLiteral("_quant.png")));
    }

    fillDistances(method);
}

ByteMap ShadowObject::darkMap(const QImage& picture, int n, float cellSize, int redLimit, int greenLimit,
                              int blueLimit)
{
    // Map pixel (i, j) samples the picture at the centre of its cell.
    ByteMap map(n, n, 0);
    const int half = static_cast<int>(cellSize * 0.5f);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const int px = static_cast<int>(float(i) * cellSize + float(half));
            const int py = static_cast<int>(float(j) * cellSize + float(half));
            const QRgb rgb = pixelOrWhite(picture, px, py);
            const bool dark = qRed(rgb) < redLimit && qGreen(rgb) < greenLimit && qBlue(rgb) < blueLimit;
            map.at(i, j) = dark ? 1 : 0;
        }
    }
    return map;
}

bool ShadowObject::pictureHasDarkPixel(const QImage& picture, float cellSize)
{
    const int n = static_cast<int>(std::floor(250.0f / cellSize));
    return darkMap(picture.scaledToWidth(kImageExtent, Qt::FastTransformation), n, cellSize, 100, 100, 100).count() > 0;
}

void ShadowObject::fillDistances(DistanceMethod method)
{
    const int n = _size_x;
    const int mode = _projection_mode;
    if (method == DistanceMethod::KdTree) {
        DarkPixelSearch& search = nearestDarkPixel();
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                for (int z = 0; z < n; ++z) {
                    const Pixel p = pixelOfCell(mode, x, y, z);
                    _occupancy_grid.at(x, y, z).distance =
                        static_cast<float>(std::sqrt(search.nearest(p.column, p.row).squaredDistance));
                }
        return;
    }

    const SquaredDistanceMap& sq = squaredDistances();
    if (!sq.hasDarkPixels()) {
        for (Cell& cell : _occupancy_grid.cells())
            cell.distance = std::numeric_limits<float>::infinity();
        return;
    }
    // Distance of every pixel a cell can reach, column by column (rows
    // contiguous), so that each cell's value is one lookup.
    const int columnMin = sq.columnMin();
    std::vector<float> table(std::size_t(sq.columnMax() - columnMin + 1) * n);
    for (int c = columnMin; c <= sq.columnMax(); ++c)
        for (int r = 0; r < n; ++r)
            table[std::size_t(c - columnMin) * n + r] = static_cast<float>(std::sqrt(double(sq.at(c, r))));
    auto column = [&](int c) { return &table[std::size_t(c - columnMin) * n]; };

    for (int x = 0; x < n; ++x)
        for (int y = 0; y < n; ++y) {
            Cell* cells = &_occupancy_grid.at(x, y, 0);
            switch (mode) {
            case X_PROJECTION: {  // pixel (y, z)
                const float* d = column(y);
                for (int z = 0; z < n; ++z)
                    cells[z].distance = d[z];
                break;
            }
            case Y_PROJECTION: {  // pixel (x, z)
                const float* d = column(x);
                for (int z = 0; z < n; ++z)
                    cells[z].distance = d[z];
                break;
            }
            case Z_PROJECTION: {  // pixel (x, y) for the whole column of cells
                const float d = column(x)[y];
                for (int z = 0; z < n; ++z)
                    cells[z].distance = d;
                break;
            }
            default: {  // pixel (oblique column of (x, y), z)
                const float* d = column(inPlaneColumn(mode, x, y));
                for (int z = 0; z < n; ++z)
                    cells[z].distance = d[z];
            }
            }
        }
}

DarkPixelSearch& ShadowObject::nearestDarkPixel()
{
    if (!_ann_built) {
        _ann_tree = std::make_unique<DarkPixelSearch>(_image_map);
        _ann_built = true;
    }
    return *_ann_tree;
}

const SquaredDistanceMap& ShadowObject::squaredDistances()
{
    if (!_sq_distances)
        _sq_distances = std::make_unique<SquaredDistanceMap>(_image_map);
    return *_sq_distances;
}

void ShadowObject::releaseSearch()
{
    _ann_tree.reset();
    _ann_built = false;
    _sq_distances.reset();
}

// ---- master -----------------------------------------------------------------

void ShadowObject::buildFromViews(std::vector<ShadowObject>& views)
{
    std::vector<ShadowObject*> pointers;
    for (ShadowObject& v : views)
        pointers.push_back(&v);
    buildFromViews(pointers);
}

void ShadowObject::buildFromViews(const std::vector<ShadowObject*>& views)
{
    const int viewCount = static_cast<int>(views.size());
    CellGrid::Storage& cells = _occupancy_grid.cells();
    for (const ShadowObject* view : views) {
        if (view->_occupancy_grid.cells().size() != cells.size()) {
            qDebug("buildFromViews: a view is not quantised at this resolution");
            return;
        }
    }
    for (std::size_t i = 0; i < cells.size(); ++i) {
        float sum = 0.0f;
        int inside = 0;
        for (const ShadowObject* view : views) {
            const float d = view->_occupancy_grid.cells()[i].distance;
            if (d == 0.0f)
                ++inside;
            else
                sum += d;
        }
        cells[i].cost = sum;
        cells[i].occupied = inside == viewCount;
        cells[i].flags &= static_cast<std::uint8_t>(~CellFlags::GreedyAdded);
    }
    for (int k = 0; k < viewCount && k < 3; ++k) {
        _view_modes[k] = views[k]->_projection_mode;
        create_reprojection_image_map(k, _view_modes[k]);
    }
    _source_views = views;
}

QImage ShadowObject::renderShadow(int mode)
{
    const int n = _size_x;
    QImage shadow(n, n, QImage::Format_RGB32);
    shadow.fill(Qt::white);
    if (mode < X_PROJECTION || mode > OneTwenty_PROJECTION)
        return shadow;
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z) {
                if (!_occupancy_grid.at(x, y, z).occupied)
                    continue;
                const Pixel p = pixelOfCell(mode, x, y, z);
                if (p.column >= 0 && p.column < n && p.row >= 0 && p.row < n)
                    shadow.setPixel(p.column, p.row, 0xFF000000);
            }
    return shadow;
}

// ---- cube mesh --------------------------------------------------------------

bool ShadowObject::isExposed(int x, int y, int z)
{
    if (x == 0 || y == 0 || z == 0 || x == _size_x - 1 || y == _size_y - 1 || z == _size_z - 1)
        return true;
    return !_occupancy_grid.at(x - 1, y, z).occupied || !_occupancy_grid.at(x + 1, y, z).occupied ||
           !_occupancy_grid.at(x, y - 1, z).occupied || !_occupancy_grid.at(x, y + 1, z).occupied ||
           !_occupancy_grid.at(x, y, z - 1).occupied || !_occupancy_grid.at(x, y, z + 1).occupied;
}

std::uint8_t ShadowObject::cellDataState(int x, int y, int z)
{
    Cell& cell = _occupancy_grid.at(x, y, z);
    const bool editable = (_display_flags & 1) && isCellRemovable({x, y, z});
    if (editable)
        cell.flags |= CellFlags::Editable;
    else
        cell.flags &= static_cast<std::uint8_t>(~CellFlags::Editable);
    cell.flags &= static_cast<std::uint8_t>(~CellFlags::Disconnected);
    return editable ? 1 : 0;
}

TriMesh* ShadowObject::buildShadowMesh()
{
    auto counted = [this](int x, int y, int z) {
        return _occupancy_grid.at(x, y, z).occupied && (!_hollow || isExposed(x, y, z));
    };
    int count = 0;
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z)
                count += counted(x, y, z) ? 1 : 0;
    _nof_mesh_cells = count;

    auto mesh = std::make_unique<TriMesh>();
    mesh->vertices.reserve(std::size_t(count) * 8);
    mesh->faces.reserve(std::size_t(count) * 12);
    mesh->cell_data.reserve(std::size_t(count) * 8);
    static constexpr int kCubeFaces[12][3] = {{0, 3, 2}, {2, 1, 0}, {1, 2, 6}, {6, 5, 1}, {0, 1, 5}, {5, 4, 0},
                                              {0, 4, 7}, {7, 3, 0}, {2, 3, 7}, {7, 6, 2}, {4, 5, 6}, {6, 7, 4}};
    const float s = _cell_size;
    for (int x = 0; x < _size_x; ++x)
        for (int y = 0; y < _size_y; ++y)
            for (int z = 0; z < _size_z; ++z) {
                if (!counted(x, y, z))
                    continue;
                const int b = static_cast<int>(mesh->vertices.size());
                const float x0 = x * s, y0 = y * s, z0 = z * s;
                const float x1 = x0 + s, y1 = y0 + s, z1 = z0 + s;
                mesh->vertices.insert(mesh->vertices.end(), {{x0, y0, z0}, {x1, y0, z0}, {x1, y1, z0}, {x0, y1, z0},
                                                             {x0, y0, z1}, {x1, y0, z1}, {x1, y1, z1}, {x0, y1, z1}});
                for (const auto& f : kCubeFaces)
                    mesh->faces.emplace_back(b + f[0], b + f[1], b + f[2]);
                const int state = cellDataState(x, y, z);
                const int greedy = (_occupancy_grid.at(x, y, z).flags & CellFlags::GreedyAdded) ? 1 : 0;
                for (int corner = 0; corner < 8; ++corner)
                    mesh->cell_data.push_back({state, corner, greedy, z});
            }
    mesh->has_cell_data = true;
    mesh->need_normals();
    _shadow_mesh = std::move(mesh);
    return _shadow_mesh.get();
}
