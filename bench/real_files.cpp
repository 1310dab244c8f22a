// real_files: how the OBJ files under a folder (the shared test data) fare.
//
//   real_files FOLDER [--list]
//
// For every .obj file below FOLDER: whether it loads, and whether by the
// strict rules alone or only by the second, tolerant reading; whether it has
// vertex colours; whether it asks for a material library (a same-name .mtl
// beside it, or an mtllib statement) and whether its materials got one (a
// material whose values are not all the defaults); and for every material
// that names a texture, whether the texture is there and, if so, whether it
// becomes a texture (it decodes; a side that is not a power of two is scaled
// when it is uploaded). The texture path is the mesh's folder and the name,
// as the viewer forms it; outside Windows a backslash in the name is taken
// as the separator it is there. Prints the totals, and with --list one line
// per file.
//
// Builds on a tree whose reader has the tolerant rules; the figures from
// before them came from the tool as it was then.

#include "bench/BenchSupport.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"
#include "image/TgaImage.h"
#if __has_include("image/TextureFile.h")
#include "image/TextureFile.h"
#define CORVASI_TEXTURE_FORMATS 1
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

bool endsWithNoCase(const std::string& text, const char* end)
{
    const std::size_t n = std::strlen(end);
    if (text.size() < n)
        return false;
    for (std::size_t i = 0; i < n; ++i) {
        const char a = static_cast<char>(std::tolower(static_cast<unsigned char>(text[text.size() - n + i])));
        if (a != end[i])
            return false;
    }
    return true;
}

bool namesLibrary(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, 7, "mtllib ") == 0)
            return true;
    }
    return false;
}

bool isDefault(const Material& m)
{
    for (int i = 0; i < 3; ++i) {
        if (m.ambient[i] != 0.1f || m.diffuse[i] != 0.78f || m.specular[i] != 0.0f)
            return false;
    }
    return m.shininess == 1.0f && m.textureName.empty();
}

bool readTexture(const std::string& path, TgaImage& image)
{
#ifdef CORVASI_TEXTURE_FORMATS
    return loadTextureFile(path.c_str(), image);
#else
    return image.load(path.c_str());
#endif
}

bool powerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

struct Tally {
    int files = 0, loaded = 0, strict = 0, coloured = 0, asking = 0, askingLoaded = 0, withLibrary = 0;
    int textured = 0, missing = 0, shown = 0, scaled = 0, refused = 0;
};

// What becomes of one material's texture: counted, and a note for the list.
std::string countTexture(const Mesh& mesh, const Material& material, Tally& tally)
{
    ++tally.textured;
    std::string texture = mesh.directory + material.textureName;
#ifndef _WIN32
    std::replace(texture.begin(), texture.end(), '\\', '/');
#endif
    TgaImage image;
    if (!fs::exists(texture)) {
        ++tally.missing;
        return " [" + material.textureName + ": missing]";
    }
    if (!readTexture(texture, image)) {
        ++tally.refused;
        return " [" + material.textureName + ": refused]";
    }
    ++tally.shown;
    const std::string size = std::to_string(image.width) + " x " + std::to_string(image.height);
    if (powerOfTwo(image.width) && powerOfTwo(image.height))
        return " [" + material.textureName + ": shown, " + size + "]";
    ++tally.scaled;
    return " [" + material.textureName + ": shown scaled, " + size + "]";
}

// One OBJ file counted; its line for the list.
std::string countFile(const std::string& path, Tally& tally)
{
    ++tally.files;
    const std::string own = path.substr(0, path.size() - 4) + ".mtl";
    const bool asks = fs::exists(own) || namesLibrary(path);
    tally.asking += asks;
    std::unique_ptr<Mesh> mesh(loadObjMesh(path.c_str(), kLoadScale, true));
    if (!mesh)
        return "fails";
    ++tally.loaded;
    const bool strict = std::unique_ptr<Mesh>(loadObjMesh(path.c_str(), kLoadScale, true, ObjRules::strict)) != nullptr;
    tally.strict += strict;
    tally.coloured += !mesh->colors.empty();
    tally.askingLoaded += asks;
    bool library = false;
    std::string notes;
    for (const auto& material : mesh->materials) {
        library = library || !isDefault(*material);
        if (!material->textureName.empty())
            notes += countTexture(*mesh, *material, tally);
    }
    tally.withLibrary += library;
    return std::string("loads") + (strict ? "" : " (second reading)") + (mesh->colors.empty() ? "" : ", colours") +
           (asks ? (library ? ", library" : ", no library") : "") + notes;
}

void printTally(const Tally& tally)
{
    std::printf("OBJ files:                      %d\n", tally.files);
    std::printf("  load:                         %d\n", tally.loaded);
    std::printf("    by the strict rules:        %d\n", tally.strict);
    std::printf("    only by the second reading: %d\n", tally.loaded - tally.strict);
    std::printf("  with vertex colours:          %d\n", tally.coloured);
    std::printf("  ask for a library:            %d (%d of them load)\n", tally.asking, tally.askingLoaded);
    std::printf("  loaded with library values:   %d\n", tally.withLibrary);
    std::printf("materials naming a texture:     %d (in the files that load)\n", tally.textured);
    std::printf("  texture missing from the data: %d\n", tally.missing);
    std::printf("  shown as a texture:           %d (%d of them scaled)\n", tally.shown, tally.scaled);
    std::printf("  there but refused:            %d\n", tally.refused);
}

} // namespace

int main(int argc, char** argv)
{
    bool list = false;
    std::vector<const char*> words;
    if (!bench::readArguments(argc, argv, {{"--list", &list}}, words) || words.size() != 1)
        return bench::usage("real_files FOLDER [--list]");
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(words[0])) {
        if (entry.is_regular_file() && endsWithNoCase(entry.path().string(), ".obj"))
            files.push_back(entry.path().string());
    }
    std::sort(files.begin(), files.end());

    Tally tally;
    for (const std::string& path : files) {
        const std::string line = countFile(path, tally);
        if (list)
            std::printf("%-70s %s\n", path.c_str(), line.c_str());
    }
    printTally(tally);
    return 0;
}
