#include "surface/PrintableMesh.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <vector>

// ---- checks ------------------------------------------------------------------------

namespace {

struct DisjointSets {
    std::vector<int> parent;
    explicit DisjointSets(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int a)
    {
        while (parent[std::size_t(a)] != a)
            a = parent[std::size_t(a)] = parent[std::size_t(parent[std::size_t(a)])];
        return a;
    }
    void join(int a, int b) { parent[std::size_t(find(a))] = find(b); }
};

// Six times the volume the faces enclose (divergence theorem): positive when
// they are wound counter-clockwise seen from outside.
double signedVolume6(const TriMesh& mesh)
{
    double sum = 0.0;
    for (const TriMesh::Face& f : mesh.faces) {
        const point& a = mesh.vertices[std::size_t(f[0])];
        const point& b = mesh.vertices[std::size_t(f[1])];
        const point& c = mesh.vertices[std::size_t(f[2])];
        sum += double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) +
               double(a[1]) * (double(b[2]) * c[0] - double(b[0]) * c[2]) +
               double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0]);
    }
    return sum;
}

}  // namespace

// Parts are counted through shared edges, as slicers count them: two pieces
// that touch at a single vertex are two parts.
MeshCheck checkMesh(const TriMesh& mesh)
{
    struct EdgeUse {
        int faces = 0;
        int forward = 0;  // faces that run the edge from its smaller vertex to the larger
        int firstFace = -1;
    };
    std::map<std::pair<int, int>, EdgeUse> edges;
    DisjointSets sets(mesh.faces.size());
    for (int f = 0; f < static_cast<int>(mesh.faces.size()); ++f) {
        const TriMesh::Face& face = mesh.faces[std::size_t(f)];
        for (int j = 0; j < 3; ++j) {
            const int a = face[j], b = face[(j + 1) % 3];
            EdgeUse& use = edges[{std::min(a, b), std::max(a, b)}];
            ++use.faces;
            use.forward += a < b ? 1 : 0;
            if (use.firstFace < 0)
                use.firstFace = f;
            else
                sets.join(f, use.firstFace);
        }
    }
    MeshCheck check;
    for (const auto& [edge, use] : edges) {
        check.openEdges += use.faces == 1 ? 1 : 0;
        check.nonManifoldEdges += use.faces > 2 ? 1 : 0;
        check.flippedEdges += (use.faces == 2 && use.forward != 1) ? 1 : 0;
    }
    for (int f = 0; f < static_cast<int>(mesh.faces.size()); ++f)
        check.parts += sets.find(f) == f ? 1 : 0;
    check.insideOut = signedVolume6(mesh) < 0.0;
    return check;
}

// ---- binary STL --------------------------------------------------------------------------

namespace {

template <class T>
void put(std::string& out, T value)
{
    char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));  // little-endian on every machine Kalvex runs on
    out.append(bytes, sizeof(T));
}

template <class T>
T take(const std::string& in, std::size_t at)
{
    T value;
    std::memcpy(&value, in.data() + at, sizeof(T));
    return value;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bool(out);
}

bool readFile(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

}  // namespace

bool writeBinaryStl(const TriMesh& mesh, const std::string& path)
{
    std::string out(80, ' ');
    out.replace(0, 23, "Kalvex shadow sculpture");
    put<std::uint32_t>(out, static_cast<std::uint32_t>(mesh.faces.size()));
    for (const TriMesh::Face& f : mesh.faces) {
        const point& a = mesh.vertices[std::size_t(f[0])];
        const point& b = mesh.vertices[std::size_t(f[1])];
        const point& c = mesh.vertices[std::size_t(f[2])];
        point n = cross(b - a, c - a);
        const float l = len(n);
        if (l > 0.0f)
            n *= 1.0f / l;
        for (const point* p : {static_cast<const point*>(&n), &a, &b, &c})
            for (int k = 0; k < 3; ++k)
                put<float>(out, (*p)[k]);
        put<std::uint16_t>(out, 0);
    }
    return writeFile(path, out);
}

TriMesh* readBinaryStl(const std::string& path)
{
    std::string in;
    if (!readFile(path, in) || in.size() < 84)
        return nullptr;
    const std::uint32_t count = take<std::uint32_t>(in, 80);
    if (in.size() != 84 + std::size_t(count) * 50)
        return nullptr;
    auto mesh = std::make_unique<TriMesh>();
    for (std::uint32_t t = 0; t < count; ++t) {
        const std::size_t at = 84 + std::size_t(t) * 50 + 12;  // after the normal
        const int first = static_cast<int>(mesh->vertices.size());
        for (int c = 0; c < 3; ++c)
            mesh->vertices.emplace_back(take<float>(in, at + 12 * c), take<float>(in, at + 12 * c + 4),
                                        take<float>(in, at + 12 * c + 8));
        mesh->faces.emplace_back(first, first + 1, first + 2);
    }
    return mesh.release();
}
