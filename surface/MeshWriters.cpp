#include "surface/MeshWriters.h"

#include "surface/SafeFile.h"

#include <algorithm>
#include <fstream>
#include <memory>
#include <vector>

namespace {

constexpr float kScale = 1.25f;
constexpr float kFrame = 250.0f;

// One point as "X Y", in the stream's default float notation.
void writePoint(std::ostream& out, const point& p, float ox, float oy)
{
    out << (p[0] * kScale + ox) << ' ' << (oy - p[1] * kScale);
}

void writeLoop(std::ostream& out, const std::vector<point>& loop, float ox, float oy)
{
    out << "newpath \n";
    writePoint(out, loop[0], ox, oy);
    out << " moveto ";
    for (std::size_t i = 1; i < loop.size(); ++i) {
        writePoint(out, loop[i], ox, oy);
        out << " lineto \n";
    }
    out << "closepath \n stroke \n";
}

void writeFrame(std::ostream& out, float ox, float oy)
{
    out << "newpath \n"
        << ox << ' ' << oy << " moveto " << (ox + kFrame) << ' ' << oy << " lineto \n"
        << (ox + kFrame) << ' ' << (oy - kFrame) << " lineto \n"
        << ox << ' ' << (oy - kFrame) << " lineto \n"
        << "closepath \n stroke \n";
}

}  // namespace

void writeTriangleOutlines(TriMesh mesh, std::ostream& out, float ox, float oy)
{
    remove_unused_vertices(&mesh);
    for (const TriMesh::Face& f : mesh.faces)
        writeLoop(out, {mesh.vertices[f[0]], mesh.vertices[f[1]], mesh.vertices[f[2]]}, ox, oy);
    writeFrame(out, ox, oy);
}

void writeBoundaryLoops(TriMesh mesh, std::ostream& out, float ox, float oy)
{
    remove_unused_vertices(&mesh);
    mesh.need_neighbors();
    mesh.need_adjacentfaces();
    const int n = static_cast<int>(mesh.vertices.size());
    // shared[w]: the faces of vertex c that hold w, counted for one c at a
    // time and cleared after (each face once per time c is listed in it).
    std::vector<int> shared(std::size_t(n), 0);
    auto countShared = [&](int c, int add) {
        for (int f : mesh.adjacentfaces[std::size_t(c)]) {
            const TriMesh::Face& face = mesh.faces[std::size_t(f)];
            for (int j = 0; j < 3; ++j)
                if ((j == 0 || face[j] != face[0]) && (j < 2 || face[2] != face[1]))
                    shared[std::size_t(face[j])] += add;
        }
    };
    // A boundary vertex has a neighbour that exactly one of its faces holds.
    std::vector<char> boundary(std::size_t(n), 0), visited(std::size_t(n), 0);
    for (int v = 0; v < n; ++v) {
        countShared(v, 1);
        for (int w : mesh.neighbors[std::size_t(v)])
            boundary[std::size_t(v)] = boundary[std::size_t(v)] || shared[std::size_t(w)] == 1;
        countShared(v, -1);
    }
    std::vector<int> inLoop(std::size_t(n), -1);  // the loop a vertex was last put in
    for (int start = 0, loopNumber = 0; start < n; ++start) {
        if (!boundary[std::size_t(start)] || visited[std::size_t(start)])
            continue;
        std::vector<int> loop{start};
        visited[std::size_t(start)] = 1;
        inLoop[std::size_t(start)] = loopNumber;
        for (bool extended = true; extended;) {
            extended = false;
            const int c = loop.back();
            countShared(c, 1);
            for (int w : mesh.neighbors[std::size_t(c)]) {
                if (!boundary[std::size_t(w)] || inLoop[std::size_t(w)] == loopNumber || shared[std::size_t(w)] != 1)
                    continue;
                loop.push_back(w);
                visited[std::size_t(w)] = 1;
                inLoop[std::size_t(w)] = loopNumber;
                extended = true;
                break;
            }
            countShared(c, -1);
        }
        ++loopNumber;
        std::vector<point> points;
        for (int v : loop)
            points.push_back(mesh.vertices[std::size_t(v)]);
        writeLoop(out, points, ox, oy);
    }
    writeFrame(out, ox, oy);
}

bool writePovScene(TriMesh mesh, const std::string& scenePath)
{
    if (!saveFileSafely(scenePath, std::string("test")))
        return false;
    std::string meshPath = scenePath;
    for (std::size_t at = meshPath.find(".pov"); at != std::string::npos; at = meshPath.find(".pov", at + 9))
        meshPath.replace(at, 4, "_mesh.pov");
    mesh.move_mesh_to_center();
    return mesh.write_to_pov(meshPath.c_str(), false, false);
}
