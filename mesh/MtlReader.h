#pragma once

#include "mesh/LineReader.h"

#include <cstdio>
#include <string>

class Mesh;

// Fills the mesh's materials from the library beside the OBJ file (a
// material of the library that the mesh does not have is skipped): the same
// path with ".mtl" in place of its ".obj" extension (in any case). A missing
// library, or an OBJ path with another extension, leaves the defaults.
// Throws std::bad_alloc when memory runs out.
void loadMtlLibrary(const std::string& objPath, Mesh& mesh);

// The library's path for an OBJ path, or an empty text when the OBJ path does
// not end in ".obj".
std::string mtlLibraryPath(const std::string& objPath);

// Reads the statements of an open library into the mesh's materials (those
// it has; the others are skipped): a
// stream read byte for byte, or a binary one read as text mode reads it.
// Throws std::bad_alloc when memory runs out.
void readMtlLibrary(std::FILE* library, Mesh& mesh, LineReader::Translation translation = LineReader::asStored);
