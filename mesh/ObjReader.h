#pragma once

#include <cstdio>
#include <string>

class Mesh;

// Reads a Wavefront OBJ file, and the MTL library of the same name beside it,
// into a new mesh that the caller owns. Positions are multiplied by scale;
// with triangulate, polygons become triangle fans around their first corner.
// Null when the file cannot be opened or read into memory, when a face
// refers outside the pools, or when no vertex or no face is left.
Mesh* loadObjMesh(const char* path, double scale, bool triangulate);

// The same from an open OBJ stream, with its library stream (null when there
// is none), both read byte for byte (a text-mode stream, a memory stream);
// fullPath becomes the mesh's filePath and gives its directory.
Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate);
