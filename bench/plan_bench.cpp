// A forest plan over a large synthetic inventory, timed: the candidates from a
// search space of about a hundred regimes per stand on two jobs, then the
// programme with an even flow of ±10 % over 6 periods at a 0.1 % gap.
//
//     plan_bench [--time-limit SECONDS] [STANDS...]     (default 10000 50000)

#include "inventory/batch.h"
#include "bench/plan_bench_setup.h"
#include "inventory/forest_plan.h"
#include "inventory/inventory_source.h"
#include "regimes/optimizer.h"
#include "inventory/plan_candidates.h"
#include "base/whole_file.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

namespace {

using namespace tavelo;


// Young planted stands and older ones entered by their trees (ages 12 to 38),
// each of 1 to 5.5 ha, so that fellings can fall in every period.
std::string inventory(size_t stands)
{
    static const char *const kinds[] = {
        "12,9,,1500,,,,", "14,10,,1400,,,,", "15,11,,1300,,,,",   "20,13,,,900,21,8,28",
        "25,13,,,601,22,9,31", "28,15,,,550,24,10,33", "33,17,,,500,28,12,36", "38,18,,,450,30,14,38"};
    std::string csv = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n";
    for (size_t i = 0; i < stands; ++i) {
        // kind: age,height,quality,planted,(alive),trees,basalArea,minDiameter,p95 without alive
        const std::string k = kinds[(i * 5) % 8];
        const size_t comma = k.find(',', k.find(',', k.find(',', k.find(',') + 1) + 1) + 1);
        const std::string row = k.substr(0, comma) + ",," + k.substr(comma + 1); // alive left empty
        char area[32];
        std::snprintf(area, sizeof area, "%.1f", 1.0 + 0.5 * static_cast<double>(i % 10));
        csv += 's';
        csv += std::to_string(i);
        csv += ',';
        csv += row;
        csv += ',';
        csv += area;
        csv += '\n';
    }
    return csv;
}

} // namespace

int main(int argc, char **argv)
{
    const PlanBenchSetup setup = planBenchSetup(argc, argv, {10000, 50000});
    const std::vector<size_t> &sizes = setup.sizes;
    const SearchSpace &space = setup.space;
    const PlanSettings &settings = setup.settings;
    const PlanConstraints &constraints = setup.constraints;

    // How many regimes the space holds for the stands, counted on the first kinds.
    size_t regimes = 0, counted = 0;
    {
        const std::filesystem::path sample = std::filesystem::temp_directory_path() / "tavelo-plan-bench-sample.csv";
        if (!writeWholeFile(sample, inventory(8))) {
            const auto source = openInventory(sample, "");
            InventoryRow row;
            while (source->next(row)) {
                const auto stand = parseInventoryRow(std::get<std::vector<std::string>>(row.cells));
                const InventoryStand &s = std::get<InventoryStand>(stand);
                OptimizeOptions o;
                o.top = 0;
                o.jobs = 1;
                regimes += optimizeRegime(Scenario{settings.options, s.stand, s.density, {}, std::nullopt, std::nullopt, std::nullopt}, space, o)
                               .feasible;
                ++counted;
            }
        }
        std::filesystem::remove(sample);
    }
    std::printf("search space: %.1f feasible regimes per stand on average\n",
                counted ? static_cast<double>(regimes) / static_cast<double>(counted) : 0.0);
    std::fflush(stdout);

    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tavelo-plan-bench";
    std::filesystem::create_directories(folder);
    for (size_t n : sizes) {
        const std::filesystem::path file = folder / ("stands-" + std::to_string(n) + ".csv");
        if (auto why = writeWholeFile(file, inventory(n))) {
            std::fprintf(stderr, "cannot write %s: %s\n", file.c_str(), why->c_str());
            return 1;
        }
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        const double cpuBefore = static_cast<double>(before.ru_utime.tv_sec + before.ru_stime.tv_sec) +
                                 1e-6 * static_cast<double>(before.ru_utime.tv_usec + before.ru_stime.tv_usec);
        const auto t0 = std::chrono::steady_clock::now();
        const PlanInventory inv = gatherCandidates(file, "", CandidateSource{space, {}}, settings, 2, {});
        const double tCandidates = secondsSince(t0);
        size_t candidates = 0;
        for (const PlanStand &s : inv.stands)
            candidates += s.candidates.size();
        const PlanSolution sol = solvePlan(inv.stands, settings.periods(), constraints);
        const double tTotal = secondsSince(t0);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        // The processor time too: on a shared machine the wall clock says little.
        const double cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           1e-6 * static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) - cpuBefore;
        std::printf("%zu stands (%zu without candidates): %zu candidates in %.1f s; plan %s, objective %.2f, "
                    "bound %.2f, gap %.3f %%, solved in %.1f s; total %.1f s (processor %.1f s); "
                    "peak memory %.0f MB\n",
                    n, inv.errorRows.size(), candidates, tCandidates,
                    sol.status == PlanSolution::Status::Optimal      ? "within the gap"
                    : sol.status == PlanSolution::Status::Infeasible ? "infeasible"
                                                                     : "stopped",
                    sol.objective, sol.bound, sol.gapPercent, sol.seconds, tTotal, cpu,
                    static_cast<double>(usage.ru_maxrss) / 1024.0);
        std::fflush(stdout);
        std::filesystem::remove(file);
    }
    return 0;
}
