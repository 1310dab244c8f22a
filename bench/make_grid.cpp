// Writes a synthetic OBJ mesh of about a given number of triangles, and its
// MTL library, for the load benchmark:
//
//   make_grid OUT.obj TRIANGLES [--no-uv] [--no-normals] [--quads]
//             [--ngons N] [--materials M]
//
// The mesh is a gently waved height field laid out like an exporter writes
// it: all positions, then texture coordinates, then normals, then faces,
// every number with six decimals ("%.6f"). Faces are triangles by default;
// --quads writes one quad per grid cell and --ngons N (5 or more) one convex
// N-gon per cell, with its own N corners, so that the readers have polygons
// to triangulate. With M materials (4 by default, 0 for none) the faces switch
// material every few rows, cycling through M materials that OUT.mtl defines.
// The content depends only on the arguments.

#include "bench/BenchSupport.h"
#include "bench/TextWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kSpacing = 0.987654; // grid step, in file units
constexpr double kWavePeriod = 64.0;  // cells per wave
constexpr double kWaveHeight = 20.0;
constexpr int kRowsPerMaterial = 4;

// A smooth wave in [-1, 1] with period 1, made of two parabolas (continuous
// slope), and its derivative; plain arithmetic, so every platform computes
// the same digits.
double wave(double t)
{
    const double u = t - std::floor(t);
    return u < 0.5 ? 16.0 * u * (0.5 - u) : -16.0 * (u - 0.5) * (1.0 - u);
}

double waveSlope(double t)
{
    const double u = t - std::floor(t);
    return u < 0.5 ? 16.0 * (0.5 - 2.0 * u) : -16.0 * (1.5 - 2.0 * u);
}

struct Surface {
    double originX;
    double originY;

    double height(double x, double y) const
    {
        return kWaveHeight * wave(x / (kWavePeriod * kSpacing)) * wave(y / (1.5 * kWavePeriod * kSpacing));
    }

    void writeVertex(TextWriter& out, double x, double y) const
    {
        out.text("v ");
        out.fixed6(x);
        out.put(' ');
        out.fixed6(height(x, y));
        out.put(' ');
        out.fixed6(-y);
        out.put('\n');
    }

    // The unit normal of the height field, in the file's axes (y up, the
    // grid's y along -z).
    void writeNormal(TextWriter& out, double x, double y) const
    {
        const double px = kWavePeriod * kSpacing;
        const double py = 1.5 * kWavePeriod * kSpacing;
        const double dx = kWaveHeight * waveSlope(x / px) / px * wave(y / py);
        const double dy = kWaveHeight * wave(x / px) * waveSlope(y / py) / py;
        const double length = std::sqrt(dx * dx + dy * dy + 1.0);
        out.text("vn ");
        out.fixed6(-dx / length);
        out.put(' ');
        out.fixed6(1.0 / length);
        out.put(' ');
        out.fixed6(dy / length);
        out.put('\n');
    }
};

void writeTexCoord(TextWriter& out, double u, double v)
{
    out.text("vt ");
    out.fixed6(u);
    out.put(' ');
    out.fixed6(v);
    out.put('\n');
}

struct Options {
    const char* objPath = nullptr;
    long long triangles = 0;
    bool uv = true;
    bool normals = true;
    int corners = 3; // 3: two triangles per cell; 4 and more: one polygon per cell
    int materials = 4;
};

void writeCorner(TextWriter& out, const Options& options, std::uint64_t index)
{
    out.put(' ');
    out.unsignedNumber(index);
    if (!options.uv && !options.normals)
        return;
    out.put('/');
    if (options.uv)
        out.unsignedNumber(index);
    if (options.normals) {
        out.put('/');
        out.unsignedNumber(index);
    }
}

std::string materialName(int m)
{
    return "grid_material_" + std::to_string(m);
}

void writeMaterialSwitch(TextWriter& out, const Options& options, long long row, long long& current)
{
    if (options.materials <= 0)
        return;
    const long long m = (row / kRowsPerMaterial) % options.materials;
    if (m == current)
        return;
    current = m;
    out.text("usemtl ");
    out.text(materialName(static_cast<int>(m)).c_str());
    out.put('\n');
}

bool writeMtl(const std::string& path, int materials)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    std::fprintf(file, "# %d materials\n", materials);
    for (int m = 0; m < materials; ++m) {
        const double t = materials > 1 ? static_cast<double>(m) / (materials - 1) : 0.0;
        std::fprintf(file, "\nnewmtl %s\n", materialName(m).c_str());
        std::fprintf(file, "Ns %.6f\n", 10.0 + 90.0 * t);
        std::fprintf(file, "Ka %.6f %.6f %.6f\n", 0.1, 0.1, 0.1);
        std::fprintf(file, "Kd %.6f %.6f %.6f\n", 0.8 - 0.6 * t, 0.3 + 0.4 * t, 0.2 + 0.6 * t);
        std::fprintf(file, "Ks %.6f %.6f %.6f\n", 0.5, 0.5, 0.5);
        std::fprintf(file, "illum 2\n");
    }
    return std::fclose(file) == 0;
}

std::string baseName(const std::string& path)
{
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

const char* const kUsage = "make_grid OUT.obj TRIANGLES [--no-uv] [--no-normals] [--quads] [--ngons N] [--materials M]";

bool parseArguments(int argc, char** argv, Options& options)
{
    bool noUv = false;
    bool noNormals = false;
    bool quads = false;
    const char* ngons = nullptr;
    const char* materials = nullptr;
    std::vector<const char*> words;
    if (!bench::readArguments(argc, argv,
                              {{"--no-uv", &noUv},
                               {"--no-normals", &noNormals},
                               {"--quads", &quads},
                               {"--ngons", nullptr, &ngons},
                               {"--materials", nullptr, &materials}},
                              words) ||
        words.size() != 2)
        return false;
    options.objPath = words[0];
    options.uv = !noUv;
    options.normals = !noNormals;
    options.corners = quads ? 4 : 3;
    return bench::readWhole(words[1], 1, 2000000000LL, options.triangles) &&
           (!ngons || bench::readWhole(ngons, 3, 1000, options.corners)) &&
           (!materials || bench::readWhole(materials, 0, 100000, options.materials));
}

// Cells of a shared-vertex grid: two triangles or one quad each.
void writeGrid(TextWriter& out, const Options& options, long long cells, long long width)
{
    const long long rows = (cells + width - 1) / width;
    const Surface surface{-0.5 * static_cast<double>(width) * kSpacing, -0.5 * static_cast<double>(rows) * kSpacing};
    for (long long j = 0; j <= rows; ++j)
        for (long long i = 0; i <= width; ++i)
            surface.writeVertex(out, surface.originX + static_cast<double>(i) * kSpacing,
                                surface.originY + static_cast<double>(j) * kSpacing);
    if (options.uv)
        for (long long j = 0; j <= rows; ++j)
            for (long long i = 0; i <= width; ++i)
                writeTexCoord(out, static_cast<double>(i) / static_cast<double>(width),
                              static_cast<double>(j) / static_cast<double>(rows));
    if (options.normals)
        for (long long j = 0; j <= rows; ++j)
            for (long long i = 0; i <= width; ++i)
                surface.writeNormal(out, surface.originX + static_cast<double>(i) * kSpacing,
                                    surface.originY + static_cast<double>(j) * kSpacing);

    long long current = -1;
    long long cell = 0;
    for (long long j = 0; j < rows; ++j) {
        writeMaterialSwitch(out, options, j, current);
        for (long long i = 0; i < width && cell < cells; ++i, ++cell) {
            // Counter-clockwise seen from above.
            const std::uint64_t a = static_cast<std::uint64_t>(j * (width + 1) + i + 1);
            const std::uint64_t b = a + 1;
            const std::uint64_t c = b + static_cast<std::uint64_t>(width + 1);
            const std::uint64_t d = a + static_cast<std::uint64_t>(width + 1);
            if (options.corners == 4) {
                out.put('f');
                for (std::uint64_t k : {a, b, c, d})
                    writeCorner(out, options, k);
                out.put('\n');
            } else {
                out.put('f');
                for (std::uint64_t k : {a, b, c})
                    writeCorner(out, options, k);
                out.text("\nf");
                for (std::uint64_t k : {a, c, d})
                    writeCorner(out, options, k);
                out.put('\n');
            }
        }
    }
}

// One convex N-gon per cell, each with its own corners on an ellipse inside
// the cell, so that no three corners lie on a line.
void writePolygons(TextWriter& out, const Options& options, long long cells, long long width)
{
    const long long rows = (cells + width - 1) / width;
    const int n = options.corners;
    const Surface surface{-0.5 * static_cast<double>(width) * kSpacing, -0.5 * static_cast<double>(rows) * kSpacing};
    std::vector<double> ringX(static_cast<std::size_t>(n));
    std::vector<double> ringY(static_cast<std::size_t>(n));
    const double pi = 3.14159265358979323846;
    for (int k = 0; k < n; ++k) {
        const double angle = 2.0 * pi * (static_cast<double>(k) + 0.25) / n;
        ringX[static_cast<std::size_t>(k)] = 0.5 + 0.45 * std::cos(angle);
        ringY[static_cast<std::size_t>(k)] = 0.5 + 0.40 * std::sin(angle);
    }
    auto forEachCorner = [&](auto emit) {
        for (long long cell = 0; cell < cells; ++cell) {
            const double i = static_cast<double>(cell % width);
            const double j = static_cast<double>(cell / width);
            for (int k = 0; k < n; ++k)
                emit(i + ringX[static_cast<std::size_t>(k)], j + ringY[static_cast<std::size_t>(k)]);
        }
    };
    forEachCorner([&](double i, double j) {
        surface.writeVertex(out, surface.originX + i * kSpacing, surface.originY + j * kSpacing);
    });
    if (options.uv)
        forEachCorner([&](double i, double j) {
            writeTexCoord(out, i / static_cast<double>(width), j / static_cast<double>(rows));
        });
    if (options.normals)
        forEachCorner([&](double i, double j) {
            surface.writeNormal(out, surface.originX + i * kSpacing, surface.originY + j * kSpacing);
        });

    long long current = -1;
    std::uint64_t next = 1;
    for (long long cell = 0; cell < cells; ++cell) {
        if (cell % width == 0)
            writeMaterialSwitch(out, options, cell / width, current);
        out.put('f');
        for (int k = 0; k < n; ++k)
            writeCorner(out, options, next++);
        out.put('\n');
    }
}

// OUT.mtl beside OUT.obj.
std::string mtlPathOf(const std::string& objPath)
{
    std::string mtlPath = objPath;
    const std::size_t dot = mtlPath.find_last_of('.');
    const std::size_t slash = mtlPath.find_last_of("/\\");
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        mtlPath.erase(dot);
    return mtlPath + ".mtl";
}

// The OBJ file of cells cells in rows of width; false when it cannot be
// written whole.
bool writeObj(const Options& options, const std::string& mtlPath, long long cells, long long width, long long triangles)
{
    std::FILE* file = std::fopen(options.objPath, "wb");
    if (!file)
        return false;
    bool ok;
    {
        TextWriter out(file);
        out.text("# make_grid: ");
        out.unsignedNumber(static_cast<std::uint64_t>(triangles));
        out.text(" triangles\n");
        if (options.materials > 0) {
            out.text("mtllib ");
            out.text(baseName(mtlPath).c_str());
            out.put('\n');
        }
        out.text("o grid\n");
        if (options.corners <= 4)
            writeGrid(out, options, cells, width);
        else
            writePolygons(out, options, cells, width);
        out.flush();
        ok = !out.failed();
    }
    return std::fclose(file) == 0 && ok;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!parseArguments(argc, argv, options))
        return bench::usage(kUsage);

    // Two triangles per grid cell, or N - 2 per N-gon.
    const long long perCell = options.corners == 3 ? 2 : options.corners - 2;
    const long long cells = std::max(1LL, (options.triangles + perCell / 2) / perCell);
    const long long width = std::max(1LL, static_cast<long long>(std::ceil(std::sqrt(static_cast<double>(cells)))));
    const std::string mtlPath = mtlPathOf(options.objPath);
    if (!writeObj(options, mtlPath, cells, width, cells * perCell) ||
        (options.materials > 0 && !writeMtl(mtlPath, options.materials))) {
        std::fprintf(stderr, "make_grid: cannot write %s\n", options.objPath);
        return 1;
    }
    std::printf("%s: %lld triangles\n", options.objPath, cells * perCell);
    return 0;
}
