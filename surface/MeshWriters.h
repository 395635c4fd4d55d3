#pragma once
// Drawings and scenes made of meshes: PostScript outlines of planar meshes
// (every triangle, or the boundary loops) for printing deformed pictures, and
// the POV-Ray pair of a scene file and its mesh file.
//
// In the drawings a point (u, v) of the plane is drawn at
// (u * 1.25 + ox, oy - v * 1.25), each drawing followed by its 250 x 250
// frame. The caller ends a page with "showpage \n".

#include "surface/TriMesh.h"

#include <ostream>
#include <string>

// Outline of every triangle (vertices that no face uses are dropped first).
void writeTriangleOutlines(TriMesh mesh, std::ostream& out, float ox, float oy);

// The boundary loops: from each boundary vertex not yet drawn, the loop that
// follows boundary edges (edges of one face) until it cannot go on.
void writeBoundaryLoops(TriMesh mesh, std::ostream& out, float ox, float oy);


// A POV-Ray scene file holding "test" and, beside it (".pov" replaced by
// "_mesh.pov"), the mesh moved to its centre. False when a file cannot be
// written.
bool writePovScene(TriMesh mesh, const std::string& scenePath);
