// Reading and writing TriMesh files. OBJ goes through tinyobjloader, OFF and
// PLY through assimp (post-processing off, so vertex order and face indices
// stay those of the file), ASC is read here. MeshFileCheck first refuses
// what a library would silently accept (clamped or padded indices, padded
// rows, huge declared counts); what a library refuses itself is left to it.
// The decoded mesh is checked again (index range, finite coordinates) before
// it is returned.

#include "surface/MeshFileCheck.h"
#include "surface/SafeFile.h"
#include "surface/TriMesh.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <tiny_obj_loader.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <exception>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <span>
#include <sstream>
#include <string>

namespace {

using MeshPtr = std::unique_ptr<TriMesh>;

std::optional<std::string> read_file(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return std::nullopt;
    return data;
}

// The part after the last '.' of the file name, in lower case.
std::string lower_extension(std::string_view path)
{
    const std::size_t slash = path.find_last_of("/\\");
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind('.');
    std::string ext(dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1));
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

// Appends a polygon as the triangle fan (c0, ck, ck+1). False when it has
// fewer than three corners or a corner is not a vertex of the mesh.
bool add_fan(TriMesh& mesh, std::span<const long long> corners)
{
    const auto nv = static_cast<long long>(mesh.vertices.size());
    if (corners.size() < 3 || std::any_of(corners.begin(), corners.end(),
                                          [nv](long long c) { return c < 0 || c >= nv; }))
        return false;
    for (std::size_t k = 1; k + 1 < corners.size(); ++k)
        mesh.faces.emplace_back(static_cast<int>(corners[0]), static_cast<int>(corners[k]),
                                static_cast<int>(corners[k + 1]));
    return true;
}

// A mesh is usable when it has vertices and all of them are finite.
TriMesh* release_if_usable(MeshPtr mesh)
{
    const bool finite = std::all_of(mesh->vertices.begin(), mesh->vertices.end(), [](const point& p) {
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]);
    });
    return finite && !mesh->vertices.empty() ? mesh.release() : nullptr;
}

TriMesh* read_obj(const std::string& data)
{
    if (!meshio::check_obj(data))
        return nullptr;
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warnings, errors;
    std::istringstream in(data);
    // No material reader: "mtllib" lines are skipped. No triangulation: the
    // polygons are fanned below.
    if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warnings, &errors, &in, nullptr, false))
        return nullptr;

    auto mesh = std::make_unique<TriMesh>();
    mesh->vertices.reserve(attrib.vertices.size() / 3);
    for (std::size_t i = 0; i + 2 < attrib.vertices.size(); i += 3)
        mesh->vertices.emplace_back(attrib.vertices[i], attrib.vertices[i + 1], attrib.vertices[i + 2]);

    // Shapes are runs of consecutive faces, so walking them in turn keeps the
    // file's face order.
    std::vector<long long> corners;
    for (const tinyobj::shape_t& shape : shapes) {
        const std::vector<tinyobj::index_t>& indices = shape.mesh.indices;
        std::size_t next = 0;
        for (const unsigned char count : shape.mesh.num_face_vertices) {
            if (indices.size() - next < count)
                return nullptr;
            corners.clear();
            for (std::size_t k = next; k < next + count; ++k)
                corners.push_back(indices[k].vertex_index);
            if (!add_fan(*mesh, corners))
                return nullptr;
            next += count;
        }
        // The per-face corner count is a byte: a longer polygon leaves
        // indices unaccounted for.
        if (next != indices.size())
            return nullptr;
    }
    return release_if_usable(std::move(mesh));
}

TriMesh* read_asc(const std::string& data)
{
    if (!meshio::is_text(data))
        return nullptr;
    auto mesh = std::make_unique<TriMesh>();
    meshio::TextLines lines(data);
    std::vector<std::string_view> tokens;
    while (lines.next(tokens)) {
        point p;
        if (tokens.size() != 3 || !meshio::parse_float(tokens[0], p[0]) || !meshio::parse_float(tokens[1], p[1])
            || !meshio::parse_float(tokens[2], p[2]))
            return nullptr;
        mesh->vertices.push_back(p);
    }
    return release_if_usable(std::move(mesh));
}

// OFF and PLY: the file content has passed its check and declares `counts`;
// assimp must deliver exactly that many vertices and faces.
TriMesh* read_with_assimp(const std::string& data, const char* format, const meshio::DeclaredCounts& counts)
{
    // assimp logs only through a logger created with DefaultLogger::create;
    // none is, so it stays silent.
    Assimp::Importer importer;
    const aiScene* scene = importer.ReadFileFromMemory(data.data(), data.size(), 0, format);
    if (!scene || scene->mNumMeshes != 1)
        return nullptr;
    const aiMesh& in = *scene->mMeshes[0];
    if (in.mNumVertices != counts.vertices || in.mNumFaces != counts.faces)
        return nullptr;

    auto mesh = std::make_unique<TriMesh>();
    mesh->vertices.reserve(in.mNumVertices);
    for (unsigned i = 0; i < in.mNumVertices; ++i)
        mesh->vertices.emplace_back(in.mVertices[i].x, in.mVertices[i].y, in.mVertices[i].z);
    std::vector<long long> corners;
    for (unsigned f = 0; f < in.mNumFaces; ++f) {
        const aiFace& face = in.mFaces[f];
        corners.assign(face.mIndices, face.mIndices + face.mNumIndices);
        if (!add_fan(*mesh, corners))
            return nullptr;
    }
    return release_if_usable(std::move(mesh));
}

TriMesh* read_mesh(const char* filename)
{
    const std::string ext = lower_extension(filename);
    if (ext != "obj" && ext != "off" && ext != "ply" && ext != "asc")
        return nullptr;
    const std::optional<std::string> data = read_file(filename);
    if (!data || data->empty())
        return nullptr;
    if (ext == "obj")
        return read_obj(*data);
    if (ext == "asc")
        return read_asc(*data);
    const auto counts = ext == "off" ? meshio::check_off(*data) : meshio::check_ply(*data);
    return counts ? read_with_assimp(*data, ext.c_str(), *counts) : nullptr;
}

// A float with nine significant digits, which read back to the same float.
// to_chars ignores the C locale, which Qt sets from the environment (a
// decimal comma would break the file).
void append_float(std::string& out, float value)
{
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 9);
    out.append(buffer, result.ptr);
}

void append_int(std::string& out, int value)
{
    char buffer[16];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out.append(buffer, result.ptr);
}

// "x<sep>y<sep>z"
void append_triple(std::string& out, const float* v, char separator)
{
    append_float(out, v[0]);
    out += separator;
    append_float(out, v[1]);
    out += separator;
    append_float(out, v[2]);
}

bool write_text(const char* filename, const std::string& text)
{
    return filename && saveFileSafely(std::string(filename), text);
}

// A POV-Ray vector list "name { n, <a,b,c>, ... }" with one vector per line.
template <typename Item, typename AppendItem>
void append_pov_list(std::string& out, const char* name, const std::vector<Item>& items, AppendItem append_item)
{
    out += "  ";
    out += name;
    out += " {\n    ";
    append_int(out, static_cast<int>(items.size()));
    for (const Item& item : items) {
        out += ",\n    <";
        append_item(out, item);
        out += '>';
    }
    out += "\n  }\n";
}

}  // namespace

TriMesh* TriMesh::read(const char* filename)
{
    if (!filename)
        return nullptr;
    try {
        return read_mesh(filename);
    } catch (const std::exception&) {
        // Allocation failure on a huge file, or a library giving up.
        return nullptr;
    }
}

bool TriMesh::write(const char* filename) const
{
    std::string text;
    text.reserve(vertices.size() * 40 + faces.size() * 24);
    for (const point& p : vertices) {
        text += "v ";
        append_triple(text, p.v, ' ');
        text += '\n';
    }
    for (const Face& f : faces) {
        text += 'f';
        for (int k = 0; k < 3; ++k) {
            text += ' ';
            append_int(text, f[k] + 1);
        }
        text += '\n';
    }
    return write_text(filename, text);
}

bool TriMesh::write_to_pov(const char* filename, bool, bool) const
{
    std::string text = "mesh2 {\n";
    const auto append_point = [](std::string& out, const point& p) { append_triple(out, p.v, ','); };
    append_pov_list(text, "vertex_vectors", vertices, append_point);
    // The face indices index the normals too when no normal_indices follow.
    if (!normals.empty() && normals.size() == vertices.size())
        append_pov_list(text, "normal_vectors", normals, append_point);
    append_pov_list(text, "face_indices", faces, [](std::string& out, const Face& f) {
        append_int(out, f[0]);
        out += ',';
        append_int(out, f[1]);
        out += ',';
        append_int(out, f[2]);
    });
    text += "}\n";
    return write_text(filename, text);
}
