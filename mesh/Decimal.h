#pragma once

// The one scanner for decimal numbers, behind both the OBJ reader's one-pass
// reading and toDouble. Inline, because it runs for nearly every number of
// a file.

#include <cstddef>
#include <cstdint>

// A decimal number as written: its digits times a power of ten, with the
// sign apart so that -0 keeps it.
struct Decimal {
    std::uint64_t digits = 0;
    int exponent = 0;
    bool negative = false;
};

namespace decimal_detail {

constexpr double kPowersOfTen[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
constexpr int kExactPowers = 22;             // the largest power of ten that a double holds exactly
constexpr std::ptrdiff_t kLongestExact = 19; // digits that always fit 64 bits

// The run of digits at p, appended to digits.
inline const char* appendDigits(const char* p, std::uint64_t& digits)
{
    for (unsigned digit; (digit = static_cast<unsigned char>(*p) - unsigned{'0'}) < 10; ++p)
        digits = digits * 10 + digit;
    return p;
}

// The exponent at p, at an "e", added to exponent when it has digits.
// Returns where the number ends: before an "e" without digits. Null for an
// exponent beyond ten thousand. Out of line: most numbers have none.
const char* appendExponent(const char* p, int& exponent);

} // namespace decimal_detail

// Reads the decimal number at p: an optional sign, digits with an optional
// point, and an optional exponent, in text that ends with something else (a
// zero byte, a line feed). Returns where the number ends. Null for what
// strtod alone reads right: no digit (blanks, "inf", "nan"), hexadecimal,
// more than 19 digits, an exponent beyond ten thousand.
inline const char* scanDecimal(const char* p, Decimal& number)
{
    using namespace decimal_detail;
    // Built in locals, which stay in registers (the text could alias
    // number), and stored once.
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+')
        ++p;
    const char* whole = p;
    std::uint64_t digits = 0;
    p = appendDigits(p, digits);
    if (p - whole == 1 && *whole == '0' && (*p == 'x' || *p == 'X'))
        return nullptr; // hexadecimal
    std::ptrdiff_t count = p - whole;
    std::ptrdiff_t fractionDigits = 0;
    if (*p == '.') {
        const char* fraction = p + 1;
        p = appendDigits(fraction, digits);
        fractionDigits = p - fraction;
        count += fractionDigits;
    }
    if (count == 0 || count > kLongestExact)
        return nullptr;
    int exponent = -static_cast<int>(fractionDigits);
    if (*p == 'e' || *p == 'E')
        p = appendExponent(p, exponent);
    number = Decimal{digits, exponent, negative};
    return p;
}

// The double nearest number when its digits and its power of ten are exact
// doubles, so that one correctly rounded product or quotient gives what
// strtod gives; false for the others.
inline bool exactDouble(const Decimal& number, double& value)
{
    using namespace decimal_detail;
    if (number.digits == 0) {
        value = number.negative ? -0.0 : 0.0;
        return true;
    }
    if (number.digits > (std::uint64_t{1} << 53) || number.exponent < -kExactPowers || number.exponent > kExactPowers)
        return false;
    // At most 2^53: exact in a double, and so in the signed conversion,
    // which the 32-bit build does in one step.
    double v = static_cast<double>(static_cast<std::int64_t>(number.digits));
    if (number.exponent < 0)
        v /= kPowersOfTen[-number.exponent];
    else
        v *= kPowersOfTen[number.exponent];
    value = number.negative ? -v : v;
    return true;
}
