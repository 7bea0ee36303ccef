#pragma once

// A management regime run over a whole stand inventory: one simulation per
// stand, on all cores, through the same session code as a single run.

#include "inventory/inventory_source.h"
#include "inventory/result_sink.h"
#include "inventory/sqlite_db.h"
#include "regimes/scenario.h"
#include "base/csv.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <variant>
#include <vector>

namespace tavelo {

// One inventory row turned into what a user would type; or why it cannot be.
struct InventoryStand {
    std::string id;
    StandDataInput stand;
    std::variant<UnthinnedDensity, ThinnedEntryInput> density;
};
std::variant<InventoryStand, ReadProblem> parseInventoryRow(const std::vector<std::string> &cells);
// An inventory row as a stand, or why it cannot be one. `seen` holds the ids
// already used: a repeated id is refused wherever its first use is.
std::variant<InventoryStand, ReadProblem> standOfRow(const InventoryRow &row, std::unordered_set<std::string> &seen);

// An inventory row read as a stand: where it is in the inventory, and the
// stand or why the row cannot be one.
struct StandRow {
    size_t position = 0; // from 0
    size_t line = 0;     // the CSV file's line, or the table's row counted from 1
    std::string rawId;   // the id cell as read, also for a row that cannot be used
    std::string area;    // the area cell, empty when blank or without the column
    StandGeometry geometry;
    std::variant<InventoryStand, ReadProblem> stand;
};

// The one way an inventory is read as stands, by batch, the search for best
// regimes and the plan alike: its rows in order, a repeated id refused
// wherever its first use is.
class InventoryStands {
public:
    explicit InventoryStands(InventorySource &source) : source_(source) {}
    // The next row into `stand`; false at the end. Throws what the source throws.
    bool next(StandRow &stand);

private:
    InventorySource &source_;
    std::unordered_set<std::string> seen_;
    InventoryRow row_;
    size_t position_ = 0;
};

struct BatchOptions {
    unsigned jobs = 0; // 0: one per core
    std::function<void(size_t done, size_t total)> progress;
    // An output folder that already holds files is refused unless this is set;
    // then the outputs of an earlier run (record.csv, errors.csv, *.txt) are
    // removed first, so that old and new results never mix.
    bool overwrite = false;
    // Set (for instance by a signal) to stop after the stands under way: their
    // logs are whole, and the record and errors of the stands done are written.
    const std::atomic<bool> *stop = nullptr;
    // The results database (.sqlite, .db or .gpkg); empty for none.
    std::filesystem::path database;
    // The inventory's layer (or table); empty: "stands", else the only one.
    std::string table;
    std::string regimeJson;       // the regime file as read, kept with the run
    bool resume = false;          // continue the latest unfinished run of the same work
    // Only the stands at positions p (from 0) with p mod shardCount = shardIndex - 1.
    unsigned shardIndex = 1;
    unsigned shardCount = 1;
    int busyTimeoutMs = kBusyTimeoutMs;
    // Also receives every stand (a window showing the results), from the
    // thread that called runBatch; it may be the only output.
    ResultSink *extraSink = nullptr;
    // Every stand's log is kept in its outcome, also without an output folder.
    bool keepLogs = false;
};

// errors.csv's line of a stand refused, ended or malformed (its header is
// csvHeader(kErrorsTable)).
std::string errorsCsvLine(const std::string &id, const std::string &status, const std::string &title,
                          const std::string &text);

struct BatchSummary {
    size_t stands = 0;
    size_t done = 0;
    size_t refused = 0;
    size_t endedByModel = 0;
    size_t malformed = 0;
    size_t logFailed = 0; // simulated, but the log could not be written: not done
    std::string firstLogFailure; // which log and why, for the first of them
    bool interrupted = false;
    size_t alreadyDone = 0; // skipped: a resumed run had done them
    bool resumed = false;
    double seconds = 0.0;
    std::vector<InventoryWarning> warnings; // about the inventory as read
};

// Runs `regime` over every stand of `inventory` (a CSV file, read once so that
// it may be a pipe, or a database table), writing `<id>.txt` logs,
// `record.csv`, `errors.csv` and, when the regime has an economics section,
// `economics.csv` (the value of every stand simulated to its end) into
// `outDir` (unless empty), and the same into `options.database` (unless
// empty). The output is the same whatever the number of jobs. Throws
// std::runtime_error when the inventory or the output folder cannot be used
// at all, BatchOutputError when an output cannot be written (what a database
// had committed stays).
BatchSummary runBatch(const std::filesystem::path &inventory, const Regime &regime,
                      const std::filesystem::path &outDir, const BatchOptions &options);

// The stands of a run as record.csv, errors.csv and (when given)
// economics.csv, events.csv and carbon.csv would hold them, each file written whole. Throws
// BatchOutputError when one cannot be written.
void saveBatchCsv(const std::vector<StandOutcome> &stands, const std::filesystem::path &record,
                  const std::filesystem::path &errors, const std::filesystem::path *economics,
                  const std::filesystem::path *events = nullptr, const std::filesystem::path *carbon = nullptr);

} // namespace tavelo
