// Stem profile and assortment volumes per tree.

#include "model_test_support.h"

#include <ostream>

#include <cctype>
#include <cmath>
#include <string>

namespace tavelo::test {
namespace {

const AssortmentDimensions kDefaults{20.0, 0.15, 7.0};

// One tree of the worked examples; a null figure is not given by the example.
struct TreeCase {
    const char *name;
    double d, h, withBark;
    const char *k, *xs, *xt, *sawlog, *roundwood, *total, *firewood;
};

void PrintTo(const TreeCase &c, std::ostream *os) { *os << c.name; }

class TreeVolumeTest : public ::testing::TestWithParam<TreeCase> {};

TEST_P(TreeVolumeTest, WorkedFigures)
{
    const TreeCase &tc = GetParam();
    const double k = TaperCoefficient(tc.d, tc.h, tc.withBark);
    const double xs = HeightAtDiameter(tc.d, tc.h, k, -2.0 * k, k, 20.0);
    const double xt = HeightAtDiameter(tc.d, tc.h, k, -2.0 * k, k, 7.0);
    const double vs = SawlogVolume(tc.d, tc.h, tc.withBark, kDefaults);
    const double vr = RoundwoodVolume(tc.d, tc.h, vs, tc.withBark, kDefaults);
    const double vt = TotalVolume(tc.d, tc.h, tc.withBark, kDefaults);
    const struct {
        const char *what;
        double value;
        const char *digits;
    } figures[] = {{"k", k, tc.k},           {"xs", xs, tc.xs},         {"xt", xt, tc.xt},
                   {"sawlog", vs, tc.sawlog}, {"roundwood", vr, tc.roundwood}, {"total", vt, tc.total},
                   {"firewood", vt - vs - vr, tc.firewood}};
    for (const auto &f : figures) {
        if (f.digits == nullptr)
            continue;
        SCOPED_TRACE(f.what);
        EXPECT_ROUNDS_TO(f.value, f.digits);
    }

    // A tree whose sawlog height lies below the stump has no sawlog.
    if (xs < 0.15) {
        EXPECT_EQ(vs, 0.0);
    } else {
        EXPECT_GT(vs, 0.0);
    }
    // The profile is a cone: x = h (1 - dx / (d sqrt k)).
    EXPECT_NEAR(xs, tc.h * (1.0 - 20.0 / (tc.d * std::sqrt(k))), 1e-12 * tc.h);
    EXPECT_NEAR(xt, tc.h * (1.0 - 7.0 / (tc.d * std::sqrt(k))), 1e-12 * tc.h);
    // The firewood is the stem from the top-diameter height to the tip: the
    // total volume of a stem cut at xt.
    const double firewoodAbove = TotalVolume(tc.d, tc.h, tc.withBark, AssortmentDimensions{20.0, xt, 7.0});
    EXPECT_NEAR(vt - vs - vr, firewoodAbove, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, TreeVolumeTest,
    ::testing::Values(
        TreeCase{"d30_with_bark", 30.0, 12.5, 1.0, "1.233063", "4.9954", "9.8734", "0.271662", "0.075218",
                 "0.350250", "0.003369"},
        TreeCase{"d30_without_bark", 30.0, 12.5, 0.0, "0.609233", "1.8235", "8.7632", "0.061248", "0.107010",
                 "0.173052", nullptr},
        TreeCase{"d20_without_bark", 20.0, 10.41364, 0.0, nullptr, "-2.633", nullptr, "0", "0.060660", "0.066518",
                 nullptr},
        TreeCase{"d20_with_bark", 20.0, 10.41364, 1.0, nullptr, "1.3954", nullptr, "0.044777", nullptr, nullptr,
                 nullptr},
        TreeCase{"d10_with_bark", 10.0, 6.0, 1.0, nullptr, "-3.144", "2.7996", "0", "0.020969", "0.025075",
                 nullptr}),
    [](const ::testing::TestParamInfo<TreeCase> &info) { return std::string(info.param.name); });

TEST(SawlogVolume, ShortSawlogStillCounts)
{
    // d = 20, h = 10.41364 with bark: the sawlog runs from the stump to 1.3954 m,
    // 1.25 m long, shorter than the usual minimum length of 2.30 m.
    const double k = TaperCoefficient(20.0, 10.41364, 1.0);
    const double xs = HeightAtDiameter(20.0, 10.41364, k, -2.0 * k, k, 20.0);
    EXPECT_ROUNDS_TO(xs - 0.15, "1.25");
    EXPECT_ROUNDS_TO(SawlogVolume(20.0, 10.41364, 1.0, kDefaults), "0.044777");
}

TEST(RoundwoodVolume, StartsAtTheStumpWithoutSawlog)
{
    // Without a sawlog the roundwood is the stem from the stump to xt: with the
    // sawlog diameter as the top diameter, that is what a sawlog would be.
    const double d = 20.0, h = 10.41364;
    const double vr = RoundwoodVolume(d, h, 0.0, 0.0, kDefaults);
    EXPECT_EQ(vr, SawlogVolume(d, h, 0.0, AssortmentDimensions{7.0, 0.15, 7.0}));
}

TEST(HeightAtDiameter, ZeroDiameterIsTheTip)
{
    for (double wb : {0.0, 1.0}) {
        for (double d : {5.0, 20.0, 45.0}) {
            const double h = TreeHeight(30.0, 12.0, 23.22865, 623.0104, d);
            const double k = TaperCoefficient(d, h, wb);
            EXPECT_EQ(HeightAtDiameter(d, h, k, -2.0 * k, k, 0.0), h);
        }
    }
}

TEST(HeightAtDiameter, NegativeAboveTheGroundDiameter)
{
    const double d = 30.0, h = 12.5, k = TaperCoefficient(d, h, 1.0);
    const double ground = d * std::sqrt(k);
    EXPECT_LT(HeightAtDiameter(d, h, k, -2.0 * k, k, ground * 1.01), 0.0);
    EXPECT_NEAR(HeightAtDiameter(d, h, k, -2.0 * k, k, ground), 0.0, 1e-6);
    EXPECT_GT(HeightAtDiameter(d, h, k, -2.0 * k, k, ground * 0.99), 0.0);
}

TEST(TaperCoefficient, AnyNonZeroFlagMeansWithBark)
{
    const double withBark = TaperCoefficient(30.0, 12.5, 1.0);
    EXPECT_EQ(TaperCoefficient(30.0, 12.5, 2.0), withBark);
    EXPECT_EQ(TaperCoefficient(30.0, 12.5, -1.0), withBark);
    EXPECT_NE(TaperCoefficient(30.0, 12.5, 0.0), withBark);
}

TEST(Volumes, TreeTooSmallForRoundwoodIsAllFirewood)
{
    // d = 5 cm at its height in the worked stand, without bark: the profile's
    // ground diameter is below the top diameter.
    const double d = 5.0, h = 1.731244;
    const double k = TaperCoefficient(d, h, 0.0);
    ASSERT_LT(HeightAtDiameter(d, h, k, -2.0 * k, k, 7.0), 0.15);
    const double vs = SawlogVolume(d, h, 0.0, kDefaults);
    const double vr = RoundwoodVolume(d, h, vs, 0.0, kDefaults);
    EXPECT_EQ(vs, 0.0);
    EXPECT_EQ(vr, 0.0);
    EXPECT_GT(TotalVolume(d, h, 0.0, kDefaults), 0.0);
}

TEST(Volumes, AssortmentStartingBelowTheStumpIsZero)
{
    // d = 20, h = 10.41364 with bark: the profile reaches 20 cm at 1.3954 m and
    // 7 cm at 7.2573 m. A cut above either height leaves that assortment out,
    // even though the height itself is above the ground.
    struct Case {
        double stump;
        bool sawlog, roundwood;
    };
    const double d = 20.0, h = 10.41364;
    for (const Case cs : {Case{0.15, true, true}, Case{1.39, true, true}, Case{1.40, false, true},
                          Case{7.25, false, true}, Case{7.26, false, false}}) {
        SCOPED_TRACE(cs.stump);
        const AssortmentDimensions dims{20.0, cs.stump, 7.0};
        const double vs = SawlogVolume(d, h, 1.0, dims);
        const double vr = RoundwoodVolume(d, h, vs, 1.0, dims);
        EXPECT_EQ(vs > 0.0, cs.sawlog);
        EXPECT_EQ(vs == 0.0, !cs.sawlog);
        EXPECT_EQ(vr > 0.0, cs.roundwood);
        EXPECT_EQ(vr == 0.0, !cs.roundwood);
    }
}

TEST(Volumes, TopDiameterAtOrAboveSawlogDiameter)
{
    // A tree with a sawlog: its roundwood would run from xs up to xt, which lies
    // at or below xs, so there is none (never a negative volume).
    for (const double top : {20.0, 25.0}) {
        SCOPED_TRACE(top);
        const AssortmentDimensions dims{20.0, 0.15, top};
        const double vs = SawlogVolume(30.0, 12.5, 1.0, dims);
        ASSERT_GT(vs, 0.0);
        const double vr = RoundwoodVolume(30.0, 12.5, vs, 1.0, dims);
        EXPECT_EQ(vr, 0.0);
    }
}

// Accepted but extreme assortment dimensions: every volume stays a volume,
// finite and not below zero, and the three assortments still add up.
struct ExtremeCase {
    const char *name;
    AssortmentDimensions dims;
    double d, h, withBark;
    // Expected per-tree figures; nullptr where the case does not fix one.
    const char *sawlog, *roundwood, *total;
};

void PrintTo(const ExtremeCase &c, std::ostream *os) { *os << c.name; }

class ExtremeDimensionsTest : public ::testing::TestWithParam<ExtremeCase> {};

TEST_P(ExtremeDimensionsTest, NoNegativeVolume)
{
    const ExtremeCase &tc = GetParam();
    const double vs = SawlogVolume(tc.d, tc.h, tc.withBark, tc.dims);
    const double vr = RoundwoodVolume(tc.d, tc.h, vs, tc.withBark, tc.dims);
    const double vt = TotalVolume(tc.d, tc.h, tc.withBark, tc.dims);
    for (const double v : {vs, vr, vt}) {
        EXPECT_TRUE(std::isfinite(v)) << v;
        EXPECT_GE(v, 0.0);
    }
    // The firewood (total less the other two) is at most a rounding error below 0 m3.
    EXPECT_GE(vt - vs - vr, -1e-12);
    const struct {
        const char *what;
        double value;
        const char *digits;
    } figures[] = {{"sawlog", vs, tc.sawlog}, {"roundwood", vr, tc.roundwood}, {"total", vt, tc.total}};
    for (const auto &f : figures) {
        if (f.digits == nullptr)
            continue;
        SCOPED_TRACE(f.what);
        EXPECT_ROUNDS_TO(f.value, f.digits);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dimensions, ExtremeDimensionsTest,
    ::testing::Values(
        // A stump above the tree's tip: the tree has no volume at all.
        ExtremeCase{"stump_35_39_with_bark", {20.0, 35.39, 7.0}, 30.0, 12.5, 1.0, "0", "0", "0"},
        ExtremeCase{"stump_35_39_without_bark", {20.0, 35.39, 7.0}, 30.0, 12.5, 0.0, "0", "0", "0"},
        ExtremeCase{"stump_35_39_short_thick_tree", {20.0, 35.39, 7.0}, 45.0, 3.0, 1.0, "0", "0", "0"},
        ExtremeCase{"stump_35_39_thin_tree", {20.0, 35.39, 7.0}, 5.0, 3.0, 0.0, "0", "0", "0"},
        ExtremeCase{"stump_at_the_tip", {20.0, 12.5, 7.0}, 30.0, 12.5, 1.0, "0", "0", "0"},
        // A stump between the top-diameter height (9.8734 m) and the tip: all firewood.
        ExtremeCase{"stump_above_top_diameter", {20.0, 10.0, 7.0}, 30.0, 12.5, 1.0, "0", "0", nullptr},
        // A sawlog diameter next to nothing: the sawlog reaches the tip and
        // takes the whole stem; nothing is left for the roundwood.
        ExtremeCase{"sawlog_diameter_1e-301_with_bark", {1e-301, 0.15, 7.0}, 30.0, 12.5, 1.0, "0.350250", "0",
                    "0.350250"},
        ExtremeCase{"sawlog_diameter_1e-301_without_bark", {1e-301, 0.15, 7.0}, 30.0, 12.5, 0.0, "0.173052", "0",
                    "0.173052"},
        ExtremeCase{"sawlog_diameter_1e-301_d10", {1e-301, 0.15, 7.0}, 10.0, 3.0, 1.0, nullptr, "0", nullptr},
        ExtremeCase{"sawlog_diameter_1e-301_d45", {1e-301, 0.15, 7.0}, 45.0, 25.0, 0.0, nullptr, "0", nullptr},
        ExtremeCase{"sawlog_diameter_1e-301_d5", {1e-301, 0.15, 7.0}, 5.0, 3.0, 0.0, nullptr, "0", nullptr},
        // A top diameter at or above the sawlog diameter: a tree with a sawlog has no roundwood.
        ExtremeCase{"top_equals_sawlog_diameter", {20.0, 0.15, 20.0}, 30.0, 12.5, 1.0, "0.271662", "0", "0.350250"},
        ExtremeCase{"top_above_sawlog_diameter", {20.0, 0.15, 25.0}, 30.0, 12.5, 1.0, "0.271662", "0", "0.350250"},
        ExtremeCase{"top_far_above_sawlog_diameter", {10.0, 0.15, 30.0}, 30.0, 12.5, 0.0, nullptr, "0",
                    "0.173052"},
        // Without a sawlog the roundwood still runs from the stump up to xt.
        ExtremeCase{"top_above_sawlog_diameter_no_sawlog", {20.0, 0.15, 25.0}, 20.0, 10.41364, 0.0, "0", nullptr,
                    "0.066518"}),
    [](const ::testing::TestParamInfo<ExtremeCase> &info) {
        std::string name = info.param.name;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(Volumes, NoNegativeOrUndefinedVolumeOverTheClasses)
{
    // Every class a stand table shows, at heights from short to tall, under each
    // extreme option: volumes are finite and not negative.
    const AssortmentDimensions extremes[] = {
        {20.0, 35.39, 7.0}, {1e-301, 0.15, 7.0}, {20.0, 0.15, 20.0}, {20.0, 0.15, 25.0}, {1e-301, 35.39, 1e300}};
    for (const AssortmentDimensions &dims : extremes) {
        for (double wb : {0.0, 1.0}) {
            for (double d = 5.0; d <= 150.0; d += 5.0) {
                for (double h = 1.0; h <= 40.0; h += 0.5) {
                    const double vs = SawlogVolume(d, h, wb, dims);
                    const double vr = RoundwoodVolume(d, h, vs, wb, dims);
                    const double vt = TotalVolume(d, h, wb, dims);
                    ASSERT_TRUE(std::isfinite(vs) && std::isfinite(vr) && std::isfinite(vt))
                        << dims.sawlogMinDiameter << " " << dims.stumpHeight << " " << d << " " << h;
                    ASSERT_GE(vs, 0.0);
                    ASSERT_GE(vr, 0.0);
                    ASSERT_GE(vt, 0.0);
                    ASSERT_GE(vt - vs - vr, -1e-12);
                }
            }
        }
    }
}

TEST(Volumes, StumpHeightMovesTheLowerEnd)
{
    // A higher stump takes the slice between the two heights off the sawlog
    // and off the total, and nothing off the roundwood.
    const AssortmentDimensions high{20.0, 0.5, 7.0};
    const double slice = TotalVolume(30.0, 12.5, 1.0, kDefaults) - TotalVolume(30.0, 12.5, 1.0, high);
    EXPECT_GT(slice, 0.0);
    EXPECT_NEAR(SawlogVolume(30.0, 12.5, 1.0, kDefaults) - SawlogVolume(30.0, 12.5, 1.0, high), slice, 1e-14);
    EXPECT_NEAR(RoundwoodVolume(30.0, 12.5, 0.27, 1.0, kDefaults), RoundwoodVolume(30.0, 12.5, 0.27, 1.0, high),
                1e-15);
}

TEST(Volumes, SharedStateDimensionsAreRead)
{
    StandState st;
    const AssortmentDimensions other{25.0, 0.3, 9.0};
    for (const AssortmentDimensions &dims : {kDefaults, other}) {
        st.sawlogMinDiameter = dims.sawlogMinDiameter;
        st.stumpHeight = dims.stumpHeight;
        st.topDiameter = dims.topDiameter;
        for (double wb : {0.0, 1.0}) {
            const double vs = SawlogVolume(30.0, 12.5, wb, st);
            EXPECT_EQ(vs, SawlogVolume(30.0, 12.5, wb, dims));
            EXPECT_EQ(RoundwoodVolume(30.0, 12.5, vs, wb, st), RoundwoodVolume(30.0, 12.5, vs, wb, dims));
            EXPECT_EQ(TotalVolume(30.0, 12.5, wb, st), TotalVolume(30.0, 12.5, wb, dims));
        }
    }
}

} // namespace
} // namespace tavelo::test
