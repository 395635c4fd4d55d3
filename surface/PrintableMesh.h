#pragma once
// Meshes for 3-D printing: the checks a slicer needs to pass (every edge in
// exactly two faces, one connected part) and the two file formats slicers
// read, binary STL and 3MF.

#include "surface/TriMesh.h"

#include <string>

struct MeshCheck {
    int openEdges = 0;         // edges of exactly one face
    int nonManifoldEdges = 0;  // edges of more than two faces
    int parts = 0;             // connected parts (faces joined through shared vertices)
    int flippedEdges = 0;      // edges that two faces run in the same direction (inconsistent winding)

    bool printable() const { return openEdges == 0 && nonManifoldEdges == 0 && parts == 1 && flippedEdges == 0; }
};
MeshCheck checkMesh(const TriMesh& mesh);

// Binary STL: 80-byte header, the triangle count, then per triangle its unit
// normal (from the winding), three corners and a zero attribute. False when
// the file cannot be written.
bool writeBinaryStl(const TriMesh& mesh, const std::string& path);
// Reads a binary STL back (corners not merged); null when it is not one.
TriMesh* readBinaryStl(const std::string& path);

// 3MF: a zip package (stored entries) holding [Content_Types].xml,
// _rels/.rels and 3D/3dmodel.model with one mesh object in millimetres.
bool write3mf(const TriMesh& mesh, const std::string& path);
// The mesh of a 3MF package written as above (stored entries only); null
// otherwise.
TriMesh* read3mf(const std::string& path);
