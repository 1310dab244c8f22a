#include "tests/mesh/MeshFixtures.h"

#include "mesh/Numbers.h"
#include "platform/Runtime.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

std::uint64_t bits(double d)
{
    std::uint64_t b;
    std::memcpy(&b, &d, sizeof b);
    return b;
}

// The runtime's own reading of the word, as a zero-terminated string.
double reference(const std::string& word)
{
    return rt::stringToDouble(word.c_str());
}

} // namespace

TEST(ToDouble, AgreesWithStrtodToTheLastBit)
{
    // clang-format off
    const char* words[] = {
        "0", "-0", "+0", "0.0", "-0.0", "1", "-1", "1.5", ".5", "-.5", "5.", "-5.", "0.1", "0.2", "0.3",
        "3.14159265358979323846", "1e10", "1E10", "1e-10", "1e+10", "1.5e0005", "2.5E-003", "1e22", "1e23",
        "1e-22", "1e-23", "9007199254740993", "9007199254740992", "123456789012345678901234567890",
        "0.000000000000000000000000000001", "1e308", "1e309", "-1e309", "1e-320", "1e-400", "4.9e-324",
        "2.2250738585072014e-308", "0x1p3", "0X1.8p1", "-0x10", "inf", "-inf", "INF", "infinity",
        "1.5junk", "1e", "1e+", "1e-x", "-", "+", ".", "-.", ".e5", "e5", "abc", "", "12,5", "1.2.3",
        "00000000000000000000000000001", "0.00000000000000000000000000001e29", "1234567890123456789",
        "12345678901234567890", "0.1234567890123456789", "99999999999999999999e-5", "\r1.25", "1.25\r",
        "0e999999999", "1e-999999999", "1e999999999", "-0e5", "007", "0x", "0xg", "1_000", "-.e5", "-x", "- 1",
        "+.", "-.5e", "-0x.p1", "0x.8", "-inf", "nan(12)",
    };
    // clang-format on
    for (const char* word : words)
        EXPECT_EQ(bits(reference(word)), bits(number(word))) << "\"" << word << "\"";
}

TEST(ToDouble, NothingToConvertIsZeroSignedLikeTheWindowsRuntime)
{
    const struct {
        const char* word;
        bool negative;
    } cases[] = {{"-", false}, {"+.", false}, {".", false},  {"", false},  {"x", false},
                 {"-.", true}, {"-x", true},  {"- 1", true}, {" -e", true}};
    for (const auto& c : cases) {
        const double value = number(c.word);
        EXPECT_EQ(0.0, value) << c.word;
        EXPECT_EQ(c.negative, std::signbit(value)) << c.word;
    }
}

TEST(ToDouble, NanStaysNan)
{
    EXPECT_TRUE(std::isnan(number("nan")));
    EXPECT_TRUE(std::isnan(number("-nan")));
    EXPECT_TRUE(std::isnan(number("NaN")));
}

TEST(ToDouble, RandomDecimalsAgreeWithStrtod)
{
    std::mt19937_64 random(20261207);
    for (int i = 0; i < 200000; ++i) {
        std::string word;
        if (random() % 4 == 0)
            word += '-';
        const int intDigits = static_cast<int>(random() % 8);
        for (int d = 0; d < intDigits; ++d)
            word += static_cast<char>('0' + random() % 10);
        if (random() % 3) {
            word += '.';
            const int fracDigits = static_cast<int>(random() % 20);
            for (int d = 0; d < fracDigits; ++d)
                word += static_cast<char>('0' + random() % 10);
        }
        if (random() % 5 == 0)
            word += "e" + std::to_string(static_cast<int>(random() % 80) - 40);
        ASSERT_EQ(bits(reference(word)), bits(number(word))) << "\"" << word << "\"";
    }
}

TEST(ToDouble, StopsAtTheEndOfTheWordNotTheString)
{
    const char text[] = "1.25e3";
    EXPECT_EQ(1.25, toDouble(text, text + 4));
    EXPECT_EQ(1.0, toDouble(text, text + 1));
}

TEST(ToInt, LeadingNumericPartSaturated)
{
    struct Case {
        const char* word;
        int value;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"-42", -42},
        {"+7", 7},
        {" \t12", 12},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"2147483647", INT_MAX},
        {"2147483648", INT_MAX},
        {"-2147483648", INT_MIN},
        {"-2147483649", INT_MIN},
        {"99999999999999999999999999", INT_MAX},
        {"--1", 0},
        {"- 1", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, toInt(c.word, c.word + std::strlen(c.word))) << c.word;
}
