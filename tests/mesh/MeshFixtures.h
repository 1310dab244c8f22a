#pragma once

#include "mesh/Mesh.h"
#include "mesh/Numbers.h"
#include "mesh/ObjReader.h"
#include "tests/support/TestFiles.h"

#include <memory>
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

inline std::unique_ptr<Mesh> load(const std::string& path, bool triangulate = true, double scale = kLoadScale)
{
    return std::unique_ptr<Mesh>(loadObjMesh(path.c_str(), scale, triangulate));
}

inline std::unique_ptr<Mesh> loadText(const std::string& name, const std::string& obj, bool triangulate = true)
{
    return load(writeObj(name, obj), triangulate);
}

// toDouble of a whole word.
inline double number(const std::string& word)
{
    return toDouble(word.data(), word.data() + word.size());
}
