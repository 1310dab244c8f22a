#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

// Paths of test fixtures and scratch files, in the form the program under
// test expects (under Wine: "Z:\\work\\..." rather than "/work/...").

// A fixture below tests/data, e.g. dataPath("obj/cube.obj").
std::string dataPath(const std::string& relative);

// A file or folder of the shared test data, files written by other programs
// (the folder the CMake option CORVASI_TEST_DATA_DIR names, by default
// ../shared/testdata). The few files behind faults met before are also kept
// in tests/data/real under the same relative path; those are read from there,
// so that their checks run on a clone without the folder.
std::string sharedDataPath(const std::string& relative);

// Whether a check must be left out: the shared folder is missing and the
// file (or, for "", anything of the folder) is not kept in tests/data/real.
bool sharedDataMissing(const std::string& relative = std::string());

// Why such checks were left out, naming the missing folder.
std::string sharedDataSkipReason();

// Skips the rest of a test that needs the shared folder when it is missing.
#define SKIP_WITHOUT_SHARED_DATA()                                                                                     \
    if (sharedDataMissing())                                                                                           \
    GTEST_SKIP() << sharedDataSkipReason()

// A fresh path in the build tree's scratch folder (the folder is created).
std::string scratchPath(const std::string& name);

// Writes bytes to a file; returns false when it cannot.
bool writeFile(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it cannot.
std::string readFile(const std::string& path);

// The names in a folder, sorted, without "." and "..".
std::vector<std::string> folderListing(const std::string& folder);

// An uncompressed TGA file of width x height pixels of bytesPerPixel bytes
// (4: with 8 alpha bits): byte c of pixel (x, y), y = 0 the bottom row, is
// colour(x, y, c), in file order (blue, green, red, alpha). Rows are stored
// bottom-up, or top-down when topDown.
std::string tgaFile(int width, int height, int bytesPerPixel, const std::function<int(int, int, int)>& colour,
                    bool topDown = false);

// The text with ASCII capitals made small (Windows paths compare so).
std::string lowerCase(std::string text);

// Converts a build-time Unix path to the form the program uses.
std::string nativePath(const std::string& unixPath);
