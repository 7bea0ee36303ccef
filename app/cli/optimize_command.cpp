// tavelo-cli optimize: the best regimes of a search space for one stand.

#include "inventory/batch_optimize.h"
#include "app/cli/cli_commands.h"
#include "regimes/economics_run.h"
#include "regimes/optimizer.h"
#include "regimes/scenario.h"
#include "base/output_folder.h"
#include "base/calendar.h"
#include "regimes/search_space.h"
#include "app/cli/cli_arguments.h"
#include "inventory/results_db.h"
#include "app/cli/stop_signals.h"
#include "regimes/carbon_run.h"
#include "base/whole_file.h"

#include <QDate>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>

namespace tavelo {

namespace {

constexpr int kRefused = kCliRefused;
constexpr int kEndedByModel = kCliEndedByModel;
constexpr int kCannotWrite = kCliOutputFailed;

// The results folder must be empty or new, so that the results of two runs
// never mix. With `overwrite` a folder holding files is accepted and the
// earlier run's results in it (the files `isResult` names) are removed first;
// other files stay. Says why when the folder cannot be used.
// The exit status of an output folder that cannot be used.
int folderStatus(const OutputFolderProblem &problem)
{
    return problem.callMustChange ? kCliUsage : kCannotWrite;
}

// ranking.csv and best-N.json.
bool isOptimizeResult(const std::string &name)
{
    if (name == "ranking.csv")
        return true;
    const std::string head = "best-", tail = ".json";
    if (name.size() <= head.size() + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string number = name.substr(head.size(), name.size() - head.size() - tail.size());
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<size_t> wholeNumber(const std::string &text, size_t max)
{
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || v == 0 || v > max)
        return std::nullopt;
    return static_cast<size_t>(v);
}

std::string seconds(double s)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.2f", s);
    return buf;
}


// What both searches are told on the command line. The batch form names the
// space with --optimize and takes --regime; the single stand's with --space
// and takes --top.
struct SearchCall {
    bool batch = false;
    std::string input; // the stand file, or the inventory
    std::string regimePath;
    std::string spacePath;
    std::string objectiveText;
    std::string outDir;
    Objective objective = Objective::Volume;
    size_t top = 10;
    unsigned jobs = 0;
    bool overwrite = false;
    double maxRegimes = kDefaultMaxRegimes;
    std::string database; // batch: the results database, if any
    SearchSpace space;
};

// Reads the arguments and the search space; the status to exit with when they
// cannot be used (already reported).
std::optional<int> readSearchCall(const std::vector<std::string> &args, SearchCall &call, std::ostream &err)
{
    const char *spaceFlag = call.batch ? "--optimize" : "--space";
    if (const std::string why = repeatedOrEmptyOption(args,
                                                      {spaceFlag, "--regime", "--objective", "--out", "--top",
                                                       "--jobs", "--db", "--max-regimes"},
                                                      {"--overwrite"});
        !why.empty())
        return cliUsageError(err, why);
    for (size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == spaceFlag && hasValue) {
            call.spacePath = args[++i];
        } else if (call.batch && args[i] == "--regime" && hasValue) {
            call.regimePath = args[++i];
        } else if (args[i] == "--objective" && hasValue) {
            call.objectiveText = args[++i];
        } else if (args[i] == "--out" && hasValue) {
            call.outDir = args[++i];
        } else if (!call.batch && args[i] == "--top" && hasValue) {
            const auto n = wholeNumber(args[++i], 1000);
            if (!n)
                return cliUsageError(err, "--top must be a whole number from 1 to 1000");
            call.top = *n;
        } else if (args[i] == "--max-regimes" && hasValue) {
            if (const auto refused = readMaxRegimes(args[++i], call.maxRegimes, err))
                return *refused;
        } else if (args[i] == "--jobs" && hasValue) {
            if (const auto refused = readJobs(args[++i], call.jobs, err))
                return *refused;
        } else if (call.batch && args[i] == "--db" && hasValue) {
            call.database = args[++i];
            if (const auto refused = refusedResultsDatabase(call.database, err))
                return *refused;
        } else if (args[i] == "--overwrite") {
            call.overwrite = true;
        } else if (!args[i].empty() && args[i][0] != '-' && call.input.empty()) {
            call.input = args[i];
        } else {
            return cliUsageError(err, "unexpected argument \"" + shownText(args[i]) + "\"");
        }
    }
    if (call.batch && (call.input.empty() || call.regimePath.empty() || call.spacePath.empty() ||
                       call.objectiveText.empty() || call.outDir.empty()))
        return cliUsageError(err, "batch --optimize needs an inventory, --regime, --optimize, --objective and --out");
    if (!call.batch && (call.input.empty() || call.spacePath.empty() || call.objectiveText.empty() ||
                        call.outDir.empty()))
        return cliUsageError(err, "optimize needs a stand file, --space, --objective and --out");
    const auto objective = objectiveFromName(call.objectiveText);
    if (!objective)
        return cliUsageError(err, "--objective must be npv, lev, volume, sawlog or carbon");
    call.objective = *objective;

    std::string spaceJson;
    if (!readInputFile(call.spacePath, spaceJson)) {
        err << "tavelo-cli: cannot read " << call.spacePath << "\n";
        return kCliUsage;
    }
    auto space = parseSearchSpace(spaceJson);
    if (const auto *error = std::get_if<SearchSpaceError>(&space))
        return reportFileProblem(err, call.spacePath, error->problem);
    call.space = std::get<SearchSpace>(std::move(space));
    return std::nullopt;
}

// The prices, costs and rate of the stand or regime file, which the valued
// objectives need; the status to exit with when they cannot be used.
std::optional<int> readPrices(const SearchCall &call, const std::optional<EconomicTexts> &texts,
                              const std::string &file, std::optional<EconomicInputs> &inputs, std::ostream &err)
{
    if ((call.objective == Objective::Npv || call.objective == Objective::Lev) && !texts)
        return cliUsageError(err, "--objective " + call.objectiveText + " needs an \"economics\" section in " + file);
    const CheckedEconomics economics = checkEconomics(texts, file, err);
    if (!economics.accepted)
        return kRefused;
    inputs = economics.inputs;
    return std::nullopt;
}

// The carbon factors of the stand or regime file (the defaults without a
// section); refused factors stop the search before anything is written.
std::optional<int> readCarbonFactorsOf(const std::optional<CarbonTexts> &texts, const std::string &file,
                                       std::optional<CarbonFactors> &factors, std::ostream &err)
{
    const CheckedCarbon carbon = checkCarbon(texts ? texts : CarbonTexts{}, file, err);
    if (!carbon.accepted)
        return kRefused;
    factors = carbon.factors;
    return std::nullopt;
}

} // namespace

int cliOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    SearchCall call;
    if (const auto status = readSearchCall(args, call, err))
        return *status;
    const std::string &standPath = call.input;
    const std::string &spacePath = call.spacePath;
    OptimizeOptions options;
    options.objective = call.objective;
    options.top = call.top;
    options.jobs = call.jobs;
    options.maxRegimes = call.maxRegimes;

    std::string standJson;
    if (!readInputFile(standPath, standJson)) {
        err << "tavelo-cli: cannot read " << standPath << "\n";
        return kCliUsage;
    }
    const std::string year = thisYear();
    const auto stand = parseScenario(standJson, year);
    if (const auto *problem = std::get_if<ReadProblem>(&stand))
        return reportFileProblem(err, standPath, *problem);
    const Scenario &scenario = std::get<Scenario>(stand);
    if (scenario.rules)
        err << "note: " << standPath << ": its rules are not used; optimize searches its own regimes\n";
    if (const auto status = readPrices(call, scenario.economics, standPath, options.economics, err))
        return *status;
    if (const auto status = readCarbonFactorsOf(scenario.carbon, standPath, options.carbon, err))
        return *status;
    if (const auto why = prepareOutputFolder(call.outDir, call.overwrite, isOptimizeResult,
                                             {{"the stand file", standPath}, {"the search space", spacePath}})) {
        err << "tavelo-cli: " << why->why << "\n";
        return folderStatus(*why);
    }

    if (progressBar) {
        options.progress = terminalProgressBar(err, ProgressText::Percent);
    }
    const StopOnSignals stopOnSignals;
    options.cancel = stopOnSignals.flag();
    const OptimizeResult result = optimizeRegime(scenario, call.space, options);
    if (progressBar)
        err << "\n";

    if (result.status == OptimizeResult::Status::Cancelled) {
        err << "interrupted: nothing written; " << seconds(result.seconds) << " s\n";
        return kCliInterrupted;
    }
    if (result.status == OptimizeResult::Status::Refused) {
        using Refusal = OptimizeResult::Refusal;
        if (result.refusal == Refusal::NoRotationAge) {
            err << "tavelo-cli: " << spacePath << ": " << refusalText(result) << "\n";
        } else if (result.refusal == Refusal::BeyondLimit) {
            err << "tavelo-cli: " << spacePath << ": " << refusalText(result)
                << " (give --max-regimes N to search more)\n";
        } else if (result.refusal != Refusal::None) {
            err << "tavelo-cli: " << standPath << ": " << refusalText(result) << "\n";
        } else if (result.message) {
            err << "refused: " << shownText(result.message->title) << ": " << shownText(result.message->text) << "\n";
        }
        return kRefused;
    }
    err << result.evaluated << " regimes evaluated: " << result.feasible << " feasible, " << result.endedByModel
        << " ended by the model; " << seconds(result.seconds) << " s\n";
    if (result.status == OptimizeResult::Status::Infeasible) {
        err << "tavelo-cli: no regime of the space stays inside the model";
        if (result.message)
            err << " (" << result.message->title << ": " << result.message->text << ")";
        err << "\n";
        return kEndedByModel;
    }

    const std::filesystem::path dir(call.outDir);
    bool written = writeOutputFile(dir / "ranking.csv", rankingCsv(result.best), err);
    for (size_t i = 0; i < result.best.size() && written; ++i) {
        const std::string name = "best-" + std::to_string(i + 1) + ".json";
        written = writeOutputFile(dir / name, regimeScenarioJson(standJson, year, result.best[i].steps), err);
    }
    return written ? kCliOk : kCannotWrite;
}

int cliBatchOptimize(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    SearchCall call;
    call.batch = true;
    if (const auto status = readSearchCall(args, call, err))
        return *status;
    BatchOptimizeOptions options;
    options.objective = call.objective;
    options.jobs = call.jobs;
    options.maxRegimes = call.maxRegimes;
    options.database = call.database;

    std::string regimeJson;
    if (!readInputFile(call.regimePath, regimeJson)) {
        err << "tavelo-cli: cannot read " << call.regimePath << "\n";
        return kCliUsage;
    }
    const auto regime = parseRegime(regimeJson, thisYear());
    if (const auto *problem = std::get_if<ReadProblem>(&regime))
        return reportFileProblem(err, call.regimePath, *problem);
    if (std::get<Regime>(regime).rules)
        err << "note: " << call.regimePath << ": its rules are not used; --optimize searches its own regimes\n";
    if (const auto status =
            readPrices(call, std::get<Regime>(regime).economics, call.regimePath, options.economics, err))
        return *status;
    if (const auto status = readCarbonFactorsOf(std::get<Regime>(regime).carbon, call.regimePath, options.carbon, err))
        return *status;
    options.regimeJson = regimeJson;
    // A database inventory is read whole once before the earlier results go:
    // they stay when it fails (the results file was checked with the call).
    if (isDatabaseFile(call.input)) {
        try {
            openInventory(call.input, BatchOptions{}.table)->fingerprint();
        } catch (const std::exception &e) {
            err << "tavelo-cli: " << e.what() << "\n";
            return kCliUsage;
        }
    }
    const auto isResult = [](const std::string &name) { return name == "best.csv" || name == "errors.csv"; };
    if (const auto why = prepareOutputFolder(call.outDir, call.overwrite, isResult,
                                             {{"the inventory", call.input},
                                              {"the regime file", call.regimePath},
                                              {"the search space", call.spacePath}})) {
        err << "tavelo-cli: " << why->why << "\n";
        return folderStatus(*why);
    }
    if (progressBar) {
        options.progress = terminalProgressBar(err, ProgressText::Count);
    }
    const StopOnSignals stopOnSignals;
    options.stop = stopOnSignals.flag();
    try {
        const BatchOptimizeSummary s =
            runBatchOptimize(call.input, std::get<Regime>(regime), call.space, call.outDir, options);
        if (progressBar)
            err << "\n";
        if (s.interrupted) {
            err << "interrupted: nothing written; " << seconds(s.seconds) << " s\n";
            return kCliInterrupted;
        }
        err << s.stands << " stands: " << s.done << " with a best regime, " << s.refused << " refused, "
            << s.infeasible << " with no feasible regime, " << s.malformed << " malformed rows; " << seconds(s.seconds)
            << " s\n";
    } catch (...) {
        return reportFailure(err);
    }
    return kCliOk;
}

} // namespace tavelo
