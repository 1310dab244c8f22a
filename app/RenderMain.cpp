// corvasi-render: draws one view of a mesh with the viewer's own window and
// drawing code and writes the picture as a 24-bit BMP file, with no user
// interface.

#include "app/ViewerWindow.h"
#include "image/DibImage.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <GL/gl.h>

#include <cerrno>
#include <climits>
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
    "  --size WxH     picture size in pixels, each from 1 to what the OpenGL\n"
    "                 driver draws (512x512)\n"
    "  --turn DEG     turn about the vertical axis, as a sideways drag (0)\n"
    "  --tilt DEG     tilt about the horizontal axis, as a drag down (0)\n"
    "  --scale S      distance factor, above 0; smaller is closer (1)\n"
    "  -o OUT.bmp     the file to write\n";

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
    return parseInt(first.c_str(), 1, INT_MAX, width) && parseInt(x + 1, 1, INT_MAX, height);
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
                return "--size wants WIDTHxHEIGHT, whole numbers above 0, not \"" + std::string(value) + "\"";
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

// The largest viewport of the OpenGL driver, asked of a context on a small
// hidden window; false when no context can be had.
bool driverViewportLimit(GLint (&largest)[2])
{
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    GLContext context;
    const bool made = probe && context.create(probe, false, 0);
    if (made) {
        context.makeCurrent(nullptr);
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, largest);
        context.releaseCurrent();
        context.destroy();
    }
    if (probe)
        DestroyWindow(probe);
    return made;
}

// The viewer's window and drawing. Its context is made as the viewer makes
// its own, but nothing else of the viewer's start-up runs: no showing and
// activation, no open dialog, no message box.
class RenderWindow : public ViewerWindow {
public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) {
            setUpContext();
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

    // Asked before the picture's window exists: its buffers take the size.
    GLint largest[2] = {0, 0};
    if (!driverViewportLimit(largest))
        return fail("no OpenGL window could be made");
    if (options.width > largest[0] || options.height > largest[1])
        return usageError("a picture of " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                          " is larger than the OpenGL driver draws (" + std::to_string(largest[0]) + "x" +
                          std::to_string(largest[1]) + ")");

    // The window is never shown: the capture draws into its back buffer and
    // reads the picture from there. A popup without a frame keeps any size,
    // where a captioned or sizable window is made to fit the screen.
    // NOTE: Wine does not resize the drawable of a hidden window, so it is
    // made at the picture's size.
    window.mesh = mesh.release();
    window.create(0, "corvasi-render", WS_POPUP, 0, 0, options.width, options.height, nullptr, nullptr, nullptr);
    if (!window.hwnd || !window.context.renderingContext) {
        if (window.hwnd)
            DestroyWindow(window.hwnd);
        return fail("no OpenGL window could be made");
    }
    RECT client;
    GetClientRect(window.hwnd, &client);
    if (client.right != options.width || client.bottom != options.height) {
        DestroyWindow(window.hwnd);
        return fail("no window of " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                    " could be made");
    }

    std::unique_ptr<DibImage> image(window.captureImage());
    DestroyWindow(window.hwnd);
    if (!image)
        return fail("nothing was drawn");
    if (!saveImageFile(*image, options.output.c_str()))
        return fail("cannot write " + options.output);
    return 0;
}
