// Hostile OBJ and MTL shapes for the reader, and a timed load of one file:
//
//   hostile_obj write SHAPE OUT.obj [COUNT]
//   hostile_obj load FILE
//
// write makes OUT.obj (and OUT.mtl where the shape has a library) with
// COUNT of the shape's repeated part, its default when not given:
//
//   corners     one face of COUNT corners over 1000 positions    (1,000,000)
//   comment     a triangle after a comment line of COUNT bytes  (100,000,000)
//   numbers     a triangle after one "v" line of COUNT bytes of numbers,
//               which has the wrong word count and is skipped   (100,000,000)
//   usemtl      COUNT usemtl lines alternating two names, then one face
//                                                                (5,000,000)
//   usemtl-faces  the same with a face after every usemtl       (5,000,000)
//   materials   usemtl m0 ... m(COUNT-1), one face each, no library
//                                                               (10,000,000)
//   newmtl      one face, and a library of COUNT materials (newmtl and Kd)
//               that no face uses                               (10,000,000)
//
// load reads FILE with loadObjMesh as the viewer does (scale 0.01,
// triangulated) and prints one line: file size (OBJ + MTL), load time,
// peak memory of the process (resident on Linux, working set on Windows)
// and the result: loaded with its triangle and material counts, or failed. Under Wine give FILE as a Windows path.
// Sizes in MB are 10^6 bytes.

#include "bench/BenchSupport.h"
#include "bench/TextWriter.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using bench::kMB;

// Writes the file at path through fill(out); false when any of it could
// not be written.
template <class Fill>
bool writeFile(const std::string& path, Fill fill)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool ok;
    {
        TextWriter out(file);
        fill(out);
        out.flush();
        ok = !out.failed();
    }
    return std::fclose(file) == 0 && ok;
}

const char* const kTriangle = "v 0 0 0\nv 100 0 0\nv 0 100 0\n";

std::string mtlPath(const std::string& obj)
{
    const std::size_t dot = obj.find_last_of('.');
    return (dot == std::string::npos ? obj : obj.substr(0, dot)) + ".mtl";
}

bool writeCorners(const std::string& path, std::uint64_t count)
{
    return writeFile(path, [&](TextWriter& obj) {
        // 1000 positions on a circle, visited again and again.
        for (int i = 0; i < 1000; ++i) {
            obj.text("v ");
            obj.unsignedNumber(static_cast<std::uint64_t>(500 + i % 37));
            obj.text(" ");
            obj.unsignedNumber(static_cast<std::uint64_t>(300 + i % 53));
            obj.text(" 0\n");
        }
        obj.text("f");
        for (std::uint64_t i = 0; i < count; ++i) {
            obj.put(' ');
            obj.unsignedNumber(1 + i % 1000);
        }
        obj.put('\n');
    });
}

// A comment line, or a "v" line of numbers, of count bytes before a triangle.
bool writeLongLine(const std::string& path, std::uint64_t count, bool comment)
{
    return writeFile(path, [&](TextWriter& obj) {
        obj.text(comment ? "# " : "v ");
        for (std::uint64_t i = 2; i + 1 < count; i += 2)
            obj.text(comment ? "ab" : "1 ");
        obj.put('\n');
        obj.text(kTriangle);
        obj.text("f 1 2 3\n");
    });
}

bool writeUsemtl(const std::string& path, std::uint64_t count, bool faces)
{
    return writeFile(path, [&](TextWriter& obj) {
        obj.text(kTriangle);
        for (std::uint64_t i = 0; i < count; ++i) {
            obj.text(i % 2 ? "usemtl b\n" : "usemtl a\n");
            if (faces)
                obj.text("f 1 2 3\n");
        }
        obj.text("f 1 2 3\n");
    });
}

bool writeMaterials(const std::string& path, std::uint64_t count)
{
    return writeFile(path, [&](TextWriter& obj) {
        obj.text(kTriangle);
        for (std::uint64_t i = 0; i < count; ++i) {
            obj.text("usemtl m");
            obj.unsignedNumber(i);
            obj.text("\nf 1 2 3\n");
        }
    });
}

bool writeNewmtl(const std::string& path, std::uint64_t count)
{
    return writeFile(path,
                     [&](TextWriter& obj) {
                         obj.text(kTriangle);
                         obj.text("usemtl used\nf 1 2 3\n");
                     }) &&
           writeFile(mtlPath(path), [&](TextWriter& mtl) {
               mtl.text("newmtl used\nKd 1 1 1\n");
               for (std::uint64_t i = 0; i < count; ++i) {
                   mtl.text("newmtl m");
                   mtl.unsignedNumber(i);
                   mtl.text("\nKd 0.5 0.5 0.5\n");
               }
           });
}

// A shape: its name, its count when none is given, and its writer.
struct Shape {
    const char* name;
    std::uint64_t defaultCount;
    bool (*write)(const std::string& path, std::uint64_t count);
};

using Path = const std::string&;

const Shape kShapes[] = {
    {"corners", 1000000, writeCorners},
    {"comment", 100000000, [](Path path, std::uint64_t count) { return writeLongLine(path, count, true); }},
    {"numbers", 100000000, [](Path path, std::uint64_t count) { return writeLongLine(path, count, false); }},
    {"usemtl", 5000000, [](Path path, std::uint64_t count) { return writeUsemtl(path, count, false); }},
    {"usemtl-faces", 5000000, [](Path path, std::uint64_t count) { return writeUsemtl(path, count, true); }},
    {"materials", 10000000, writeMaterials},
    {"newmtl", 10000000, writeNewmtl},
};

int load(const char* path)
{
    const double size = bench::fileSize(path) + bench::fileSize(mtlPath(path).c_str());
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Mesh> mesh(loadObjMesh(path, kLoadScale, true));
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = bench::processMemory().peak;
    std::printf("size %.1f MB  load %.2f s  peak %.1f MB (%.1f x size)  ", size / kMB, seconds, peak / kMB,
                size > 0 ? peak / size : 0.0);
    if (!mesh) {
        std::printf("failed\n");
        return 1;
    }
    std::size_t triangles = 0;
    for (const auto& material : mesh->materials)
        for (std::size_t i = 0; i < material->faceCount(); ++i)
            triangles += static_cast<std::size_t>(material->face(i).cornerCount - 2);
    std::printf("loaded: %zu triangles, %zu materials\n", triangles, mesh->materials.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const char* const usage = "hostile_obj write SHAPE OUT.obj [COUNT]\n       hostile_obj load FILE";
    std::vector<const char*> words;
    if (!bench::readArguments(argc, argv, {}, words) || words.empty())
        return bench::usage(usage);
    const std::string command = words[0];
    if (command == "load" && words.size() == 2)
        return load(words[1]);
    if (command != "write" || words.size() < 3 || words.size() > 4)
        return bench::usage(usage);
    const Shape* shape = std::find_if(std::begin(kShapes), std::end(kShapes),
                                      [&words](const Shape& s) { return std::strcmp(s.name, words[1]) == 0; });
    if (shape == std::end(kShapes)) {
        std::fprintf(stderr, "hostile_obj: unknown shape %s\n", words[1]);
        return 1;
    }
    std::uint64_t count = shape->defaultCount;
    if (words.size() == 4 && !bench::readWhole(words[3], 0, LLONG_MAX, count))
        return bench::usage(usage);
    if (!shape->write(words[2], count)) {
        std::fprintf(stderr, "hostile_obj: cannot write %s\n", words[2]);
        return 1;
    }
    return 0;
}
