#include "mesh/Numbers.h"

#include "platform/Runtime.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Blanks as the runtime's conversions skip them.
bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

double viaRuntime(const char* begin, const char* end)
{
    // strtod needs a terminated string; most words are short.
    char local[64];
    const std::size_t n = static_cast<std::size_t>(end - begin);
    if (n < sizeof local) {
        std::memcpy(local, begin, n);
        local[n] = '\0';
        return rt::stringToDouble(local, nullptr);
    }
    const std::string copy(begin, end);
    return rt::stringToDouble(copy.c_str(), nullptr);
}

const double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                               1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

} // namespace

double toDouble(const char* begin, const char* end)
{
    // Fast path for plain decimals whose digits fit in 53 bits and whose
    // power of ten is exact: one correctly rounded product or quotient gives
    // the same double as strtod. Everything else goes to strtod itself.
    const char* p = begin;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    std::uint64_t mantissa = 0;
    int digits = 0;      // significant digits taken into mantissa
    int exponent = 0;    // power of ten to apply to mantissa
    bool anyDigit = false;
    const char* q = p;
    while (q < end && isDigit(*q)) {
        anyDigit = true;
        if (mantissa || *q != '0') {
            if (++digits > 19)
                return viaRuntime(begin, end);
            mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
        }
        ++q;
    }
    if (q < end && *q == '.') {
        ++q;
        while (q < end && isDigit(*q)) {
            anyDigit = true;
            if (mantissa || *q != '0') {
                if (++digits > 19)
                    return viaRuntime(begin, end);
                mantissa = mantissa * 10 + static_cast<unsigned>(*q - '0');
            }
            --exponent;
            ++q;
        }
    }
    if (!anyDigit) {
        // Hexadecimal, "inf", "nan", leading blanks, or nothing to convert.
        return viaRuntime(begin, end);
    }
    if (q - p == 1 && *p == '0' && q < end && (*q == 'x' || *q == 'X'))
        return viaRuntime(begin, end);
    if (q < end && (*q == 'e' || *q == 'E')) {
        const char* r = q + 1;
        bool expNegative = false;
        if (r < end && (*r == '-' || *r == '+')) {
            expNegative = *r == '-';
            ++r;
        }
        if (r < end && isDigit(*r)) {
            int value = 0;
            while (r < end && isDigit(*r)) {
                if (value > 10000)
                    return viaRuntime(begin, end);
                value = value * 10 + (*r - '0');
                ++r;
            }
            exponent += expNegative ? -value : value;
        }
    }
    if (mantissa > (std::uint64_t(1) << 53) || exponent < -22 || exponent > 22)
        return mantissa == 0 ? (negative ? -0.0 : 0.0) : viaRuntime(begin, end);
    double value = static_cast<double>(mantissa);
    if (exponent < 0)
        value /= kPowersOfTen[-exponent];
    else
        value *= kPowersOfTen[exponent];
    return negative ? -value : value;
}

int toInt(const char* begin, const char* end)
{
    const char* p = begin;
    while (p < end && isSpace(*p))
        ++p;
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) {
        negative = *p == '-';
        ++p;
    }
    long long value = 0;
    while (p < end && isDigit(*p)) {
        value = value * 10 + (*p - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
        ++p;
    }
    if (negative)
        return value > INT_MAX ? INT_MIN : -static_cast<int>(value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}
