// The mesh drawn in batches from client arrays before its display lists are
// recorded, and from the lists after, shows exactly the pixels of the mesh
// drawn triangle by triangle, each in its own glBegin/glEnd pair: textured
// and untextured materials, polygons split into fans, generated normals,
// overlapping materials, vertex colours, near-plane clipping, plain and
// anaglyph frames.
// The lists follow the mesh that is open, however fast meshes are opened, and leave texture lookups as they
// were: a texture file that failed is not read again until the next mesh.

#include "tests/app/ViewerFixture.h"

#include "mesh/Mesh.h"

#include <cmath>
#include <cstdio>
#include <functional>
#include <set>
#include <string>

namespace {

// The viewer, which can also paint its frames the reference way.
class ReferenceViewer : public ViewerWindow {
public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAINT && eachTriangle) {
            paintFrame(static_cast<MeshPainter>(&ReferenceViewer::drawEachTriangle));
            return 0;
        }
        return ViewerWindow::windowProc(message, wParam, lParam);
    }

    // Paint with drawMeshImmediate rather than drawMesh.
    bool eachTriangle = false;
    // How often the mesh was sent that way.
    int referencePasses = 0;

private:
    void drawEachTriangle()
    {
        ++referencePasses;
        drawMeshImmediate();
    }
};

// A waved grid of cells x cells across most of the view, with normals and
// texture coordinates per vertex (repeating three times across), in four
// materials that change in bands so that each has faces all over the grid;
// some cells are quads, some have no normals (flat ones are generated), some
// no texture coordinates. An overlay material draws a patch again on the
// very same vertices later in the file: at equal depth the later wins, so
// the order of the materials shows in the picture. shift moves the whole
// grid sideways (file units).
std::string gridObj(int cells, double shift = 0.0)
{
    std::string obj;
    char line[160];
    const int n = cells + 1;
    auto index = [n](int i, int j) { return j * n + i + 1; };
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const double x = -110.0 + 220.0 * i / cells + shift;
            const double y = -110.0 + 220.0 * j / cells;
            std::snprintf(line, sizeof line, "v %.4f %.4f %.4f\n", x, y,
                          15.0 * std::sin(x / 20.0) * std::cos(y / 25.0));
            obj += line;
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "vt %.5f %.5f\n", 3.0 * i / cells, 2.0 * j / cells);
            obj += line;
        }
    }
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            const double x = -110.0 + 220.0 * i / cells + shift;
            const double y = -110.0 + 220.0 * j / cells;
            // The surface's gradient gives its normal.
            const double dx = 15.0 / 20.0 * std::cos(x / 20.0) * std::cos(y / 25.0);
            const double dy = -15.0 / 25.0 * std::sin(x / 20.0) * std::sin(y / 25.0);
            std::snprintf(line, sizeof line, "vn %.5f %.5f 1\n", -dx, -dy);
            obj += line;
        }
    }
    static const char* const kMaterials[4] = {"checker", "alpha", "plain", "missing"};
    const char* current = "";
    for (int j = 0; j < cells; ++j) {
        for (int i = 0; i < cells; ++i) {
            // Mostly the checker, so that one material has tens of thousands
            // of triangles.
            const int band = (i / 7 + j / 11) % 8;
            const char* material = kMaterials[band < 4 ? 0 : band - 4];
            if (std::string(material) != current) {
                obj += std::string("usemtl ") + material + "\n";
                current = material;
            }
            const int a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            if ((i + j) % 13 == 0) {
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b, c, c, c,
                              d, d, d);
            } else if ((i * 7 + j) % 17 == 0) {
                std::snprintf(line, sizeof line, "f %d/%d %d/%d %d/%d\nf %d/%d %d/%d %d/%d\n", a, a, b, b, c, c, a, a,
                              c, c, d, d);
            } else if ((i + 3 * j) % 19 == 0) {
                std::snprintf(line, sizeof line, "f %d//%d %d//%d %d//%d\nf %d//%d %d//%d %d//%d\n", a, a, b, b, c, c,
                              a, a, c, c, d, d);
            } else {
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a,
                              a, b, b, b, c, c, c, a, a, a, c, c, c, d, d, d);
            }
            obj += line;
        }
    }
    obj += "usemtl overlay\n";
    for (int j = cells / 3; j < cells / 2; ++j) {
        for (int i = cells / 4; i < cells * 3 / 4; ++i) {
            const int a = index(i, j), b = index(i + 1, j), c = index(i + 1, j + 1), d = index(i, j + 1);
            std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\nf %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b,
                          b, b, c, c, c, a, a, a, c, c, c, d, d, d);
            obj += line;
        }
    }
    return obj;
}

const char* const kGridMtl =
    "newmtl checker\nKd 1 1 1\nKa 0.3 0.3 0.3\nKs 0.5 0.5 0.5\nNs 40\nmap_Kd checker.tga\n"
    "newmtl alpha\nKd 0.9 0.6 0.3\nKa 0.2 0.1 0\nKs 0.2 0.2 0.2\nNs 5\nmap_Kd Stripes.TGA\n"
    "newmtl plain\nKd 0.2 0.7 0.4\nKs 1 1 1\nNs 200\n"
    "newmtl missing\nKd 0.7 0.2 0.9\nmap_Kd not-there.tga\n"
    "newmtl overlay\nKd 0.9 0.9 0.2\nKs 0.3 0.3 0.3\nNs 90\nmap_Kd stripes.tga\n";

void writeGridTextures()
{
    // An 8 x 8 checker board of two colours, 24 bits.
    writeFile(scratchPath("checker.tga"), tgaFile(8, 8, 3, [](int x, int y, int c) {
                  static const int dark[3] = {40, 120, 200};
                  static const int light[3] = {230, 210, 90};
                  return (x + y) % 2 ? dark[c] : light[c];
              }));
    // 4 x 2 stripes with alpha, 32 bits.
    writeFile(scratchPath("stripes.tga"),
              tgaFile(4, 2, 4, [](int x, int y, int c) { return c == 3 ? 128 : 60 * x + 40 * y + 50 * c; }));
}

// Where two frames differ, as a message; empty when every pixel is the same.
std::string difference(const Frame& a, const Frame& b)
{
    if (a.width != b.width || a.height != b.height)
        return "the frames differ in size";
    int count = 0;
    int firstX = -1, firstY = -1;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const Rgb p = a.at(x, y), q = b.at(x, y);
            if (p.r != q.r || p.g != q.g || p.b != q.b) {
                if (count++ == 0) {
                    firstX = x;
                    firstY = y;
                }
            }
        }
    }
    if (count == 0)
        return std::string();
    const Rgb p = a.at(firstX, firstY), q = b.at(firstX, firstY);
    char text[200];
    std::snprintf(text, sizeof text, "%d pixels differ, the first at (%d, %d): %d %d %d against %d %d %d", count,
                  firstX, firstY, p.r, p.g, p.b, q.r, q.g, q.b);
    return text;
}

int distinctColours(const Frame& frame)
{
    std::set<int> colours;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const Rgb c = frame.at(x, y);
            colours.insert(c.r << 16 | c.g << 8 | c.b);
        }
    return static_cast<int>(colours.size());
}

class FastDrawingTest : public ::testing::Test {
protected:
    void createViewer(const std::string& meshPath)
    {
        viewer.startMesh = ViewerWindow::StartMesh::FromPath;
        viewer.startMeshPath = meshPath;
        viewer.createMainWindow(512, 512);
        ASSERT_TRUE(viewer.hwnd);
        ASSERT_TRUE(viewer.context.renderingContext) << "no rendering context";
        ASSERT_TRUE(viewer.mesh) << meshPath;
    }

    void TearDown() override
    {
        if (viewer.hwnd)
            DestroyWindow(viewer.hwnd);
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {}
    }

    void dropLists()
    {
        viewer.context.makeCurrent(nullptr);
        viewer.meshLists.release();
        viewer.context.releaseCurrent();
    }

    // A frame painted through WM_PAINT, read back from the screen.
    Frame frame(bool anaglyph, bool eachTriangle = false)
    {
        viewer.anaglyphMode = anaglyph;
        viewer.eachTriangle = eachTriangle;
        const int passes = viewer.referencePasses;
        viewer.redraw();
        viewer.eachTriangle = false;
        EXPECT_EQ(eachTriangle ? (anaglyph ? 2 : 1) : 0, viewer.referencePasses - passes)
            << "mesh sent triangle by triangle";
        return readFrame(viewer);
    }

    // The mesh on show from the start view, turned so that back faces and
    // grazing light show, then close up, where the near plane cuts
    // triangles: plain and anaglyph frames drawn triangle by triangle, in
    // batches and from lists are the same.
    void expectEveryWayToDrawTheSamePixels()
    {
        for (int view = 0; view < 3; ++view) {
            if (view == 1) {
                SendMessageA(viewer.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
                SendMessageA(viewer.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(260, 235));
                SendMessageA(viewer.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(260, 235));
            } else if (view == 2) {
                for (int notch = 0; notch < 14; ++notch)
                    SendMessageA(viewer.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
            }
            for (bool anaglyph : {false, true}) {
                SCOPED_TRACE(std::string(anaglyph ? "anaglyph" : "plain") + " frame, view " + std::to_string(view));
                const Frame reference = frame(anaglyph, true);
                EXPECT_GT(distinctColours(reference), 200) << "too plain a picture to compare";
                // As after opening: a frame in batches, then the lists recorded
                // once it is shown, and the frames after it from them.
                dropLists();
                EXPECT_EQ("", difference(reference, frame(anaglyph))) << "drawn in batches";
                ASSERT_FALSE(viewer.meshLists.ready()) << "lists recorded inside the frame";
                ASSERT_TRUE(pumpUntil([&] { return viewer.meshLists.ready(); })) << "lists never recorded";
                EXPECT_EQ("", difference(reference, frame(anaglyph))) << "drawn from display lists";
            }
        }
    }

    ReferenceViewer viewer;
};

} // namespace

TEST_F(FastDrawingTest, ListsDrawEveryPixelAsEachTriangleInItsOwnPairDoes)
{
    writeGridTextures();
    createViewer(writeMesh("fast-grid", gridObj(160), kGridMtl));
    std::size_t triangles = 0;
    for (const auto& material : viewer.mesh->materials)
        triangles += material->faceCount();
    ASSERT_GT(triangles, 50000u);
    expectEveryWayToDrawTheSamePixels();
    // Both textures read, the missing one asked for and refused.
    ASSERT_EQ(3u, viewer.textures.entries.size());
    EXPECT_FALSE(viewer.textures.entries[2]->valid);
}

TEST_F(FastDrawingTest, VertexColoursAreDrawnAlikeEveryWay)
{
    writeGridTextures();
    const std::string path = writeMesh("fast-coloured", gridObj(100), kGridMtl);
    createViewer(path);
    const Frame plain = frame(false);
    // Colours that change from vertex to vertex, some of them white.
    colourVertices(viewer, [](std::size_t i) {
        if (i % 7 == 0)
            return VertexColor{};
        return VertexColor{static_cast<float>(i % 5) / 4, static_cast<float>(i % 3) / 2,
                           static_cast<float>(i % 11) / 10};
    });
    EXPECT_NE("", difference(plain, frame(false, true))) << "the colours do not show";
    expectEveryWayToDrawTheSamePixels();

    // Opened again, without colours: drawn as the materials say.
    viewer.openMesh(path.c_str());
    EXPECT_EQ("", difference(plain, frame(false)));
    EXPECT_EQ("", difference(plain, frame(false, true)));
}

TEST_F(FastDrawingTest, OpeningAnotherMeshDrawsThatMeshNotTheListsOfTheLastOne)
{
    writeGridTextures();
    const std::string first = writeMesh("fast-first", gridObj(40), kGridMtl);
    // As many triangles in as many materials, moved and coloured otherwise.
    std::string otherMtl = kGridMtl;
    otherMtl.replace(otherMtl.find("Kd 0.2 0.7 0.4"), 14, "Kd 0.9 0.1 0.1");
    const std::string second = writeMesh("fast-second", gridObj(40, 60.0), otherMtl);

    createViewer(first);
    const Frame before = frame(false);
    ASSERT_TRUE(pumpUntil([&] { return viewer.meshLists.ready(); }));
    viewer.openMesh(second.c_str());
    const Frame after = frame(false);
    ASSERT_TRUE(pumpUntil([&] { return viewer.meshLists.ready(); }));
    EXPECT_NE("", difference(before, after)) << "the second mesh must look different to tell them apart";
    EXPECT_EQ("", difference(frame(false, true), after));
    EXPECT_EQ("", difference(after, frame(false)));

    // Opened in turns faster than their lists are recorded (each open paints
    // and asks for the lists, and none of those requests has run yet): the
    // last file is shown, from lists of its own, and no others are kept.
    for (int i = 0; i < 6; ++i)
        viewer.openMesh((i % 2 ? second : first).c_str());
    ASSERT_FALSE(viewer.meshLists.ready());
    EXPECT_EQ("", difference(after, readFrame(viewer)));
    ASSERT_TRUE(pumpUntil([&] { return viewer.meshLists.ready(); }));
    EXPECT_EQ("", difference(after, frame(false)));
    EXPECT_EQ(static_cast<int>(viewer.mesh->materials.size()), liveNames(viewer, glIsList, 1000));

    // Back to the first file: its picture again.
    viewer.openMesh(first.c_str());
    EXPECT_EQ("", difference(before, frame(false)));
}

TEST_F(FastDrawingTest, AMissingTextureIsDrawnUntexturedAndNotReadAgainUntilTheNextMesh)
{
    // One textured square, and its twin without a texture.
    const std::string obj =
        "v -50 -50 0\nv 50 -50 0\nv 50 50 0\nv -50 50 0\n"
        "vt 0 1\nvt 1 1\nvt 1 0\nvt 0 0\n"
        "usemtl wood\nf 1/1 2/2 3/3 4/4\n";
    const std::string untextured = writeMesh("late-untextured", obj, "newmtl wood\nKd 1 1 1\n");
    const std::string texturePath = scratchPath("late.tga"); // removed: not there yet
    const std::string textured = writeMesh("late-textured", obj, "newmtl wood\nKd 1 1 1\nmap_Kd late.tga\n");

    createViewer(untextured);
    const Frame plain = frame(false);
    viewer.openMesh(textured.c_str());
    EXPECT_EQ("", difference(plain, frame(false))) << "drawn as if it had no texture";
    ASSERT_EQ(1u, viewer.textures.entries.size());
    EXPECT_FALSE(viewer.textures.entries[0]->valid);

    // The file appears: the frames of this mesh still do without it.
    ASSERT_TRUE(writeFile(texturePath, tgaFile(2, 2, 3, [](int, int, int c) { return c == 2 ? 255 : 0; })));
    EXPECT_EQ("", difference(plain, frame(false)));
    frame(true); // two more lookups
    EXPECT_EQ("", difference(plain, frame(false)));
    EXPECT_EQ(1u, viewer.textures.entries.size());
    EXPECT_FALSE(viewer.textures.entries[0]->valid);

    // Opened again, the mesh reads it: red.
    viewer.openMesh(textured.c_str());
    const Rgb centre = frame(false).at(256, 256);
    EXPECT_TRUE(centre.r > 150 && centre.g < 40 && centre.b < 40) << centre.r << " " << centre.g << " " << centre.b;
    ASSERT_EQ(1u, viewer.textures.entries.size());
    EXPECT_TRUE(viewer.textures.entries[0]->valid);
}
