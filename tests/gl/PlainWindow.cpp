#include "PlainWindow.h"

#include "gl/GLContext.h"

#include <GL/wglext.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

const char kClassName[] = "Corvasi GL Context Test";

int probeWindows = 0;

LRESULT CALLBACK countProbeWindows(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        char name[64];
        if (GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name) > 0 &&
            std::strcmp(name, GLContext::probeClassName) == 0)
            ++probeWindows;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The slot of this program's import table through which it calls function
// of dll; null when it imports no such function.
void** importSlot(const char* dll, const char* function)
{
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleA(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto* entry = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; imports.VirtualAddress != 0 && entry->Name != 0; ++entry) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0)
            continue;
        auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; name->u1.AddressOfData != 0; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
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
    std::vector<std::string> classes;
    std::vector<std::string> lookups;
    std::vector<int> chooseSamples;
    std::vector<int> swapIntervals;
    void** registerSlot = nullptr;
    void** lookupSlot = nullptr;
    void* realRegister = nullptr;
    void* realLookup = nullptr;
    PFNWGLCHOOSEPIXELFORMATARBPROC realChoose = nullptr;
    PFNWGLSWAPINTERVALEXTPROC realSwapInterval = nullptr;
} recorded;

ATOM WINAPI recordRegisterClassExA(const WNDCLASSEXA* windowClass)
{
    if (windowClass && HIWORD(windowClass->lpszClassName) != 0)
        recorded.classes.emplace_back(windowClass->lpszClassName);
    return as<ATOM(WINAPI*)(const WNDCLASSEXA*)>(recorded.realRegister)(windowClass);
}

BOOL WINAPI recordChoosePixelFormat(HDC dc, const int* attributes, const FLOAT* floatAttributes,
                                    UINT maxFormats, int* formats, UINT* count)
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

PROC WINAPI recordGetProcAddress(LPCSTR name)
{
    const PROC real = as<PROC(WINAPI*)(LPCSTR)>(recorded.realLookup)(name);
    recorded.lookups.emplace_back(name);
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
                           frame.bottom - frame.top, nullptr, nullptr, GetModuleHandleA(nullptr),
                           nullptr);
    if (hwnd)
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
}

PlainWindow::~PlainWindow()
{
    if (hwnd)
        DestroyWindow(hwnd);
}

ProbeWindowCounter::ProbeWindowCounter()
{
    probeWindows = 0;
    hook = SetWindowsHookExA(WH_CBT, countProbeWindows, nullptr, GetCurrentThreadId());
}

ProbeWindowCounter::~ProbeWindowCounter()
{
    if (hook)
        UnhookWindowsHookEx(hook);
}

int ProbeWindowCounter::created() const
{
    return probeWindows;
}

WglCallRecorder::WglCallRecorder()
{
    recorded = Recorded();
    recorded.registerSlot = importSlot("user32.dll", "RegisterClassExA");
    recorded.lookupSlot = importSlot("opengl32.dll", "wglGetProcAddress");
    if (!hooked())
        return;
    recorded.realRegister =
        exchangeSlot(recorded.registerSlot, reinterpret_cast<void*>(&recordRegisterClassExA));
    recorded.realLookup =
        exchangeSlot(recorded.lookupSlot, reinterpret_cast<void*>(recordGetProcAddress));
}

WglCallRecorder::~WglCallRecorder()
{
    if (!hooked())
        return;
    exchangeSlot(recorded.registerSlot, recorded.realRegister);
    exchangeSlot(recorded.lookupSlot, recorded.realLookup);
}

bool WglCallRecorder::hooked() const
{
    return recorded.registerSlot && recorded.lookupSlot;
}

int WglCallRecorder::registrations(const char* className) const
{
    int n = 0;
    for (const std::string& name : recorded.classes)
        n += name == className;
    return n;
}

int WglCallRecorder::lookups(const char* procName) const
{
    int n = 0;
    for (const std::string& name : recorded.lookups)
        n += name == procName;
    return n;
}

const std::vector<int>& WglCallRecorder::chooseSamples() const
{
    return recorded.chooseSamples;
}

const std::vector<int>& WglCallRecorder::swapIntervals() const
{
    return recorded.swapIntervals;
}
