#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// Output in large blocks; numbers formatted by hand, since printf would
// dominate the run time on files of hundreds of megabytes.
class TextWriter {
public:
    explicit TextWriter(std::FILE* file) : file(file), buffer(kSize) {}
    TextWriter(const TextWriter&) = delete;
    TextWriter& operator=(const TextWriter&) = delete;
    ~TextWriter() { flush(); }

    bool failed() const { return error; }

    void text(const char* s)
    {
        const std::size_t n = std::strlen(s);
        reserve(n);
        std::memcpy(buffer.data() + used, s, n);
        used += n;
    }

    void put(char c)
    {
        reserve(1);
        buffer[used++] = c;
    }

    void unsignedNumber(std::uint64_t value)
    {
        reserve(20);
        char digits[20];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value);
        while (n)
            buffer[used++] = digits[--n];
    }

    // As "%.6f" prints it, rounded half away from zero (a negative value
    // that rounds to zero prints without its sign).
    void fixed6(double value)
    {
        const long long micro = std::llround(value * 1e6);
        const std::uint64_t magnitude =
            micro < 0 ? static_cast<std::uint64_t>(-micro) : static_cast<std::uint64_t>(micro);
        if (micro < 0)
            put('-');
        unsignedNumber(magnitude / 1000000);
        reserve(7);
        buffer[used++] = '.';
        std::uint64_t fraction = magnitude % 1000000;
        for (int i = 5; i >= 0; --i) {
            buffer[used + static_cast<std::size_t>(i)] = static_cast<char>('0' + fraction % 10);
            fraction /= 10;
        }
        used += 6;
    }

    void flush()
    {
        if (used && std::fwrite(buffer.data(), 1, used, file) != used)
            error = true;
        used = 0;
    }

private:
    static constexpr std::size_t kSize = std::size_t(8) << 20;

    void reserve(std::size_t n)
    {
        if (used + n > buffer.size())
            flush();
    }

    std::FILE* file;
    std::vector<char> buffer;
    std::size_t used = 0;
    bool error = false;
};
