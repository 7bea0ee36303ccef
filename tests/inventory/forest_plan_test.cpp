// The plan's programme against every combination of a small forest's
// candidates enumerated by brute force; the LP-first solve against its own
// bound on a few hundred stands; the written model solved by CLP and CBC.

#include "inventory/forest_plan.h"

#include <gtest/gtest.h>

#include <OsiClpSolverInterface.hpp>
#include <CbcModel.hpp>

#include <cmath>
#include <filesystem>
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
    // At no gap the plan must equal the enumeration; at 2 % it may stop at
    // the LP's plan, which must then be that close to the best.
    for (const double gap : {0.0, 2.0})
    for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        c.gapPercent = gap;
        SCOPED_TRACE("seed " + std::to_string(seed) + ", gap " + std::to_string(gap));
        const std::vector<PlanStand> forest = smallForest(seed);
        const std::optional<double> best = bruteForce(forest, c);
        std::vector<SolverState> told;
        const PlanSolution sol = solvePlan(forest, kPeriods, c, nullptr, [&](const SolverState &s) { told.push_back(s); });
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
        EXPECT_LE(sol.objective, *best + 1e-6 * *best);
        EXPECT_GE(sol.objective, *best * (1.0 - gap / 100.0) - 1e-6 * *best);
        EXPECT_GE(sol.bound, *best - 1e-6 * *best);
        EXPECT_LE(sol.gapPercent, gap + 1e-9);
        // What the solver told while it worked: first the LP's bound alone,
        // then never a bound below the best plan nor a plan above it.
        ASSERT_FALSE(told.empty());
        EXPECT_FALSE(told.front().best.has_value());
        EXPECT_DOUBLE_EQ(told.front().bound, sol.relaxationBound);
        for (const SolverState &s : told) {
            EXPECT_GE(s.bound, *best - 1e-6 * *best);
            if (s.best) {
                EXPECT_LE(*s.best, *best + 1e-6 * *best);
                EXPECT_LE(*s.best, s.bound + 1e-6 * *best);
                ASSERT_TRUE(s.gapPercent.has_value());
                EXPECT_NEAR(*s.gapPercent, (s.bound - *s.best) / *s.best * 100.0, 1e-6);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Constraints, ForestPlanBruteForce,
    ::testing::Values(PlanCase{"Unconstrained", FlowRule::None, 0.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"EvenTotal40", FlowRule::Even, 40.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"EvenSawlog60", FlowRule::Even, 60.0, FlowBasis::Sawlog, std::nullopt},
                      PlanCase{"EvenTight", FlowRule::Even, 2.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"Nondecreasing", FlowRule::Nondecreasing, 0.0, FlowBasis::Total, std::nullopt},
                      PlanCase{"NondecreasingSawlog", FlowRule::Nondecreasing, 0.0, FlowBasis::Sawlog, std::nullopt},
                      PlanCase{"NondecreasingWithEndingStock", FlowRule::Nondecreasing, 0.0, FlowBasis::Total, 30.0},
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

// Several hundred stands, each with its own felling years: the relaxation
// leaves few stands split and the plan built from it is within the gap of the
// LP's bound without CBC's full search.
std::vector<PlanStand> wideForest(size_t n, size_t periods, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> volume(80.0, 600.0), value(2000.0, 20000.0);
    std::vector<PlanStand> stands(n);
    for (size_t s = 0; s < n; ++s) {
        PlanStand &st = stands[s];
        st.id = "w" + std::to_string(s);
        st.area = 1.0 + static_cast<double>(s % 3);
        st.standingInitial = volume(rng);
        for (size_t fell = 0; fell <= periods; ++fell) {
            PlanCandidate c;
            c.value = value(rng);
            c.harvestTotal.assign(periods, 0.0);
            c.harvestSawlog.assign(periods, 0.0);
            if (fell < periods)
                c.harvestTotal[fell] = c.harvestSawlog[fell] = volume(rng);
            else
                c.standingAtHorizon = 2.0 * volume(rng);
            c.carbon = 0.05 * volume(rng) * static_cast<double>(fell + 1);
            st.candidates.push_back(c);
        }
    }
    return stands;
}

struct WideCase {
    const char *name;
    FlowRule flow;
    std::optional<double> endingStock;
    double gap;
    std::optional<double> minCarbonPerHa = std::nullopt;
    PlanObjective objective = PlanObjective::Value;
    bool feasible = true;
};

// The relaxation's optimum as CLP finds it solving the written programme
// whole; none when it has no solution.
std::optional<double> relaxationFromFile(const std::vector<PlanStand> &forest, size_t periods,
                                         const PlanConstraints &c)
{
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "tavelo-plan-relaxation-test.mps";
    EXPECT_FALSE(writePlanModel(forest, periods, c, file).has_value());
    OsiClpSolverInterface read;
    read.messageHandler()->setLogLevel(0);
    EXPECT_EQ(read.readMps(file.c_str(), ""), 0);
    std::filesystem::remove(file);
    read.initialSolve();
    if (!read.isProvenOptimal())
        return std::nullopt;
    return -read.getObjValue();
}

class ForestPlanWide : public ::testing::TestWithParam<WideCase> {};

TEST_P(ForestPlanWide, WithinTheGapOfTheRelaxationAndEveryFlowKept)
{
    constexpr size_t periods = 6;
    const std::vector<PlanStand> forest = wideForest(400, periods, 7);
    PlanConstraints c;
    c.flow = GetParam().flow;
    c.evenPercent = 10.0;
    c.endingStockPercent = GetParam().endingStock;
    c.gapPercent = GetParam().gap;
    c.minCarbonPerHa = GetParam().minCarbonPerHa;
    c.objective = GetParam().objective;
    const PlanSolution sol = solvePlan(forest, periods, c);
    // The relaxation priced stand by stand is the whole programme's, solved by another road.
    const std::optional<double> whole = relaxationFromFile(forest, periods, c);
    ASSERT_EQ(whole.has_value(), GetParam().feasible);
    if (!GetParam().feasible) {
        EXPECT_EQ(sol.status, PlanSolution::Status::Infeasible);
        return;
    }
    ASSERT_EQ(sol.status, PlanSolution::Status::Optimal);
    EXPECT_NEAR(sol.relaxationBound, *whole, 1e-9 * std::abs(*whole));
    ASSERT_TRUE(sol.firstPlanObjective.has_value());
    EXPECT_LE(sol.relaxationBound - *sol.firstPlanObjective, c.gapPercent / 100.0 * *sol.firstPlanObjective);
    EXPECT_TRUE(sol.way == PlanWay::Relaxation || sol.way == PlanWay::SplitStandsSearch);
    // A basic solution splits at most one stand per row beyond the stands' own.
    EXPECT_LE(sol.splitStands, 2 * periods + periods + 2);
    EXPECT_DOUBLE_EQ(sol.bound, sol.relaxationBound);

    std::vector<double> h(periods, 0.0);
    double mean = 0.0, standing = 0.0, initial = 0.0, carbon = 0.0;
    for (size_t s = 0; s < forest.size(); ++s) {
        const PlanCandidate &cand = forest[s].candidates[sol.chosen[s]];
        carbon += cand.carbon;
        for (size_t p = 0; p < periods; ++p)
            h[p] += cand.harvestTotal[p];
        standing += cand.standingAtHorizon;
        initial += forest[s].standingInitial;
    }
    for (double v : h)
        mean += v / periods;
    for (size_t p = 0; p < periods; ++p) {
        if (c.flow == FlowRule::Even) {
            EXPECT_LE(std::abs(h[p] - mean), 0.1 * mean + 1e-6) << p;
        }
        if (c.flow == FlowRule::Nondecreasing && p > 0) {
            EXPECT_GE(h[p], h[p - 1] - 1e-6) << p;
        }
    }
    if (c.endingStockPercent) {
        EXPECT_GE(standing, *c.endingStockPercent / 100.0 * initial - 1e-6);
    }
    if (c.minCarbonPerHa) {
        EXPECT_GE(carbon, *c.minCarbonPerHa * plannedArea(forest) - 1e-6);
    }
}

INSTANTIATE_TEST_SUITE_P(Constraints, ForestPlanWide,
                         ::testing::Values(WideCase{"Even", FlowRule::Even, std::nullopt, 0.1},
                                           WideCase{"EvenWithEndingStock", FlowRule::Even, 80.0, 0.1},
                                           WideCase{"Nondecreasing", FlowRule::Nondecreasing, std::nullopt, 0.5},
                                           WideCase{"EvenWithCarbonFloor", FlowRule::Even, std::nullopt, 0.1, 45.0},
                                           WideCase{"CarbonObjective", FlowRule::Even, 60.0, 0.1, std::nullopt,
                                                    PlanObjective::Carbon},
                                           WideCase{"ImpossibleEndingStock", FlowRule::Even, 400.0, 0.1,
                                                    std::nullopt, PlanObjective::Value, false},
                                           WideCase{"ImpossibleCarbonFloor", FlowRule::None, std::nullopt, 0.1,
                                                    1e4, PlanObjective::Value, false}),
                         [](const ::testing::TestParamInfo<WideCase> &i) { return std::string(i.param.name); });

// Random forests under random flows, ending stocks, carbon floors and
// objectives: the relaxation priced stand by stand is the whole programme's,
// feasible or not.
TEST(ForestPlanPricing, TheRelaxationIsTheWholeProgrammesOnRandomForests)
{
    std::mt19937 rng(11);
    int feasible = 0, infeasible = 0;
    for (unsigned trial = 0; trial < 24; ++trial) {
        SCOPED_TRACE(trial);
        const size_t periods = 3 + trial % 4;
        const std::vector<PlanStand> forest = wideForest(30 + 5 * trial, periods, 100 + trial);
        PlanConstraints c;
        c.flow = static_cast<FlowRule>(trial % 3);
        c.basis = trial % 4 == 2 ? FlowBasis::Sawlog : FlowBasis::Total;
        c.evenPercent = 1.0 + static_cast<double>(rng() % 25);
        if (trial % 2 == 1)
            c.endingStockPercent = 60.0 + static_cast<double>(rng() % 200);
        if (trial % 3 == 1)
            c.minCarbonPerHa = 35.0 + static_cast<double>(rng() % 35);
        c.objective = trial % 5 == 3 ? PlanObjective::Carbon : PlanObjective::Value;
        c.gapPercent = 1.0;
        const PlanSolution sol = solvePlan(forest, periods, c);
        const std::optional<double> whole = relaxationFromFile(forest, periods, c);
        if (!whole) {
            ++infeasible;
            EXPECT_EQ(sol.status, PlanSolution::Status::Infeasible);
            continue;
        }
        ++feasible;
        ASSERT_NE(sol.status, PlanSolution::Status::Infeasible);
        EXPECT_NEAR(sol.relaxationBound, *whole, 1e-8 * std::max(1.0, std::abs(*whole)));
    }
    // Both outcomes were met, so both roads were taken.
    EXPECT_GE(feasible, 8) << infeasible;
    EXPECT_GE(infeasible, 4) << feasible;
}

TEST(ForestPlan, AStopBeforeTheRelaxationIsNoPlan)
{
    const std::atomic<bool> stop{true};
    PlanConstraints c;
    c.flow = FlowRule::Even;
    const PlanSolution sol = solvePlan(wideForest(50, 6, 3), 6, c, &stop);
    EXPECT_EQ(sol.status, PlanSolution::Status::Interrupted);
    EXPECT_TRUE(sol.chosen.empty());
}

// The written model read back by CLP gives the relaxation's bound, and by CBC
// with its integers the plan's optimum; its names say stand, candidate and period.
class PlanModelFile : public ::testing::TestWithParam<const char *> {};

TEST_P(PlanModelFile, ReadBackGivesTheSameOptimum)
{
    std::vector<PlanStand> forest = smallForest(2);
    forest[0].id = "a stand/with spaces";
    forest[1].id = "a stand_with spaces"; // made safe, the same name as the first
    forest[2].id = std::string(60, 'z');
    PlanConstraints c;
    c.flow = FlowRule::Even;
    c.evenPercent = 40.0;
    c.endingStockPercent = 20.0;
    c.gapPercent = 0.0;
    const PlanSolution sol = solvePlan(forest, kPeriods, c);
    ASSERT_EQ(sol.status, PlanSolution::Status::Optimal);

    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / (std::string("tavelo-plan-model-test") + GetParam());
    const auto why = writePlanModel(forest, kPeriods, c, file);
    ASSERT_FALSE(why.has_value()) << *why;
    OsiClpSolverInterface read;
    read.messageHandler()->setLogLevel(0);
    const int errors = std::string(GetParam()) == ".lp" ? read.readLp(file.c_str()) : read.readMps(file.c_str(), "");
    std::filesystem::remove(file);
    ASSERT_EQ(errors, 0);
    // Both formats minimise the negated value.
    const double sign = -1.0;
    int columns = static_cast<int>(kPeriods) + 1; // the harvests and their mean
    for (const PlanStand &s : forest)
        columns += static_cast<int>(s.candidates.size());
    ASSERT_EQ(read.getNumCols(), columns);
    EXPECT_EQ(read.getColName(0), "x_a_stand_with_spaces_1");
    EXPECT_EQ(read.getRowName(1), "stand_a_stand_with_spaces_2");
    EXPECT_EQ(read.getRowName(2), "stand_" + std::string(40, 'z'));
    EXPECT_EQ(read.getColName(read.getNumCols() - 1), "mean_harvest");
    EXPECT_EQ(read.getRowName(static_cast<int>(forest.size()) + 2), "harvest_p2");
    EXPECT_EQ(read.getRowName(static_cast<int>(forest.size() + kPeriods) + 2), "even_hi_p2");
    EXPECT_EQ(read.getRowName(read.getNumRows() - 1), "ending_stock");

    read.initialSolve();
    ASSERT_TRUE(read.isProvenOptimal());
    EXPECT_NEAR(sign * read.getObjValue(), sol.relaxationBound, 1e-6 * sol.relaxationBound);
    CbcModel search(read);
    search.setLogLevel(0);
    search.branchAndBound();
    ASSERT_TRUE(search.isProvenOptimal());
    EXPECT_NEAR(sign * search.getObjValue(), sol.objective, 1e-6 * sol.objective);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlanModelFile, ::testing::Values(".mps", ".lp"),
                         [](const ::testing::TestParamInfo<const char *> &i) { return std::string(i.param + 1); });

} // namespace
} // namespace tavelo
