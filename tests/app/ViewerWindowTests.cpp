// What the viewer shows and how it answers the mouse, read back from a real
// window.

#include "tests/app/ViewerFixture.h"

#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <shlobj.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

namespace {

// A square of side 100 (1 after the load scale) in the plane z = z0, facing
// the viewer, with one material.
std::string square(double z0 = 0.0)
{
    const std::string z = std::to_string(z0 * 100);
    return "v -50 -50 " + z + "\nv 50 -50 " + z + "\nv 50 50 " + z + "\nv -50 50 " + z + "\nusemtl grey\nf 1 2 3 4\n";
}

std::string squareMtl(const char* material = "Kd 0.5 0.5 0.5")
{
    return std::string("newmtl grey\n") + material + "\n";
}

// One channel of a lit vertex with OpenGL's default material ambient (0.2),
// global ambient (0.2) and the viewer's light (ambient 0.2, diffuse 1), no
// specular colour: emission + ambient + diffuse.
int litChannel(double kd, double ka, double nDotL)
{
    const double value = ka * kd + 0.2 * 0.2 + 0.2 * 0.2 + kd * nDotL;
    return static_cast<int>(std::lround(std::min(1.0, value) * 255.0));
}

// Pixels that are not background on the line from (x, y) to the frame's
// edge in steps of (dx, dy).
int covered(const Frame& frame, int x, int y, int dx, int dy)
{
    int count = 0;
    for (; x < frame.width && y < frame.height; x += dx, y += dy)
        count += !isBackground(frame.at(x, y));
    return count;
}

int coveredColumns(const Frame& frame, int y)
{
    return covered(frame, 0, y, 1, 0);
}
int coveredRows(const Frame& frame, int x)
{
    return covered(frame, x, 0, 0, 1);
}

// A square with the texture coordinates of a picture shown upright.
const char* const kPictureSquare =
    "v -50 -50 0\nv 50 -50 0\nv 50 50 0\nv -50 50 0\n"
    "vt 0 1\nvt 1 1\nvt 1 0\nvt 0 0\n"
    "usemtl picture\nf 1/1 2/2 3/3 4/4\n";

// The four quarters of that square showing a picture of red, green over
// blue, white.
void expectQuadrants(const Frame& frame)
{
    const int quarter = 51; // a quarter of the square's ~204 pixels
    const Rgb topLeft = frame.at(256 - quarter, 256 - quarter);
    const Rgb topRight = frame.at(256 + quarter, 256 - quarter);
    const Rgb bottomLeft = frame.at(256 - quarter, 256 + quarter);
    const Rgb bottomRight = frame.at(256 + quarter, 256 + quarter);
    EXPECT_TRUE(topLeft.r > 200 && topLeft.g < 40 && topLeft.b < 40) << "red at the top left";
    EXPECT_TRUE(topRight.g > 200 && topRight.r < 40 && topRight.b < 40) << "green at the top right";
    EXPECT_TRUE(bottomLeft.b > 200 && bottomLeft.r < 40 && bottomLeft.g < 40) << "blue at the bottom left";
    EXPECT_TRUE(bottomRight.r > 200 && bottomRight.g > 200 && bottomRight.b > 200) << "white at the bottom right";
}

} // namespace

TEST_F(ViewerTest, WithoutAMeshBothFramesAreUniformGrey)
{
    createViewer();
    for (bool anaglyph : {false, true}) {
        viewer.anaglyphMode = anaglyph;
        const Frame frame = show();
        int off = 0;
        for (int y = 0; y < frame.height; y += 7)
            off += covered(frame, 0, y, 7, 0);
        EXPECT_EQ(0, off) << (anaglyph ? "anaglyph" : "plain");
    }
}

TEST_F(ViewerTest, PlainFrameShowsTheSquareWhereTheCameraPutsItLitAsTheLightSays)
{
    createViewer(writeMesh("plain-square", square(), squareMtl()));
    const Frame frame = show();

    // The eye is 4 away; the view's half height there is 4 tan(34.71 / 2).
    const double halfHeight = 4.0 * std::tan(34.71 / 2 * 3.141592653589793 / 180);
    const double expectedWidth = 512 * (1.0 / (2 * halfHeight));
    EXPECT_NEAR(expectedWidth, coveredColumns(frame, 256), 2.0);
    EXPECT_NEAR(expectedWidth, coveredRows(frame, 256), 2.0);
    EXPECT_TRUE(isBackground(frame.at(256 - static_cast<int>(expectedWidth / 2) - 4, 256)));
    EXPECT_FALSE(isBackground(frame.at(256 - static_cast<int>(expectedWidth / 2) + 4, 256)));

    // Every corner sees the light at (0, 0, 2) in eye space almost head on;
    // the ambient colour of the file acts as emission (0.1 x 0.5).
    const double nDotL = 6.0 / std::sqrt(0.25 + 0.25 + 36.0);
    const int expected = litChannel(0.5, 0.1, nDotL);
    const Rgb centre = frame.at(256, 256);
    EXPECT_TRUE(within(expected, centre.r) && within(expected, centre.g) && within(expected, centre.b))
        << centre.r << " " << centre.g << " " << centre.b << " expected " << expected;
}

TEST_F(ViewerTest, AnaglyphDrawsTheLeftEyeInRedAndTheRightEyeInCyan)
{
    // In front of the point the eyes converge on, the left (red) picture lies
    // to the right of the right (cyan) one.
    createViewer(writeMesh("near-square", square(1.0), squareMtl("Kd 1 1 1")));
    viewer.anaglyphMode = true;
    const Frame frame = show();

    int redOnly = 0, cyanOnly = 0, redOnlyLeftHalf = 0, cyanOnlyRightHalf = 0, tinted = 0;
    for (int x = 0; x < frame.width; ++x) {
        const Rgb c = frame.at(x, 256);
        const bool red = !within(c.r, 77, 20);
        const bool cyan = !within(c.g, 77, 20) && !within(c.b, 77, 20);
        if (red && !cyan) {
            ++redOnly;
            redOnlyLeftHalf += x < 256;
        }
        if (cyan && !red) {
            ++cyanOnly;
            cyanOnlyRightHalf += x >= 256;
        }
        if (!within(c.g, c.b, 2))
            ++tinted; // green and blue always come from the same eye
    }
    EXPECT_GE(redOnly, 5);
    EXPECT_GE(cyanOnly, 5);
    EXPECT_EQ(0, redOnlyLeftHalf);
    EXPECT_EQ(0, cyanOnlyRightHalf);
    EXPECT_EQ(0, tinted);
    EXPECT_TRUE(isBackground(frame.at(5, 5))) << "the background is grey in all three channels";

    // Depth 0: both eyes in one place, the two pictures on top of each other.
    viewer.anaglyphDepth = 0;
    const Frame together = show();
    int apart = 0;
    for (int x = 0; x < together.width; ++x) {
        const Rgb c = together.at(x, 256);
        if (!within(c.r, c.g, 3) || !within(c.g, c.b, 3))
            ++apart;
    }
    EXPECT_EQ(0, apart);

    // Back to the plain frame: full colour again.
    viewer.anaglyphDepth = 300;
    viewer.anaglyphMode = false;
    const Rgb plain = show().at(256, 256);
    EXPECT_TRUE(plain.r > 200 && within(plain.r, plain.g) && within(plain.g, plain.b));
}

TEST_F(ViewerTest, TexturedSquareShowsItsTexelsUpright)
{
    // A 2 x 2 picture stored top-down: red, green over blue, white. The
    // square's top corners have v = 0, which the viewer sends as t = 1, the
    // top of the picture.
    const unsigned char tga[] = {0,   0, 2, 0,   0,   0,    0, 0, 0,   0, 0,   0,
                                 2,   0, 2, 0,   24,  0x20, 0, 0, 255, 0, 255, 0, // top row: red, green (BGR)
                                 255, 0, 0, 255, 255, 255};                       // bottom row: blue, white
    writeFile(scratchPath("quadrants.tga"), std::string(reinterpret_cast<const char*>(tga), sizeof tga));
    createViewer(writeMesh("textured", kPictureSquare, "newmtl picture\nKd 1 1 1\nmap_Kd quadrants.tga\n"));
    expectQuadrants(show());
    ASSERT_EQ(1u, viewer.textures.entries.size());

    // The same picture at 250 x 150, which is scaled to 256 x 128.
    writeFile(scratchPath("quadrants-250.tga"), tgaFile(250, 150, 3, [](int x, int y, int c) {
                  static const int colours[4][3] = {{255, 0, 0}, {255, 255, 255}, {0, 0, 255}, {0, 255, 0}};
                  return colours[(x >= 125) + 2 * (y >= 75)][c];
              }));
    viewer.openMesh(
        writeMesh("textured-250", kPictureSquare, "newmtl picture\nKd 1 1 1\nmap_Kd quadrants-250.tga\n").c_str());
    expectQuadrants(show());
    ASSERT_EQ(1u, viewer.textures.entries.size());
    EXPECT_EQ(250, viewer.textures.entries[0]->image.width);
}

TEST_F(ViewerTest, VertexColoursStandInForTheMaterialsAndLeaveTheNextMeshAsItWas)
{
    // A black square whose bottom corners are dark red and top corners dark
    // blue.
    const std::string path = writeMesh("coloured-square", square(), squareMtl("Kd 0 0 0"));
    createViewer(path);
    const Frame black = show();
    colourVertices(viewer, [](std::size_t i) { return i < 2 ? VertexColor{0.5, 0, 0} : VertexColor{0, 0, 0.5}; });
    const Frame coloured = show();

    // Each corner lit as a material of its colour would be: ambient 0.2 +
    // 0.2, diffuse almost head on, no emission (Ka x Kd is 0). Red fades
    // into blue.
    const double corner = 0.5 * (0.4 + 6.0 / std::sqrt(0.25 + 0.25 + 36.0));
    const int half = static_cast<int>(std::lround(255 * corner / 2));
    const Rgb centre = coloured.at(256, 256), bottom = coloured.at(256, 340), top = coloured.at(256, 172);
    EXPECT_TRUE(within(half, centre.r) && centre.g == 0 && within(half, centre.b))
        << centre.r << " " << centre.g << " " << centre.b << " expected " << half;
    EXPECT_TRUE(bottom.r > 140 && bottom.g == 0 && bottom.b < 40) << bottom.r << " " << bottom.g << " " << bottom.b;
    EXPECT_TRUE(top.b > 140 && top.g == 0 && top.r < 40) << top.r << " " << top.g << " " << top.b;

    // The same file again, without colours: the material's own black.
    viewer.openMesh(path.c_str());
    const Frame after = show();
    EXPECT_TRUE(std::equal(black.rgb.begin(), black.rgb.end(), after.rgb.begin())) << "colours left behind";

    // The colours as a file gives them, `v x y z r g b`.
    const std::string written = writeMesh(
        "coloured-square-written",
        "v -50 -50 0 0.5 0 0\nv 50 -50 0 0.5 0 0\nv 50 50 0 0 0 0.5\nv -50 50 0 0 0 0.5\nusemtl grey\nf 1 2 3 4\n",
        squareMtl("Kd 0 0 0"));
    viewer.openMesh(written.c_str());
    const Frame read = show();
    EXPECT_TRUE(std::equal(coloured.rgb.begin(), coloured.rgb.end(), read.rgb.begin())) << "colours of the file";
}

TEST_F(ViewerTest, PngJpegAndBmpTexturesLookLikeTheTgaOfTheSamePicture)
{
    // Red, green over blue, white: the TGA file and ImageMagick's PNG, BMP
    // and JPEG of it (tests/data/textures), each on the same square.
    const struct {
        const char* extension;
        int tolerance; // JPEG is lossy
    } formats[] = {{"tga", 0}, {"png", 0}, {"bmp", 0}, {"jpg", 6}};
    createViewer();
    Frame tga;
    for (const auto& format : formats) {
        SCOPED_TRACE(format.extension);
        const std::string picture = std::string("quadrants.") + format.extension;
        ASSERT_TRUE(writeFile(scratchPath(picture), readFile(dataPath("textures/" + picture))));
        const std::string mtl = "newmtl picture\nKd 1 1 1\nmap_Kd " + picture + "\n";
        viewer.openMesh(writeMesh(std::string("quadrants-") + format.extension, kPictureSquare, mtl).c_str());
        const Frame frame = show();
        ASSERT_EQ(1u, viewer.textures.entries.size());
        EXPECT_TRUE(viewer.textures.entries[0]->valid);
        if (tga.rgb.empty()) {
            tga = frame;
            expectQuadrants(frame);
            continue;
        }
        ASSERT_EQ(tga.rgb.size(), frame.rgb.size());
        int largest = 0;
        for (std::size_t i = 0; i < frame.rgb.size(); ++i)
            largest = std::max(largest, std::abs(frame.rgb[i] - tga.rgb[i]));
        EXPECT_LE(largest, format.tolerance) << "the picture differs from the TGA's";
    }
}

TEST_F(ViewerTest, MaterialsNamingOneFileInOtherCaseShareOneTexture)
{
    writeFile(scratchPath("shared.tga"), tgaFile(1, 1, 3, [](int, int, int c) { return c == 1 ? 255 : 0; }));
    const std::string obj =
        "v -50 -50 0\nv 50 -50 0\nv 50 50 0\nv -50 50 0\n"
        "usemtl a\nf 1 2 3\nusemtl b\nf 1 3 4\n";
    createViewer(writeMesh("shared-texture", obj, "newmtl a\nmap_Kd shared.tga\nnewmtl b\nmap_Kd SHARED.TGA\n"));
    show();
    show();
    ASSERT_EQ(1u, viewer.textures.entries.size());
    EXPECT_TRUE(viewer.textures.entries[0]->valid);
}

TEST_F(ViewerTest, LeftDragRotatesOneDegreePerPixelAndRepaints)
{
    createViewer(writeMesh("drag-square", square(), squareMtl()));
    const Frame before = show();
    SendMessageA(viewer.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    SendMessageA(viewer.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(160, 100));
    EXPECT_EQ(60.0, viewer.camera.angles.x);
    const Frame turned = readFrame(viewer);
    SendMessageA(viewer.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(160, 100));
    EXPECT_EQ(None, viewer.camera.mode);
    // Turned by 60 degrees about the vertical axis the square is about half
    // as wide on screen, as tall as before.
    const int width = coveredColumns(before, 256);
    EXPECT_NEAR(width * 0.5, coveredColumns(turned, 256), width * 0.08);
    EXPECT_NEAR(coveredRows(before, 256), coveredRows(turned, 256), 12);
}

TEST_F(ViewerTest, LosingTheMouseCaptureEndsTheDrag)
{
    // Taken by another window or given up: the button-up then goes elsewhere.
    createViewer();
    HWND other = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr, nullptr, nullptr);
    const auto post = [this](UINT message, int x, WPARAM buttons) {
        PostMessageA(viewer.hwnd, message, buttons, MAKELPARAM(x, 100));
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    };
    for (bool toAnotherWindow : {true, false}) {
        post(WM_LBUTTONDOWN, 100, MK_LBUTTON);
        post(WM_MOUSEMOVE, 160, MK_LBUTTON);
        ASSERT_EQ(viewer.hwnd, GetCapture());
        if (toAnotherWindow)
            SetCapture(other);
        else
            ReleaseCapture();
        post(WM_MOUSEMOVE, 240, 0);
        EXPECT_EQ(None, viewer.camera.mode) << toAnotherWindow;
        EXPECT_EQ(60.0, viewer.camera.angles.x) << "a plain move turned the view; " << toAnotherWindow;
        ReleaseCapture();
        viewer.camera.reset();
    }
    DestroyWindow(other);
}

TEST_F(ViewerTest, WheelScalesOncePerMessage)
{
    createViewer();
    SendMessageA(viewer.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 360), 0);
    EXPECT_DOUBLE_EQ(0.9, viewer.camera.scale);
    SendMessageA(viewer.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-120)), 0);
    EXPECT_DOUBLE_EQ(0.9 * 1.1, viewer.camera.scale);
}

TEST_F(ViewerTest, DragModeNoneIgnoresTheLeftButtonButNotTheWheel)
{
    createViewer();
    viewer.dragMode = None;
    SendMessageA(viewer.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageA(viewer.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(90, 50));
    EXPECT_EQ(None, viewer.camera.mode);
    EXPECT_EQ(0.0, viewer.camera.angles.x);
    EXPECT_NE(viewer.hwnd, GetCapture());
    SendMessageA(viewer.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(90, 50));
    SendMessageA(viewer.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), 0);
    EXPECT_DOUBLE_EQ(0.9, viewer.camera.scale);
}

TEST_F(ViewerTest, ResizingRepaintsWithTheNewAspectRatio)
{
    createViewer(writeMesh("resize-square", square(), squareMtl()));
    resizeClient(600, 300);
    EXPECT_EQ(600.0, viewer.camera.viewportWidth);
    EXPECT_EQ(300.0, viewer.camera.viewportHeight);
    const Frame frame = readFrame(viewer);
    ASSERT_EQ(600, frame.width);
    // Still a square on screen: as wide as tall.
    EXPECT_NEAR(coveredRows(frame, 300), coveredColumns(frame, 150), 2);

    // A client area of no height (minimised) must not break the next frames.
    resizeClient(600, 0);
    resizeClient(600, 300);
    EXPECT_NEAR(coveredRows(readFrame(viewer), 300), 120, 3);
}

namespace {

// A square of the given side (file units) centred on (x, y, 0), and what a
// file may add: faces and vertices that come after the square's four.
std::string squareAt(double side, double x, double y, const std::string& more = std::string())
{
    char text[400];
    const double h = side / 2;
    std::snprintf(text, sizeof text, "v %.17g %.17g 0\nv %.17g %.17g 0\nv %.17g %.17g 0\nv %.17g %.17g 0\nf 1 2 3 4\n",
                  x - h, y - h, x + h, y - h, x + h, y + h, x - h, y + h);
    return text + more;
}

} // namespace

TEST_F(ViewerTest, OpeningPlacesAMeshThatTheStartViewDoesNotShowWell)
{
    // Placed: centred, four fifths of 512 across. A square 32 across, 0.32
    // after the load scale, spans 0.32 / (8 tan(34.71 / 2)) = 0.128 of the
    // picture, just over an eighth: left where it is.
    const double placed = 0.8 * 512;
    const double leftAlone = 512 * 0.32 / (8 * std::tan(34.71 / 2 * 3.141592653589793 / 180));
    struct {
        const char* what;
        std::string obj;
        double width;
    } cases[] = {
        {"tiny", squareAt(0.01, 0, 0), placed},
        {"huge", squareAt(1e7, 0, 0), placed},
        {"far off-centre", squareAt(100, 4000, -2500), placed},
        {"just large enough", squareAt(32, 0, 0), leftAlone},
        {"just too small", squareAt(30, 0, 0), placed},
        {"a vertex no face uses, far away", squareAt(0.01, 0, 0, "v 1e6 1e6 1e6\n"), placed},
        {"a face through a vertex at infinity", squareAt(0.01, 0, 0, "v 1e999 -1e999 0\nf 1 2 5\n"), placed},
    };
    createViewer();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = writeMesh("placed", c.obj);
        viewer.openMesh(path.c_str());
        ASSERT_TRUE(viewer.mesh);
        const Frame frame = show();
        EXPECT_NEAR(c.width, coveredColumns(frame, 256), 3.0);
        EXPECT_NEAR(c.width, coveredRows(frame, 256), 3.0);
        const int left = static_cast<int>(256 - c.width / 2);
        EXPECT_TRUE(isBackground(frame.at(left - 3, 256)) && !isBackground(frame.at(left + 3, 256))) << "centred";
        // Left alone means untouched: the positions are the reader's.
        const std::unique_ptr<Mesh> read(loadObjMesh(path.c_str(), kLoadScale, true));
        EXPECT_EQ(c.width == leftAlone, read->positions[0].x == viewer.mesh->positions[0].x);
    }
}

TEST_F(ViewerTest, APlacedMeshLooksLikeTheSameMeshWrittenWhereItWasPlaced)
{
    // A pyramid 0.06 units across, far off the origin; its faces get their
    // normals from the file's positions.
    const std::string pyramid =
        "v 1000 2000 -300\nv 1000.06 2000 -300\nv 1000.06 2000.06 -300\n"
        "v 1000 2000.06 -300\nv 1000.03 2000.03 -299.96\n"
        "f 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\nf 4 3 2 1\n";
    createViewer(writeMesh("pyramid-far", pyramid));
    ASSERT_TRUE(viewer.mesh);
    std::string written;
    for (std::size_t i = 0; i < viewer.mesh->positions.size(); ++i) {
        const Vec3& p = viewer.mesh->positions[i];
        char line[100];
        std::snprintf(line, sizeof line, "v %.17g %.17g %.17g\n", p.x / kLoadScale, p.y / kLoadScale, p.z / kLoadScale);
        written += line;
    }
    written += "f 1 2 5\nf 2 3 5\nf 3 4 5\nf 4 1 5\nf 4 3 2 1\n";
    std::vector<Frame> placed;
    for (const bool anaglyph : {false, true}) {
        viewer.anaglyphMode = anaglyph;
        placed.push_back(show());
    }
    EXPECT_GT(coveredColumns(placed[0], 300), 200);
    viewer.openMesh(writeMesh("pyramid-placed", written).c_str());
    for (const bool anaglyph : {false, true}) {
        viewer.anaglyphMode = anaglyph;
        const Frame frame = show();
        int different = 0;
        for (std::size_t i = 0; i < frame.rgb.size(); ++i)
            different += !within(frame.rgb[i], placed[anaglyph].rgb[i]);
        EXPECT_LE(different, 30) << (anaglyph ? "anaglyph" : "plain") << ": only where an edge crosses a pixel";
    }
}

namespace {

// Drops files on the window as the shell does, the names in UTF-16; paths
// are UTF-8.
void dropFiles(HWND window, const std::vector<std::string>& paths)
{
    std::wstring list;
    for (const std::string& path : paths) {
        std::wstring wide(path.size() + 1, L'\0');
        wide.resize(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, &wide[0], static_cast<int>(wide.size())));
        list += wide;
    }
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    SendMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
}

} // namespace

TEST_F(ViewerTest, DroppingOneFileOpensItAndResetsTheView)
{
    createViewer(writeMesh("before-drop", square(), squareMtl()));
    const Mesh* first = viewer.mesh;
    viewer.camera.angles.x = 45;
    viewer.camera.scale = 2;
    viewer.anaglyphMode = true;
    const std::string other = writeMesh("dropped", square(0.5), squareMtl());
    dropFiles(viewer.hwnd, {other});
    ASSERT_TRUE(viewer.mesh);
    EXPECT_NE(first, viewer.mesh);
    EXPECT_EQ(0.5, viewer.mesh->positions[0].z);
    EXPECT_EQ(0.0, viewer.camera.angles.x);
    EXPECT_EQ(1.0, viewer.camera.scale);
    EXPECT_TRUE(viewer.anaglyphMode) << "opening keeps the mode";

    const Mesh* current = viewer.mesh;
    dropFiles(viewer.hwnd, {other, other});
    EXPECT_EQ(current, viewer.mesh) << "two files open nothing";

    const std::string unicode = writeUnicodeMesh();
    ASSERT_FALSE(unicode.empty());
    dropFiles(viewer.hwnd, {unicode});
    EXPECT_TRUE(isRed(show().at(256, 256))) << "the mesh and its texture, named in CJK and accented letters";
}

TEST_F(ViewerTest, AFileThatCannotBeLoadedKeepsTheOldMeshAndSaysSo)
{
    createViewer(writeMesh("kept", square(), squareMtl()));
    const Mesh* kept = viewer.mesh;
    const Frame before = show();
    const std::string broken = writeMesh("broken", "v 1 2 3\nf -1 -2 -3\n");
    MessageBoxWatcher watcher;
    viewer.openMesh(broken.c_str());
    EXPECT_EQ(kept, viewer.mesh);
    EXPECT_EQ(1, watcher.count());
    EXPECT_EQ("Cannot load mesh : " + broken, watcher.lastText());
    EXPECT_EQ(before.rgb, show().rgb) << "the picture stays";

    const std::string farAway = scratchPath(std::string(300, 'x') + ".obj");
    dropFiles(viewer.hwnd, {farAway});
    EXPECT_EQ("Cannot load mesh : " + farAway, watcher.lastText()) << "a dropped path past MAX_PATH comes whole";
}

TEST_F(ViewerTest, EveryRealObjThatLoadsOpensAndDraws)
{
    SKIP_WITHOUT_SHARED_DATA();
    createViewer();
    namespace fs = std::filesystem;
    int drawn = 0;
    std::error_code error;
    for (fs::recursive_directory_iterator it(sharedDataPath("obj"), error), end; !error && it != end;
         it.increment(error)) {
        const std::string path = it->path().string();
        if (!it->is_regular_file() || path.size() < 4 || _stricmp(path.c_str() + path.size() - 4, ".obj") != 0)
            continue;
        std::unique_ptr<Mesh> probe(loadObjMesh(path.c_str(), kLoadScale, true));
        if (!probe)
            continue;
        viewer.openMesh(path.c_str());
        ASSERT_TRUE(viewer.mesh) << path;
        viewer.anaglyphMode = drawn % 2 == 1;
        show();
        ++drawn;
    }
    EXPECT_GT(drawn, 50);
}

TEST_F(ViewerTest, TheWindowShowsTheProgramsIcon)
{
    // This test program carries the viewer's resources too.
    // NOTE: Wine answers WM_GETICON from another process with no icon, so
    // this is checked here rather than on the running program.
    createViewer();
    const HICON own = LoadIconA(GetModuleHandleA(nullptr), "IDR_MAINFRAME");
    ASSERT_TRUE(own);
    EXPECT_EQ(own, reinterpret_cast<HICON>(SendMessageA(viewer.hwnd, WM_GETICON, ICON_BIG, 0)));
    EXPECT_EQ(own, reinterpret_cast<HICON>(SendMessageA(viewer.hwnd, WM_GETICON, ICON_SMALL, 0)));
}
