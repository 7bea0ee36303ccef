// The search for the best regime over a space of more than 100,000 regimes
// (rotations of 30 to 65 years, up to four thinnings of six intensities), with
// one and with two jobs: regimes evaluated per second of real time, and per
// second of the process's processor time (what the rate would be on idle cores).

#include "regimes/optimizer.h"
#include "regimes/scenario.h"
#include "regimes/search_space.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

namespace {

const char *kStand = R"({"options": {"volumes": "com casca", "year": "2026"},
 "stand": {"age": "12", "dominantHeight": "9"},
 "density": {"planted": "1500"}})";

const char *kSpace = R"({"rotation": {"from": "30", "to": "65"},
  "thinnings": {"max": "4", "minInterval": "5", "firstAge": "15",
                "mechanical": ["20", "30", "40"], "below": ["14", "16", "18"]}})";

void BM_OptimizeVolume(benchmark::State &state)
{
    const auto stand = tavelo::parseScenario(kStand, "2026");
    const auto space = tavelo::parseSearchSpace(kSpace);
    if (!std::holds_alternative<tavelo::Scenario>(stand) || !std::holds_alternative<tavelo::SearchSpace>(space)) {
        state.SkipWithError("the benchmark's stand or space does not parse");
        return;
    }
    tavelo::OptimizeOptions options;
    options.objective = tavelo::Objective::Volume;
    options.jobs = static_cast<unsigned>(state.range(0));
    size_t evaluated = 0;
    size_t feasible = 0;
    const std::clock_t cpuStart = std::clock();
    for (auto _ : state) {
        const tavelo::OptimizeResult r =
            tavelo::optimizeRegime(std::get<tavelo::Scenario>(stand), std::get<tavelo::SearchSpace>(space), options);
        if (r.status != tavelo::OptimizeResult::Status::Done) {
            state.SkipWithError("the search found no regime");
            break;
        }
        evaluated += r.evaluated;
        feasible = r.feasible;
        benchmark::DoNotOptimize(r.best.data());
    }
    const double cpuSeconds = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    state.counters["feasible"] = static_cast<double>(feasible);
    state.counters["evaluated"] = static_cast<double>(evaluated / state.iterations());
    state.counters["regimes/cpu-s"] = cpuSeconds > 0 ? static_cast<double>(evaluated) / cpuSeconds : 0.0;
    state.counters["regimes/s"] = benchmark::Counter(static_cast<double>(evaluated), benchmark::Counter::kIsRate);
}
// Real time: the jobs run on threads of their own.
BENCHMARK(BM_OptimizeVolume)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace
