// Printable sculptures: the mesh checks, STL and 3MF written and read back,
// and a sculpture whose shadows are its pictures' figures.

#include "CliTestSupport.h"
#include "SyntheticPictures.h"

#include "session/DesignSession.h"
#include "surface/PrintableMesh.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>

namespace {

TriMesh tetrahedron(point at = point())
{
    TriMesh t;
    t.vertices = {at + point(0, 0, 0), at + point(1, 0, 0), at + point(0, 1, 0), at + point(0, 0, 1)};
    t.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    return t;
}

TEST(Print, MeshChecksCountHolesFinsPartsAndWinding)
{
    EXPECT_TRUE(checkMesh(tetrahedron()).printable());

    TriMesh hole = tetrahedron();
    hole.faces.pop_back();  // three edges left with one face
    EXPECT_EQ(checkMesh(hole).openEdges, 3);

    TriMesh fin = tetrahedron();
    fin.vertices.emplace_back(1, 1, -1);
    fin.faces.emplace_back(0, 1, 4);  // a third face on edge 0-1, wound like the first
    const MeshCheck finCheck = checkMesh(fin);
    EXPECT_EQ(finCheck.nonManifoldEdges, 1);
    EXPECT_EQ(finCheck.openEdges, 2);

    TriMesh two = tetrahedron();
    const TriMesh other = tetrahedron(point(5, 0, 0));
    for (const TriMesh::Face& f : other.faces)
        two.faces.emplace_back(f[0] + 4, f[1] + 4, f[2] + 4);
    two.vertices.insert(two.vertices.end(), other.vertices.begin(), other.vertices.end());
    EXPECT_EQ(checkMesh(two).parts, 2);

    TriMesh turned = tetrahedron();
    std::swap(turned.faces[3][0], turned.faces[3][1]);
    EXPECT_EQ(checkMesh(turned).flippedEdges, 3);
    EXPECT_FALSE(checkMesh(turned).printable());

    // Every face turned: the neighbours agree, but the surface faces inward,
    // here and for a closed part far from the origin.
    for (const point& at : {point(), point(-40, 25, 7)}) {
        TriMesh inward = tetrahedron(at);
        for (TriMesh::Face& f : inward.faces)
            std::swap(f[1], f[2]);
        const MeshCheck inwardCheck = checkMesh(inward);
        EXPECT_EQ(inwardCheck.flippedEdges, 0);
        EXPECT_TRUE(inwardCheck.insideOut);
        EXPECT_FALSE(inwardCheck.printable());
        EXPECT_FALSE(checkMesh(tetrahedron(at)).insideOut);
    }
}

TEST(Print, StlAnd3mfReadBackTheSameTriangles)
{
    QTemporaryDir dir;
    TriMesh mesh = tetrahedron(point(1.5f, 2.25f, 1e-3f));
    const std::string stl = dir.filePath("t.stl").toStdString(), threeMf = dir.filePath("t.3mf").toStdString();
    ASSERT_TRUE(writeBinaryStl(mesh, stl));
    ASSERT_TRUE(write3mf(mesh, threeMf));
    const std::unique_ptr<TriMesh> fromStl(readBinaryStl(stl)), from3mf(read3mf(threeMf));
    ASSERT_TRUE(fromStl && from3mf);
    EXPECT_EQ(from3mf->vertices, mesh.vertices);
    EXPECT_EQ(from3mf->faces, mesh.faces);
    ASSERT_EQ(fromStl->faces.size(), 4u);
    for (int f = 0; f < 4; ++f)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(fromStl->vertices[std::size_t(3 * f + c)], mesh.vertices[std::size_t(mesh.faces[f][c])]);
    EXPECT_FALSE(readBinaryStl(threeMf));  // not an STL
    EXPECT_FALSE(read3mf(stl));
}

// An independent reader: prusa-slicer opens the package (a compressed zip
// made by libzip) and finds the closed tetrahedron at its size.
TEST(Print, SlicerReads3mf)
{
    const QString slicer = QStandardPaths::findExecutable(QStringLiteral("prusa-slicer"));
    if (slicer.isEmpty())
        GTEST_SKIP() << "prusa-slicer is not installed";
    QTemporaryDir dir;
    TriMesh mesh = tetrahedron(point(3, 4, 5));
    for (point& p : mesh.vertices)
        p *= 20.0f;  // 20 mm edges
    const QString path = dir.filePath(QStringLiteral("t.3mf"));
    ASSERT_TRUE(write3mf(mesh, path.toStdString()));
    QProcess process;
    process.start(slicer, {QStringLiteral("--info"), path});
    ASSERT_TRUE(process.waitForFinished(120000));
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    EXPECT_EQ(process.exitCode(), 0);
    for (const char* line : {"size_x = 20.000000", "size_z = 20.000000", "min_x = 60.000000", "number_of_facets = 4",
                             "manifold = yes", "number_of_parts =  1"})
        EXPECT_TRUE(info.contains(QLatin1String(line))) << line << "\n" << info.toStdString();
    EXPECT_FALSE(write3mf(mesh, dir.filePath(QStringLiteral("no-such-dir/t.3mf")).toStdString()));
}

// A mesh of some megabytes goes through the writers' chunks: the same
// triangles come back, the 3MF's CRCs hold (checked by its reader and, where
// Python is installed, by Python's zip module).
TEST(Print, LargeMeshesReadBackTheSame)
{
    TriMesh grid;
    constexpr int side = 104;  // both files above the 1 MB chunk
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            grid.vertices.emplace_back(x * 0.37f, y * 1.1f, float((x * y) % 7) * 0.013f);
    for (int y = 0; y + 1 < side; ++y)
        for (int x = 0; x + 1 < side; ++x) {
            const int v = y * side + x;
            grid.faces.emplace_back(v, v + 1, v + side + 1);
            grid.faces.emplace_back(v, v + side + 1, v + side);
        }
    QTemporaryDir dir;
    const std::string stl = dir.filePath("g.stl").toStdString(), threeMf = dir.filePath("g.3mf").toStdString();
    ASSERT_TRUE(writeBinaryStl(grid, stl));
    ASSERT_TRUE(write3mf(grid, threeMf));
    EXPECT_GT(QFileInfo(QString::fromStdString(stl)).size(), 1 << 20);
    const std::unique_ptr<TriMesh> fromStl(readBinaryStl(stl)), from3mf(read3mf(threeMf));
    ASSERT_TRUE(fromStl && from3mf);
    EXPECT_EQ(from3mf->vertices, grid.vertices);
    EXPECT_EQ(from3mf->faces, grid.faces);
    ASSERT_EQ(fromStl->faces.size(), grid.faces.size());
    for (std::size_t f = 0; f < grid.faces.size(); f += 997)
        for (int c = 0; c < 3; ++c)
            EXPECT_EQ(fromStl->vertices[3 * f + std::size_t(c)], grid.vertices[std::size_t(grid.faces[f][c])]);
    const QString python = QStandardPaths::findExecutable(QStringLiteral("python3"));
    if (!python.isEmpty()) {
        QProcess check;
        check.start(python, {"-c", "import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)",
                             QString::fromStdString(threeMf)});
        ASSERT_TRUE(check.waitForFinished(60000));
        EXPECT_EQ(check.exitCode(), 0) << check.readAllStandardError().toStdString();
    }
}

// Pixel centres of an N x N map covered by the sculpture's projection along
// an axis (map pixel c of a cell size s has its centre at (c + 0.5) s).
std::vector<std::uint8_t> castByMesh(const Sculpture& sculpture, int axis, int n, float cellSize)
{
    const TriMesh& mesh = sculpture.mesh;
    const int u = axis == 0 ? 1 : 0, v = axis == 2 ? 1 : 2;  // map column and row axes
    std::vector<std::uint8_t> covered(std::size_t(n) * n, 0);
    for (const TriMesh::Face& f : mesh.faces) {
        float pu[3], pv[3];
        for (int k = 0; k < 3; ++k) {
            const point px = sculpture.toPicturePixels(mesh.vertices[std::size_t(f[k])]);
            pu[k] = px[u] / cellSize - 0.5f;
            pv[k] = px[v] / cellSize - 0.5f;
        }
        const float area = (pu[1] - pu[0]) * (pv[2] - pv[0]) - (pu[2] - pu[0]) * (pv[1] - pv[0]);
        if (area == 0.0f)
            continue;
        const int c0 = std::max(0, int(std::ceil(std::min({pu[0], pu[1], pu[2]}))));
        const int c1 = std::min(n - 1, int(std::floor(std::max({pu[0], pu[1], pu[2]}))));
        const int r0 = std::max(0, int(std::ceil(std::min({pv[0], pv[1], pv[2]}))));
        const int r1 = std::min(n - 1, int(std::floor(std::max({pv[0], pv[1], pv[2]}))));
        for (int c = c0; c <= c1; ++c)
            for (int r = r0; r <= r1; ++r) {
                float w[3];
                for (int k = 0; k < 3; ++k) {
                    const int a = (k + 1) % 3, b = (k + 2) % 3;
                    w[k] = ((pu[b] - pu[a]) * (float(r) - pv[a]) - (float(c) - pu[a]) * (pv[b] - pv[a])) / area;
                }
                if (w[0] >= 0 && w[1] >= 0 && w[2] >= 0)
                    covered[std::size_t(c) * n + r] = 1;
            }
    }
    return covered;
}

// The three pictures of a solid agree (each is a shadow of that solid), so
// the hull casts each of them, and so does the printed sculpture, pixel for
// pixel: an ellipsoid with a notch, and a cross of three bars from border
// to border of the grid (cells in the first and last layer of every axis).
TEST(Print, SculptureOfAgreeingPicturesCastsTheirFigures)
{
    constexpr int n = 50;
    const struct {
        const char* name;
        std::function<bool(int, int, int)> inSolid;
    } solids[] = {
        {"ellipsoid", [](int x, int y, int z) {
             const float dx = (x - 26.5f) / 18.0f, dy = (y - 24.0f) / 14.0f, dz = (z - 23.0f) / 20.0f;
             return dx * dx + dy * dy + dz * dz <= 1.0f && !(x > 30 && z > 28);
         }},
        {"cross", [](int x, int y, int z) {
             const auto middle = [](int a) { return a >= 20 && a < 24; };
             return (middle(y) && middle(z)) || (middle(x) && middle(z)) || (middle(x) && middle(y));
         }},
    };
    for (const auto& solid : solids) {
        QImage pictures[3];
        for (QImage& picture : pictures)
            picture = pictureWithPixels({});
        for (int x = 0; x < n; ++x)
            for (int y = 0; y < n; ++y)
                for (int z = 0; z < n; ++z)
                    if (solid.inSolid(x, y, z)) {
                        const QPoint pixels[3] = {{y, z}, {x, z}, {x, y}};  // X, Y and Z views
                        for (int k = 0; k < 3; ++k)
                            QPainter(&pictures[k]).fillRect(pixels[k].x() * 5, pixels[k].y() * 5, 5, 5, Qt::black);
                    }
        QTemporaryDir dir;
        DesignSession::PictureFiles files;
        for (int k = 0; k < 3; ++k) {
            files[std::size_t(k)] = dir.filePath(QStringLiteral("view%1.png").arg(k));
            ASSERT_TRUE(pictures[k].save(files[std::size_t(k)]));
        }
        DesignSession session;
        ASSERT_TRUE(session.load({.paths = files, .cellSize = 5.0f, .how = DesignSession::Pictures::Plain}).ok());
        ASSERT_TRUE(session.compute().ok());
        SculptureOptions options;
        options.sizeMm = 80.0f;
        const Result<Sculpture> made = session.volume().sculpture(options);
        ASSERT_TRUE(made.ok()) << made.error().toStdString();
        const Sculpture& sculpture = made.value();
        EXPECT_TRUE(sculpture.check.printable()) << solid.name << ": " << sculpture.check.openEdges << " open edges, "
                                                 << sculpture.check.parts << " parts";
        EXPECT_FLOAT_EQ(std::max({sculpture.sizeMm[0], sculpture.sizeMm[1], sculpture.sizeMm[2]}), 80.0f);
        for (int axis = 0; axis < 3; ++axis) {
            const ShadowView& view = session.pictures().views()[std::size_t(axis)];
            const std::vector<std::uint8_t> cast = castByMesh(sculpture, axis, n, 5.0f);
            int differing = 0;
            for (int c = 0; c < n; ++c)
                for (int r = 0; r < n; ++r)
                    differing += (cast[std::size_t(c) * n + r] != 0) != (view._image_map.at(c, r) != 0);
            EXPECT_EQ(differing, 0) << solid.name << " axis " << axis;
            EXPECT_EQ(session.volume().counts().missing[std::size_t(axis)] + session.volume().counts().extra[std::size_t(axis)], 0);
        }
    }
}

// A volume against the grid's low corner, with a hollow closed inside it:
// every cell keeps its outer faces (the interpolation's border) and the
// hollow is filled, so the print is one closed part; with a tunnel from the
// hollow to the outside it stays open.
TEST(Print, SculptureAtTheGridBorderWithAHollowIsOnePart)
{
    for (const bool tunnel : {false, true}) {
        SCOPED_TRACE(tunnel ? "tunnel" : "hollow");
        ShadowObject volume(25.0f);  // 10 cells per side
        for (int x = 0; x < 5; ++x)
            for (int y = 0; y < 5; ++y)
                for (int z = 0; z < 5; ++z)
                    volume.setOccupied({x, y, z}, !(x >= 1 && x <= 3 && y >= 1 && y <= 3 && z >= 1 && z <= 3));
        if (tunnel)
            for (int x = 3; x < 5; ++x)
                volume.setOccupied({x, 2, 2}, false);
        const Result<Sculpture> made = makeSculpture(&volume, SculptureOptions());
        ASSERT_TRUE(made.ok()) << made.error().toStdString();
        const Sculpture& sculpture = made.value();
        EXPECT_EQ(sculpture.check.openEdges, 0);
        EXPECT_EQ(sculpture.check.parts, 1);
        EXPECT_TRUE(sculpture.check.printable());
        EXPECT_EQ(sculpture.cells, tunnel ? 125 - 27 - 1 : 125);  // a closed hollow is filled
    }
}

// kalvex-cli sculpt writes the files a slicer takes and reports them.
TEST(Print, SculptCommand)
{
    QTemporaryDir dir;
    QStringList birds;
    for (int k = 1; k <= 3; ++k)
        birds << QStringLiteral(KALVEX_SOURCE_DIR "/IncludedData/birds/bird%1.png").arg(k);
    const CliRun run =
        runCli(QStringList{"sculpt", "--passes", "1", "--size-mm", "60", "--out", dir.filePath("out")} + birds);
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(json["cell_size"].toInt(), 3);  // the largest with cells of at most 0.8 mm at 60 mm
    EXPECT_TRUE(json["bridge_cells"].isDouble());
    EXPECT_EQ(json["components"].toInt(), 1);
    EXPECT_EQ(json["open_edges"].toInt(-1), 0);
    EXPECT_EQ(json["nonmanifold_edges"].toInt(-1), 0);
    double longest = 0.0;
    for (const QJsonValue& side : json["size_mm"].toArray())
        longest = std::max(longest, side.toDouble());
    EXPECT_NEAR(longest, 60.0, 1e-3);
    EXPECT_EQ(json["missing"].toArray().size(), 3);
    const std::unique_ptr<TriMesh> stl(readBinaryStl(dir.filePath("out/sculpture.stl").toStdString()));
    ASSERT_TRUE(stl);
    EXPECT_EQ(int(stl->faces.size()), json["triangles"].toInt());
    for (const char* name : {"out/sculpture.3mf", "out/sculpture.kxscene", "out/deformed2.png"})
        EXPECT_TRUE(QFile::exists(dir.filePath(name))) << name;

    // A cell size given wins over the print's.
    const CliRun coarse =
        runCli(QStringList{"sculpt", "--passes", "0", "--cell-size", "10", "--out", dir.filePath("coarse")} + birds);
    ASSERT_EQ(coarse.exitCode, 0) << coarse.err.toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(coarse.out).object()["cell_size"].toInt(), 10);
}

}  // namespace
