#include "tests/support/TestFiles.h"

#include <algorithm>
#include <cstdio>
#include <sys/stat.h>
#ifdef _WIN32
#include <windows.h>

#include <direct.h>
#else
#include <dirent.h>
#endif

std::string nativePath(const std::string& unixPath)
{
#ifdef _WIN32
    std::string path = unixPath;
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
#else
    return unixPath;
#endif
}

std::string dataPath(const std::string& relative)
{
    return nativePath(std::string(CORVASI_FIXTURE_DIR) + "/" + relative);
}

namespace {

bool isFile(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFREG;
}

bool isFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && (info.st_mode & S_IFMT) == S_IFDIR;
}

} // namespace

std::string sharedDataPath(const std::string& relative)
{
    const std::string copy = dataPath("real/" + relative);
    return isFile(copy) ? copy : nativePath(std::string(CORVASI_SHARED_DATA_DIR) + "/" + relative);
}

bool sharedDataMissing(const std::string& relative)
{
    static const bool folderMissing = !isFolder(nativePath(CORVASI_SHARED_DATA_DIR));
    return folderMissing && (relative.empty() || !isFile(dataPath("real/" + relative)));
}

std::string sharedDataSkipReason()
{
    return std::string("the shared test data folder ") + CORVASI_SHARED_DATA_DIR +
           " is missing (name it with the CMake option CORVASI_TEST_DATA_DIR)";
}

std::string scratchPath(const std::string& name)
{
    const std::string dir = nativePath(CORVASI_TEST_SCRATCH_DIR);
#ifdef _WIN32
    _mkdir(dir.c_str());
#else
    mkdir(dir.c_str(), 0755);
#endif
#ifdef _WIN32
    const std::string path = dir + "\\" + name;
#else
    const std::string path = dir + "/" + name;
#endif
    std::remove(path.c_str());
    return path;
}

bool writeFile(const std::string& path, const std::string& bytes)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && ok;
}

std::string readFile(const std::string& path)
{
    std::string bytes;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

std::vector<std::string> folderListing(const std::string& folder)
{
    std::vector<std::string> names;
#ifdef _WIN32
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do
            names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
    }
#else
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            names.push_back(entry->d_name);
        closedir(dir);
    }
#endif
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return n == "." || n == ".."; }),
                names.end());
    std::sort(names.begin(), names.end());
    return names;
}

std::string tgaFile(int width, int height, int bytesPerPixel, const std::function<int(int, int, int)>& colour,
                    bool topDown)
{
    std::string bytes(18, '\0');
    bytes[2] = 2;
    bytes[12] = static_cast<char>(width & 0xFF);
    bytes[13] = static_cast<char>(width >> 8);
    bytes[14] = static_cast<char>(height & 0xFF);
    bytes[15] = static_cast<char>(height >> 8);
    bytes[16] = static_cast<char>(bytesPerPixel * 8);
    bytes[17] = static_cast<char>((bytesPerPixel == 4 ? 8 : 0) | (topDown ? 0x20 : 0));
    for (int row = 0; row < height; ++row) {
        const int y = topDown ? height - 1 - row : row;
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < bytesPerPixel; ++c)
                bytes += static_cast<char>(colour(x, y, c));
    }
    return bytes;
}

std::string lowerCase(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}
