// Times the viewer's frames on one mesh against what the driver does with
// the same triangles from vertex arrays:
//
//   bench_frame FILE [FRAMES] [--each-triangle]
//
// Opens FILE in a real viewer window with the client area the program starts
// with (512 x 512) and draws FRAMES frames (10 by default) of each kind,
// taking turns:
//   plain     the viewer's plain frame
//   anaglyph  the viewer's anaglyph frame (the mesh drawn twice)
//   arrays    the mesh's triangles from client vertex arrays (texture
//             coordinates, normals, positions as floats), one glDrawArrays
//             with the first material's colours, untextured: the driver's
//             own limit for this geometry
// and with --each-triangle also the plain and the anaglyph frame with every
// triangle sent in its own glBegin/glEnd pair (drawMeshImmediate), the way
// the viewer drew before it kept display lists.
//
// Every frame goes the real way: redraw, WM_PAINT, beginPaint, drawing,
// endPaint (the swap); then glFinish, so that a frame counts only once the
// driver has finished it. Prints the median milliseconds per frame of each
// kind, the ratios to the arrays frame and the triangle count; then the
// first frame of a mesh, drawn before its display lists are there, and the
// recording of the lists that follows it, with the memory they take (the
// process's working set before and after). Last the first picture, plain
// and anaglyph, three times each, taking turns: the time from openMesh (the
// Open Mesh command, the file read again) until the driver has finished its
// first frame. Each is preceded by a load of the file alone and a steady
// frame of its mode (the second after the last open), and is printed as
// (first picture - load) / steady frame, and as the part from its frame's
// WM_PAINT on (which leaves out the load and the release of the last mesh)
// / steady frame.
//
// Under Wine give FILE as a Windows path ('Z:\tmp\grid.obj'). MB here are
// 10^6 bytes.

#include "app/ViewerWindow.h"
#include "bench/BenchSupport.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using bench::kMB;
using bench::median;
using bench::seconds;

constexpr int kFirstPictures = 3; // of each mode

const bench::RowPrinter row{44};

// The viewer's triangles as the arrays frame sends them.
struct TriangleArrays {
    std::vector<GLfloat> texCoords; // 2 a corner
    std::vector<GLfloat> normals;   // 3 a corner
    std::vector<GLfloat> positions; // 3 a corner
    GLsizei corners = 0;

    void build(const Mesh& mesh)
    {
        std::size_t count = 0;
        for (const auto& material : mesh.materials)
            for (std::size_t f = 0; f < material->faceCount(); ++f)
                count += material->face(f).cornerCount == 3 ? 3 : 0;
        texCoords.reserve(count * 2);
        normals.reserve(count * 3);
        positions.reserve(count * 3);
        for (const auto& material : mesh.materials) {
            for (std::size_t f = 0; f < material->faceCount(); ++f) {
                const Face face = material->face(f);
                if (face.cornerCount != 3)
                    continue;
                for (int j = 0; j < 3; ++j) {
                    const Corner& c = face.corner(j);
                    const TexCoord& t = mesh.texCoords[static_cast<std::size_t>(c.texCoord)];
                    const Vec3& n = mesh.normals[static_cast<std::size_t>(c.normal)];
                    const Vec3& p = mesh.positions[static_cast<std::size_t>(c.position)];
                    texCoords.insert(texCoords.end(), {static_cast<GLfloat>(t.u), static_cast<GLfloat>(1.0 - t.v)});
                    normals.insert(normals.end(),
                                   {static_cast<GLfloat>(n.x), static_cast<GLfloat>(n.y), static_cast<GLfloat>(n.z)});
                    positions.insert(positions.end(),
                                     {static_cast<GLfloat>(p.x), static_cast<GLfloat>(p.y), static_cast<GLfloat>(p.z)});
                }
            }
        }
        corners = static_cast<GLsizei>(count);
    }

    std::size_t bytes() const { return (texCoords.size() + normals.size() + positions.size()) * sizeof(GLfloat); }
};

// The viewer, which paints its frames with the mesh sent by painter: its
// own display lists, a glBegin/glEnd pair a triangle, or drawArrays.
class BenchViewer : public ViewerWindow {
public:
    LRESULT windowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message == WM_PAINT) {
            paintStart = std::chrono::steady_clock::now();
            paintFrame(painter);
            return 0;
        }
        return ViewerWindow::windowProc(message, wParam, lParam);
    }

    // The first material's colours, untextured, then the whole mesh in one
    // draw from the arrays.
    void drawArrays()
    {
        if (mesh && !mesh->materials.empty()) {
            const Material& m = *mesh->materials.front();
            const GLfloat diffuse[4] = {m.diffuse[0], m.diffuse[1], m.diffuse[2], 1.0f};
            const GLfloat specular[4] = {m.specular[0], m.specular[1], m.specular[2], 1.0f};
            const GLfloat emission[4] = {m.ambient[0] * m.diffuse[0], m.ambient[1] * m.diffuse[1],
                                         m.ambient[2] * m.diffuse[2], 1.0f};
            glColor3fv(diffuse);
            glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
            glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
            glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
            glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.shininess);
        }
        if (arrays.corners > 0) {
            glEnableClientState(GL_TEXTURE_COORD_ARRAY);
            glEnableClientState(GL_NORMAL_ARRAY);
            glEnableClientState(GL_VERTEX_ARRAY);
            glTexCoordPointer(2, GL_FLOAT, 0, arrays.texCoords.data());
            glNormalPointer(GL_FLOAT, 0, arrays.normals.data());
            glVertexPointer(3, GL_FLOAT, 0, arrays.positions.data());
            glDrawArrays(GL_TRIANGLES, 0, arrays.corners);
            glDisableClientState(GL_VERTEX_ARRAY);
            glDisableClientState(GL_NORMAL_ARRAY);
            glDisableClientState(GL_TEXTURE_COORD_ARRAY);
        }
    }

    MeshPainter painter = &ViewerWindow::drawMesh;
    TriangleArrays arrays;
    std::chrono::steady_clock::time_point paintStart; // of the last WM_PAINT
};

void pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Milliseconds from start until the driver has finished what it was sent.
double finished(BenchViewer& viewer, std::chrono::steady_clock::time_point start)
{
    viewer.context.makeCurrent(nullptr);
    glFinish();
    viewer.context.releaseCurrent();
    return seconds(std::chrono::steady_clock::now() - start) * 1000.0;
}

// One frame through the paint message.
double timeFrame(BenchViewer& viewer)
{
    pumpMessages();
    const auto start = std::chrono::steady_clock::now();
    viewer.redraw();
    return finished(viewer, start);
}

// Milliseconds to read the file alone, as openMesh does.
double timeLoad(const char* path)
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Mesh> mesh(loadObjMesh(path, kLoadScale, true));
    const double ms = seconds(std::chrono::steady_clock::now() - start) * 1000.0;
    return mesh ? ms : 0.0;
}

// The first picture of the mesh in the current mode: the file opened again
// as the Open Mesh command does it, until the driver has finished its first
// frame. Also the part of it from that frame's WM_PAINT on.
struct FirstPicture {
    double ms;
    double frameMs;
};

FirstPicture timeFirstPicture(BenchViewer& viewer, const char* path)
{
    pumpMessages();
    const auto start = std::chrono::steady_clock::now();
    viewer.openMesh(path);
    const double ms = finished(viewer, start);
    return {ms, ms - seconds(viewer.paintStart - start) * 1000.0};
}

// Median, fastest and slowest of a series.
void rowOfTimes(const char* label, const char* unit, const std::vector<double>& t)
{
    row(label, "%.2f%s  (%.2f .. %.2f)", median(t), unit, *std::min_element(t.begin(), t.end()),
        *std::max_element(t.begin(), t.end()));
}

enum Kind { Plain, Anaglyph, Arrays, PlainEach, AnaglyphEach, KindCount };

const char* const kKindNames[KindCount] = {"plain", "anaglyph", "arrays", "plain, each triangle",
                                           "anaglyph, each triangle"};

// The arrays frame is a plain frame.
double timeFrame(BenchViewer& viewer, Kind kind)
{
    viewer.anaglyphMode = kind == Anaglyph || kind == AnaglyphEach;
    if (kind == Arrays)
        viewer.painter = static_cast<ViewerWindow::MeshPainter>(&BenchViewer::drawArrays);
    else if (kind == PlainEach || kind == AnaglyphEach)
        viewer.painter = &ViewerWindow::drawMeshImmediate;
    else
        viewer.painter = &ViewerWindow::drawMesh;
    return timeFrame(viewer);
}

struct LoadFigures {
    std::size_t triangles = 0;
    double meshBytes = 0.0;
    double seconds = 0.0;
};

// One timed load of the file; false when it cannot be read.
bool loadAlone(const char* path, LoadFigures& figures)
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Mesh> mesh(loadObjMesh(path, kLoadScale, true));
    figures.seconds = seconds(std::chrono::steady_clock::now() - start);
    if (!mesh)
        return false;
    for (const auto& material : mesh->materials)
        for (std::size_t f = 0; f < material->faceCount(); ++f)
            figures.triangles += material->face(f).cornerCount == 3 ? 1 : 0;
    figures.meshBytes = static_cast<double>(mesh->memoryBytes());
    return true;
}

// The viewer window with the client area the program starts with, showing
// the mesh of path, and the name and samples of its renderer; false when
// there is no such window.
bool openViewer(BenchViewer& viewer, const char* path, std::string& renderer, GLint& samples)
{
    viewer.startMesh = ViewerWindow::StartMesh::FromPath;
    viewer.startMeshPath = path;
    viewer.createMainWindow(512, 512);
    if (!viewer.hwnd || !viewer.context.renderingContext || !viewer.mesh)
        return false;
    pumpMessages();
    viewer.context.makeCurrent(nullptr);
    if (const GLubyte* name = glGetString(GL_RENDERER))
        renderer = reinterpret_cast<const char*>(name);
    glGetIntegerv(GL_SAMPLES, &samples);
    viewer.context.releaseCurrent();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const char* const usage = "bench_frame FILE [FRAMES] [--each-triangle]";
    bool eachTriangle = false;
    std::vector<const char*> words;
    int frames = 10;
    if (!bench::readArguments(argc, argv, {{"--each-triangle", &eachTriangle}}, words) || words.empty() ||
        words.size() > 2 || (words.size() == 2 && !bench::readWhole(words[1], 1, INT_MAX, frames)))
        return bench::usage(usage);
    const char* path = words[0];
    const int kinds = eachTriangle ? KindCount : Arrays + 1;

    // Read once on its own first: it times the load, and a file that cannot
    // be read ends here rather than in the viewer's message box.
    LoadFigures load;
    if (!loadAlone(path, load)) {
        std::fprintf(stderr, "bench_frame: cannot load %s\n", path);
        return 1;
    }
    BenchViewer viewer;
    std::string renderer = "?";
    GLint samples = 0;
    if (!openViewer(viewer, path, renderer, samples)) {
        std::fprintf(stderr, "bench_frame: no viewer window with the mesh\n");
        return 1;
    }

    try {
        viewer.arrays.build(*viewer.mesh);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "bench_frame: no memory for the vertex arrays\n");
        return 1;
    }

    // One frame of each kind before timing, then the kinds take turns.
    std::vector<double> times[KindCount];
    for (int kind = 0; kind < kinds; ++kind)
        timeFrame(viewer, static_cast<Kind>(kind));
    for (int i = 0; i < frames; ++i)
        for (int kind = 0; kind < kinds; ++kind)
            times[kind].push_back(timeFrame(viewer, static_cast<Kind>(kind)));

    // After a new mesh: a frame drawn from batches, then the lists recorded
    // once it is shown, as the viewer does, with the memory they take.
    viewer.context.makeCurrent(nullptr);
    const double withLists = bench::processMemory().current;
    viewer.meshLists.release();
    glFinish();
    const double withoutLists = bench::processMemory().current;
    viewer.context.releaseCurrent();
    const double batchFrame = timeFrame(viewer, Plain);
    const auto recordStart = std::chrono::steady_clock::now();
    pumpMessages();
    const double recording = finished(viewer, recordStart);
    const double recorded = bench::processMemory().current;
    const bool listsReady = viewer.meshLists.ready();

    // The first pictures, the two modes taking turns. Each comes with a load
    // and a steady frame of its mode timed just before it, so that the ratio
    // compares times taken under the same load of the machine.
    std::vector<double> firstTimes[2];
    std::vector<double> firstRatios[2];
    std::vector<double> frameRatios[2];
    for (int i = 0; i < kFirstPictures; ++i)
        for (int mode = 0; mode < 2; ++mode) {
            const double load = timeLoad(path);
            timeFrame(viewer, mode ? Anaglyph : Plain); // after the last open's lists
            const double steady = timeFrame(viewer, mode ? Anaglyph : Plain);
            const FirstPicture first = timeFirstPicture(viewer, path);
            firstTimes[mode].push_back(first.ms);
            firstRatios[mode].push_back((first.ms - load) / steady);
            frameRatios[mode].push_back(first.frameMs / steady);
        }

    row("file", "%s", path);
    row("renderer", "%s, %d samples a pixel", renderer.c_str(), samples);
    row("window client area", "512 x 512");
    row("triangles", "%s", std::to_string(load.triangles).c_str());
    row("materials", "%s", std::to_string(viewer.mesh->materials.size()).c_str());
    row("frames of each kind", "%d", frames);
    for (int kind = 0; kind < kinds; ++kind) {
        const std::vector<double>& t = times[kind];
        char label[64];
        std::snprintf(label, sizeof label, "%s frame (median)", kKindNames[kind]);
        row(label, "%.1f ms  (%.1f .. %.1f)", median(t), *std::min_element(t.begin(), t.end()),
            *std::max_element(t.begin(), t.end()));
    }
    const double arrays = median(times[Arrays]);
    row("ratio plain/arrays", "%.2f", median(times[Plain]) / arrays);
    row("ratio anaglyph/arrays", "%.2f", median(times[Anaglyph]) / arrays);
    if (eachTriangle) {
        row("ratio plain, each triangle/arrays", "%.2f", median(times[PlainEach]) / arrays);
        row("ratio anaglyph, each triangle/arrays", "%.2f", median(times[AnaglyphEach]) / arrays);
    }
    row("plain frame before the lists (batches)", "%.1f ms", batchFrame);
    row("recording the lists after it", "%.1f ms%s", recording, listsReady ? "" : " (NO LISTS: batches stay)");
    row("working set", "%.1f MB", withLists / kMB);
    row("display lists (released, recorded)", "%+.1f MB, %+.1f MB", (withoutLists - withLists) / kMB,
        (recorded - withoutLists) / kMB);
    row("load alone", "%.3f s", load.seconds);
    for (int mode = 0; mode < 2; ++mode) {
        const char* name = kKindNames[mode ? Anaglyph : Plain];
        char label[64];
        std::snprintf(label, sizeof label, "first picture, %s (median)", name);
        rowOfTimes(label, " ms", firstTimes[mode]);
        std::snprintf(label, sizeof label, "  (first - load) / steady %s frame", name);
        rowOfTimes(label, "", firstRatios[mode]);
        std::snprintf(label, sizeof label, "  its frame / steady %s frame", name);
        rowOfTimes(label, "", frameRatios[mode]);
    }
    row("mesh size", "%.1f MB", load.meshBytes / kMB);
    row("vertex arrays (arrays frame)", "%.1f MB", static_cast<double>(viewer.arrays.bytes()) / kMB);

    DestroyWindow(viewer.hwnd);
    pumpMessages();
    return 0;
}
