// Every OBJ file under the shared test data, written by others: each either
// loads into a sound mesh or fails for a reason we know.

#include "tests/mesh/MeshFixtures.h"

#include "platform/Runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::vector<std::string> sharedObjFiles()
{
    std::vector<std::string> files;
    const fs::path root = sharedDataPath("obj");
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error)) {
        const std::string path = it->path().string();
        if (it->is_regular_file() && path.size() > 4 && rt::compareNoCase(path.c_str() + path.size() - 4, ".obj") == 0)
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Relative path below testdata/obj, with forward slashes.
std::string shortName(const std::string& path)
{
    std::string name = fs::path(path).lexically_relative(sharedDataPath("obj")).generic_string();
    return name;
}

// The invariants every mesh handed over by the reader keeps.
void expectSound(const Mesh& mesh, const std::string& name)
{
    SCOPED_TRACE(name);
    ASSERT_GT(mesh.positions.size(), 0u);
    ASSERT_GT(mesh.materials.size(), 0u);
    ASSERT_GE(mesh.texCoords.size(), 1u);
    ASSERT_GE(mesh.normals.size(), 1u);
    EXPECT_EQ(0.0, mesh.texCoords[0].u);
    EXPECT_EQ(0.0, mesh.texCoords[0].v);
    EXPECT_EQ(0.0, mesh.normals[0].x);
    EXPECT_EQ(0.0, mesh.normals[0].z);
    std::size_t faces = 0;
    std::size_t bad = 0;
    for (const auto& material : mesh.materials) {
        EXPECT_GT(material->faceCount(), 0u) << material->name;
        for (std::size_t f = 0; f < material->faceCount(); ++f) {
            const Face face = material->face(f);
            ++faces;
            if (face.cornerCount != 3)
                ++bad;
            for (int j = 0; j < face.cornerCount; ++j) {
                const Corner& c = face.corner(j);
                if (c.position < 0 || static_cast<std::size_t>(c.position) >= mesh.positions.size() || c.texCoord < 0 ||
                    static_cast<std::size_t>(c.texCoord) >= mesh.texCoords.size() || c.normal < 0 ||
                    static_cast<std::size_t>(c.normal) >= mesh.normals.size())
                    ++bad;
            }
        }
    }
    EXPECT_GT(faces, 0u);
    EXPECT_EQ(0u, bad) << "corners outside their pools, or faces that are not triangles";
}

} // namespace

TEST(RealFiles, EveryObjLoadsSoundlyOrFailsForAKnownReason)
{
    SKIP_WITHOUT_SHARED_DATA();
    // Files that neither reading can draw: faces naming positions that do
    // not exist, or nothing but points, lines or vertices.
    const std::set<std::string> expectedFailures = {
        // Faces name positions that the file never gives.
        "assimp/invalid/malformed.obj",
        "tinyobjloader/models/invalid-relative-texture-index.obj",
        "tinyobjloader/models/invalid-relative-vertex-index.obj",
        // No face of three corners: points, lines, empty files, UTF-16 text.
        "assimp/OBJ/box_UTF16BE.obj",
        "assimp/OBJ/point_cloud.obj",
        "assimp/OBJ/testline.obj",
        "assimp/OBJ/testpoints.obj",
        "assimp/invalid/empty.obj",
        "tinyobjloader/models/invalid-face-definition.obj",
        "tinyobjloader/models/issue-356-leading-spaces-newmtl.obj",
        "tinyobjloader/models/line-prim.obj",
        "tinyobjloader/models/points-prim.obj",
        "trimesh/models/empty.obj",
        "trimesh/models/emptyIO/obj_empty.obj",
        "trimesh/models/emptyIO/obj_points.obj",
        "trimesh/models/emptyIO/obj_wireframe.obj",
        "trimesh/models/face_in_group_name.obj",
    };
    const std::vector<std::string> files = sharedObjFiles();
    ASSERT_GT(files.size(), 50u) << "the shared test data has lost its OBJ files";
    int loaded = 0;
    for (const std::string& path : files) {
        const std::string name = shortName(path);
        const auto mesh = load(path);
        if (!mesh) {
            EXPECT_TRUE(expectedFailures.count(name)) << name << " failed to load";
            continue;
        }
        ++loaded;
        EXPECT_FALSE(expectedFailures.count(name)) << name << " loads now; take it off the list";
        expectSound(*mesh, name);
        EXPECT_TRUE(mesh->colors.empty() || mesh->colors.size() == mesh->positions.size()) << name;
    }
    EXPECT_GT(loaded, 50);
}

TEST(RealFiles, MaterialsAsTheirLibrariesSay)
{
    struct Expected {
        const char* name;
        float diffuse[3];
        const char* texture;
    };
    // Every material in order: no default material, no unused definitions.
    const auto expectMaterials = [](const Mesh& mesh, const std::vector<Expected>& expected) {
        ASSERT_EQ(expected.size(), mesh.materials.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const Material& m = *mesh.materials[i];
            EXPECT_EQ(expected[i].name, m.name);
            EXPECT_EQ(expected[i].texture, m.textureName);
            for (int c = 0; c < 3; ++c)
                EXPECT_EQ(expected[i].diffuse[c], m.diffuse[c]) << m.name;
        }
    };
    const auto spider = load(sharedDataPath("obj/assimp/OBJ/spider.obj"));
    ASSERT_TRUE(spider);
    expectMaterials(*spider, {{"HLeibTex", {0.690196f, 0.639216f, 0.615686f}, ".\\SpiderTex.jpg"},
                              {"Skin", {0.827451f, 0.792157f, 0.772549f}, ".\\wal67ar_small.jpg"},
                              {"BeinTex", {0.8f, 0.8f, 0.8f}, ".\\drkwood2.jpg"},
                              {"Augentex", {0.8f, 0.8f, 0.8f}, ".\\engineflare1.jpg"}});

    const auto cube = load(sharedDataPath("obj/tinyobjloader/models/cube.obj"));
    ASSERT_TRUE(cube);
    expectMaterials(*cube, {{"white", {1, 1, 1}, ""}, {"red", {1, 0, 0}, ""}, {"green", {0, 1, 0}, ""}});
    std::size_t faces = 0;
    for (const auto& m : cube->materials) {
        EXPECT_EQ(0.0f, m->ambient[0]) << m->name;
        faces += m->faceCount();
    }
    EXPECT_EQ(8u, cube->positions.size());
    EXPECT_EQ(12u, faces) << "six quads, two triangles each";
}
