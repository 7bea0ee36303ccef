#include "cli_commands.h"

#include "inventory/batch.h"
#include "inventory/merge.h"
#include "inventory/results_db.h"
#include "inventory/results_tables.h"
#include "regimes/economics_run.h"
#include "regimes/scenario.h"
#include "base/calendar.h"
#include "app/cli/cli_arguments.h"
#include "app/cli/stop_signals.h"
#include "inventory/gdal_inventory.h"
#include "regimes/carbon_run.h"
#include "base/whole_file.h"
#include "app/cli/regime_chart.h"
#include "session/results/regime_comparison.h"

#include <QDate>
#include <QString>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ios>
#include <iterator>
#include <ostream>
#include <sstream>

namespace tavelo {

int cliUsageError(std::ostream &err, const std::string &why)
{
    if (!why.empty())
        err << "tavelo-cli: " << why << "\n";
    err << cliUsage();
    return kCliUsage;
}

std::optional<int> refusedResultsDatabase(const std::string &path, std::ostream &err)
{
    if (!isDatabaseFile(path))
        return cliUsageError(err, "--db must name a .sqlite, .db or .gpkg file");
    try {
        ResultsDb::checkExisting(path);
    } catch (const std::exception &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
    return std::nullopt;
}

void printInventoryWarnings(std::ostream &err, const std::vector<InventoryWarning> &warnings)
{
    for (const InventoryWarning &w : warnings) {
        switch (w.kind) {
        case InventoryWarning::Kind::UnreadableReferenceSystem:
            err << "note: " << w.file.string()
                << ": GDAL cannot read this reference system; the stands are read without one";
            break;
        }
        if (!w.detail.empty())
            err << " (" << w.detail << ")";
        err << "\n";
    }
}

std::optional<int> readMaxRegimes(const std::string &text, double &maxRegimes, std::ostream &err)
{
    // Beyond this a limit would only mean "for ever".
    constexpr unsigned long long kLargestMaxRegimes = 1000000000000ULL;
    char *end = nullptr;
    const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || text[0] == '-' || *end != '\0' || v == 0 || v > kLargestMaxRegimes)
        return cliUsageError(err, "--max-regimes must be a whole number from 1 to " +
                                      std::to_string(kLargestMaxRegimes));
    maxRegimes = static_cast<double>(v);
    return std::nullopt;
}

bool readInputFile(const std::string &path, std::string &out)
{
    std::optional<std::string> bytes = readWholeFile(path);
    if (bytes)
        out = std::move(*bytes);
    return bytes.has_value();
}

bool writeOutputFile(const std::filesystem::path &path, std::string_view bytes, std::ostream &err)
{
    if (auto why = writeWholeFile(path, bytes)) {
        err << "tavelo-cli: cannot write " << path.string() << ": " << *why << "\n";
        return false;
    }
    return true;
}

namespace {

// An output named on the command line must not destroy anything: not a device
// or folder, not an input, not another output of the same run. Empty when fine.
struct NamedPath {
    const char *what; // "--log", "the scenario file", ...
    std::string path;
};
std::string clobberingProblem(const std::vector<NamedPath> &outputs, const std::vector<NamedPath> &inputs)
{
    for (size_t i = 0; i < outputs.size(); ++i) {
        const NamedPath &o = outputs[i];
        if (o.path.empty())
            continue;
        if (auto why = unusableOutputPath(o.path))
            return std::string(o.what) + " " + o.path + ": " + *why + "; give the name of a regular file";
        for (const NamedPath &in : inputs)
            if (sameFile(o.path, in.path))
                return std::string(o.what) + " " + o.path + " is " + in.what + " " + in.path +
                       "; it would be overwritten";
        for (size_t j = 0; j < i; ++j)
            if (!outputs[j].path.empty() && sameFile(o.path, outputs[j].path))
                return std::string(outputs[j].what) + " and " + o.what + " name the same file " + o.path;
    }
    return {};
}

void printMessage(std::ostream &err, const char *what, const Message &m)
{
    err << what << ": " << shownText(m.title) << ": " << shownText(m.text) << "\n";
}

const char *outcomeWord(const RunResult &r)
{
    return r.status == RunResult::Status::EndedByModel ? "ended" : "refused";
}

// Reads one scenario file (its text into `json` when given); when the file is
// unusable, nothing, with the exit status in `failure`.
std::optional<Scenario> loadScenario(const std::string &path, std::ostream &err, int &failure,
                                     std::string *json = nullptr)
{
    std::string bytes;
    failure = kCliUsage;
    if (!readInputFile(path, bytes)) {
        err << "tavelo-cli: cannot read " << path << "\n";
        return std::nullopt;
    }
    auto parsed = parseScenario(bytes, thisYear());
    if (const auto *problem = std::get_if<ReadProblem>(&parsed)) {
        failure = reportFileProblem(err, path, *problem);
        return std::nullopt;
    }
    if (json)
        *json = std::move(bytes);
    return std::get<Scenario>(std::move(parsed));
}

// Reads and plays one scenario file; nothing when the file is unusable. A bad
// economics value or carbon factor refuses the scenario before anything is written.
std::optional<RunResult> playScenario(const std::string &path, StandState &state, const LogFile &log,
                                      std::ostream &err, int &failure,
                                      std::optional<EconomicInputs> *economics = nullptr,
                                      std::optional<CarbonFactors> *carbon = nullptr)
{
    const auto scenario = loadScenario(path, err, failure);
    if (!scenario)
        return std::nullopt;
    const CheckedEconomics checked = checkEconomics(scenario->economics, path, err);
    if (!checked.accepted)
        return refusedByEconomics();
    if (economics)
        *economics = checked.inputs;
    const CheckedCarbon checkedCarbon = checkCarbon(scenario->carbon, path, err);
    if (!checkedCarbon.accepted)
        return refusedByEconomics();
    if (carbon)
        *carbon = checkedCarbon.factors;
    return runScenario(*scenario, state, log);
}

} // namespace

std::function<void(size_t, size_t)> terminalProgressBar(std::ostream &err, ProgressText text)
{
    return [&err, text, last = -1](size_t done, size_t total) mutable {
        const int width = 40;
        const int filled = total ? static_cast<int>(width * done / total) : width;
        const int percent = total ? static_cast<int>(100 * done / total) : 100;
        if (percent == last && done != total)
            return;
        last = percent;
        err << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] ";
        if (text == ProgressText::Count)
            err << done << "/" << total;
        else
            err << percent << " %";
        err << std::flush;
    };
}

std::string cliUsage()
{
    return "usage: tavelo-cli run SCENARIO.json --log LOG.txt [--record RECORD.csv] [--economics OUT.json]\n"
           "                  [--carbon OUT.json] [--steps OUT.json] [--events OUT.csv]\n"
           "       tavelo-cli batch STANDS.csv|.gpkg|.shp|.geojson|.fgb|.sqlite|... [--layer NAME] --regime REGIME.json\n"
           "                  (--out DIR [--overwrite] | --db RESULTS.sqlite|.db|.gpkg [--resume])\n"
           "                  [--jobs N] [--shard K/N]\n"
           "       tavelo-cli batch STANDS.csv --regime REGIME.json --out DIR [--jobs N] [--overwrite]\n"
           "                  --optimize SPACE.json --objective npv|lev|volume|sawlog|carbon [--db RESULTS]\n"
           "                  [--max-regimes N]\n"
           "       tavelo-cli merge TARGET.sqlite|.db|.gpkg SHARD...\n"
           "       tavelo-cli compare A.json B.json [...] --chart OUT.png|OUT.svg [--csv OUT.csv]\n"
           "       tavelo-cli optimize STAND.json --space SPACE.json --objective npv|lev|volume|sawlog|carbon --out DIR\n"
           "                  [--top N] [--jobs N] [--overwrite] [--max-regimes N]\n"
           "       tavelo-cli plan STANDS.csv|.sqlite|.db|.gpkg (--space SPACE.json | --regimes R.json...)\n"
           "                  --economics ECON.json --horizon YEARS [--flow even:PCT | nondecreasing]\n"
           "                  [--flow-on total|sawlog] [--ending-stock PCT] [--gap PCT] [--time-limit SECONDS]\n"
           "                  [--chart png|svg] [--max-regimes N]\n"
           "                  (--out DIR [--overwrite] | --db RESULTS) [--jobs N] [--layer NAME]\n"
           "       tavelo-cli --help\n"
           "exit status: 0 done, 1 usage or input error, 2 an entry refused, 3 ended by the model,\n"
           "             4 an output could not be written, 130 stopped by SIGINT or SIGTERM\n";
}

bool cliWantsHelp(const std::string &command)
{
    return command == "--help" || command == "-h" || command == "help";
}

int cliRun(const std::vector<std::string> &args, std::ostream &err)
{
    std::string scenarioPath, logPath, recordPath, economicsPath, carbonPath, stepsPath, eventsPath;
    if (const std::string why = repeatedOrEmptyOption(
            args, {"--log", "--economics", "--record", "--carbon", "--steps", "--events"}, {});
        !why.empty())
        return cliUsageError(err, why);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--log" && i + 1 < args.size())
            logPath = args[++i];
        else if (args[i] == "--steps" && i + 1 < args.size())
            stepsPath = args[++i];
        else if (args[i] == "--events" && i + 1 < args.size())
            eventsPath = args[++i];
        else if (args[i] == "--carbon" && i + 1 < args.size())
            carbonPath = args[++i];
        else if (args[i] == "--economics" && i + 1 < args.size())
            economicsPath = args[++i];
        else if (args[i] == "--record" && i + 1 < args.size())
            recordPath = args[++i];
        else if (!args[i].empty() && args[i][0] != '-' && scenarioPath.empty())
            scenarioPath = args[i];
        else
            return cliUsageError(err, "unexpected argument \"" + shownText(args[i]) + "\"");
    }
    if (scenarioPath.empty() || logPath.empty())
        return cliUsageError(err, "run needs a scenario file and --log");
    // Refused before anything is touched.
    const std::string problem =
        clobberingProblem({{"--log", logPath}, {"--record", recordPath}, {"--economics", economicsPath},
                           {"--carbon", carbonPath}, {"--steps", stepsPath}, {"--events", eventsPath}},
                          {{"the scenario file", scenarioPath}});
    if (!problem.empty()) {
        err << "tavelo-cli: " << problem << "\n";
        return kCliUsage;
    }

    std::string scenarioText;
    int failure = kCliUsage;
    const auto scenario = loadScenario(scenarioPath, err, failure, &scenarioText);
    if (!scenario)
        return failure;
    if (!economicsPath.empty() && !scenario->economics)
        return cliUsageError(err, "--economics needs an \"economics\" section in " + scenarioPath);
    // A bad economics value refuses the scenario before anything is written.
    const CheckedEconomics checked = checkEconomics(scenario->economics, scenarioPath, err);
    if (!checked.accepted)
        return kCliRefused;
    const std::optional<EconomicInputs> &economics = checked.inputs;
    // So is a bad carbon factor; without the section the account takes the defaults.
    const CheckedCarbon carbon = checkCarbon(scenario->carbon ? scenario->carbon : CarbonTexts{}, scenarioPath, err);
    if (!carbon.accepted)
        return kCliRefused;

    StandState state;
    // An earlier log is replaced only when this run writes its first block.
    LogFile log(logPath);
    log.replaceOnFirstBlock();
    log.stopAfterFailure();
    std::string logFailure;
    log.reportFailureTo(&logFailure);
    const RunResult result = runScenario(*scenario, state, log);
    for (const Message &m : result.notices)
        printMessage(err, "note", m);
    if (result.message)
        printMessage(err, outcomeWord(result), *result.message);
    bool outputsWritten = true;
    if (!logFailure.empty()) {
        err << "tavelo-cli: cannot write " << logPath << ": " << logFailure << "\n";
        outputsWritten = false;
    }
    if (!recordPath.empty() && !writeOutputFile(recordPath, recordCsv(state), err))
        outputsWritten = false;
    if (!economicsPath.empty() && economics && result.status == RunResult::Status::Completed &&
        !writeEconomicsJson(economicsPath, state, *economics, err))
        outputsWritten = false;
    if (!carbonPath.empty() && result.status == RunResult::Status::Completed &&
        !writeCarbonJson(carbonPath, state, *carbon.factors, err))
        outputsWritten = false;
    // The steps played, as a scenario that replays this run.
    if (!stepsPath.empty() &&
        !writeOutputFile(stepsPath, regimeScenarioJson(scenarioText, scenario->options.year, result.stepsTaken), err))
        outputsWritten = false;
    if (!eventsPath.empty()) {
        std::string events = csvHeader(kEventsTable);
        const std::string id = std::filesystem::path(scenarioPath).stem().string();
        for (const ManagementEvent &e : result.events)
            events += eventsCsvLine(id, e);
        if (!writeOutputFile(eventsPath, events, err))
            outputsWritten = false;
    }
    return outputsWritten ? static_cast<int>(result.status) : kCliOutputFailed;
}

int cliBatch(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    if (std::find(args.begin(), args.end(), "--optimize") != args.end())
        return cliBatchOptimize(args, err, progressBar);
    std::string inventory, regimePath, outDir;
    unsigned jobs = 0;
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
            const std::string j = args[++i];
            char *end = nullptr;
            const unsigned long v = std::strtoul(j.c_str(), &end, 10);
            if (j.empty() || *end != '\0' || v == 0 || v > 1024)
                return cliUsageError(err, "--jobs must be a whole number from 1 to 1024");
            jobs = static_cast<unsigned>(v);
            options.jobs = jobs;
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

int cliMerge(const std::vector<std::string> &args, std::ostream &err)
{
    std::vector<std::filesystem::path> files;
    for (const std::string &a : args) {
        if (a.empty() || a[0] == '-')
            return cliUsageError(err, "unexpected argument \"" + shownText(a) + "\"");
        files.emplace_back(a);
    }
    if (files.size() < 2)
        return cliUsageError(err, "merge needs a target database and at least one shard database");
    if (!isDatabaseFile(files.front()))
        return cliUsageError(err, "the merge target must be a .sqlite, .db or .gpkg file");
    try {
        const MergeSummary s = mergeShards(files.front(), {files.begin() + 1, files.end()});
        err << s.shards << " shards merged: run " << s.runId << " with " << s.stands << " stands\n";        if (s.mapLeftOut)
            err << "note: the shards' map layer is not copied between a GeoPackage and a plain SQLite database\n";
    } catch (...) {
        return reportFailure(err);
    }
    return kCliOk;
}

int cliCompare(const std::vector<std::string> &args, std::ostream &err)
{
    std::vector<std::string> scenarios;
    std::string chartPath, csvPath;
    if (const std::string why = repeatedOrEmptyOption(args, {"--chart", "--csv"}, {}); !why.empty())
        return cliUsageError(err, why);
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--chart" && i + 1 < args.size())
            chartPath = args[++i];
        else if (args[i] == "--csv" && i + 1 < args.size())
            csvPath = args[++i];
        else if (!args[i].empty() && args[i][0] != '-')
            scenarios.push_back(args[i]);
        else
            return cliUsageError(err, "unexpected argument \"" + shownText(args[i]) + "\"");
    }
    if (scenarios.empty() || chartPath.empty())
        return cliUsageError(err, "compare needs at least one scenario and --chart");
    const QString chart = QString::fromStdString(chartPath);
    if (!chart.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !chart.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return cliUsageError(err, "--chart must name a .png or .svg file");

    std::vector<NamedPath> inputs;
    for (const std::string &sc : scenarios)
        inputs.push_back({"the scenario file", sc});
    const std::string problem = clobberingProblem({{"--chart", chartPath}, {"--csv", csvPath}}, inputs);
    if (!problem.empty()) {
        err << "tavelo-cli: " << problem << "\n";
        return kCliUsage;
    }

    // Every scenario is read before anything is drawn.
    const std::vector<std::string> labels = regimeLabels(scenarios);
    std::vector<RegimeSeries> regimes;
    int status = kCliOk;
    for (size_t i = 0; i < scenarios.size(); ++i) {
        StandState state;
        // The logs are not wanted here: kept in memory, nothing on disk.
        std::string logBytes;
        LogFile log("Simulacao" + std::to_string(i + 1) + ".temp");
        log.collectInto(&logBytes);
        std::optional<EconomicInputs> economics;
        std::optional<CarbonFactors> carbon;
        int failure = kCliUsage;
        const auto result = playScenario(scenarios[i], state, log, err, failure, &economics, &carbon);
        if (!result)
            return failure;
        if (result->status == RunResult::Status::Refused && !result->message) {
            // A bad economics value or carbon factor (said on standard error): not simulated, not drawn.
            status = std::max(status, kCliRefused);
            continue;
        }
        if (result->message) {
            err << scenarios[i] << ": ";
            printMessage(err, outcomeWord(*result), *result->message);
            // The worst outcome decides: a regime ended by the model over one refused.
            status = std::max(status, static_cast<int>(result->status));
        }
        regimes.push_back(regimeSeries(labels[i], state));
        if (economics && result->status == RunResult::Status::Completed)
            if (const auto v = valueSimulation(state, *economics))
                regimes.back().npv = v->npv;
        if (carbon && result->status == RunResult::Status::Completed)
            if (const auto account = carbonOfSimulation(state, *carbon))
                regimes.back().meanCarbonStock = account->meanStock;
    }

    const QString format = chart.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) ? QStringLiteral("png")
                                                                                        : QStringLiteral("svg");
    bool outputsWritten = true;
    if (const auto bytes = renderComparisonChart(regimes, format)) {
        outputsWritten = writeOutputFile(chartPath, std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())), err);
    } else {
        err << "tavelo-cli: cannot write " << chartPath << ": the chart could not be drawn\n";
        outputsWritten = false;
    }
    if (!csvPath.empty() && !writeOutputFile(csvPath, comparisonCsv(regimes), err))
        outputsWritten = false;
    return outputsWritten ? status : kCliOutputFailed;
}

int reportFailure(std::ostream &err)
{
    try {
        throw;
    } catch (const BatchOutputError &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliOutputFailed;
    } catch (const std::exception &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
}

} // namespace tavelo
