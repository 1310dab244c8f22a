#include "mesh/MtlReader.h"

#include "mesh/LineReader.h"
#include "mesh/Mesh.h"
#include "mesh/Numbers.h"
#include "mesh/Statement.h"
#include "platform/Runtime.h"

#include <cstdio>
#include <memory>
#include <string_view>

namespace {

float toFloat(std::string_view word)
{
    return static_cast<float>(toDouble(word.data(), word.data() + word.size()));
}

void readColour(const std::vector<std::string_view>& words, float* colour)
{
    for (int i = 0; i < 3; ++i)
        colour[i] = toFloat(words[static_cast<std::size_t>(i) + 1]);
}

} // namespace

std::string mtlLibraryPath(const std::string& objPath)
{
    if (objPath.size() < 5 || rt::compareNoCase(objPath.c_str() + objPath.size() - 4, ".obj") != 0)
        return std::string();
    return objPath.substr(0, objPath.size() - 4) + ".mtl";
}

void loadMtlLibrary(const std::string& objPath, Mesh& mesh)
{
    const std::string libraryPath = mtlLibraryPath(objPath);
    if (libraryPath.empty())
        return;
    rt::File file(rt::openBinary(libraryPath.c_str()));
    if (file)
        readMtlLibrary(file.get(), mesh, LineReader::textMode);
}

void readMtlLibrary(std::FILE* library, Mesh& mesh, LineReader::Translation translation)
{
    LineReader lines(library, translation);
    std::vector<std::string_view> words;
    Material* current = nullptr;
    const char* line;
    std::size_t length;
    while (lines.next(line, length)) {
        // No statement taken has more than four words.
        splitStatement(line, length, words, 5);
        if (words.empty())
            continue;
        const std::string_view keyword = words[0];
        const std::size_t n = words.size();
        if (keyword == "newmtl") {
            // A material that no usemtl named has no faces and is dropped
            // after the load: its statements are skipped, not kept.
            if (n >= 2)
                current = mesh.findMaterial(std::string(words[1]));
            continue;
        }
        if (!current)
            continue;
        if (keyword == "Ka" && n == 4)
            readColour(words, current->ambient);
        else if (keyword == "Kd" && n == 4)
            readColour(words, current->diffuse);
        else if (keyword == "Ks" && n == 4)
            readColour(words, current->specular);
        else if (keyword == "Ns" && n == 2)
            current->shininess = toFloat(words[1]);
        else if (keyword == "map_Kd" && n == 2)
            current->textureName = std::string(words[1]);
    }
}
