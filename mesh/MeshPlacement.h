#pragma once

#include "camera/StartView.h"

class Mesh;

// The box around the positions that faces use; positions that no face uses
// and those with a coordinate that is not finite are left out.
Bounds facePositionBounds(const Mesh& mesh);

// Moves and scales every position of the mesh. Normals keep their
// directions under a uniform scale and a move, so they stay as they are.
void placePositions(Mesh& mesh, const Placement& placement);
