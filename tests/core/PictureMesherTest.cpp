#include "deform/PictureMesher.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

QImage white_picture(int w, int h)
{
    QImage picture(w, h, QImage::Format_RGB32);
    picture.fill(Qt::white);
    return picture;
}

// Two dark discs and a bar: curved and straight outlines, several components.
QImage blobs_picture()
{
    QImage picture = white_picture(120, 90);
    QPainter painter(&picture);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QPointF(35, 40), 28, 25);
    painter.drawEllipse(QPointF(90, 50), 20, 30);
    painter.drawRect(10, 75, 100, 8);
    return picture;
}

double squared_distance(const point& a, const point& b)
{
    const double dx = a[0] - b[0], dy = a[1] - b[1];
    return dx * dx + dy * dy;
}

}  // namespace

TEST(PictureMesher, DarkNeedsAllThreeChannelsBelow100)
{
    QImage picture = white_picture(4, 1);
    picture.setPixel(0, 0, qRgb(99, 99, 99));
    picture.setPixel(1, 0, qRgb(100, 0, 0));
    picture.setPixel(2, 0, qRgb(0, 100, 0));
    picture.setPixel(3, 0, qRgb(0, 0, 100));
    const PictureMesher mesher(picture, 3.0f);
    EXPECT_TRUE(mesher.is_dark(0, 0));
    for (int x : {1, 2, 3, -1, 4})
        EXPECT_FALSE(mesher.is_dark(x, 0)) << x;
}

TEST(PictureMesher, SquareSplitsIntoBoundaryAndInteriorInScanOrder)
{
    QImage picture = white_picture(20, 20);
    QPainter(&picture).fillRect(5, 5, 10, 10, Qt::black);
    const PictureMesher mesher(picture, 3.0f);
    ASSERT_EQ(mesher.boundary_pixels().size(), 36u);
    ASSERT_EQ(mesher.interior_pixels().size(), 64u);
    // x outer, y inner
    EXPECT_EQ(mesher.boundary_pixels()[0], point(5, 5, 0));
    EXPECT_EQ(mesher.boundary_pixels()[1], point(5, 6, 0));
    EXPECT_EQ(mesher.interior_pixels()[0], point(6, 6, 0));
    EXPECT_EQ(mesher.interior_pixels()[1], point(6, 7, 0));
    EXPECT_EQ(mesher.interior_pixels().back(), point(13, 13, 0));

    // Pixels beyond the picture's edge are not light neighbours.
    QImage full(10, 10, QImage::Format_RGB32);
    full.fill(Qt::black);
    const PictureMesher whole(full, 3.0f);
    EXPECT_TRUE(whole.boundary_pixels().empty());
    EXPECT_EQ(whole.interior_pixels().size(), 100u);
}

TEST(PictureMesher, BoundarySamplesCoverTheOutlineWithoutCrowding)
{
    const float s = 3.0f;
    const PictureMesher mesher(blobs_picture(), s);
    const std::vector<point> samples = mesher.boundary_samples();
    ASSERT_GT(samples.size(), 20u);
    EXPECT_EQ(samples[0], mesher.boundary_pixels()[0]);
    // A sample marks every boundary pixel within s, so no later sample lies
    // closer than s, and every boundary pixel is within s of a sample.
    for (size_t i = 0; i < samples.size(); ++i)
        for (size_t j = i + 1; j < samples.size(); ++j)
            ASSERT_GE(squared_distance(samples[i], samples[j]), s * s) << i << " " << j;
    for (const point& p : mesher.boundary_pixels()) {
        const bool covered = std::any_of(samples.begin(), samples.end(),
                                         [&](const point& q) { return squared_distance(p, q) <= s * s; });
        ASSERT_TRUE(covered) << p[0] << "," << p[1];
    }
}

TEST(PictureMesher, InteriorSamplesFollowTheBruteForceRule)
{
    for (float s : {3.0f, 2.5f, 0.4f}) {
        const PictureMesher mesher(blobs_picture(), s);
        const std::vector<point> boundary = mesher.boundary_samples();
        std::vector<point> expected = boundary;
        for (const point& p : mesher.interior_pixels()) {
            const bool near = std::any_of(expected.begin(), expected.end(),
                                          [&](const point& q) { return squared_distance(p, q) < 4.0 * s * s; });
            if (!near)
                expected.push_back(p);
        }
        const std::vector<point> samples = mesher.add_interior_samples(boundary);
        EXPECT_GT(samples.size(), boundary.size()) << s;
        EXPECT_EQ(samples, expected) << s;
    }
}

TEST(PictureMesher, TrianglesAcrossALightGapOrBadlyShapedAreDropped)
{
    QImage picture = white_picture(80, 40);
    QPainter(&picture).fillRect(5, 5, 30, 30, Qt::black);   // x 5..34
    QPainter(&picture).fillRect(45, 5, 30, 30, Qt::black);  // x 45..74
    const PictureMesher mesher(picture, 3.0f);
    const std::vector<point> samples = mesher.add_interior_samples(mesher.boundary_samples());
    // Any triangulation covers the convex hull of the samples, gap included, so
    // the Delaunay step does make triangles across it.
    const TriMesh mesh = mesher.triangulate(samples);
    ASSERT_EQ(mesh.vertices.size(), samples.size());
    int left = 0, right = 0;
    for (const TriMesh::Face& f : mesh.faces) {
        const float x0 = mesh.vertices[f[0]][0], x1 = mesh.vertices[f[1]][0], x2 = mesh.vertices[f[2]][0];
        EXPECT_EQ(x0 < 40, x1 < 40);
        EXPECT_EQ(x0 < 40, x2 < 40);
        (x0 < 40 ? left : right)++;
    }
    EXPECT_GT(left, 10);
    EXPECT_GT(right, 10);

    // Corner cosines must lie in [-0.7, 0.999].
    QImage dark(20, 20, QImage::Format_RGB32);
    dark.fill(Qt::black);
    const PictureMesher all_dark(dark, 3.0f);
    EXPECT_EQ(all_dark.triangulate({{0, 0, 0}, {10, 0, 0}, {5, 4, 0}}).faces.size(), 1u);
    EXPECT_TRUE(all_dark.triangulate({{0, 0, 0}, {10, 0, 0}, {5, 1, 0}}).faces.empty());      // 157 degrees
    EXPECT_TRUE(all_dark.triangulate({{0, 0, 0}, {19, 0, 0}, {19, 0.5f, 0}}).faces.empty());  // 1.5 degrees
}

TEST(PictureMesher, MeshIsScaledToTheTargetWidth)
{
    QImage picture = white_picture(400, 100);
    QPainter(&picture).fillRect(100, 20, 100, 60, Qt::black);
    const TriMesh scaled = PictureMesher(picture, 3.0f).mesh();
    const TriMesh unscaled = PictureMesher(picture, 3.0f, 0).mesh();
    ASSERT_FALSE(scaled.faces.empty());
    ASSERT_EQ(scaled.vertices.size(), unscaled.vertices.size());
    EXPECT_EQ(scaled.faces, unscaled.faces);
    for (size_t i = 0; i < scaled.vertices.size(); ++i) {
        EXPECT_FLOAT_EQ(scaled.vertices[i][0], unscaled.vertices[i][0] * 0.5f);
        EXPECT_FLOAT_EQ(scaled.vertices[i][1], unscaled.vertices[i][1] * 0.5f);
        EXPECT_GE(unscaled.vertices[i][0], 100.0f);
        EXPECT_LE(unscaled.vertices[i][0], 199.0f);
    }
}

TEST(PictureMesher, DegenerateSpacingsStayDefined)
{
    const PictureMesher zero(blobs_picture(), 0.0f);
    EXPECT_EQ(zero.boundary_samples().size(), zero.boundary_pixels().size());
    for (float s : {-3.0f, std::nanf(""), 1e30f}) {
        const PictureMesher mesher(blobs_picture(), s);
        const TriMesh mesh = mesher.mesh();
        EXPECT_LE(mesh.vertices.size(), mesher.boundary_pixels().size() + mesher.interior_pixels().size()) << s;
    }
}
