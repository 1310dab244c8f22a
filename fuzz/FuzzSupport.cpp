#include "fuzz/FuzzSupport.h"

#include <cstdlib>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Kept alive until the very end (never destroyed) for removeScratch.
std::vector<std::string>& createdFiles()
{
    static std::vector<std::string>* files = new std::vector<std::string>;
    return *files;
}

const std::string& scratchFolder();

void removeScratch()
{
    for (const std::string& file : createdFiles())
        std::remove(file.c_str());
    rmdir(scratchFolder().c_str());
}

std::string makeScratchFolder()
{
    std::string base;
    if (const char* env = std::getenv("CORVASI_FUZZ_TMP"))
        base = env;
    else if (access("/dev/shm", W_OK) == 0)
        base = "/dev/shm";
    else
        base = "/tmp";
    const std::string folder = base + "/" + std::to_string(getpid());
    require(mkdir(folder.c_str(), 0700) == 0 || access(folder.c_str(), W_OK) == 0, "the scratch folder can be made");
    std::atexit(removeScratch);
    return folder;
}

const std::string& scratchFolder()
{
    static const std::string* folder = new std::string(makeScratchFolder());
    return *folder;
}

} // namespace

void require(bool condition, const char* what)
{
    if (condition)
        return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

std::string scratchFile(const std::string& name)
{
    const std::string path = scratchFolder() + "/" + name;
    std::vector<std::string>& files = createdFiles();
    for (const std::string& known : files) {
        if (known == path)
            return path;
    }
    files.push_back(path);
    return path;
}

void writeBytes(const std::string& path, std::string_view bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    require(file != nullptr, "a scratch file can be created");
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    require(std::fclose(file) == 0 && written, "a scratch file can be written");
}

std::FILE* memoryStream(std::string_view bytes)
{
    // An empty view may have no buffer; fmemopen gets one all the same.
    static char empty[1];
    char* buffer = bytes.empty() ? empty : const_cast<char*>(bytes.data());
    std::FILE* stream = fmemopen(buffer, bytes.size(), "r");
    require(stream != nullptr, "fmemopen opens the input");
    return stream;
}

std::string textModeBytes(std::string_view bytes)
{
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (c == '\x1A')
            break;
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += c;
    }
    return text;
}

const std::string& baselineTgaPath()
{
    static const std::string* path = [] {
        auto* p = new std::string(scratchFile("baseline.tga"));
        std::string file(18, '\0');
        file[2] = 2;
        file[12] = 1;
        file[14] = 1;
        file[16] = 24;
        file += "\x01\x02\x03";
        writeBytes(*p, file);
        return p;
    }();
    return *path;
}
