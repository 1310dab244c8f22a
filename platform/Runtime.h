#pragma once

// The few places where the program leans on the Windows C runtime: full
// paths, path splitting, case-insensitive comparison and text-mode files.
// Windows builds use the runtime itself; other builds (tests, fuzzing)
// reproduce its behaviour here so that both read files the same way.

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace rt {

#ifdef _WIN32
constexpr char kPathSeparator = '\\';
#else
constexpr char kPathSeparator = '/';
#endif

// The absolute form of path, of any length. False when it cannot be formed:
// such a file counts as one that cannot be opened.
bool fullPath(const char* path, std::string& result);

// Drive and directory of a full path, with the trailing separator
// ("C:\\models\\" for "C:\\models\\cube.obj").
std::string directoryOf(const std::string& fullPath);

// A stream that closes itself.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Opens a file for reading in text mode: CR LF reads as LF and a Ctrl-Z byte
// ends the file. Null when the file cannot be opened.
std::FILE* openText(const char* path);

// Opens a file for reading in binary mode: its bytes as stored. Null when
// the file cannot be opened.
std::FILE* openBinary(const char* path);

// Whether path names a file (not a folder) that exists.
bool isFile(const char* path);

// Bytes from the stream's position to the end of its file, the position left
// as it was; -1 when they cannot be told. Files of 2 GiB and more included.
long long remainingBytes(std::FILE* stream);

// The stream's position, -1 when it cannot be told; and a move to a
// position from the start of the file. Files of 2 GiB and more included.
long long positionOf(std::FILE* stream);
bool seekTo(std::FILE* stream, long long position);

// Translates bytes of a file in place as text mode reads them, when they
// hold whole lines: CR LF becomes LF, any other CR stays (one at the end
// too), and a Ctrl-Z ends the file, which then sets ended. Returns the size
// left.
std::size_t translateTextMode(char* bytes, std::size_t size, bool& ended);

// realloc(block, size) for a block whose first used bytes matter. On
// Windows a new block and memcpy: the heap's own copy goes a byte at a time
// under Wine, which made reading a large file a fifth slower there.
void* reallocate(void* block, std::size_t used, std::size_t size);

// Reads a stream opened in binary mode in large blocks and translates them
// as text mode reads the file: CR LF becomes LF, a lone CR stays, and a
// Ctrl-Z byte ends the file. The OBJ and MTL readers take their files this
// way rather than through a text-mode stream, whose translation costs more
// than the rest of the reading on Windows; so every build reads the same
// bytes the same way. The stream stays the caller's.
class TextModeReader {
public:
    explicit TextModeReader(std::FILE* binary) : file(binary) {}
    TextModeReader(const TextModeReader&) = delete;
    TextModeReader& operator=(const TextModeReader&) = delete;

    // Stores up to size bytes of the translated file in out and returns
    // their number: at least one while the file lasts (and size is not 0),
    // 0 at its end. A read error counts as the end.
    std::size_t read(char* out, std::size_t size);

private:
    std::size_t translate(char* block, std::size_t size);

    std::FILE* file;
    bool ended = false;
    bool carriageReturn = false; // a CR ended the last block: it goes if a LF follows
};

// The runtime's strtod. Where nothing converts, the Windows runtime still
// honours a minus sign that has something after it ("-x" and "-." give -0.0);
// other builds do the same.
double stringToDouble(const char* text, char** end = nullptr);

// Case-insensitive comparison of two strings, like _stricmp.
int compareNoCase(const char* a, const char* b);

// The runtime's per-file translation modes, _O_TEXT and _O_BINARY.
constexpr int kTextMode = 0x4000;
constexpr int kBinaryMode = 0x8000;

// Sets the translation mode of the file under stream, like _setmode, and
// returns the previous mode, or -1 when the runtime rejects the file. Other
// builds keep no per-file mode (openText translates by itself), so they
// report binary and setting a mode changes nothing.
int setStreamMode(std::FILE* stream, int mode);

} // namespace rt
