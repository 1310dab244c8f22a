#include "mesh/ObjReader.h"

#include "mesh/Decimal.h"
#include "mesh/LineReader.h"
#include "mesh/MemoryReserve.h"
#include "mesh/Mesh.h"
#include "mesh/MtlReader.h"
#include "mesh/Numbers.h"
#include "mesh/Statement.h"
#include "platform/Runtime.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <climits>
#include <limits>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>
#include <vector>

namespace {

double number(std::string_view word)
{
    return toDouble(word.data(), word.data() + word.size());
}

// Pieces of the one-pass reading. Each works on a line that ends with a line
// feed, so no scan needs a bound, and gives up (null) wherever the line is
// not plain; the line then goes through splitStatement.

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Where splitStatement ends a word that is not quoted.
bool endsWord(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '#';
}

const char* skipBlanks(const char* p)
{
    while (isBlank(*p))
        ++p;
    return p;
}

const char* findLineFeed(const char* p)
{
    while (*p != '\n')
        ++p;
    return p;
}

// The end of the word at p, which is neither a blank nor a quote; null when
// a zero byte cuts it (the statement then ends there).
const char* wordEnd(const char* p)
{
    for (;; ++p) {
        if (endsWord(*p))
            return p;
        if (*p == '\0')
            return nullptr;
    }
}

// The line feed after the last word: only blanks or a comment may come
// before it. Null when another word follows.
const char* statementEnd(const char* p)
{
    p = skipBlanks(p);
    if (*p == '#')
        return findLineFeed(p);
    return *p == '\n' ? p : nullptr;
}

// A number word at p that scanDecimal reads whole and exactDouble converts:
// nearly every number of a file. Null for anything else (long or
// hexadecimal numbers, "inf", junk after the digits).
const char* plainDecimal(const char* p, double& value)
{
    Decimal number;
    const char* stop = scanDecimal(p, number);
    if (!stop || !endsWord(*stop) || !exactDouble(number, value))
        return nullptr;
    return stop;
}

// One number word at p, which is not a blank; null when the word is
// missing, quoted, or cut by a zero byte.
const char* readNumber(const char* p, double& value)
{
    if (const char* stop = plainDecimal(p, value))
        return stop;
    if (*p == '\n' || *p == '#' || *p == '"')
        return nullptr;
    const char* stop = wordEnd(p);
    if (stop)
        value = toDouble(p, stop);
    return stop;
}

// count numbers, each after blanks, and nothing more but a comment. p is at
// a blank. Returns the line feed.
const char* readNumbers(const char* p, double* values, int count)
{
    for (int i = 0; i < count; ++i) {
        if (!isBlank(*p))
            return nullptr;
        p = readNumber(skipBlanks(p), values[i]);
        if (!p)
            return nullptr;
    }
    return statementEnd(p);
}

// A field of a corner: an optional sign and up to nine digits. Null for
// more digits.
const char* plainIndex(const char* p, int& value)
{
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    const char* digits = p;
    std::uint32_t v = 0;
    for (; isDigit(*p); ++p)
        v = v * 10 + static_cast<std::uint32_t>(*p - '0');
    if (p - digits > 9)
        return nullptr;
    value = negative ? -static_cast<int>(v) : static_cast<int>(v);
    return p;
}

// One corner word at p, which starts a word (no blank, line feed or "#"):
// "a", "a/b", "a//c" or "a/b/c" here, anything else through parseCorner.
// Null when the word is quoted or cut by a zero byte.
const char* readCorner(const char* p, Corner& corner)
{
    int values[3] = {0, 0, 0};
    const char* q = p;
    for (int field = 0; q; ++field) {
        q = plainIndex(q, values[field]);
        if (q && *q == '/' && field < 2) {
            ++q;
            continue;
        }
        if (q && !endsWord(*q))
            q = nullptr;
        break;
    }
    if (q) {
        corner = Corner{values[0] > 0 ? values[0] - 1 : values[0], values[1], values[2]};
        return q;
    }
    if (*p == '"')
        return nullptr;
    const char* stop = wordEnd(p);
    if (stop) {
        const CornerIndices c = parseCorner(std::string_view(p, static_cast<std::size_t>(stop - p)));
        corner = Corner{c.position, c.texCoord, c.normal};
    }
    return stop;
}

// The index that a negative corner number names, counting back from the end
// of a pool of size entries (-1 is the last); -1 when it reaches before the
// first entry.
std::int32_t countedBack(std::int32_t number, std::size_t size)
{
    const long long index = static_cast<long long>(size) + number;
    return index >= 0 && index <= INT32_MAX ? static_cast<std::int32_t>(index) : -1;
}

bool insidePool(std::int32_t index, std::size_t size)
{
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

// Reads the statements of an OBJ file into a mesh. Plain lines of the
// statements that make up nearly every file are read in one pass; a line
// that is not plain, in any way, is split into words with splitStatement and
// read as such, so both ways give the same mesh. The tolerant rules take
// only lines of other shapes, so they live in the word-by-word reading and
// in what is done with the corners; they are a constant of the reader, so
// that the strict reading tests for none of them.
template <ObjRules rules>
class StatementReader {
public:
    StatementReader(Mesh& mesh, double scale, bool triangulate)
            : mesh(mesh), scale(scale), triangulate(triangulate), current(mesh.findOrAddMaterial(std::string()))
    {
    }

    // A reader of a later part of the file into mesh, which holds only that
    // part: its faces before the first material-use statement go to carried,
    // standing for the material current at the end of the part before.
    // Negative corner numbers are counted back from the part's own pools and
    // settled in join, once the pools before the part are known.
    StatementReader(Mesh& mesh, double scale, bool triangulate, Material& carried)
            : mesh(mesh), scale(scale), triangulate(triangulate), current(&carried), later(true)
    {
    }

    // Every index that a face uses lies inside its pool. By the tolerant
    // rules, texture and normal indices outside theirs are made 0 first, so
    // only the positions count.
    bool indicesInside()
    {
        if constexpr (tolerant)
            return settleCorners();
        return lowest >= 0 && static_cast<std::size_t>(highest.position) + 1 <= mesh.positions.size() &&
               static_cast<std::size_t>(highest.texCoord) + 1 <= mesh.texCoords.size() &&
               static_cast<std::size_t>(highest.normal) + 1 <= mesh.normals.size();
    }

    bool facesWithoutNormals() const { return unnamed > 0 || normalsDropped || normalsCountedBack; }

    // The libraries that mtllib statements name, in order, each once.
    const std::vector<std::string>& libraries() const { return libraryNames; }

    void read(LineReader& lines)
    {
        const char* p;
        const char* last;
        while (lines.nextLines(p, last))
            readLines(p, last);
        finish();
    }

    // Whole lines [p, last), each ending with a line feed but perhaps the
    // last, with a line feed written at *last.
    void readLines(const char* p, const char* last)
    {
        while (p < last)
            p = readLineAt(p, last);
    }

    // After the last line of the file.
    void finish()
    {
        // Once one vertex has a colour, every vertex has one.
        if (tolerant && !mesh.colors.empty())
            padColors(mesh.positions.size());
    }

    // Appends the part that reader read into from (a later part, read with
    // carried), as if this reader had read it: pools, faces in file order,
    // materials in the order a single pass finds them. Empties from. Throws
    // std::bad_alloc.
    void join(StatementReader& reader, Mesh& from, Material& carried)
    {
        for (const Fixup& fixup : reader.fixups) {
            Corner& c = fixup.material->corners[fixup.corner];
            if (fixup.fields & 1)
                c.position = countedBack(c.position, mesh.positions.size());
            if (fixup.fields & 2)
                c.texCoord = countedBack(c.texCoord, mesh.texCoords.size());
            if (fixup.fields & 4) {
                c.normal = countedBack(c.normal, mesh.normals.size());
                // Whether it names the reserved normal was not known in the part.
                normalsCountedBack = true;
            }
        }
        if (!from.colors.empty()) {
            padColors(mesh.positions.size());
            mesh.colors.appendAll(from.colors);
        }
        mesh.positions.appendAll(from.positions);
        mesh.texCoords.appendAll(from.texCoords);
        mesh.normals.appendAll(from.normals);
        from.colors.clear();
        from.positions.clear();
        from.texCoords.clear();
        from.normals.clear();
        moveFaces(carried, *current);
        Material* last = current;
        for (const auto& material : from.materials) {
            Material* to = mesh.findOrAddMaterial(material->name);
            moveFaces(*material, *to);
            if (reader.current == material.get())
                last = to;
        }
        current = last;
        lowest = std::min(lowest, reader.lowest);
        highest.position = std::max(highest.position, reader.highest.position);
        highest.texCoord = std::max(highest.texCoord, reader.highest.texCoord);
        highest.normal = std::max(highest.normal, reader.highest.normal);
        unnamed += reader.unnamed;
        for (const std::string& name : reader.libraryNames) {
            if (namedOnce.emplace(name).second)
                libraryNames.push_back(name);
        }
    }

private:
    // Reads the line that starts at line; returns where the next one starts.
    const char* readLineAt(const char* line, const char* last)
    {
        const char* p = skipBlanks(line);
        const char* feed = nullptr;
        switch (*p) {
        case 'v':
            if (isBlank(p[1]))
                feed = readPosition(p + 1);
            else if (p[1] == 't' && isBlank(p[2]))
                feed = readTexCoord(p + 2);
            else if (p[1] == 'n' && isBlank(p[2]))
                feed = readNormal(p + 2);
            break;
        case 'f':
            if (isBlank(p[1]))
                feed = readFace(p + 1);
            break;
        case 'u':
        case 'm':
        case '"':
            break;
        default:
            // Blank, a comment, or no statement that the reader takes.
            feed = findLineFeed(p);
            break;
        }
        if (!feed) {
            feed = findLineFeed(p);
            readStatement(line, static_cast<std::size_t>(feed - line) + (feed < last ? 1 : 0));
        }
        return feed < last ? feed + 1 : last;
    }

    const char* readPosition(const char* p)
    {
        double v[3];
        p = readNumbers(p, v, 3);
        if (p)
            mesh.positions.push_back(Vec3{v[0] * scale, v[1] * scale, v[2] * scale});
        return p;
    }

    const char* readTexCoord(const char* p)
    {
        double v[2];
        p = readNumbers(p, v, 2);
        if (p)
            mesh.texCoords.push_back(TexCoord{v[0], v[1]});
        return p;
    }

    const char* readNormal(const char* p)
    {
        double v[3];
        p = readNumbers(p, v, 3);
        if (p)
            mesh.normals.push_back(Vec3{v[0], v[1], v[2]});
        return p;
    }

    // p is at the blank after "f".
    const char* readFace(const char* p)
    {
        corners.clear();
        for (;;) {
            p = skipBlanks(p);
            if (*p == '\n' || *p == '#')
                break;
            Corner corner;
            p = readCorner(p, corner);
            if (!p)
                return nullptr;
            corners.push_back(corner);
        }
        const char* feed = statementEnd(p);
        if (corners.size() >= 3)
            addFaces();
        return feed;
    }

    // One line split into words: the plain reading of the statements.
    void readStatement(const char* line, std::size_t length)
    {
        // Every statement but a face has a few words: a line of millions of
        // numbers is skipped without holding them all. The tolerant rules
        // take a vertex of up to eight.
        const std::size_t fewWords = tolerant ? 9 : 5;
        splitStatement(line, length, words, fewWords);
        if (words.empty())
            return;
        if (words.size() == fewWords && (words[0] == "f" || words[0] == "mtllib"))
            splitStatement(line, length, words);
        const std::string_view keyword = words[0];
        const std::size_t n = words.size();
        if (keyword == "v") {
            if (n == 4 || (tolerant && n >= 5 && n <= 8)) {
                mesh.positions.push_back(
                    Vec3{number(words[1]) * scale, number(words[2]) * scale, number(words[3]) * scale});
                if (n == 7)
                    addColor(&words[4]);
            }
        } else if (keyword == "vt") {
            if (n == 3)
                mesh.texCoords.push_back(TexCoord{number(words[1]), number(words[2])});
            else if (tolerant && (n == 2 || n == 4))
                mesh.texCoords.push_back(TexCoord{number(words[1]), n == 4 ? number(words[2]) : 0.0});
        } else if (keyword == "vn") {
            if (n == 4)
                mesh.normals.push_back(Vec3{number(words[1]), number(words[2]), number(words[3])});
        } else if (keyword == "f") {
            if (n < 4)
                return;
            corners.clear();
            for (std::size_t i = 1; i < n; ++i) {
                const CornerIndices c = parseCorner(words[i]);
                corners.push_back(Corner{c.position, c.texCoord, c.normal});
            }
            addFaces();
        } else if (keyword == "usemtl") {
            if (n >= 2)
                current = mesh.findOrAddMaterial(std::string(words[1]));
        } else if (keyword == "mtllib") {
            for (std::size_t i = 1; i < n; ++i) {
                if (namedOnce.emplace(words[i]).second)
                    libraryNames.emplace_back(words[i]);
            }
        }
    }

    // The colour of the vertex just added, from three channel words: each
    // kept within 0 to 1; one that is not a number makes the vertex white,
    // as one without a colour is.
    void addColor(const std::string_view* channels)
    {
        double c[3];
        for (int i = 0; i < 3; ++i)
            c[i] = number(channels[i]);
        VertexColor color;
        if (c[0] == c[0] && c[1] == c[1] && c[2] == c[2]) {
            const auto clamped = [](double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); };
            color = VertexColor{clamped(c[0]), clamped(c[1]), clamped(c[2])};
        }
        padColors(mesh.positions.size() - 1);
        mesh.colors.push_back(color);
    }

    // White for every position up to count that has no colour yet.
    void padColors(std::size_t count)
    {
        while (mesh.colors.size() < count)
            mesh.colors.push_back(VertexColor{});
    }

    // Negative numbers of the tolerant rules, made indices: -1 is the last
    // vertex of its kind read so far. In a later part, the part's own
    // count, which join adds the pools before it to; counted then records
    // which numbers of each corner were counted back.
    void countBack()
    {
        if (later)
            counted.assign(corners.size(), 0);
        for (std::size_t i = 0; i < corners.size(); ++i) {
            Corner& c = corners[i];
            std::uint8_t fields = 0;
            if (c.position < 0)
                c.position = countBack(c.position, mesh.positions.size(), fields, 1);
            if (c.texCoord < 0)
                c.texCoord = countBack(c.texCoord, mesh.texCoords.size(), fields, 2);
            if (c.normal < 0)
                c.normal = countBack(c.normal, mesh.normals.size(), fields, 4);
            if (later)
                counted[i] = fields;
        }
    }

    std::int32_t countBack(std::int32_t number, std::size_t size, std::uint8_t& fields, std::uint8_t field)
    {
        if (!later)
            return countedBack(number, size);
        fields = static_cast<std::uint8_t>(fields | field);
        // The part holds fewer than 2^31 entries (its text is far shorter).
        return static_cast<std::int32_t>(static_cast<long long>(size) + number);
    }

    // Appends a face to the current material, noting the corners that
    // join must finish counting back.
    void addFace(const Corner* list, const std::uint8_t* fields, int count)
    {
        const std::size_t first = current->corners.size();
        current->addFace(list, count);
        if (!tolerant || !later)
            return;
        for (int j = 0; j < count; ++j) {
            if (fields[j])
                fixups.push_back(
                    Fixup{current, static_cast<std::uint32_t>(first + static_cast<std::size_t>(j)), fields[j]});
        }
    }

    // The faces of material moved to the end of to's. Throws std::bad_alloc.
    static void moveFaces(Material& material, Material& to)
    {
        if (&material == &to || material.faceCount() == 0)
            return;
        const std::size_t offset = to.corners.size();
        if (offset + material.corners.size() > std::numeric_limits<std::uint32_t>::max())
            throwOutOfMemory();
        to.corners.appendAll(material.corners);
        const auto shift = static_cast<std::uint32_t>(offset);
        for (std::size_t f = 0; f < material.faceEnds.size(); ++f)
            to.faceEnds.push_back(material.faceEnds[f] + shift);
        material.corners.clear();
        material.faceEnds.clear();
    }

    // After the last line, by the tolerant rules: a texture or normal index
    // outside its pool becomes 0, the reserved entry. False when a position
    // lies outside its pool.
    bool settleCorners()
    {
        for (const auto& material : mesh.materials) {
            BlockArray<Corner>& list = material->corners;
            for (std::size_t i = 0; i < list.size(); ++i) {
                Corner& c = list[i];
                if (!insidePool(c.position, mesh.positions.size()))
                    return false;
                if (!insidePool(c.texCoord, mesh.texCoords.size()))
                    c.texCoord = 0;
                if (!insidePool(c.normal, mesh.normals.size())) {
                    c.normal = 0;
                    normalsDropped = true;
                }
            }
        }
        return true;
    }

    // The faces of the polygon in corners: one, or a fan of triangles
    // around its first corner.
    void addFaces()
    {
        if constexpr (tolerant)
            countBack();
        for (const Corner& c : corners) {
            lowest = std::min({lowest, c.position, c.texCoord, c.normal});
            highest.position = std::max(highest.position, c.position);
            highest.texCoord = std::max(highest.texCoord, c.texCoord);
            highest.normal = std::max(highest.normal, c.normal);
        }
        if (!triangulate) {
            bool named = false;
            for (const Corner& c : corners)
                named = named || c.normal != 0;
            unnamed += named ? 0 : 1;
            addFace(corners.data(), counted.data(), static_cast<int>(corners.size()));
            return;
        }
        for (std::size_t i = 1; i + 1 < corners.size(); ++i) {
            const Corner triangle[3] = {corners[0], corners[i], corners[i + 1]};
            std::uint8_t fields[3] = {0, 0, 0};
            if (tolerant && later) {
                fields[0] = counted[0];
                fields[1] = counted[i];
                fields[2] = counted[i + 1];
            }
            unnamed += (triangle[0].normal | triangle[1].normal | triangle[2].normal) == 0 ? 1 : 0;
            addFace(triangle, fields, 3);
        }
    }

    Mesh& mesh;
    double scale;
    bool triangulate;
    static constexpr bool tolerant = rules == ObjRules::tolerant;
    Material* current;
    std::vector<std::string_view> words;
    std::vector<Corner> corners;
    std::vector<std::string> libraryNames;
    std::unordered_set<std::string> namedOnce;
    // Kept while the faces come, so that checking their indices and finding
    // the faces without normals need no second pass over every corner.
    std::int32_t lowest = 0; // of all three indices
    Corner highest{-1, -1, -1};
    std::size_t unnamed = 0;         // faces whose corners name no normal
    bool normalsDropped = false;     // by settleCorners: faces may have lost their normals
    bool normalsCountedBack = false; // by join: faces may name the reserved normal
    // Of a later part: corners whose numbers join counts back.
    struct Fixup {
        Material* material;
        std::uint32_t corner;
        std::uint8_t fields; // 1 position, 2 texture, 4 normal
    };
    bool later = false;
    std::vector<std::uint8_t> counted; // per corner of the face being added
    std::vector<Fixup> fixups;
};

Vec3 difference(const Vec3& a, const Vec3& b)
{
    return Vec3{a.x - b.x, a.y - b.y, a.z - b.z};
}

// Flat normal from the first, second and last corners, counter-clockwise
// facing the viewer.
Vec3 faceNormal(const Mesh& mesh, const Face& face)
{
    const Vec3& p0 = mesh.positions[static_cast<std::size_t>(face.positionIndex(0))];
    const Vec3& p1 = mesh.positions[static_cast<std::size_t>(face.positionIndex(1))];
    const Vec3& pl = mesh.positions[static_cast<std::size_t>(face.positionIndex(face.cornerCount - 1))];
    Vec3 e1 = difference(p1, p0);
    Vec3 e2 = difference(pl, p0);
    normalize(e1);
    normalize(e2);
    Vec3 normal = cross(e1, e2);
    return normalize(normal);
}

// Gives every face that names no normal at all one generated normal,
// appended after the file's own.
void generateFaceNormals(Mesh& mesh)
{
    for (const auto& material : mesh.materials) {
        for (std::size_t f = 0; f < material->faceCount(); ++f) {
            const Face face = material->face(f);
            bool named = false;
            for (int j = 0; j < face.cornerCount && !named; ++j)
                named = face.normalIndex(j) != 0;
            if (named)
                continue;
            if (mesh.normals.size() > static_cast<std::size_t>(INT_MAX))
                throwOutOfMemory();
            const std::int32_t next = static_cast<std::int32_t>(mesh.normals.size());
            mesh.normals.push_back(faceNormal(mesh, face));
            for (int j = 0; j < face.cornerCount; ++j)
                material->corners[face.first + static_cast<std::uint32_t>(j)].normal = next;
        }
    }
}

// The file's lines in parts of about partBytes each, as LineReader gives
// them: each part ends with a line feed, but the file's last part where its
// last line has none.
class PartSource {
public:
    PartSource(std::FILE* stream, LineReader::Translation translation, std::size_t partBytes)
            : stream(stream), text(stream), translation(translation), partBytes(std::max<std::size_t>(partBytes, 1))
    {
    }

    // The next part, with a line feed written after it; false at the end of
    // the file. Throws std::bad_alloc.
    bool next(std::unique_ptr<char[]>& part, std::size_t& size)
    {
        if (ended && carry.empty())
            return false;
        std::size_t capacity = std::max(partBytes, carry.size() * 2);
        std::unique_ptr<char[]> buffer(new char[capacity + 1]);
        std::size_t end = carry.size();
        std::copy(carry.begin(), carry.end(), buffer.get());
        carry.clear();
        for (;;) {
            while (!ended && end < capacity) {
                const std::size_t n = read(buffer.get() + end, capacity - end);
                ended = n == 0;
                end += n;
            }
            std::size_t stop = end;
            while (stop > 0 && buffer[stop - 1] != '\n')
                --stop;
            if (ended || stop > 0) {
                if (ended)
                    stop = end;
                if (stop == 0)
                    return false;
                carry.assign(buffer.get() + stop, buffer.get() + end);
                buffer[stop] = '\n';
                part = std::move(buffer);
                size = stop;
                return true;
            }
            // A line longer than the buffer.
            if (capacity > (std::numeric_limits<std::size_t>::max() - 1) / 2)
                throwOutOfMemory();
            std::unique_ptr<char[]> larger(new char[capacity * 2 + 1]);
            std::copy(buffer.get(), buffer.get() + end, larger.get());
            buffer = std::move(larger);
            capacity *= 2;
        }
    }

private:
    std::size_t read(char* out, std::size_t size)
    {
        return translation == LineReader::textMode ? text.read(out, size) : std::fread(out, 1, size, stream);
    }

    std::FILE* stream;
    rt::TextModeReader text;
    LineReader::Translation translation;
    std::size_t partBytes;
    std::vector<char> carry; // the unfinished line after the last part
    bool ended = false;
};

// Reads the file's parts on threads workers, each part into a mesh of its
// own (the first into the reader's), and joins them in file order as they
// are done. At most one part more than there are workers is held at a time,
// so the parts cost a few of their size beside the mesh. Throws
// std::bad_alloc.
template <ObjRules rules>
void readSplit(StatementReader<rules>& statements, std::FILE* obj, LineReader::Translation translation, int threads,
               std::size_t partBytes, double scale, bool triangulate)
{
    struct Part {
        std::unique_ptr<char[]> text;
        std::size_t size = 0;
        std::unique_ptr<Mesh> mesh; // null for the first part
        Material carried{std::string()};
        std::optional<StatementReader<rules>> reader;
        StatementReader<rules>* reading = nullptr;
        bool done = false;
        std::exception_ptr error;
    };
    std::mutex mutex;
    std::condition_variable queued;
    std::condition_variable finished;
    std::deque<Part*> queue;
    bool stop = false;
    std::deque<std::unique_ptr<Part>> held; // in file order
    struct Workers {
        std::vector<std::thread> threads;
        std::mutex& mutex;
        std::condition_variable& queued;
        bool& stop;
        ~Workers()
        {
            {
                std::lock_guard<std::mutex> lock(mutex);
                stop = true;
            }
            queued.notify_all();
            for (std::thread& thread : threads)
                thread.join();
        }
    } workers{{}, mutex, queued, stop};
    const auto work = [&] {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            queued.wait(lock, [&] { return stop || !queue.empty(); });
            if (queue.empty())
                return;
            Part* part = queue.front();
            queue.pop_front();
            lock.unlock();
            try {
                part->reading->readLines(part->text.get(), part->text.get() + part->size);
            } catch (...) {
                part->error = std::current_exception();
            }
            part->text.reset();
            lock.lock();
            part->done = true;
            finished.notify_all();
        }
    };
    for (int i = 0; i < threads; ++i)
        workers.threads.emplace_back(work);

    PartSource source(obj, translation, partBytes);
    std::exception_ptr error;
    bool first = true;
    for (;;) {
        try {
            while (!error && held.size() < static_cast<std::size_t>(threads) + 1) {
                auto part = std::make_unique<Part>();
                if (!source.next(part->text, part->size))
                    break;
                if (first) {
                    part->reading = &statements;
                } else {
                    part->mesh = std::make_unique<Mesh>();
                    part->reader.emplace(*part->mesh, scale, triangulate, part->carried);
                    part->reading = &*part->reader;
                }
                first = false;
                std::lock_guard<std::mutex> lock(mutex);
                held.push_back(std::move(part));
                queue.push_back(held.back().get());
                queued.notify_one();
            }
        } catch (...) {
            error = std::current_exception();
        }
        if (held.empty())
            break;
        {
            std::unique_lock<std::mutex> lock(mutex);
            finished.wait(lock, [&] { return held.front()->done; });
        }
        const std::unique_ptr<Part> part = std::move(held.front());
        held.pop_front();
        if (!error)
            error = part->error;
        if (!error && part->mesh) {
            try {
                statements.join(*part->reader, *part->mesh, part->carried);
            } catch (...) {
                error = std::current_exception();
            }
        }
    }
    if (error)
        std::rethrow_exception(error);
}

// The worker threads that read a file, or 0 to read it on this thread
// alone: one per core, up to 16, for a file of a megabyte or more.
int readingThreads(std::FILE* obj, const ObjSplit& split)
{
    if (split.threads > 0)
        return split.threads == 1 && split.partBytes == 0 ? 0 : std::min(split.threads, 64);
    const long long bytes = rt::remainingBytes(obj);
    if (bytes < (1 << 20))
        return 0;
    const int cores = static_cast<int>(std::min(std::thread::hardware_concurrency(), 16u));
    return cores > 1 ? cores : 0;
}

// Parts of a quarter megabyte: enough lines that a part's setting up and
// joining costs little, few enough that the parts held beside the mesh (one
// more than there are workers) stay a few megabytes.
constexpr std::size_t kPartBytes = std::size_t{1} << 18;

// outOfMemory, when given, tells a file that did not fit in memory from one
// that the rules refuse.
template <ObjRules rules>
Mesh* readMesh(std::FILE* obj, std::FILE* library, const LibraryOpener& openNamed, LineReader::Translation translation,
               const std::string& fullPath, double scale, bool triangulate, const ObjSplit& split,
               bool* outOfMemory = nullptr)
{
    // Memory kept for reporting a failure, when the heap runs out.
    MemoryReserve reserve;
    if (!reserve.held()) {
        if (outOfMemory)
            *outOfMemory = true;
        return nullptr;
    }
    try {
        std::unique_ptr<Mesh> mesh(new Mesh);
        mesh->filePath = fullPath;
        mesh->directory = rt::directoryOf(fullPath);
        mesh->texCoords.push_back(TexCoord{});
        mesh->normals.push_back(Vec3{});

        StatementReader<rules> statements(*mesh, scale, triangulate);
        if (const int threads = readingThreads(obj, split)) {
            readSplit(statements, obj, translation, threads, split.partBytes ? split.partBytes : kPartBytes, scale,
                      triangulate);
            statements.finish();
        } else {
            LineReader lines(obj, translation);
            statements.read(lines);
        }
        if (library) {
            readMtlLibrary(library, *mesh, translation);
        } else if (openNamed) {
            // No library of the file's own name: those that it names.
            for (const std::string& name : statements.libraries()) {
                rt::File named(openNamed(name));
                if (named)
                    readMtlLibrary(named.get(), *mesh, translation);
            }
        }
        mesh->removeEmptyMaterials();
        if (!statements.indicesInside())
            return nullptr;
        if (statements.facesWithoutNormals())
            generateFaceNormals(*mesh);
        if (mesh->positions.empty() || mesh->materials.empty())
            return nullptr;
        return mesh.release();
    } catch (const std::bad_alloc&) {
        // A mesh too large for memory is a file that cannot be loaded.
        if (outOfMemory)
            *outOfMemory = true;
        return nullptr;
    }
}

// By the given rules; without them, by the strict rules and, when those
// refuse the file, by the tolerant ones from where the streams were. A file
// too large for memory is not read again: the tolerant rules keep all that
// the strict ones keep.
Mesh* readByRules(std::FILE* obj, std::FILE* library, const LibraryOpener& openNamed,
                  LineReader::Translation translation, const std::string& fullPath, double scale, bool triangulate,
                  std::optional<ObjRules> rules, const ObjSplit& split = ObjSplit())
{
    if (rules)
        return *rules == ObjRules::strict ? readMesh<ObjRules::strict>(obj, library, openNamed, translation, fullPath,
                                                                       scale, triangulate, split)
                                          : readMesh<ObjRules::tolerant>(obj, library, openNamed, translation, fullPath,
                                                                         scale, triangulate, split);
    std::fpos_t objStart;
    std::fpos_t libraryStart;
    const bool marked = std::fgetpos(obj, &objStart) == 0 && (!library || std::fgetpos(library, &libraryStart) == 0);
    bool outOfMemory = false;
    if (Mesh* mesh = readMesh<ObjRules::strict>(obj, library, openNamed, translation, fullPath, scale, triangulate,
                                                split, &outOfMemory))
        return mesh;
    if (outOfMemory || !marked || std::fsetpos(obj, &objStart) != 0 ||
        (library && std::fsetpos(library, &libraryStart) != 0))
        return nullptr;
    std::clearerr(obj);
    if (library)
        std::clearerr(library);
    return readMesh<ObjRules::tolerant>(obj, library, openNamed, translation, fullPath, scale, triangulate, split);
}

Mesh* openAndRead(const char* path, double scale, bool triangulate, std::optional<ObjRules> rules,
                  const ObjSplit& split = ObjSplit())
{
    std::string full;
    if (!rt::fullPath(path, full))
        return nullptr;
    // Binary streams, translated as text mode would by the line reader.
    rt::File file(rt::openBinary(full.c_str()));
    if (!file)
        return nullptr;
    const std::string libraryPath = mtlLibraryPath(full);
    rt::File library(libraryPath.empty() ? nullptr : rt::openBinary(libraryPath.c_str()));
    // Named libraries lie relative to the OBJ file's folder, as textures do.
    const std::string directory = rt::directoryOf(full);
    const LibraryOpener openNamed = [&directory](const std::string& name) {
        return rt::openBinary((directory + name).c_str());
    };
    return readByRules(file.get(), library.get(), openNamed, LineReader::textMode, full, scale, triangulate, rules,
                       split);
}

} // namespace

Mesh* loadObjMesh(const char* path, double scale, bool triangulate)
{
    return openAndRead(path, scale, triangulate, std::nullopt);
}

Mesh* loadObjMesh(const char* path, double scale, bool triangulate, ObjRules rules)
{
    return openAndRead(path, scale, triangulate, rules);
}

Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate,
                  const LibraryOpener& openNamed)
{
    return readByRules(obj, library, openNamed, LineReader::asStored, fullPath, scale, triangulate, std::nullopt);
}

Mesh* readObjMesh(std::FILE* obj, std::FILE* library, const std::string& fullPath, double scale, bool triangulate,
                  ObjRules rules, const LibraryOpener& openNamed)
{
    return readByRules(obj, library, openNamed, LineReader::asStored, fullPath, scale, triangulate, rules);
}

Mesh* loadObjMesh(const char* path, double scale, bool triangulate, const ObjSplit& split,
                  std::optional<ObjRules> rules)
{
    return openAndRead(path, scale, triangulate, rules, split);
}
