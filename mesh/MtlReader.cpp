#include "mesh/MtlReader.h"

#include "mesh/LineReader.h"
#include "mesh/Mesh.h"
#include "mesh/Numbers.h"
#include "mesh/Statement.h"
#include "platform/Runtime.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

// A word that is a number as a whole.
bool isNumber(std::string_view word)
{
    const std::string text(word);
    char* stop = nullptr;
    rt::stringToDouble(text.c_str(), &stop);
    return !text.empty() && stop == text.c_str() + text.size();
}

// How many words follow a texture option: at least, and at most, the
// further ones being numbers.
struct OptionWords {
    const char* name;
    int least;
    int most;
};

constexpr OptionWords kTextureOptions[] = {
    {"-blendu", 1, 1}, {"-blendv", 1, 1},  {"-bm", 1, 1},     {"-boost", 1, 1}, {"-cc", 1, 1},
    {"-clamp", 1, 1},  {"-imfchan", 1, 1}, {"-texres", 1, 1}, {"-type", 1, 1},  {"-colorspace", 1, 1},
    {"-mm", 1, 2},     {"-o", 1, 3},       {"-s", 1, 3},      {"-t", 1, 3},
};

// The first word of words (after the keyword) that is neither a texture
// option nor one of its values. An unknown word starting with "-" counts as
// an option without values.
std::size_t firstNameWord(const std::vector<std::string_view>& words)
{
    std::size_t i = 1;
    while (i < words.size() && words[i].size() > 1 && words[i][0] == '-') {
        const std::string_view option = words[i++];
        for (const OptionWords& known : kTextureOptions) {
            if (option != known.name)
                continue;
            for (int taken = 0; taken < known.most && i < words.size(); ++taken, ++i) {
                if (taken >= known.least && !isNumber(words[i]))
                    break;
            }
            break;
        }
    }
    return i;
}

// The texture of a map_Kd statement of more than one word, as other programs
// write them: options before the name, or a name with blanks and no quotes.
// The last word when the mesh's folder holds a file of that name; otherwise
// the words after the options, joined by single blanks. Empty when only
// options are given.
std::string textureOf(const std::vector<std::string_view>& words, const Mesh& mesh)
{
    const std::string last(words.back());
    if (rt::isFile((mesh.directory + last).c_str()))
        return last;
    std::string name;
    for (std::size_t i = firstNameWord(words); i < words.size(); ++i) {
        if (!name.empty())
            name += ' ';
        name += words[i];
    }
    return name;
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
        // No statement taken has more than four words, but for a map_Kd
        // with options.
        constexpr std::size_t kFewWords = 5;
        splitStatement(line, length, words, kFewWords);
        if (words.empty())
            continue;
        if (words.size() == kFewWords && words[0] == "map_Kd")
            splitStatement(line, length, words);
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
        else if (keyword == "map_Kd" && n > 2) {
            std::string name = textureOf(words, mesh);
            if (!name.empty())
                current->textureName = std::move(name);
        }
    }
}
