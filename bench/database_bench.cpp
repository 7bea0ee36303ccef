// Writing batch results into a SQLite database: stands with their eleven record
// rows (a 10-step regime) and their completion, committed one by one or in the
// chunks of 32 that `batch --db` commits. The whole batch, model included, is
// timed by database_bench.sh.

#include "inventory/results_db.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

tavelo::StandOutcome typicalStand()
{
    tavelo::StandOutcome s;
    s.id = "s00000";
    for (int row = 0; row < 11; ++row)
        s.record.push_back({std::to_string(2026 + 5 * row), std::to_string(12 + 5 * row), row == 3 ? "D" : "AD",
                            "1055", "22.5", "9.3", "104.90", "70.77", "29.51", "4.62"});
    return s;
}

void BM_CommitStands(benchmark::State &state)
{
    const size_t perTransaction = static_cast<size_t>(state.range(0));
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("tavelo-bench-" + std::to_string(std::random_device{}()) + ".sqlite");
    {
        tavelo::ResultsDb db(file);
        const int64_t run = db.startRun({"stands.csv", "", "{}", "", std::nullopt, ""}, 0);
        std::vector<tavelo::StandOutcome> stands(perTransaction, typicalStand());
        size_t position = 0;
        for (auto _ : state) {
            for (tavelo::StandOutcome &stand : stands) {
                stand.position = position;
                stand.id = std::to_string(position++);
                stand.id.insert(0, 1, 's'); // not "s" + text: GCC 12 warns falsely when optimising
            }
            db.addStands(run, stands);
        }
        state.SetItemsProcessed(static_cast<int64_t>(position));
    }
    for (const char *suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix);
}
BENCHMARK(BM_CommitStands)->Arg(1)->Arg(32)->Unit(benchmark::kMicrosecond);

} // namespace
