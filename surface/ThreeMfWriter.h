#pragma once
// 3MF, the package format slicers read: a zip holding [Content_Types].xml,
// _rels/.rels and 3D/3dmodel.model with one mesh object in millimetres.
// libzip makes and opens the container; the model XML is written here.

#include "surface/TriMesh.h"

#include <string>

// False when the file cannot be written.
bool write3mf(const TriMesh& mesh, const std::string& path);
// The first mesh object of a 3MF package (vertices and triangles in file
// order); null when the file is no zip, lacks the model, or a triangle names
// a vertex the mesh does not have.
TriMesh* read3mf(const std::string& path);
