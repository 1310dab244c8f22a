#include "platform/AtomicFile.h"

#include "platform/Runtime.h"

#include <atomic>
#include <memory>
#include <string>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

namespace rt {

namespace {

// Tries names until one is free: another save, even of another process, may
// be writing beside us.
constexpr int kNameAttempts = 100;
std::atomic<unsigned> temporaryCount{0};

// The program's byte strings in UTF-16 for the "W" functions. They are in
// the code page that the "A" functions and the runtime take: UTF-8 under
// the program's manifest.
bool toWide(const char* text, std::wstring& wide)
{
    const int size = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (size <= 1)
        return false;
    wide.assign(static_cast<std::size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, -1, &wide[0], size) != size)
        return false;
    wide.resize(static_cast<std::size_t>(size) - 1);
    return true;
}

// Everything up to the last separator, or the drive: where the temporary
// file goes, so that a rename can replace the target.
std::wstring folderOf(const std::wstring& path)
{
    const std::size_t separator = path.find_last_of(L"\\/");
    if (separator != std::wstring::npos)
        return path.substr(0, separator + 1);
    return path.size() >= 2 && path[1] == L':' ? path.substr(0, 2) : std::wstring();
}

// The temporary file, removed unless it became the target.
struct Temporary {
    std::wstring path;
    bool kept = false;
    ~Temporary()
    {
        if (!kept && !path.empty())
            DeleteFileW(path.c_str());
    }
};

// The write, the flush to the disk and the close of a new stream, each
// checked.
bool writeAndClose(File stream, const ContentWriter& write)
{
    const intptr_t handle = _get_osfhandle(_fileno(stream.get()));
    const bool written = write(stream.get()) && std::fflush(stream.get()) == 0 && !std::ferror(stream.get()) &&
                         handle != -1 && FlushFileBuffers(reinterpret_cast<HANDLE>(handle));
    return std::fclose(stream.release()) == 0 && written;
}

// A new file of that folder, open for writing and shared with no one.
HANDLE createTemporary(const std::wstring& folder, Temporary& temporary)
{
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring path = folder + L"~corvasi-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(temporaryCount++) + L".tmp";
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            temporary.path = path;
            return file;
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

} // namespace

bool writeFileAtomically(const char* path, const ContentWriter& write)
{
    std::wstring target;
    if (!path || !toWide(path, target))
        return false;
    // A folder is never replaced; the rename would refuse it too, but only
    // after the whole picture was written.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;

    Temporary temporary;
    HANDLE file = createTemporary(folderOf(target), temporary);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY | _O_WRONLY);
    if (descriptor == -1) {
        CloseHandle(file);
        return false;
    }
    File stream(_fdopen(descriptor, "wb"));
    if (!stream) {
        _close(descriptor);
        return false;
    }
    if (!writeAndClose(std::move(stream), write))
        return false;
    // One step: until it is done the old file is whole, and after it the
    // new one is. Write-through: it is on the disk when the call returns.
    if (!MoveFileExW(temporary.path.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return false;
    temporary.kept = true;
    return true;
}

} // namespace rt
