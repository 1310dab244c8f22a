#pragma once

// Writing a whole file so that a failure never damages what was there: a
// full disk, a folder that refuses new files, a file that another program
// holds open. Windows only.

#include <cstdio>
#include <functional>

namespace rt {

// Writes the file's whole contents onto a stream opened in binary mode;
// false when it could not.
using ContentWriter = std::function<bool(std::FILE* stream)>;

// Writes path afresh: write fills a new temporary file in the same folder,
// which is flushed to the disk and closed, every step checked, and then
// takes the place of path in one step. True when path holds what write
// wrote. On any failure the temporary file is removed and path, if it
// existed, keeps its bytes. The path is in the program's code page (UTF-8
// under its manifest).
bool writeFileAtomically(const char* path, const ContentWriter& write);

} // namespace rt
