// The plan's programme against every combination of a small forest's
// candidates enumerated by brute force.

#include "inventory/forest_plan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>

namespace tavelo {
namespace {

constexpr size_t kPeriods = 4;

// A dozen stands with two or three candidates each, harvests in one or two
// periods, values and volumes drawn at random (the same every run).
std::vector<PlanStand> smallForest(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> volume(50.0, 400.0), value(1000.0, 9000.0), share(0.2, 0.7);
    std::vector<PlanStand> stands(12);
    for (size_t s = 0; s < stands.size(); ++s) {
        PlanStand &st = stands[s];
        st.id = "s" + std::to_string(s);
        st.area = 1.0 + s % 3;
        st.standingInitial = volume(rng);
        const size_t n = 2 + rng() % 2;
        for (size_t k = 0; k < n; ++k) {
            PlanCandidate c;
            c.value = value(rng);
            c.harvestTotal.assign(kPeriods, 0.0);
            c.harvestSawlog.assign(kPeriods, 0.0);
            const size_t fell = rng() % (kPeriods + 1); // kPeriods: not felled within the horizon
            if (fell < kPeriods) {
                c.fellingYear = 2026 + 5 * static_cast<int>(fell);
                c.harvestTotal[fell] = volume(rng);
                c.harvestSawlog[fell] = c.harvestTotal[fell] * share(rng);
            } else {
                c.standingAtHorizon = 1.5 * volume(rng);
            }
            if (fell > 0) { // a thinning before
                const size_t t = rng() % fell;
                c.harvestTotal[t] += 0.3 * volume(rng);
                c.harvestSawlog[t] += 0.1 * volume(rng);
            }
            st.candidates.push_back(c);
        }
    }
    return stands;
}

bool meets(const std::vector<PlanStand> &stands, const std::vector<size_t> &pick, const PlanConstraints &c,
           bool withFlow, bool withEnding)
{
    std::vector<double> h(kPeriods, 0.0);
    double standing = 0.0, initial = 0.0;
    for (size_t s = 0; s < stands.size(); ++s) {
        const PlanCandidate &cand = stands[s].candidates[pick[s]];
        for (size_t p = 0; p < kPeriods; ++p)
            h[p] += planHarvest(cand, c.basis, p);
        standing += cand.standingAtHorizon;
        initial += stands[s].standingInitial;
    }
    const double tol = 1e-6;
    if (withFlow && c.flow == FlowRule::Even) {
        double mean = 0.0;
        for (double v : h)
            mean += v / kPeriods;
        for (double v : h)
            if (std::abs(v - mean) > c.evenPercent / 100.0 * mean + tol)
                return false;
    }
    if (withFlow && c.flow == FlowRule::Nondecreasing)
        for (size_t p = 1; p < kPeriods; ++p)
            if (h[p] < h[p - 1] - tol)
                return false;
    if (withEnding && c.endingStockPercent && standing < *c.endingStockPercent / 100.0 * initial - tol)
        return false;
    return true;
}

// The best value over every combination, or none when no combination meets the constraints.
std::optional<double> bruteForce(const std::vector<PlanStand> &stands, const PlanConstraints &c, bool withFlow = true,
                                 bool withEnding = true)
{
    std::vector<size_t> pick(stands.size(), 0);
    std::optional<double> best;
    while (true) {
        if (meets(stands, pick, c, withFlow, withEnding)) {
            double v = 0.0;
            for (size_t s = 0; s < stands.size(); ++s)
                v += stands[s].candidates[pick[s]].value;
            if (!best || v > *best)
                best = v;
        }
        size_t s = 0;
        while (s < stands.size() && ++pick[s] == stands[s].candidates.size())
            pick[s++] = 0;
        if (s == stands.size())
            return best;
    }
}

struct PlanCase {
    const char *name;
    FlowRule flow;
    double evenPercent;
    FlowBasis basis;
    std::optional<double> endingStock;
};

class ForestPlanBruteForce : public ::testing::TestWithParam<PlanCase> {};

TEST_P(ForestPlanBruteForce, ChosenPlanIsTheBestCombination)
{
    const PlanCase &pc = GetParam();
    PlanConstraints c;
    c.flow = pc.flow;
    c.evenPercent = pc.evenPercent;
    c.basis = pc.basis;
    c.endingStockPercent = pc.endingStock;
    c.gapPercent = 0.0; // proven optimal, so that it must equal the enumeration
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const std::vector<PlanStand> forest = smallForest(seed);
        const std::optional<double> best = bruteForce(forest, c);
        const PlanSolution sol = solvePlan(forest, kPeriods, c);
        if (!best) {
            ASSERT_EQ(sol.status, PlanSolution::Status::Infeasible);
            ASSERT_TRUE(sol.blocking.has_value());
            // Without the family named, a plan exists.
            const bool dropFlow = *sol.blocking != ConstraintFamily::EndingStock;
            const bool dropEnding = *sol.blocking != ConstraintFamily::Flow;
            EXPECT_TRUE(bruteForce(forest, c, !dropFlow, !dropEnding).has_value());
            continue;
        }
        ASSERT_EQ(sol.status, PlanSolution::Status::Optimal);
        ASSERT_EQ(sol.chosen.size(), forest.size());
        EXPECT_TRUE(meets(forest, sol.chosen, c, true, true));
        EXPECT_NEAR(sol.objective, *best, 1e-6 * *best);
        EXPECT_GE(sol.bound, sol.objective - 1e-6 * *best);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Constraints, ForestPlanBruteForce,
    ::testing::Values(PlanCase{"Unconstrained", FlowRule::None, 0.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"EvenTotal40", FlowRule::Even, 40.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"EvenSawlog60", FlowRule::Even, 60.0, FlowBasis::Sawlog, std::nullopt},
                      PlanCase{"EvenTight", FlowRule::Even, 2.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"Nondecreasing", FlowRule::Nondecreasing, 0.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"EndingStock", FlowRule::None, 0.0, FlowBasis::Total, 60.0},
                      PlanCase{"EvenWithEndingStock", FlowRule::Even, 50.0, FlowBasis::Total, 40.0},
                      PlanCase{"EndingStockOutOfReach", FlowRule::Even, 50.0, FlowBasis::Total, 500.0}),
    [](const ::testing::TestParamInfo<PlanCase> &i) { return std::string(i.param.name); });

TEST(ForestPlan, AnImpossibleFlowIsNamed)
{
    // Two stands, each felled in one period only: no even flow over two periods.
    PlanCandidate a{100.0, 2026, {10.0, 0.0}, {5.0, 0.0}, 0.0};
    PlanCandidate b{100.0, 2026, {10.0, 0.0}, {5.0, 0.0}, 0.0};
    const std::vector<PlanStand> forest{{"a", 1.0, 0.0, {a}}, {"b", 1.0, 0.0, {b}}};
    PlanConstraints c;
    c.flow = FlowRule::Even;
    c.evenPercent = 10.0;
    const PlanSolution sol = solvePlan(forest, 2, c);
    ASSERT_EQ(sol.status, PlanSolution::Status::Infeasible);
    EXPECT_EQ(sol.blocking, ConstraintFamily::Flow);
}

} // namespace
} // namespace tavelo
