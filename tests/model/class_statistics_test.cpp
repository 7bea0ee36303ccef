// A stand given by its trees per 5 cm diameter class: its trees, basal area,
// minimum diameter and percentile, and the distribution recovered from them.

#include "model_test_support.h"

#include <cmath>

namespace tavelo::test {
namespace {

using Counts = std::array<int, kDiameterClasses>;

struct ClassCase {
    const char *name;
    Counts counts;
    double trees;
    double percentile;
    double minDiameter;
    const char *basalArea; // m2/ha as printed
};

class StatisticsOfClassesTable : public ::testing::TestWithParam<ClassCase> {};

TEST_P(StatisticsOfClassesTable, WorkedExamples)
{
    const ClassCase &tc = GetParam();
    const ClassStatistics s = StatisticsOfClasses(tc.counts);
    EXPECT_EQ(s.trees, tc.trees);
    EXPECT_DOUBLE_EQ(s.percentile, tc.percentile);
    EXPECT_EQ(s.minDiameter, tc.minDiameter);
    EXPECT_ROUNDS_TO(s.basalArea, tc.basalArea);
}

INSTANTIATE_TEST_SUITE_P(
    Classes, StatisticsOfClassesTable,
    ::testing::Values(
        // 100 trees at 20 cm: target 90 inside class 3, P = 5 (3.5 + 0.9).
        ClassCase{"OneClass", {0, 0, 0, 100}, 100.0, 22.0, 17.5, "3.141560"},
        // 50 at 10 cm and 50 at 20 cm: the target is reached in class 3 with 50 before it.
        ClassCase{"TwoClasses", {0, 50, 0, 50}, 100.0, 21.5, 7.5, "1.963475"},
        // Every tree in the first class: the percentile lies inside it.
        ClassCase{"FirstClass", {10}, 10.0, 7.0, 2.5, "0.01963475"},
        // The largest class holds the 90 % point.
        ClassCase{"LargestClass", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10}, 10.0, 67.0, 62.5, "3.318273"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(StatisticsOfClasses, ABareStandIsRefused)
{
    EXPECT_THROW(StatisticsOfClasses(Counts{}), ModelInputError);
}

TEST(WeibullFromPercentile, PutsThePercentileWhereItWasGiven)
{
    // The recovered distribution has its 95 % point at P95 and keeps the shape solved for.
    for (double p95 : {22.0, 31.0, 40.0}) {
        SCOPED_TRACE(p95);
        const double a = 8.1;
        const WeibullShapeAndScale w = WeibullFromPercentile(22.0, 800.0, a, p95);
        double c = 0.0;
        c = SolveWeibullShape(22.0, 800.0, a, p95);
        EXPECT_EQ(w.shape, c);
        EXPECT_NEAR(WeibullCdf(a, w.scale, w.shape, p95), 1.0 - std::exp(-kMinusLn005), 1e-12);
    }
}

} // namespace
} // namespace tavelo::test
