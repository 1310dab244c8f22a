// loadObjMesh reads the common statements in a single pass of its own and
// hands every other line to splitStatement. These tests hold it to the
// plainest reading of the same rules, on generated files full of what that
// pass must not take for plain: the two must give the same mesh, to the
// last bit of every number.

#include "tests/mesh/MeshFixtures.h"
#include "tests/support/MeshDifference.h"

#include "camera/Vec3.h"
#include "mesh/LineReader.h"
#include "mesh/MtlReader.h"
#include "mesh/Numbers.h"
#include "mesh/Statement.h"
#include "platform/Runtime.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace {

Vec3 difference(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

// The plainest reading of an OBJ file: readLine on a text-mode stream (on
// Windows the runtime's own translation), splitStatement on every line,
// toDouble and parseCorner on the words; then the library of the same name,
// or else each library the mtllib statements name, through a text-mode
// stream, and the empty materials, the index check and the
// generated normals each in a pass of its own. Null where loadObjMesh must
// give nothing by the same rules.
std::unique_ptr<Mesh> plainReading(const std::string& path, double scale, bool triangulate, ObjRules rules)
{
    const bool tolerant = rules == ObjRules::tolerant;
    std::string full;
    if (!rt::fullPath(path.c_str(), full))
        return nullptr;
    rt::File file(rt::openText(full.c_str()));
    if (!file)
        return nullptr;
    auto mesh = std::make_unique<Mesh>();
    mesh->filePath = full;
    mesh->directory = rt::directoryOf(full);
    mesh->texCoords.push_back(TexCoord{});
    mesh->normals.push_back(Vec3{});
    Material* current = mesh->findOrAddMaterial("");
    std::vector<std::string> named;
    while (char* line = readLine(file.get())) {
        const std::vector<std::string> words = splitStatement(line);
        std::free(line);
        const std::size_t n = words.size();
        if (n == 0)
            continue;
        if (words[0] == "v" && (n == 4 || (tolerant && n >= 5 && n <= 8))) {
            mesh->positions.push_back(
                Vec3{number(words[1]) * scale, number(words[2]) * scale, number(words[3]) * scale});
            if (n == 7) {
                const double c[3] = {number(words[4]), number(words[5]), number(words[6])};
                const auto channel = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
                VertexColor color;
                if (!std::isnan(c[0]) && !std::isnan(c[1]) && !std::isnan(c[2]))
                    color = VertexColor{channel(c[0]), channel(c[1]), channel(c[2])};
                while (mesh->colors.size() + 1 < mesh->positions.size())
                    mesh->colors.push_back(VertexColor{});
                mesh->colors.push_back(color);
            }
        } else if (words[0] == "vt" && (n == 3 || (tolerant && (n == 2 || n == 4)))) {
            mesh->texCoords.push_back(TexCoord{number(words[1]), n == 2 ? 0.0 : number(words[2])});
        } else if (words[0] == "vn" && n == 4) {
            mesh->normals.push_back(Vec3{number(words[1]), number(words[2]), number(words[3])});
        } else if (words[0] == "f" && n >= 4) {
            std::vector<Corner> corners;
            for (std::size_t i = 1; i < n; ++i) {
                const CornerIndices c = parseCorner(words[i]);
                corners.push_back(Corner{c.position, c.texCoord, c.normal});
            }
            // Counted back from the pools' sizes so far; before the first
            // entry stays negative.
            const auto back = [](std::int32_t number, std::size_t size) {
                const long long index = static_cast<long long>(size) + number;
                return number >= 0 ? number : index >= 0 ? static_cast<std::int32_t>(index) : -1;
            };
            for (Corner& c : corners) {
                if (!tolerant)
                    break;
                c = Corner{back(c.position, mesh->positions.size()), back(c.texCoord, mesh->texCoords.size()),
                           back(c.normal, mesh->normals.size())};
            }
            if (!triangulate)
                current->addFace(corners.data(), static_cast<int>(corners.size()));
            for (std::size_t i = 1; triangulate && i + 1 < corners.size(); ++i) {
                const Corner triangle[3] = {corners[0], corners[i], corners[i + 1]};
                current->addFace(triangle, 3);
            }
        } else if (words[0] == "usemtl" && n >= 2) {
            current = mesh->findOrAddMaterial(words[1]);
        } else if (words[0] == "mtllib") {
            named.insert(named.end(), words.begin() + 1, words.end());
        }
    }
    const std::string libraryPath = mtlLibraryPath(full);
    rt::File library(libraryPath.empty() ? nullptr : rt::openText(libraryPath.c_str()));
    if (library) {
        readMtlLibrary(library.get(), *mesh);
    } else {
        for (std::size_t i = 0; i < named.size(); ++i) {
            if (std::find(named.begin(), named.begin() + i, named[i]) != named.begin() + i)
                continue; // read at its first naming
            library.reset(rt::openText((mesh->directory + named[i]).c_str()));
            if (library)
                readMtlLibrary(library.get(), *mesh);
        }
    }
    mesh->removeEmptyMaterials();

    const auto inside = [](std::int32_t index, std::size_t size) {
        return index >= 0 && static_cast<std::size_t>(index) < size;
    };
    while (!mesh->colors.empty() && mesh->colors.size() < mesh->positions.size())
        mesh->colors.push_back(VertexColor{});
    for (const auto& material : mesh->materials) {
        for (std::size_t i = 0; i < material->corners.size(); ++i) {
            Corner& c = material->corners[i];
            if (tolerant) {
                c.texCoord = inside(c.texCoord, mesh->texCoords.size()) ? c.texCoord : 0;
                c.normal = inside(c.normal, mesh->normals.size()) ? c.normal : 0;
            }
            if (!inside(c.position, mesh->positions.size()) || !inside(c.texCoord, mesh->texCoords.size()) ||
                !inside(c.normal, mesh->normals.size()))
                return nullptr;
        }
    }
    for (const auto& material : mesh->materials) {
        for (std::size_t f = 0; f < material->faceCount(); ++f) {
            const Face face = material->face(f);
            bool named = false;
            for (int j = 0; j < face.cornerCount; ++j)
                named = named || face.normalIndex(j) != 0;
            if (named)
                continue;
            const Vec3& p0 = mesh->positions[static_cast<std::size_t>(face.positionIndex(0))];
            Vec3 e1 = difference(mesh->positions[static_cast<std::size_t>(face.positionIndex(1))], p0);
            Vec3 e2 =
                difference(mesh->positions[static_cast<std::size_t>(face.positionIndex(face.cornerCount - 1))], p0);
            normalize(e1);
            normalize(e2);
            Vec3 normal = cross(e1, e2);
            const std::int32_t next = static_cast<std::int32_t>(mesh->normals.size());
            mesh->normals.push_back(normalize(normal));
            for (int j = 0; j < face.cornerCount; ++j)
                material->corners[face.first + static_cast<std::uint32_t>(j)].normal = next;
        }
    }
    if (mesh->positions.empty() || mesh->materials.empty())
        return nullptr;
    return mesh;
}

// Both null, or the same pools, materials and faces, bit for bit.
::testing::AssertionResult sameMesh(const Mesh* expected, const Mesh* actual)
{
    const std::string difference = meshDifference(expected, actual);
    if (difference.empty())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << difference;
}

// OBJ text built from a seeded generator: mostly plain statements, and
// among them the numbers, corners, words and line ends that a fast reading
// could get wrong.
class RandomObj {
public:
    // A sound file has no index outside its pools and no Ctrl-Z, so that
    // it loads; of the others, two in five have a bad index now and then.
    RandomObj(std::uint32_t seed, bool sound) : random(seed), sound(sound), badIndices(!sound && chance(40)) {}

    // lines random lines, and longLines lines longer than a block among them.
    std::string file(int lines, int longLines)
    {
        // Enough plain vertices first that most faces can load.
        lineEnd = chance(50) ? "\n" : chance(70) ? "\r\n" : "";
        std::string text;
        for (int i = 0; i < kVertices; ++i) {
            text += "v " + plainNumber() + " " + plainNumber() + " " + plainNumber() + end();
            text += "vt " + plainNumber() + " " + plainNumber() + end();
            text += "vn " + plainNumber() + " " + plainNumber() + " " + plainNumber() + end();
        }
        for (int i = 0; i < lines; ++i) {
            text += line() + end();
            if (longLines > 0 && below(static_cast<std::size_t>(lines - i)) < static_cast<std::size_t>(longLines)) {
                text += longLine() + end();
                --longLines;
            }
        }
        if (!sound && chance(5))
            text.insert(below(text.size() + 1), "\x1A");
        if (chance(30))
            text += line(); // no line feed after the last line
        return text;
    }

    std::string library()
    {
        lineEnd = chance(50) ? "\n" : "\r\n";
        return "newmtl a" + end() + "Kd " + number() + " " + number() + " " + number() + end() + "Ns " + number() +
               end() + "newmtl \"c d\"" + end() + "Ka 0.5 0.25 1e-3 # ambient" + end() + "map_Kd \"tex ture.tga\"" +
               end() + "newmtl A\tx" + end() + "Ks 1 2 3" + end() + "Kd 1 2" + end() + "newmtl b" + end() + "Ks " +
               number() + " " + number() + " " + number();
    }

private:
    static constexpr int kVertices = 40;

    std::size_t below(std::size_t n) { return random() % n; }
    bool chance(int percent) { return below(100) < static_cast<std::size_t>(percent); }

    template <std::size_t N>
    std::string pick(const char* const (&choices)[N])
    {
        return choices[below(N)];
    }

    // The file's line end, or now and then another.
    std::string end()
    {
        if (!lineEnd.empty() && !chance(3))
            return lineEnd;
        const char* const ends[] = {"\n", "\r\n", "\r\r\n", "\n\r", "\r\n\r\n", " \n", "\t\r\n"};
        return pick(ends);
    }

    std::string blank()
    {
        const char* const blanks[] = {" ", " ", " ", " ", "\t", "  ", " \t "};
        return pick(blanks);
    }

    std::string plainNumber()
    {
        const double magnitude = chance(70) ? 1000.0 : chance(50) ? 1.0 : 1e8;
        const double value = (static_cast<double>(random()) / 4294967296.0 * 2.0 - 1.0) * magnitude;
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", static_cast<int>(below(10)), value);
        return text;
    }

    std::string number()
    {
        if (chance(70))
            return plainNumber();
        // clang-format off
        const char* const odd[] = {
            "1e3", "-2.5E-2", "1.5e+2", "7e-400", "1e400", "-1e309", "4.9e-324", "1e-320", "inf", "-inf",
            "INF", "infinity", "nan", "-nan", "NaN", "0x1p3", "0X1.8p1", "-0x10", "0x", "0x.8",
            "12345678901234567890", "0.1234567890123456789", "1234567890.5", "123456789.123456",
            "1234567.123456789", "123456789.1234567", "12345678.1234567", "123456789.123456789",
            "000000000000001.5", "0000000000.5", "9007199254740993", "0.000000000000000000001", "1.0abc", "2.5/3",
            "-", "+", ".", "-.", "+.5", "5.", ".5", "-.5", "-0", "+0", "-0.0", "00012.5000", "1\"5", "3,5",
            "1.2.3", "--1", "+-1", "1e", "1e+", "1.5e", "12", "-7", "0", "999999999", "-999999999.999999999",
            "4294967296.5", "-3000000000", "9876543210.25", "0.4294967297",
            "1\r", "\r1",
        };
        // clang-format on
        return pick(odd);
    }

    std::string index()
    {
        const std::size_t kind = below(1000);
        if (kind < 975)
            return std::to_string(1 + below(badIndices ? kVertices + 2 : kVertices)); // maybe one too far
        if (kind < 999 || !badIndices) {
            const char* const odd[] = {"0", "+2",  "007", "00000000000000000003", "", "x", "2x", "1e2", "-0",
                                       "+", "2\r", "3\"", "-0000000000000"};
            return pick(odd);
        }
        const char* const bad[] = {"-1",       "99999999999", "1234567890", "123456789",
                                   "12345678", "2147483648",  "4294967297"};
        return pick(bad);
    }

    std::string corner()
    {
        switch (below(10)) {
        case 0:
            return index();
        case 1:
            return index() + "/" + index();
        case 2:
            return index() + "//" + index();
        case 3:
            return chance(90) ? index() + "/" + index() + "/" + index() + "/" + index() : "/" + index() + "/";
        default:
            return index() + "/" + index() + "/" + index();
        }
    }

    std::string words(std::string keyword, int count, bool corners)
    {
        std::string text = chance(10) ? blank() + keyword : keyword;
        for (int i = 0; i < count; ++i)
            text += blank() + (corners ? corner() : number());
        if (chance(10))
            text += blank();
        if (chance(10))
            text += chance(50) ? "# comment 1 2 3" : "#";
        return text;
    }

    std::string line()
    {
        const std::size_t kind = below(100);
        if (kind < 22)
            return words("v", chance(90) ? 3 : static_cast<int>(below(9)), false);
        if (kind < 32)
            return words("vt", chance(90) ? 2 : static_cast<int>(below(5)), false);
        if (kind < 42)
            return words("vn", chance(90) ? 3 : static_cast<int>(below(6)), false);
        if (kind < 75)
            return words("f", chance(90) ? 3 + static_cast<int>(below(4)) : static_cast<int>(below(40)), true);
        if (kind < 80) {
            const char* const names[] = {"a", "b", "\"c d\"", "a b", "A", "\"\"", "\"a\"", "c d", "b#x"};
            return "usemtl" + blank() + pick(names);
        }
        const char* const others[] = {
            "# v 1 2 3",
            "",
            "   ",
            "\t",
            "g group",
            "o object",
            "s 1",
            "s off",
            "mtllib x.mtl",
            "mtllib \"x y.mtl\"\tx.mtl",
            "vp 1 2",
            "V 1 2 3",
            "\"v\" 1 2 3",
            "\"f\" 1 2 3",
            "v#",
            "vt#1 2",
            "f#1 2 3",
            "\rv 1 2 3",
            "v\t1\t2\t3",
            "v 1 2 3 \"4\"",
            "v 1 2 \"3\"",
            "v \"1 2\" 3 4",
            "f 1 2 \"3\"",
            "f \"1 2\" 3 4",
            "usemtl",
            "usemtl a b c",
            "l 1 2",
            "p 1",
            "v 1 2 3 4 # weight",
            "vn 1 2 3\r",
            "f 1 2 3\r",
            "f 1 2 3 \r",
            "v\v1 2 3",
            "v 1 2 3\f",
            "f\t1\t2\t3\t",
            "vt 1 2 3",
            "vn 0 0",
            "f 1",
            "f",
            "v",
            "vt",
            "vn",
            "usemtl\tb",
        };
        if (chance(10)) {
            // A zero byte ends the statement wherever it falls.
            const bool face = chance(50);
            std::string text = words(face ? "f" : "v", 3 + static_cast<int>(below(2)), face);
            text.insert(below(text.size() + 1), 1, '\0');
            return text;
        }
        return pick(others);
    }

    // Longer than the line reader's blocks: a comment, a vertex spread by
    // blanks, a face of many corners.
    std::string longLine()
    {
        const std::size_t length = (std::size_t{1} << 17) + below(std::size_t{1} << 18);
        switch (below(3)) {
        case 0:
            return "#" + std::string(length, 'c');
        case 1:
            return "v" + std::string(length, ' ') + "1.5 2.5" + std::string(length / 3, '\t') + "3.5";
        default: {
            std::string face = "f";
            while (face.size() < length)
                face += " " + corner();
            return face;
        }
        }
    }

    std::mt19937 random;
    bool sound;
    bool badIndices;
    std::string lineEnd;
};

struct Tally {
    int loaded = 0;   // by the strict rules
    int failed = 0;   // by the strict rules
    int tolerant = 0; // of those failed, loaded by the tolerant rules
};

// Loads path both ways, triangulated at the viewer's scale and as written
// at another, and expects the same outcome: by the strict rules, and by the
// strict rules and then, when they give nothing, the tolerant ones.
void expectAgreement(const std::string& path, Tally& tally)
{
    const struct {
        bool triangulate;
        double scale;
    } ways[] = {{true, kLoadScale}, {false, 2.5}};
    for (const auto& way : ways) {
        const char* const how = way.triangulate ? ", triangulated" : ", as written";
        std::unique_ptr<Mesh> expected = plainReading(path, way.scale, way.triangulate, ObjRules::strict);
        const std::unique_ptr<Mesh> strict(loadObjMesh(path.c_str(), way.scale, way.triangulate, ObjRules::strict));
        EXPECT_TRUE(sameMesh(expected.get(), strict.get())) << path << how << ", strict rules";
        ++(expected ? tally.loaded : tally.failed);
        if (!expected) {
            expected = plainReading(path, way.scale, way.triangulate, ObjRules::tolerant);
            tally.tolerant += expected ? 1 : 0;
        }
        const std::unique_ptr<Mesh> actual(loadObjMesh(path.c_str(), way.scale, way.triangulate));
        EXPECT_TRUE(sameMesh(expected.get(), actual.get())) << path << how;
    }
}

} // namespace

TEST(ObjReaderAgreement, SmallFilesReadAsThePlainReadingReadsThem)
{
    Tally tally;
    {
        // The libraries that the files' mtllib statements name, for the
        // files without a library of their own name.
        RandomObj random(7, false);
        ASSERT_TRUE(writeFile(scratchPath("x.mtl"), random.library()));
        ASSERT_TRUE(writeFile(scratchPath("x y.mtl"), "newmtl a\nKd 0.5 0.5 0.5\nnewmtl b\nmap_Kd b.tga\n"));
    }
    for (std::uint32_t seed = 1; seed <= 150; ++seed) {
        RandomObj random(seed, false);
        const std::string obj = random.file(120, seed % 10 == 0 ? 1 : 0);
        const std::string mtl = random.library();
        const std::string path = writeObj("agreement-" + std::to_string(seed), obj, seed % 2 ? &mtl : nullptr);
        expectAgreement(path, tally);
        if (HasFailure())
            break; // the file stays in the scratch folder
    }
    // Not a vacuous agreement: most files make a mesh, and some make none;
    // the tolerant rules open some of those.
    EXPECT_GT(tally.loaded, 150);
    EXPECT_GT(tally.failed, 10);
    EXPECT_GT(tally.tolerant, 5);
}

TEST(ObjReaderAgreement, LargeFilesAcrossManyBlocks)
{
    // Megabytes of statements, so that block edges fall inside every kind
    // of line, and lines longer than a block.
    Tally tally;
    for (std::uint32_t seed = 1001; seed <= 1004; ++seed) {
        RandomObj random(seed, true);
        const std::string obj = random.file(60000, 3);
        ASSERT_GT(obj.size(), std::size_t{1} << 20);
        const std::string path = writeObj("agreement-large-" + std::to_string(seed), obj);
        expectAgreement(path, tally);
    }
    EXPECT_EQ(8, tally.loaded) << "sound files all load";
}

namespace {

// The OBJ files below folder, sorted.
std::vector<std::string> objFilesBelow(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code error;
    for (std::filesystem::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        const std::string path = it->path().string();
        if (it->is_regular_file() && path.size() > 4 && rt::compareNoCase(path.c_str() + path.size() - 4, ".obj") == 0)
            files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// Reads path on this thread alone and split into small parts across 1, 2,
// 3 and 7 threads, by the strict rules and by both in turn, triangulated and
// as written: every split must give the same mesh. Returns how many
// readings made a mesh.
int expectSplitAgreement(const std::string& path)
{
    // Parts of a few lines, and not more than a few dozen of them.
    std::error_code error;
    const std::size_t bytes = static_cast<std::size_t>(std::filesystem::file_size(path, error));
    const std::size_t small = std::max<std::size_t>(61, error ? 0 : bytes / 30);
    int loaded = 0;
    for (const bool triangulate : {true, false}) {
        for (const std::optional<ObjRules> rules :
             {std::optional<ObjRules>(ObjRules::strict), std::optional<ObjRules>(),
              std::optional<ObjRules>(ObjRules::tolerant)}) {
            const std::unique_ptr<Mesh> whole(
                loadObjMesh(path.c_str(), kLoadScale, triangulate, ObjSplit{1, 0}, rules));
            loaded += whole ? 1 : 0;
            std::vector<ObjSplit> splits{ObjSplit{1, small + 36}, ObjSplit{2, small}, ObjSplit{7, small * 5}};
            // In a small file, parts of a byte or a few: boundaries between a
            // CR and its LF, beside a Ctrl-Z, inside every line.
            if (bytes < 1000)
                splits.push_back(ObjSplit{2, 1});
            if (bytes < 8000)
                splits.push_back(ObjSplit{3, 7});
            for (const ObjSplit split : splits) {
                const std::unique_ptr<Mesh> parts(loadObjMesh(path.c_str(), kLoadScale, triangulate, split, rules));
                EXPECT_TRUE(sameMesh(whole.get(), parts.get()))
                    << path << (triangulate ? ", triangulated" : ", as written") << ", rules "
                    << (rules ? static_cast<int>(*rules) : -1) << ", " << split.threads << " threads, parts of "
                    << split.partBytes << " bytes";
            }
        }
    }
    return loaded;
}

// Shapes that strain a reader: a face of many corners, long comment and
// number lines, runs of material-use statements with and without faces,
// text-mode line ends and a Ctrl-Z before more faces.
std::vector<std::string> hostileShapes()
{
    std::string corners = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf";
    for (int i = 0; i < 5000; ++i)
        corners += " " + std::to_string(i % 3 + 1);
    corners += "\n";
    const std::string triangle = "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    std::string comment = "#" + std::string(20000, 'x') + "\n" + triangle;
    std::string numbers = "v";
    for (int i = 0; i < 4000; ++i)
        numbers += " 1.5";
    numbers += "\n" + triangle;
    std::string usemtl = triangle;
    std::string usemtlFaces = "v 0 0 0\nv 1 0 0\nv 0 1 0\n";
    std::string materials = usemtlFaces;
    for (int i = 0; i < 3000; ++i) {
        usemtl += i % 2 ? "usemtl b\n" : "usemtl a\n";
        usemtlFaces += (i % 2 ? "usemtl b\n" : "usemtl a\n") + std::string("f 1 2 3\n");
        materials += "usemtl m" + std::to_string(i) + "\nf -3 -2 -1\n";
    }
    usemtl += "f 1 2 3\n";
    // Text mode: a Ctrl-Z ends the file, whatever follows; CR LF is LF, a
    // lone CR stays, also at the end.
    std::string crlf = "v 0 0 0\r\nv 1 0 0\r\nv 0 1 0\r\n";
    for (int i = 0; i < 200; ++i)
        crlf += i % 7 ? "f 1 2 3\r\n" : "f 1 2 3\r\r\n";
    const std::string ctrlZ = crlf + "\x1A" + crlf + triangle + "\r";
    return {corners, comment, numbers, usemtl, usemtlFaces, materials, crlf + "v 2 2 2\r", ctrlZ};
}

} // namespace

TEST(ObjReaderAgreement, SplitReadingsGiveTheSameMesh)
{
    std::vector<std::string> files = objFilesBelow(dataPath(""));
    if (!sharedDataMissing()) {
        const std::vector<std::string> shared = objFilesBelow(sharedDataPath("obj"));
        files.insert(files.end(), shared.begin(), shared.end());
    }
    const std::vector<std::string> shapes = hostileShapes();
    for (std::size_t i = 0; i < shapes.size(); ++i)
        files.push_back(writeObj("split-hostile-" + std::to_string(i), shapes[i]));
    for (std::uint32_t seed = 1; seed <= 24; ++seed) {
        RandomObj random(seed, seed % 4 == 0);
        const std::string mtl = random.library();
        files.push_back(writeObj("split-" + std::to_string(seed), random.file(400, seed % 5 == 0 ? 1 : 0),
                                 seed % 2 ? &mtl : nullptr));
    }
    int loaded = 0;
    for (const std::string& path : files) {
        loaded += expectSplitAgreement(path);
        if (HasFailure())
            break;
    }
    EXPECT_GT(loaded, static_cast<int>(files.size()));
}
