// Projection of the stand to a later age without thinning.

#include "model_test_support.h"

#include <ostream>

#include <cmath>

namespace tavelo::test {
namespace {

struct Projected {
    double G = -1.0, N = -1.0, dmin = -1.0, a = -1.0, b = -1.0, c = -1.0;
};

Projected project(double t1, double G1, double N1, double S, double a1, double b1, double c1, double t2)
{
    const StandProjection r = ProjectStand(t1, S, {N1, G1, a1, b1, c1}, t2);
    return {r.stand.basalArea, r.stand.trees, r.minDiameter, r.stand.a, r.stand.b, r.stand.c};
}

TEST(ProjectStand, FirstStepOfTheWorkedStand)
{
    const ReferenceStand s = referenceStand();
    EXPECT_ROUNDS_TO(s.S, "15.48998");
    EXPECT_ROUNDS_TO(DominantHeightAtAge(30.0, s.S), "12.000000");
    const Projected p = project(30.0, s.G, s.N, s.S, s.a, s.b, s.c, 35.0);
    EXPECT_ROUNDS_TO(p.G, "28.78808");
    EXPECT_EQ(p.N, s.N);
    EXPECT_ROUNDS_TO(p.N, "623.0104");
    EXPECT_ROUNDS_TO(p.dmin, "3.873656");
    // 0.9 * dmin2 = 3.486 is below a1, so the location stays where it was.
    EXPECT_ROUNDS_TO(0.9 * p.dmin, "3.486");
    EXPECT_EQ(p.a, s.a);
    EXPECT_ROUNDS_TO(p.a, "4.102719");
    EXPECT_EQ(p.c, 3.981353759765625);
    EXPECT_ROUNDS_TO(p.b, "21.54568");
    EXPECT_ROUNDS_TO(percentile95(p.a, p.b, p.c), "32.48477");
}

TEST(ProjectStand, SecondStepOfTheWorkedStand)
{
    const ReferenceStand s = referenceStand();
    const Projected p1 = project(30.0, s.G, s.N, s.S, s.a, s.b, s.c, 35.0);
    EXPECT_ROUNDS_TO(DominantHeightAtAge(35.0, s.S), "13.05173");
    const Projected p2 = project(35.0, p1.G, p1.N, s.S, p1.a, p1.b, p1.c, 40.0);
    EXPECT_ROUNDS_TO(p2.G, "33.98865");
    EXPECT_EQ(p2.N, s.N);
    EXPECT_ROUNDS_TO(p2.dmin, "4.918261");
    // Now 0.9 * dmin2 is above a1 and becomes the location.
    EXPECT_GT(0.9 * p2.dmin, p1.a);
    EXPECT_EQ(p2.a, 0.9 * p2.dmin);
    EXPECT_ROUNDS_TO(p2.a, "4.426435");
    EXPECT_EQ(p2.c, 4.159881591796875);
    EXPECT_ROUNDS_TO(p2.b, "23.43465");
    EXPECT_ROUNDS_TO(percentile95(p2.a, p2.b, p2.c), "34.93387");
}

TEST(ProjectStand, SecondStepFromThePrintedFigures)
{
    // The step as printed (G1 = 28.78808, a1 = 4.102719, the stand's own trees)
    // lands on the same figures.
    const ReferenceStand s = referenceStand();
    const Projected p2 = project(35.0, 28.78808, s.N, s.S, 4.102719, 21.54568, 3.981353759765625, 40.0);
    EXPECT_ROUNDS_TO(p2.G, "33.98865");
    EXPECT_ROUNDS_TO(p2.dmin, "4.918261");
    EXPECT_ROUNDS_TO(p2.a, "4.426435");
    EXPECT_EQ(p2.c, 4.159881591796875);
    EXPECT_ROUNDS_TO(p2.b, "23.43465");
}

TEST(ProjectStand, CurrentShapeAndScaleDoNotEnter)
{
    const ReferenceStand s = referenceStand();
    const Projected ref = project(30.0, s.G, s.N, s.S, s.a, s.b, s.c, 35.0);
    for (double b1 : {1.0, 50.0})
        for (double c1 : {0.8, 10.0}) {
            const Projected p = project(30.0, s.G, s.N, s.S, s.a, b1, c1, 35.0);
            EXPECT_EQ(p.G, ref.G);
            EXPECT_EQ(p.a, ref.a);
            EXPECT_EQ(p.b, ref.b);
            EXPECT_EQ(p.c, ref.c);
        }
}

TEST(ProjectStand, SameAgeKeepsTheBasalArea)
{
    // r = 1: G2 = G1, P95 and dmin2 from (G1/N1)^0.5 alone.
    const ReferenceStand s = referenceStand();
    const Projected p = project(30.0, s.G, s.N, s.S, s.a, s.b, s.c, 30.0);
    const double w = std::sqrt(s.G / s.N);
    EXPECT_EQ(p.G, s.G);
    EXPECT_EQ(p.N, s.N);
    EXPECT_NEAR(p.dmin, 44.995291 * w, 1e-12 * p.dmin);
    EXPECT_NEAR(percentile95(p.a, p.b, p.c), 154.155144 * w, 1e-12 * 154.155144 * w);
    // These need not be the stand's own values.
    EXPECT_GT(std::fabs(p.dmin - s.dmin), 0.1);
    EXPECT_TRUE(IsOnShapeGrid(p.c));
}

class ProjectionStepTest : public ::testing::TestWithParam<double> {};

TEST_P(ProjectionStepTest, TreesNeverChangeAndLocationNeverFalls)
{
    const ReferenceStand s = referenceStand();
    const double step = GetParam();
    const Projected p = project(30.0, s.G, s.N, s.S, s.a, s.b, s.c, 30.0 + step);
    EXPECT_EQ(p.N, s.N);
    EXPECT_GE(p.a, s.a);
    EXPECT_GE(p.a, 0.9 * p.dmin);
    EXPECT_TRUE(IsOnShapeGrid(p.c));
    EXPECT_GT(p.b, 0.0);
    int ok = -1;
    ok = CheckProjectedDistribution({.trees = s.N, .a = s.a, .b = s.b, .c = s.c},
                                    {.trees = p.N, .a = p.a, .b = p.b, .c = p.c});
    EXPECT_EQ(ok, 1);
}

INSTANTIATE_TEST_SUITE_P(Steps, ProjectionStepTest, ::testing::Values(0.0, 0.5, 1.0, 5.0, 10.0, 15.0));

TEST(CheckProjectedDistribution, WorkedStepsAreAccepted)
{
    const ReferenceStand s = referenceStand();
    const Projected p1 = project(30.0, s.G, s.N, s.S, s.a, s.b, s.c, 35.0);
    const Projected p2 = project(35.0, p1.G, p1.N, s.S, p1.a, p1.b, p1.c, 40.0);
    int ok = -1;
    ok = CheckProjectedDistribution({.trees = s.N, .a = s.a, .b = s.b, .c = s.c},
                                    {.trees = p1.N, .a = p1.a, .b = p1.b, .c = p1.c});
    EXPECT_EQ(ok, 1);
    ok = -1;
    ok = CheckProjectedDistribution({.trees = p1.N, .a = p1.a, .b = p1.b, .c = p1.c},
                                    {.trees = p2.N, .a = p2.a, .b = p2.b, .c = p2.c});
    EXPECT_EQ(ok, 1);
}

TEST(CheckProjectedDistribution, FlagFollowsTheEightyCentimetreScan)
{
    // 400 steps of 0.2 cm from a2 pass 80 cm for every a2 > 0; from a2 far
    // enough below zero they run out first.
    struct Case {
        double a2;
        int ok;
    };
    for (const Case cs : {Case{0.5, 1}, Case{4.1, 1}, Case{79.9, 1}, Case{-1.0, 0}, Case{-20.0, 0}}) {
        SCOPED_TRACE(cs.a2);
        int ok = -1;
        ok = CheckProjectedDistribution({.trees = 600.0, .a = 4.0, .b = 18.0, .c = 2.0},
                                        {.trees = 600.0, .a = cs.a2, .b = 20.0, .c = 3.0});
        EXPECT_EQ(ok, cs.ok);
    }
}

// --- The 45 m2/ha limit -------------------------------------------------------

TEST(ProjectStand, AboveFortyFiveEndsBeforeWritingAnything)
{
    // Carry the worked stand forward until its basal area leaves the model.
    const ReferenceStand s = referenceStand();
    double t = 30.0, G = s.G, a = s.a, b = s.b, c = s.c;
    bool ended = false;
    for (int step = 0; step < 40 && !ended; ++step) {
        Projected p;
        try {
            p = project(t, G, s.N, s.S, a, b, c, t + 5.0);
        } catch (const ModelLimitError &e) {
            ended = true;
            EXPECT_EQ(e.title(), "Resultados Inconsistentes");
            EXPECT_EQ(e.text(), "Simulação fora dos limites do modelo!A simulação vai terminar.");
            // The stand it started from was still inside.
            EXPECT_LE(G, 45.0);
            break;
        }
        EXPECT_LE(p.G, 45.0);
        t += 5.0;
        G = p.G;
        a = p.a;
        b = p.b;
        c = p.c;
    }
    EXPECT_TRUE(ended);

    Projected untouched;
    EXPECT_THROW(untouched = project(30.0, 40.0, 623.0, 15.0, 4.0, 18.0, 2.0, 35.0), ModelLimitError);
    for (double v : {untouched.G, untouched.N, untouched.dmin, untouched.a, untouched.b, untouched.c})
        EXPECT_EQ(v, -1.0);
}

TEST(ProjectStand, ExactlyFortyFivePasses)
{
    // With t2 = t1 the projected basal area is G1 itself, so the boundary can
    // be hit exactly.
    const ReferenceStand s = referenceStand();
    const Projected p = project(30.0, 45.0, s.N, s.S, s.a, s.b, s.c, 30.0);
    EXPECT_EQ(p.G, 45.0);
    EXPECT_THROW(project(30.0, std::nextafter(45.0, 46.0), s.N, s.S, s.a, s.b, s.c, 30.0), ModelLimitError);
}

struct ProjectionDomainCase {
    double t1, G1, N1, t2;
};

void PrintTo(const ProjectionDomainCase &c, std::ostream *os)
{
    *os << "t1=" << c.t1 << " G1=" << c.G1 << " N1=" << c.N1 << " t2=" << c.t2;
}

class ProjectionDomainTest : public ::testing::TestWithParam<ProjectionDomainCase> {};

TEST_P(ProjectionDomainTest, RefusedWithoutWritingAnything)
{
    const ProjectionDomainCase &dc = GetParam();
    Projected p;
    EXPECT_THROW(p = project(dc.t1, dc.G1, dc.N1, 15.0, 4.0, 18.0, 2.0, dc.t2), ModelInputError);
    for (double v : {p.G, p.N, p.dmin, p.a, p.b, p.c})
        EXPECT_EQ(v, -1.0);
}

INSTANTIATE_TEST_SUITE_P(Inputs, ProjectionDomainTest,
                         ::testing::Values(ProjectionDomainCase{0.0, 23.0, 623.0, 5.0},
                                           ProjectionDomainCase{-30.0, 23.0, 623.0, 35.0},
                                           ProjectionDomainCase{30.0, 23.0, 623.0, 0.0},
                                           ProjectionDomainCase{30.0, 23.0, 0.0, 35.0},
                                           ProjectionDomainCase{30.0, 0.0, 623.0, 35.0},
                                           ProjectionDomainCase{30.0, -1.0, 623.0, 35.0}));

} // namespace
} // namespace tavelo::test
