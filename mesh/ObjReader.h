#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>

class Mesh;

// The rules an OBJ file is read by.
enum class ObjRules {
    // "v" and "vn" with exactly three numbers and "vt" with exactly two
    // (other counts skip the line, which then takes no number), positive
    // corner numbers, every corner inside its pools.
    strict,
    // As other programs write files, where the strict rules refuse them:
    // "v" with four to seven numbers keeps the first three (with exactly six,
    // the last three are the vertex's colour); "vt" with one number is
    // (u, 0), with three (u, v); a negative corner number counts back from
    // the last vertex of its kind read so far; a texture or normal number
    // outside its pool is taken as none. A position outside its pool still
    // fails the load. Everything else as the strict rules read it.
    tolerant,
};

// Reads a Wavefront OBJ file and its material library into a new mesh that
// the caller owns: by the strict rules, and only when they give nothing, once
// more by the tolerant ones. The library is the MTL file of the same name
// beside it; when there is none, the libraries that the file's mtllib
// statements name, relative to its folder, in the order named (a missing one
// is skipped). Positions are multiplied by scale; with triangulate, polygons
// become triangle fans around their first corner. Null when the file cannot
// be opened or read into memory, when a face refers outside the pools, or
// when no vertex or no face is left. A large file is read on every core.
Mesh* loadObjMesh(const char* path, double scale, bool triangulate);

// The same by the given rules alone.
Mesh* loadObjMesh(const char* path, double scale, bool triangulate, ObjRules rules);

// The scale the viewer loads every mesh at: a file unit is a hundredth.
constexpr double kLoadScale = 0.01;

// Opens a library that an mtllib statement names, as written there; null
// when there is none. The reader closes the stream.
using LibraryOpener = std::function<std::FILE*(const std::string& name)>;

// The same from an open OBJ stream, with the stream of its same-name library
// (null when there is none; then openNamed, when given, opens the named
// ones), all read byte for byte (a text-mode stream, a memory stream);
// fullPath becomes the mesh's filePath and gives its directory. For the
// second reading both streams go back to where they were (null when they
// cannot) and openNamed is asked again.
Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate,
                  const LibraryOpener& openNamed = nullptr);

// The same by the given rules alone.
Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate,
                  ObjRules rules, const LibraryOpener& openNamed = nullptr);

// How a file is split across threads: threads threads (kEveryCore: one per
// core, up to 16, for a file of a megabyte or more, else one without parts;
// 1 with partBytes 0: one without parts), reading parts of partBytes each
// (0: 128 KiB). Every split gives the same mesh. loadObjMesh
// reads on every core.
struct ObjSplit {
    static constexpr int kEveryCore = 0;
    int threads = 1;
    std::size_t partBytes = 0;
};

// loadObjMesh with the given split; by the given rules alone when given.
Mesh* loadObjMesh(const char* path, double scale, bool triangulate, const ObjSplit& split,
                  std::optional<ObjRules> rules = std::nullopt);
