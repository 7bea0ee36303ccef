// A forest plan over a diverse synthetic forest: every stand its own age,
// dominant height (from a site index, so that it fits the age), density and
// area, drawn by a fixed-seed generator; candidates from a search space of
// about a hundred regimes per stand on two jobs, then the programme with an
// even flow of ±10 % over 6 periods at a 0.1 % gap. Reported per size: the
// candidates' time, the LP relaxation's time, the gap of the plan built from
// it, the final gap, the solve's time over the LP's, peak memory and whether
// CBC's full search was needed.
//
//     plan_scale_bench [--time-limit SECONDS] [--front N] [STANDS...]     (default 2000 10000)
//
// With --front N, the front between value and carbon is also solved as
// tavelo-cli plan --front carbon:N solves it: its time, points and gaps.

#include "base/whole_file.h"
#include "bench/plan_bench_setup.h"
#include "inventory/forest_plan.h"
#include "inventory/plan_candidates.h"
#include "inventory/plan_job.h"
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
        if (setup.frontPoints > 0) {
            PlanRequest request;
            request.inventory = file;
            request.source = CandidateSource{space, {}};
            request.settings = settings;
            request.constraints = constraints;
            request.jobs = 2;
            request.frontPoints = setup.frontPoints;
            std::optional<double> candidatesDone;
            const auto t1 = std::chrono::steady_clock::now();
            const PlanResult front = runPlan(request, [&](const PlanProgress &p) {
                if (p.stage == PlanProgress::Stage::Solving && !candidatesDone)
                    candidatesDone = secondsSince(t1);
            });
            const double all = secondsSince(t1);
            double worstGap = 0.0;
            for (const FrontPoint &p : front.front)
                worstGap = std::max(worstGap, p.solution.gapPercent);
            std::printf("  front of %zu points asked: %zu kept in %.1f s after the candidates (%.1f s); worst gap "
                        "%.4f %%\n",
                        setup.frontPoints, front.front.size(), all - candidatesDone.value_or(0.0),
                        candidatesDone.value_or(0.0), worstGap);
            for (const FrontPoint &p : front.front)
                std::printf("    %.3f t C/ha, %.2f EUR, gap %.4f %%%s\n", p.carbonPerHa, p.value,
                            p.solution.gapPercent, p.knee ? " (knee)" : "");
            std::fflush(stdout);
        }
        std::filesystem::remove(file);
    }
    return 0;
}
