// corvasi-render: draws one view of a mesh with the viewer's own window and
// drawing code and writes the picture as a 24-bit BMP file, with no user
// interface.

#include "app/ViewerWindow.h"
#include "image/DibImage.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

const char* const kUsage =
    "usage: corvasi-render [options] -o OUT.bmp MESH.obj\n"
    "  --anaglyph     the red/cyan picture instead of the lit one\n"
    "  --depth N      anaglyph depth in tenths of a percent, 0..1000 (300)\n"
    "  --size WxH     picture size in pixels, each 1..4096 and within the\n"
    "                 screen (512x512)\n"
    "  --turn DEG     turn about the vertical axis, as a sideways drag (0)\n"
    "  --tilt DEG     tilt about the horizontal axis, as a drag down (0)\n"
    "  --scale S      distance factor, above 0; smaller is closer (1)\n"
    "  -o OUT.bmp     the file to write\n";

const int kMaxSide = 4096;

struct Options {
    bool anaglyph = false;
    int depth = 300;
    int width = 512;
    int height = 512;
    double turn = 0.0;
    double tilt = 0.0;
    double scale = 1.0;
    std::string output;
    std::string mesh;
};

int fail(const std::string& message)
{
    std::fprintf(stderr, "corvasi-render: %s\n", message.c_str());
    return 1;
}

int usageError(const std::string& message)
{
    std::fprintf(stderr, "corvasi-render: %s\n%s", message.c_str(), kUsage);
    return 2;
}

bool parseInt(const char* text, long low, long high, int& out)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end || errno || value < low || value > high)
        return false;
    out = static_cast<int>(value);
    return true;
}

bool parseNumber(const char* text, double& out)
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text, &end);
    if (end == text || *end || errno || !std::isfinite(value))
        return false;
    out = value;
    return true;
}

bool parseSize(const char* text, int& width, int& height)
{
    const char* x = std::strchr(text, 'x');
    if (!x)
        return false;
    const std::string first(text, x);
    return parseInt(first.c_str(), 1, kMaxSide, width) && parseInt(x + 1, 1, kMaxSide, height);
}

// The angle as a drag leaves it, so that a view given here and one reached by
// dragging are the same numbers.
double foldAngle(double degrees)
{
    if (degrees < 0)
        degrees = 360 - std::fabs(degrees);
    return std::fmod(degrees, 360);
}

// Empty when the arguments are good; otherwise what is wrong with them.
std::string parseArguments(int argc, char** argv, Options& options, bool& help)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool takesValue = arg == "--depth" || arg == "--size" || arg == "--turn" || arg == "--tilt" ||
                                arg == "--scale" || arg == "-o";
        if (takesValue && i + 1 >= argc)
            return arg + " needs a value";
        const char* value = takesValue ? argv[++i] : nullptr;
        if (arg == "--help" || arg == "-h") {
            help = true;
        } else if (arg == "--anaglyph") {
            options.anaglyph = true;
        } else if (arg == "--depth") {
            if (!parseInt(value, 0, 1000, options.depth))
                return "--depth wants a whole number from 0 to 1000, not \"" + std::string(value) + "\"";
        } else if (arg == "--size") {
            if (!parseSize(value, options.width, options.height))
                return "--size wants WIDTHxHEIGHT, each from 1 to 4096, not \"" + std::string(value) + "\"";
        } else if (arg == "--turn") {
            if (!parseNumber(value, options.turn))
                return "--turn wants a number of degrees, not \"" + std::string(value) + "\"";
        } else if (arg == "--tilt") {
            if (!parseNumber(value, options.tilt))
                return "--tilt wants a number of degrees, not \"" + std::string(value) + "\"";
        } else if (arg == "--scale") {
            if (!parseNumber(value, options.scale) || options.scale <= 0)
                return "--scale wants a number above 0, not \"" + std::string(value) + "\"";
        } else if (arg == "-o") {
            options.output = value;
        } else if (arg.size() > 1 && arg[0] == '-') {
            return "unknown option " + arg;
        } else if (options.mesh.empty()) {
            options.mesh = arg;
        } else {
            return "one mesh only; " + arg + " is one too many";
        }
    }
    if (help)
        return std::string();
    if (options.mesh.empty())
        return "no mesh given";
    if (options.output.empty())
        return "no output file given (-o OUT.bmp)";
    return std::string();
}

// The viewer's window and drawing. Its context is made as the viewer makes
// its own (four samples, the same one-time state), but nothing else of the
// viewer's start-up runs: no showing and activation, no open dialog, no
// message box.
class RenderWindow : public ViewerWindow {
public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) {
            context.create(hwnd, false, 4);
            context.makeCurrent(nullptr);
            initGLState();
            context.releaseCurrent();
            return 0;
        }
        return ViewerWindow::windowProc(message, wParam, lParam);
    }
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    bool help = false;
    const std::string problem = parseArguments(argc, argv, options, help);
    if (help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty())
        return usageError(problem);

    // Read first, so that an unreadable mesh is an error message here rather
    // than the viewer's message box.
    std::unique_ptr<Mesh> mesh(loadObjMesh(options.mesh.c_str(), 0.01, true));
    if (!mesh)
        return fail("cannot load mesh " + options.mesh);

    appInstance = GetModuleHandleA(nullptr);
    RenderWindow window;
    window.startMesh = ViewerWindow::StartMesh::Nothing;
    window.anaglyphMode = options.anaglyph;
    window.anaglyphDepth = options.depth;
    window.camera.angles.x = foldAngle(options.turn);
    window.camera.angles.y = foldAngle(options.tilt);
    window.camera.scale = options.scale;

    // NOTE: Wine reads a window's picture back from the screen, so the
    // window is shown, fully on the screen, in its bottom right corner, on
    // top and without activation; a hidden or off-screen window reads black.
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (options.width > screenWidth || options.height > screenHeight)
        return fail("a picture of " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                    " does not fit on the screen (" + std::to_string(screenWidth) + "x" +
                    std::to_string(screenHeight) + ")");
    window.mesh = mesh.release();
    window.create(WS_EX_TOPMOST | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, "corvasi-render", WS_POPUP,
                  screenWidth - options.width, screenHeight - options.height, options.width, options.height,
                  nullptr, nullptr, nullptr);
    if (!window.hwnd || !window.context.renderingContext) {
        if (window.hwnd)
            DestroyWindow(window.hwnd);
        return fail("no OpenGL window could be made");
    }
    ShowWindow(window.hwnd, SW_SHOWNOACTIVATE);

    std::unique_ptr<DibImage> image(window.captureImage());
    DestroyWindow(window.hwnd);
    if (!image)
        return fail("nothing was drawn");
    if (!saveImageFile(*image, options.output.c_str()))
        return fail("cannot write " + options.output);
    return 0;
}
