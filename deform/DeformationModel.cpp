#include "deform/DeformationModel.h"

#include "deform/PictureMesher.h"

#include <QFile>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

// Handles whose sources are closer than this (squared) to a kept source are dropped.
constexpr float kHandleSpacing2 = 2.0f;
// A handle's influence on a vertex at distance d is exp(kFalloff d), ignored
// below exp(kCutoff); a step moves a vertex kStepFraction of the summed pull.
constexpr float kFalloff = -0.03f;
constexpr float kCutoff = -8.0f;
constexpr float kStepFraction = 0.3f;

constexpr float kFirstLambda = 10.0f;
constexpr float kMinLambda = 2.0f;
constexpr int kMaxSolverIterations = 100;
constexpr double kSolverTolerance = 1e-9;  // relative to the initial squared residual
constexpr int kResidualRefresh = 50;       // iterations between exact residuals

// Compressed sparse rows.
struct SparseMatrix {
    std::vector<int> row_start{0};
    std::vector<int> column;
    std::vector<float> value;

    void add(int col, float v)
    {
        column.push_back(col);
        value.push_back(v);
    }
    void end_row() { row_start.push_back(static_cast<int>(column.size())); }

    // y := A x
    void multiply(const std::vector<float>& x, std::vector<float>& y) const
    {
        for (size_t row = 0; row + 1 < row_start.size(); ++row) {
            float sum = 0.0f;
            for (int k = row_start[row]; k < row_start[row + 1]; ++k)
                sum += value[k] * x[column[k]];
            y[row] = sum;
        }
    }
};

// Shape-preservation system over the displacements (dx0, dy0, dx1, dy1, ...):
// each coordinate row pulls the vertex's displacement towards its
// neighbours', scaled by lambda and the row's own vertex weight.
SparseMatrix shape_matrix(const std::vector<std::vector<int>>& neighbors, const std::vector<float>& weights,
                          float lambda)
{
    SparseMatrix a;
    for (size_t i = 0; i < neighbors.size(); ++i) {
        const float pull = lambda * weights[i];
        const float diagonal = 1.0f + pull * float(neighbors[i].size());
        for (int coord = 0; coord < 2; ++coord) {
            for (int j : neighbors[i])
                a.add(2 * j + coord, -pull);
            a.add(2 * static_cast<int>(i) + coord, diagonal);
            a.end_row();
        }
    }
    return a;
}

double dot_product(const std::vector<float>& a, const std::vector<float>& b)
{
    double sum = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
        sum += double(a[i]) * double(b[i]);
    return sum;
}

// Conjugate gradients from u = 0 in single-precision vectors (dot products
// summed in double). The matrix is not symmetric where neighbouring weights
// differ; the method is applied all the same, and stops on a breakdown
// (p . q zero or not finite) instead of producing non-numbers.
std::vector<float> conjugate_gradients(const SparseMatrix& a, const std::vector<float>& b)
{
    const size_t n = b.size();
    std::vector<float> u(n, 0.0f);
    std::vector<float> r = b;  // b - A u for u = 0
    std::vector<float> p = r;
    std::vector<float> q(n);
    double delta = dot_product(r, r);
    const double tolerance = delta * kSolverTolerance;
    for (int i = 0; i < kMaxSolverIterations && delta > tolerance; ++i) {
        a.multiply(p, q);
        const double pq = dot_product(p, q);
        if (!(std::isfinite(pq) && pq != 0.0))
            break;
        const float alpha = float(delta / pq);
        for (size_t k = 0; k < n; ++k)
            u[k] += alpha * p[k];
        if (i % kResidualRefresh == 0) {
            a.multiply(u, q);
            for (size_t k = 0; k < n; ++k)
                r[k] = b[k] - q[k];
        } else {
            for (size_t k = 0; k < n; ++k)
                r[k] -= alpha * q[k];
        }
        const double delta_old = delta;
        delta = dot_product(r, r);
        const float beta = float(delta / delta_old);
        for (size_t k = 0; k < n; ++k)
            p[k] = r[k] + beta * p[k];
    }
    return u;
}

// The cached picture mesh at `path` without unused vertices, or nullptr when
// there is none or it cannot be read.
std::unique_ptr<TriMesh> read_cache(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    std::unique_ptr<TriMesh> mesh(TriMesh::read(QFile::encodeName(path).constData()));
    if (mesh)
        remove_unused_vertices(mesh.get());
    return mesh;
}

}  // namespace

// The hand-editing control grid of the widget is not offered, so `grid_cells`
// is accepted and unused here and in set_image_mesh.
void DeformationModel::load_picture(const QImage& picture, const QString& path, float spacing, int)
{
    const QString cache = cache_path(path);
    std::unique_ptr<TriMesh> cached = read_cache(cache);
    TriMesh mesh;
    if (cached) {
        mesh = std::move(*cached);
    } else {
        mesh = PictureMesher(picture, spacing, kPictureSize).mesh();
        remove_unused_vertices(&mesh);
        if (!cache.isEmpty())
            mesh.write(QFile::encodeName(cache).constData());  // a failed write is not reported
    }
    adopt_mesh(std::move(mesh));
    _vertex_weights.assign(_image_mesh.vertices.size(), 1.0f);
    _rest_positions = _image_mesh.vertices;
    _pixmap = QImage(kPictureSize, kPictureSize, QImage::Format_RGB32);
    render();
}

QImage DeformationModel::set_image_mesh(const TriMesh& mesh, const std::vector<point>& rest_positions,
                                        const std::vector<float>& weights, int)
{
    // Copies first: the arguments may be this model's own lists.
    std::vector<point> rest = rest_positions;
    std::vector<float> stiffness = weights;
    adopt_mesh(mesh);
    const size_t n = _image_mesh.vertices.size();
    // A vertex without a given rest position rests where it is; one without a
    // weight gets the default 1.0.
    if (rest.size() > n)
        rest.resize(n);
    for (size_t i = rest.size(); i < n; ++i)
        rest.push_back(_image_mesh.vertices[i]);
    stiffness.resize(n, 1.0f);
    _rest_positions = std::move(rest);
    _vertex_weights = std::move(stiffness);
    _pixmap = QImage(kPictureSize, kPictureSize, QImage::Format_RGB32);
    render();
    return _pixmap;
}

void DeformationModel::adopt_mesh(TriMesh mesh)
{
    _image_mesh = std::move(mesh);
    _image_mesh.neighbors.clear();
    _image_mesh.need_neighbors();
    _preserve_steps = 0;
}

void DeformationModel::apply_mask(const QImage& mask)
{
    const std::vector<point>& vertices = _image_mesh.vertices;
    for (size_t i = 0; i < vertices.size(); ++i) {
        const float x = vertices[i][0], y = vertices[i][1];
        float weight = 1.0f;  // outside the mask
        // Pixel (trunc(x), trunc(y)); the range test keeps the conversion defined.
        if (x > -1.0f && x < float(mask.width()) && y > -1.0f && y < float(mask.height())) {
            const int red = qRed(mask.pixel(static_cast<int>(x), static_cast<int>(y)));
            weight = float(std::abs(255 - red) / 40.0 + 1.0);
        }
        _vertex_weights[i] = weight;
    }
}

std::vector<int> DeformationModel::filter_handles(const std::vector<point>& sources)
{
    std::vector<int> kept;
    for (int i = 0; i < static_cast<int>(sources.size()); ++i) {
        const bool crowded = std::any_of(kept.begin(), kept.end(),
                                         [&](int k) { return dist2(sources[i], sources[k]) < kHandleSpacing2; });
        if (!crowded)
            kept.push_back(i);
    }
    return kept;
}

void DeformationModel::deform(const std::vector<point>& sources, const std::vector<point>& targets)
{
    std::vector<point> from, shift;  // kept handles: source and target - source
    for (int i : filter_handles(sources)) {
        if (static_cast<size_t>(i) >= targets.size())
            break;
        from.push_back(sources[i]);
        shift.push_back(targets[i] - sources[i]);
    }
    // A vertex's move depends only on its own position before the step, so
    // moving them one after the other in place is the same as moving a copy.
    for (point& p : _image_mesh.vertices) {
        point pull;
        for (size_t k = 0; k < from.size(); ++k) {
            const float e = kFalloff * len(p - from[k]);
            if (e >= kCutoff)
                pull += shift[k] * std::exp(e);
        }
        p[0] += kStepFraction * pull[0];
        p[1] += kStepFraction * pull[1];
    }
}

float DeformationModel::lambda_for_step(int k)
{
    return std::max(kFirstLambda - float(k), kMinLambda);
}

void DeformationModel::preserve_shape()
{
    const float lambda = lambda_for_step(_preserve_steps);
    ++_preserve_steps;

    std::vector<point>& vertices = _image_mesh.vertices;
    _image_mesh.need_neighbors();
    const size_t n = vertices.size();
    std::vector<float> b(2 * n);
    for (size_t i = 0; i < n; ++i) {
        b[2 * i] = vertices[i][0] - _rest_positions[i][0];
        b[2 * i + 1] = vertices[i][1] - _rest_positions[i][1];
    }
    const std::vector<float> u = conjugate_gradients(shape_matrix(_image_mesh.neighbors, _vertex_weights, lambda), b);
    for (size_t i = 0; i < n; ++i) {
        vertices[i][0] = _rest_positions[i][0] + u[2 * i];
        vertices[i][1] = _rest_positions[i][1] + u[2 * i + 1];
    }
    render();
}

QImage renderMesh(const TriMesh& mesh, const QSize& size)
{
    QImage canvas(size, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    painter.setPen(QPen(QBrush(Qt::black), 0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    painter.setBrush(QBrush(Qt::black, Qt::SolidPattern));
    const std::vector<point>& v = mesh.vertices;
    for (const TriMesh::Face& f : mesh.faces) {
        const QPointF corners[3] = {QPointF(v[f[0]][0], v[f[0]][1]), QPointF(v[f[1]][0], v[f[1]][1]),
                                    QPointF(v[f[2]][0], v[f[2]][1])};
        painter.drawConvexPolygon(corners, 3);
    }
    painter.end();
    return canvas;
}

void DeformationModel::render()
{
    // Everything is painted over, so a fresh canvas of the same size is the
    // same as painting on a copy.
    _pixmap = renderMesh(_image_mesh, _pixmap.isNull() ? QSize(kPictureSize, kPictureSize) : _pixmap.size());
    if (_on_render)
        _on_render(_pixmap);
}

QString DeformationModel::cache_path(const QString& picture_path)
{
    const qsizetype at = picture_path.indexOf(QLatin1String(".png"));
    if (at < 0)
        return {};
    QString path = picture_path;
    return path.replace(at, 4, QStringLiteral("_mesh.obj"));
}

QImage loadPictureFile(DeformationModel& model, const QString& path, bool useMask)
{
    const QString meshPath = DeformationModel::cache_path(path);
    std::unique_ptr<TriMesh> cached;
    if (!meshPath.isEmpty() && QFile::exists(meshPath))
        cached.reset(TriMesh::read(meshPath.toLocal8Bit().constData()));

    QImage picture;
    if (cached) {
        remove_unused_vertices(cached.get());
        const std::vector<float> weights(cached->vertices.size(), 1.0f);
        const QImage rendering = model.set_image_mesh(*cached, cached->vertices, weights, 4);
        // The view sees the picture itself, as without the cache, so that a
        // cached mesh gives the same volume; the mesh's rendering only when
        // the picture is gone.
        picture = QImage(path);
        if (picture.isNull())
            picture = rendering;
    } else {
        picture = QImage(path);
        if (picture.isNull())
            return picture;
        model.load_picture(picture, path, 3.0f, 4);
    }
    const qsizetype at = path.indexOf(QLatin1String(".png"));
    if (useMask && at >= 0) {
        const QImage mask(QString(path).replace(at, 4, QStringLiteral("_mask.png")));
        if (!mask.isNull())
            model.apply_mask(mask.scaledToWidth(DeformationModel::kPictureSize, Qt::FastTransformation));
    }
    return picture;
}
