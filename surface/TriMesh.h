#pragma once
// Indexed triangle mesh used throughout Kalvex: picture meshes, the voxel cube
// mesh, contoured surfaces and example models. Arrays are public and read and
// written directly by their users; the need_* calls fill the derived arrays.

#include <array>
#include <cmath>
#include <cstddef>
#include <vector>

// Three floats with the few vector operations the mesh code needs.
struct point {
    float v[3] = {0.0f, 0.0f, 0.0f};

    point() = default;
    point(float x, float y, float z) : v{x, y, z} {}

    float& operator[](int i) { return v[i]; }
    const float& operator[](int i) const { return v[i]; }

    point operator+(const point& o) const { return {v[0] + o.v[0], v[1] + o.v[1], v[2] + o.v[2]}; }
    point operator-(const point& o) const { return {v[0] - o.v[0], v[1] - o.v[1], v[2] - o.v[2]}; }
    point operator*(float s) const { return {v[0] * s, v[1] * s, v[2] * s}; }
    point& operator+=(const point& o) { v[0] += o.v[0]; v[1] += o.v[1]; v[2] += o.v[2]; return *this; }
    point& operator-=(const point& o) { v[0] -= o.v[0]; v[1] -= o.v[1]; v[2] -= o.v[2]; return *this; }
    point& operator*=(float s) { v[0] *= s; v[1] *= s; v[2] *= s; return *this; }
    bool operator==(const point& o) const { return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2]; }
};
using vec = point;

inline float dot(const point& a, const point& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
inline point cross(const point& a, const point& b)
{
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline float len2(const point& a) { return dot(a, a); }
inline float len(const point& a) { return std::sqrt(len2(a)); }
inline float dist2(const point& a, const point& b) { return len2(a - b); }

class TriMesh {
public:
    // A triangle: three vertex indices, counter-clockwise seen from outside.
    struct Face {
        int v[3] = {0, 0, 0};
        Face() = default;
        Face(int a, int b, int c) : v{a, b, c} {}
        int& operator[](int i) { return v[i]; }
        const int& operator[](int i) const { return v[i]; }
        bool operator==(const Face& o) const { return v[0] == o.v[0] && v[1] == o.v[1] && v[2] == o.v[2]; }
    };

    struct BBox {
        point min, max;
        bool valid = false;
        point center() const { return (min + max) * 0.5f; }
        point size() const { return max - min; }
    };

    // Per-vertex data of the voxel cube mesh, read by the voxel shader:
    // cell state, corner number, greedy-added flag, z index.
    using CellData = std::array<int, 4>;

    std::vector<point> vertices;
    std::vector<Face> faces;
    std::vector<vec> normals;                     // one unit normal per vertex
    std::vector<std::vector<int>> neighbors;      // per vertex: adjacent vertices
    std::vector<std::vector<int>> adjacentfaces;  // per vertex: incident faces
    BBox bbox;
    std::vector<CellData> cell_data;  // four ints per vertex, see CellData
    bool has_cell_data = false;       // true when cell_data is filled

    // Reads OBJ, OFF, PLY (ASCII and binary) or ASC (lines of "x y z", points
    // only), chosen by the file's extension in any case. Vertices keep the
    // file's order, unused ones included; polygons become triangle fans.
    // Returns a new mesh owned by the caller, or nullptr when the file is
    // missing, empty, truncated or malformed, or has no vertex.
    static TriMesh* read(const char* filename);

    // Writes vertices and faces as Wavefront OBJ ("v x y z", then "f a b c"
    // with 1-based indices); coordinates read back to the same floats.
    // Returns false when the file cannot be written.
    bool write(const char* filename) const;

    // Writes the mesh as a POV-Ray mesh2 block, with normal_vectors when
    // `normals` holds one normal per vertex. The flags are accepted for
    // interface compatibility and select nothing. False when the file cannot
    // be written.
    bool write_to_pov(const char* filename, bool with_normals = false, bool with_uv = false) const;

    // Faces are always stored as triangles; kept so callers can state the need.
    void need_faces(bool = false) {}
    // Neighbours and incident faces depend on the faces only: they are built
    // again when the faces (or the vertex count) changed since the last build.
    void need_neighbors(bool = false);
    void need_adjacentfaces(bool = false);
    // Normals and the box depend on the positions, which users move freely:
    // they are computed on every call.
    void need_normals(bool = false, bool = false);
    void need_bbox();

    // True when vertex v lies on an edge that only one face uses. Answered
    // from the neighbour and face lists, built first when missing or made for
    // another vertex or face count; after rewriting faces in place (same
    // counts), call need_neighbors() and need_adjacentfaces() first.
    bool is_bdy(int v);

    void scale_mesh(float s);
    // Translates the mesh so its bounding-box centre is the origin and returns
    // the old centre.
    point move_mesh_to_center();

    void clear() { *this = TriMesh(); }

private:
    // Fingerprint of the faces and the vertex count the derived lists were
    // built from.
    std::size_t topologyKey() const;
    std::size_t _neighbors_key = 0;
    std::size_t _adjacentfaces_key = 0;
    std::size_t _neighbors_faces = 0;  // the face count of the last build
    std::size_t _adjacentfaces_faces = 0;
};

// Removes the vertices that no face uses and renumbers the faces. Derived
// arrays (normals, neighbours, ...) that no longer match are dropped; per-vertex
// cell data is kept for the surviving vertices.
void remove_unused_vertices(TriMesh* mesh);
