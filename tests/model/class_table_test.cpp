// Basal area and tree height per diameter class.

#include "model_test_support.h"

#include <ostream>

#include <cmath>

namespace tavelo::test {
namespace {

TEST(ClassBasalArea, WholeRangeOfTheWorkedStand)
{
    const ReferenceStand s = referenceStand();
    double Gc = -1.0;
    Gc = ClassBasalArea(s.a, 150.0, {.trees = s.N, .a = s.a, .b = s.b, .c = s.c});
    EXPECT_ROUNDS_TO(Gc, "23.16057");
    // Within 0.3 % of the stand's basal area.
    EXPECT_LT(std::fabs(Gc - s.G), 0.003 * s.G);
}

TEST(ClassBasalArea, IsTheTenPanelSimpsonRule)
{
    // Over a narrow class ten Simpson panels are all but exact: compare with
    // a fine midpoint sum of the integrand.
    const ReferenceStand s = referenceStand();
    for (double d : {10.0, 20.0, 35.0, 60.0}) {
        SCOPED_TRACE(d);
        double Gc = -1.0;
        Gc = ClassBasalArea(d - 2.5, d + 2.5, {.trees = s.N, .a = s.a, .b = s.b, .c = s.c});
        double fine = 0.0;
        const int n = 20000;
        const double h = 5.0 / n;
        for (int i = 0; i < n; ++i)
            fine += BasalAreaDensity(s.a, s.b, s.c, s.N, d - 2.5 + (i + 0.5) * h) * h;
        EXPECT_NEAR(Gc, fine, 1e-7 * fine + 1e-12);
    }
}

TEST(ClassBasalArea, SimpsonIsExactForACubicIntegrand)
{
    // a = 0, c = 2, b large: N f(x) k x^2 = N k (2/b^2) x^3 exp(-(x/b)^2) ~ cubic
    // near 0, so the rule's weights can be checked against the closed form of
    // the full expression's integral, which Simpson matches to its error term.
    const double b = 1e5, N = 1000.0;
    double Gc = -1.0;
    Gc = ClassBasalArea(0.0, 10.0, {.trees = N, .a = 0.0, .b = b, .c = 2.0});
    // Integral of N k (2/b^2) x^3 dx over [0, 10] = N k (2/b^2) * 2500.
    const double cubic = N * (0.78539 / 10000.0) * (2.0 / (b * b)) * 2500.0;
    EXPECT_NEAR(Gc, cubic, 1e-7 * cubic);
}

TEST(ClassBasalArea, CoincidentLimitsGiveZero)
{
    const ReferenceStand s = referenceStand();
    for (double d : {s.a, 7.5, 20.0, 150.0}) {
        SCOPED_TRACE(d);
        double Gc = -1.0;
        Gc = ClassBasalArea(d, d, {.trees = s.N, .a = s.a, .b = s.b, .c = s.c});
        EXPECT_EQ(Gc, 0.0);
    }
}

TEST(BasalAreaDensity, TreeBasalAreaTimesDensity)
{
    const ReferenceStand s = referenceStand();
    for (double x : {5.0, 17.5, 42.0}) {
        SCOPED_TRACE(x);
        EXPECT_NEAR(BasalAreaDensity(s.a, s.b, s.c, s.N, x),
                    s.N * WeibullPdf(s.a, s.b, s.c, x) * 0.78539 / 10000.0 * x * x, 1e-15);
    }
    // At the location the density vanishes for c > 1.
    EXPECT_EQ(BasalAreaDensity(s.a, s.b, s.c, s.N, s.a), 0.0);
}

class ShapeAtMostOneTest : public ::testing::TestWithParam<double> {};

TEST_P(ShapeAtMostOneTest, FirstClassEndsTheSimulationWithTheBlankText)
{
    const double c = GetParam();
    const double a = 4.0, b = 15.0, N = 600.0;
    double Gc = -1.0;
    try {
        Gc = ClassBasalArea(a, 7.49999, {.trees = N, .a = a, .b = b, .c = c});
        ADD_FAILURE() << "class from the location integrated with c = " << c;
    } catch (const ModelLimitError &e) {
        EXPECT_EQ(e.title(), "Resultados Inconsistentes");
        EXPECT_EQ(e.text(), "Simulação fora dos limites do modelo! A simulação vai terminar.");
    }
    EXPECT_EQ(Gc, -1.0);
    EXPECT_THROW(BasalAreaDensity(a, b, c, N, a), ModelLimitError);
    // Away from the location the same distribution integrates normally.
    Gc = ClassBasalArea(7.5, 12.5, {.trees = N, .a = a, .b = b, .c = c});
    EXPECT_GT(Gc, 0.0);
    EXPECT_TRUE(std::isfinite(Gc));
}

// c = 1 ends it too, although the density is finite (1/b) at the location.
INSTANTIATE_TEST_SUITE_P(Shapes, ShapeAtMostOneTest, ::testing::Values(1.0, 0.99, 0.75, 0.5));

TEST(BasalAreaDensity, ShapeJustAboveOneIsFine)
{
    EXPECT_EQ(BasalAreaDensity(4.0, 15.0, std::nextafter(1.0, 2.0), 600.0, 4.0), 0.0);
}

struct TreeHeightCase {
    double d;
    const char *h;
};

void PrintTo(const TreeHeightCase &c, std::ostream *os) { *os << "d=" << c.d << " h=" << c.h; }

class TreeHeightTest : public ::testing::TestWithParam<TreeHeightCase> {};

TEST_P(TreeHeightTest, WorkedStand)
{
    EXPECT_ROUNDS_TO(TreeHeight(30.0, 12.0, 23.22865, 623.0104, GetParam().d), GetParam().h);
}

INSTANTIATE_TEST_SUITE_P(Diameters, TreeHeightTest,
                         ::testing::Values(TreeHeightCase{5.0, "1.731244"}, TreeHeightCase{20.0, "10.41364"},
                                           TreeHeightCase{40.0, "14.04353"}));

TEST(TreeHeight, DirectionOfEachInput)
{
    const double t = 30.0, hd = 12.0, G = 23.22865, N = 623.0104, d = 20.0;
    const double h = TreeHeight(t, hd, G, N, d);
    EXPECT_GT(TreeHeight(t, hd, G, N, d + 5.0), h);
    EXPECT_GT(TreeHeight(t, hd + 1.0, G, N, d), h);
    EXPECT_LT(TreeHeight(t, hd, G + 5.0, N, d), h);
    EXPECT_GT(TreeHeight(t, hd, G, N + 100.0, d), h);
    // Bounded for very large diameters: the exp(-11.96184/d) factor tends to 1.
    const double limit = TreeHeight(t, hd, G, N, 1e300);
    EXPECT_NEAR(TreeHeight(t, hd, G, N, 40.0) / limit, std::exp(-11.96184 / 40.0), 1e-13);
}

} // namespace
} // namespace tavelo::test
