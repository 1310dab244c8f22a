// corvasi-render, run as a script runs it: its picture is the viewer's
// picture of the same view, and bad requests end with a message and a
// failing exit code, never with a message box.

#include "tests/app/ProgramRunner.h"
#include "tests/app/ScratchVolume.h"
#include "tests/app/ViewerFixture.h"
#include "tests/support/GLTestWindow.h"

#include "image/DibImage.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::string torusPath()
{
    return dataPath("../../samples/torus.obj");
}

// The BMP file as an image; an empty image when it cannot be read.
std::unique_ptr<DibImage> readPicture(const std::string& path)
{
    std::unique_ptr<DibImage> image(new DibImage);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file) {
        image->readBmp(file);
        std::fclose(file);
    }
    return image;
}

// Pixels that differ between two pictures of the same size.
int differentPixels(const DibImage& a, const DibImage& b)
{
    int different = 0;
    for (int y = 0; y < a.height; ++y) {
        const unsigned char* p = a.bits + static_cast<std::size_t>(y) * a.stride;
        const unsigned char* q = b.bits + static_cast<std::size_t>(y) * b.stride;
        for (int x = 0; x < a.width * 3; x += 3)
            if (p[x] != q[x] || p[x + 1] != q[x + 1] || p[x + 2] != q[x + 2])
                ++different;
    }
    return different;
}

// Pixels that are not the grey background: how much of the mesh shows.
int meshPixels(const DibImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height; ++y) {
        const unsigned char* row = image.bits + static_cast<std::size_t>(y) * image.stride;
        for (int x = 0; x < image.width * 3; x += 3)
            if (!isBackground(Rgb{row[x + 2], row[x + 1], row[x]}))
                ++count;
    }
    return count;
}

} // namespace

class RenderTest : public ViewerTest {
protected:
    // Runs the renderer with the options and returns its picture; the exit
    // code must be 0 and nothing must be said.
    std::unique_ptr<DibImage> render(const std::string& options, const std::string& mesh = torusPath())
    {
        const std::string out = scratchPath("render.bmp");
        ProgramRunner renderer(CORVASI_RENDER_EXE, options + " -o " + quoted(out) + " " + quoted(mesh));
        EXPECT_TRUE(renderer.started);
        // Looked for until the program ends: it never shows a window.
        bool shown = false;
        while (renderer.started && WaitForSingleObject(renderer.process.hProcess, 1) == WAIT_TIMEOUT)
            shown = shown || waitForWindow(renderer.process.dwProcessId, nullptr, nullptr, 0);
        EXPECT_FALSE(shown) << options;
        EXPECT_EQ(0, renderer.exitCode()) << options;
        EXPECT_EQ("", renderer.standardError()) << options;
        EXPECT_EQ("", renderer.standardOutput()) << options;
        return readPicture(out);
    }

    // The viewer's own capture of what it shows now.
    std::unique_ptr<DibImage> viewerPicture()
    {
        settle();
        std::unique_ptr<DibImage> image(viewer.captureImage());
        EXPECT_TRUE(image);
        return image;
    }

    // Turns the viewer's view with a left drag, as the user does.
    void dragBy(int dx, int dy)
    {
        SendMessageA(viewer.hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 200));
        SendMessageA(viewer.hwnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200 + dx, 200 + dy));
        SendMessageA(viewer.hwnd, WM_LBUTTONUP, 0, MAKELPARAM(200 + dx, 200 + dy));
    }

    static void expectSamePicture(const DibImage& expected, const DibImage& actual)
    {
        ASSERT_EQ(expected.width, actual.width);
        ASSERT_EQ(expected.height, actual.height);
        EXPECT_EQ(0, differentPixels(expected, actual)) << "pixels differ from the viewer's picture";
    }
};

namespace {

// A view reached in the viewer, and the options that ask the renderer for it.
struct SameView {
    const char* name;
    int width, height; // the viewer's client area
    bool anaglyph;
    int depth;
    int dragX, dragY; // a left drag; none when both are 0
    bool wheelNotch;  // one notch away from the user: scale 0.9
    const char* options;
};

const SameView kSameViews[] = {
    {"StartView", 512, 512, false, 300, 0, 0, false, "--samples 1"},
    // Turned to 330 and tilted to 25 degrees.
    {"TurnedAndTilted", 512, 512, false, 300, -30, 25, false, "--samples 1 --turn -30 --tilt 25"},
    // Turned to 40, tilted to 345 degrees.
    {"AnaglyphWithItsDepth", 512, 512, true, 650, 40, -15, false,
     "--samples 1 --anaglyph --depth 650 --turn 40 --tilt -15"},
    {"SizeAndScale", 320, 200, false, 300, 0, 0, true, "--samples 1 --size 320x200 --scale 0.9"},
};

void PrintTo(const SameView& view, std::ostream* out)
{
    *out << view.name;
}

class RenderViewTest : public RenderTest, public ::testing::WithParamInterface<SameView> {};

} // namespace

TEST_P(RenderViewTest, PictureIsTheViewersPictureOfTheSameView)
{
    const SameView& view = GetParam();
    createViewer(torusPath(), view.width, view.height);
    viewer.anaglyphMode = view.anaglyph;
    viewer.anaglyphDepth = view.depth;
    if (view.dragX || view.dragY)
        dragBy(view.dragX, view.dragY);
    if (view.wheelNotch)
        SendMessageA(viewer.hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), 0);
    const std::unique_ptr<DibImage> shown = viewerPicture();
    ASSERT_TRUE(shown);
    ASSERT_EQ(view.width, shown->width);
    const std::unique_ptr<DibImage> drawn = render(view.options);
    ASSERT_EQ(view.width, drawn->width);
    ASSERT_EQ(view.height, drawn->height);
    EXPECT_GT(meshPixels(*drawn), view.width * view.height / 10) << "the torus is on the picture";
    expectSamePicture(*shown, *drawn);
}

INSTANTIATE_TEST_SUITE_P(Views, RenderViewTest, ::testing::ValuesIn(kSameViews),
                         [](const ::testing::TestParamInfo<SameView>& info) { return std::string(info.param.name); });

TEST_F(RenderTest, PlacesAMeshAsTheViewerDoesUnlessAskedToKeepItAsIs)
{
    // A box 0.6 units across, off to the side: a speck at the start view.
    const std::string speck = writeMesh("render-speck",
                                        "v 500 500 500\nv 500.6 500 500\nv 500.6 500.3 500\n"
                                        "v 500 500.3 500.2\nf 1 2 3\nf 1 3 4\n");
    createViewer(speck, 320, 200);
    const std::unique_ptr<DibImage> shown = viewerPicture();
    ASSERT_TRUE(shown);
    const std::unique_ptr<DibImage> drawn = render("--samples 1 --size 320x200", speck);
    expectSamePicture(*shown, *drawn);
    EXPECT_GT(meshPixels(*drawn), 320 * 200 / 10);
    EXPECT_EQ(0, meshPixels(*render("--size 320x200 --as-is", speck))) << "as the file puts it, out of view";
}

TEST_F(RenderTest, ShininessThatTheDriverRefusesStillGivesThePicture)
{
    // Ns 300 is refused by glMaterialf; the triangle still draws, and the
    // capture must not take that error for a failed read-back.
    const std::string shiny = writeMesh("render-shiny",
                                        "mtllib render-shiny.mtl\nusemtl m\n"
                                        "v -100 -100 0\nv 100 -100 0\nv 0 100 0\nf 1 2 3\n",
                                        "newmtl m\nKd 0.8 0.2 0.2\nKs 1 1 1\nNs 300\n");
    createViewer(shiny, 256, 256);
    const std::unique_ptr<DibImage> shown = viewerPicture();
    ASSERT_TRUE(shown);
    EXPECT_GT(meshPixels(*shown), 256 * 256 / 10);
    expectSamePicture(*shown, *render("--samples 1 --size 256x256", shiny));
    EXPECT_GT(meshPixels(*render("--size 256x256", shiny)), 256 * 256 / 10);
}

TEST_F(RenderTest, PictureLargerThanTheScreenIsTheWholePicture)
{
    const int width = GetSystemMetrics(SM_CXSCREEN) + 320;
    const int height = GetSystemMetrics(SM_CYSCREEN) + 200;
    const std::unique_ptr<DibImage> drawn = render("--size " + std::to_string(width) + "x" + std::to_string(height));
    ASSERT_EQ(width, drawn->width);
    ASSERT_EQ(height, drawn->height);
    // The torus fills the middle as it does in a square picture of that height.
    EXPECT_NEAR(height * height * 0.14, meshPixels(*drawn), height * height * 0.02);
}

namespace {

Rgb pixelAt(const DibImage& image, int x, int y)
{
    const unsigned char* p = image.bits + static_cast<std::size_t>(y) * image.stride + 3 * x;
    return Rgb{p[2], p[1], p[0]};
}

// The picture scaled down by a whole factor, each pixel the mean of its
// factor x factor block: what the screen of a finer display shows.
std::vector<Rgb> scaledDown(const DibImage& large, int factor)
{
    const int width = large.width / factor;
    std::vector<Rgb> small(static_cast<std::size_t>(width) * (large.height / factor), Rgb{0, 0, 0});
    for (int y = 0; y < large.height / factor * factor; ++y)
        for (int x = 0; x < width * factor; ++x) {
            const Rgb c = pixelAt(large, x, y);
            Rgb& sum = small[static_cast<std::size_t>(y / factor) * width + x / factor];
            sum = Rgb{sum.r + c.r, sum.g + c.g, sum.b + c.b};
        }
    const int n = factor * factor;
    for (Rgb& c : small)
        c = Rgb{(c.r + n / 2) / n, (c.g + n / 2) / n, (c.b + n / 2) / n};
    return small;
}

// The mean colour difference (per channel, in levels) from the reference at
// the torus's outline: the pixels of the single-frame picture that have
// background and mesh among their eight neighbours.
double edgeError(const DibImage& picture, const DibImage& outline, const std::vector<Rgb>& reference)
{
    double error = 0.0;
    int pixels = 0;
    for (int y = 1; y + 1 < outline.height; ++y)
        for (int x = 1; x + 1 < outline.width; ++x) {
            int background = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    background += isBackground(pixelAt(outline, x + dx, y + dy));
            if (background == 0 || background == 9)
                continue;
            const Rgb c = pixelAt(picture, x, y);
            const Rgb& r = reference[static_cast<std::size_t>(y) * outline.width + x];
            error += (std::abs(c.r - r.r) + std::abs(c.g - r.g) + std::abs(c.b - r.b)) / 3.0;
            ++pixels;
        }
    return pixels > 0 ? error / pixels : 1e9;
}

} // namespace

// The frames of --samples, drawn a fraction of a pixel apart, smooth the
// outline: it comes close to the picture drawn four times larger and scaled
// down, where a single frame steps from mesh to background. Lit and red/cyan.
TEST_F(RenderTest, SamplesBringTheOutlineCloseToAFinerPictureScaledDown)
{
    for (const char* mode : {"", "--anaglyph "}) {
        SCOPED_TRACE(mode);
        const std::string view = std::string(mode) + "--turn 42 --tilt 60 ";
        const std::unique_ptr<DibImage> single = render(view + "--samples 1 --size 256x256");
        const std::unique_ptr<DibImage> smooth = render(view + "--size 256x256");
        const std::unique_ptr<DibImage> large = render(view + "--samples 1 --size 1024x1024");
        ASSERT_EQ(256, single->width);
        ASSERT_EQ(256, smooth->width);
        ASSERT_EQ(1024, large->width);
        const std::vector<Rgb> reference = scaledDown(*large, 4);
        const double singleError = edgeError(*single, *single, reference);
        const double smoothError = edgeError(*smooth, *single, reference);
        std::printf("%soutline error against the 4x picture: %.2f levels with 1 sample, %.2f with 8\n", mode,
                    singleError, smoothError);
        EXPECT_GT(singleError, 4.0) << "a single frame has hard steps at the outline";
        EXPECT_LT(smoothError, singleError / 2.5) << "8 samples smooth the outline";
    }
}

namespace {

struct BadRequest {
    std::string name;
    std::string before; // the arguments before the output and the mesh
    std::string mesh;   // empty: the torus
    bool withOutput;
    std::string after;  // the arguments after the mesh
    std::string saying; // a part of the message on standard error
};

std::vector<BadRequest> badRequests()
{
    const std::string broken = writeMesh("render-broken", "v 0 0 0\nf 1 2 3\n");
    const std::string missing = scratchPath("render-no-such-mesh.obj");
    // Anything larger than the driver's viewport cannot be drawn.
    GLTestWindow gl(8, 8);
    GLint largest[2] = {0, 0};
    glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
    const std::string wide = std::to_string(largest[0] + 1) + "x100";
    const std::string tall = "100x" + std::to_string(largest[1] + 1);
    return {
        {"DepthAboveTheRange", "--depth 1001", "", true, "", "--depth"},
        {"DepthBelowTheRange", "--depth -1", "", true, "", "--depth"},
        {"DepthNotANumber", "--depth deep", "", true, "", "--depth"},
        {"DepthWithoutValue", "", "", true, "--depth", "needs a value"},
        {"SizeWithoutHeight", "--size 512", "", true, "", "--size"},
        {"SizeOfZero", "--size 0x100", "", true, "", "--size"},
        {"SizeWithoutNumbers", "--size x", "", true, "", "--size"},
        {"SizeWiderThanTheDriverDraws", "--size " + wide, "", true, "", "larger than the OpenGL driver draws"},
        {"SizeTallerThanTheDriverDraws", "--size " + tall, "", true, "", "larger than the OpenGL driver draws"},
        {"TurnNotANumber", "--turn left", "", true, "", "--turn"},
        {"TiltWithTrailingText", "--tilt 10deg", "", true, "", "--tilt"},
        {"ScaleOfZero", "--scale 0", "", true, "", "--scale"},
        {"NoSamples", "--samples 0", "", true, "", "--samples"},
        {"SamplesAboveTheRange", "--samples 257", "", true, "", "--samples"},
        {"NegativeScale", "--scale -2", "", true, "", "--scale"},
        {"UnknownOption", "--stereo", "", true, "", "unknown option --stereo"},
        {"NoOutput", "", "", false, "", "-o"},
        {"NoMesh", "", "", true, "", "no mesh"},
        {"TwoMeshes", quoted(torusPath()), "", true, "", "one mesh"},
        {"MissingMesh", "", missing, true, "", "cannot load mesh"},
        {"BrokenMesh", "", broken, true, "", "cannot load mesh"},
    };
}

} // namespace

TEST(RenderArguments, BadRequestsFailWithAMessageAndWriteNothing)
{
    for (const BadRequest& bad : badRequests()) {
        SCOPED_TRACE(bad.name);
        const std::string out = scratchPath("bad-" + bad.name + ".bmp");
        std::string arguments = bad.before;
        if (bad.withOutput)
            arguments += " -o " + quoted(out);
        if (bad.name != "NoMesh")
            arguments += " " + quoted(bad.mesh.empty() ? torusPath() : bad.mesh);
        arguments += " " + bad.after;

        MessageBoxWatcher watcher;
        ProgramRunner renderer(CORVASI_RENDER_EXE, arguments);
        ASSERT_TRUE(renderer.started);
        const int code = renderer.exitCode(20000);
        EXPECT_NE(-1, code) << "still running: waiting on a message box?";
        EXPECT_NE(0, code);
        const std::string error = renderer.standardError();
        EXPECT_EQ(0u, error.find("corvasi-render: ")) << error;
        EXPECT_NE(std::string::npos, error.find(bad.saying)) << error;
        EXPECT_EQ("", renderer.standardOutput());
        EXPECT_EQ("", readFile(out)) << "a picture was written";
        EXPECT_EQ(0, watcher.count()) << "a message box came up";
    }
}

TEST(RenderArguments, AnOutputThatCannotBeWrittenFailsAndLeavesAnOldFileAlone)
{
    const std::string folder = scratchPath("render-no-such-folder");
    ProgramRunner renderer(CORVASI_RENDER_EXE, "-o " + quoted(folder + "\\picture.bmp") + " " + quoted(torusPath()));
    ASSERT_TRUE(renderer.started);
    EXPECT_EQ(1, renderer.exitCode());
    EXPECT_NE(std::string::npos, renderer.standardError().find("cannot write")) << renderer.standardError();

    // Over an older picture, on a volume with no room for the new one.
    ScratchVolume volume("render-small-volume", 256);
    if (!volume.skipReason.empty())
        GTEST_SKIP() << volume.skipReason;
    const std::string old = volume.folder + "\\picture.bmp";
    ASSERT_TRUE(writeFile(old, "an older picture"));
    ProgramRunner over(CORVASI_RENDER_EXE, "-o " + quoted(old) + " " + quoted(torusPath()));
    ASSERT_TRUE(over.started);
    EXPECT_EQ(1, over.exitCode());
    EXPECT_EQ(0u, over.standardError().find("corvasi-render: cannot write " + old)) << over.standardError();
    const std::string now = readFile(old);
    EXPECT_TRUE(now == "an older picture") << "the file now holds " << now.size() << " bytes";
    EXPECT_EQ(std::vector<std::string>{"picture.bmp"}, folderListing(volume.folder)) << "nothing is left beside it";
}

TEST(RenderArguments, HelpPrintsTheUsageAndSucceeds)
{
    ProgramRunner renderer(CORVASI_RENDER_EXE, "--help");
    ASSERT_TRUE(renderer.started);
    EXPECT_EQ(0, renderer.exitCode());
    const std::string usage = renderer.standardOutput();
    for (const char* option : {"--anaglyph", "--depth", "--size", "--turn", "--tilt", "--scale", "--samples", "-o"})
        EXPECT_NE(std::string::npos, usage.find(option)) << option;
    EXPECT_EQ("", renderer.standardError());
}
