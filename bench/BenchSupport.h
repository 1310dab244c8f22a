#pragma once

// What the bench tools share: their command lines, the rows they print, the
// times and the process's memory. MB here are 10^6 bytes.

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace bench {

constexpr double kMB = 1e6;

// Prints "usage: " and the text on standard error; the tools' exit code for
// a command line they cannot use.
inline int usage(const char* text)
{
    std::fprintf(stderr, "usage: %s\n", text);
    return 2;
}

// An option of a tool's command line: a switch that sets *on, or, with
// value set, an option whose value is the next word.
struct Option {
    const char* name;
    bool* on;
    const char** value = nullptr;
};

// Sorts the command line into the options and the other words, in order;
// false on an option that is not in the list or that lacks its value.
inline bool readArguments(int argc, char** argv, std::initializer_list<Option> options, std::vector<const char*>& words)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strncmp(arg, "--", 2) != 0) {
            words.push_back(arg);
            continue;
        }
        const Option* option = std::find_if(options.begin(), options.end(),
                                            [arg](const Option& o) { return std::strcmp(o.name, arg) == 0; });
        if (option == options.end())
            return false;
        if (option->on)
            *option->on = true;
        if (option->value) {
            if (i + 1 >= argc)
                return false;
            *option->value = argv[++i];
        }
    }
    return true;
}

// A whole number from low to high, written in decimal and nothing else.
template <class Int>
bool readWhole(const char* text, long long low, long long high, Int& out)
{
    char* end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    if (end == text || *end || value < low || value > high)
        return false;
    out = static_cast<Int>(value);
    return true;
}

// Prints lines of figures: the label padded to width, then the values.
struct RowPrinter {
    int width;

    __attribute__((format(printf, 3, 4))) void operator()(const char* label, const char* format, ...) const
    {
        std::printf("%-*s ", width, label);
        va_list args;
        va_start(args, format);
        std::vprintf(format, args);
        va_end(args);
        std::printf("\n");
    }
};

inline double seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : 0.5 * (values[n / 2 - 1] + values[n / 2]);
}

// The size of a file in bytes; 0 when it cannot be read.
inline double fileSize(const char* path)
{
    std::FILE* file = std::fopen(path, "rb");
    if (!file)
        return 0.0;
    double size = 0.0;
#ifdef _WIN32
    if (_fseeki64(file, 0, SEEK_END) == 0)
        size = static_cast<double>(_ftelli64(file));
#else
    if (fseeko(file, 0, SEEK_END) == 0)
        size = static_cast<double>(ftello(file));
#endif
    std::fclose(file);
    return size;
}

// The process's memory in bytes: resident (the working set on Windows) now
// and at its highest so far, and the peak private bytes (Windows only).
struct Memory {
    double current = 0.0;
    double peak = 0.0;
    double peakPrivate = 0.0;
};

inline Memory processMemory()
{
    Memory m;
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        m.current = static_cast<double>(counters.WorkingSetSize);
        m.peak = static_cast<double>(counters.PeakWorkingSetSize);
        m.peakPrivate = static_cast<double>(counters.PeakPagefileUsage);
    }
#else
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        m.peak = static_cast<double>(usage.ru_maxrss) * 1024.0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        unsigned long size = 0;
        unsigned long resident = 0;
        if (std::fscanf(statm, "%lu %lu", &size, &resident) == 2)
            m.current = static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
        std::fclose(statm);
    }
#endif
    return m;
}

#ifdef _WIN32
// NOTE: Wine fills the peak private bytes with their current value, so the
// working set is what compares between the builds there.
inline bool underWine()
{
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
#endif

} // namespace bench
