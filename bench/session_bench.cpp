// A whole simulation of 30 steps (projections, thinnings from below and
// mechanical thinnings) played through the scenario runner, as tavelo-cli
// plays it: the log appended block by block to a file, and the record.

#include "regimes/scenario.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>

namespace {

// A poor site planted with 1200 trees, thinned from below and mechanically in
// turn; it stays inside the model for all 30 steps (31 recorded states).
const char *kScenario = R"({
  "options": {"volumes": "com casca", "year": "2026"},
  "stand": {"age": "10", "qualityClass": "Baixa"},
  "density": {"planted": "1200"},
  "steps": ["project", "project", {"thin": "below", "residualBasalArea": "7.0"},
            "project", "project", "project", {"thin": "mechanical", "percent": "30"},
            "project", "project", "project", "project", "project",
            {"thin": "below", "residualBasalArea": "20.9"},
            "project", "project", "project", {"thin": "mechanical", "percent": "30"},
            "project", "project", "project", "project", "project",
            {"thin": "below", "residualBasalArea": "20.0"},
            "project", "project", "project", {"thin": "mechanical", "percent": "30"},
            "project", "project", "project"]
})";

std::filesystem::path tempLog()
{
    std::random_device rd;
    return std::filesystem::temp_directory_path() / ("tavelo-bench-" + std::to_string(rd()) + ".temp");
}

void BM_Scenario30Steps(benchmark::State &state)
{
    const auto parsed = tavelo::parseScenario(kScenario, "2026");
    if (!std::holds_alternative<tavelo::Scenario>(parsed)) {
        state.SkipWithError(tavelo::englishText(std::get<tavelo::ReadProblem>(parsed)).c_str());
        return;
    }
    const tavelo::Scenario &scenario = std::get<tavelo::Scenario>(parsed);
    const std::filesystem::path log = tempLog();
    size_t csvBytes = 0;
    for (auto _ : state) {
        tavelo::StandState standState;
        const tavelo::RunResult result = tavelo::runScenario(scenario, standState, log);
        if (result.status != tavelo::RunResult::Status::Completed || !result.notices.empty()) {
            state.SkipWithError("the scenario did not complete cleanly");
            break;
        }
        const std::string csv = tavelo::recordCsv(standState);
        csvBytes = csv.size();
        benchmark::DoNotOptimize(csv.data());
    }
    std::error_code ec;
    state.counters["logBytes"] = static_cast<double>(std::filesystem::file_size(log, ec));
    state.counters["recordBytes"] = static_cast<double>(csvBytes);
    state.SetItemsProcessed(state.iterations() * 30); // steps
    std::filesystem::remove(log, ec);
}
BENCHMARK(BM_Scenario30Steps)->Unit(benchmark::kMillisecond);

// The same with the scenario file's text read as tavelo-cli reads it.
void BM_Scenario30StepsWithParsing(benchmark::State &state)
{
    const std::filesystem::path log = tempLog();
    for (auto _ : state) {
        const auto parsed = tavelo::parseScenario(kScenario, "2026");
        tavelo::StandState standState;
        const tavelo::RunResult result = tavelo::runScenario(std::get<tavelo::Scenario>(parsed), standState, log);
        const auto status = result.status;
        benchmark::DoNotOptimize(status);
        const std::string csv = tavelo::recordCsv(standState);
        benchmark::DoNotOptimize(csv.data());
    }
    std::error_code ec;
    std::filesystem::remove(log, ec);
    state.SetItemsProcessed(state.iterations() * 30);
}
BENCHMARK(BM_Scenario30StepsWithParsing)->Unit(benchmark::kMillisecond);

} // namespace
