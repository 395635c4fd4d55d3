#include "surface/PrintableMesh.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <numeric>
#include <string_view>
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

// ---- 3MF -----------------------------------------------------------------------------------

namespace {

std::uint32_t crc32(std::string_view data)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (unsigned char byte : data)
        c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// A zip archive of stored (uncompressed) entries.
std::string zipStored(const std::vector<std::pair<std::string, std::string>>& entries)
{
    constexpr std::uint16_t kDosTime = 0, kDosDate = (2026 - 1980) << 9 | 1 << 5 | 1;
    std::string archive, directory;
    for (const auto& [name, data] : entries) {
        const std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
        const std::uint32_t crc = crc32(data);
        const auto size = static_cast<std::uint32_t>(data.size());
        put<std::uint32_t>(archive, 0x04034b50);
        for (std::uint16_t v : {std::uint16_t(20), std::uint16_t(0), std::uint16_t(0), kDosTime, kDosDate})
            put<std::uint16_t>(archive, v);
        for (std::uint32_t v : {crc, size, size})
            put<std::uint32_t>(archive, v);
        put<std::uint16_t>(archive, static_cast<std::uint16_t>(name.size()));
        put<std::uint16_t>(archive, 0);
        archive += name;
        archive += data;

        put<std::uint32_t>(directory, 0x02014b50);
        for (std::uint16_t v : {std::uint16_t(20), std::uint16_t(20), std::uint16_t(0), std::uint16_t(0), kDosTime,
                                kDosDate})
            put<std::uint16_t>(directory, v);
        for (std::uint32_t v : {crc, size, size})
            put<std::uint32_t>(directory, v);
        for (std::uint16_t v : {static_cast<std::uint16_t>(name.size()), std::uint16_t(0), std::uint16_t(0),
                                std::uint16_t(0), std::uint16_t(0)})
            put<std::uint16_t>(directory, v);
        put<std::uint32_t>(directory, 0);
        put<std::uint32_t>(directory, offset);
        directory += name;
    }
    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    put<std::uint32_t>(archive, 0x06054b50);
    for (std::uint16_t v : {std::uint16_t(0), std::uint16_t(0), static_cast<std::uint16_t>(entries.size()),
                            static_cast<std::uint16_t>(entries.size())})
        put<std::uint16_t>(archive, v);
    put<std::uint32_t>(archive, static_cast<std::uint32_t>(directory.size()));
    put<std::uint32_t>(archive, directoryOffset);
    put<std::uint16_t>(archive, 0);
    return archive;
}

// The stored entry `name` of a zip archive written by zipStored.
bool unzipStored(const std::string& archive, const std::string& name, std::string& data)
{
    std::size_t at = 0;
    while (at + 30 <= archive.size() && take<std::uint32_t>(archive, at) == 0x04034b50) {
        const auto method = take<std::uint16_t>(archive, at + 8);
        const auto size = take<std::uint32_t>(archive, at + 18);
        const auto nameLength = take<std::uint16_t>(archive, at + 26);
        const auto extraLength = take<std::uint16_t>(archive, at + 28);
        const std::size_t start = at + 30 + nameLength + extraLength;
        if (start + size > archive.size())
            return false;
        if (method == 0 && archive.compare(at + 30, nameLength, name) == 0) {
            data = archive.substr(start, size);
            return crc32(data) == take<std::uint32_t>(archive, at + 14);
        }
        at = start + size;
    }
    return false;
}

std::string number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", double(v));
    return text;
}

}  // namespace

bool write3mf(const TriMesh& mesh, const std::string& path)
{
    std::string model =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<model unit=\"millimeter\" xml:lang=\"en-US\" "
        "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
        " <resources>\n  <object id=\"1\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    for (const point& p : mesh.vertices)
        model += "     <vertex x=\"" + number(p[0]) + "\" y=\"" + number(p[1]) + "\" z=\"" + number(p[2]) + "\"/>\n";
    model += "    </vertices>\n    <triangles>\n";
    for (const TriMesh::Face& f : mesh.faces)
        model += "     <triangle v1=\"" + std::to_string(f[0]) + "\" v2=\"" + std::to_string(f[1]) + "\" v3=\"" +
                 std::to_string(f[2]) + "\"/>\n";
    model += "    </triangles>\n   </mesh>\n  </object>\n </resources>\n <build>\n  <item objectid=\"1\"/>\n"
             " </build>\n</model>\n";
    const std::string types =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"model\" ContentType=\"application/vnd.ms-package.3dmanufacturing-3dmodel+xml\"/>"
        "</Types>\n";
    const std::string relationships =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Target=\"/3D/3dmodel.model\" Id=\"rel0\" "
        "Type=\"http://schemas.microsoft.com/3dmanufacturing/2013/01/3dmodel\"/></Relationships>\n";
    return writeFile(path, zipStored({{"[Content_Types].xml", types},
                                      {"_rels/.rels", relationships},
                                      {"3D/3dmodel.model", model}}));
}

TriMesh* read3mf(const std::string& path)
{
    std::string archive, model;
    if (!readFile(path, archive) || !unzipStored(archive, "3D/3dmodel.model", model))
        return nullptr;
    auto attribute = [&](std::size_t from, std::size_t to, const char* name, double& value) {
        const std::string key = std::string(" ") + name + "=\"";
        const std::size_t at = model.find(key, from);
        if (at == std::string::npos || at > to)
            return false;
        value = std::strtod(model.c_str() + at + key.size(), nullptr);
        return true;
    };
    auto mesh = std::make_unique<TriMesh>();
    for (std::size_t at = model.find("<vertex "); at != std::string::npos; at = model.find("<vertex ", at + 1)) {
        const std::size_t end = model.find("/>", at);
        double x, y, z;
        if (end == std::string::npos || !attribute(at, end, "x", x) || !attribute(at, end, "y", y) ||
            !attribute(at, end, "z", z))
            return nullptr;
        mesh->vertices.emplace_back(float(x), float(y), float(z));
    }
    for (std::size_t at = model.find("<triangle "); at != std::string::npos; at = model.find("<triangle ", at + 1)) {
        const std::size_t end = model.find("/>", at);
        double v[3];
        if (end == std::string::npos || !attribute(at, end, "v1", v[0]) || !attribute(at, end, "v2", v[1]) ||
            !attribute(at, end, "v3", v[2]))
            return nullptr;
        for (double i : v)
            if (!(i >= 0 && i < double(mesh->vertices.size())))
                return nullptr;
        mesh->faces.emplace_back(int(v[0]), int(v[1]), int(v[2]));
    }
    return mesh.release();
}
