#pragma once

// The comparison of two readings of a mesh, shared by the tests and the fuzz
// targets (which have no GoogleTest): header only, so that either can use it
// without a library of the other's.

#include "mesh/BlockArray.h"
#include "mesh/Mesh.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace meshdifference {

template <class T>
bool sameBits(const T& a, const T& b)
{
    return std::memcmp(&a, &b, sizeof(T)) == 0;
}

// The first difference between two pools, or an empty text.
template <class T>
std::string poolDifference(const char* name, const BlockArray<T>& expected, const BlockArray<T>& actual)
{
    if (expected.size() != actual.size())
        return std::string(name) + ": " + std::to_string(actual.size()) + " entries, not " +
               std::to_string(expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (!sameBits(expected[i], actual[i]))
            return std::string(name) + " entry " + std::to_string(i) + " differs";
    }
    return std::string();
}

} // namespace meshdifference

// The first difference between the mesh that a reading is expected to give
// and the one it gave, or an empty text when they are the same: both null,
// or the same paths, pools, materials in the same order and faces, every
// number to the last bit.
inline std::string meshDifference(const Mesh* expected, const Mesh* actual)
{
    using meshdifference::poolDifference;
    using meshdifference::sameBits;
    if (!expected || !actual) {
        if (!expected && !actual)
            return std::string();
        return actual ? "a mesh where none was expected" : "no mesh where one was expected";
    }
    if (expected->filePath != actual->filePath || expected->directory != actual->directory)
        return "paths differ";
    for (const std::string& difference : {poolDifference("positions", expected->positions, actual->positions),
                                          poolDifference("texCoords", expected->texCoords, actual->texCoords),
                                          poolDifference("normals", expected->normals, actual->normals),
                                          poolDifference("colors", expected->colors, actual->colors)}) {
        if (!difference.empty())
            return difference;
    }
    if (expected->materials.size() != actual->materials.size())
        return std::to_string(actual->materials.size()) + " materials, not " +
               std::to_string(expected->materials.size());
    for (std::size_t m = 0; m < expected->materials.size(); ++m) {
        const Material& e = *expected->materials[m];
        const Material& a = *actual->materials[m];
        if (e.name != a.name || e.textureName != a.textureName || !sameBits(e.ambient, a.ambient) ||
            !sameBits(e.diffuse, a.diffuse) || !sameBits(e.specular, a.specular) || !sameBits(e.shininess, a.shininess))
            return "material " + std::to_string(m) + " (\"" + e.name + "\") differs";
        for (const std::string& difference :
             {poolDifference("corners", e.corners, a.corners), poolDifference("faceEnds", e.faceEnds, a.faceEnds)}) {
            if (!difference.empty())
                return difference + " in material " + std::to_string(m);
        }
    }
    return std::string();
}
