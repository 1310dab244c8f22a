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
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <climits>
#include <limits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string_view>
#include <system_error>
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

// A copy of values of a part read on its own into the mesh's pools: count
// values from from to to (face ends with shift added), or white colours.
struct CopyRun {
    enum Kind : std::uint8_t { values, faceEnds, white };
    void* to;
    const void* from;
    std::size_t count; // bytes for values, values otherwise
    std::uint32_t shift;
    Kind kind;

    void copy() const
    {
        switch (kind) {
        case values:
            std::memcpy(to, from, count);
            break;
        case faceEnds:
            for (std::size_t i = 0; i < count; ++i)
                static_cast<std::uint32_t*>(to)[i] = static_cast<const std::uint32_t*>(from)[i] + shift;
            break;
        case white:
            std::fill_n(static_cast<VertexColor*>(to), count, VertexColor{});
            break;
        }
    }
};

// Plans count values for to's entries from at on, a run for each stretch
// that lies in one block of to and of from: from's values (face ends with
// shift added, when given), or, without from, white colours.
template <class T>
void planCopy(std::vector<CopyRun>& runs, BlockArray<T>& to, std::size_t at, std::size_t count,
              const BlockArray<T>* from, std::optional<std::uint32_t> shift = std::nullopt)
{
    constexpr std::size_t mask = BlockArray<T>::kBlockSize - 1;
    for (std::size_t i = 0; i < count;) {
        const std::size_t run = std::min({count - i, mask + 1 - (i & mask), mask + 1 - ((at + i) & mask)});
        if (!from)
            runs.push_back(CopyRun{&to[at + i], nullptr, run, 0, CopyRun::white});
        else if (shift)
            runs.push_back(CopyRun{&to[at + i], &(*from)[i], run, *shift, CopyRun::faceEnds});
        else
            runs.push_back(CopyRun{&to[at + i], &(*from)[i], run * sizeof(T), 0, CopyRun::values});
        i += run;
    }
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
    // settled in take, once the pools before the part are known.
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

    // Where the values of a later part go, and the copies that put them
    // there: made on any thread once take has planned them, while later
    // parts are taken.
    struct Plan {
        std::vector<CopyRun> runs;
        StatementReader* part = nullptr; // its negative numbers are counted back first
        bool countedBack = false;
        std::size_t positions = 0; // the pools' sizes before the part
        std::size_t texCoords = 0;
        std::size_t normals = 0;
    };

    // Takes the part that reader read into from (a later part, read with
    // carried) as if this reader had read it: makes room for its values at
    // the ends of the pools and of its materials' faces, in file order,
    // finds its materials in the order a single pass finds them, and plans
    // the copies into plan. Values that go into the first block of a small
    // array, which may still move as the array grows, are copied at once.
    // Throws std::bad_alloc.
    void take(StatementReader& reader, Mesh& from, Material& carried, Plan& plan)
    {
        plan.runs.clear();
        plan.part = &reader;
        plan.countedBack = false;
        plan.positions = mesh.positions.size();
        plan.texCoords = mesh.texCoords.size();
        plan.normals = mesh.normals.size();
        std::vector<CopyRun> now;
        // Makes room for n values at the end of to and plans their runs
        // with planRuns(runs, at), making them at once where they may move.
        const auto placeRuns = [&](auto& to, std::size_t n, const auto& planRuns) {
            // An array that is going to be large gets its whole first block
            // now, so that its values are copied outside the lock.
            if (to.size() + n >= to.kBlockSize / 16)
                to.fillFirstBlock();
            const bool moves = to.capacity() < to.kBlockSize;
            planRuns(moves ? now : plan.runs, to.extend(n));
            if (moves) {
                countBack(plan);
                for (const CopyRun& run : now)
                    run.copy();
                now.clear();
            }
        };
        const auto place = [&](auto& to, const auto& values, std::optional<std::uint32_t> shift = std::nullopt) {
            placeRuns(to, values.size(), [&](std::vector<CopyRun>& runs, std::size_t at) {
                planCopy(runs, to, at, values.size(), &values, shift);
            });
        };
        if (!from.colors.empty() || !mesh.colors.empty()) {
            // The colours stay one per position from the first that has one.
            padColors(plan.positions);
            place(mesh.colors, from.colors);
            const std::size_t white = from.positions.size() - from.colors.size();
            placeRuns(mesh.colors, white, [&](std::vector<CopyRun>& runs, std::size_t at) {
                planCopy(runs, mesh.colors, at, white, static_cast<const BlockArray<VertexColor>*>(nullptr));
            });
        }
        place(mesh.positions, from.positions);
        place(mesh.texCoords, from.texCoords);
        place(mesh.normals, from.normals);
        const auto placeFaces = [&](const Material& material, Material& to) {
            const std::size_t offset = to.corners.size();
            if (offset + material.corners.size() > std::numeric_limits<std::uint32_t>::max())
                throwOutOfMemory();
            place(to.corners, material.corners);
            place(to.faceEnds, material.faceEnds, static_cast<std::uint32_t>(offset));
        };
        placeFaces(carried, *current);
        Material* last = current;
        for (Material* material : reader.used) {
            Material* to = mesh.findOrAddMaterial(material->name);
            placeFaces(*material, *to);
            if (reader.current == material)
                last = to;
        }
        current = last;
        lowest = std::min(lowest, reader.lowest);
        highest.position = std::max(highest.position, reader.highest.position);
        highest.texCoord = std::max(highest.texCoord, reader.highest.texCoord);
        highest.normal = std::max(highest.normal, reader.highest.normal);
        unnamed += reader.unnamed;
        // Whether a counted-back normal names the reserved one was not known in the part.
        normalsCountedBack = normalsCountedBack || reader.normalsCountedBack;
        for (const std::string& name : reader.libraryNames) {
            if (namedOnce.emplace(name).second)
                libraryNames.push_back(name);
        }
    }

    // Makes the copies that take planned, and empties the plan.
    static void copy(Plan& plan)
    {
        countBack(plan);
        for (const CopyRun& run : plan.runs)
            run.copy();
        plan.runs.clear();
    }

private:
    // Counts back the negative numbers of the part that plan places, once.
    static void countBack(Plan& plan)
    {
        if (plan.countedBack)
            return;
        plan.countedBack = true;
        for (const Fixup& fixup : plan.part->fixups) {
            Corner& c = fixup.material->corners[fixup.corner];
            if (fixup.fields & 1)
                c.position = countedBack(c.position, plan.positions);
            if (fixup.fields & 2)
                c.texCoord = countedBack(c.texCoord, plan.texCoords);
            if (fixup.fields & 4)
                c.normal = countedBack(c.normal, plan.normals);
        }
    }

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
            if (n >= 2) {
                current = mesh.findOrAddMaterial(std::string(words[1]));
                if (later && usedOnce.insert(current).second)
                    used.push_back(current);
            }
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
    // count, which take adds the pools before it to; counted then records
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
        normalsCountedBack = normalsCountedBack || field == 4;
        // The part holds fewer than 2^31 entries (its text is far shorter).
        return static_cast<std::int32_t>(static_cast<long long>(size) + number);
    }

    // Appends a face to the current material, noting the corners that
    // take must finish counting back.
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
    bool normalsCountedBack = false; // faces may name the reserved normal (of a later part: counted back in take)
    // Of a later part: corners whose numbers take counts back.
    struct Fixup {
        Material* material;
        std::uint32_t corner;
        std::uint8_t fields; // 1 position, 2 texture, 4 normal
    };
    bool later = false;
    // Of a later part: the materials it uses, in the order it first does.
    // Its mesh may hold others, from parts read into it before.
    std::vector<Material*> used;
    std::unordered_set<const Material*> usedOnce;
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

// The text of one part of a file read in parts of partBytes: the whole lines
// that start in bytes [index * partBytes, (index + 1) * partBytes),
// translated as text mode reads them. A part
// can be empty, when a line longer than a part passes over it; the part
// before reads that line whole.
struct PartText {
    std::unique_ptr<char[]> buffer;
    std::size_t capacity = 0; // of buffer, less one byte for a line feed after the text
    const char* text = nullptr;
    std::size_t size = 0;
    bool endsFile = false; // by a Ctrl-Z, or a read error

    // Throws std::bad_alloc.
    void reserve(std::size_t bytes)
    {
        if (bytes <= capacity)
            return;
        std::unique_ptr<char[]> larger(new char[bytes + 1]);
        if (capacity)
            std::memcpy(larger.get(), buffer.get(), capacity);
        buffer = std::move(larger);
        capacity = bytes;
    }

    // Reads part index from stream, whose file's bytes start at base.
    // Throws std::bad_alloc.
    void read(std::FILE* stream, long long base, std::size_t index, std::size_t partBytes)
    {
        endsFile = false;
        text = buffer.get();
        size = 0;
        // A line starts at the part's first byte when the byte before it is
        // a line feed, so that byte is read too. (Positions in 64 bits: the
        // 32-bit build counts parts in 32.)
        const long long first = static_cast<long long>(index) * static_cast<long long>(partBytes) - (index ? 1 : 0);
        const std::size_t wanted = partBytes + (index ? 1 : 0);
        reserve(wanted);
        std::size_t end = fill(stream, base + first, 0, wanted);
        std::size_t start = 0;
        if (index) {
            // The first line feed ends the line that the part before read.
            const char* feed = static_cast<const char*>(std::memchr(buffer.get(), '\n', end));
            if (!feed)
                return;
            start = static_cast<std::size_t>(feed - buffer.get()) + 1;
        }
        if (!endsFile && end == wanted && buffer[end - 1] != '\n') {
            // The part's last line goes on past it: read on until its line
            // feed.
            std::size_t looked = end;
            for (std::size_t more = 1 << 16;; more = std::min(more * 2, std::size_t{1} << 24)) {
                if (capacity - end < more) {
                    if (capacity > std::numeric_limits<std::size_t>::max() / 2 - more)
                        throwOutOfMemory();
                    reserve(std::max(capacity * 2, end + more));
                }
                const std::size_t got = fill(stream, base + first + static_cast<long long>(end), end, more) - end;
                end += got;
                if (const void* feed = std::memchr(buffer.get() + looked, '\n', end - looked)) {
                    end = static_cast<std::size_t>(static_cast<const char*>(feed) - buffer.get()) + 1;
                    break;
                }
                looked = end;
                if (got < more)
                    break;
            }
        }
        char* const text = buffer.get() + start;
        bool ctrlZ = false;
        size = rt::translateTextMode(text, end - start, ctrlZ);
        endsFile = endsFile || ctrlZ;
        text[size] = '\n';
        this->text = text;
    }

private:
    // Reads up to n bytes at position into buffer from at on; returns the
    // end of what was read. Fewer at the end of the file, or after a read
    // error, which ends the file there.
    std::size_t fill(std::FILE* stream, long long position, std::size_t at, std::size_t n)
    {
        if (!rt::seekTo(stream, position)) {
            endsFile = true;
            return at;
        }
        const std::size_t got = std::fread(buffer.get() + at, 1, n, stream);
        if (got < n && std::ferror(stream)) {
            std::clearerr(stream);
            endsFile = true;
        }
        return at + got;
    }
};

// Reads the file that obj is open on (at path, as a binary stream) in parts
// of partBytes on threads threads, this one among them, each part into
// pools of its own that are used again for the next part. The parts are
// taken in file order as they are done: room is made at the ends of the
// mesh's pools and faces, and the part's values are then copied there by
// whichever thread is free, in parallel with the reading of later parts.
// The parts cost about a megabyte a thread beside the mesh, whatever the
// file's size. False, having read nothing, when the file's size
// cannot be told. Throws std::bad_alloc.
template <ObjRules rules>
bool readSplit(StatementReader<rules>& statements, std::FILE* obj, const std::string& path, int threads,
               std::size_t partBytes, double scale, bool triangulate)
{
    using Reader = StatementReader<rules>;
    struct Part {
        PartText text;
        Mesh mesh;
        Material carried{std::string()};
        std::optional<Reader> reader;
        typename Reader::Plan plan;
        std::size_t index = 0;

        // Reads part index into the pools of the part before, used again;
        // its materials, which may be many, are not. Throws std::bad_alloc.
        void read(std::FILE* stream, long long base, std::size_t partBytes, double scale, bool triangulate)
        {
            for (const auto& material : mesh.materials)
                material->faceEnds.clear();
            mesh.removeEmptyMaterials();
            carried.corners.forgetValues();
            carried.faceEnds.forgetValues();
            mesh.positions.forgetValues();
            mesh.texCoords.forgetValues();
            mesh.normals.forgetValues();
            mesh.colors.forgetValues();
            text.read(stream, base, index, partBytes);
            reader.emplace(mesh, scale, triangulate, carried);
            reader->readLines(text.text, text.text + text.size);
        }
    };
    const long long base = rt::positionOf(obj);
    const long long bytes = rt::remainingBytes(obj);
    if (base < 0 || bytes < 0)
        return false;
    const std::size_t partCount =
        static_cast<std::size_t>((static_cast<unsigned long long>(bytes) + partBytes - 1) / partBytes);

    // A stream of its own for every thread but this one, which reads obj.
    std::vector<rt::File> streams;
    for (int i = 1; i < threads; ++i) {
        rt::File stream(rt::openBinary(path.c_str()));
        if (!stream)
            break;
        streams.push_back(std::move(stream));
    }
    // A part for each thread and one more, so that a thread that is done
    // with a part before the one ahead of it need not wait; where memory is
    // short, fewer parts and threads.
    std::vector<std::unique_ptr<Part>> parts;
    std::vector<Part*> idle; // parts free to read into
    const std::size_t wanted = streams.size() + 2;
    idle.reserve(wanted);
    try {
        while (parts.size() < wanted) {
            auto part = std::make_unique<Part>();
            part->text.reserve(partBytes + 1);
            parts.push_back(std::move(part));
            idle.push_back(parts.back().get());
        }
    } catch (const std::bad_alloc&) {
        if (idle.empty())
            throw;
        streams.resize(std::max<std::size_t>(idle.size() / 2, 1) - 1);
    }

    // Nothing below allocates once the threads run, but for the reading and
    // the taking, whose failures end the reading as errors. The lock and the
    // wake-ups are made from the heap on first use, so they are used once
    // here, where a failure is an ordinary one.
    std::mutex mutex;
    std::condition_variable changed;
    try {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(0));
    } catch (const std::system_error&) {
        throwOutOfMemory();
    }
    std::size_t nextRead = 0;  // the next part to read
    std::size_t nextTake = 0;  // the next part to take into the mesh
    std::size_t lastPart = partCount;
    std::size_t busy = 0;      // parts being read or copied
    std::vector<Part*> read;   // read, not yet taken
    std::vector<Part*> copies; // taken, their copies not yet made, in file order
    read.reserve(parts.size());
    copies.reserve(parts.size());
    std::exception_ptr error;

    // Takes every part that is next in file order; under the lock. After an
    // error, parts may be half read: none is taken.
    const auto takeReady = [&] {
        while (!error) {
            const auto next = std::find_if(read.begin(), read.end(), [&](Part* p) { return p->index == nextTake; });
            if (nextTake >= lastPart || next == read.end())
                return;
            Part* part = *next;
            read.erase(next);
            ++nextTake;
            if (part->text.endsFile)
                lastPart = nextTake;
            statements.take(*part->reader, part->mesh, part->carried, part->plan);
            if (part->plan.runs.empty())
                idle.push_back(part);
            else
                copies.push_back(part);
        }
    };
    const auto work = [&](std::FILE* stream) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!error) {
            if (!copies.empty()) {
                Part* part = copies.front();
                copies.erase(copies.begin());
                ++busy;
                lock.unlock();
                Reader::copy(part->plan);
                lock.lock();
                --busy;
                idle.push_back(part);
                changed.notify_all();
            } else if (nextRead < lastPart && !idle.empty()) {
                Part* part = idle.back();
                idle.pop_back();
                part->index = nextRead++;
                ++busy;
                lock.unlock();
                std::exception_ptr failed;
                try {
                    part->read(stream, base, partBytes, scale, triangulate);
                } catch (...) {
                    failed = std::current_exception();
                }
                lock.lock();
                --busy;
                if (failed && !error)
                    error = failed;
                if (part->index < lastPart)
                    read.push_back(part);
                else
                    idle.push_back(part);
                try {
                    takeReady();
                } catch (...) {
                    if (!error)
                        error = std::current_exception();
                }
                changed.notify_all();
            } else if (nextTake >= lastPart && copies.empty() && busy == 0) {
                break;
            } else {
                changed.wait(lock);
            }
        }
        changed.notify_all();
    };

    // Every thread gets ready to throw before any part is read, with room
    // for it checked first; where there is no room, or no thread to be had,
    // fewer threads read. This thread too: the reserve may be gone when it
    // runs short.
    prepareToThrow();
    std::size_t primed = 0;
    bool started = false;
    const auto help = [&](std::FILE* stream) {
        prepareToThrow();
        {
            std::unique_lock<std::mutex> lock(mutex);
            ++primed;
            changed.notify_all();
            changed.wait(lock, [&] { return started; });
        }
        work(stream);
    };
    struct Threads {
        std::vector<std::thread> list;
        ~Threads()
        {
            for (std::thread& thread : list)
                thread.join();
        }
    } helpers;
    constexpr std::size_t kThreadRoom = 64 << 10;
    if (void* room = streams.empty() ? nullptr : std::malloc(kThreadRoom)) {
        std::free(room);
        helpers.list.reserve(streams.size());
        for (const rt::File& stream : streams) {
            try {
                helpers.list.emplace_back(help, stream.get());
            } catch (const std::system_error&) {
                break;
            } catch (const std::bad_alloc&) {
                break; // those made wait for started
            }
        }
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return primed == helpers.list.size(); });
        started = true;
        changed.notify_all();
    }
    work(obj);
    for (std::thread& thread : helpers.list)
        thread.join();
    helpers.list.clear();
    if (error)
        std::rethrow_exception(error);
    return true;
}

// The threads that read a file, or 0 to read it without parts: one per
// core, up to 16, for a file of a megabyte or more.
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

// Parts of 128 KiB: the text and the pools read from it stay in the core's
// cache until they are copied into the mesh, there are enough parts for the
// threads to share the work evenly, and the parts held beside the mesh cost
// about a megabyte each.
constexpr std::size_t kPartBytes = std::size_t{1} << 17;

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
        const int threads = translation == LineReader::textMode ? readingThreads(obj, split) : 0;
        if (threads && readSplit(statements, obj, fullPath, threads, split.partBytes ? split.partBytes : kPartBytes,
                                 scale, triangulate)) {
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
    return openAndRead(path, scale, triangulate, std::nullopt, ObjSplit{ObjSplit::kEveryCore});
}

Mesh* loadObjMesh(const char* path, double scale, bool triangulate, ObjRules rules)
{
    return openAndRead(path, scale, triangulate, rules, ObjSplit{ObjSplit::kEveryCore});
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
