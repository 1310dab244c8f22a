#include "tests/mesh/MeshFixtures.h"

#include "platform/Runtime.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

namespace {

const char* const kSquare = "v 0 0 0\nv 100 0 0\nv 100 100 0\nv 0 100 0\n";

struct Triple {
    int position, texCoord, normal;
    bool operator==(const Triple& o) const
    {
        return position == o.position && texCoord == o.texCoord && normal == o.normal;
    }
};

std::ostream& operator<<(std::ostream& out, const Triple& t)
{
    return out << "(" << t.position << ", " << t.texCoord << ", " << t.normal << ")";
}

std::vector<Triple> cornersOf(const Face& face)
{
    std::vector<Triple> corners;
    for (int j = 0; j < face.cornerCount; ++j)
        corners.push_back({face.positionIndex(j), face.texCoordIndex(j), face.normalIndex(j)});
    return corners;
}

std::vector<int> positionsOf(const Face& face)
{
    std::vector<int> positions;
    for (int j = 0; j < face.cornerCount; ++j)
        positions.push_back(face.positionIndex(j));
    return positions;
}

} // namespace

TEST(ObjReader, QuadBecomesAFanOfTwoTriangles)
{
    const auto mesh = loadText("quad", std::string(kSquare) + "f 1 2 3 4\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(1u, mesh->materials.size());
    const Material& m = *mesh->materials[0];
    ASSERT_EQ(2u, m.faceCount());
    EXPECT_EQ((std::vector<int>{0, 1, 2}), positionsOf(m.face(0)));
    EXPECT_EQ((std::vector<int>{0, 2, 3}), positionsOf(m.face(1)));
}

TEST(ObjReader, PolygonStaysWholeWithoutTriangulation)
{
    const auto mesh = loadText("pentagon", std::string(kSquare) + "v 50 150 0\nf 1 2 3 5 4\n", false);
    ASSERT_TRUE(mesh);
    const Material& m = *mesh->materials[0];
    ASSERT_EQ(1u, m.faceCount());
    EXPECT_EQ((std::vector<int>{0, 1, 2, 4, 3}), positionsOf(m.face(0)));
}

TEST(ObjReader, HexagonFanOrder)
{
    std::string obj;
    for (int i = 0; i < 6; ++i)
        obj += "v " + std::to_string(std::cos(i * 1.0471975512) * 100) + " " +
               std::to_string(std::sin(i * 1.0471975512) * 100) + " 0\n";
    obj += "f 1 2 3 4 5 6\n";
    const auto mesh = loadText("hexagon", obj);
    ASSERT_TRUE(mesh);
    const Material& m = *mesh->materials[0];
    ASSERT_EQ(4u, m.faceCount());
    for (std::size_t f = 0; f < 4; ++f) {
        const int i = static_cast<int>(f) + 1;
        EXPECT_EQ((std::vector<int>{0, i, i + 1}), positionsOf(m.face(f)));
    }
}

TEST(ObjReader, CornerTriplesIndexThePools)
{
    std::string obj;
    for (int i = 0; i < 7; ++i)
        obj += "v " + std::to_string(i) + " " + std::to_string(i * i) + " 1\n";
    for (int i = 0; i < 8; ++i)
        obj += "vt 0." + std::to_string(i) + " 0.5\n";
    for (int i = 0; i < 6; ++i)
        obj += "vn 0 0 " + std::to_string(i + 1) + "\n";
    obj += "f 1/2/3 4//6 7/8\n";
    const auto mesh = loadText("triples", obj);
    ASSERT_TRUE(mesh);
    const Face face = mesh->materials[0]->face(0);
    EXPECT_EQ((std::vector<Triple>{{0, 2, 3}, {3, 0, 6}, {6, 8, 0}}), cornersOf(face));
    EXPECT_EQ(7u, mesh->normals.size()) << "a face that names some normals gets no generated one";
    EXPECT_EQ(9u, mesh->texCoords.size());
}

TEST(ObjReader, PoolsScaleAndReservedEntries)
{
    const auto mesh = loadText("pools", "v 100 200 300\nv 0 0 0\nv 1 1 1\nvn 0 0 5\nvt 0.25 0.75\nf 1 2 3\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(3u, mesh->positions.size());
    EXPECT_EQ(1.0, mesh->positions[0].x);
    EXPECT_EQ(2.0, mesh->positions[0].y);
    EXPECT_EQ(3.0, mesh->positions[0].z);
    ASSERT_EQ(3u, mesh->normals.size()) << "reserved, the file's one, the generated one";
    EXPECT_EQ(0.0, mesh->normals[0].x + mesh->normals[0].y + mesh->normals[0].z);
    EXPECT_EQ(5.0, mesh->normals[1].z) << "normals are neither scaled nor normalised";
    ASSERT_EQ(2u, mesh->texCoords.size());
    EXPECT_EQ(0.0, mesh->texCoords[0].u + mesh->texCoords[0].v);
    EXPECT_EQ(0.25, mesh->texCoords[1].u);
    EXPECT_EQ(0.75, mesh->texCoords[1].v);
}

TEST(ObjReader, StatementsWithOtherWordCountsAreSkippedWhole)
{
    // The weighted vertex takes no number: face 1 2 3 names the other three.
    const auto mesh = loadText("word-counts",
                               "v 9 9 9 1\nv 0 0 0\nv 100 0 0\nv 0 100 0\n"
                               "vt 0.5 0.5\nvt 0.1 0.2 0.3\nvn 0 0 1 0\nv 1 2\nf 1 2\n"
                               "f 1/1 2/1 3/1\n");
    ASSERT_TRUE(mesh);
    EXPECT_EQ(3u, mesh->positions.size());
    EXPECT_EQ(0.0, mesh->positions[0].x);
    EXPECT_EQ(2u, mesh->texCoords.size());
    EXPECT_EQ(2u, mesh->normals.size()) << "reserved and generated only";
    EXPECT_EQ(1u, mesh->materials[0]->faceCount());

    EXPECT_FALSE(loadStrict("vt-three", "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.1 0.2 0.3\nf 1/1 2/1 3/1\n"))
        << "a three-number vt adds nothing, so texture 1 does not exist";
}

TEST(ObjReader, SecondReadingTakesVerticesOfOtherLengths)
{
    // Refused by the strict rules: the faces name vertices they skip.
    const auto mesh = loadText("other-lengths",
                               "v 0 0 0 1 0 0\nv 100 0 0\nv 0 100 0 2 -1 0.5\nv 0 0 100 1\n"
                               "v 100 100 0 0.1 0.2 0.3 0.4\nv 5 5 5 1 2 3 4 5\n"
                               "vt 0.25\nvt 0.5 0.75 0.9\nvt 1 2 3 4\n"
                               "f 1/1 2/2 3/1\nf 2 3 4 5\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(5u, mesh->positions.size()) << "four to seven numbers keep the first three; eight are skipped";
    EXPECT_EQ(1.0, mesh->positions[3].z);
    EXPECT_EQ(1.0, mesh->positions[4].y);
    ASSERT_EQ(3u, mesh->texCoords.size());
    EXPECT_EQ(0.25, mesh->texCoords[1].u);
    EXPECT_EQ(0.0, mesh->texCoords[1].v);
    EXPECT_EQ(0.75, mesh->texCoords[2].v);
    // Exactly six numbers give a colour, kept within 0 to 1; the others white.
    std::vector<std::array<float, 3>> colors;
    for (std::size_t i = 0; i < mesh->colors.size(); ++i)
        colors.push_back({mesh->colors[i].r, mesh->colors[i].g, mesh->colors[i].b});
    EXPECT_EQ((std::vector<std::array<float, 3>>{{1, 0, 0}, {1, 1, 1}, {1, 0, 0.5f}, {1, 1, 1}, {1, 1, 1}}), colors);

    const auto plain = loadText("no-colours", "v 0 0 0 1\nv 1 0 0\nv 0 1 0\nvt 0.5\nf 1/1 2 3\n");
    ASSERT_TRUE(plain);
    EXPECT_TRUE(plain->colors.empty()) << "no colour without a vertex that has one";
}

TEST(ObjReader, FirstReadingWinsWhereItOpensTheFile)
{
    // By the tolerant rules the weighted vertex would be vertex 1 and the
    // one-number vt texture 1; the strict rules skip both and open the file.
    const std::string obj = "v 900 900 900 1\nv 0 0 0\nv 100 0 0\nv 0 100 0\nvt 0.5\nvt 0.25 0.75\nf 1/1 2/1 3/1\n";
    const auto tolerant = loadText("first-wins", obj, true, ObjRules::tolerant);
    ASSERT_TRUE(tolerant);
    EXPECT_EQ(4u, tolerant->positions.size());
    const auto mesh = loadText("first-wins", obj);
    ASSERT_TRUE(mesh);
    ASSERT_EQ(3u, mesh->positions.size());
    EXPECT_EQ(0.0, mesh->positions[0].x);
    ASSERT_EQ(2u, mesh->texCoords.size());
    EXPECT_EQ(0.75, mesh->texCoords[1].v);
}

TEST(ObjReader, KeywordsAreCaseSensitive)
{
    EXPECT_FALSE(loadText("capitals", "V 0 0 0\nV 1 0 0\nV 0 1 0\nF 1 2 3\n"));
    const auto mesh = loadText("capital-f", "v 0 0 0\nv 1 0 0\nv 0 1 0\nF 1 2 3\nf 1 2 3\n");
    ASSERT_TRUE(mesh);
    EXPECT_EQ(1u, mesh->materials[0]->faceCount());
}

TEST(ObjReader, CommentsTabsAndLineEnds)
{
    const auto mesh = loadText("comments",
                               "# v 5 5 5\n"
                               "v\t0\t0 0 # first\r\n"
                               "v 100\t0\t0\r\n"
                               "\tv 0 100 0#third\n"
                               "f 1 2 3");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(3u, mesh->positions.size());
    EXPECT_EQ(1.0, mesh->positions[1].x);
    EXPECT_EQ(1.0, mesh->positions[2].y);
    EXPECT_EQ(1u, mesh->materials[0]->faceCount()) << "the last line needs no line feed";
}

TEST(ObjReader, ZeroByteEndsTheStatement)
{
    const std::string obj("v 0 0 0\nv 1 0 0\nv 0 1 0\nv 5 5\0 5\nf 1 2 3\n", 41);
    const auto mesh = loadText("nul-in-line", obj);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(3u, mesh->positions.size());
}

TEST(ObjReader, CtrlZEndsTheFile)
{
    EXPECT_FALSE(loadText("ctrl-z", "v 0 0 0\nv 1 0 0\nv 0 1 0\n\x1A\nf 1 2 3\n"));
    EXPECT_TRUE(loadText("ctrl-z-after", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n\x1A garbage"));
}

TEST(ObjReader, MaterialsGatherTheirFacesInFileOrder)
{
    const auto mesh = loadText("materials", std::string(kSquare) +
                                                "f 1 2 3\n"
                                                "usemtl \"red paint\" ignored\n"
                                                "f 1 3 4\n"
                                                "usemtl blue\nf 2 3 4\n"
                                                "usemtl red paint\nf 4 3 2\n"
                                                "usemtl \"red paint\"\nf 4 1 2\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(4u, mesh->materials.size());
    EXPECT_EQ("", mesh->materials[0]->name);
    EXPECT_EQ("red paint", mesh->materials[1]->name);
    EXPECT_EQ("blue", mesh->materials[2]->name);
    EXPECT_EQ("red", mesh->materials[3]->name);
    ASSERT_EQ(2u, mesh->materials[1]->faceCount());
    EXPECT_EQ((std::vector<int>{0, 2, 3}), positionsOf(mesh->materials[1]->face(0)));
    EXPECT_EQ((std::vector<int>{3, 0, 1}), positionsOf(mesh->materials[1]->face(1)));
}

TEST(ObjReader, DefaultMaterialGoesWhenEveryFaceHasAMaterial)
{
    const auto mesh = loadText("no-default", std::string(kSquare) + "usemtl a\nf 1 2 3\nusemtl b\nusemtl c\nf 1 3 4\n");
    ASSERT_TRUE(mesh);
    ASSERT_EQ(2u, mesh->materials.size());
    EXPECT_EQ("a", mesh->materials[0]->name);
    EXPECT_EQ("c", mesh->materials[1]->name);
}

TEST(ObjReader, BadIndicesFailTheLoad)
{
    // Each fails by the strict rules. The second reading counts negative
    // numbers back and takes texture and normal numbers outside their pools
    // as none, but a position outside its pool still fails.
    const struct {
        const char* face;
        bool secondLoads;
    } faces[] = {
        {"f -1 -2 -3\n", true},        {"f 1 2 5\n", false},   {"f 1/2 2/1 3/1\n", true},
        {"f 1//2 2//1 3//1\n", true},  {"f 1/-1 2 3\n", true}, {"f 1//-1 2 3\n", true},
        {"f 1 2 -3\n", true},          {"f 1 2 -5\n", false},  {"f 99999999999999999999 1 2\n", false},
        {"f 1 2 4294967297\n", false}, {"f 1/-3 2 3\n", true},
    };
    for (const auto& face : faces) {
        const std::string obj = std::string(kSquare) + "vt 0 0\nvn 0 0 1\n" + face.face;
        EXPECT_FALSE(loadStrict("bad-index", obj)) << face.face;
        EXPECT_EQ(face.secondLoads, loadText("bad-index", obj) != nullptr) << face.face;
    }
    EXPECT_TRUE(loadText("index-zero", std::string(kSquare) + "f 0 2 3\n")) << "position 0 means the first vertex";
}

TEST(ObjReader, SecondReadingCountsBackAndDropsMissingNumbers)
{
    // -1 is the last vertex of its kind read so far, not the last of the
    // file; texture 7 and normals 9 and -9 do not exist, so the second face has no
    // normal of its own and gets a generated one.
    const auto mesh = loadText("count-back", std::string(kSquare) +
                                                 "vt 0.5 0.5\nvn 0 1 0\nvt 0.1 0.1\n"
                                                 "f -4/-2/-1 -3/-2/-1 -2/-1/-1\n"
                                                 "vn 1 0 0\n"
                                                 "f 1/7/9 -3/-1 -2/-1/-9\n");
    ASSERT_TRUE(mesh);
    const Material& m = *mesh->materials[0];
    ASSERT_EQ(2u, m.faceCount());
    EXPECT_EQ((std::vector<Triple>{{0, 1, 1}, {1, 1, 1}, {2, 2, 1}}), cornersOf(m.face(0)));
    EXPECT_EQ((std::vector<Triple>{{0, 0, 3}, {1, 2, 3}, {2, 2, 3}}), cornersOf(m.face(1)));
    ASSERT_EQ(4u, mesh->normals.size()) << "reserved, two of the file's, one generated";
    EXPECT_EQ(1.0, mesh->normals[3].z);
}

TEST(ObjReader, NothingToDrawFails)
{
    EXPECT_FALSE(loadText("empty", ""));
    EXPECT_FALSE(loadText("no-faces", kSquare));
    EXPECT_FALSE(loadText("two-corners", std::string(kSquare) + "f 1 2\n"));
    EXPECT_FALSE(loadText("faces-only", "f 1 2 3\n"));
}

TEST(ObjReader, UnopenablePathsGiveNothing)
{
    EXPECT_FALSE(load(scratchPath("does-not-exist.obj")));
    EXPECT_FALSE(load(""));
    const std::string tooLong = scratchPath(std::string(250, 'n') + ".obj");
    EXPECT_FALSE(load(tooLong));
}

TEST(ObjReader, FilePathAndDirectory)
{
    const std::string path = writeObj("where", std::string(kSquare) + "f 1 2 3\n");
    const auto mesh = load(path);
    ASSERT_TRUE(mesh);
    std::string full;
    ASSERT_TRUE(rt::fullPath(path.c_str(), full));
    EXPECT_EQ(full, mesh->filePath);
    EXPECT_EQ(full.substr(0, full.size() - std::string("where.obj").size()), mesh->directory);
}

TEST(ObjReader, GeneratedNormalsFollowTheWindingOrder)
{
    const auto mesh = loadText("normals",
                               std::string(kSquare) +
                                   "vn 0 1 0\n"
                                   "f 1 2 3\n"     // counter-clockwise seen from +z
                                   "f 1 3 2\n"     // clockwise
                                   "f 1 1 2\n"     // first corner repeated
                                   "f 1//1 2 3\n"  // names one normal
                                   "f 1 2 3 4\n"); // quad: two faces, two normals
    ASSERT_TRUE(mesh);
    const Material& m = *mesh->materials[0];
    ASSERT_EQ(6u, m.faceCount());
    ASSERT_EQ(2u + 5u, mesh->normals.size());
    const Vec3& ccw = mesh->normals[static_cast<std::size_t>(m.face(0).normalIndex(0))];
    const Vec3& cw = mesh->normals[static_cast<std::size_t>(m.face(1).normalIndex(0))];
    const Vec3& degenerate = mesh->normals[static_cast<std::size_t>(m.face(2).normalIndex(2))];
    EXPECT_EQ(2, m.face(0).normalIndex(0)) << "generated normals come after the file's";
    EXPECT_EQ(2, m.face(0).normalIndex(2));
    EXPECT_EQ(3, m.face(1).normalIndex(1));
    EXPECT_EQ(1.0, ccw.z);
    EXPECT_EQ(-1.0, cw.z);
    EXPECT_EQ(0.0, degenerate.x * degenerate.x + degenerate.y * degenerate.y + degenerate.z * degenerate.z);
    EXPECT_EQ((std::vector<Triple>{{0, 0, 1}, {1, 0, 0}, {2, 0, 0}}), cornersOf(m.face(3)));
    EXPECT_EQ(5, m.face(4).normalIndex(0));
    EXPECT_EQ(6, m.face(5).normalIndex(0));
}

TEST(ObjReader, NormalOfALongPolygonUsesFirstSecondAndLastCorners)
{
    const auto mesh = loadText("polygon-normal", std::string(kSquare) + "v 50 50 100\nf 1 2 5 4\n", false);
    ASSERT_TRUE(mesh);
    const Vec3& n = mesh->normals[static_cast<std::size_t>(mesh->materials[0]->face(0).normalIndex(0))];
    EXPECT_EQ(0.0, n.x);
    EXPECT_EQ(0.0, n.y);
    EXPECT_EQ(1.0, n.z) << "the raised third corner takes no part";
}

TEST(ObjReader, HugeLinesAndFaces)
{
    // A comment of several megabytes, then one face of 100,000 corners.
    std::string obj = "#" + std::string(5 << 20, 'c') + "\n";
    const int n = 100000;
    for (int i = 0; i < n; ++i)
        obj += "v " + std::to_string(std::cos(i * 6.283185307179586 / n)) + " " +
               std::to_string(std::sin(i * 6.283185307179586 / n)) + " 0\n";
    obj += "f";
    for (int i = 1; i <= n; ++i)
        obj += " " + std::to_string(i);
    obj += "\n";
    const auto mesh = loadText("huge-face", obj);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(static_cast<std::size_t>(n - 2), mesh->materials[0]->faceCount());
    EXPECT_EQ(static_cast<std::size_t>(n - 1), mesh->materials[0]->face(n - 3).positionIndex(2));
}

TEST(ObjReader, LongStatementsReadWordByWord)
{
    // A quoted corner sends the face through the word-by-word reading, which
    // must still take every corner; a vertex line of many numbers is skipped.
    std::string obj = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv -1 1 0\nv -1 0 0\n";
    obj += "v";
    for (int i = 0; i < 100000; ++i)
        obj += " 1.5";
    obj += "\nf 1 2 3 4 \"5\" 6\n";
    const auto mesh = loadText("long-statements", obj);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(6u, mesh->positions.size());
    ASSERT_EQ(4u, mesh->materials[0]->faceCount());
    EXPECT_EQ(4, mesh->materials[0]->face(3).positionIndex(1));
    EXPECT_EQ(5, mesh->materials[0]->face(3).positionIndex(2));
}

TEST(ObjReader, ScaleIsAppliedToPositionsOnly)
{
    const auto mesh = load(writeObj("scale", "v 2 4 8\nv 0 0 0\nv 1 1 0\nvn 2 0 0\nf 1//1 2//1 3//1\n"), true, 0.5);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(1.0, mesh->positions[0].x);
    EXPECT_EQ(4.0, mesh->positions[0].z);
    EXPECT_EQ(2.0, mesh->normals[1].x);
}
