// A forest plan over a diverse synthetic forest: every stand its own age,
// dominant height (from a site index, so that it fits the age), density and
// area, drawn by a fixed-seed generator; candidates from a search space of
// about a hundred regimes per stand on two jobs, then the programme with an
// even flow of ±10 % over 6 periods at a 0.1 % gap. Reported per size: the
// candidates' time, the LP relaxation's time, the gap of the plan built from
// it, the final gap, the solve's time over the LP's, peak memory and whether
// CBC's full search was needed.
//
//     plan_scale_bench [--time-limit SECONDS] [STANDS...]     (default 2000 10000)

#include "base/whole_file.h"
#include "bench/plan_bench_setup.h"
#include "inventory/forest_plan.h"
#include "inventory/plan_candidates.h"
#include "model/growth_model.h"
#include "regimes/search_space.h"

#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>

namespace {

using namespace tavelo;


std::string number(double v, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// Ages 10 to 45, site indices over the quality classes' range (7 to 23 m at
// the reference age) giving each stand a height its age can have, areas 0.5
// to 25 ha. Stands younger than 17 are entered by their planting (1,100 to
// 2,500 trees/ha), older ones by their trees after thinnings, their diameters
// growing with age and site.
std::string diverseInventory(size_t stands, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> age(10.0, 45.0), site(8.0, 23.0), area(0.5, 25.0), planted(1100.0, 2500.0),
        unit(0.0, 1.0);
    std::string csv = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n";
    for (size_t i = 0; i < stands; ++i) {
        const double a = std::round(age(rng));
        const double si = site(rng);
        const double height = DominantHeightAtAge(a, si);
        const double ha = area(rng);
        csv += 's';
        csv += std::to_string(i);
        csv += ',';
        csv += number(a, 0);
        csv += ',';
        csv += number(height, 1);
        csv += ",,";
        if (a < 17.0) { // the model takes a planting's density below that age
            csv += number(std::round(planted(rng)), 0);
            csv += ",,,,,,";
        } else {
            const double trees = std::round(1000.0 - 14.0 * (a - 20.0) - 150.0 * unit(rng));
            const double quadMean = 8.0 + 0.55 * (a - 12.0) * si / 15.0 + 2.0 * unit(rng); // cm
            const double basalArea = std::min(38.0, trees * 0.78539 * quadMean * quadMean / 10000.0);
            csv += ",,";
            for (const std::string &cell : {number(trees, 0), number(basalArea, 1), number(0.55 * quadMean, 1),
                                            number(1.35 * quadMean, 1)}) {
                csv += cell;
                csv += ',';
            }
        }
        csv += number(ha, 2);
        csv += '\n';
    }
    return csv;
}

const char *wayText(PlanWay way)
{
    switch (way) {
    case PlanWay::Relaxation: return "the LP alone";
    case PlanWay::SplitStandsSearch: return "the LP and a search over its split stands";
    case PlanWay::SearchFromStart: return "CBC's full search from the LP's plan";
    case PlanWay::SearchFromScratch: return "CBC's full search from scratch";
    }
    return "";
}

} // namespace

int main(int argc, char **argv)
{
    const PlanBenchSetup setup = planBenchSetup(argc, argv, {2000, 10000});
    const std::vector<size_t> &sizes = setup.sizes;
    const SearchSpace &space = setup.space;
    const PlanSettings &settings = setup.settings;
    const PlanConstraints &constraints = setup.constraints;

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tavelo-plan-scale-bench";
    std::filesystem::create_directories(folder);
    for (size_t n : sizes) {
        const std::filesystem::path file = folder / ("stands-" + std::to_string(n) + ".csv");
        if (auto why = writeWholeFile(file, diverseInventory(n, 2026))) {
            std::fprintf(stderr, "cannot write %s: %s\n", file.c_str(), why->c_str());
            return 1;
        }
        const auto t0 = std::chrono::steady_clock::now();
        const PlanInventory inv = gatherCandidates(file, "", CandidateSource{space, {}}, settings, 2, {});
        const double tCandidates = secondsSince(t0);
        size_t candidates = 0;
        for (const PlanStand &s : inv.stands)
            candidates += s.candidates.size();
        // Why the first stands left out were, so that the generator's ranges can be judged.
        for (size_t e = 0; e < std::min<size_t>(3, inv.errorRows.size()); ++e) {
            std::string why;
            for (const std::string &cell : inv.errorRows[e])
                why += cell + " | ";
            std::printf("  left out: %s\n", why.c_str());
        }
        const PlanSolution sol = solvePlan(inv.stands, settings.periods(), constraints);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        const double firstGap = sol.firstPlanObjective && *sol.firstPlanObjective != 0.0
                                    ? (sol.relaxationBound - *sol.firstPlanObjective) / std::abs(*sol.firstPlanObjective) * 100.0
                                    : -1.0;
        const bool cbc = sol.way == PlanWay::SearchFromStart || sol.way == PlanWay::SearchFromScratch;
        std::printf("%zu stands (%zu without candidates), %zu candidates in %.1f s\n"
                    "  LP relaxation %.2f s, bound %.2f; %zu stands split\n"
                    "  plan from the LP %.2f, gap %.4f %% to the LP bound\n"
                    "  final plan %s, objective %.2f, gap %.4f %%, found by %s (CBC %s)\n"
                    "  solve %.2f s = %.2f x the LP's time; peak memory %.0f MB\n",
                    n, inv.errorRows.size(), candidates, tCandidates, sol.relaxationSeconds, sol.relaxationBound,
                    sol.splitStands, sol.firstPlanObjective.value_or(0.0), firstGap,
                    sol.status == PlanSolution::Status::Optimal      ? "within the gap"
                    : sol.status == PlanSolution::Status::Infeasible ? "infeasible"
                                                                     : "stopped",
                    sol.objective, sol.gapPercent, wayText(sol.way), cbc ? "needed" : "not needed", sol.seconds,
                    sol.relaxationSeconds > 0.0 ? sol.seconds / sol.relaxationSeconds : 0.0,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
        std::fflush(stdout);
        std::filesystem::remove(file);
    }
    return 0;
}
