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
    std::vector<char> boundary(std::size_t(n), 0), visited(std::size_t(n), 0);
    for (int v = 0; v < n; ++v)
        boundary[std::size_t(v)] = mesh.is_bdy(v) ? 1 : 0;
    // Faces of c that hold w.
    auto sharedFaces = [&](int c, int w) {
        int count = 0;
        for (int f : mesh.adjacentfaces[std::size_t(c)]) {
            const TriMesh::Face& face = mesh.faces[std::size_t(f)];
            count += (face[0] == w || face[1] == w || face[2] == w) ? 1 : 0;
        }
        return count;
    };
    for (int start = 0; start < n; ++start) {
        if (!boundary[std::size_t(start)] || visited[std::size_t(start)])
            continue;
        std::vector<int> loop{start};
        visited[std::size_t(start)] = 1;
        for (bool extended = true; extended;) {
            extended = false;
            const int c = loop.back();
            for (int w : mesh.neighbors[std::size_t(c)]) {
                if (!boundary[std::size_t(w)] || std::find(loop.begin(), loop.end(), w) != loop.end() ||
                    sharedFaces(c, w) != 1)
                    continue;
                loop.push_back(w);
                visited[std::size_t(w)] = 1;
                extended = true;
                break;
            }
        }
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
