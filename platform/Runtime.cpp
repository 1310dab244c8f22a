#include "platform/Runtime.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#else
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rt {

#ifdef _WIN32

bool fullPath(const char* path, std::string& result)
{
    if (!path || !*path)
        return false;
    // The size first: where the system allows long paths, a full path may be
    // longer than MAX_PATH.
    const DWORD size = GetFullPathNameA(path, 0, nullptr, nullptr);
    if (size == 0)
        return false;
    std::vector<char> buffer(size + 1u);
    if (!_fullpath(buffer.data(), path, buffer.size()))
        return false;
    result = buffer.data();
    return true;
}

std::string directoryOf(const std::string& fullPath)
{
    // Everything up to the last separator, or the drive when there is none.
    // _splitpath would cut a directory longer than _MAX_DIR. The second byte
    // of a double-byte character is never taken for a separator (in UTF-8
    // no byte of a longer character is one).
    const char* start = fullPath.c_str();
    const char* end = fullPath.size() >= 2 && fullPath[1] == ':' ? start + 2 : start;
    for (const char* p = start; *p; ++p) {
        if (IsDBCSLeadByte(static_cast<BYTE>(*p)) && p[1])
            ++p;
        else if (*p == '\\' || *p == '/')
            end = p + 1;
    }
    return std::string(start, end);
}

std::FILE* openText(const char* path)
{
    return std::fopen(path, "r");
}

int compareNoCase(const char* a, const char* b)
{
    return _stricmp(a, b);
}

bool isFile(const char* path)
{
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

double stringToDouble(const char* text, char** end)
{
    return std::strtod(text, end);
}

int setStreamMode(std::FILE* stream, int mode)
{
    static_assert(kTextMode == _O_TEXT && kBinaryMode == _O_BINARY, "runtime modes");
    // _setmode on a bad descriptor would call the invalid-parameter handler.
    const int fd = stream ? _fileno(stream) : -1;
    if (fd < 0)
        return -1;
    return _setmode(fd, mode);
}

#else

bool fullPath(const char* path, std::string& result)
{
    if (!path || !*path)
        return false;
    std::string joined;
    if (path[0] != '/') {
        std::vector<char> cwd(4096);
        if (!getcwd(cwd.data(), cwd.size()))
            return false;
        joined = cwd.data();
        joined += '/';
    }
    joined += path;

    // Fold "." and ".." and repeated separators by text alone, as _fullpath does.
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= joined.size()) {
        std::size_t end = joined.find('/', start);
        if (end == std::string::npos)
            end = joined.size();
        std::string part = joined.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string full;
    for (const std::string& part : parts)
        full += "/" + part;
    if (full.empty())
        full = "/";
    if (joined.back() == '/' && full.back() != '/')
        full += '/';
    result = full;
    return true;
}

std::string directoryOf(const std::string& fullPath)
{
    const std::size_t slash = fullPath.rfind('/');
    if (slash == std::string::npos)
        return std::string();
    return fullPath.substr(0, slash + 1);
}

namespace {

// A read-only stream over a binary file, translated like msvcrt's text mode.
struct TextStream {
    explicit TextStream(std::FILE* file) : file(file), reader(file) {}
    std::FILE* file;
    TextModeReader reader;
};

ssize_t textRead(void* cookie, char* out, size_t size)
{
    return static_cast<ssize_t>(static_cast<TextStream*>(cookie)->reader.read(out, size));
}

int textClose(void* cookie)
{
    TextStream* stream = static_cast<TextStream*>(cookie);
    const int result = std::fclose(stream->file);
    delete stream;
    return result;
}

} // namespace

std::FILE* openText(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    TextStream* text = new (std::nothrow) TextStream(file);
    std::FILE* stream = nullptr;
    if (text) {
        cookie_io_functions_t functions{};
        functions.read = textRead;
        functions.close = textClose;
        stream = fopencookie(text, "r", functions);
    }
    if (!stream) {
        std::fclose(file);
        delete text;
    }
    return stream;
}

int compareNoCase(const char* a, const char* b)
{
    return strcasecmp(a, b);
}

bool isFile(const char* path)
{
    struct stat info;
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

double stringToDouble(const char* text, char** end)
{
    char* stop;
    const double value = std::strtod(text, &stop);
    if (end)
        *end = stop;
    if (stop != text)
        return value;
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    return p[0] == '-' && p[1] != '\0' ? -0.0 : 0.0;
}

int setStreamMode(std::FILE* stream, int /*mode*/)
{
    return stream ? kBinaryMode : -1;
}

#endif

std::FILE* openBinary(const char* path)
{
    return std::fopen(path, "rb");
}

namespace {

// 64-bit file positions. The Windows runtime's ftell and fseek take a 32-bit
// long even in 64-bit builds.
long long tell64(std::FILE* stream)
{
#ifdef _WIN32
    return _ftelli64(stream);
#else
    return ftello(stream);
#endif
}

bool seek64(std::FILE* stream, long long offset, int origin)
{
#ifdef _WIN32
    return _fseeki64(stream, offset, origin) == 0;
#else
    return fseeko(stream, offset, origin) == 0;
#endif
}

} // namespace

void* reallocate(void* block, std::size_t used, std::size_t size)
{
#ifdef _WIN32
    void* larger = std::malloc(size);
    if (larger && used)
        std::memcpy(larger, block, std::min(used, size));
    if (larger)
        std::free(block);
    return larger;
#else
    (void)used;
    return std::realloc(block, size);
#endif
}

long long positionOf(std::FILE* stream)
{
    return tell64(stream);
}

bool seekTo(std::FILE* stream, long long position)
{
    return seek64(stream, position, SEEK_SET);
}

long long remainingBytes(std::FILE* stream)
{
    const long long here = tell64(stream);
    if (here < 0 || !seek64(stream, 0, SEEK_END))
        return -1;
    const long long end = tell64(stream);
    if (!seek64(stream, here, SEEK_SET))
        return -1;
    return end < here ? -1 : end - here;
}

namespace {

// Index of the first CR or Ctrl-Z in [p, p + n), n when there is none.
std::size_t findTextModeByte(const char* p, std::size_t n)
{
    std::size_t i = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i ctrlZ = _mm_set1_epi8('\x1A');
    for (; i + 16 <= n; i += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const int found = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, ctrlZ)));
        if (found)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(found)));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '\r' || p[i] == '\x1A')
            return i;
    }
    return n;
}

} // namespace

std::size_t TextModeReader::read(char* out, std::size_t size)
{
    std::size_t count = 0;
    while (count == 0 && !ended && size > 0) {
        if (carriageReturn && size == 1) {
            // No room behind the held-back CR: look at the next byte alone.
            carriageReturn = false;
            const int next = std::getc(file);
            if (next == '\n')
                out[0] = '\n';
            else {
                out[0] = '\r';
                if (next != EOF)
                    std::ungetc(next, file);
            }
            return 1;
        }
        // Read behind the held-back CR, so that it pairs with what follows.
        const std::size_t held = carriageReturn ? 1 : 0;
        const std::size_t n = std::fread(out + held, 1, size - held, file);
        carriageReturn = false;
        if (held)
            out[0] = '\r';
        if (n == 0) {
            ended = true;
            return held;
        }
        count = translate(out, held + n);
    }
    return count;
}

namespace {

// Translates block in place and returns the size left; a Ctrl-Z sets ended.
// A CR at the end stays, or, with heldBack, goes to the caller, who pairs
// it with the next byte. Runs without a CR or a Ctrl-Z, the whole block in
// most files, are found a vector at a time.
std::size_t translateBlock(char* block, std::size_t size, bool& ended, bool* heldBack)
{
    std::size_t kept = 0;
    std::size_t i = 0;
    for (;;) {
        const std::size_t special = i + findTextModeByte(block + i, size - i);
        if (kept != i)
            std::memmove(block + kept, block + i, special - i);
        kept += special - i;
        if (special == size)
            break;
        if (block[special] == '\x1A') {
            ended = true;
            break;
        }
        if (special + 1 == size) {
            if (heldBack)
                *heldBack = true;
            else
                block[kept++] = '\r';
            break;
        }
        if (block[special + 1] != '\n')
            block[kept++] = '\r';
        i = special + 1;
    }
    return kept;
}

} // namespace

std::size_t translateTextMode(char* bytes, std::size_t size, bool& ended)
{
    return translateBlock(bytes, size, ended, nullptr);
}

// Whether a CR that ends the block goes depends on the next block.
std::size_t TextModeReader::translate(char* block, std::size_t size)
{
    return translateBlock(block, size, ended, &carriageReturn);
}

} // namespace rt
