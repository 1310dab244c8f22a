#include "mesh/Numbers.h"

#include "mesh/Decimal.h"
#include "platform/Runtime.h"

#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Blanks as the runtime's conversions skip them.
bool isSpace(char c)
{
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The word [begin, end) as a zero-terminated string, which strtod and
// scanDecimal need.
class TerminatedWord {
public:
    TerminatedWord(const char* begin, const char* end)
    {
        // Most words are short.
        const std::size_t n = static_cast<std::size_t>(end - begin);
        if (n < sizeof local) {
            std::memcpy(local, begin, n);
            local[n] = '\0';
            text = local;
        } else {
            copy.assign(begin, end);
            text = copy.c_str();
        }
    }
    TerminatedWord(const TerminatedWord&) = delete;
    TerminatedWord& operator=(const TerminatedWord&) = delete;

    const char* text;

private:
    char local[64];
    std::string copy;
};

} // namespace

const char* decimal_detail::appendExponent(const char* p, int& exponent)
{
    const char* q = p + 1;
    const bool negative = *q == '-';
    if (*q == '-' || *q == '+')
        ++q;
    if (!isDigit(*q))
        return p;
    int value = 0;
    for (; isDigit(*q); ++q) {
        if (value > 10000)
            return nullptr;
        value = value * 10 + (*q - '0');
    }
    exponent += negative ? -value : value;
    return q;
}

double toDouble(const char* begin, const char* end)
{
    const TerminatedWord word(begin, end);
    Decimal number;
    double value;
    if (scanDecimal(word.text, number) && exactDouble(number, value))
        return value;
    // Everything else goes to strtod itself.
    return rt::stringToDouble(word.text, nullptr);
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
