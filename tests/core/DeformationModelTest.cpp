#include "deform/DeformationModel.h"
#include "deform/PictureMesher.h"

#include <QFile>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

TriMesh mesh_of(std::vector<point> vertices, std::vector<TriMesh::Face> faces = {})
{
    TriMesh mesh;
    mesh.vertices = std::move(vertices);
    mesh.faces = std::move(faces);
    return mesh;
}

// A model at rest whose vertices are then moved to `current`.
DeformationModel displaced(const TriMesh& rest, const std::vector<point>& current, std::vector<float> weights = {})
{
    DeformationModel model;
    model.set_image_mesh(rest, rest.vertices, weights);
    model._image_mesh.vertices = current;
    return model;
}

const TriMesh kTriangle = mesh_of({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}}, {{0, 1, 2}});

QImage disc_picture(int size, int radius)
{
    QImage picture(size, size, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(size / 2.0, size / 2.0), radius, radius);
    return picture;
}

}  // namespace

TEST(DeformationModel, HandleFilterKeepsTheFirstOfCloseSources)
{
    using V = std::vector<int>;
    EXPECT_EQ(DeformationModel::filter_handles({{10, 10, 0}, {11, 10, 0}}), V({0}));
    EXPECT_EQ(DeformationModel::filter_handles({{10, 10, 0}, {11, 11, 0}}), V({0, 1}));
    EXPECT_EQ(DeformationModel::filter_handles({{5, 5, 0}, {5, 5, 0}}), V({0}));
    // Only kept sources count: the third is 1 from the dropped second, 2 from the first.
    EXPECT_EQ(DeformationModel::filter_handles({{10, 10, 0}, {11, 10, 0}, {12, 10, 0}}), V({0, 2}));
}

TEST(DeformationModel, DisplacementFallsOffWithDistanceAndIsCutOff)
{
    DeformationModel model;
    model.set_image_mesh(mesh_of({{100, 100, 0}, {200, 100, 0}, {400, 100, 0}, {366, 100, 0}, {367, 100, 0}}), {}, {});
    model.deform({{100, 100, 0}}, {{110, 100, 5}});
    const std::vector<point>& v = model._image_mesh.vertices;
    EXPECT_FLOAT_EQ(v[0][0], 103.0f);
    EXPECT_NEAR(v[1][0] - 200.0f, 3.0 * std::exp(-3.0), 1e-5);
    EXPECT_EQ(v[2][0], 400.0f);
    EXPECT_GT(v[3][0], 366.0f);  // e = -7.98 still counts
    EXPECT_EQ(v[4][0], 367.0f);  // e = -8.01 does not
    for (const point& p : v) {
        EXPECT_EQ(p[1], 100.0f);
        EXPECT_EQ(p[2], 0.0f);  // only x and y are written
    }
}

TEST(DeformationModel, KeptHandlesAddUpAndDroppedOnesDoNotPull)
{
    DeformationModel model;
    model.set_image_mesh(mesh_of({{100, 100, 0}, {150, 100, 0}}), {}, {});
    model.deform({{100, 100, 0}, {100.5f, 100, 0}, {150, 100, 0}}, {{110, 100, 0}, {100.5f, 200, 0}, {150, 110, 0}});
    const std::vector<point>& v = model._image_mesh.vertices;
    const double far = 3.0 * std::exp(-1.5);  // 0.3 x 10 x e^(-0.03 x 50)
    EXPECT_NEAR(v[0][0], 103.0, 1e-4);
    EXPECT_NEAR(v[0][1], 100.0 + far, 1e-4);
    EXPECT_NEAR(v[1][0], 150.0 + far, 1e-4);
    EXPECT_NEAR(v[1][1], 103.0, 1e-4);

    // A source without a target is ignored.
    model.set_image_mesh(mesh_of({{0, 0, 0}}), {}, {});
    model.deform({{0, 0, 0}, {50, 50, 0}}, {{10, 0, 0}});
    EXPECT_FLOAT_EQ(model._image_mesh.vertices[0][0], 3.0f);
}

// One vertex of a lone triangle (weights w) displaced by 1 in x. With u1 = u2
// by symmetry the system gives u0 = (1 + a) / (1 + 3a), u1 = a / (1 + 3a) for
// a = lambda w: the vertex is pulled back, its neighbours follow. A vertex
// without neighbours keeps its displacement.
TEST(DeformationModel, PreserveShapeSolvesTheSmoothingSystem)
{
    TriMesh mesh = kTriangle;
    mesh.vertices.push_back({50, 50, 0});
    std::vector<point> moved = mesh.vertices;
    moved[0][0] += 1.0f;
    moved[3] += point(2, 3, 0);
    DeformationModel model = displaced(mesh, moved);
    auto x = [&](int i) { return double(model._image_mesh.vertices[i][0]); };
    model.preserve_shape();  // lambda 10
    const double u0 = 11.0 / 31.0, u1 = 10.0 / 31.0;
    EXPECT_NEAR(x(0), u0, 1e-5);
    EXPECT_NEAR(x(1), 10.0 + u1, 1e-5);
    EXPECT_NEAR(x(2), u1, 1e-5);
    EXPECT_NEAR(model._image_mesh.vertices[1][1], 0.0, 1e-5);
    EXPECT_NEAR(x(3), 52.0, 1e-4);
    EXPECT_NEAR(model._image_mesh.vertices[3][1], 53.0, 1e-4);

    model.preserve_shape();  // lambda 9; the common part u1 is a translation and stays
    EXPECT_NEAR(x(0), u1 + (u0 - u1) * 10.0 / 28.0, 1e-5);
    EXPECT_NEAR(x(2), u1 + (u0 - u1) * 9.0 / 28.0, 1e-5);

    // Weights scale lambda per vertex: two separate triangles, stiff and soft.
    TriMesh pair = kTriangle;
    for (const point& p : kTriangle.vertices)
        pair.vertices.push_back(p + point(50, 0, 0));
    pair.faces.push_back({3, 4, 5});
    std::vector<point> pulled = pair.vertices;
    pulled[0][0] += 1.0f;
    pulled[3][0] += 1.0f;
    model = displaced(pair, pulled, {7.375f, 7.375f, 7.375f, 1.0f, 1.0f, 1.0f});
    model.preserve_shape();
    const double a = 73.75;
    EXPECT_NEAR(x(0), (1 + a) / (1 + 3 * a), 1e-5);
    EXPECT_NEAR(x(3), 50.0 + u0, 1e-5);
}

// The smoothing system on a real picture mesh, solved independently (Gauss-
// Seidel in double until it settles): one step matches it closely, which a
// solver stopped after a few iterations does not.
TEST(DeformationModel, PreserveShapeMatchesAnExactSolveOnAPictureMesh)
{
    TriMesh mesh = PictureMesher(QImage(QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird1.png")), 3.0f).mesh();
    mesh.need_neighbors();
    const std::size_t n = mesh.vertices.size();
    ASSERT_GT(n, 500u);
    const point centre = mesh.vertices[n / 2];
    std::vector<point> moved = mesh.vertices;
    for (point& p : moved)
        if (dist2(p, centre) < 25.0f * 25.0f)
            p += point(3, 8, 0);  // a bump pulled out of the figure
    DeformationModel model = displaced(mesh, moved);
    model.preserve_shape();  // lambda 10

    const double lambda = 10.0;
    std::vector<double> u(2 * n, 0.0);
    for (int sweep = 0; sweep < 3000; ++sweep)
        for (std::size_t i = 0; i < n; ++i) {
            const std::vector<int>& around = mesh.neighbors[i];
            for (int c = 0; c < 2; ++c) {
                double sum = double(moved[i][c]) - double(mesh.vertices[i][c]);
                for (int j : around)
                    sum += lambda * u[2 * std::size_t(j) + c];
                u[2 * i + c] = sum / (1.0 + lambda * double(around.size()));
            }
        }
    double worst = 0.0;
    for (std::size_t i = 0; i < n; ++i)
        for (int c = 0; c < 2; ++c)
            worst = std::max(worst, std::fabs(double(model._image_mesh.vertices[i][c]) -
                                              (double(mesh.vertices[i][c]) + u[2 * i + c])));
    EXPECT_LT(worst, 0.02) << "pixels off the exact solution";
}

TEST(DeformationModel, RenderFillsFacesBlackOnWhite)
{
    const TriMesh mesh = mesh_of({{20, 20, 0}, {120, 20, 0}, {20, 120, 0}, {150, 150, 0}, {190, 150, 0}, {150, 190, 0}},
                                 {{0, 1, 2}, {3, 4, 5}});
    DeformationModel model;
    int calls = 0;
    model.set_render_callback([&](const QImage&) { ++calls; });
    const QImage image = model.set_image_mesh(mesh, mesh.vertices, {});
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(image.size(), QSize(200, 200));
    EXPECT_EQ(image.pixel(30, 30), 0xFF000000u);
    EXPECT_EQ(image.pixel(160, 160), 0xFF000000u);
    for (QPoint white : {QPoint(10, 10), QPoint(100, 100), QPoint(199, 199), QPoint(0, 199)})
        EXPECT_EQ(image.pixel(white), 0xFFFFFFFFu) << white.x() << "," << white.y();

    model._pixmap = QImage(100, 50, QImage::Format_RGB32);
    model.render();
    EXPECT_EQ(model.rendering().size(), QSize(100, 50));
    EXPECT_EQ(calls, 2);
}

TEST(DeformationModel, MaskSetsStiffnessFromRed)
{
    QImage mask(200, 200, QImage::Format_RGB32);
    mask.fill(Qt::white);
    QPainter(&mask).fillRect(0, 0, 100, 200, Qt::black);
    QPainter(&mask).fillRect(150, 0, 10, 200, QColor(128, 255, 255));
    DeformationModel model;
    model.set_image_mesh(
        mesh_of({{50.7f, 10, 0}, {99.9f, 10, 0}, {100, 10, 0}, {155.5f, 10, 0}, {-0.5f, 10, 0}, {250, 10, 0}, {10, -2, 0}}),
        {}, {});
    model.apply_mask(mask);
    // -0.5 truncates to pixel 0; (250, 10) and (10, -2) are outside the mask.
    EXPECT_EQ(model.vertex_weights(), (std::vector<float>{7.375f, 7.375f, 1.0f, 4.175f, 7.375f, 1.0f, 1.0f}));
}

TEST(DeformationModel, LoadPictureWritesAndThenReadsTheCache)
{
    EXPECT_EQ(DeformationModel::cache_path("/a/x.png.png"), "/a/x_mesh.obj.png");  // the first ".png" only
    EXPECT_TRUE(DeformationModel::cache_path("/a/b.jpg").isEmpty());
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("disc.png");
    ASSERT_TRUE(disc_picture(250, 80).save(path));

    DeformationModel first;
    first.load_picture(QImage(path), path);
    const TriMesh& mesh = first._image_mesh;
    ASSERT_GT(mesh.faces.size(), 100u);
    EXPECT_EQ(first.rest_positions(), mesh.vertices);
    EXPECT_EQ(first.vertex_weights(), std::vector<float>(mesh.vertices.size(), 1.0f));
    EXPECT_EQ(mesh.neighbors.size(), mesh.vertices.size());
    ASSERT_EQ(first.rendering().size(), QSize(200, 200));
    EXPECT_EQ(first.rendering().pixel(100, 100), 0xFF000000u);
    EXPECT_EQ(first.rendering().pixel(5, 5), 0xFFFFFFFFu);
    EXPECT_TRUE(QFile::exists(dir.filePath("disc_mesh.obj")));

    // Without the picture the mesh can only come from the cache.
    ASSERT_TRUE(QFile::remove(path));
    DeformationModel second;
    second.load_picture(QImage(path), path);
    ASSERT_EQ(second._image_mesh.vertices.size(), mesh.vertices.size());
    EXPECT_EQ(second._image_mesh.faces, mesh.faces);
    for (size_t i = 0; i < mesh.vertices.size(); ++i)
        EXPECT_LT(dist2(second._image_mesh.vertices[i], mesh.vertices[i]), 1e-8f) << i;
}

TEST(DeformationModel, PictureWithoutFigureLoadsAsAnEmptyWhiteModel)
{
    QImage white(250, 250, QImage::Format_RGB32);
    white.fill(Qt::white);
    DeformationModel model;
    model.load_picture(white, "no-cache-for-this-path");
    EXPECT_TRUE(model._image_mesh.vertices.empty());
    EXPECT_TRUE(model._image_mesh.faces.empty());
    model.preserve_shape();
    ASSERT_EQ(model.rendering().size(), QSize(200, 200));
    EXPECT_EQ(model.rendering().pixel(100, 100), 0xFFFFFFFFu);
}
