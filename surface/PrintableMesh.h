#pragma once
// Meshes for 3-D printing: the checks a slicer needs to pass (every edge in
// exactly two faces, one connected part) and the two file formats slicers
// read, binary STL here and 3MF in ThreeMfWriter.

#include "surface/ThreeMfWriter.h"
#include "surface/TriMesh.h"

#include <string>

struct MeshCheck {
    int openEdges = 0;         // edges of exactly one face
    int nonManifoldEdges = 0;  // edges of more than two faces
    int parts = 0;             // connected parts (faces joined through shared vertices)
    int flippedEdges = 0;      // edges that two faces run in the same direction (inconsistent winding)
    bool insideOut = false;    // the faces enclose a negative volume: wound inward as a whole

    bool printable() const
    {
        return openEdges == 0 && nonManifoldEdges == 0 && parts == 1 && flippedEdges == 0 && !insideOut;
    }
};
MeshCheck checkMesh(const TriMesh& mesh);

// Binary STL: 80-byte header, the triangle count, then per triangle its unit
// normal (from the winding), three corners and a zero attribute. False when
// the file cannot be written.
bool writeBinaryStl(const TriMesh& mesh, const std::string& path);
// Reads a binary STL back (corners not merged); null when it is not one.
TriMesh* readBinaryStl(const std::string& path);
