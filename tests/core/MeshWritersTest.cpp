// PostScript outlines and boundary loops (exact text, and a page that
// Ghostscript draws), and the POV-Ray scene pair.

#include "files/ResultFiles.h"
#include "surface/MeshWriters.h"

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// A unit square of two triangles (vertex 4 unused), and a closed tetrahedron.
TriMesh square()
{
    TriMesh m;
    m.vertices = {{0, 0, 0}, {100, 0, 0}, {100, 100, 0}, {0, 100, 0}, {7, 7, 7}};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    return m;
}

TEST(MeshWriters, TriangleOutlinesAndFrameTokens)
{
    TriMesh triangle;
    triangle.vertices = {{0, 0, 0}, {8, 0, 0}, {0, 4, 5}};
    triangle.faces = {{0, 1, 2}};
    std::ostringstream out;
    writeTriangleOutlines(triangle, out, 200.0f, 254.52f);
    EXPECT_EQ(out.str(), "newpath \n200 254.52 moveto 210 254.52 lineto \n200 249.52 lineto \n"
                         "closepath \n stroke \n"
                         "newpath \n200 254.52 moveto 450 254.52 lineto \n450 4.52 lineto \n"
                         "200 4.52 lineto \nclosepath \n stroke \n");
}

TEST(MeshWriters, BoundaryLoopsFollowBoundaryEdges)
{
    std::ostringstream loop;
    writeBoundaryLoops(square(), loop, 0.0f, 0.0f);
    // One loop around the square from vertex 0 (the diagonal 0-2 has two faces).
    EXPECT_EQ(loop.str().substr(0, loop.str().find("newpath", 1)),
              "newpath \n0 0 moveto 125 0 lineto \n125 -125 lineto \n0 -125 lineto \nclosepath \n stroke \n");

    TriMesh tetrahedron;
    tetrahedron.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    tetrahedron.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    std::ostringstream closed, frame;
    writeBoundaryLoops(tetrahedron, closed, 10.0f, 20.0f);
    writeTriangleOutlines(TriMesh(), frame, 10.0f, 20.0f);
    EXPECT_EQ(closed.str(), frame.str());  // a closed mesh has only its frame
}

// The loops as the walk was first written: each boundary test, each edge's
// face count and each "already in this loop" asked of the faces and the loop
// afresh (quadratic, but plain).
std::string referenceLoops(TriMesh mesh, float ox, float oy)
{
    remove_unused_vertices(&mesh);
    mesh.need_neighbors();
    const int n = static_cast<int>(mesh.vertices.size());
    // Faces holding v and w, a face counted once for every corner that is v.
    auto shared = [&](int v, int w) {
        int count = 0;
        for (const TriMesh::Face& f : mesh.faces) {
            const int corners = (f[0] == v) + (f[1] == v) + (f[2] == v);
            if (f[0] == w || f[1] == w || f[2] == w)
                count += corners;
        }
        return count;
    };
    auto boundary = [&](int v) {
        for (int w : mesh.neighbors[std::size_t(v)])
            if (shared(v, w) == 1)
                return true;
        return false;
    };
    std::ostringstream out;
    auto point = [&](int v) {
        out << (mesh.vertices[std::size_t(v)][0] * 1.25f + ox) << ' ' << (oy - mesh.vertices[std::size_t(v)][1] * 1.25f);
    };
    std::vector<char> visited(std::size_t(n), 0);
    for (int start = 0; start < n; ++start) {
        if (!boundary(start) || visited[std::size_t(start)])
            continue;
        std::vector<int> loop{start};
        visited[std::size_t(start)] = 1;
        for (bool extended = true; extended;) {
            extended = false;
            for (int w : mesh.neighbors[std::size_t(loop.back())])
                if (boundary(w) && std::find(loop.begin(), loop.end(), w) == loop.end() && shared(loop.back(), w) == 1) {
                    loop.push_back(w);
                    visited[std::size_t(w)] = 1;
                    extended = true;
                    break;
                }
        }
        out << "newpath \n";
        point(loop[0]);
        out << " moveto ";
        for (std::size_t i = 1; i < loop.size(); ++i) {
            point(loop[i]);
            out << " lineto \n";
        }
        out << "closepath \n stroke \n";
    }
    writeTriangleOutlines(TriMesh(), out, ox, oy);  // the frame
    return out.str();
}

// A grid of 7 x 7 vertices with two holes, a bow-tie (two triangles sharing a
// vertex), a face with a repeated vertex, and a vertex no face uses.
TEST(MeshWriters, BoundaryLoopsAsTheStepByStepWalk)
{
    TriMesh grid;
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x)
            grid.vertices.emplace_back(float(x), float(y), 0.0f);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 6; ++x) {
            if ((x == 1 && y == 1) || (x >= 3 && x <= 4 && y == 3))
                continue;  // the holes
            const int v = y * 7 + x;
            grid.faces.emplace_back(v, v + 1, v + 8);
            grid.faces.emplace_back(v, v + 8, v + 7);
        }
    TriMesh bowTie;
    bowTie.vertices = {{0, 0, 0}, {-2, -1, 0}, {-2, 1, 0}, {2, -1, 0}, {2, 1, 0}, {9, 9, 0}};
    bowTie.faces = {{0, 2, 1}, {0, 3, 4}};
    TriMesh repeated = bowTie;
    repeated.faces.emplace_back(1, 1, 2);
    for (const TriMesh* mesh : {&grid, &bowTie, &repeated}) {
        std::ostringstream out;
        writeBoundaryLoops(*mesh, out, 3.0f, 40.0f);
        EXPECT_EQ(out.str(), referenceLoops(*mesh, 3.0f, 40.0f));
    }
    std::ostringstream out;
    writeBoundaryLoops(grid, out, 0.0f, 0.0f);
    const std::string text = out.str();
    int loops = 0;
    for (std::size_t at = text.find("newpath"); at != std::string::npos; at = text.find("newpath", at + 1))
        ++loops;
    EXPECT_EQ(loops, 4);  // the rim, the two holes and the frame
}

TEST(MeshWriters, BoundaryPageIsDrawnByGhostscript)
{
    const QString gs = QStandardPaths::findExecutable(QStringLiteral("gs"));
    if (gs.isEmpty())
        GTEST_SKIP() << "ghostscript is not installed";
    QTemporaryDir dir;
    const std::string obj = dir.filePath("square.obj").toStdString();
    ASSERT_TRUE(square().write(obj.c_str()));
    const Result<QString> written = saveMeshBoundary(QString::fromStdString(obj));
    ASSERT_TRUE(written.ok()) << written.error().toStdString();
    EXPECT_EQ(written.value(), dir.filePath("square_bdy.ps"));
    const std::string ps = written.value().toStdString();
    std::ifstream in(ps);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(text.size() > 10 && text.substr(text.size() - 10) == "showpage \n");

    // 72 dpi: one pixel per point; the page is 612 x 792 (letter) or 595 x 842.
    const QString png = dir.filePath("page.png");
    QProcess run;
    run.start(gs, {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pnggray", "-r72",
                   "-sOutputFile=" + png, QString::fromStdString(ps)});
    ASSERT_TRUE(run.waitForFinished(60000));
    ASSERT_EQ(run.exitCode(), 0) << run.readAllStandardError().toStdString();
    const QImage page(png);
    ASSERT_FALSE(page.isNull());
    auto dark = [&](int x, int postscriptY) { return qGray(page.pixel(x, page.height() - postscriptY)) < 128; };
    EXPECT_TRUE(dark(262, 254) || dark(262, 255));  // the square's top edge, x in 200..325
    EXPECT_TRUE(dark(200, 200) || dark(201, 200));  // its left edge
    EXPECT_FALSE(dark(262, 200));                   // inside
    EXPECT_TRUE(dark(449, 100) || dark(450, 100));  // the frame's right edge
}

TEST(MeshWriters, PovSceneHoldsTestAndTheMeshBeside)
{
    QTemporaryDir dir;
    const std::string scene = dir.filePath("current_scene.pov").toStdString();
    TriMesh mesh = square();
    ASSERT_TRUE(writePovScene(mesh, scene));
    std::ifstream in(scene);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "test");
    std::ifstream meshFile(dir.filePath("current_scene_mesh.pov").toStdString());
    const std::string meshText((std::istreambuf_iterator<char>(meshFile)), std::istreambuf_iterator<char>());
    EXPECT_NE(meshText.find("mesh2"), std::string::npos);
    EXPECT_NE(meshText.find("<-50,-50,-3.5>"), std::string::npos) << "moved to its centre: " << meshText;
    EXPECT_FALSE(writePovScene(mesh, "/no/such/folder/scene.pov"));
}

}  // namespace
