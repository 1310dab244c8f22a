#pragma once

#include "mesh/Mesh.h"
#include "mesh/Numbers.h"
#include "mesh/ObjReader.h"
#include "tests/support/TestFiles.h"

#include <memory>
#include <optional>
#include <string>

// Writes name.obj (and name.mtl when mtl is given) to the scratch folder and
// returns the OBJ file's path.
inline std::string writeObj(const std::string& name, const std::string& obj, const std::string* mtl = nullptr)
{
    const std::string path = scratchPath(name + ".obj");
    writeFile(path, obj);
    const std::string library = scratchPath(name + ".mtl");
    if (mtl)
        writeFile(library, *mtl);
    return path;
}

// As the viewer loads it, or by the given rules alone.
inline std::unique_ptr<Mesh> load(const std::string& path, bool triangulate = true, double scale = kLoadScale,
                                  std::optional<ObjRules> rules = std::nullopt)
{
    return std::unique_ptr<Mesh>(rules ? loadObjMesh(path.c_str(), scale, triangulate, *rules)
                                       : loadObjMesh(path.c_str(), scale, triangulate));
}

inline std::unique_ptr<Mesh> loadText(const std::string& name, const std::string& obj, bool triangulate = true,
                                      std::optional<ObjRules> rules = std::nullopt)
{
    return load(writeObj(name, obj), triangulate, kLoadScale, rules);
}

inline std::unique_ptr<Mesh> loadStrict(const std::string& name, const std::string& obj)
{
    return loadText(name, obj, true, ObjRules::strict);
}

// toDouble of a whole word.
inline double number(const std::string& word)
{
    return toDouble(word.data(), word.data() + word.size());
}
