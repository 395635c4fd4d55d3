#include "surface/PrintableMesh.h"

#include "surface/SafeFile.h"

#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
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
// that touch at a single vertex are two parts. Each face corner's edge is put
// in the bucket of its smaller vertex (a counting sort, linear in the mesh);
// within a bucket, the few edges are sorted by their other vertex, so that
// the uses of each edge lie side by side.
MeshCheck checkMesh(const TriMesh& mesh)
{
    struct EdgeUse {
        int high;     // the edge's larger vertex
        int faceWay;  // 2 * face, + 1 when the face runs the edge from low to high
        bool operator<(const EdgeUse& o) const { return high < o.high; }
    };
    const int faceCount = static_cast<int>(mesh.faces.size());
    // Vertex numbers as given (even ones no vertex has), from the smallest.
    std::int64_t first = 0, last = static_cast<std::int64_t>(mesh.vertices.size()) - 1;
    for (const TriMesh::Face& face : mesh.faces)
        for (int j = 0; j < 3; ++j) {
            first = std::min<std::int64_t>(first, face[j]);
            last = std::max<std::int64_t>(last, face[j]);
        }
    std::vector<std::size_t> start(std::size_t(last - first) + 2, 0);
    for (const TriMesh::Face& face : mesh.faces)
        for (int j = 0; j < 3; ++j)
            ++start[std::size_t(std::min(face[j], face[(j + 1) % 3]) - first) + 1];
    for (std::size_t v = 1; v < start.size(); ++v)
        start[v] += start[v - 1];
    std::vector<EdgeUse> uses(std::size_t(faceCount) * 3);
    {
        std::vector<std::size_t> fill(start.begin(), start.end() - 1);
        for (int f = 0; f < faceCount; ++f) {
            const TriMesh::Face& face = mesh.faces[std::size_t(f)];
            for (int j = 0; j < 3; ++j) {
                const int a = face[j], b = face[(j + 1) % 3];
                uses[fill[std::size_t(std::min(a, b) - first)]++] = {std::max(a, b), 2 * f + (a < b ? 1 : 0)};
            }
        }
    }

    MeshCheck check;
    DisjointSets sets(mesh.faces.size());
    for (std::size_t v = 0; v + 1 < start.size(); ++v) {
        const auto bucket = uses.begin() + std::ptrdiff_t(start[v]), bucketEnd = uses.begin() + std::ptrdiff_t(start[v + 1]);
        if (bucketEnd - bucket > 1)
            std::sort(bucket, bucketEnd);
        for (auto use = bucket; use != bucketEnd;) {
            auto same = use + 1;
            int forward = use->faceWay & 1;
            for (; same != bucketEnd && same->high == use->high; ++same) {
                forward += same->faceWay & 1;
                sets.join(same->faceWay / 2, use->faceWay / 2);
            }
            const std::ptrdiff_t faces = same - use;
            check.openEdges += faces == 1 ? 1 : 0;
            check.nonManifoldEdges += faces > 2 ? 1 : 0;
            check.flippedEdges += (faces == 2 && forward != 1) ? 1 : 0;
            use = same;
        }
    }
    for (int f = 0; f < faceCount; ++f)
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

// The files are written a chunk at a time: a mesh of a fine volume makes
// tens of megabytes, which need not be held at once.
constexpr std::size_t kChunk = std::size_t(1) << 20;

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
    return writeFileSafely(QString::fromStdString(path), [&mesh](QIODevice& file) {
        std::string out(80, ' ');
        out.replace(0, 23, "Kalvex shadow sculpture");
        put<std::uint32_t>(out, static_cast<std::uint32_t>(mesh.faces.size()));
        out.reserve(kChunk + 50);
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
            if (out.size() >= kChunk) {
                if (file.write(out.data(), qint64(out.size())) != qint64(out.size()))
                    return false;
                out.clear();
            }
        }
        return file.write(out.data(), qint64(out.size())) == qint64(out.size());
    });
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
