#pragma once

// A management regime run over a whole stand inventory: one simulation per
// stand, on all cores, through the same session code as a single run.

#include "base/csv.h"
#include "app/scenario.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <istream>
#include <optional>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// The inventory's columns, in the header's order.
inline constexpr const char *kInventoryColumns[] = {"id",    "age",       "dominantHeight", "qualityClass", "planted",
                                                    "alive", "trees",     "basalArea",      "minDiameter",  "p95"};

// One inventory row turned into what a user would type; or why it cannot be.
struct InventoryStand {
    std::string id;
    StandDataInput stand;
    std::variant<UnthinnedDensity, ThinnedEntryInput> density;
};
std::variant<InventoryStand, std::string> parseInventoryRow(const std::vector<std::string> &cells);

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
};

// An output file of the batch (record.csv, errors.csv) could not be written.
class BatchOutputError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct BatchSummary {
    size_t stands = 0;
    size_t done = 0;
    size_t refused = 0;
    size_t endedByModel = 0;
    size_t malformed = 0;
    size_t logFailed = 0; // simulated, but the log could not be written: not done
    std::string firstLogFailure; // which log and why, for the first of them
    bool interrupted = false;
    double seconds = 0.0;
};

// Runs `regime` over every stand of `inventory`, writing `<id>.txt` logs,
// `record.csv` and `errors.csv` into `outDir`, and `economics.csv` (the value
// of every stand simulated to its end) when the regime has an economics
// section. The output is the same whatever the number of jobs. The inventory
// is read once, so it may be a pipe. Throws std::runtime_error when the
// inventory or the output folder cannot be used at all, BatchOutputError when
// record.csv, errors.csv or economics.csv cannot be written.
BatchSummary runBatch(const std::filesystem::path &inventory, const Regime &regime,
                      const std::filesystem::path &outDir, const BatchOptions &options);

} // namespace tavelo
