#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// Helpers shared by the fuzz targets.

// Ends the run with the message when an invariant does not hold, so that
// libFuzzer keeps the input as a crash. (assert is compiled out in the
// RelWithDebInfo tree the targets are built in.)
void require(bool condition, const char* what);

// The path of a file named name in a folder of this process, for the files
// that a reader must open by name: "<base>/<pid>/<name>", with base
// $CORVASI_FUZZ_TMP (scripts/fuzz.sh points it at a folder of its own on
// /dev/shm), else /dev/shm, else /tmp. The folder is created on first use
// and removed with the files named here when the process exits normally.
std::string scratchFile(const std::string& name);

// Writes bytes to the file at path, replacing it; ends the run when it cannot.
void writeBytes(const std::string& path, std::string_view bytes);

// A read-only stream over bytes (which must outlive it), empty ones included.
std::FILE* memoryStream(std::string_view bytes);

// What the program's text-mode streams give for a file holding bytes: CR LF
// reads as LF, a lone CR stays, and a Ctrl-Z byte ends the file. Written
// plainly, as the reference for rt::openText.
std::string textModeBytes(std::string_view bytes);

// A 1 x 1 TGA file of one blue-green-red pixel (bytes 1, 2, 3), written once:
// the picture a reader holds before it is given the fuzzer's input.
const std::string& baselineTgaPath();
