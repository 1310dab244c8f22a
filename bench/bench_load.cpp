// Times our OBJ reader against tinyobjloader on one file:
//
//   bench_load FILE [RUNS] [--only ours|tiny] [--threads N] [--part-bytes B]
//
// Each loader reads FILE RUNS times (5 by default), the two taking turns,
// ours as the viewer calls it (scale 0.01, triangulated) and tinyobjloader
// triangulating with the MTL folder set to FILE's own. Prints the median
// times, their ratio, the speeds, the triangle counts, the bytes per triangle
// of what each returns, and the process's peak memory while the first loader
// ran. Peak memory is per process, so it describes only the loader that ran
// first: --only runs one loader, to measure each in its own process.
// --threads reads with N threads (0, the default: one per core, as the
// viewer reads; 1: on the calling thread without parts, as the viewer read
// before); --part-bytes splits the file into parts of B bytes.
//
// Under Wine give FILE as a Windows path ('Z:\tmp\grid.obj').
// MB here are 10^6 bytes.

#include "bench/BenchSupport.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <tiny_obj_loader.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

using bench::kMB;
using bench::median;
using bench::seconds;

const bench::RowPrinter row{34};

template <class Vector>
std::size_t capacityBytes(const Vector& v)
{
    return v.capacity() * sizeof(typename Vector::value_type);
}

struct Figures {
    std::vector<double> times;
    std::size_t triangles = 0;
    std::size_t bytes = 0;      // what the loader returned, allocation sizes
    std::size_t extraBytes = 0; // a part of bytes worth naming (tinyobjloader's colours)
    std::size_t materials = 0;
    bool failed = false;
    std::string error;
};

void runOurs(const char* path, const ObjSplit& split, Figures& f)
{
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Mesh> mesh(loadObjMesh(path, kLoadScale, true, split));
    const auto stop = std::chrono::steady_clock::now();
    if (!mesh) {
        f.failed = true;
        f.error = "loadObjMesh returned nothing";
        return;
    }
    f.times.push_back(seconds(stop - start));
    std::size_t triangles = 0;
    for (const auto& material : mesh->materials)
        for (std::size_t i = 0; i < material->faceCount(); ++i)
            triangles += static_cast<std::size_t>(material->face(i).cornerCount - 2);
    f.triangles = triangles;
    f.bytes = mesh->memoryBytes();
    f.materials = mesh->materials.size();
}

std::size_t tinyBytes(const tinyobj::attrib_t& attrib, const std::vector<tinyobj::shape_t>& shapes,
                      const std::vector<tinyobj::material_t>& materials)
{
    std::size_t bytes = capacityBytes(attrib.vertices) + capacityBytes(attrib.vertex_weights) +
                        capacityBytes(attrib.normals) + capacityBytes(attrib.texcoords) +
                        capacityBytes(attrib.texcoord_ws) + capacityBytes(attrib.colors) +
                        capacityBytes(attrib.skin_weights);
    bytes += capacityBytes(shapes) + capacityBytes(materials);
    for (const tinyobj::shape_t& shape : shapes) {
        bytes += shape.name.capacity() + capacityBytes(shape.mesh.indices) +
                 capacityBytes(shape.mesh.num_face_vertices) + capacityBytes(shape.mesh.material_ids) +
                 capacityBytes(shape.mesh.smoothing_group_ids) + capacityBytes(shape.mesh.tags) +
                 capacityBytes(shape.lines.indices) + capacityBytes(shape.lines.num_line_vertices) +
                 capacityBytes(shape.points.indices);
    }
    return bytes;
}

void runTiny(const char* path, const std::string& folder, Figures& f)
{
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn;
    std::string err;
    bool ok = false;
    const auto start = std::chrono::steady_clock::now();
    try {
        ok = tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path,
                              folder.empty() ? nullptr : folder.c_str(), true);
    } catch (const std::bad_alloc&) {
        err = "out of memory";
    }
    const auto stop = std::chrono::steady_clock::now();
    if (!ok) {
        f.failed = true;
        f.error = err.empty() ? "LoadObj returned false" : err;
        return;
    }
    f.times.push_back(seconds(stop - start));
    std::size_t triangles = 0;
    for (const tinyobj::shape_t& shape : shapes)
        for (unsigned char corners : shape.mesh.num_face_vertices)
            triangles += corners >= 3 ? corners - 2u : 0u;
    f.triangles = triangles;
    f.bytes = tinyBytes(attrib, shapes, materials);
    f.extraBytes = capacityBytes(attrib.colors);
    f.materials = materials.size();
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void printOurs(const Figures& mine, double size)
{
    if (mine.failed) {
        row("ours", "FAILED (%s)", mine.error.c_str());
        return;
    }
    const double t = median(mine.times);
    row("ours triangles", "%s", std::to_string(mine.triangles).c_str());
    row("ours materials", "%s", std::to_string(mine.materials).c_str());
    row("ours load (median)", "%.3f s", t);
    row("ours speed", "%.1f MB/s", size / kMB / t);
    row("ours bytes/triangle", "%.1f", static_cast<double>(mine.bytes) / static_cast<double>(mine.triangles));
    row("ours mesh size", "%.1f MB", static_cast<double>(mine.bytes) / kMB);
}

void printTiny(const Figures& theirs, double size)
{
    if (theirs.failed) {
        row("tinyobjloader", "FAILED (%s)", theirs.error.c_str());
        return;
    }
    const double t = median(theirs.times);
    const double triangles = static_cast<double>(theirs.triangles);
    row("tinyobjloader triangles", "%s", std::to_string(theirs.triangles).c_str());
    row("tinyobjloader materials", "%s", std::to_string(theirs.materials).c_str());
    row("tinyobjloader load (median)", "%.3f s", t);
    row("tinyobjloader speed", "%.1f MB/s", size / kMB / t);
    row("tinyobjloader bytes/triangle", "%.1f", static_cast<double>(theirs.bytes) / triangles);
    row("  of which vertex colours", "%.1f", static_cast<double>(theirs.extraBytes) / triangles);
    row("tinyobjloader data size", "%.1f MB", static_cast<double>(theirs.bytes) / kMB);
}

void printComparison(const Figures& mine, const Figures& theirs)
{
    row("time ratio ours/tinyobjloader", "%.3f", median(mine.times) / median(theirs.times));
    row("bytes/triangle ratio ours/tiny", "%.3f",
        (static_cast<double>(mine.bytes) / static_cast<double>(mine.triangles)) /
            (static_cast<double>(theirs.bytes) / static_cast<double>(theirs.triangles)));
    if (mine.triangles != theirs.triangles)
        row("WARNING", "the loaders disagree on the triangle count");
}

} // namespace

int main(int argc, char** argv)
{
    const char* const usage = "bench_load FILE [RUNS] [--only ours|tiny] [--threads N] [--part-bytes B]";
    const char* only = nullptr;
    const char* threads = nullptr;
    const char* partBytes = nullptr;
    ObjSplit split{ObjSplit::kEveryCore};
    std::vector<const char*> words;
    int runs = 5;
    if (!bench::readArguments(
            argc, argv,
            {{"--only", nullptr, &only}, {"--threads", nullptr, &threads}, {"--part-bytes", nullptr, &partBytes}},
            words) ||
        words.empty() || words.size() > 2 || (words.size() == 2 && !bench::readWhole(words[1], 1, INT_MAX, runs)) ||
        (threads && !bench::readWhole(threads, 0, 64, split.threads)) ||
        (partBytes && !bench::readWhole(partBytes, 1, INT_MAX, split.partBytes)))
        return bench::usage(usage);
    if (only && std::strcmp(only, "ours") != 0 && std::strcmp(only, "tiny") != 0)
        return bench::usage(usage);
    const char* path = words[0];
    const bool ours = !only || std::strcmp(only, "ours") == 0;
    const bool tiny = !only || std::strcmp(only, "tiny") == 0;

    const double size = bench::fileSize(path);
    if (size <= 0.0) {
        std::fprintf(stderr, "bench_load: cannot read %s\n", path);
        return 1;
    }
    const std::string folder = folderOf(path);
    const bench::Memory atStart = bench::processMemory();

    // Turns: ours, tinyobjloader, ours, ... Peak memory is read after the
    // first load, while only one loader has run in this process.
    Figures mine;
    Figures theirs;
    bench::Memory afterFirst;
    const char* first = ours ? "ours" : "tinyobjloader";
    for (int r = 0; r < runs; ++r) {
        if (ours && !mine.failed)
            runOurs(path, split, mine);
        if (r == 0)
            afterFirst = bench::processMemory();
        if (tiny && !theirs.failed)
            runTiny(path, folder, theirs);
        if (r == 0 && !ours)
            afterFirst = bench::processMemory();
    }

    row("file", "%s", path);
    row("file size", "%.1f MB", size / kMB);
    row("runs", "%d", runs);
    const Figures* firstFigures = ours ? &mine : &theirs;
    if (ours)
        printOurs(mine, size);
    if (tiny)
        printTiny(theirs, size);
    if (ours && tiny && !mine.failed && !theirs.failed)
        printComparison(mine, theirs);
    if (!firstFigures->failed) {
        const std::string who = first;
        const double above = afterFirst.peak - atStart.current;
        row((who + " peak resident").c_str(), "%.1f MB", afterFirst.peak / kMB);
        row((who + " peak above start").c_str(), "%.1f MB", above / kMB);
        row((who + " peak / returned size").c_str(), "%.2f", above / static_cast<double>(firstFigures->bytes));
#ifdef _WIN32
        if (!bench::underWine())
            row((who + " peak private bytes").c_str(), "%.1f MB", afterFirst.peakPrivate / kMB);
#endif
    }
    return (ours && mine.failed) || (tiny && theirs.failed) ? 1 : 0;
}
