// tavelo-cli batch: one regime over every stand of an inventory.

#include "app/cli/cli_commands.h"
#include "app/cli/cli_arguments.h"
#include "app/cli/stop_signals.h"
#include "base/calendar.h"
#include "inventory/batch.h"
#include "inventory/gdal_inventory.h"
#include "inventory/results_db.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace tavelo {

int cliBatch(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    if (std::find(args.begin(), args.end(), "--optimize") != args.end())
        return cliBatchOptimize(args, err, progressBar);
    std::string inventory, regimePath, outDir;
    BatchOptions options;
    if (const std::string why = repeatedOrEmptyOption(
            args, {"--db", "--table", "--shard", "--regime", "--out", "--jobs"}, {"--resume", "--overwrite"});
        !why.empty())
        return cliUsageError(err, why);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--db" && i + 1 < args.size()) {
            options.database = args[++i];
            if (const auto refused = refusedResultsDatabase(options.database, err))
                return *refused;
        } else if ((args[i] == "--layer" || args[i] == "--table") && i + 1 < args.size()) {
            options.table = args[++i];
        } else if (args[i] == "--resume") {
            options.resume = true;
        } else if (args[i] == "--shard" && i + 1 < args.size()) {
            const auto shard = parseShard(args[++i]);
            if (!shard)
                return cliUsageError(err, "--shard must be K/N with K from 1 to N");
            options.shardIndex = shard->index;
            options.shardCount = shard->count;
        } else if (args[i] == "--regime" && i + 1 < args.size()) {
            regimePath = args[++i];
        } else if (args[i] == "--out" && i + 1 < args.size()) {
            outDir = args[++i];
        } else if (args[i] == "--jobs" && i + 1 < args.size()) {
            if (const auto refused = readJobs(args[++i], options.jobs, err))
                return *refused;
        } else if (args[i] == "--overwrite") {
            options.overwrite = true;
        } else if (!args[i].empty() && args[i][0] != '-' && inventory.empty()) {
            inventory = args[i];
        } else {
            return cliUsageError(err, "unexpected argument \"" + shownText(args[i]) + "\"");
        }
    }
    if (inventory.empty() || regimePath.empty() || (outDir.empty() && options.database.empty()))
        return cliUsageError(err, "batch needs an inventory, --regime, and --out or --db");
    if (!options.table.empty() && readAsCsv(inventory))
        return cliUsageError(err, "--layer (or --table) names a layer of a GIS inventory, not of a CSV file");
    if (options.resume && options.database.empty())
        return cliUsageError(err, "--resume continues a run in the results database given with --db");
    // The folder's files would hold only the stands of the resumed part.
    if (options.resume && !outDir.empty())
        return cliUsageError(err, "--resume continues the run in the results database only; leave out --out");

    std::string json;
    if (!readInputFile(regimePath, json))
        return cliUsageError(err, "cannot read " + regimePath);
    const auto regime = parseRegime(json, thisYear());
    if (const auto *problem = std::get_if<ReadProblem>(&regime))
        return reportFileProblem(err, regimePath, *problem);

    if (!checkEconomics(std::get<Regime>(regime).economics, regimePath, err).accepted)
        return kCliRefused;
    if (!checkCarbon(std::get<Regime>(regime).carbon, regimePath, err).accepted)
        return kCliRefused;

    options.regimeJson = json;
    if (progressBar) {
        options.progress = terminalProgressBar(err, ProgressText::Count);
    }
    const StopOnSignals stopOnSignals;
    options.stop = stopOnSignals.flag();
    BatchSummary s;
    try {
        s = runBatch(inventory, std::get<Regime>(regime), outDir, options);
    } catch (...) {
        return reportFailure(err);
    }
    if (progressBar)
        err << "\n";
    printInventoryWarnings(err, s.warnings);
    if (s.logFailed > 0)
        err << "tavelo-cli: cannot write " << s.firstLogFailure
            << (s.logFailed > 1 ? " (and " + std::to_string(s.logFailed - 1) + " more logs)" : std::string()) << "\n";
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", s.seconds);
    if (s.resumed)
        err << "resumed: " << s.alreadyDone << " stands were already done\n";
    else if (options.resume)
        err << "no unfinished run of this work: a new run started\n";
    if (s.interrupted)
        err << "interrupted: ";
    err << s.stands << " stands: " << s.done << " done, " << s.refused << " refused, " << s.endedByModel
        << " ended by the model, " << s.malformed << " malformed rows";
    if (s.logFailed > 0)
        err << ", " << s.logFailed << " logs not written (see errors.csv)";
    err << "; " << seconds << " s\n";
    if (s.interrupted)
        return kCliInterrupted;
    return s.logFailed > 0 ? kCliOutputFailed : kCliOk;
}

} // namespace tavelo
