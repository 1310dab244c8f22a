// corvasi-render: draws one view of a mesh with the viewer's own window and
// drawing code and writes the picture as a 24-bit BMP file, with no user
// interface.

#include "app/SmoothCaptureWindow.h"
#include "app/ViewerWindow.h"
#include "image/DibImage.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
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
    "  --samples N    frames averaged for smooth edges, 1..256; 1 is the\n"
    "                 viewer's own picture (8)\n"
    "  --as-is        the mesh where the file puts it; without it a mesh that\n"
    "                 the start view does not show well is placed, as the\n"
    "                 viewer places it\n"
    "  -o OUT.bmp     the file to write\n";

struct Options {
    bool anaglyph = false;
    int depth = 300;
    int width = 512;
    int height = 512;
    double turn = 0.0;
    double tilt = 0.0;
    double scale = 1.0;
    int samples = 8;
    bool asIs = false;
    std::string output;
    std::string mesh;
    bool help = false;
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

// One option of the command line: its name, what its value must be (null
// for an option without a value) and how it is stored; store is false for a
// value that is not good.
struct OptionRule {
    const char* name;
    const char* wants;
    bool (*store)(const char* value, Options& options);
};

const OptionRule kOptionRules[] = {
    {"--help", nullptr, [](const char*, Options& o) { return o.help = true; }},
    {"-h", nullptr, [](const char*, Options& o) { return o.help = true; }},
    {"--anaglyph", nullptr, [](const char*, Options& o) { return o.anaglyph = true; }},
    {"--depth", "a whole number from 0 to 1000",
     [](const char* v, Options& o) { return parseInt(v, 0, 1000, o.depth); }},
    {"--size", "WIDTHxHEIGHT, whole numbers above 0",
     [](const char* v, Options& o) { return parseSize(v, o.width, o.height); }},
    {"--turn", "a number of degrees", [](const char* v, Options& o) { return parseNumber(v, o.turn); }},
    {"--tilt", "a number of degrees", [](const char* v, Options& o) { return parseNumber(v, o.tilt); }},
    {"--scale", "a number above 0", [](const char* v, Options& o) { return parseNumber(v, o.scale) && o.scale > 0; }},
    {"--samples", "a whole number from 1 to 256",
     [](const char* v, Options& o) { return parseInt(v, 1, 256, o.samples); }},
    {"--as-is", nullptr, [](const char*, Options& o) { return o.asIs = true; }},
    {"-o", "a file name",
     [](const char* v, Options& o) {
         o.output = v;
         return true;
     }},
};

// A lone "-" is a file name.
bool isOptionName(const char* arg)
{
    return arg[0] == '-' && arg[1];
}

// The option at argv[i], and its value if it takes one (i then moves on to
// it). Empty when it is good; otherwise what is wrong.
std::string takeOption(int argc, char** argv, int& i, Options& options)
{
    const std::string name = argv[i];
    const OptionRule* rule = std::find_if(std::begin(kOptionRules), std::end(kOptionRules),
                                          [&name](const OptionRule& r) { return name == r.name; });
    if (rule == std::end(kOptionRules))
        return "unknown option " + name;
    if (rule->wants && i + 1 >= argc)
        return name + " needs a value";
    const char* value = rule->wants ? argv[++i] : nullptr;
    if (!rule->store(value, options))
        return name + " wants " + rule->wants + ", not \"" + value + "\"";
    return std::string();
}

std::string takeMesh(const char* arg, Options& options)
{
    if (!options.mesh.empty())
        return std::string("one mesh only; ") + arg + " is one too many";
    options.mesh = arg;
    return std::string();
}

std::string missingArgument(const Options& options)
{
    if (options.mesh.empty())
        return "no mesh given";
    if (options.output.empty())
        return "no output file given (-o OUT.bmp)";
    return std::string();
}

// Empty when the arguments are good; otherwise what is wrong with them.
std::string parseArguments(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string problem =
            isOptionName(argv[i]) ? takeOption(argc, argv, i, options) : takeMesh(argv[i], options);
        if (!problem.empty())
            return problem;
    }
    return options.help ? std::string() : missingArgument(options);
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

// The picture's size against the largest viewport of the driver: 0 when it
// can be drawn, otherwise the exit code, after the message.
int checkPictureSize(const Options& options)
{
    // Asked before the picture's window exists: its buffers take the size.
    GLint largest[2] = {0, 0};
    if (!driverViewportLimit(largest))
        return fail("no OpenGL window could be made");
    if (options.width > largest[0] || options.height > largest[1])
        return usageError("a picture of " + std::to_string(options.width) + "x" + std::to_string(options.height) +
                          " is larger than the OpenGL driver draws (" + std::to_string(largest[0]) + "x" +
                          std::to_string(largest[1]) + ")");
    return 0;
}

// The viewer's window and drawing, with the view of the options. Its context
// is made as the viewer makes its own, but nothing else of the viewer's
// start-up runs: no showing and activation, no open dialog, no message box.
class RenderWindow : public SmoothCaptureWindow {
public:
    explicit RenderWindow(const Options& options)
    {
        startMesh = StartMesh::Nothing;
        anaglyphMode = options.anaglyph;
        anaglyphDepth = options.depth;
        camera.angles.x = foldAngle(options.turn);
        camera.angles.y = foldAngle(options.tilt);
        camera.scale = options.scale;
        samples = options.samples;
    }

    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_CREATE) {
            setUpSmoothContext();
            return 0;
        }
        return ViewerWindow::windowProc(message, wParam, lParam);
    }

    // Creates the window with a client area of the picture's size; empty
    // when it could, otherwise what went wrong.
    // The window is never shown: the capture draws into its back buffer and
    // reads the picture from there. A popup without a frame keeps any size,
    // where a captioned or sizable window is made to fit the screen.
    // NOTE: Wine does not resize the drawable of a hidden window, so it is
    // made at the picture's size.
    std::string open(int width, int height)
    {
        create(0, "corvasi-render", WS_POPUP, 0, 0, width, height, nullptr, nullptr, nullptr);
        if (!hwnd || !context.renderingContext) {
            if (hwnd)
                DestroyWindow(hwnd);
            return "no OpenGL window could be made";
        }
        RECT client;
        GetClientRect(hwnd, &client);
        if (client.right != width || client.bottom != height) {
            DestroyWindow(hwnd);
            return "no window of " + std::to_string(width) + "x" + std::to_string(height) + " could be made";
        }
        return std::string();
    }
};

} // namespace

int main(int argc, char** argv)
{
    Options options;
    const std::string problem = parseArguments(argc, argv, options);
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!problem.empty())
        return usageError(problem);

    // Read first, so that an unreadable mesh is an error message here rather
    // than the viewer's message box.
    std::unique_ptr<Mesh> mesh(loadObjMesh(options.mesh.c_str(), kLoadScale, true));
    if (!mesh)
        return fail("cannot load mesh " + options.mesh);

    appInstance = GetModuleHandleA(nullptr);
    if (const int refused = checkPictureSize(options))
        return refused;
    RenderWindow window(options);
    const std::string notMade = window.open(options.width, options.height);
    if (!notMade.empty())
        return fail(notMade);
    // Placed for the picture's viewport, which the window now has.
    window.mesh = mesh.release();
    if (!options.asIs)
        window.placeMeshForStartView();

    std::unique_ptr<DibImage> image(window.captureSmoothImage());
    DestroyWindow(window.hwnd);
    if (!image)
        return fail("nothing was drawn");
    if (!saveImageFile(*image, options.output.c_str()))
        return fail("cannot write " + options.output);
    return 0;
}
