#pragma once

// The best regime of every stand of an inventory: one search per stand, the
// stands shared out over the jobs.

#include "inventory/batch.h"
#include "regimes/optimizer.h"
#include "regimes/search_space.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <stdexcept>

namespace tavelo {

struct BatchOptimizeOptions {
    Objective objective = Objective::Volume;
    std::optional<EconomicInputs> economics; // the regime file's prices, costs and rate
    std::optional<CarbonFactors> carbon;     // its carbon factors, for the carbon objective
    unsigned jobs = 0; // 0: one per core
    double maxRegimes = kDefaultMaxRegimes; // each stand's search, as OptimizeOptions::maxRegimes
    std::function<void(size_t done, size_t total)> progress;
    // Set (by a signal) to stop the searches under way; then nothing is written.
    const std::atomic<bool> *stop = nullptr;
    // Also into this results database (tavelo_best, tavelo_errors); empty for none.
    std::filesystem::path database;
    std::string regimeJson; // the regime file as read, kept with the run
};

struct BatchOptimizeSummary {
    size_t stands = 0;
    size_t done = 0;       // a best regime found
    size_t refused = 0;
    size_t infeasible = 0; // no regime stays inside the model
    size_t malformed = 0;
    bool interrupted = false; // stopped: no file written
    double seconds = 0.0;
};

// Writes `best.csv` (id, objective, rotation age, schedule, npv, volume, sawlog)
// and `errors.csv` (id, status, title, text) into `outDir`, in the inventory's
// order whatever the number of jobs. `regime` gives the model options (its steps
// are not used). Throws std::runtime_error when the inventory cannot be used,
// BatchOutputError when the results cannot be written (the old files stay).
BatchOptimizeSummary runBatchOptimize(const std::filesystem::path &inventory, const Regime &regime,
                                      const SearchSpace &space, const std::filesystem::path &outDir,
                                      const BatchOptimizeOptions &options);

} // namespace tavelo
