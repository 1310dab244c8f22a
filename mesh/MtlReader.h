#pragma once

#include <string>

class Mesh;

// Fills the mesh's materials from the library beside the OBJ file: the same
// path with ".mtl" in place of its ".obj" extension (in any case). A missing
// library, or an OBJ path with another extension, leaves the defaults.
// Throws std::bad_alloc when memory runs out.
void loadMtlLibrary(const std::string& objPath, Mesh& mesh);
