#pragma once

// Little-endian fields, as the TGA and BMP formats store them.

#include <cstdint>

inline unsigned readU16(const unsigned char* p)
{
    return p[0] | (p[1] << 8);
}

inline std::uint32_t readU32(const unsigned char* p)
{
    return readU16(p) | (static_cast<std::uint32_t>(readU16(p + 2)) << 16);
}

// Two's complement, as Windows stores a LONG.
inline std::int32_t readS32(const unsigned char* p)
{
    const std::uint32_t u = readU32(p);
    return u <= INT32_MAX ? static_cast<std::int32_t>(u) : -static_cast<std::int32_t>(~u) - 1;
}

inline void writeU16(unsigned char* p, unsigned value)
{
    p[0] = static_cast<unsigned char>(value & 0xFF);
    p[1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

inline void writeU32(unsigned char* p, std::uint32_t value)
{
    writeU16(p, value & 0xFFFF);
    writeU16(p + 2, value >> 16);
}
