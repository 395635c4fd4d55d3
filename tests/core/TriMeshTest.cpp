#include "surface/TriMesh.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <random>
#include <tuple>

namespace {

using Faces = std::vector<TriMesh::Face>;

// Files in a fresh directory, removed with it.
class MeshFiles : public ::testing::Test {
protected:
    std::string path(const std::string& name) const
    {
        return _dir.filePath(QString::fromStdString(name)).toStdString();
    }
    std::string file(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(path(name), std::ios::binary) << bytes;
        return path(name);
    }

    QTemporaryDir _dir;
};

std::unique_ptr<TriMesh> read(const std::string& path) { return std::unique_ptr<TriMesh>(TriMesh::read(path.c_str())); }

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

template <typename T>
std::string bytes_of(T value, bool big_endian)
{
    std::string out(sizeof(T), '\0');
    std::memcpy(out.data(), &value, sizeof(T));
    if (big_endian)
        std::reverse(out.begin(), out.end());
    return out;
}

// The test mesh of the reader tests: vertex 3 is used by no face, face 1 is a
// quad that becomes the fan (0 2 4), (0 4 1).
const std::vector<point> kVertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {9, 9, 9}, {0, 1, 0.5f}};
const Faces kFaces = {{0, 1, 2}, {0, 2, 4}, {0, 4, 1}};

std::string binary_ply(bool big_endian, int declared_vertices = 5)
{
    std::string out = std::string("ply\nformat binary_") + (big_endian ? "big" : "little")
        + "_endian 1.0\nelement vertex " + std::to_string(declared_vertices)
        + "\nproperty float x\nproperty float y\nproperty float z\nelement face 2\n"
          "property list uchar int vertex_indices\nend_header\n";
    for (const point& p : kVertices)
        for (int k = 0; k < 3; ++k)
            out += bytes_of(p[k], big_endian);
    for (const std::vector<int>& face : {std::vector<int>{0, 1, 2}, std::vector<int>{0, 2, 4, 1}}) {
        out += static_cast<char>(face.size());
        for (int i : face)
            out += bytes_of(i, big_endian);
    }
    return out;
}

const char* kOff = "OFF\n# comment\n5 2 0\n0 0 0\n1 0 0\n1 1 0\n9 9 9\n0 1 0.5\n3 0 1 2\n4 0 2 4 1\n";
const char* kAsciiPlyHeader = "ply\nformat ascii 1.0\ncomment test\nelement vertex 5\nproperty float x\n"
                              "property float y\nproperty float z\nelement face 2\n"
                              "property list uchar int vertex_indices\nend_header\n";
const std::string kAsciiPly =
    std::string(kAsciiPlyHeader) + "0 0 0\n1 0 0\n1 1 0\n9 9 9\n0 1 0.5\n3 0 1 2\n4 0 2 4 1\n";

TriMesh cube()
{
    TriMesh m;
    for (int i = 0; i < 8; ++i)
        m.vertices.emplace_back(float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1));
    // Two counter-clockwise triangles per side, seen from outside.
    m.faces = {{0, 2, 3}, {0, 3, 1}, {4, 5, 7}, {4, 7, 6}, {0, 1, 5}, {0, 5, 4},
               {2, 6, 7}, {2, 7, 3}, {0, 4, 6}, {0, 6, 2}, {1, 3, 7}, {1, 7, 5}};
    return m;
}

}  // namespace

TEST_F(MeshFiles, ObjWriteReadRoundTripIsExact)
{
    TriMesh small;
    small.vertices = {{0, -0.5f, 1e-5f}, {1, 2, 3}, {4, 5, 6}};
    small.faces = {{0, 1, 2}};
    ASSERT_TRUE(small.write(path("small.obj").c_str()));
    EXPECT_EQ(slurp(path("small.obj")), "v 0 -0.5 9.99999975e-06\nv 1 2 3\nv 4 5 6\nf 1 2 3\n");

    // Any finite float, from the smallest subnormal to the largest.
    TriMesh m;
    std::mt19937 rng(7);
    m.vertices = {{-0.0f, 0.1f, 1.0f / 3.0f}, {std::numeric_limits<float>::denorm_min(), 3.4028235e38f, -1e-30f}};
    auto anyFinite = [&rng] {
        float f;
        do
            f = std::bit_cast<float>(std::uint32_t(rng()));
        while (!std::isfinite(f));
        return f;
    };
    while (m.vertices.size() < 3000)
        m.vertices.emplace_back(anyFinite(), anyFinite(), anyFinite());
    for (int i = 0; i < 3000; i += 3)
        m.faces.emplace_back(i + 2, i, i + 1);
    ASSERT_TRUE(m.write(path("round.obj").c_str()));
    const auto back = read(path("round.obj"));
    ASSERT_TRUE(back);
    ASSERT_EQ(back->vertices.size(), m.vertices.size());
    for (std::size_t i = 0; i < m.vertices.size(); ++i)
        for (int k = 0; k < 3; ++k)
            ASSERT_EQ(std::bit_cast<std::uint32_t>(back->vertices[i][k]), std::bit_cast<std::uint32_t>(m.vertices[i][k]))
                << "vertex " << i;
    EXPECT_EQ(back->faces, m.faces);

    EXPECT_FALSE(m.write(path("no-such-dir/x.obj").c_str()));
    EXPECT_FALSE(m.write_to_pov(path("no-such-dir/x.pov").c_str()));
}

TEST_F(MeshFiles, ReadersKeepFileOrderAndUnusedVerticesAndFanPolygons)
{
    // The OBJ has a quad in v/t/n form, relative indices, groups and a trailing comment.
    const std::vector<std::pair<std::string, std::string>> files = {
        {"m.OBJ", "# test\nmtllib none.mtl\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 9 9 9\nv 0 1 0.5 # top\nvt 0 0\n"
                  "vn 0 0 1\ng a\nf 1 2 3\ng b\nf 1/1/1 3/1/1 5//1 -4\n"},
        {"m.off", kOff}, {"m.ply", kAsciiPly}, {"le.PLY", binary_ply(false)}, {"be.ply", binary_ply(true)}};
    for (const auto& [name, content] : files) {
        SCOPED_TRACE(name);
        const auto m = read(file(name, content));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->vertices, kVertices);
        EXPECT_EQ(m->faces, kFaces);
    }
    // Point files have vertices only.
    const auto points = read(file("p.asc", "# scan\n\n1 2 3\n  -4.5\t5e-1 +6\r\n\n"));
    ASSERT_TRUE(points);
    EXPECT_EQ(points->vertices, (std::vector<point>{{1, 2, 3}, {-4.5f, 0.5f, 6}}));
    EXPECT_TRUE(points->faces.empty());
}

TEST_F(MeshFiles, BrokenFilesGiveNoMeshAndNoOutput)
{
    const std::string ply = kAsciiPlyHeader;
    const std::string ply_rows = "0 0 0\n1 0 0\n1 1 0\n9 9 9\n0 1 0.5\n";
    const std::string huge_ply = "ply\nformat binary_little_endian 1.0\nelement vertex 2000000000\n"
                                 "property float x\nproperty float y\nproperty float z\nend_header\n";
    std::string nan_binary_ply = binary_ply(false);
    nan_binary_ply.replace(nan_binary_ply.find("end_header\n") + 11 + 4, 4,
                           bytes_of(std::numeric_limits<float>::quiet_NaN(), false));  // y of vertex 0
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"empty.obj", ""},
        {"comments-only.obj", "# nothing\n"},
        {"few-coords.obj", "v 1 2\nv 1 2 3\nv 1 2 3\nf 1 2 3\n"},
        {"bad-number.obj", "v 1 x 3\nv 1 2 3\nv 1 2 3\nf 1 2 3\n"},
        {"nan.obj", "v 1 nan 3\nv 1 2 3\nv 1 2 3\nf 1 2 3\n"},
        {"inf.obj", "v 1 2 1e39\nv 1 2 3\nv 1 2 3\nf 1 2 3\n"},
        {"index-high.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n"},
        {"index-low.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 -4\n"},
        {"index-zero.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 0 1 2\n"},
        {"two-corners.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2\n"},
        {"truncated.obj", "v 0 0 0\nv 1 0 0\nv 0 1"},
        {"word-tail.obj", "v 0 0 1x\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"},
        {"corner-tail.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2x 3\n"},
        {"counts-too-big.off", "OFF\n5 2000000000 0\n0 0 0\n1 0 0\n1 1 0\n9 9 9\n0 1 0\n3 0 1 2\n"},
        {"index-high.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1 3\n"},
        {"index-negative.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 -1 2\n"},
        {"nan.off", "OFF\n3 1 0\n0 0 0\n1 nan 0\n1 1 0\n3 0 1 2\n"},
        {"corner-missing.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1\n"},
        {"index-fraction.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 1.5 2\n"},
        {"index-word.off", "OFF\n3 1 0\n0 0 0\n1 0 0\n1 1 0\n3 0 x 2\n"},
        {"index-high.ply", ply + ply_rows + "3 0 1 2\n4 0 2 4 5\n"},
        {"index-negative.ply", ply + ply_rows + "3 0 1 2\n4 0 2 -1 1\n"},
        {"nan.ply", ply + "0 0 nan\n" + ply_rows.substr(6) + "3 0 1 2\n4 0 2 4 1\n"},
        {"short-row.ply", ply + "0 0\n" + ply_rows.substr(6) + "3 0 1 2\n4 0 2 4 1\n"},
        {"long-row.ply", ply + "0 0 0 7\n" + ply_rows.substr(6) + "3 0 1 2\n4 0 2 4 1\n"},
        {"index-word.ply", ply + ply_rows + "3 0 1 2\n4 0 x 4 1\n"},
        {"index-fraction.ply", ply + ply_rows + "3 0 1 2\n4 0 1.5 4 1\n"},
        {"list-too-long.ply", ply + ply_rows + "3 0 1 2\n9 0 2 4 1\n"},
        {"counts-too-big.ply", huge_ply + std::string(24, '\0')},
        {"nan-binary.ply", nan_binary_ply},
        {"vertices-missing.ply", binary_ply(true, 6)},
        {"bad-line.asc", "1 2 3\n1 2\n"},
        {"four-columns.asc", "1 2 3 4\n"},
        {"nan.asc", "1 2 nan\n"},
        {"mesh.stl", "solid x\n"},
    };
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    for (const auto& [name, content] : cases)
        EXPECT_FALSE(read(file(name, content))) << name;
    EXPECT_FALSE(read(path("missing.obj")));
    EXPECT_EQ(TriMesh::read(nullptr), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

// Random bytes are left to the fuzzer; here every cut of a valid file.
TEST_F(MeshFiles, TruncatedCopiesGiveNoMesh)
{
    // Text files stay complete without their final line end.
    const std::vector<std::tuple<std::string, std::string, std::size_t>> files = {
        {"t.off", kOff, 1}, {"t.ply", kAsciiPly, 1}, {"b.ply", binary_ply(false), 0}};
    for (const auto& [name, content, optional_tail] : files)
        for (std::size_t n = 0; n + optional_tail < content.size(); ++n)
            EXPECT_FALSE(read(file(name, content.substr(0, n)))) << name << " cut to " << n;
}

// Bytes of valid files overwritten at random (a deterministic sample; the
// fuzzer goes further): whatever is read back indexes its own vertices and is
// finite, and nothing crashes (the ASan tree runs this too).
TEST_F(MeshFiles, CorruptedCopiesReadSafely)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"c.obj", "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 9 9 9\nv 0 1 0.5\nf 1 2 3\nf 1/1/1 3/1/1 5//1 -4\n"},
        {"c.off", kOff}, {"c.ply", kAsciiPly}, {"l.ply", binary_ply(false)}, {"b.ply", binary_ply(true)}};
    const std::string alphabet = std::string("0123456789 -+.\n\t/exn#") + '\0' + '\xff';
    std::mt19937 rng(11);
    testing::internal::CaptureStderr();
    for (const auto& [name, content] : files)
        for (int trial = 0; trial < 100; ++trial) {
            std::string bytes = content;
            for (int k = 1 + int(rng() % 3); k > 0; --k)
                bytes[rng() % bytes.size()] = (trial & 1) ? char(rng()) : alphabet[rng() % alphabet.size()];
            const auto m = read(file(name, bytes));
            if (!m)
                continue;
            for (const TriMesh::Face& f : m->faces)
                for (int c = 0; c < 3; ++c)
                    ASSERT_TRUE(f[c] >= 0 && f[c] < int(m->vertices.size())) << name << " trial " << trial;
            for (const point& p : m->vertices)
                ASSERT_TRUE(std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2])) << name;
        }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(MeshFiles, PovRayRendersWrittenMesh)
{
    if (!std::filesystem::exists("/usr/bin/povray"))
        GTEST_SKIP() << "povray is not installed";
    TriMesh m = cube();
    m.vertices[1][2] = -std::ldexp(1.0f, -20);  // exponent notation in the file
    m.need_normals();
    ASSERT_TRUE(m.write_to_pov(path("cube_mesh.pov").c_str()));
    const std::string text = slurp(path("cube_mesh.pov"));
    EXPECT_EQ(text.rfind("mesh2 {\n  vertex_vectors {\n    8,\n    <0,0,0>,\n    <1,0,-9.53674316e-07>,", 0), 0u);
    EXPECT_NE(text.find("normal_vectors {\n    8,"), std::string::npos);
    EXPECT_NE(text.find("face_indices {\n    12,\n    <0,2,3>,"), std::string::npos);

    file("scene.pov", "camera { location <3, 2, -4> look_at <0.5, 0.5, 0.5> }\n"
                      "light_source { <10, 10, -10> color rgb 1 }\n"
                      "object { #include \"cube_mesh.pov\" pigment { color rgb <1, 0.5, 0.2> } }\n");
    const std::string command = "cd '" + _dir.path().toStdString()
                              + "' && /usr/bin/povray +Iscene.pov +Oscene.png +W32 +H32 -D > povray.log 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << slurp(path("povray.log"));
    EXPECT_TRUE(std::filesystem::exists(path("scene.png")));
}

TEST(TriMesh, BoundaryOfFanAndClosedTetrahedron)
{
    // A fan closed around vertex 0: the hub is inside, the rim on the border.
    TriMesh fan;
    fan.vertices.emplace_back(0, 0, 0);
    for (int i = 0; i < 6; ++i)
        fan.vertices.emplace_back(std::cos(i * 1.047f), std::sin(i * 1.047f), 0.0f);
    for (int i = 0; i < 6; ++i)
        fan.faces.emplace_back(0, 1 + i, 1 + (i + 1) % 6);
    EXPECT_FALSE(fan.is_bdy(0));
    EXPECT_TRUE(fan.is_bdy(3));
    EXPECT_FALSE(fan.is_bdy(7));  // no such vertex

    TriMesh tet;
    tet.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    tet.faces = {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}};
    for (int v = 0; v < 4; ++v)
        EXPECT_FALSE(tet.is_bdy(v)) << v;
    tet.faces.pop_back();  // a face fewer: the lists are made again, (1, 2, 3) is open
    EXPECT_TRUE(tet.is_bdy(3));
    EXPECT_FALSE(tet.is_bdy(0));  // its three edges keep two faces each
}

TEST(TriMesh, NeighborsAndAdjacentFacesInFaceOrder)
{
    TriMesh m;
    m.vertices = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}};
    m.faces = {{0, 1, 2}, {0, 2, 3}};
    m.need_adjacentfaces();
    m.need_neighbors();
    EXPECT_EQ(m.neighbors[0], (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(m.neighbors[2], (std::vector<int>{0, 1, 3}));
    EXPECT_EQ(m.neighbors[3], (std::vector<int>{0, 2}));
    EXPECT_EQ(m.adjacentfaces[0], (std::vector<int>{0, 1}));
    EXPECT_EQ(m.adjacentfaces[1], (std::vector<int>{0}));

    // New faces over the same vertices: the lists follow them.
    m.faces = {{1, 2, 3}, {1, 3, 0}};
    m.need_neighbors();
    m.need_adjacentfaces();
    EXPECT_EQ(m.neighbors[0], (std::vector<int>{1, 3}));
    EXPECT_EQ(m.adjacentfaces[1], (std::vector<int>{0, 1}));
}

TEST(TriMesh, CubeNormalsPointOutwardWithUnitLength)
{
    TriMesh m = cube();
    m.need_normals();
    ASSERT_EQ(m.normals.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        // Each corner sees a right angle of each of its three sides.
        const point expected = (m.vertices[i] - point(0.5f, 0.5f, 0.5f)) * (2.0f / std::sqrt(3.0f));
        EXPECT_NEAR(len(m.normals[i]), 1.0f, 1e-6f);
        EXPECT_LT(len(m.normals[i] - expected), 1e-5f) << i;
    }
    // Moved vertices get fresh normals: the cube turned a quarter about z.
    for (point& p : m.vertices)
        p = point(-p[1], p[0], p[2]);
    m.need_normals();
    EXPECT_LT(len(m.normals[1] - point(1, 1, -1) * (1.0f / std::sqrt(3.0f))), 1e-5f);
}

TEST(TriMesh, RemoveUnusedVerticesKeepsCellDataOfSurvivors)
{
    TriMesh m;
    m.vertices = {{0, 0, 0}, {7, 7, 7}, {1, 0, 0}, {0, 1, 0}, {8, 8, 8}};
    m.cell_data = {{0, 0, 0, 0}, {1, 1, 1, 1}, {2, 2, 2, 2}, {3, 3, 3, 3}, {4, 4, 4, 4}};
    m.faces = {{3, 0, 2}};
    m.need_neighbors();
    remove_unused_vertices(&m);
    EXPECT_EQ(m.vertices, (std::vector<point>{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}));
    EXPECT_EQ(m.faces, (Faces{{2, 0, 1}}));
    ASSERT_EQ(m.cell_data.size(), 3u);
    EXPECT_EQ(m.cell_data[2][0], 3);
    EXPECT_TRUE(m.neighbors.empty());
}
