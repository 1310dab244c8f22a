// fuzz_obj: the OBJ reader and its MTL library.
//
// Input: one flags byte, the OBJ file's bytes, and optionally the separator
// "\0mtl\0" followed by the library's bytes (no separator: no library).
// Flags bit 0 asks for triangulation. Bit 1 reads the way the program does:
// the bytes go to files on tmpfs and loadObjMesh opens them in text mode
// (rt::openText has no in-memory form, and a tmpfs write costs less than the
// reader's own buffers), on one thread. Without it, readObjMesh reads the raw
// bytes from fmemopen streams, carriage returns and Ctrl-Z bytes included,
// which text mode would have removed; then bit 2 hands the library over as
// the one that the mtllib statements name (those of odd length: the others
// are missing) rather than as the library of the OBJ file's own name, and
// bit 3 reads by the tolerant rules alone. Otherwise a file that the strict
// rules refuse (most of the corpus: a mutation seldom keeps every index
// inside its pool) is read a second time by the tolerant rules.
//
// In text mode the file is read once more split into parts across threads,
// which must give the same mesh to the last bit, or nothing when the
// one-thread reading gives nothing: 2 to 7 threads (flags bits 4 to 6, taken
// modulo 6), parts of a size that a hash of the OBJ bytes picks, from one
// byte to a few more (bit 7 clear) or up to half the file (bit 7 set), so
// that the part boundaries fall anywhere: inside lines and numbers, between
// a CR and its LF, beside a Ctrl-Z byte, inside a line longer than a part.
// A long file's parts are never so small that it has more than about 256.
// With bit 2 the same split is also compared by one rule set alone, read on
// one thread and split: the tolerant rules, or the strict ones with bit 3.
//
// A mesh that comes back must keep the reader's promises: positions and
// materials, faces in every material, every corner index inside its pool,
// reserved entries untouched, no face left without a normal, no colours or
// one within 0 to 1 for every position.

#include "fuzz/FuzzSupport.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"
#include "platform/Runtime.h"
#include "tests/support/MeshDifference.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kSeparator("\0mtl\0", 5);

bool inside(std::int32_t index, std::size_t poolSize)
{
    return index >= 0 && static_cast<std::size_t>(index) < poolSize;
}

void checkMesh(const Mesh& mesh, bool triangulate, const std::string& path)
{
    require(!mesh.positions.empty(), "a loaded mesh has positions");
    require(!mesh.materials.empty(), "a loaded mesh has materials");
    require(!mesh.texCoords.empty() && mesh.texCoords[0].u == 0.0 && mesh.texCoords[0].v == 0.0,
            "texture coordinate 0 is the reserved (0, 0)");
    require(!mesh.normals.empty() && mesh.normals[0].x == 0.0 && mesh.normals[0].y == 0.0 && mesh.normals[0].z == 0.0,
            "normal 0 is the reserved (0, 0, 0)");
    require(mesh.filePath == path, "filePath is the full path");
    require(mesh.directory == path.substr(0, path.rfind('/') + 1), "directory is filePath's folder");

    std::set<std::string> names;
    for (const auto& material : mesh.materials) {
        require(material != nullptr, "no material is null");
        require(names.insert(material->name).second, "material names are unique");
        require(material->faceCount() > 0, "every material has faces");
        std::uint32_t first = 0;
        for (std::size_t f = 0; f < material->faceCount(); ++f) {
            const std::uint32_t end = material->faceEnds[f];
            require(end > first && end - first >= 3, "a face has at least three corners");
            require(!triangulate || end - first == 3, "triangulated faces have three corners");
            const Face face = material->face(f);
            require(face.first == first && face.cornerCount == static_cast<int>(end - first),
                    "face() matches faceEnds");
            bool hasNormal = false;
            for (int j = 0; j < face.cornerCount; ++j) {
                const Corner& c = face.corner(j);
                require(inside(c.position, mesh.positions.size()), "position index inside its pool");
                require(inside(c.texCoord, mesh.texCoords.size()), "texture-coordinate index inside its pool");
                require(inside(c.normal, mesh.normals.size()), "normal index inside its pool");
                hasNormal = hasNormal || c.normal != 0;
            }
            require(hasNormal, "a face without normals got a generated one");
            first = end;
        }
        require(first == material->corners.size(), "faceEnds covers every corner");
    }
    require(mesh.colors.empty() || mesh.colors.size() == mesh.positions.size(), "a colour for every position, or none");
    for (std::size_t i = 0; i < mesh.colors.size(); ++i) {
        const VertexColor& c = mesh.colors[i];
        require(c.r >= 0 && c.r <= 1 && c.g >= 0 && c.g <= 1 && c.b >= 0 && c.b <= 1, "colours within 0 to 1");
    }
    require(mesh.memoryBytes() > 0, "memoryBytes counts something");
}

// The split that a text-mode reading is compared with (see above).
ObjSplit splitFor(std::uint8_t flags, std::string_view obj)
{
    std::uint32_t hash = 2166136261u; // FNV-1a
    for (const char c : obj)
        hash = (hash ^ static_cast<std::uint8_t>(c)) * 16777619u;
    const std::size_t least = std::max<std::size_t>(1, obj.size() / 256);
    const std::size_t spread = (flags & 128) ? obj.size() / 2 + 1 : 8;
    return ObjSplit{2 + ((flags >> 4) & 7) % 6, least + hash % spread};
}

// Reads path with split by rules (strict, then tolerant when null) and
// requires the mesh that whole, the one-thread reading, gave.
void requireSameSplit(const Mesh* whole, const std::string& path, bool triangulate, const ObjSplit& split,
                      std::optional<ObjRules> rules)
{
    const std::unique_ptr<Mesh> parts(loadObjMesh(path.c_str(), kLoadScale, triangulate, split, rules));
    const std::string difference = meshDifference(whole, parts.get());
    if (difference.empty())
        return;
    const char* const by = !rules ? "strict then tolerant" : *rules == ObjRules::strict ? "strict" : "tolerant";
    const std::string what = "a split reading gives the one-thread mesh (" + std::to_string(split.threads) +
                             " threads, parts of " + std::to_string(split.partBytes) + " bytes, " + by +
                             " rules): " + difference;
    require(false, what.c_str());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const bool triangulate = (data[0] & 1) != 0;
    const bool textMode = (data[0] & 2) != 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t separator = input.find(kSeparator);
    const bool hasLibrary = separator != std::string_view::npos;
    const std::string_view obj = input.substr(0, separator);
    const std::string_view mtl = hasLibrary ? input.substr(separator + kSeparator.size()) : std::string_view();

    std::unique_ptr<Mesh> mesh;
    std::string path;
    if (textMode) {
        // Different names, so that a library written for one input is
        // never read for the next.
        path = scratchFile(hasLibrary ? "with-library.obj" : "alone.obj");
        writeBytes(path, obj);
        if (hasLibrary)
            writeBytes(scratchFile("with-library.mtl"), mtl);
        mesh.reset(loadObjMesh(path.c_str(), kLoadScale, triangulate, ObjSplit{1, 0}));
        const ObjSplit split = splitFor(data[0], obj);
        requireSameSplit(mesh.get(), path, triangulate, split, std::nullopt);
        if (data[0] & 4) {
            const ObjRules rules = (data[0] & 8) ? ObjRules::strict : ObjRules::tolerant;
            const std::unique_ptr<Mesh> whole(
                loadObjMesh(path.c_str(), kLoadScale, triangulate, ObjSplit{1, 0}, rules));
            requireSameSplit(whole.get(), path, triangulate, split, rules);
        }
        require(rt::fullPath(path.c_str(), path), "the scratch file has a full path");
    } else {
        path = "/fuzz/input.obj";
        const bool named = (data[0] & 4) != 0;
        std::FILE* objStream = memoryStream(obj);
        std::FILE* library = hasLibrary && !named ? memoryStream(mtl) : nullptr;
        const LibraryOpener openNamed = [&](const std::string& name) {
            require(!name.empty(), "a named library has a name");
            return hasLibrary && name.size() % 2 == 1 ? memoryStream(mtl) : nullptr;
        };
        if (data[0] & 8)
            mesh.reset(readObjMesh(objStream, library, path, kLoadScale, triangulate, ObjRules::tolerant, openNamed));
        else
            mesh.reset(readObjMesh(objStream, library, path, kLoadScale, triangulate, openNamed));
        std::fclose(objStream);
        if (library)
            std::fclose(library);
    }
    if (mesh)
        checkMesh(*mesh, triangulate, path);
    return 0;
}
