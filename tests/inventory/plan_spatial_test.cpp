// Neighbours in a plan: a 3 x 3 map of squares whose neighbours GDAL finds
// from the outlines, and whose best plan under each spatial rule is found
// by enumerating every combination of candidates; every plan solved is
// checked again by an independent count of conflicts and openings.

#include "inventory/forest_plan.h"
#include "inventory/gdal_inventory.h"
#include "inventory/plan_spatial.h"
#include "inventory/stand_adjacency.h"

#include <gtest/gtest.h>

#include <CbcModel.hpp>
#include <OsiClpSolverInterface.hpp>
#include <ogr_geometry.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <numeric>
#include <optional>
#include <random>
#include <set>

namespace tavelo::spatial_test {
namespace {

constexpr size_t kPeriods = 4;
constexpr int kStart = 2026;
constexpr int kSide = 3; // squares a side

// Cell r * kSide + c: a 100 m square in EPSG:3763 metres.
StandGeometry square(int r, int c, double side = 100.0)
{
    const double x = -50000.0 + 100.0 * c, y = 150000.0 + 100.0 * r;
    OGRLinearRing ring;
    ring.addPoint(x, y);
    ring.addPoint(x + side, y);
    ring.addPoint(x + side, y + side);
    ring.addPoint(x, y + side);
    ring.addPoint(x, y);
    OGRPolygon p;
    p.addRing(&ring);
    return standGeometryOf(p);
}

std::vector<StandGeometry> gridOutlines()
{
    std::vector<StandGeometry> out;
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            out.push_back(square(r, c));
    return out;
}

const InventoryCrs kProjected{"EPSG", 3763, ""};

// The neighbours of a grid by its cells alone: a common side, not a corner.
std::set<std::pair<size_t, size_t>> gridNeighbours()
{
    std::set<std::pair<size_t, size_t>> out;
    for (int a = 0; a < kSide * kSide; ++a)
        for (int b = a + 1; b < kSide * kSide; ++b)
            if (std::abs(a / kSide - b / kSide) + std::abs(a % kSide - b % kSide) == 1)
                out.emplace(a, b);
    return out;
}

TEST(StandAdjacency, NeighboursShareASideNotACorner)
{
    const StandAdjacency found = standAdjacency(gridOutlines(), kProjected, 0.0);
    ASSERT_EQ(found.outcome, StandAdjacency::Outcome::Built);
    std::set<std::pair<size_t, size_t>> pairs;
    for (const StandNeighbours &n : found.pairs) {
        pairs.emplace(n.a, n.b);
        EXPECT_NEAR(n.sharedMetres, 100.0, 1e-9);
    }
    EXPECT_EQ(pairs, gridNeighbours());
    EXPECT_TRUE(found.invalid.empty());
    // Shorter sides than asked for make no neighbours.
    EXPECT_TRUE(standAdjacency(gridOutlines(), kProjected, 100.0).pairs.empty());
    EXPECT_EQ(standAdjacency(gridOutlines(), kProjected, 99.0).pairs.size(), 12u);
}

TEST(StandAdjacency, AnInvalidOutlineIsToldAndADegreeLayerRefused)
{
    std::vector<StandGeometry> outlines = gridOutlines();
    OGRLinearRing bow; // crosses itself
    for (const auto &[x, y] : {std::pair{0.0, 0.0}, {10.0, 10.0}, {10.0, 0.0}, {0.0, 10.0}, {0.0, 0.0}})
        bow.addPoint(-50000.0 + 100.0 + x, 150000.0 + 100.0 + y);
    OGRPolygon p;
    p.addRing(&bow);
    outlines[4] = standGeometryOf(p);
    outlines[7] = StandGeometry{};
    const StandAdjacency found = standAdjacency(outlines, kProjected, 0.0);
    ASSERT_EQ(found.invalid.size(), 2u);
    EXPECT_EQ(found.invalid[0].first, 4u);
    EXPECT_EQ(found.invalid[1].first, 7u);
    for (const StandNeighbours &n : found.pairs)
        for (size_t s : {n.a, n.b})
            EXPECT_TRUE(s != 4 && s != 7);
    EXPECT_EQ(found.pairs.size(), 12u - 6u); // the centre's four sides and 7's two others

    const StandAdjacency degrees = standAdjacency(gridOutlines(), InventoryCrs{"EPSG", 4326, ""}, 0.0);
    EXPECT_EQ(degrees.outcome, StandAdjacency::Outcome::Geographic);
    EXPECT_EQ(degrees.crs, "EPSG:4326");
    EXPECT_EQ(standAdjacency(std::vector<StandGeometry>(3), kProjected, 0.0).outcome,
              StandAdjacency::Outcome::NoGeometries);
}

// Nine stands of 1 to 4 ha with three candidates each, felled in a random
// period or not within the horizon.
std::vector<PlanStand> gridForest(unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> value(1000.0, 9000.0), volume(50.0, 400.0), area(1.0, 4.0);
    std::vector<PlanStand> stands(kSide * kSide);
    for (size_t s = 0; s < stands.size(); ++s) {
        stands[s].id = "g" + std::to_string(s);
        stands[s].area = std::round(area(rng) * 2.0) / 2.0;
        for (int k = 0; k < 3; ++k) {
            PlanCandidate c;
            c.value = value(rng);
            c.harvestTotal.assign(kPeriods, 0.0);
            c.harvestSawlog.assign(kPeriods, 0.0);
            const size_t fell = rng() % (kPeriods + 1);
            if (fell < kPeriods) {
                c.fellingYear = kStart + 5 * static_cast<int>(fell) + static_cast<int>(rng() % 5);
                c.harvestTotal[fell] = volume(rng);
            }
            stands[s].candidates.push_back(c);
        }
    }
    return stands;
}

struct SpatialCase {
    const char *name;
    int greenUpYears;
    std::optional<double> maxOpening;
    std::optional<double> softPrice;
    std::optional<double> evenPercent;
};

// The rule checked with nothing of the program's: periods from the felling
// years, neighbours from the grid, openings by a union of cells.
struct Check {
    size_t conflicts = 0;       // neighbour pairs within the delay
    double excess = 0.0;        // hectares above the limit, over every window's openings
    size_t openingsOver = 0;
};

// Each stand's felling period within the horizon (-1: not felled in it).
std::vector<int> felledPeriods(const std::vector<PlanStand> &stands, const std::vector<size_t> &pick)
{
    std::vector<int> period(stands.size(), -1);
    for (size_t s = 0; s < stands.size(); ++s)
        if (const auto y = stands[s].candidates[pick[s]].fellingYear; y && (*y - kStart) / 5 < int(kPeriods))
            period[s] = (*y - kStart) / 5;
    return period;
}

// Every window's openings' areas (one window when the horizon is shorter),
// by a union of the neighbours felled in it.
std::vector<double> openingAreas(const std::vector<PlanStand> &stands, const std::vector<int> &period, int w,
                                 const std::vector<std::pair<size_t, size_t>> &pairs)
{
    std::vector<double> out;
    for (int t = 0; t + w <= int(kPeriods) || t == 0; ++t) {
        std::vector<size_t> root(stands.size());
        std::iota(root.begin(), root.end(), size_t{0});
        const auto find = [&](size_t x) {
            while (root[x] != x)
                x = root[x];
            return x;
        };
        const auto in = [&](size_t s) { return period[s] >= t && period[s] < t + w; };
        for (const auto &[a, b] : pairs)
            if (in(a) && in(b))
                root[find(a)] = find(b);
        std::vector<double> area(stands.size(), 0.0);
        for (size_t s = 0; s < stands.size(); ++s)
            if (in(s))
                area[find(s)] += stands[s].area;
        for (double a : area)
            if (a > 0.0)
                out.push_back(a);
    }
    return out;
}

Check check(const std::vector<PlanStand> &stands, const std::vector<size_t> &pick, const SpatialCase &c)
{
    const int w = c.greenUpYears / 5;
    const std::vector<int> period = felledPeriods(stands, pick);
    Check out;
    const auto grid = gridNeighbours();
    const std::vector<std::pair<size_t, size_t>> pairs(grid.begin(), grid.end());
    for (const auto &[a, b] : pairs)
        if (period[a] >= 0 && period[b] >= 0 && std::abs(period[a] - period[b]) < w)
            ++out.conflicts;
    if (c.maxOpening) {
        for (double a : openingAreas(stands, period, w, pairs))
            if (a > *c.maxOpening + 1e-9) {
                ++out.openingsOver;
                out.excess += a - *c.maxOpening;
            }
    }
    return out;
}

bool evenFlowKept(const std::vector<PlanStand> &stands, const std::vector<size_t> &pick, double percent)
{
    std::vector<double> h(kPeriods, 0.0);
    for (size_t s = 0; s < stands.size(); ++s)
        for (size_t p = 0; p < kPeriods; ++p)
            h[p] += stands[s].candidates[pick[s]].harvestTotal[p];
    const double mean = std::accumulate(h.begin(), h.end(), 0.0) / kPeriods;
    return std::all_of(h.begin(), h.end(), [&](double v) { return std::abs(v - mean) <= percent / 100.0 * mean + 1e-6; });
}

// The plan's value under the rule, or none when it breaks a hard rule.
std::optional<double> worth(const std::vector<PlanStand> &stands, const std::vector<size_t> &pick,
                            const SpatialCase &c)
{
    if (c.evenPercent && !evenFlowKept(stands, pick, *c.evenPercent))
        return std::nullopt;
    const Check k = check(stands, pick, c);
    double v = 0.0;
    for (size_t s = 0; s < stands.size(); ++s)
        v += stands[s].candidates[pick[s]].value;
    if (c.softPrice)
        return v - *c.softPrice * static_cast<double>(k.conflicts);
    if (c.maxOpening ? k.openingsOver > 0 : k.conflicts > 0)
        return std::nullopt;
    return v;
}

class SpatialBruteForce : public ::testing::TestWithParam<SpatialCase> {};

TEST_P(SpatialBruteForce, TheBestPlanIsTheBestCombination)
{
    const SpatialCase &c = GetParam();
    const StandAdjacency adjacency = standAdjacency(gridOutlines(), kProjected, 0.0);
    for (unsigned seed = 1; seed <= 4; ++seed) {
        SCOPED_TRACE(seed);
        const std::vector<PlanStand> stands = gridForest(seed);
        PlanConstraints constraints;
        constraints.gapPercent = 0.0;
        if (c.evenPercent) {
            constraints.flow = FlowRule::Even;
            constraints.evenPercent = *c.evenPercent;
        }
        SpatialRule rule;
        rule.startYear = kStart;
        rule.greenUpYears = c.greenUpYears;
        rule.maxOpeningHa = c.maxOpening;
        rule.softPrice = c.softPrice;
        for (const StandNeighbours &n : adjacency.pairs)
            rule.neighbours.emplace_back(n.a, n.b);
        constraints.spatial = rule;

        std::optional<double> best, aspatial;
        std::vector<size_t> pick(stands.size(), 0);
        for (bool more = true; more;) {
            if (const auto v = worth(stands, pick, c); v && (!best || *v > *best))
                best = v;
            double value = 0.0;
            for (size_t s = 0; s < stands.size(); ++s)
                value += stands[s].candidates[pick[s]].value;
            if ((!c.evenPercent || evenFlowKept(stands, pick, *c.evenPercent)) && (!aspatial || value > *aspatial))
                aspatial = value;
            size_t s = 0;
            while (s < stands.size() && ++pick[s] == stands[s].candidates.size())
                pick[s++] = 0;
            more = s < stands.size();
        }

        const PlanSolution solved = solvePlan(stands, kPeriods, constraints);
        if (!best) {
            EXPECT_EQ(solved.status, PlanSolution::Status::Infeasible);
            if (aspatial) {
                EXPECT_EQ(solved.blocking, ConstraintFamily::Spatial);
            }
            continue;
        }
        ASSERT_EQ(solved.status, PlanSolution::Status::Optimal);
        EXPECT_NEAR(solved.objective, *best, 1e-6 * std::abs(*best));
        const std::optional<double> own = worth(stands, solved.chosen, c);
        ASSERT_TRUE(own.has_value()) << "the plan breaks a hard rule";
        EXPECT_NEAR(*own, solved.objective, 1e-6 * std::abs(*best));
        ASSERT_TRUE(solved.spatial.has_value());
        EXPECT_NEAR(solved.spatial->aspatialObjective, *aspatial, 1e-6 * std::abs(*aspatial));
        const Check k = check(stands, solved.chosen, c);
        EXPECT_EQ(solved.spatial->conflicts, c.maxOpening ? k.openingsOver : k.conflicts);
        if (c.softPrice) {
            EXPECT_NEAR(solved.spatial->penalty, *c.softPrice * static_cast<double>(k.conflicts), 1e-6);
        }
        if (!c.maxOpening) {
            EXPECT_EQ(solved.spatial->rounds, 0u);
        }
        // The program's own reading of the plan agrees with the check.
        EXPECT_EQ(spatialConflicts(stands, solved.chosen, kPeriods, rule), solved.spatial->conflicts);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rules, SpatialBruteForce,
    ::testing::Values(SpatialCase{"GreenUp5", 5, std::nullopt, std::nullopt, std::nullopt},
                      SpatialCase{"GreenUp10", 10, std::nullopt, std::nullopt, std::nullopt},
                      SpatialCase{"GreenUp15", 15, std::nullopt, std::nullopt, std::nullopt},
                      SpatialCase{"SoftGreenUp10", 10, std::nullopt, 1500.0, std::nullopt},
                      SpatialCase{"SoftGreenUp5WithEvenFlow", 5, std::nullopt, 800.0, 60.0},
                      SpatialCase{"GreenUp10WithEvenFlow", 10, std::nullopt, std::nullopt, 60.0},
                      SpatialCase{"Opening5Ha", 10, 5.0, std::nullopt, std::nullopt},
                      SpatialCase{"Opening3HaOnePeriod", 5, 3.0, std::nullopt, std::nullopt},
                      SpatialCase{"Opening8HaWithEvenFlow", 10, 8.0, std::nullopt, 60.0}),
    [](const ::testing::TestParamInfo<SpatialCase> &i) { return std::string(i.param.name); });

// A side x side grid of stands of 1 to 6 ha, neighbours by their sides,
// each with a candidate felled in each period (its value peaking in a period
// of its own) and one not felled.
std::vector<PlanStand> wideGrid(int side, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> area(1.0, 6.0), volume(100.0, 300.0), value(2000.0, 6000.0);
    std::vector<PlanStand> stands(static_cast<size_t>(side * side));
    for (size_t s = 0; s < stands.size(); ++s) {
        stands[s].id = "w" + std::to_string(s);
        stands[s].area = area(rng);
        const size_t peak = rng() % kPeriods;
        const double perHa = value(rng);
        for (size_t fell = 0; fell <= kPeriods; ++fell) {
            PlanCandidate c;
            c.harvestTotal.assign(kPeriods, 0.0);
            c.harvestSawlog.assign(kPeriods, 0.0);
            const double distance = std::abs(static_cast<double>(fell) - static_cast<double>(peak));
            c.value = stands[s].area * perHa * (fell == kPeriods ? 0.5 : 1.0 - 0.15 * distance);
            if (fell < kPeriods) {
                c.fellingYear = kStart + 5 * static_cast<int>(fell) + static_cast<int>(rng() % 5);
                c.harvestTotal[fell] = stands[s].area * volume(rng);
            }
            stands[s].candidates.push_back(c);
        }
    }
    return stands;
}

// Under a hard green-up, alone or with openings, and an even flow, a plan of
// 81 stands keeps the rule as counted here from the grid, and is within the
// gap of a bound no higher than the relaxation of the written programme
// (which holds the green-up's rows, not the openings').
TEST(PlanSpatialWide, KeepsTheRuleWithinTheGapOfTheRelaxation)
{
    constexpr int side = 9;
    const std::vector<PlanStand> stands = wideGrid(side, 5);
    const auto neighbours = [&](size_t a, size_t b) {
        return std::abs(int(a) / side - int(b) / side) + std::abs(int(a) % side - int(b) % side) == 1;
    };
    for (const std::optional<double> opening : {std::optional<double>(), std::optional<double>(12.0)}) {
        SCOPED_TRACE(opening.value_or(0.0));
        PlanConstraints c;
        c.flow = FlowRule::Even;
        c.evenPercent = 30.0;
        c.gapPercent = 1.0;
        SpatialRule rule;
        rule.startYear = kStart;
        rule.greenUpYears = 10;
        rule.maxOpeningHa = opening;
        for (size_t a = 0; a < stands.size(); ++a)
            for (size_t b = a + 1; b < stands.size(); ++b)
                if (neighbours(a, b))
                    rule.neighbours.emplace_back(a, b);
        c.spatial = rule;
        const PlanSolution sol = solvePlan(stands, kPeriods, c);
        ASSERT_EQ(sol.status, PlanSolution::Status::Optimal);
        EXPECT_LE(sol.bound - sol.objective, 0.01 * sol.objective + 1e-6);

        const std::filesystem::path file = std::filesystem::temp_directory_path() / "tavelo-spatial-wide-test.mps";
        ASSERT_FALSE(writePlanModel(stands, kPeriods, c, file).has_value());
        OsiClpSolverInterface read;
        read.messageHandler()->setLogLevel(0);
        ASSERT_EQ(read.readMps(file.c_str(), ""), 0);
        std::filesystem::remove(file);
        read.initialSolve();
        ASSERT_TRUE(read.isProvenOptimal());
        EXPECT_LE(sol.bound, -read.getObjValue() + 1e-6 * sol.bound);

        // The periods felled, and every window's openings, from the grid alone.
        const std::vector<int> period = felledPeriods(stands, sol.chosen);
        size_t within = 0;
        for (const auto &[a, b] : rule.neighbours)
            within += period[a] >= 0 && period[b] >= 0 && std::abs(period[a] - period[b]) < 2;
        const std::vector<double> areas = openingAreas(stands, period, 2, rule.neighbours);
        const double largest = areas.empty() ? 0.0 : *std::max_element(areas.begin(), areas.end());
        if (opening) {
            EXPECT_LE(largest, *opening + 1e-9);
            EXPECT_GT(within, 0u) << "openings allow neighbours felled together";
        } else {
            EXPECT_EQ(within, 0u);
        }
    }
}

// The written programme, green-up rows and soft excess columns named, solved
// by CBC itself gives the plan's optimum.
TEST(PlanSpatialModelFile, ReadBackGivesTheSameOptimum)
{
    const std::vector<PlanStand> stands = gridForest(3);
    for (const std::optional<double> price : {std::optional<double>(), std::optional<double>(1500.0)}) {
        PlanConstraints c;
        c.gapPercent = 0.0;
        SpatialRule rule;
        rule.startYear = kStart;
        rule.greenUpYears = 10;
        rule.softPrice = price;
        for (const auto &[a, b] : gridNeighbours())
            rule.neighbours.emplace_back(a, b);
        c.spatial = rule;
        const PlanSolution sol = solvePlan(stands, kPeriods, c);
        ASSERT_EQ(sol.status, PlanSolution::Status::Optimal);
        const std::filesystem::path file = std::filesystem::temp_directory_path() / "tavelo-spatial-model-test.lp";
        ASSERT_FALSE(writePlanModel(stands, kPeriods, c, file).has_value());
        OsiClpSolverInterface read;
        read.messageHandler()->setLogLevel(0);
        ASSERT_EQ(read.readLp(file.c_str()), 0);
        std::filesystem::remove(file);
        bool named = false;
        for (int r = 0; r < read.getNumRows(); ++r)
            named = named || read.getRowName(r) == "adjacency_g0_g1_p0";
        EXPECT_TRUE(named);
        CbcModel search(read);
        search.setLogLevel(0);
        search.branchAndBound();
        ASSERT_TRUE(search.isProvenOptimal());
        EXPECT_NEAR(-search.getObjValue(), sol.objective, 1e-6 * sol.objective);
    }
}

// openings.csv lists each window's openings once, and every felled stand is
// in one.
TEST(PlanOpenings, DistinctOpeningsCoverEveryFelledStand)
{
    const std::vector<PlanStand> stands = gridForest(7);
    SpatialRule rule;
    rule.startYear = kStart;
    rule.greenUpYears = 10;
    for (const auto &[a, b] : gridNeighbours())
        rule.neighbours.emplace_back(a, b);
    const std::vector<size_t> pick(stands.size(), 0);
    const auto all = planOpenings(stands, pick, kPeriods, rule, false);
    const auto distinct = planOpenings(stands, pick, kPeriods, rule, true);
    std::set<std::vector<size_t>> sets;
    for (const PlanOpening &o : all)
        sets.insert(o.stands);
    EXPECT_EQ(distinct.size(), sets.size());
    std::set<size_t> covered;
    for (const PlanOpening &o : distinct)
        covered.insert(o.stands.begin(), o.stands.end());
    for (size_t s = 0; s < stands.size(); ++s)
        EXPECT_EQ(covered.count(s) == 1, fellingPeriod(stands[s].candidates[0], rule, kPeriods).has_value()) << s;
}

} // namespace
} // namespace tavelo::spatial_test
