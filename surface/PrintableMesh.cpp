#include "surface/PrintableMesh.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
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
    std::ofstream file(path, std::ios::binary);
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
            file.write(out.data(), static_cast<std::streamsize>(out.size()));
            out.clear();
        }
    }
    file.write(out.data(), static_cast<std::streamsize>(out.size()));
    return bool(file);
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

// The CRC-32 of data that follows data whose CRC-32 was `crc` (0 at the start).
std::uint32_t crc32(std::string_view data, std::uint32_t crc = 0)
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
    std::uint32_t c = crc ^ 0xFFFFFFFFu;
    for (unsigned char byte : data)
        c = table[(c ^ byte) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// A zip archive of stored (uncompressed) entries written straight to a
// file, each entry's data in pieces: the local header is written first and
// its CRC and sizes filled in once the data is through.
class ZipWriter {
public:
    explicit ZipWriter(const std::string& path) : _out(path, std::ios::binary) {}

    void begin(const std::string& name)
    {
        _name = name;
        _crc = 0;
        _size = 0;
        _headerAt = _offset;
        std::string header;
        put<std::uint32_t>(header, 0x04034b50);
        for (std::uint16_t v : {std::uint16_t(20), std::uint16_t(0), std::uint16_t(0), kDosTime, kDosDate})
            put<std::uint16_t>(header, v);
        for (std::uint32_t v : {0u, 0u, 0u})  // CRC and sizes, filled in by end()
            put<std::uint32_t>(header, v);
        put<std::uint16_t>(header, static_cast<std::uint16_t>(name.size()));
        put<std::uint16_t>(header, 0);
        header += name;
        emit(header);
    }

    void write(std::string_view data)
    {
        _crc = crc32(data, _crc);
        _size += static_cast<std::uint32_t>(data.size());
        emit(data);
    }

    void end()
    {
        std::string sizes;
        for (std::uint32_t v : {_crc, _size, _size})
            put<std::uint32_t>(sizes, v);
        _out.seekp(std::streamoff(_headerAt) + 14);
        _out.write(sizes.data(), static_cast<std::streamsize>(sizes.size()));
        _out.seekp(std::streamoff(_offset));

        put<std::uint32_t>(_directory, 0x02014b50);
        for (std::uint16_t v : {std::uint16_t(20), std::uint16_t(20), std::uint16_t(0), std::uint16_t(0), kDosTime,
                                kDosDate})
            put<std::uint16_t>(_directory, v);
        _directory += sizes;
        for (std::uint16_t v : {static_cast<std::uint16_t>(_name.size()), std::uint16_t(0), std::uint16_t(0),
                                std::uint16_t(0), std::uint16_t(0)})
            put<std::uint16_t>(_directory, v);
        put<std::uint32_t>(_directory, 0);
        put<std::uint32_t>(_directory, _headerAt);
        _directory += _name;
        ++_entries;
    }

    // The central directory; false when anything could not be written.
    bool finish()
    {
        const auto directorySize = static_cast<std::uint32_t>(_directory.size());
        put<std::uint32_t>(_directory, 0x06054b50);
        for (std::uint16_t v : {std::uint16_t(0), std::uint16_t(0), _entries, _entries})
            put<std::uint16_t>(_directory, v);
        put<std::uint32_t>(_directory, directorySize);
        put<std::uint32_t>(_directory, _offset);
        put<std::uint16_t>(_directory, 0);
        emit(_directory);
        _out.flush();
        return bool(_out);
    }

private:
    static constexpr std::uint16_t kDosTime = 0, kDosDate = (2026 - 1980) << 9 | 1 << 5 | 1;

    void emit(std::string_view bytes)
    {
        _out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        _offset += static_cast<std::uint32_t>(bytes.size());
    }

    std::ofstream _out;
    std::string _directory, _name;
    std::uint32_t _offset = 0, _headerAt = 0, _crc = 0, _size = 0;
    std::uint16_t _entries = 0;
};

// The stored entry `name` of a zip archive written by ZipWriter.
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

// Appends v as printf's "%.9g" writes it (nine significant digits: a float
// reads back unchanged).
void appendNumber(std::string& out, float v)
{
    char text[32];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, v, std::chars_format::general, 9);
    out.append(text, written.ptr);
}

void appendNumber(std::string& out, int v)
{
    char text[16];
    const std::to_chars_result written = std::to_chars(text, text + sizeof text, v);
    out.append(text, written.ptr);
}

}  // namespace

bool write3mf(const TriMesh& mesh, const std::string& path)
{
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
    ZipWriter zip(path);
    zip.begin("[Content_Types].xml");
    zip.write(types);
    zip.end();
    zip.begin("_rels/.rels");
    zip.write(relationships);
    zip.end();

    zip.begin("3D/3dmodel.model");
    std::string model =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<model unit=\"millimeter\" xml:lang=\"en-US\" "
        "xmlns=\"http://schemas.microsoft.com/3dmanufacturing/core/2015/02\">\n"
        " <resources>\n  <object id=\"1\" type=\"model\">\n   <mesh>\n    <vertices>\n";
    model.reserve(kChunk + 256);
    auto flushFull = [&] {
        if (model.size() >= kChunk) {
            zip.write(model);
            model.clear();
        }
    };
    for (const point& p : mesh.vertices) {
        model += "     <vertex x=\"";
        appendNumber(model, p[0]);
        model += "\" y=\"";
        appendNumber(model, p[1]);
        model += "\" z=\"";
        appendNumber(model, p[2]);
        model += "\"/>\n";
        flushFull();
    }
    model += "    </vertices>\n    <triangles>\n";
    for (const TriMesh::Face& f : mesh.faces) {
        model += "     <triangle v1=\"";
        appendNumber(model, f[0]);
        model += "\" v2=\"";
        appendNumber(model, f[1]);
        model += "\" v3=\"";
        appendNumber(model, f[2]);
        model += "\"/>\n";
        flushFull();
    }
    model += "    </triangles>\n   </mesh>\n  </object>\n </resources>\n <build>\n  <item objectid=\"1\"/>\n"
             " </build>\n</model>\n";
    zip.write(model);
    zip.end();
    return zip.finish();
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
