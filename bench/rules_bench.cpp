// Management rules against fixed steps under batch --db: the same stands, the
// same simulation, once decided by the rules at every stand screen and once
// as the steps the rules took, played as a plain regime. Processor time per
// stand, one job, the two sides interleaved in this one process so that a
// noisy machine moves both alike. Target: rules_over_steps <= 1.10.

#include "inventory/batch.h"
#include "session/structure/sim_log.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr const char *kRules = R"({"options": {"volumes": "com casca", "year": "2026"},
 "rules": {"maxAge": "60",
   "finalFelling": {"any": [{"age": {"atLeast": "45"}}, {"quadraticMeanDiameter": {"atLeast": "35"}}]},
   "thinnings": {"firstAge": "15", "minInterval": "10", "max": "3", "when": [
     {"if": {"dominantHeight": {"atLeast": "12"}, "basalArea": {"above": "28"}},
      "thin": "below", "residualBasalAreaPercent": "70"},
     {"if": {"trees": {"above": "1100"}}, "thin": "mechanical", "percent": "30"}]}}})";

double processSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// One stand many times over, so that the rules take the same steps for each.
fs::path writeInventory(const fs::path &dir, size_t stands)
{
    const fs::path path = dir / "stands.csv";
    std::ofstream out(path);
    out << "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n";
    for (size_t i = 0; i < stands; ++i)
        out << "s" << i << ",10,8,,2000,,,,,\n";
    return path;
}

double batchSeconds(const fs::path &inventory, const tavelo::Regime &regime, const std::string &json,
                    const fs::path &db)
{
    fs::remove(db);
    tavelo::BatchOptions options;
    options.jobs = 1;
    options.database = db;
    options.regimeJson = json;
    const double c = processSeconds();
    tavelo::runBatch(inventory, regime, {}, options);
    return processSeconds() - c;
}

// The same stands through the runner alone, no log, no database, on this
// thread: both sides in alternating slices of 50 stands, so that a change of
// the machine's pace falls on both alike. Their processor seconds.
std::pair<double, double> simulationSeconds(const tavelo::Scenario &a, const tavelo::Scenario &b, size_t stands)
{
    auto play = [](const tavelo::Scenario &scenario, size_t n) {
        const double c = processSeconds();
        for (size_t i = 0; i < n; ++i) {
            tavelo::StandState s;
            tavelo::LogFile log;
            log.discard();
            benchmark::DoNotOptimize(tavelo::runScenario(scenario, s, log));
        }
        return processSeconds() - c;
    };
    double ta = 0.0, tb = 0.0;
    for (size_t done = 0; done < stands; done += 50) {
        ta += play(a, 50);
        tb += play(b, 50);
    }
    return {ta, tb};
}

// The inventory's stand under `regime`.
tavelo::Scenario standUnder(const tavelo::Regime &regime)
{
    const auto stand = std::get<tavelo::Scenario>(tavelo::parseScenario(
        R"({"stand": {"age": "10", "dominantHeight": "8"}, "density": {"planted": "2000"}})", "2026"));
    return tavelo::scenarioOf(regime, stand.stand, stand.density);
}

void BM_RulesAgainstSteps(benchmark::State &state)
{
    const size_t stands = static_cast<size_t>(state.range(0));
    const fs::path dir = fs::temp_directory_path() / ("tavelo-rules-bench-" + std::to_string(std::random_device{}()));
    fs::create_directories(dir);
    const fs::path inventory = writeInventory(dir, stands);
    const tavelo::Regime rules = std::get<tavelo::Regime>(tavelo::parseRegime(kRules, "2026"));

    // The steps the rules take on that stand.
    tavelo::Regime steps = rules;
    steps.rules.reset();
    {
        tavelo::StandState s;
        tavelo::LogFile log;
        log.discard();
        steps.steps = tavelo::runScenario(standUnder(rules), s, log).stepsTaken;
    }
    const std::string stepsJson = tavelo::regimeScenarioJson("{}", "2026", steps.steps);

    for (auto _ : state) {
        double underRules = 1e300, underSteps = 1e300, aloneRules = 1e300, aloneSteps = 1e300;
        for (int round = 0; round < 6; ++round) {
            // Each side goes first every other round.
            if (round % 2 == 0)
                underRules = std::min(underRules, batchSeconds(inventory, rules, kRules, dir / "rules.sqlite"));
            underSteps = std::min(underSteps, batchSeconds(inventory, steps, stepsJson, dir / "steps.sqlite"));
            if (round % 2 == 1)
                underRules = std::min(underRules, batchSeconds(inventory, rules, kRules, dir / "rules.sqlite"));
            const auto [r, f] = simulationSeconds(standUnder(rules), standUnder(steps), stands);
            aloneRules = std::min(aloneRules, r);
            aloneSteps = std::min(aloneSteps, f);
        }
        // The deciding alone, without the events' rows in the database.
        state.counters["simulation_rules_over_steps"] = aloneRules / aloneSteps;
        state.counters["rules_us_per_stand"] = 1e6 * underRules / static_cast<double>(stands);
        state.counters["steps_us_per_stand"] = 1e6 * underSteps / static_cast<double>(stands);
        state.counters["rules_over_steps"] = underRules / underSteps; // target <= 1.10
        state.counters["steps_per_stand"] = static_cast<double>(steps.steps.size());
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_RulesAgainstSteps)->Arg(2000)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
