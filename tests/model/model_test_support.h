#pragma once

// Helpers shared by the model tests: comparison of a result with a figure
// printed to a given number of decimals, the reference stand everything else
// grows from, and the grid every recovered Weibull shape lies on.

#include "model/growth_model.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tavelo::test {

// Half a unit of the last decimal printed in `digits` ("23.22865" -> 5e-6,
// "1500" -> 0.5): the widest error that still rounds to the printed figure.
inline double halfLastDigit(const char *digits)
{
    const char *point = std::strchr(digits, '.');
    const int decimals = point ? static_cast<int>(std::strlen(point + 1)) : 0;
    return 0.5 * std::pow(10.0, -decimals);
}

// The result rounds to the printed figure.
inline ::testing::AssertionResult RoundsTo(const char *actualExpr, const char * /*digitsExpr*/, double actual,
                                           const char *digits)
{
    const double expected = std::strtod(digits, nullptr);
    const double tol = halfLastDigit(digits);
    if (std::fabs(actual - expected) <= tol)
        return ::testing::AssertionSuccess();
    char buf[128];
    std::snprintf(buf, sizeof buf, "%.12g", actual);
    return ::testing::AssertionFailure() << actualExpr << " = " << buf << " does not round to " << digits
                                         << " (tolerance " << tol << ")";
}

#define EXPECT_ROUNDS_TO(actual, digits) EXPECT_PRED_FORMAT2(::tavelo::test::RoundsTo, actual, digits)

// Width of the bracket the shape bisection ends on: 29.25 / 2^13 is half of it.
inline constexpr double kShapeHalfWidth = 0.003570556640625;
inline constexpr double kShapeLowest = 0.753570556640625;
inline constexpr double kShapeHighest = 29.996429443359375;

// c = 0.75 + (2j + 1) * kShapeHalfWidth for a whole j, exactly.
inline ::testing::AssertionResult IsOnShapeGrid(double c)
{
    const double steps = (c - 0.75) / kShapeHalfWidth;
    const long long odd = std::llround(steps);
    if (odd % 2 == 1 && 0.75 + static_cast<double>(odd) * kShapeHalfWidth == c && c >= kShapeLowest &&
        c <= kShapeHighest)
        return ::testing::AssertionSuccess();
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17g", c);
    return ::testing::AssertionFailure() << "shape " << buf << " is not a midpoint of the bisection grid";
}

// The stand of the worked example: 30 years, dominant height 12 m, 1500 trees
// planted, as the initial-stand procedure derives it (full precision, so the
// projections and class sums that start from it reproduce the printed figures).
struct ReferenceStand {
    double t = 30.0;
    double hdom = 12.0;
    double S = 0.0;
    double N0 = 1500.0;
    double N = 0.0;
    double G = 0.0;
    double dmin = 0.0;
    double a = 0.0;
    double b = 0.0;
    double c = 0.0;
};

inline ReferenceStand referenceStand()
{
    ReferenceStand s;
    s.S = SiteIndexFromHeight(s.t, s.hdom);
    const UnthinnedStand r = InitUnthinnedStand({s.t, s.S, s.hdom, std::nullopt, s.N0});
    s.N = r.stand.trees;
    s.G = r.stand.basalArea;
    s.dmin = r.minDiameter;
    s.a = r.stand.a;
    s.b = r.stand.b;
    s.c = r.stand.c;
    return s;
}

// The 95th percentile a distribution places, with the model's rounded -ln 0.05.
inline double percentile95(double a, double b, double c)
{
    return a + b * std::pow(kMinusLn005, 1.0 / c);
}

} // namespace tavelo::test
