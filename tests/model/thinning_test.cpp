// Mechanical thinning and thinning from below.

#include "model_test_support.h"

#include <ostream>

#include <cmath>

namespace tavelo::test {
namespace {

struct Residual {
    double Gr = -1.0, ar = -1.0, br = -1.0, cr = -1.0, Nr = -1.0;

    Residual() = default;
    // The harness reads a residual stand as the five figures.
    Residual(const WeibullStand &r) : Gr(r.basalArea), ar(r.a), br(r.b), cr(r.c), Nr(r.trees) {} // NOLINT
};

// Thins the stand (a, b, c, N, G) from below; u is the flag on entry and after.
Residual thinFromBelow(double t, double S, double a, double b, double c, double N, double G, double dmin, double &u,
                       double Gr)
{
    const ThinnedFromBelow r = ThinFromBelow({t, S, {N, G, a, b, c}, dmin, u, Gr});
    u = r.enteredUnthinned;
    return r.residual;
}

TEST(ThinMechanical, TwentyPercent)
{
    Residual r;
    r = ThinMechanical({1000.0, 30.0, 5.0, 10.0, 2.5}, 0.2);
    EXPECT_DOUBLE_EQ(r.Nr, 800.0);
    EXPECT_DOUBLE_EQ(r.Gr, 24.0);
    EXPECT_EQ(r.ar, 5.0);
    EXPECT_EQ(r.br, 10.0);
    EXPECT_EQ(r.cr, 2.5);
    int ok = -1;
    ok = CheckThinnedDistribution({.trees = 1000.0, .a = 5.0, .b = 10.0, .c = 2.5},
                                  {.trees = r.Nr, .a = r.ar, .b = r.br, .c = r.cr});
    EXPECT_EQ(ok, 1);
}

TEST(ThinMechanical, EveryShareTheDialogueOffers)
{
    for (double f : {0.15, 0.25, 1.0 / 3.0, 0.5}) {
        SCOPED_TRACE(f);
        Residual r;
        r = ThinMechanical({623.0104, 23.22865, 4.102719, 18.05184, 1.996124267578125}, f);
        EXPECT_DOUBLE_EQ(r.Nr, 623.0104 * (1.0 - f));
        EXPECT_DOUBLE_EQ(r.Gr, 23.22865 * (1.0 - f));
        EXPECT_EQ(r.cr, 1.996124267578125);
    }
}

// The worked stand thinned from below to 12 m2/ha, for each flag.
struct BelowCase {
    double u;
    const char *Pr, *dr, *ar, *Nr;
};

void PrintTo(const BelowCase &c, std::ostream *os) { *os << "u=" << c.u; }

class ThinFromBelowTest : public ::testing::TestWithParam<BelowCase> {};

TEST_P(ThinFromBelowTest, WorkedFigures)
{
    const BelowCase &bc = GetParam();
    const double a = 5.0, b = 10.0, c = 2.5, N = 1000.0, G = 20.0, dmin = 7.5, Gr = 12.0;
    EXPECT_ROUNDS_TO(a + b * std::pow(2.65926, 1.0 / c), "19.7878");

    double u = bc.u;
    Residual r;
    r = thinFromBelow(30.0, 15.0, a, b, c, N, G, dmin, u, Gr);
    EXPECT_EQ(u, 0.0);
    // The residual distribution places its 95th percentile at Pr, and its
    // location (above a here) is 0.9 of the residual minimum diameter.
    EXPECT_ROUNDS_TO(percentile95(r.ar, r.br, r.cr), bc.Pr);
    EXPECT_GT(r.ar, a);
    EXPECT_ROUNDS_TO(r.ar / 0.9, bc.dr);
    EXPECT_ROUNDS_TO(r.ar, bc.ar);
    EXPECT_ROUNDS_TO(r.Nr, bc.Nr);
    EXPECT_TRUE(IsOnShapeGrid(r.cr));
    EXPECT_GT(r.br, 0.0);
    // The shape reproduces the target basal area with Nr trees.
    double c2 = -1.0;
    c2 = SolveWeibullShape(Gr, r.Nr, r.ar, percentile95(r.ar, r.br, r.cr));
    EXPECT_EQ(c2, r.cr);

    int ok = -1;
    ok = CheckThinnedDistribution({.trees = N, .a = a, .b = b, .c = c},
                                  {.trees = r.Nr, .a = r.ar, .b = r.br, .c = r.cr});
    EXPECT_EQ(ok, 1);
}

INSTANTIATE_TEST_SUITE_P(Flags, ThinFromBelowTest,
                         ::testing::Values(BelowCase{1.0, "19.9248", "8.2906", "7.4615", "599.47"},
                                           BelowCase{0.0, "20.6443", "8.7773", "7.8995", "548.18"}));

TEST(ThinFromBelow, AgeAndSiteIndexDoNotEnter)
{
    Residual ref;
    double u = 1.0;
    ref = thinFromBelow(30.0, 15.0, 5.0, 10.0, 2.5, 1000.0, 20.0, 7.5, u, 12.0);
    for (double t : {1.0, 80.0, std::nan("")})
        for (double S : {7.0, 23.0, std::nan("")}) {
            Residual r;
            u = 1.0;
            r = thinFromBelow(t, S, 5.0, 10.0, 2.5, 1000.0, 20.0, 7.5, u, 12.0);
            EXPECT_EQ(r.ar, ref.ar);
            EXPECT_EQ(r.br, ref.br);
            EXPECT_EQ(r.cr, ref.cr);
            EXPECT_EQ(r.Nr, ref.Nr);
        }
}

TEST(ThinFromBelow, NoRemovalKeepsEveryTree)
{
    for (double u0 : {0.0, 1.0}) {
        SCOPED_TRACE(u0);
        double u = u0;
        Residual r;
        r = thinFromBelow(30.0, 15.0, 5.0, 10.0, 2.5, 1000.0, 20.0, 7.5, u, 20.0);
        EXPECT_EQ(r.Nr, 1000.0);
        EXPECT_EQ(u, 0.0);
    }
}

TEST(ThinFromBelow, ResidualsNeverBelowTheCurrentStand)
{
    // Pr is not allowed below P, nor ar below a: a large, wide stand where
    // 0.981559 P + 1.22143 < P (P > 66.2 cm) and a location above 0.9 dr.
    const double a = 9.0, b = 50.0, c = 2.5, N = 300.0, G = 40.0, dmin = 7.5;
    const double P = a + b * std::pow(2.65926, 1.0 / c);
    ASSERT_GT(P, 1.22143 / (1.0 - 0.981559));
    double u = 0.0;
    Residual r;
    r = thinFromBelow(30.0, 15.0, a, b, c, N, G, dmin, u, 0.6 * G);
    EXPECT_NEAR(percentile95(r.ar, r.br, r.cr), P, 1e-12 * P);
    EXPECT_EQ(r.ar, a);
}

TEST(ThinFromBelow, UnknownFlagIsRefused)
{
    for (double u0 : {-1.0, 0.5, 2.0}) {
        SCOPED_TRACE(u0);
        double u = u0;
        Residual r;
        EXPECT_THROW(r = thinFromBelow(30.0, 15.0, 5.0, 10.0, 2.5, 1000.0, 20.0, 7.5, u, 12.0),
                     ModelInputError);
        EXPECT_EQ(u, u0);
        EXPECT_EQ(r.Nr, -1.0);
    }
}

TEST(CheckThinnedDistribution, FlagFollowsTheEightyCentimetreScan)
{
    // Both stops (past 80 cm, or a residual density above the current one)
    // keep ok = 1; only a scan that runs out below 80 cm gives 0. The residual
    // distribution is the current one scaled by Nr / N.
    struct Case {
        double ar, Nr;
        int ok;
    };
    for (const Case cs : {Case{7.4615, 600.0, 1}, Case{79.95, 600.0, 1}, Case{-5.0, 600.0, 0},
                          Case{-0.1, 600.0, 0}, Case{-5.0, 1500.0, 1}}) {
        SCOPED_TRACE(::testing::Message() << "ar=" << cs.ar << " Nr=" << cs.Nr);
        int ok = -1;
        ok = CheckThinnedDistribution({.trees = 1000.0, .a = cs.ar, .b = 10.0, .c = 2.5},
                                      {.trees = cs.Nr, .a = cs.ar, .b = 10.0, .c = 2.5});
        EXPECT_EQ(ok, cs.ok);
    }
}

} // namespace
} // namespace tavelo::test
