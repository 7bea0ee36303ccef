// Typed numbers, display patterns, half-even counts and the log's code page.

#include "base/numeric_text.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <random>

#include <cmath>
#include <limits>
#include <optional>
#include <string>

namespace tavelo {
namespace {

// --- Reading typed numbers ------------------------------------------------------

struct ParseCase {
    const char *text;
    double expected;
};

class ParseNumberAccepts : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseNumberAccepts, ReadsTheNumber)
{
    const ParseCase &c = GetParam();
    const std::optional<double> v = parseNumber(c.text);
    ASSERT_TRUE(v.has_value()) << '"' << c.text << '"';
    EXPECT_DOUBLE_EQ(*v, c.expected);
    EXPECT_TRUE(isNumeric(c.text));
}

INSTANTIATE_TEST_SUITE_P(TypedForms, ParseNumberAccepts,
                         ::testing::Values(ParseCase{" 15 ", 15.0}, ParseCase{"+1.5", 1.5}, ParseCase{"-2", -2.0},
                                           ParseCase{".15", 0.15}, ParseCase{"15.", 15.0}, ParseCase{"1e3", 1000.0},
                                           ParseCase{"1.5E-2", 0.015}, ParseCase{"0", 0.0},
                                           ParseCase{"\t7\t", 7.0}, ParseCase{"-.5", -0.5},
                                           ParseCase{"2026", 2026.0}, ParseCase{"1E+2", 100.0}));

class ParseNumberRefuses : public ::testing::TestWithParam<const char *> {};

TEST_P(ParseNumberRefuses, IsNotNumeric)
{
    EXPECT_FALSE(parseNumber(GetParam()).has_value()) << '"' << GetParam() << '"';
    EXPECT_FALSE(isNumeric(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(NotNumbers, ParseNumberRefuses,
                         ::testing::Values("", " ", "nan", "NaN", "inf", "-infinity", "0x10", "1,5", "1 000", "1.2.3",
                                           "e5", "1e", "1e+", ".", "+", "-", "--1", "15a", "a15", "1e999",
                                           "-1e999", "1.5.", "1e3.5"));

// --- Display patterns -----------------------------------------------------------

struct FormatCase {
    double value;
    int decimals;
    const char *expected;
};

class FormatFixedPatterns : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatFixedPatterns, RoundsHalvesAwayFromZero)
{
    const FormatCase &c = GetParam();
    EXPECT_EQ(formatFixed(c.value, c.decimals), c.expected) << c.value << " with " << c.decimals << " decimals";
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatFixedPatterns,
    ::testing::Values(
        // "0"
        FormatCase{2.5, 0, "3"}, FormatCase{3.5, 0, "4"}, FormatCase{-2.5, 0, "-3"}, FormatCase{2.4999, 0, "2"},
        FormatCase{0.5, 0, "1"}, FormatCase{0.49, 0, "0"}, FormatCase{1055.0, 0, "1055"},
        FormatCase{-0.4, 0, "0"}, FormatCase{0.0, 0, "0"}, FormatCase{150.0, 0, "150"},
        // "0.0"
        FormatCase{0.0, 1, "0.0"}, FormatCase{9.25, 1, "9.3"}, FormatCase{12.5, 1, "12.5"},
        FormatCase{99.95, 1, "100.0"}, FormatCase{-0.04, 1, "0.0"}, FormatCase{-0.05, 1, "-0.1"},
        FormatCase{0.05, 1, "0.1"},
        // "0.00"
        FormatCase{0.125, 2, "0.13"}, FormatCase{-0.125, 2, "-0.13"}, FormatCase{1234.565, 2, "1234.57"},
        // 0.285 and 2.675 are slightly below the half in binary; their 15-digit forms are not.
        FormatCase{0.285, 2, "0.29"}, FormatCase{2.675, 2, "2.68"}, FormatCase{1.005, 2, "1.01"},
        FormatCase{0.005, 2, "0.01"}, FormatCase{0.0049, 2, "0.00"}, FormatCase{-0.004, 2, "0.00"},
        FormatCase{-0.0, 2, "0.00"}, FormatCase{9.999, 2, "10.00"}, FormatCase{3.0, 2, "3.00"},
        FormatCase{-12.3, 2, "-12.30"}, FormatCase{123456.789, 2, "123456.79"}, FormatCase{1e-20, 2, "0.00"},
        FormatCase{1e20, 0, "100000000000000000000"}));

TEST(FormatFixed, NeverShowsNotANumber)
{
    // A screen must never show "nan" or "inf".
    for (double v : {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
        const std::string s = formatFixed(v, 2);
        EXPECT_EQ(s.find("nan"), std::string::npos) << s;
        EXPECT_EQ(s.find("inf"), std::string::npos) << s;
    }
}

// --- Whole numbers, halves to even ----------------------------------------------

struct HalfEvenCase {
    double value;
    double expected;
};

class RoundHalfEven : public ::testing::TestWithParam<HalfEvenCase> {};

TEST_P(RoundHalfEven, TiesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(GetParam().value), GetParam().expected) << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(Values, RoundHalfEven,
                         ::testing::Values(HalfEvenCase{1500.5, 1500.0}, HalfEvenCase{1501.5, 1502.0},
                                           HalfEvenCase{0.5, 0.0}, HalfEvenCase{1.5, 2.0}, HalfEvenCase{2.5, 2.0},
                                           HalfEvenCase{-2.5, -2.0}, HalfEvenCase{-3.5, -4.0},
                                           HalfEvenCase{122.5, 122.0}, HalfEvenCase{123.5, 124.0},
                                           HalfEvenCase{2.4999, 2.0}, HalfEvenCase{2.5001, 3.0}));

TEST(ToInt16HalfEven, FitsTheSigned16BitRange)
{
    EXPECT_EQ(toInt16HalfEven(1500.5), std::optional<int16_t>(1500));
    EXPECT_EQ(toInt16HalfEven(1501.5), std::optional<int16_t>(1502));
    EXPECT_EQ(toInt16HalfEven(32767.0), std::optional<int16_t>(32767));
    EXPECT_EQ(toInt16HalfEven(32767.4), std::optional<int16_t>(32767));
    EXPECT_EQ(toInt16HalfEven(32766.5), std::optional<int16_t>(32766));
    EXPECT_EQ(toInt16HalfEven(-32768.0), std::optional<int16_t>(-32768));
    EXPECT_EQ(toInt16HalfEven(-32768.5), std::optional<int16_t>(-32768)); // the even neighbour fits
    // 32767.5 goes to the even 32768, which does not fit.
    EXPECT_FALSE(toInt16HalfEven(32767.5).has_value());
    EXPECT_FALSE(toInt16HalfEven(32768.0).has_value());
    EXPECT_FALSE(toInt16HalfEven(-32769.0).has_value());
    EXPECT_FALSE(toInt16HalfEven(1e300).has_value());
    EXPECT_FALSE(toInt16HalfEven(std::numeric_limits<double>::quiet_NaN()).has_value());
    EXPECT_FALSE(toInt16HalfEven(std::numeric_limits<double>::infinity()).has_value());
}

// --- Plain text of stored numbers ------------------------------------------------

TEST(PlainNumberText, ShowsStoredNumbersWithoutPattern)
{
    EXPECT_EQ(plainNumberText(2031.0), "2031");
    EXPECT_EQ(plainNumberText(12.0), "12");
    EXPECT_EQ(plainNumberText(12.5), "12.5");
    EXPECT_EQ(plainNumberText(-7.25), "-7.25");
    EXPECT_EQ(plainNumberText(0.0), "0");
    EXPECT_EQ(plainNumberText(0.1 + 0.2), "0.3"); // 15 significant digits
}

// printf's "%.15g" is the oracle, over every magnitude and the halves between
// digits; only the exponent's spelling ("1E+20") is the program's own.
TEST(PlainNumberText, DigitsAreThoseOfPrintf)
{
    std::mt19937_64 random(20261209);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 200000; ++i) {
        double v = mantissa(random) * std::pow(10.0, exponent(random));
        if (i % 4 == 0)
            v = std::round(v * 1e4) / 1e4 + 0.00005; // a half at the fifth decimal
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15g", v);
        std::string got = plainNumberText(v);
        if (const size_t e = got.find('E'); e != std::string::npos) {
            std::string ex = got.substr(e + 2);
            while (ex.size() > 2 && ex[0] == '0')
                ex.erase(0, 1);
            got = got.substr(0, e) + "e" + got[e + 1] + ex;
        }
        ASSERT_EQ(got, expected) << "for " << v;
    }
}

// --- Windows-1252 ---------------------------------------------------------------

TEST(Cp1252, AccentedLettersAreOneByteEach)
{
    EXPECT_EQ(utf8ToCp1252("Características"), std::string("Caracter\xED" "sticas"));
    EXPECT_EQ(utf8ToCp1252("Características").size(), 15u);
    EXPECT_EQ(utf8ToCp1252("nº"), std::string("n\xBA"));
    EXPECT_EQ(utf8ToCp1252("Parâmetros de Weibul"), std::string("Par\xE2metros de Weibul"));
    EXPECT_EQ(utf8ToCp1252("Diâmetro médio"), std::string("Di\xE2metro m\xE9" "dio"));
    EXPECT_EQ(utf8ToCp1252("Mecânico com 30% de árvores"), std::string("Mec\xE2nico com 30% de \xE1rvores"));
    EXPECT_EQ(utf8ToCp1252("ASCII stays\r\n"), "ASCII stays\r\n");
    EXPECT_EQ(utf8ToCp1252("€"), std::string("\x80"));
}

TEST(Cp1252, ReadsBackToTheSameText)
{
    for (const char *s : {"Características do povoamento sem desbaste prévio", "Ts(nº/ha)", "Simulação", "€ – “x”"})
        EXPECT_EQ(cp1252ToUtf8(utf8ToCp1252(s)), s);
}

} // namespace
} // namespace tavelo
