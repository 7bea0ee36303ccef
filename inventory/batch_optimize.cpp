#include "batch_optimize.h"

#include "inventory/results_tables.h"
#include "inventory/inventory_source.h"
#include "inventory/results_db.h"
#include "base/csv.h"
#include "base/worker_pool.h"
#include "base/numeric_text.h"
#include "base/whole_file.h"

#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <unordered_set>

namespace tavelo {

namespace {

struct StandLine {
    size_t line = 0;
    std::string rawId;
    std::variant<InventoryStand, std::string> row;
};

// The inventory's stands in order, each parsed or with the reason it cannot
// be, read by the same source as an ordinary batch run (CSV records across
// lines, a database's table), with the same repeated-id rule.
std::vector<StandLine> readInventory(const std::filesystem::path &inventory)
{
    const std::unique_ptr<InventorySource> source = openInventory(inventory, BatchOptions{}.table);
    std::vector<StandLine> stands;
    stands.reserve(source->count());
    InventoryStands reader(*source);
    StandRow row;
    while (reader.next(row)) {
        StandLine s;
        s.line = row.line;
        s.rawId = row.rawId;
        // Read by tavelo-cli, which says a row's problem in English.
        if (const auto *why = std::get_if<ReadProblem>(&row.stand))
            s.row = englishText(*why);
        else
            s.row = std::get<InventoryStand>(std::move(row.stand));
        stands.push_back(std::move(s));
    }
    return stands;
}

struct StandResult {
    enum class Kind { Done, Refused, Infeasible, Malformed } kind = Kind::Done;
    std::string bestRow;
    std::string errorRow;
};


void save(const std::filesystem::path &path, const std::string &bytes)
{
    if (auto why = writeWholeFile(path, bytes))
        throw BatchOutputError("cannot write " + path.string() + ": " + *why);
}

} // namespace

BatchOptimizeSummary runBatchOptimize(const std::filesystem::path &inventory, const Regime &regime,
                                      const SearchSpace &space, const std::filesystem::path &outDir,
                                      const BatchOptimizeOptions &options)
{
    const auto started = std::chrono::steady_clock::now();
    std::error_code ec;
    std::filesystem::create_directories(outDir, ec);
    if (!std::filesystem::is_directory(outDir))
        throw BatchOutputError("cannot create the output folder " + outDir.string());
    const std::vector<StandLine> stands = readInventory(inventory);

    std::vector<StandResult> results(stands.size());
    BatchOptimizeSummary summary;
    summary.stands = stands.size();
    size_t finished = 0;
    size_t produced = 0;
    // Each stand's search writes its own result; the pool hands the stands out
    // and reports them done in order. A stop asked for hands out no more.
    auto searchStand = [&](size_t &i) {
        {
            const StandLine &s = stands[i];
            StandResult &r = results[i];
            if (const auto *why = std::get_if<std::string>(&s.row)) {
                r.kind = StandResult::Kind::Malformed;
                r.errorRow = errorsCsvLine(s.rawId, "malformed", "", "line " + std::to_string(s.line) + ": " + *why);
            } else {
                const auto &stand = std::get<InventoryStand>(s.row);
                const Scenario scenario = scenarioOf(regime, stand.stand, stand.density);
                OptimizeOptions one;
                one.objective = options.objective;
                one.economics = options.economics;
                one.carbon = options.carbon;
                one.top = 1;
                one.maxRegimes = options.maxRegimes;
                one.cancel = options.stop;
                one.jobs = 1; // the stands are shared out, not each stand's tree
                const OptimizeResult found = optimizeRegime(scenario, space, one);
                if (found.status == OptimizeResult::Status::Done && !found.best.empty()) {
                    const RankedRegime &b = found.best.front();
                    r.bestRow = csvCell(stand.id) + "," + formatFixed(b.objective, 2) + "," +
                                plainNumberText(b.rotationAge) + "," + csvCell(scheduleText(b.thinnings)) + "," +
                                (b.npv ? formatFixed(*b.npv, 2) : std::string()) + "," +
                                formatFixed(b.volumes.total, 2) + "," + formatFixed(b.volumes.sawlog, 2) + "\n";
                } else if (found.refusal != OptimizeResult::Refusal::None) {
                    r.kind = StandResult::Kind::Refused;
                    // Run by tavelo-cli, whose --max-regimes raises the limit.
                    std::string why = refusalText(found);
                    if (found.refusal == OptimizeResult::Refusal::BeyondLimit)
                        why += " (give --max-regimes N to search more)";
                    r.errorRow = errorsCsvLine(stand.id, "refused", "", why);
                } else if (found.status == OptimizeResult::Status::Refused) {
                    r.kind = StandResult::Kind::Refused;
                    r.errorRow = errorsCsvLine(stand.id, "refused", found.message ? found.message->title : "",
                                          found.message ? found.message->text : "");
                } else {
                    r.kind = StandResult::Kind::Infeasible;
                    r.errorRow = errorsCsvLine(stand.id, "infeasible", found.message ? found.message->title : "",
                                          found.message ? found.message->text : "no regime is feasible");
                }
            }
        }
        return i;
    };
    runOrdered<size_t, size_t>(
        {options.jobs, 1, 0},
        [&](size_t &i) {
            if (produced >= stands.size() || (options.stop && options.stop->load()))
                return false;
            i = produced++;
            return true;
        },
        searchStand,
        [&](size_t &&) {
            ++finished;
            if (options.progress)
                options.progress(finished, stands.size());
        });
    if (options.stop && options.stop->load()) {
        summary.interrupted = true;
        return summary;
    }

    std::string best = csvHeader(kBestTable);
    std::string errors = csvHeader(kErrorsTable);
    for (size_t i = 0; i < stands.size(); ++i) {
        best += results[i].bestRow;
        errors += results[i].errorRow;
        switch (results[i].kind) {
        case StandResult::Kind::Done: ++summary.done; break;
        case StandResult::Kind::Refused: ++summary.refused; break;
        case StandResult::Kind::Infeasible: ++summary.infeasible; break;
        case StandResult::Kind::Malformed: ++summary.malformed; break;
        }
    }
    save(outDir / "best.csv", best);
    save(outDir / "errors.csv", errors);
    if (!options.database.empty()) {
        // The same rows as the two files, cell by cell.
        std::vector<std::vector<std::string>> bestRows, errorRows;
        for (const StandResult &r : results) {
            for (const auto &[row, into] : {std::pair{&r.bestRow, &bestRows}, std::pair{&r.errorRow, &errorRows}}) {
                if (row->empty())
                    continue;
                if (auto cells = splitCsvLine(row->substr(0, row->size() - 1)))
                    into->push_back(std::move(*cells));
            }
        }
        const RunIdentity identity = runIdentityOf(inventory, "", options.regimeJson);
        saveBestRegimes(options.database, identity, static_cast<int64_t>(stands.size()), bestRows, errorRows);
    }
    summary.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return summary;
}

} // namespace tavelo
