// Long use of a real viewer window: the same commands hundreds of times must
// give back every handle, texture, display list and byte they take. The
// real program, closed in the middle of things, exits cleanly. And a load
// that runs out of memory is a failed load, not the end of the process.
//
// Each test uses one window and repeats its commands inside it. Counts are
// taken after a warm-up round, so that what is made once and kept (caches of
// the system and the driver) is not counted as growth.

#include "tests/app/MenuDriver.h"
#include "tests/app/ProgramRunner.h"
#include "tests/app/ViewerFixture.h"

#include "dialogs/AnaglyphDepthDialog.h"
#include "image/DibImage.h"
#include "mesh/MemoryReserve.h"
#include "mesh/Mesh.h"
#include "mesh/ObjReader.h"

#include <psapi.h>

#include <GL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

// Margins for "ends where it started", after the warm-up. Each leaks far
// more than this over the rounds if one round keeps one object: a texture
// image of 48 KiB or more, a captured picture of 768 KiB, a GDI object or a
// window per round.
constexpr int kGdiMargin = 4;
constexpr int kUserMargin = 2;
constexpr double kMemoryMarginBytes = 8.0 * 1024 * 1024;

// GDI or USER objects of this process, or what fallback counts where Wine 8
// cannot say (GetGuiResources fails with ERROR_CALL_NOT_IMPLEMENTED).
int guiObjects(DWORD kind, int (*fallback)())
{
    SetLastError(0);
    const DWORD count = GetGuiResources(GetCurrentProcess(), kind);
    return count || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED ? static_cast<int>(count) : fallback();
}

// NOTE: Wine's GetObjectType takes a handle whose high word is 0 as naming
// whatever object is alive in that slot of the process's handle table, so
// there the slots are counted for GDI objects.
int liveGdiSlots()
{
    int live = 0;
    for (UINT_PTR slot = 1; slot < 0x10000; ++slot)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(slot)))
            ++live;
    return live;
}

BOOL CALLBACK countWindow(HWND window, LPARAM lParam)
{
    int& count = *reinterpret_cast<int*>(lParam);
    ++count;
    EnumChildWindows(window, countWindow, lParam);
    return TRUE;
}

// For USER objects, the windows of this thread, top-level and child.
int threadWindows()
{
    int windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

// The regions of this process's address space, from the lowest.
std::vector<MEMORY_BASIC_INFORMATION> memoryRegions()
{
    std::vector<MEMORY_BASIC_INFORMATION> regions;
    MEMORY_BASIC_INFORMATION region;
    const char* address = nullptr;
    while (VirtualQuery(address, &region, sizeof region) == sizeof region) {
        regions.push_back(region);
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return regions;
}

// Private bytes of this process.
// NOTE: Wine 8 reports PrivateUsage as 0; there the committed private
// regions of the address space are added up, which is what it counts.
double privateBytes()
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters) &&
        counters.PrivateUsage)
        return static_cast<double>(counters.PrivateUsage);
    double total = 0;
    for (const MEMORY_BASIC_INFORMATION& region : memoryRegions())
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<double>(region.RegionSize);
    return total;
}

struct Usage {
    int gdi;
    int user;
    double bytes;
};

Usage usage()
{
    return Usage{guiObjects(GR_GDIOBJECTS, liveGdiSlots), guiObjects(GR_USEROBJECTS, threadWindows), privateBytes()};
}

void expectSameUsage(const Usage& before, const Usage& after, const char* what)
{
    std::printf("[ %s ] GDI %d -> %d, USER %d -> %d, private %.1f -> %.1f MB\n", what, before.gdi, after.gdi,
                before.user, after.user, before.bytes / 1048576, after.bytes / 1048576);
    EXPECT_NEAR(before.gdi, after.gdi, kGdiMargin) << what << ": GDI objects";
    EXPECT_NEAR(before.user, after.user, kUserMargin) << what << ": USER objects";
    EXPECT_LT(after.bytes - before.bytes, kMemoryMarginBytes) << what << ": private bytes";
}

// An uncompressed 24-bit TGA of a pattern that depends on seed.
std::string patternTga(int width, int height, int seed)
{
    return tgaFile(width, height, 3, [=](int x, int y, int c) {
        return c == 0 ? (y * width + x) * seed : c == 1 ? y * 8 + seed : x * 4;
    });
}

// A square grid of cells x cells quads with texture coordinates; each row
// of cells takes the next of the materials.
std::string texturedGrid(int cells, const std::vector<std::string>& materials)
{
    std::string obj;
    for (int y = 0; y <= cells; ++y)
        for (int x = 0; x <= cells; ++x)
            obj += "v " + std::to_string(x * 100 / cells - 50) + " " + std::to_string(y * 100 / cells - 50) +
                   " 0\nvt " + std::to_string(static_cast<double>(x) / cells) + " " +
                   std::to_string(static_cast<double>(y) / cells) + "\n";
    for (int y = 0; y < cells; ++y) {
        obj += "usemtl " + materials[static_cast<std::size_t>(y) % materials.size()] + "\n";
        for (int x = 0; x < cells; ++x) {
            const int a = y * (cells + 1) + x + 1;
            const int b = a + cells + 1;
            const std::string c[4] = {std::to_string(a), std::to_string(a + 1), std::to_string(b + 1),
                                      std::to_string(b)};
            obj += "f " + c[0] + "/" + c[0] + " " + c[1] + "/" + c[1] + " " + c[2] + "/" + c[2] + " " + c[3] + "/" +
                   c[3] + "\n";
        }
    }
    return obj;
}

// Two small textured meshes: "long-one" with one texture, "long-two" with
// two materials, each with its own texture. Returns their paths.
std::pair<std::string, std::string> writeTwoMeshes()
{
    writeFile(scratchPath("long-one.tga"), patternTga(128, 128, 3));
    writeFile(scratchPath("long-two-a.tga"), patternTga(128, 64, 5));
    writeFile(scratchPath("long-two-b.tga"), patternTga(64, 128, 7));
    const std::string one =
        writeMesh("long-one", texturedGrid(24, {"one"}), "newmtl one\nKd 1 1 1\nmap_Kd long-one.tga\n");
    const std::string two = writeMesh("long-two", texturedGrid(24, {"a", "b"}),
                                      "newmtl a\nKd 1 1 1\nmap_Kd long-two-a.tga\n"
                                      "newmtl b\nKd 1 1 1\nmap_Kd long-two-b.tga\n");
    return {one, two};
}

int environmentCount(const char* name, int fallback)
{
    const char* value = std::getenv(name);
    const int n = value ? std::atoi(value) : 0;
    return n > 0 ? n : fallback;
}

} // namespace

class LongUseTest : public ViewerTest {
protected:
    // Runs round(i) for i below warmUp, then counts what the process holds
    // around rounds more: the counts must agree (what names the rounds).
    void expectRoundsGiveBack(int warmUp, int rounds, const std::string& what, const std::function<bool(int)>& round)
    {
        for (int i = 0; i < warmUp; ++i)
            ASSERT_TRUE(round(i)) << "warm-up round " << i;
        settle();
        const Usage before = usage();
        for (int i = 0; i < rounds; ++i)
            ASSERT_TRUE(round(i)) << "round " << i;
        settle();
        expectSameUsage(before, usage(), what.c_str());
    }
};

TEST_F(LongUseTest, OpeningMeshes500TimesGivesBackTexturesListsHandlesAndMemory)
{
    const auto meshes = writeTwoMeshes();
    createViewer(meshes.first);
    MessageBoxWatcher watcher; // a mesh that fails to load must not stop the run
    GLuint highestName = 0;
    // Round i opens the two-texture mesh when i is even. Opening paints, and
    // painting uploads the mesh's textures; the display lists follow once
    // the frame is shown.
    auto open = [&](int i) {
        const bool two = i % 2 == 0;
        viewer.openMesh(two ? meshes.second.c_str() : meshes.first.c_str());
        if (!pumpUntil([&] { return viewer.meshLists.ready(); })) {
            ADD_FAILURE() << "round " << i << ": no display lists";
            return false;
        }
        const std::size_t expected = two ? 2 : 1;
        if (viewer.textures.entries.size() != expected) {
            ADD_FAILURE() << "round " << i << ": " << viewer.textures.entries.size() << " textures";
            return false;
        }
        for (const auto& entry : viewer.textures.entries) {
            if (!entry->valid) {
                ADD_FAILURE() << "round " << i << ": " << entry->path << " not uploaded";
                return false;
            }
            highestName = std::max(highestName, entry->glName);
        }
        return true;
    };

    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(open(i));
    const int listsBefore = liveNames(viewer, glIsList, 0x10000); // the font's and the mesh's
    ASSERT_NO_FATAL_FAILURE(expectRoundsGiveBack(0, 500, "500 meshes opened", open));

    EXPECT_EQ(0, watcher.count()) << watcher.lastText();
    std::printf("[ textures ] highest name used %u\n", highestName);
    EXPECT_EQ(static_cast<int>(viewer.textures.entries.size()), liveNames(viewer, glIsTexture, highestName + 64))
        << "every texture of a replaced mesh is deleted";
    EXPECT_EQ(listsBefore, liveNames(viewer, glIsList, 0x10000)) << "every display list of a replaced mesh is deleted";
}

TEST_F(LongUseTest, CopyingAndSavingTheImage200TimesGivesBackHandlesAndMemory)
{
    const auto meshes = writeTwoMeshes();
    createViewer(meshes.second);
    const std::string path = scratchPath("long-saved.bmp");
    // What the Copy Image and Save Image commands do, the file already chosen.
    auto copyAndSave = [&](int i) {
        viewer.anaglyphMode = i % 2 == 1;
        {
            std::unique_ptr<DibImage> image(viewer.captureImage());
            if (!image || !image->copyToClipboard(viewer.hwnd))
                return false;
        }
        viewer.redraw();
        std::unique_ptr<DibImage> image(viewer.captureImage());
        return image && saveImageFile(*image, path.c_str());
    };

    ASSERT_NO_FATAL_FAILURE(expectRoundsGiveBack(4, 200, "200 copies and 200 saves", copyAndSave));

    EXPECT_EQ(54u + 512u * 1536u, readFile(path).size());
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE data = GetClipboardData(CF_DIB);
    const auto* header = data ? static_cast<const BITMAPINFOHEADER*>(GlobalLock(data)) : nullptr;
    EXPECT_TRUE(header && header->biWidth == 512 && header->biHeight == 512 && header->biBitCount == 24)
        << "the clipboard holds the last picture";
    if (header)
        GlobalUnlock(data);
    CloseClipboard();
}

TEST_F(LongUseTest, OpeningAndCancellingTheDepthDialogGivesBackHandlesAndMemory)
{
    // CORVASI_LONGUSE_DIALOGS sets another number of rounds.
    const int rounds = environmentCount("CORVASI_LONGUSE_DIALOGS", 100);
    const auto meshes = writeTwoMeshes();
    createViewer(meshes.first);
    viewer.anaglyphMode = true;
    int cancelled = 0;
    int followed = 0; // rounds in which the depth followed the slider
    // What the Anaglyph Depth command does, with a user who moves the slider
    // to its end with the keyboard, notes the viewer's depth, and cancels.
    auto openAndCancel = [&](int) {
        AnaglyphDepthDialog dialog;
        const int previous = viewer.anaglyphDepth;
        bool accepted = false;
        {
            DepthDialogUser user([&] { followed += viewer.anaglyphDepth == 1000; });
            accepted = dialog.doModal(viewer.hwnd, &viewer.anaglyphDepth);
            cancelled += user.done();
        }
        if (!accepted)
            viewer.anaglyphDepth = previous;
        viewer.redraw();
        return !accepted && viewer.anaglyphDepth == 300 && IsWindowEnabled(viewer.hwnd);
    };

    ASSERT_NO_FATAL_FAILURE(
        expectRoundsGiveBack(1, rounds, "depth dialog " + std::to_string(rounds) + " times", openAndCancel));
    EXPECT_EQ(rounds + 1, cancelled);
    EXPECT_EQ(rounds + 1, followed) << "the picture's depth follows the slider in every round";
}

TEST(LongUse, ADriverWhoseCancelClosesTheDialogCountsItsJobDone)
{
    // On a busy machine the dialog can close, and doModal return, before
    // the driver's thread is past its Cancel; here it is held there until
    // doModal has returned.
    std::atomic<bool> returned{false};
    int depth = 300;
    AnaglyphDepthDialog dialog;
    ModalDriver driver(
        "depth dialog", [] { return findShownWindow(nullptr, "Anaglyph Depth"); },
        [&](HWND window) {
            PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
            waitFor([&] { return returned.load(); });
        });
    EXPECT_FALSE(dialog.doModal(nullptr, &depth));
    returned = true;
    EXPECT_TRUE(driver.done());
}

TEST_F(LongUseTest, HostileShapesLoadOrAreRefusedAndTheViewerGoesOn)
{
    // Files of shapes no modeller writes, at a size that keeps the test
    // short (the full sizes are measured by bench/hostile.sh): each loads and
    // is drawn, or fails with the message and leaves the mesh on show.
    const auto meshes = writeTwoMeshes();
    createViewer(meshes.first);
    const Frame start = show();

    const int fan = 200000;
    std::string circle;
    for (int i = 0; i < 1000; ++i)
        circle += "v " + std::to_string(100 * std::cos(i * 0.0062831853)) + " " +
                  std::to_string(100 * std::sin(i * 0.0062831853)) + " 0\n";
    std::string fanFace = "f";
    for (int i = 0; i < fan; ++i)
        fanFace += " " + std::to_string(i % 1000 + 1);
    const std::string triangle = "v -50 -50 0\nv 50 -50 0\nv 0 50 0\nf 1 2 3\n";
    std::string alternating;
    for (int i = 0; i < 200000; ++i)
        alternating += i % 2 ? "usemtl a\n" : "usemtl b\n";
    std::string ownMaterials = triangle;
    for (int i = 0; i < 5000; ++i)
        ownMaterials += "usemtl m" + std::to_string(i) + "\nf 1 2 3\n";
    std::string unusedLibrary;
    for (int i = 0; i < 200000; ++i)
        unusedLibrary += "newmtl n" + std::to_string(i) + "\nKd 1 0 0\n";

    struct Shape {
        const char* name;
        std::string obj;
        std::string mtl;
        std::size_t faces; // 0: the file must fail
    } shapes[] = {
        {"hostile-fan", circle + fanFace + "\n", "", fan - 2},
        {"hostile-comment", "#" + std::string(10 << 20, 'c') + "\n" + triangle, "", 1},
        {"hostile-numbers", "v" + std::string(5 << 20, ' ') + std::string(10 << 20, '7') + "\n" + triangle, "", 1},
        {"hostile-usemtl", triangle + alternating + "f 1 3 2\n", "", 2},
        {"hostile-materials", ownMaterials, "", 5001},
        {"hostile-newmtl", triangle, unusedLibrary, 1},
        {"hostile-fan-bad-index", circle + fanFace + " 1001\n", "", 0},
        {"hostile-quotes", triangle + "f 1 2 \"" + std::string(1 << 20, '3') + "\n", "", 0},
    };
    MessageBoxWatcher watcher;
    int messages = 0;
    for (const Shape& shape : shapes) {
        const std::string path = writeMesh(shape.name, shape.obj, shape.mtl);
        const Mesh* before = viewer.mesh;
        viewer.openMesh(path.c_str());
        ASSERT_TRUE(viewer.mesh) << shape.name;
        if (shape.faces == 0) {
            EXPECT_EQ(before, viewer.mesh) << shape.name << ": the mesh on show stays";
            EXPECT_EQ(++messages, watcher.count()) << shape.name;
            EXPECT_EQ("Cannot load mesh : " + path, watcher.lastText()) << shape.name;
        } else {
            EXPECT_NE(before, viewer.mesh) << shape.name;
            std::size_t faces = 0;
            for (const auto& material : viewer.mesh->materials)
                faces += material->faceCount();
            EXPECT_EQ(shape.faces, faces) << shape.name;
            EXPECT_EQ(messages, watcher.count()) << shape.name << ": no message";
        }
        show();
        std::remove(path.c_str());
        std::remove((path.substr(0, path.size() - 4) + ".mtl").c_str());
    }
    viewer.openMesh(meshes.first.c_str());
    EXPECT_EQ(start.rgb, show().rgb) << "the first mesh looks as it did";
}

// The real program, closed in the middle of things: it must exit with 0 and
// write nothing.

TEST(LongUse, ClosingDuringADragExitsCleanly)
{
    RunningViewer program(quoted(writeTwoMeshes().second));
    const HWND window = program.answeringWindow();
    ASSERT_TRUE(window);
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
    PostMessageA(window, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(160, 130));
    EXPECT_TRUE(waitFor([&] { return program.capturing(window); })) << "the drag holds the mouse";
    program.expectCleanExitOnClose(window);
}

TEST(LongUse, ClosingWithTheDepthDialogOpenExitsCleanly)
{
    RunningViewer program(quoted(writeTwoMeshes().second));
    const HWND window = program.answeringWindow();
    ASSERT_TRUE(window);
    // The context-menu key, then Anaglyph Depth.
    PostMessageA(window, WM_KEYUP, VK_APPS, 0xC0000001);
    ASSERT_TRUE(program.window(nullptr, "#32768")) << "no menu came up";
    postKeys(window, MenuDriver::choose(AnaglyphDepthItem));
    ASSERT_TRUE(program.window("Anaglyph Depth")) << "the depth dialog did not come up";
    EXPECT_TRUE(waitFor([&] { return !IsWindowEnabled(window); })) << "the dialog is modal";
    program.expectCleanExitOnClose(window);
}

TEST(LongUse, ClosingWithThePopupMenuOpenExitsCleanly)
{
    RunningViewer program(quoted(writeTwoMeshes().first));
    const HWND window = program.answeringWindow();
    ASSERT_TRUE(window);
    PostMessageA(window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, 40));
    ASSERT_TRUE(program.window(nullptr, "#32768")) << "no menu came up";
    program.expectCleanExitOnClose(window);
}

TEST(LongUse, ClosingWithoutAMeshExitsCleanly)
{
    // A file that cannot be loaded leaves the viewer without a mesh, once its
    // message is acknowledged.
    RunningViewer program(quoted(writeMesh("long-broken", "v 1 2 3\nf 1 2 9\n")));
    const HWND box = program.window("Corvasi", "#32770");
    ASSERT_TRUE(box) << "no message about the file";
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    const HWND window = program.answeringWindow();
    ASSERT_TRUE(window);
    program.expectCleanExitOnClose(window);
}

TEST(LongUse, ClosingWhileTheFirstOpenDialogIsUpExitsCleanly)
{
    // Without a mesh on the command line the open-file dialog comes up while
    // the window is still being created.
    RunningViewer program("");
    ASSERT_TRUE(program.window("Open Mesh")) << "the open-file dialog did not come up";
    const HWND window = program.window();
    ASSERT_TRUE(window);
    program.expectCleanExitOnClose(window);
}

TEST(LongUse, ClosingWhileTheFirstMeshIsReportedUnreadableExitsCleanly)
{
    RunningViewer program(quoted(writeMesh("long-broken-start", "v 1 2 3\nf 1 2 9\n")));
    ASSERT_TRUE(program.window("Corvasi", "#32770")) << "no message about the file";
    const HWND window = program.window();
    ASSERT_TRUE(window);
    program.expectCleanExitOnClose(window);
}

namespace {

// Uses up the address space but about spare bytes, and keeps it for the
// life of the process (a death test's child): every free range is reserved,
// then the ranges the heap holds in reserve are taken with 64 KiB blocks,
// and spare bytes of the last ones are given back.
void useUpMemoryBut(std::size_t spare)
{
    // Reservations start on the 64 KiB allocation granularity.
    constexpr std::uintptr_t kGranularity = 0x10000;
    for (const MEMORY_BASIC_INFORMATION& region : memoryRegions()) {
        const std::uintptr_t begin = reinterpret_cast<std::uintptr_t>(region.BaseAddress);
        const std::uintptr_t from = (begin + kGranularity - 1) & ~(kGranularity - 1);
        if (region.State == MEM_FREE && begin + region.RegionSize > from)
            VirtualAlloc(reinterpret_cast<void*>(from), begin + region.RegionSize - from, MEM_RESERVE, PAGE_NOACCESS);
    }
    constexpr std::size_t kBlock = 64 << 10;
    std::vector<void*> blocks;
    blocks.reserve(1 << 16);
    while (blocks.size() < blocks.capacity()) {
        void* block = std::malloc(kBlock);
        if (!block)
            break;
        blocks.push_back(block);
    }
    for (std::size_t given = 0; given < spare / kBlock && !blocks.empty(); ++given) {
        std::free(blocks.back());
        blocks.pop_back();
    }
    new std::vector<void*>(std::move(blocks)); // kept, and seen as kept
}

// Ends the process with the code of any exception that no handler takes,
// instead of calling a debugger.
LONG WINAPI exitWithExceptionCode(EXCEPTION_POINTERS* exception)
{
    TerminateProcess(GetCurrentProcess(), exception->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

TEST(LongUse, RunningOutOfMemoryWhileLoadingIsAFailedLoadNotACrash)
{
    // A file that needs more memory than the process has (half a million
    // materials of one face each, 11 MB, about 270 MB loaded) must fail to
    // load, as any file that cannot be read, however little memory is left
    // when the reader starts.
    if (sizeof(void*) > 4)
        GTEST_SKIP() << "the address space of a 64-bit process cannot be used up";
    const std::string path = scratchPath("long-half-a-million-materials.obj");
    {
        std::string obj = "v 0 0 0\nv 100 0 0\nv 0 100 0\n";
        for (int i = 0; i < 500000; ++i)
            obj += "usemtl m" + std::to_string(i) + "\nf 1 2 3\n";
        ASSERT_TRUE(writeFile(path, obj));
    }
    const std::string smallPath = scratchPath("long-small.obj");
    ASSERT_TRUE(writeFile(smallPath, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"));
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const std::size_t spareMegabytes : {2u, 16u, 64u}) {
        EXPECT_EXIT(
            {
                SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
                SetUnhandledExceptionFilter(exitWithExceptionCode);
                useUpMemoryBut(spareMegabytes << 20);
                if (!MemoryReserve().held())
                    std::_Exit(4);
                if (loadObjMesh(path.c_str(), kLoadScale, true))
                    std::_Exit(2);
                // What the failed load took is back: a small mesh loads.
                std::unique_ptr<Mesh> small(loadObjMesh(smallPath.c_str(), kLoadScale, true));
                std::_Exit(small && small->materials.size() == 1 ? 0 : 5);
            },
            ::testing::ExitedWithCode(0), "")
            << "with " << spareMegabytes << " MB left (exit code 2: the file loaded after all; 3: "
            << "std::terminate; 4: no memory in reserve to begin with; 5: the small mesh did not load; "
            << "-1073741571: stack overflow; -1073741819: access violation)";
    }
    std::remove(path.c_str());
    std::remove(smallPath.c_str());
}
