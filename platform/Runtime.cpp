#include "platform/Runtime.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <stdlib.h>
#else
#include <strings.h>
#include <unistd.h>
#endif

namespace rt {

#ifdef _WIN32

bool fullPath(const char* path, std::string& result)
{
    char buffer[kMaxPath];
    if (!path || !*path || !_fullpath(buffer, path, kMaxPath))
        return false;
    result = buffer;
    return true;
}

std::string directoryOf(const std::string& fullPath)
{
    char drive[_MAX_DRIVE];
    char dir[_MAX_DIR];
    // A full path fits in kMaxPath, so its parts fit these buffers.
    _splitpath(fullPath.c_str(), drive, dir, nullptr, nullptr);
    return std::string(drive) + dir;
}

std::FILE* openText(const char* path)
{
    return std::fopen(path, "r");
}

int compareNoCase(const char* a, const char* b)
{
    return _stricmp(a, b);
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
    if (full.size() + 1 > kMaxPath)
        return false;
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

// A read-only stream over a binary file that translates like msvcrt's text
// mode: CR LF becomes LF, a lone CR stays, and a Ctrl-Z byte is the end.
struct TextReader {
    std::FILE* file;
    bool ended = false;
    bool carriageReturn = false; // a CR ended the previous block
};

ssize_t textRead(void* cookie, char* out, size_t size)
{
    TextReader& reader = *static_cast<TextReader*>(cookie);
    size_t count = 0;
    while (count == 0 && !reader.ended) {
        // Read a block in place behind room for a held-back CR, then
        // translate it down to the front of out.
        const size_t room = reader.carriageReturn ? size - 1 : size;
        if (room == 0) {
            // One byte of room and a CR held back: look at the next byte.
            const int next = std::getc(reader.file);
            reader.carriageReturn = false;
            if (next == '\n')
                out[count++] = '\n';
            else {
                out[count++] = '\r';
                if (next != EOF)
                    std::ungetc(next, reader.file);
            }
            break;
        }
        char* block = out + (size - room);
        const size_t n = std::fread(block, 1, room, reader.file);
        if (n == 0) {
            reader.ended = true;
            if (reader.carriageReturn) {
                out[count++] = '\r';
                reader.carriageReturn = false;
            }
            break;
        }
        for (size_t i = 0; i < n; ++i) {
            const char c = block[i];
            if (reader.carriageReturn) {
                reader.carriageReturn = false;
                if (c != '\n')
                    out[count++] = '\r';
            }
            if (c == 0x1A) {
                reader.ended = true;
                break;
            }
            if (c == '\r')
                reader.carriageReturn = true;
            else
                out[count++] = c;
        }
        if (reader.ended && reader.carriageReturn) {
            out[count++] = '\r';
            reader.carriageReturn = false;
        }
    }
    return static_cast<ssize_t>(count);
}

int textClose(void* cookie)
{
    TextReader* reader = static_cast<TextReader*>(cookie);
    const int result = std::fclose(reader->file);
    delete reader;
    return result;
}

} // namespace

std::FILE* openText(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return nullptr;
    TextReader* reader = new TextReader{file};
    cookie_io_functions_t functions{};
    functions.read = textRead;
    functions.close = textClose;
    std::FILE* stream = fopencookie(reader, "r", functions);
    if (!stream) {
        std::fclose(file);
        delete reader;
    }
    return stream;
}

int compareNoCase(const char* a, const char* b)
{
    return strcasecmp(a, b);
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

} // namespace rt
