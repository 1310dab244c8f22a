#pragma once

// Volumes made for a test: a small disk, or one that refuses writes.

#include "tests/support/TestFiles.h"
#include "tests/support/Wait.h"

#include <windows.h>

#include <cstdlib>
#include <string>

// Runs a Unix shell command from the test and returns its exit code, -1
// when it did not end in time.
// NOTE: Wine starts a Unix program named by its Z: path as a Unix process,
// without a handle to wait on; the shell leaves its exit code in a file.
// Test code only: Wine runs the shell, and Windows has none.
inline int runUnixShell(const std::string& command)
{
    const std::string status = scratchPath("shell-status");
    const std::string unixStatus = status.substr(2); // Z:\...
    std::string line = "/bin/sh -c \"" + command + "; echo $? > '" + unixStatus + ".part'; mv '" + unixStatus +
                       ".part' '" + unixStatus + "'\"";
    for (char& c : line)
        if (c == '\\')
            c = '/';
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // The handles that come back name nothing of the Unix process; closing
    // them could close a handle of ours that has the same value.
    if (!CreateProcessA("Z:\\bin\\sh", &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    std::string code;
    if (!waitFor([&] { return !(code = readFile(status)).empty(); }))
        return -1;
    return std::atoi(code.c_str());
}

// A folder of the scratch folder on a tmpfs of its own, of the given size,
// mounted while the object lives: a small disk, or one that refuses
// writes. It takes Wine, whose Z: drive reaches the Unix mount, and root.
class ScratchVolume {
public:
    ScratchVolume(const std::string& name, int kilobytes) : folder(scratchPath(name))
    {
        if (!GetProcAddress(GetModuleHandleA("ntdll"), "wine_get_version")) {
            skipReason = "a small or read-only volume is a tmpfs mounted on Wine's Z: drive; not made on Windows";
            return;
        }
        CreateDirectoryA(folder.c_str(), nullptr);
        where = "'" + folder.substr(2) + "'";
        // A volume that a test left mounted when it died goes first.
        const int code =
            runUnixShell("umount -l " + where + " 2>/dev/null; mount -t tmpfs -o size=" + std::to_string(kilobytes) +
                         "k corvasi " + where);
        mounted = code == 0;
        if (!mounted)
            skipReason = "a tmpfs could not be mounted (mount ended with " + std::to_string(code) + "; it takes root)";
    }
    ~ScratchVolume()
    {
        if (mounted)
            runUnixShell("umount -l " + where);
    }
    ScratchVolume(const ScratchVolume&) = delete;
    ScratchVolume& operator=(const ScratchVolume&) = delete;

    bool makeReadOnly() { return runUnixShell("mount -o remount,ro " + where) == 0; }

    const std::string folder;
    std::string skipReason;

private:
    std::string where;
    bool mounted = false;
};
