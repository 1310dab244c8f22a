#include "mesh/Mesh.h"

#include <gtest/gtest.h>

#include <vector>

TEST(Mesh, FindOrAddMaterialMatchesNamesExactly)
{
    Mesh mesh;
    Material* wood = mesh.findOrAddMaterial("Wood");
    Material* lower = mesh.findOrAddMaterial("wood");
    EXPECT_NE(wood, lower);
    EXPECT_EQ(wood, mesh.findOrAddMaterial("Wood"));
    ASSERT_EQ(2u, mesh.materials.size());
    EXPECT_EQ("Wood", mesh.materials[0]->name);
    EXPECT_EQ("wood", mesh.materials[1]->name);
}

TEST(Mesh, NewMaterialHasTheDefaults)
{
    Mesh mesh;
    const Material* m = mesh.findOrAddMaterial("");
    EXPECT_EQ(0.1f, m->ambient[0]);
    EXPECT_EQ(0.78f, m->diffuse[1]);
    EXPECT_EQ(0.0f, m->specular[2]);
    EXPECT_EQ(1.0f, m->shininess);
    EXPECT_TRUE(m->textureName.empty());
    EXPECT_EQ(0u, m->faceCount());
}

TEST(Mesh, RemoveEmptyMaterialsKeepsOrderAndLookup)
{
    Mesh mesh;
    const Corner triangle[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    mesh.findOrAddMaterial("a")->addFace(triangle, 3);
    mesh.findOrAddMaterial("empty");
    mesh.findOrAddMaterial("b")->addFace(triangle, 3);
    mesh.removeEmptyMaterials();
    ASSERT_EQ(2u, mesh.materials.size());
    EXPECT_EQ("a", mesh.materials[0]->name);
    EXPECT_EQ("b", mesh.materials[1]->name);
    EXPECT_EQ(mesh.materials[1].get(), mesh.findOrAddMaterial("b"));
    EXPECT_EQ(3u, mesh.findOrAddMaterial("empty") ? mesh.materials.size() : 0u) << "a removed name is new again";
}

TEST(Mesh, FacesOfMixedSizesKeepTheirCorners)
{
    Material material("m");
    const Corner quad[4] = {{0, 1, 2}, {3, 4, 5}, {6, 7, 8}, {9, 10, 11}};
    const Corner triangle[3] = {{12, 0, 0}, {13, 0, 0}, {14, 0, 0}};
    material.addFace(quad, 4);
    material.addFace(triangle, 3);
    ASSERT_EQ(2u, material.faceCount());
    const Face first = material.face(0);
    const Face second = material.face(1);
    EXPECT_EQ(4, first.cornerCount);
    EXPECT_EQ(3, second.cornerCount);
    EXPECT_EQ(9, first.positionIndex(3));
    EXPECT_EQ(10, first.texCoordIndex(3));
    EXPECT_EQ(11, first.normalIndex(3));
    EXPECT_EQ(12, second.positionIndex(0));
}

TEST(Mesh, MaterialOfOneTriangleStaysSmall)
{
    // A file may give every face its own material: each must cost little
    // more than the object itself.
    Material material("m");
    const Corner triangle[3] = {{0, 0, 0}, {1, 0, 0}, {2, 0, 0}};
    material.addFace(triangle, 3);
    const std::size_t names = material.name.capacity() + material.textureName.capacity();
    EXPECT_LE(material.memoryBytes(), sizeof(Material) + names + 64);
}

TEST(BlockArray, ClearedArrayGrowsAgain)
{
    BlockArray<int> values;
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < static_cast<int>(2 * BlockArray<int>::kBlockSize + 3); ++i)
            values.push_back(i + round);
        EXPECT_EQ(static_cast<std::size_t>(2 * BlockArray<int>::kBlockSize + 2 + round),
                  static_cast<std::size_t>(values[values.size() - 1]));
        values.clear();
        EXPECT_EQ(0u, values.size());
        EXPECT_EQ(0u, values.memoryBytes());
    }
}

TEST(BlockArray, GrowsAcrossBlocksWithoutLosingValues)
{
    BlockArray<int> values;
    const int count = 3 * BlockArray<int>::kBlockSize + 17;
    for (int i = 0; i < count; ++i)
        values.push_back(i * 7);
    ASSERT_EQ(static_cast<std::size_t>(count), values.size());
    for (int i = 0; i < count; i += 997)
        ASSERT_EQ(i * 7, values[static_cast<std::size_t>(i)]);
    EXPECT_EQ((count - 1) * 7, values[values.size() - 1]);
    EXPECT_LT(values.memoryBytes(),
              (static_cast<std::size_t>(count) + BlockArray<int>::kBlockSize) * sizeof(int) + 4096);
}

TEST(BlockArray, AppendedRunsCrossBlockEdges)
{
    // Runs of 1 to 40 values, then runs longer than a block, from the small
    // first block on: every run that straddles an edge, or a doubling of the
    // first block, must land whole and in order.
    BlockArray<int> values;
    std::vector<int> expected;
    std::vector<int> run;
    int next = 0;
    for (std::size_t length = 1; expected.size() < 3 * BlockArray<int>::kBlockSize; length = length % 40 + 1) {
        run.clear();
        for (std::size_t i = 0; i < length; ++i)
            run.push_back(next++);
        values.append(run.data(), run.size());
        expected.insert(expected.end(), run.begin(), run.end());
    }
    run.assign(2 * BlockArray<int>::kBlockSize + 5, 0);
    for (int& v : run)
        v = next++;
    values.append(run.data(), run.size());
    expected.insert(expected.end(), run.begin(), run.end());
    values.append(run.data(), 0);

    ASSERT_EQ(expected.size(), values.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        ASSERT_EQ(expected[i], values[i]) << i;
}
