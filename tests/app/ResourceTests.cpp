// What the built programs say about themselves to Windows: the version that
// Explorer's properties show, and the manifest that gives their controls the
// system's visual styles.

#include "tests/app/ProgramRunner.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct Program {
    const char* path;
    const char* description; // a word the file description must hold
    const char* originalName;
};

void PrintTo(const Program& program, std::ostream* os)
{
    *os << program.originalName;
}

const Program kPrograms[] = {
    {CORVASI_EXE, "viewer", "corvasi.exe"},
    {CORVASI_RENDER_EXE, "renderer", "corvasi-render.exe"},
};

// The version resource of a file; empty when it has none.
std::vector<char> versionInfo(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    std::vector<char> block(size);
    if (size == 0 || !GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        block.clear();
    return block;
}

// One string of the first language the resource lists; empty when missing.
std::string versionString(std::vector<char>& block, const char* name)
{
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations), &length) ||
        length < sizeof(Translation))
        return std::string();
    char query[128];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name);
    char* text = nullptr;
    if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&text), &length) || !text)
        return std::string();
    return text;
}

std::string manifestOf(const std::string& path)
{
    std::string text;
    const HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return text;
    const HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24)); // RT_MANIFEST
    const HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (bytes)
        text.assign(static_cast<const char*>(bytes), SizeofResource(module, resource));
    FreeLibrary(module);
    return text;
}

class ProgramResources : public ::testing::TestWithParam<Program> {};

} // namespace

TEST_P(ProgramResources, NameTheProductAndItsVersion)
{
    std::vector<char> block = versionInfo(nativePath(GetParam().path));
    ASSERT_FALSE(block.empty()) << "no version resource";
    EXPECT_EQ("Corvasi", versionString(block, "ProductName"));
    EXPECT_EQ("0.10", versionString(block, "ProductVersion"));
    EXPECT_EQ("0.10", versionString(block, "FileVersion"));
    EXPECT_EQ(GetParam().originalName, versionString(block, "OriginalFilename"));
    EXPECT_NE(std::string::npos, versionString(block, "FileDescription").find(GetParam().description));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
    EXPECT_EQ(MAKELONG(10, 0), fixed->dwProductVersionMS) << "0.10 as major 0, minor 10";
    EXPECT_EQ(0u, fixed->dwProductVersionLS);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    EXPECT_EQ(static_cast<DWORD>(VFT_APP), fixed->dwFileType);
}

TEST_P(ProgramResources, ManifestAsksForCommonControls6UTF8LongPathsAndTheUsersOwnRights)
{
    const std::string manifest = manifestOf(nativePath(GetParam().path));
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";
    EXPECT_NE(std::string::npos, manifest.find("name=\"Microsoft.Windows.Common-Controls\""));
    EXPECT_NE(std::string::npos, manifest.find("version=\"6.0.0.0\""));
    EXPECT_NE(std::string::npos,
              manifest.find(
                  "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">false</dpiAware>"))
        << "pixels stay pixels: the program is not DPI-aware";
    EXPECT_NE(
        std::string::npos,
        manifest.find(
            "<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/WindowsSettings\">UTF-8</activeCodePage>"));
    EXPECT_NE(
        std::string::npos,
        manifest.find(
            "<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\">true</longPathAware>"));
    EXPECT_NE(std::string::npos, manifest.find("<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"))
        << "no elevation, and no file virtualization";
}

INSTANTIATE_TEST_SUITE_P(BothPrograms, ProgramResources, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& info) {
                             return std::string(info.param.originalName).find("render") == std::string::npos
                                        ? "Viewer"
                                        : "Renderer";
                         });

TEST(ViewerProcess, RunsWithVersion6OfTheCommonControls)
{
    // What the manifest is for: the loader gives the running program the
    // side-by-side common controls, not the system folder's version 5.
    RunningViewer viewer(quoted(dataPath("obj/cube.obj")));
    const HWND window = viewer.window();
    ASSERT_TRUE(window) << "the viewer did not come up";

    std::string controlsPath;
    HMODULE modules[512];
    DWORD needed = 0;
    ASSERT_TRUE(EnumProcessModules(viewer.process.hProcess, modules, sizeof modules, &needed));
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 512; ++i) {
        char name[MAX_PATH] = "";
        GetModuleFileNameExA(viewer.process.hProcess, modules[i], name, MAX_PATH);
        const std::string path = name;
        const std::size_t slash = path.find_last_of('\\');
        if (lstrcmpiA(path.substr(slash + 1).c_str(), "comctl32.dll") == 0)
            controlsPath = path;
    }
    PostMessageA(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, viewer.exitCode());

    ASSERT_FALSE(controlsPath.empty()) << "comctl32.dll is not loaded";
    // Version 6 is only ever loaded from its side-by-side assembly's folder.
    const std::string lower = lowerCase(controlsPath);
    EXPECT_NE(std::string::npos, lower.find("\\winsxs\\")) << controlsPath;
    EXPECT_NE(std::string::npos, lower.find("microsoft.windows.common-controls_6595b64144ccf1df_6.")) << controlsPath;
}
