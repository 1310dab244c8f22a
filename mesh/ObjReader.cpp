#include "mesh/ObjReader.h"

#include "mesh/LineReader.h"
#include "mesh/Mesh.h"
#include "mesh/MtlReader.h"
#include "mesh/Numbers.h"
#include "mesh/Statement.h"
#include "platform/Runtime.h"

#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

double number(std::string_view word)
{
    return toDouble(word.data(), word.data() + word.size());
}

void readStatements(std::FILE* file, Mesh& mesh, double scale, bool triangulate)
{
    Material* current = mesh.findOrAddMaterial(std::string());
    LineReader lines(file);
    std::vector<std::string_view> words;
    std::vector<Corner> corners;
    const char* line;
    std::size_t length;
    while (lines.next(line, length)) {
        splitStatement(line, length, words);
        if (words.empty())
            continue;
        const std::string_view keyword = words[0];
        const std::size_t n = words.size();
        if (keyword == "v") {
            if (n == 4)
                mesh.positions.push_back(Vec3{number(words[1]) * scale, number(words[2]) * scale, number(words[3]) * scale});
        } else if (keyword == "vt") {
            if (n == 3)
                mesh.texCoords.push_back(TexCoord{number(words[1]), number(words[2])});
        } else if (keyword == "vn") {
            if (n == 4)
                mesh.normals.push_back(Vec3{number(words[1]), number(words[2]), number(words[3])});
        } else if (keyword == "f") {
            if (n < 4)
                continue;
            corners.clear();
            for (std::size_t i = 1; i < n; ++i) {
                const CornerIndices c = parseCorner(words[i]);
                corners.push_back(Corner{c.position, c.texCoord, c.normal});
            }
            if (!triangulate) {
                current->addFace(corners.data(), static_cast<int>(corners.size()));
                continue;
            }
            // A fan around the first corner.
            for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
                const Corner triangle[3] = {corners[0], corners[i], corners[i + 1]};
                current->addFace(triangle, 3);
            }
        } else if (keyword == "usemtl") {
            if (n >= 2)
                current = mesh.findOrAddMaterial(std::string(words[1]));
        }
    }
}

bool inside(std::int32_t index, std::size_t poolSize)
{
    return index >= 0 && static_cast<std::size_t>(index) < poolSize;
}

bool indicesInside(const Mesh& mesh)
{
    const std::size_t positions = mesh.positions.size();
    const std::size_t texCoords = mesh.texCoords.size();
    const std::size_t normals = mesh.normals.size();
    for (const auto& material : mesh.materials) {
        const BlockArray<Corner>& corners = material->corners;
        for (std::size_t i = 0; i < corners.size(); ++i) {
            const Corner& c = corners[i];
            if (!inside(c.position, positions) || !inside(c.normal, normals) || !inside(c.texCoord, texCoords))
                return false;
        }
    }
    return true;
}

Vec3 difference(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

// Flat normal from the first, second and last corners, counter-clockwise
// facing the viewer.
Vec3 faceNormal(const Mesh& mesh, const Face& face)
{
    const Vec3& p0 = mesh.positions[static_cast<std::size_t>(face.positionIndex(0))];
    const Vec3& p1 = mesh.positions[static_cast<std::size_t>(face.positionIndex(1))];
    const Vec3& pl = mesh.positions[static_cast<std::size_t>(face.positionIndex(face.cornerCount - 1))];
    Vec3 e1 = difference(p1, p0);
    Vec3 e2 = difference(pl, p0);
    normalize(e1);
    normalize(e2);
    Vec3 normal = cross(e1, e2);
    return normalize(normal);
}

// Gives every face that names no normal at all one generated normal,
// appended after the file's own.
void generateFaceNormals(Mesh& mesh)
{
    for (const auto& material : mesh.materials) {
        for (std::size_t f = 0; f < material->faceCount(); ++f) {
            const Face face = material->face(f);
            bool named = false;
            for (int j = 0; j < face.cornerCount && !named; ++j)
                named = face.normalIndex(j) != 0;
            if (named)
                continue;
            if (mesh.normals.size() > static_cast<std::size_t>(INT_MAX))
                throw std::bad_alloc();
            const std::int32_t next = static_cast<std::int32_t>(mesh.normals.size());
            mesh.normals.push_back(faceNormal(mesh, face));
            for (int j = 0; j < face.cornerCount; ++j)
                material->corners[face.first + static_cast<std::uint32_t>(j)].normal = next;
        }
    }
}

} // namespace

Mesh* loadObjMesh(const char* path, double scale, bool triangulate)
{
    std::string full;
    if (!rt::fullPath(path, full))
        return nullptr;
    std::unique_ptr<std::FILE, FileCloser> file(rt::openText(full.c_str()));
    if (!file)
        return nullptr;
    const std::string libraryPath = mtlLibraryPath(full);
    std::unique_ptr<std::FILE, FileCloser> library(libraryPath.empty() ? nullptr : rt::openText(libraryPath.c_str()));
    return readObjMesh(file.get(), library.get(), full, scale, triangulate);
}

Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate)
{
    try {
        std::unique_ptr<Mesh> mesh(new Mesh);
        mesh->filePath = fullPath;
        mesh->directory = rt::directoryOf(fullPath);
        mesh->texCoords.push_back(TexCoord{});
        mesh->normals.push_back(Vec3{});

        readStatements(obj, *mesh, scale, triangulate);
        if (library)
            readMtlLibrary(library, *mesh);
        mesh->removeEmptyMaterials();
        if (!indicesInside(*mesh))
            return nullptr;
        generateFaceNormals(*mesh);
        if (mesh->positions.empty() || mesh->materials.empty())
            return nullptr;
        return mesh.release();
    } catch (const std::bad_alloc&) {
        // A mesh too large for memory is a file that cannot be loaded.
        return nullptr;
    }
}
