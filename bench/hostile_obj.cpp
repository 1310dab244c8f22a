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
// and the result: loaded with its triangle and material counts, or failed. Under Wine give FILE as a Windows path. Sizes in MB are
// 10^6 bytes.

#include "bench/BenchSupport.h"
#include "bench/TextWriter.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

bool write(const std::string& shape, const std::string& path, std::uint64_t count)
{
    if (shape == "corners") {
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
    if (shape == "comment" || shape == "numbers") {
        return writeFile(path, [&](TextWriter& obj) {
            obj.text(shape == "comment" ? "# " : "v ");
            for (std::uint64_t i = 2; i + 1 < count; i += 2)
                obj.text(shape == "comment" ? "ab" : "1 ");
            obj.put('\n');
            obj.text(kTriangle);
            obj.text("f 1 2 3\n");
        });
    }
    if (shape == "usemtl" || shape == "usemtl-faces") {
        return writeFile(path, [&](TextWriter& obj) {
            obj.text(kTriangle);
            for (std::uint64_t i = 0; i < count; ++i) {
                obj.text(i % 2 ? "usemtl b\n" : "usemtl a\n");
                if (shape == "usemtl-faces")
                    obj.text("f 1 2 3\n");
            }
            obj.text("f 1 2 3\n");
        });
    }
    if (shape == "materials") {
        return writeFile(path, [&](TextWriter& obj) {
            obj.text(kTriangle);
            for (std::uint64_t i = 0; i < count; ++i) {
                obj.text("usemtl m");
                obj.unsignedNumber(i);
                obj.text("\nf 1 2 3\n");
            }
        });
    }
    if (shape == "newmtl") {
        return writeFile(path, [&](TextWriter& obj) {
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
    std::fprintf(stderr, "hostile_obj: unknown shape %s\n", shape.c_str());
    return false;
}

std::uint64_t defaultCount(const std::string& shape)
{
    if (shape == "corners")
        return 1000000;
    if (shape == "comment" || shape == "numbers")
        return 100000000;
    if (shape == "usemtl" || shape == "usemtl-faces")
        return 5000000;
    return 10000000;
}

int load(const char* path)
{
    const double size = bench::fileSize(path) + bench::fileSize(mtlPath(path).c_str());
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Mesh> mesh(loadObjMesh(path, 0.01, true));
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
    const std::string shape = words[1];
    std::uint64_t count = defaultCount(shape);
    if (words.size() == 4 && !bench::readWhole(words[3], 0, LLONG_MAX, count))
        return bench::usage(usage);
    if (!write(shape, words[2], count)) {
        std::fprintf(stderr, "hostile_obj: cannot write %s\n", words[2]);
        return 1;
    }
    return 0;
}
