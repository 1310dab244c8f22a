#include "tests/mesh/MeshFixtures.h"

#include "platform/Runtime.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const char* const kTwoMaterials =
    "v 0 0 0\nv 100 0 0\nv 0 100 0\n"
    "usemtl Wood\nf 1 2 3\n"
    "usemtl stone\nf 1 3 2\n";

std::unique_ptr<Mesh> loadWithLibrary(const std::string& name, const std::string& obj, const std::string& mtl)
{
    return load(writeObj(name, obj, &mtl));
}

void expectDefaults(const Material& m)
{
    EXPECT_EQ(0.1f, m.ambient[0]) << m.name;
    EXPECT_EQ(0.78f, m.diffuse[2]) << m.name;
    EXPECT_EQ(0.0f, m.specular[1]) << m.name;
    EXPECT_EQ(1.0f, m.shininess) << m.name;
    EXPECT_EQ("", m.textureName) << m.name;
}

} // namespace

TEST(MtlReader, DefinedMaterialsTakeTheLibrarysValues)
{
    const auto mesh = loadWithLibrary("library", kTwoMaterials,
                                      "newmtl stone\n"
                                      "Ka 0.5 0.25 0.125\nKd 2 -1 0.5\nKs 1 1 1\nNs 96.078431\n"
                                      "map_Kd textures/stone.tga\n"
                                      "newmtl unused\nKd 1 0 0\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(2u, mesh->materials.size()) << "the unused definition is dropped";
    expectDefaults(*mesh->materials[0]);
    const Material& stone = *mesh->materials[1];
    EXPECT_EQ(0.25f, stone.ambient[1]);
    EXPECT_EQ(2.0f, stone.diffuse[0]) << "values are not clamped";
    EXPECT_EQ(-1.0f, stone.diffuse[1]);
    EXPECT_EQ(1.0f, stone.specular[2]);
    EXPECT_EQ(static_cast<float>(96.078431), stone.shininess) << "shininess is not rescaled";
    EXPECT_EQ("textures/stone.tga", stone.textureName);
}

TEST(MtlReader, NamesMatchWithCase)
{
    const auto mesh = loadWithLibrary("case", kTwoMaterials, "newmtl wood\nKd 1 0 0\nnewmtl Stone\nKd 0 1 0\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(2u, mesh->materials.size());
    expectDefaults(*mesh->materials[0]);
    expectDefaults(*mesh->materials[1]);
}

TEST(MtlReader, StatementsThatDoNotCount)
{
    const auto mesh = loadWithLibrary("ignored", kTwoMaterials,
                                      "Kd 1 0 0\n" // before any newmtl
                                      "newmtl Wood\n"
                                      "Kd 0.1 0.2 0.3 0.4\n" // four numbers
                                      "kd 0.5 0.5 0.5\n"     // keyword case
                                      "KD 0.5 0.5 0.5\n"
                                      "map_Kd -s 1 1 1\n" // options and no name
                                      "Ns\n"
                                      "illum 2\nd 0.5\nmap_Ka ambient.tga\n");
    ASSERT_TRUE(mesh);
    expectDefaults(*mesh->materials[0]);
}

TEST(MtlReader, QuotedTextureNameAndRedefinition)
{
    const auto mesh = loadWithLibrary("quoted", kTwoMaterials,
                                      "newmtl Wood\nKd 1 0 0\nKs 0.5 0.5 0.5\nmap_Kd \"my wood.tga\"\n"
                                      "newmtl stone\n"
                                      "newmtl Wood\nKd 0 0 1\n");
    ASSERT_TRUE(mesh);
    const Material& wood = *mesh->materials[0];
    EXPECT_EQ("my wood.tga", wood.textureName);
    EXPECT_EQ(0.0f, wood.diffuse[0]) << "the later statement wins";
    EXPECT_EQ(1.0f, wood.diffuse[2]);
    EXPECT_EQ(0.5f, wood.specular[0]) << "a second definition keeps what it does not give again";
}

TEST(MtlReader, TextureNamesAsOtherProgramsWriteThem)
{
    // Options before the name, or blanks in a name without quotes: the last
    // word when the OBJ file's folder holds it, else the words after the
    // options. The OBJ file needs the second reading, which reads its
    // library again.
    writeFile(scratchPath("uv.jpg"), "");
    writeFile(scratchPath("fuze uv.png"), "");
    const struct {
        const char* statement;
        const char* name;
    } cases[] = {
        {"map_Kd plain.tga", "plain.tga"},
        {"map_Kd -s 1 1 1 wood.tga", "wood.tga"},
        {"map_Kd -bm 0.5 -o 1 2 -clamp on \"my wood.tga\"", "my wood.tga"},
        {"map_Kd -colorspace sRGB -s 2 -texres 512 -blendu off wood.tga", "wood.tga"},
        {"map_Kd fuze uv.png", "fuze uv.png"},
        {"map_Kd fuze uv.jpg", "uv.jpg"},
        {"map_Kd -o 0.1 0.2  two\t blanks.png", "two blanks.png"},
    };
    for (const auto& c : cases) {
        const auto mesh = loadWithLibrary("map-kd", "vt 0.5\n" + std::string(kTwoMaterials) + "f 1/1 2/1 3/1\n",
                                          std::string("newmtl Wood\nKd 1 0 0\n") + c.statement + "\n");
        ASSERT_TRUE(mesh) << c.statement;
        EXPECT_EQ(1.0f, mesh->materials[0]->diffuse[0]) << c.statement;
        EXPECT_EQ(c.name, mesh->materials[0]->textureName) << c.statement;
    }
}

TEST(MtlReader, LibraryOfTheObjFilesOwnNameComesFirst)
{
    // Then the mtllib statement is not consulted; the extension may be in
    // capitals.
    const std::string mtl = "newmtl Wood\nKd 1 0 0\n";
    const std::string other = "newmtl Wood\nKd 0 1 0\n";
    writeFile(scratchPath("elsewhere.mtl"), other);
    const std::string upper = scratchPath("Upper.OBJ");
    writeFile(upper, std::string("mtllib elsewhere.mtl\n") + kTwoMaterials);
    writeFile(scratchPath("Upper.mtl"), mtl);
    const auto mesh = load(upper);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(1.0f, mesh->materials[0]->diffuse[0]);
    EXPECT_EQ(0.0f, mesh->materials[0]->diffuse[1]);

    const std::string odd = scratchPath("odd.mesh");
    writeFile(odd, kTwoMaterials);
    writeFile(scratchPath("odd.mtl"), mtl);
    const auto noLibrary = load(odd);
    ASSERT_TRUE(noLibrary);
    expectDefaults(*noLibrary->materials[0]);
}

TEST(MtlReader, WithoutOneOfItsOwnNameTheNamedLibrariesAreReadInOrder)
{
    // Relative to the OBJ file's folder, several on a line, quoted names
    // with blanks, a missing one skipped, each read once at its first naming.
    namespace fs = std::filesystem;
    const std::string folder = scratchPath("named-libraries");
    fs::remove_all(folder);
    fs::create_directories(fs::path(folder) / "sub");
    const std::string slash(1, rt::kPathSeparator);
    writeFile(folder + slash + "first.mtl", "newmtl Wood\nKd 1 0 0\nnewmtl stone\nKd 0 0 1\n");
    writeFile(folder + slash + "second lib.mtl", "newmtl stone\nKd 0 1 0\nNs 7\n");
    writeFile(folder + slash + "sub" + slash + "third.mtl", "newmtl Wood\nKs 0.5 0.5 0.5\nmap_Kd wood.png\n");
    const std::string obj = folder + slash + "named.obj";
    writeFile(obj, std::string("mtllib first.mtl \"second lib.mtl\" missing.mtl # the first three\n") + kTwoMaterials +
                       "mtllib\tsub/third.mtl  first.mtl\n");
    const auto mesh = load(obj);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(2u, mesh->materials.size());
    const Material& wood = *mesh->materials[0];
    EXPECT_EQ(1.0f, wood.diffuse[0]) << "from the first library";
    EXPECT_EQ(0.5f, wood.specular[1]) << "from the library in the folder below";
    EXPECT_EQ("wood.png", wood.textureName);
    const Material& stone = *mesh->materials[1];
    EXPECT_EQ(0.0f, stone.diffuse[2]) << "the later library wins, and the first is not read again";
    EXPECT_EQ(1.0f, stone.diffuse[1]);
    EXPECT_EQ(7.0f, stone.shininess);

    // With a library of its own name beside it, that one alone is read.
    writeFile(folder + slash + "named.mtl", "newmtl stone\nKs 1 1 1\n");
    const auto own = load(obj);
    ASSERT_TRUE(own);
    expectDefaults(*own->materials[0]);
    EXPECT_EQ(0.78f, own->materials[1]->diffuse[1]);
    EXPECT_EQ(1.0f, own->materials[1]->specular[0]);

    // The sample of our own whose library has another name.
    const auto sample = load(dataPath("../../samples/tile.obj"));
    ASSERT_TRUE(sample);
    ASSERT_EQ(1u, sample->materials.size());
    EXPECT_EQ("tile.png", sample->materials[0]->textureName);
    EXPECT_EQ(20.0f, sample->materials[0]->shininess);
}

TEST(MtlReader, LibraryWithCarriageReturnsAndNoFinalLineFeed)
{
    const auto mesh = loadWithLibrary("crlf-mtl", kTwoMaterials, "newmtl Wood\r\nKd 0.5 0.5 0.5\r\nmap_Kd wood.tga");
    ASSERT_TRUE(mesh);
    EXPECT_EQ(0.5f, mesh->materials[0]->diffuse[0]);
    EXPECT_EQ("wood.tga", mesh->materials[0]->textureName);
}
