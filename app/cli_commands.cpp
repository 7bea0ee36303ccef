#include "cli_commands.h"

#include "app/batch.h"
#include "app/merge.h"
#include "app/results_db.h"
#include "app/scenario.h"
#include "results/regime_chart.h"
#include "results/regime_comparison.h"

#include <QDate>
#include <QSaveFile>
#include <QString>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ios>
#include <random>
#include <iterator>
#include <ostream>
#include <sstream>

namespace tavelo {

namespace {

std::string thisYear()
{
    return QString::number(QDate::currentDate().year()).toStdString();
}

bool readFile(const std::string &path, std::string &out)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    try {
        out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::ios_base::failure &) {
        return false; // a folder opens but cannot be read
    }
    return !in.bad();
}

bool writeFile(const std::string &path, const std::string &bytes)
{
    QSaveFile out(QString::fromStdString(path));
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size())) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

int usage(std::ostream &err, const std::string &why)
{
    if (!why.empty())
        err << "tavelo-cli: " << why << "\n";
    err << cliUsage();
    return kCliUsage;
}

void printMessage(std::ostream &err, const char *what, const Message &m)
{
    err << what << ": " << m.title << ": " << m.text << "\n";
}

// Reads and plays one scenario file; nothing when the file is unusable.
std::optional<RunResult> playScenario(const std::string &path, StandState &state, const std::string &logPath,
                                      std::ostream &err)
{
    std::string json;
    if (!readFile(path, json)) {
        err << "tavelo-cli: cannot read " << path << "\n";
        return std::nullopt;
    }
    const auto parsed = parseScenario(json, thisYear());
    if (const auto *error = std::get_if<std::string>(&parsed)) {
        err << "tavelo-cli: " << path << ": " << *error << "\n";
        return std::nullopt;
    }
    return runScenario(std::get<Scenario>(parsed), state, logPath);
}

} // namespace

std::string cliUsage()
{
    return "usage: tavelo-cli run SCENARIO.json --log LOG.txt [--record RECORD.csv]\n"
           "       tavelo-cli batch STANDS.csv|STANDS.sqlite|.db|.gpkg [--table NAME] --regime REGIME.json\n"
           "                  (--out DIR | --db RESULTS.sqlite|.db|.gpkg) [--jobs N] [--resume] [--shard K/N]\n"
           "       tavelo-cli merge TARGET.sqlite|.db|.gpkg SHARD...\n"
           "       tavelo-cli compare A.json B.json [...] --chart OUT.png|OUT.svg [--csv OUT.csv]\n";
}

int cliRun(const std::vector<std::string> &args, std::ostream &err)
{
    std::string scenarioPath, logPath, recordPath;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--log" && i + 1 < args.size())
            logPath = args[++i];
        else if (args[i] == "--record" && i + 1 < args.size())
            recordPath = args[++i];
        else if (!args[i].empty() && args[i][0] != '-' && scenarioPath.empty())
            scenarioPath = args[i];
        else
            return usage(err, "unexpected argument \"" + args[i] + "\"");
    }
    if (scenarioPath.empty() || logPath.empty())
        return usage(err, "run needs a scenario file and --log");

    StandState state;
    const auto result = playScenario(scenarioPath, state, logPath, err);
    if (!result)
        return kCliUsage;
    for (const Message &m : result->notices)
        printMessage(err, "note", m);
    if (result->message)
        printMessage(err, result->status == RunResult::Status::EndedByModel ? "ended" : "refused", *result->message);
    if (!recordPath.empty() && !writeFile(recordPath, recordCsv(state))) {
        err << "tavelo-cli: cannot write " << recordPath << "\n";
        return kCliUsage;
    }
    return static_cast<int>(result->status);
}

int cliBatch(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    std::string inventory, regimePath, outDir;
    unsigned jobs = 0;
    BatchOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--db" && i + 1 < args.size()) {
            options.database = args[++i];
            if (!isDatabaseFile(options.database))
                return usage(err, "--db must name a .sqlite, .db or .gpkg file");
        } else if (args[i] == "--table" && i + 1 < args.size()) {
            options.table = args[++i];
        } else if (args[i] == "--resume") {
            options.resume = true;
        } else if (args[i] == "--shard" && i + 1 < args.size()) {
            const auto shard = parseShard(args[++i]);
            if (!shard)
                return usage(err, "--shard must be K/N with K from 1 to N");
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
                return usage(err, "--jobs must be a whole number from 1 to 1024");
            jobs = static_cast<unsigned>(v);
        } else if (!args[i].empty() && args[i][0] != '-' && inventory.empty()) {
            inventory = args[i];
        } else {
            return usage(err, "unexpected argument \"" + args[i] + "\"");
        }
    }
    if (inventory.empty() || regimePath.empty() || (outDir.empty() && options.database.empty()))
        return usage(err, "batch needs an inventory, --regime, and --out or --db");
    if (options.table != "stands" && !isDatabaseFile(inventory))
        return usage(err, "--table names a table of a .sqlite, .db or .gpkg inventory");
    if (options.resume && options.database.empty())
        return usage(err, "--resume continues a run in the results database given with --db");

    std::string json;
    if (!readFile(regimePath, json))
        return usage(err, "cannot read " + regimePath);
    const auto regime = parseRegime(json, thisYear());
    if (const auto *error = std::get_if<std::string>(&regime)) {
        err << "tavelo-cli: " << regimePath << ": " << *error << "\n";
        return kCliUsage;
    }

    options.jobs = jobs;
    options.regimeJson = json;
    if (progressBar) {
        options.progress = [&err, last = -1](size_t done, size_t total) mutable {
            const int width = 40;
            const int filled = total ? static_cast<int>(width * done / total) : width;
            const int percent = total ? static_cast<int>(100 * done / total) : 100;
            if (percent == last && done != total)
                return;
            last = percent;
            err << "\r[" << std::string(filled, '#') << std::string(width - filled, '.') << "] " << done << "/"
                << total << std::flush;
        };
    }
    try {
        const BatchSummary s = runBatch(inventory, std::get<Regime>(regime), outDir, options);
        if (progressBar)
            err << "\n";
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%.2f", s.seconds);
        if (options.resume)
            err << (s.resumed ? "resumed: " + std::to_string(s.alreadyDone) + " stands were already done\n"
                              : std::string("no unfinished run of this work: a new run started\n"));
        err << s.stands << " stands: " << s.done << " done, " << s.refused << " refused, " << s.endedByModel
            << " ended by the model, " << s.malformed << " malformed rows; " << seconds << " s\n";
    } catch (const OutputError &e) {
        if (progressBar)
            err << "\n";
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliCannotWrite;
    } catch (const std::exception &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
    return kCliOk;
}

int cliMerge(const std::vector<std::string> &args, std::ostream &err)
{
    std::vector<std::filesystem::path> files;
    for (const std::string &a : args) {
        if (a.empty() || a[0] == '-')
            return usage(err, "unexpected argument \"" + a + "\"");
        files.emplace_back(a);
    }
    if (files.size() < 2)
        return usage(err, "merge needs a target database and at least one shard database");
    if (!isDatabaseFile(files.front()))
        return usage(err, "the merge target must be a .sqlite, .db or .gpkg file");
    try {
        const MergeSummary s = mergeShards(files.front(), {files.begin() + 1, files.end()});
        err << s.shards << " shards merged: run " << s.runId << " with " << s.stands << " stands\n";
    } catch (const OutputError &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliCannotWrite;
    } catch (const std::exception &e) {
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
    return kCliOk;
}

int cliCompare(const std::vector<std::string> &args, std::ostream &err)
{
    std::vector<std::string> scenarios;
    std::string chartPath, csvPath;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--chart" && i + 1 < args.size())
            chartPath = args[++i];
        else if (args[i] == "--csv" && i + 1 < args.size())
            csvPath = args[++i];
        else if (!args[i].empty() && args[i][0] != '-')
            scenarios.push_back(args[i]);
        else
            return usage(err, "unexpected argument \"" + args[i] + "\"");
    }
    if (scenarios.empty() || chartPath.empty())
        return usage(err, "compare needs at least one scenario and --chart");
    const QString chart = QString::fromStdString(chartPath);
    if (!chart.endsWith(QLatin1String(".png"), Qt::CaseInsensitive) &&
        !chart.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive))
        return usage(err, "--chart must name a .png or .svg file");

    std::vector<RegimeSeries> regimes;
    const std::filesystem::path scratch = std::filesystem::temp_directory_path() /
                                          ("tavelo-compare-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(scratch);
    int status = kCliOk;
    for (size_t i = 0; i < scenarios.size(); ++i) {
        StandState state;
        const auto result =
            playScenario(scenarios[i], state, (scratch / ("log" + std::to_string(i) + ".txt")).string(), err);
        if (!result) {
            status = kCliUsage;
            break;
        }
        if (result->message)
            printMessage(err, result->status == RunResult::Status::EndedByModel ? "ended" : "refused",
                         *result->message);
        regimes.push_back(regimeSeries(std::filesystem::path(scenarios[i]).filename().string(), state));
    }
    std::error_code ec;
    std::filesystem::remove_all(scratch, ec);
    if (status != kCliOk)
        return status;

    if (!renderComparisonChart(regimes, chart)) {
        err << "tavelo-cli: cannot write " << chartPath << "\n";
        return kCliUsage;
    }
    if (!csvPath.empty() && !writeFile(csvPath, comparisonCsv(regimes))) {
        err << "tavelo-cli: cannot write " << csvPath << "\n";
        return kCliUsage;
    }
    return kCliOk;
}

} // namespace tavelo
