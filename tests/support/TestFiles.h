#pragma once

#include <string>

// Paths of test fixtures and scratch files, in the form the program under
// test expects (under Wine: "Z:\\work\\..." rather than "/work/...").

// A fixture below tests/data, e.g. dataPath("obj/cube.obj").
std::string dataPath(const std::string& relative);

// A file below ../shared/testdata.
std::string sharedDataPath(const std::string& relative);

// A fresh path in the build tree's scratch folder (the folder is created).
std::string scratchPath(const std::string& name);

// Writes bytes to a file; returns false when it cannot.
bool writeFile(const std::string& path, const std::string& bytes);

// Reads a whole file; empty when it cannot.
std::string readFile(const std::string& path);

// Converts a build-time Unix path to the form the program uses.
std::string nativePath(const std::string& unixPath);
