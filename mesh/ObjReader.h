#pragma once

#include <cstdio>
#include <functional>
#include <string>

class Mesh;

// Reads a Wavefront OBJ file and its material library into a new mesh that
// the caller owns. The library is the MTL file of the same name beside it;
// when there is none, the libraries that the file's mtllib statements name,
// relative to its folder, in the order named (a missing one is skipped). Positions are multiplied by scale;
// with triangulate, polygons become triangle fans around their first corner.
// Null when the file cannot be opened or read into memory, when a face
// refers outside the pools, or when no vertex or no face is left.
Mesh* loadObjMesh(const char* path, double scale, bool triangulate);

// The scale the viewer loads every mesh at: a file unit is a hundredth.
constexpr double kLoadScale = 0.01;

// Opens a library that an mtllib statement names, as written there; null
// when there is none. The reader closes the stream.
using LibraryOpener = std::function<std::FILE*(const std::string& name)>;

// The same from an open OBJ stream, with the stream of its same-name library
// (null when there is none; then openNamed, when given, opens the named
// ones), all read byte for byte (a text-mode stream, a memory stream);
// fullPath becomes the mesh's filePath and gives its directory.
Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate,
                  const LibraryOpener& openNamed = nullptr);
