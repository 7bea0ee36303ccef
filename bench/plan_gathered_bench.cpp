// A forest plan from gathered candidates, at the scale of a region: the
// candidates of BASE diverse stands are simulated once, then a results
// database of STANDS stands is written from them (stand i follows stand
// i mod BASE per hectare, on an area of its own drawn between 0.5 and 25 ha,
// so that every stand's column of the programme differs), as shards merged
// would hold it. A fresh process then plans from that database, as
// `plan --candidates` does: reported are the time to read the candidates, the
// LP's time, the plan's gap to the LP bound, the final gap, the solve's time
// over the LP's and that process's peak memory.
//
//     plan_gathered_bench [--base N] [STANDS...]          (default --base 10000, 1000000)
//     plan_gathered_bench --solve DATABASE               (the second process)
//     plan_gathered_bench --keep ...                     (the databases stay, in the temporary folder)

#include "base/whole_file.h"
#include "bench/plan_bench_setup.h"
#include "inventory/plan_candidate_store.h"
#include "inventory/plan_job.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>

namespace {

using namespace tavelo;

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

int solve(const std::filesystem::path &database, const PlanBenchSetup &setup)
{
    const auto t0 = std::chrono::steady_clock::now();
    const auto found = findGathering(database);
    if (!std::holds_alternative<StoredGathering>(found)) {
        std::fprintf(stderr, "no gathering in %s\n", database.c_str());
        return 1;
    }
    const StoredGathering &stored = std::get<StoredGathering>(found);
    const PlanInventory inv = readGathering(database, stored);
    const double tRead = secondsSince(t0);
    const double readMb = peakMegabytes();
    const PlanSolution sol = solvePlan(inv.stands, setup.settings.periods(), setup.constraints);
    const double firstGap = sol.firstPlanObjective && *sol.firstPlanObjective != 0.0
                                ? (sol.relaxationBound - *sol.firstPlanObjective) / *sol.firstPlanObjective * 100.0
                                : -1.0;
    std::printf("  read %zu stands, %zu candidates in %.1f s (%.0f MB)\n"
                "  LP relaxation %.1f s, bound %.2f; %zu stands split\n"
                "  plan from the LP: gap %.5f %% to the LP bound; final gap %.5f %%, %s\n"
                "  solve %.1f s = %.2f x the LP's time; in all %.1f s; peak memory %.0f MB\n"
                "  (estimated beforehand: %.0f MB)\n",
                inv.stands.size(), stored.candidates, tRead, readMb, sol.relaxationSeconds, sol.relaxationBound,
                sol.splitStands, firstGap, sol.gapPercent,
                sol.way == PlanWay::SearchFromStart || sol.way == PlanWay::SearchFromScratch ? "CBC needed"
                                                                                              : "CBC not needed",
                sol.seconds, sol.relaxationSeconds > 0.0 ? sol.seconds / sol.relaxationSeconds : 0.0,
                secondsSince(t0), peakMegabytes(),
                static_cast<double>(planMemoryBytes(stored.stands, stored.candidates, setup.settings.periods())) /
                    1048576.0);
    return sol.status == PlanSolution::Status::Optimal ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    size_t base = 10000;
    bool keep = false;
    std::vector<char *> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--solve" && i + 1 < argc) {
            char *none[] = {argv[0]};
            return solve(argv[i + 1], planBenchSetup(1, none, {}));
        }
        if (std::string(argv[i]) == "--keep")
            keep = true;
        else if (std::string(argv[i]) == "--base" && i + 1 < argc)
            base = std::strtoul(argv[++i], nullptr, 10);
        else
            rest.push_back(argv[i]);
    }
    const PlanBenchSetup setup = planBenchSetup(static_cast<int>(rest.size()), rest.data(), {1000000});

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tavelo-plan-gathered-bench";
    std::filesystem::create_directories(folder);
    const std::filesystem::path inventory = folder / "base.csv";
    if (auto why = writeWholeFile(inventory, diverseInventory(base, 2026))) {
        std::fprintf(stderr, "cannot write %s: %s\n", inventory.c_str(), why->c_str());
        return 1;
    }
    auto t0 = std::chrono::steady_clock::now();
    const PlanInventory simulated =
        gatherCandidates(inventory, "", CandidateSource{setup.space, {}}, setup.settings, 2, {});
    std::printf("%zu base stands simulated in %.1f s\n", base, secondsSince(t0));

    for (size_t n : setup.sizes) {
        const std::filesystem::path database = folder / ("gathered-" + std::to_string(n) + ".sqlite");
        std::filesystem::remove(database);
        t0 = std::chrono::steady_clock::now();
        {
            CandidateWork work{setup.settings.horizonYears, R"({"economics": {}})", "{}", 1e6};
            CandidateStoreWriter writer(database, runIdentityOf(inventory, "", candidateWorkText(work)),
                                        static_cast<int64_t>(n), false, kBusyTimeoutMs);
            std::mt19937 rng(7);
            std::uniform_real_distribution<double> area(0.5, 25.0);
            for (size_t i = 0; i < n; ++i) {
                const size_t from = i % simulated.stands.size();
                const PlanStand &s = simulated.stands[from];
                const double scale = area(rng) / s.area;
                GatheredStand g;
                g.position = g.line = i;
                g.stand = s;
                g.stand->id = "r" + std::to_string(i);
                g.stand->area *= scale;
                g.stand->standingInitial *= scale;
                g.details = simulated.details[from];
                for (size_t k = 0; k < s.candidates.size(); ++k) {
                    PlanCandidate &c = g.stand->candidates[k];
                    CandidateDetail &d = g.details[k];
                    c.value *= scale;
                    c.standingAtHorizon *= scale;
                    for (auto *v : {&c.harvestTotal, &c.harvestSawlog, &d.roundwood, &d.firewood, &d.revenue,
                                    &d.standingEnd})
                        for (double &x : *v)
                            x *= scale;
                }
                writer.add(std::move(g));
            }
            writer.finish(true);
        }
        std::printf("%zu stands written in %.1f s (%.0f MB on disk); planning from them in a fresh process:\n", n,
                    secondsSince(t0), static_cast<double>(std::filesystem::file_size(database)) / 1048576.0);
        std::fflush(stdout);
        const std::string command = std::string("'") + argv[0] + "' --solve '" + database.string() + "'";
        const int status = std::system(command.c_str());
        if (!keep)
            std::filesystem::remove(database);
        if (status != 0)
            return 1;
    }
    return 0;
}
