// A forest plan with neighbours: stands laid on a map as irregular
// quadrilaterals sharing their edges (a grid of 200 m cells, every corner
// moved at random by up to 50 m, so about 4 ha each, in EPSG:3763 metres).
// Their neighbours are found from the outlines as the plan does; the plan
// keeps an even flow of ±10 % over six periods, a green-up of 10 years and
// openings of at most 20 ha (and, for comparison, the green-up alone), at a
// 1 % gap. Reported per size: the neighbours' time, the plan's value, bound,
// gap, rounds, conflicts left, the value without the rule and the time.
//
// The candidates are drawn, not simulated (ten thousand stands' regime
// searches would take longer than the solve measured): for each stand one
// candidate felled in each period, and one felled after the horizon, their
// values peaking at a felling age of the stand's own, their volumes growing
// with age and area.
//
//     plan_spatial_bench [--time-limit SECONDS] [STANDS...]     (default 1000 10000)

#include "bench/plan_bench_setup.h"
#include "inventory/forest_plan.h"
#include "inventory/gdal_inventory.h"
#include "inventory/plan_spatial.h"
#include "inventory/stand_adjacency.h"

#include <ogr_geometry.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

namespace {

using namespace tavelo;

constexpr double kCell = 200.0;  // m
constexpr double kJitter = 50.0; // m
constexpr size_t kPeriods = 6;

struct Map {
    std::vector<StandGeometry> outlines;
    std::vector<double> areas; // ha
};

Map jitteredGrid(size_t stands, unsigned seed)
{
    const size_t side = static_cast<size_t>(std::ceil(std::sqrt(static_cast<double>(stands))));
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> move(-kJitter, kJitter);
    std::vector<std::pair<double, double>> corner((side + 1) * (side + 1));
    for (size_t r = 0; r <= side; ++r)
        for (size_t c = 0; c <= side; ++c)
            corner[r * (side + 1) + c] = {-50000.0 + kCell * c + move(rng), 150000.0 + kCell * r + move(rng)};
    Map map;
    for (size_t i = 0; i < stands; ++i) {
        const size_t r = i / side, c = i % side;
        const std::pair<double, double> q[] = {corner[r * (side + 1) + c], corner[r * (side + 1) + c + 1],
                                               corner[(r + 1) * (side + 1) + c + 1], corner[(r + 1) * (side + 1) + c]};
        OGRLinearRing ring;
        double twice = 0.0;
        for (int k = 0; k < 4; ++k) {
            ring.addPoint(q[k].first, q[k].second);
            twice += q[k].first * q[(k + 1) % 4].second - q[(k + 1) % 4].first * q[k].second;
        }
        ring.addPoint(q[0].first, q[0].second);
        OGRPolygon polygon;
        polygon.addRing(&ring);
        map.outlines.push_back(standGeometryOf(polygon));
        map.areas.push_back(std::abs(twice) / 2.0 / 10000.0);
    }
    return map;
}

std::vector<PlanStand> drawnStands(const std::vector<double> &areas, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> age(10.0, 45.0), best(35.0, 50.0), unit(0.0, 1.0);
    std::vector<PlanStand> stands(areas.size());
    for (size_t s = 0; s < stands.size(); ++s) {
        PlanStand &st = stands[s];
        st.id = "s" + std::to_string(s);
        st.area = areas[s];
        const double a0 = std::round(age(rng)), rotation = best(rng), yieldPerYear = 6.0 + 6.0 * unit(rng);
        st.standingInitial = yieldPerYear * a0 * st.area;
        for (size_t p = 0; p <= kPeriods; ++p) {
            PlanCandidate c;
            c.harvestTotal.assign(kPeriods, 0.0);
            c.harvestSawlog.assign(kPeriods, 0.0);
            const double at = a0 + 5.0 * static_cast<double>(p) + 2.0; // age at felling
            const double volume = yieldPerYear * at * st.area;
            if (p < kPeriods) {
                c.fellingYear = 2026 + 5 * static_cast<int>(p) + 2;
                c.harvestTotal[p] = volume;
                c.harvestSawlog[p] = volume * std::min(0.8, at / 60.0);
            } else {
                c.standingAtHorizon = volume;
            }
            const double late = (at - rotation) / 10.0;
            c.value = st.area * (2500.0 + 40.0 * at - 900.0 * late * late) * std::pow(1.03, -5.0 * p);
            st.candidates.push_back(c);
        }
    }
    return stands;
}

} // namespace

int main(int argc, char **argv)
{
    PlanBenchSetup setup = planBenchSetup(argc, argv, {1000, 10000});
    const bool limitGiven = setup.constraints.maxSeconds.has_value();
    for (size_t n : setup.sizes) {
        const Map map = jitteredGrid(n, 2026);
        auto t0 = std::chrono::steady_clock::now();
        const StandAdjacency adjacency = standAdjacency(map.outlines, InventoryCrs{"EPSG", 3763, ""}, 0.0);
        const double tNeighbours = secondsSince(t0);
        const std::vector<PlanStand> stands = drawnStands(map.areas, 7);
        double total = 0.0;
        for (double a : map.areas)
            total += a;
        std::printf("%zu stands, %.1f ha (mean %.2f ha): %zu neighbour pairs found in %.2f s, %zu invalid outlines\n",
                    n, total, total / static_cast<double>(n), adjacency.pairs.size(), tNeighbours,
                    adjacency.invalid.size());
        for (const std::optional<double> opening : {std::optional<double>(20.0), std::optional<double>()}) {
            PlanConstraints c = setup.constraints;
            c.gapPercent = 1.0;
            if (!limitGiven)
                c.maxSeconds = n <= 1000 ? 120.0 : 600.0; // what the plan must keep to
            SpatialRule rule;
            rule.startYear = 2026;
            rule.greenUpYears = 10;
            rule.maxOpeningHa = opening;
            for (const StandNeighbours &p : adjacency.pairs)
                rule.neighbours.emplace_back(p.a, p.b);
            c.spatial = rule;
            t0 = std::chrono::steady_clock::now();
            const PlanSolution sol = solvePlan(stands, kPeriods, c);
            const double seconds = secondsSince(t0);
            const bool found = !sol.chosen.empty() && sol.spatial;
            std::printf("  green-up 10 years%s: %s, value %.2f, bound %.2f, gap %.3f %%, %zu rounds, %zu conflicts; "
                        "without the rule %.2f (costs %.2f); %.1f s\n",
                        opening ? ", openings <= 20 ha" : " alone",
                        sol.status == PlanSolution::Status::Optimal      ? "within the gap"
                        : sol.status == PlanSolution::Status::Infeasible ? "infeasible"
                        : found                                          ? "stopped"
                                                                         : "no plan",
                        sol.objective, sol.bound, sol.gapPercent, found ? sol.spatial->rounds : 0,
                        found ? sol.spatial->conflicts : 0, found ? sol.spatial->aspatialObjective : 0.0,
                        found ? sol.spatial->aspatialObjective - sol.objective : 0.0, seconds);
            std::fflush(stdout);
        }
    }
    return 0;
}
