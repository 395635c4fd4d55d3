#include "surface/TriMesh.h"

#include <algorithm>
#include <limits>

namespace {

void push_unique(std::vector<int>& list, int value)
{
    if (std::find(list.begin(), list.end(), value) == list.end())
        list.push_back(value);
}

}  // namespace

std::size_t TriMesh::topologyKey() const
{
    // FNV-1a over the vertex count and every face index.
    std::size_t key = 14695981039346656037ull;
    auto mix = [&key](std::size_t value) { key = (key ^ value) * 1099511628211ull; };
    mix(vertices.size());
    for (const Face& f : faces)
        for (int j = 0; j < 3; ++j)
            mix(static_cast<std::size_t>(static_cast<unsigned>(f[j])));
    return key;
}

void TriMesh::need_neighbors(bool)
{
    const std::size_t key = topologyKey();
    if (neighbors.size() == vertices.size() && key == _neighbors_key)
        return;
    _neighbors_key = key;
    _neighbors_faces = faces.size();
    neighbors.assign(vertices.size(), {});
    // Per corner, the two other corners of the face, in face order.
    for (const Face& f : faces) {
        for (int j = 0; j < 3; ++j) {
            std::vector<int>& list = neighbors[f[j]];
            push_unique(list, f[(j + 1) % 3]);
            push_unique(list, f[(j + 2) % 3]);
        }
    }
}

void TriMesh::need_adjacentfaces(bool)
{
    const std::size_t key = topologyKey();
    if (adjacentfaces.size() == vertices.size() && key == _adjacentfaces_key)
        return;
    _adjacentfaces_key = key;
    _adjacentfaces_faces = faces.size();
    adjacentfaces.assign(vertices.size(), {});
    for (int i = 0; i < static_cast<int>(faces.size()); ++i)
        for (int j = 0; j < 3; ++j)
            adjacentfaces[faces[i][j]].push_back(i);
}

void TriMesh::need_normals(bool, bool)
{
    // Sum of the incident faces' normals weighted by the corner angle, so that
    // a vertex's normal does not depend on how its faces are split.
    normals.assign(vertices.size(), point());
    for (const Face& f : faces) {
        const point& p0 = vertices[f[0]];
        const point& p1 = vertices[f[1]];
        const point& p2 = vertices[f[2]];
        point n = cross(p1 - p0, p2 - p0);
        const float l = len(n);
        if (!(l > 0.0f))
            continue;
        n *= 1.0f / l;
        for (int j = 0; j < 3; ++j) {
            const point a = vertices[f[(j + 1) % 3]] - vertices[f[j]];
            const point b = vertices[f[(j + 2) % 3]] - vertices[f[j]];
            const float la = len(a), lb = len(b);
            if (!(la > 0.0f && lb > 0.0f))
                continue;
            const float c = std::clamp(dot(a, b) / (la * lb), -1.0f, 1.0f);
            normals[f[j]] += n * std::acos(c);
        }
    }
    for (point& n : normals) {
        const float l = len(n);
        n = l > 0.0f ? n * (1.0f / l) : point(0.0f, 0.0f, 1.0f);
    }
}

void TriMesh::need_bbox()
{
    bbox = BBox();
    if (vertices.empty())
        return;
    bbox.min = bbox.max = vertices[0];
    for (const point& p : vertices) {
        for (int k = 0; k < 3; ++k) {
            bbox.min[k] = std::min(bbox.min[k], p[k]);
            bbox.max[k] = std::max(bbox.max[k], p[k]);
        }
    }
    bbox.valid = true;
}

bool TriMesh::is_bdy(int v)
{
    if (v < 0 || v >= static_cast<int>(vertices.size()))
        return false;
    // The lists are taken as they are when they fit the mesh's counts; a full
    // check of the faces on every call would make a pass over the vertices
    // quadratic.
    if (neighbors.size() != vertices.size() || _neighbors_faces != faces.size())
        need_neighbors();
    if (adjacentfaces.size() != vertices.size() || _adjacentfaces_faces != faces.size())
        need_adjacentfaces();
    // An edge (v, n) lies on the boundary when exactly one face holds it.
    for (int n : neighbors[v]) {
        int count = 0;
        for (int fi : adjacentfaces[v]) {
            const Face& f = faces[fi];
            if (f[0] == n || f[1] == n || f[2] == n)
                ++count;
        }
        if (count == 1)
            return true;
    }
    return false;
}

void TriMesh::scale_mesh(float s)
{
    for (point& p : vertices)
        p *= s;
    if (bbox.valid) {
        bbox.min *= s;
        bbox.max *= s;
        if (s < 0.0f)
            std::swap(bbox.min, bbox.max);
    }
    if (s < 0.0f)
        normals.clear();
}

point TriMesh::move_mesh_to_center()
{
    need_bbox();
    const point center = bbox.valid ? bbox.center() : point();
    for (point& p : vertices)
        p -= center;
    if (bbox.valid) {
        bbox.min -= center;
        bbox.max -= center;
    }
    return center;
}

void remove_unused_vertices(TriMesh* mesh)
{
    if (!mesh)
        return;
    const int n = static_cast<int>(mesh->vertices.size());
    std::vector<char> used(n, 0);
    for (const TriMesh::Face& f : mesh->faces)
        for (int j = 0; j < 3; ++j)
            used[f[j]] = 1;
    if (std::all_of(used.begin(), used.end(), [](char u) { return u != 0; }))
        return;

    std::vector<int> remap(n, -1);
    int next = 0;
    for (int i = 0; i < n; ++i) {
        if (!used[i])
            continue;
        remap[i] = next;
        mesh->vertices[next] = mesh->vertices[i];
        if (mesh->cell_data.size() == static_cast<size_t>(n))
            mesh->cell_data[next] = mesh->cell_data[i];
        ++next;
    }
    mesh->vertices.resize(next);
    if (mesh->cell_data.size() == static_cast<size_t>(n))
        mesh->cell_data.resize(next);
    for (TriMesh::Face& f : mesh->faces)
        for (int j = 0; j < 3; ++j)
            f[j] = remap[f[j]];
    mesh->normals.clear();
    mesh->neighbors.clear();
    mesh->adjacentfaces.clear();
    mesh->need_bbox();
}
