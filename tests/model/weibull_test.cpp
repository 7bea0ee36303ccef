// The Weibull diameter distribution, the gamma function and the recovery of
// the shape by bisection.

#include "model_test_support.h"

#include <ostream>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace tavelo::test {
namespace {

// --- Gamma function -----------------------------------------------------------

struct GammaCase {
    double x;
    double expected;
    double relTol;
};

void PrintTo(const GammaCase &c, std::ostream *os) { *os << "x=" << c.x; }

class GammaValueTest : public ::testing::TestWithParam<GammaCase> {};

TEST_P(GammaValueTest, MatchesKnownValue)
{
    const GammaCase &gc = GetParam();
    EXPECT_NEAR(GammaFunction(gc.x), gc.expected, gc.relTol * gc.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Values, GammaValueTest,
    ::testing::Values(GammaCase{1.0, 1.0, 1e-13}, GammaCase{2.0, 1.0, 1e-13},
                      // Arguments from 20 on go straight into the series: 19! and 24!.
                      GammaCase{20.0, 121645100408832000.0, 1e-13},
                      GammaCase{25.0, 620448401733239439360000.0, 1e-13}, GammaCase{5.0, 24.0, 1e-13},
                      GammaCase{0.5, 1.7724538509055160273, 1e-13}));

TEST(GammaFunction, HalfIsRootPiOverTwoToThirteenDigits)
{
    // 0.8862269254527 are the first 13 digits of sqrt(pi)/2 = 0.88622692545275801...;
    // the series must agree on all of them.
    EXPECT_NEAR(GammaFunction(1.5), 0.8862269254527, 1e-13);
}

TEST(GammaFunction, RecurrenceAcrossTheShift)
{
    // Below 20 the argument is shifted; the shifted and unshifted paths must
    // agree through x * Gamma(x) = Gamma(x + 1), also across 20.
    for (double x : {0.1, 0.75, 1.25, 3.7, 10.0, 18.5, 19.0, 19.5, 19.999, 20.0, 27.3}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(x * GammaFunction(x) / GammaFunction(x + 1.0), 1.0, 1e-13);
    }
}

TEST(GammaFunction, NotPositiveEndsTheSimulationWithTheBlankText)
{
    for (double x : {0.0, -0.0, -1e-300, -0.5, -1.0, -2.5, std::nan("")}) {
        SCOPED_TRACE(x);
        try {
            const double g = GammaFunction(x);
            ADD_FAILURE() << "returned " << g;
        } catch (const ModelLimitError &e) {
            EXPECT_EQ(e.title(), "Resultados Inconsistentes");
            EXPECT_EQ(e.text(), "Simulação fora dos limites do modelo! A simulação vai terminar.");
        }
    }
}

TEST(GammaFunction, ShapeNotPositiveReachesItThroughTheDistribution)
{
    // 1 + 1/c and 1 + 2/c are not positive for -1 <= c < 0 and -2 <= c < 0; a
    // zero shape gives an infinite argument. None may produce a number.
    for (double c : {0.0, -0.0, -0.25, -0.5, -1.0}) {
        SCOPED_TRACE(c);
        EXPECT_THROW(WeibullQuadMeanDiameter(0.0, 10.0, c), ModelLimitError);
        EXPECT_THROW(WeibullShapeEquation(0.0, 1.0, -1.0, c), ModelLimitError);
    }
}

// --- Distribution functions ---------------------------------------------------

struct DistCase {
    double a, b, c, x;
    double cdf, pdf;
};

void PrintTo(const DistCase &c, std::ostream *os)
{
    *os << "a=" << c.a << " b=" << c.b << " c=" << c.c << " x=" << c.x;
}

class DistributionTest : public ::testing::TestWithParam<DistCase> {};

TEST_P(DistributionTest, ClosedForms)
{
    const DistCase &dc = GetParam();
    EXPECT_NEAR(WeibullCdf(dc.a, dc.b, dc.c, dc.x), dc.cdf, 1e-15);
    EXPECT_NEAR(WeibullPdf(dc.a, dc.b, dc.c, dc.x), dc.pdf, 1e-15);
}

const double kE = std::exp(1.0);

INSTANTIATE_TEST_SUITE_P(
    Forms, DistributionTest,
    ::testing::Values(DistCase{0.0, 1.0, 1.0, 1.0, 1.0 - 1.0 / kE, 1.0 / kE},
                      // (x - a)/b = 1: F = 1 - 1/e, f = (c/b)/e.
                      DistCase{2.0, 3.0, 2.0, 5.0, 1.0 - 1.0 / kE, (2.0 / 3.0) / kE},
                      DistCase{4.0, 10.0, 3.5, 14.0, 1.0 - 1.0 / kE, 0.35 / kE},
                      // (x - a)/b = 2, c = 2: F = 1 - e^-4, f = (2/b)*2*e^-4.
                      DistCase{1.0, 5.0, 2.0, 11.0, 1.0 - std::exp(-4.0), 0.8 * std::exp(-4.0)}));

TEST(WeibullDistribution, CdfIsZeroAtTheLocationAndPdfToo)
{
    for (double c : {1.0001, 1.5, 1.996124267578125, 3.981353759765625, 29.996429443359375}) {
        SCOPED_TRACE(c);
        EXPECT_EQ(WeibullCdf(4.102719, 18.05184, c, 4.102719), 0.0);
        EXPECT_EQ(WeibullPdf(4.102719, 18.05184, c, 4.102719), 0.0);
    }
}

TEST(WeibullDistribution, PdfIsTheSlopeOfTheCdf)
{
    const double a = 4.102719, b = 18.05184, c = 1.996124267578125;
    for (double x : {5.0, 12.0, 20.0, 35.0, 60.0}) {
        SCOPED_TRACE(x);
        const double h = 1e-5;
        const double slope = (WeibullCdf(a, b, c, x + h) - WeibullCdf(a, b, c, x - h)) / (2 * h);
        EXPECT_NEAR(WeibullPdf(a, b, c, x), slope, 1e-8);
    }
}

struct QmdCase {
    double a, b, c;
    double dg;
};

void PrintTo(const QmdCase &c, std::ostream *os) { *os << "a=" << c.a << " b=" << c.b << " c=" << c.c; }

class QuadMeanDiameterTest : public ::testing::TestWithParam<QmdCase> {};

TEST_P(QuadMeanDiameterTest, SecondMomentRoot)
{
    const QmdCase &q = GetParam();
    EXPECT_NEAR(WeibullQuadMeanDiameter(q.a, q.b, q.c), q.dg, 1e-12 * q.dg);
}

INSTANTIATE_TEST_SUITE_P(
    ClosedForms, QuadMeanDiameterTest,
    ::testing::Values(QmdCase{0.0, 10.0, 1.0, std::sqrt(200.0)}, // E[x^2] = 2 b^2
                      QmdCase{0.0, 10.0, 2.0, 10.0},             // E[x^2] = b^2
                      QmdCase{3.0, 10.0, 1.0, std::sqrt(9.0 + 60.0 + 200.0)},
                      QmdCase{3.0, 10.0, 2.0, std::sqrt(9.0 + 60.0 * 0.886226925452758 + 100.0)},
                      QmdCase{5.0, 4.0, 0.5, std::sqrt(25.0 + 40.0 * 2.0 + 16.0 * 24.0)}));

// --- Recovery of the shape ----------------------------------------------------

TEST(SolveWeibullShape, WorkedStand)
{
    // 30 years, 12 m, 1500 planted: G, N, a and P95 as printed.
    const ReferenceStand s = referenceStand();
    const double p95 = 2.754927 * std::pow(12.0, 1.445365) * std::pow(s.N, -0.161445);
    EXPECT_ROUNDS_TO(p95, "35.38047");
    double c = -1.0;
    c = SolveWeibullShape(s.G, s.N, s.a, p95);
    EXPECT_EQ(c, 1.996124267578125);
    EXPECT_ROUNDS_TO((p95 - s.a) / std::pow(2.99573, 1.0 / c), "18.05184");
}

TEST(SolveWeibullShape, WorkedStandFromThePrintedFigures)
{
    double c = -1.0;
    c = SolveWeibullShape(23.22865, 623.0104, 4.102719, 35.38047);
    EXPECT_EQ(c, 1.996124267578125);
}

// The shape the bisection returns lies within half a bracket of a sign change
// of the moment equation.
void expectBracketsRoot(double G, double N, double a, double P95, double c)
{
    const double p = 2.0 * a * (P95 - a);
    const double q = (P95 - a) * (P95 - a);
    const double r = a * a - G / (N * 0.78539 / 10000.0);
    const double below = WeibullShapeEquation(p, q, r, c - kShapeHalfWidth);
    const double above = WeibullShapeEquation(p, q, r, c + kShapeHalfWidth);
    EXPECT_LE(below * above, 0.0) << "no sign change around c = " << c;
}

TEST(SolveWeibullShape, LocationZeroReducesToTheScaleTerm)
{
    // With a = 0, p = 0 and the root solves q * Gamma(1 + 2/c) / 2.99573^(2/c) = dg^2.
    const double G = 20.0, N = 800.0, P95 = 30.0;
    double c = 0.0;
    c = SolveWeibullShape(G, N, 0.0, P95);
    EXPECT_TRUE(IsOnShapeGrid(c));
    const double dg2 = G / (N * 0.78539 / 10000.0);
    auto m = [&](double shape) {
        return P95 * P95 * GammaFunction(1.0 + 2.0 / shape) / std::pow(2.99573, 2.0 / shape) - dg2;
    };
    EXPECT_LE(m(c - kShapeHalfWidth) * m(c + kShapeHalfWidth), 0.0);
    // The equation itself gets no contribution from p when p = 0.
    EXPECT_EQ(WeibullShapeEquation(0.0, P95 * P95, -dg2, c), m(c));
}

TEST(SolveWeibullShape, NoRootInTheIntervalGivesAnEndOfTheGrid)
{
    const double k = 0.78539 / 10000.0;
    double c = 0.0;
    // a = 0, P95 = 1 and dg all but zero: m > 0 everywhere, lo always moves up.
    c = SolveWeibullShape(1e-9, 1.0, 0.0, 1.0);
    EXPECT_EQ(c, kShapeHighest);
    // dg far above P95: m < 0 everywhere, the product is still positive.
    c = SolveWeibullShape(1e6, 1.0, 0.0, 1.0);
    EXPECT_EQ(c, kShapeHighest);
    // a = 100, P95 = 101: m rises with c; a root at 0.752, below every
    // midpoint, makes every product negative so that only hi moves.
    const double dg2 = 100.0 * 100.0 + WeibullShapeEquation(2.0 * 100.0 * 1.0, 1.0, 0.0, 0.752);
    c = SolveWeibullShape(dg2 * k, 1.0, 100.0, 101.0);
    EXPECT_EQ(c, kShapeLowest);
}

TEST(SolveWeibullShape, ExactZeroProductMovesTheUpperEnd)
{
    // a = 0, P95 = 1, N = 1: m(c) = A(c) - G / 0.78539e-4 with
    // A(c) = Gamma(1 + 2/c) / 2.99573^(2/c). Pick G so that m(0.75) is exactly
    // zero: every product m(mid) * m(lo) is then zero and only hi moves.
    const double A = WeibullShapeEquation(0.0, 1.0, 0.0, 0.75);
    const double k = 1.0 * 0.78539 / 10000.0;
    double G = A * k;
    for (int i = 0; i < 100 && G / k != A; ++i)
        G = std::nextafter(G, G / k < A ? 1.0 : 0.0);
    ASSERT_EQ(G / k, A);
    double c = 0.0;
    c = SolveWeibullShape(G, 1.0, 0.0, 1.0);
    EXPECT_EQ(c, kShapeLowest);
}

TEST(SolveWeibullShape, EveryResultLiesOnTheGrid)
{
    std::mt19937 gen(20240611u);
    std::uniform_real_distribution<double> nDist(20.0, 5000.0);
    std::uniform_real_distribution<double> aDist(0.0, 25.0);
    std::uniform_real_distribution<double> spanDist(0.5, 80.0);
    std::uniform_real_distribution<double> share(-0.2, 1.2);
    int bracketed = 0;
    for (int i = 0; i < 3000; ++i) {
        const double N = nDist(gen), a = aDist(gen), P95 = a + spanDist(gen);
        // dg mostly between a and P95, as in a real stand, sometimes outside.
        const double dg = std::max(0.01, a + share(gen) * (P95 - a));
        const double G = dg * dg * N * 0.78539 / 10000.0;
        double c = -1.0;
        c = SolveWeibullShape(G, N, a, P95);
        SCOPED_TRACE(::testing::Message() << "G=" << G << " N=" << N << " a=" << a << " P95=" << P95);
        ASSERT_TRUE(IsOnShapeGrid(c));
        // Where the interval holds a sign change the result sits next to one.
        const double p = 2.0 * a * (P95 - a), q = (P95 - a) * (P95 - a), r = a * a - G / (N * 0.78539 / 10000.0);
        if (WeibullShapeEquation(p, q, r, 0.75) * WeibullShapeEquation(p, q, r, 30.0) < 0.0) {
            ++bracketed;
            expectBracketsRoot(G, N, a, P95, c);
        }
    }
    // The sample must exercise real roots, not only the ends of the grid.
    EXPECT_GT(bracketed, 1000);
}

// The bisection as written plainly, every equation evaluated afresh: the
// solver's tabulated shape terms must give the very same shape, bit for bit.
double plainBisection(double G, double N, double a, double P95)
{
    const double p = 2.0 * a * (P95 - a), q = std::pow(P95 - a, 2.0), r = a * a - G / (N * 0.78539 / 10000.0);
    double lo = 0.75, hi = 30.0;
    double mlo = WeibullShapeEquation(p, q, r, lo);
    for (int i = 0; i < 50 && !(std::fabs(hi - lo) < 0.01); ++i) {
        const double mid = (hi + lo) / 2.0;
        const double mmid = WeibullShapeEquation(p, q, r, mid);
        if (mmid * mlo > 0.0) {
            lo = mid;
            mlo = mmid;
        } else {
            hi = mid;
        }
    }
    return (hi + lo) / 2.0;
}

TEST(SolveWeibullShape, TheSameShapeAsTheEquationEvaluatedAfresh)
{
    std::mt19937 gen(20261210u);
    std::uniform_real_distribution<double> nDist(20.0, 5000.0), aDist(0.0, 25.0), spanDist(0.5, 80.0),
        share(-0.5, 1.5);
    for (int i = 0; i < 5000; ++i) {
        const double N = nDist(gen), a = aDist(gen), P95 = a + spanDist(gen);
        const double dg = std::max(0.01, a + share(gen) * (P95 - a)); // some beyond either end of the grid
        const double G = dg * dg * N * 0.78539 / 10000.0;
        SCOPED_TRACE(::testing::Message() << "G=" << G << " N=" << N << " a=" << a << " P95=" << P95);
        ASSERT_EQ(SolveWeibullShape(G, N, a, P95), plainBisection(G, N, a, P95));
    }
}

TEST(SolveWeibullShape, ReproducesTheStandQuadMeanDiameter)
{
    // The recovered distribution's dg matches the stand's to the bisection's
    // resolution (well within 1 %).
    const ReferenceStand s = referenceStand();
    const double dgStand = std::sqrt(s.G / (s.N * 0.78539 / 10000.0));
    EXPECT_NEAR(WeibullQuadMeanDiameter(s.a, s.b, s.c), dgStand, 0.01 * dgStand);
}

TEST(SolveWeibullShape, NoTreesIsRefused)
{
    for (double N : {0.0, -5.0, std::nan("")}) {
        SCOPED_TRACE(N);
        double c = -1.0;
        EXPECT_THROW(c = SolveWeibullShape(20.0, N, 4.0, 30.0), ModelInputError);
        EXPECT_EQ(c, -1.0);
    }
}

} // namespace
} // namespace tavelo::test
