#include "PlainWindow.h"

#include <GL/gl.h>
#include <GL/wglext.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kClassName[] = "Corvasi GL Context Test";

// The slot of this program's import table through which it calls function
// of dll; null when it imports no such function.
void** importSlot(const char* dll, const char* function)
{
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; imports.VirtualAddress != 0 && entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
            continue;
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slot->u1.Function);
        }
    }
    return nullptr;
}

// Puts value in the slot; returns what was there.
void* exchangeSlot(void** slot, void* value)
{
    DWORD protection = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &protection);
    void* old = *slot;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, protection, &protection);
    return old;
}

// Between function pointer types, and to and from the import table's
// addresses; going through void (*)() keeps it free of function-type warnings.
template <typename To, typename From>
To as(From address)
{
    return reinterpret_cast<To>(reinterpret_cast<void (*)()>(address));
}

struct Recorded {
    std::vector<std::string> calls; // "function argument"
    std::vector<int> chooseSamples;
    std::vector<int> swapIntervals;
    PFNWGLCHOOSEPIXELFORMATARBPROC realChoose = nullptr;
    PFNWGLSWAPINTERVALEXTPROC realSwapInterval = nullptr;
} recorded;

// The patched imports: their slots and the real functions.
struct Patch {
    const char* dll;
    const char* function;
    void* replacement;
    void** slot;
    void* real;
};

// A class name, or an atom as "#n".
std::string className(const char* name)
{
    return HIWORD(name) != 0 ? name : "#" + std::to_string(LOWORD(name));
}

ATOM WINAPI recordRegisterClassExA(const WNDCLASSEXA* windowClass);
HWND WINAPI recordCreateWindowExA(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID);
PROC WINAPI recordGetProcAddress(LPCSTR name);

Patch patches[] = {
    {"user32.dll", "RegisterClassExA", reinterpret_cast<void*>(&recordRegisterClassExA), nullptr, nullptr},
    {"user32.dll", "CreateWindowExA", reinterpret_cast<void*>(&recordCreateWindowExA), nullptr, nullptr},
    {"opengl32.dll", "wglGetProcAddress", reinterpret_cast<void*>(&recordGetProcAddress), nullptr, nullptr},
};

ATOM WINAPI recordRegisterClassExA(const WNDCLASSEXA* windowClass)
{
    recorded.calls.push_back("RegisterClassExA " + className(windowClass->lpszClassName));
    return as<decltype(&RegisterClassExA)>(patches[0].real)(windowClass);
}

HWND WINAPI recordCreateWindowExA(DWORD exStyle, LPCSTR name, LPCSTR title, DWORD style, int x, int y, int width,
                                  int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID parameter)
{
    recorded.calls.push_back("CreateWindowExA " + className(name));
    return as<decltype(&CreateWindowExA)>(patches[1].real)(exStyle, name, title, style, x, y, width, height, parent,
                                                           menu, instance, parameter);
}

BOOL WINAPI recordChoosePixelFormat(HDC dc, const int* attributes, const FLOAT* floatAttributes, UINT maxFormats,
                                    int* formats, UINT* count)
{
    for (const int* a = attributes; a && a[0] != 0; a += 2) {
        if (a[0] == WGL_SAMPLES_ARB)
            recorded.chooseSamples.push_back(a[1]);
    }
    return recorded.realChoose(dc, attributes, floatAttributes, maxFormats, formats, count);
}

BOOL WINAPI recordSwapInterval(int interval)
{
    recorded.swapIntervals.push_back(interval);
    return recorded.realSwapInterval(interval);
}

// Hands out the recording stand-ins of the two WGL functions that matter.
PROC WINAPI recordGetProcAddress(LPCSTR name)
{
    const PROC real = as<decltype(&wglGetProcAddress)>(patches[2].real)(name);
    recorded.calls.push_back(std::string("wglGetProcAddress ") + name);
    if (real && std::strcmp(name, "wglChoosePixelFormatARB") == 0) {
        recorded.realChoose = as<PFNWGLCHOOSEPIXELFORMATARBPROC>(real);
        return as<PROC>(recordChoosePixelFormat);
    }
    if (real && std::strcmp(name, "wglSwapIntervalEXT") == 0) {
        recorded.realSwapInterval = as<PFNWGLSWAPINTERVALEXTPROC>(real);
        return as<PROC>(recordSwapInterval);
    }
    return real;
}

} // namespace

PlainWindow::PlainWindow(int width, int height)
{
    WNDCLASSA wc = {};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);

    // NOTE: Wine without a window manager waits up to two seconds for a
    // captioned window to be mapped and again to be unmapped; a popup window
    // is not managed and shows at once.
    const DWORD style = WS_POPUP;
    RECT frame = {0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    hwnd = CreateWindowExA(0, kClassName, "GLContext test", style, 0, 0, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (hwnd)
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

PlainWindow::~PlainWindow()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

WglCallRecorder::WglCallRecorder()
{
    recorded = Recorded();
    for (Patch& patch : patches) {
        patch.slot = importSlot(patch.dll, patch.function);
        if (patch.slot)
            patch.real = exchangeSlot(patch.slot, patch.replacement);
    }
}

WglCallRecorder::~WglCallRecorder()
{
    for (Patch& patch : patches) {
        if (patch.slot)
            exchangeSlot(patch.slot, patch.real);
        patch.slot = nullptr;
    }
}

bool WglCallRecorder::hooked() const
{
    for (const Patch& patch : patches) {
        if (!patch.slot)
            return false;
    }
    return true;
}

int WglCallRecorder::count(const std::string& call) const
{
    return static_cast<int>(std::count(recorded.calls.begin(), recorded.calls.end(), call));
}

const std::vector<int>& WglCallRecorder::chooseSamples() const
{
    return recorded.chooseSamples;
}

const std::vector<int>& WglCallRecorder::swapIntervals() const
{
    return recorded.swapIntervals;
}
