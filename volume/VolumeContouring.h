#pragma once
// Contouring of a shadow volume of either kind: its occupancy, read through
// the volume interface, becomes a surface on a field `factor` times finer per
// axis (see surface/VoxelContouring.h). Triangles face the occupied side.

#include "surface/VoxelContouring.h"

class EditableShadowObject;

// Replaces `target` with the surface at `iso` placed by `mode`; false, with
// `target` unchanged, when no triangle was produced. The volume is asked only
// for its resolution and, per cell, whether it is occupied.
bool contourVolume(const EditableShadowObject& volume, float iso, int mode, TriMesh& target, int factor);
