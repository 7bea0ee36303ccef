// tavelo-cli plan: one regime per stand of an inventory, chosen for the
// forest's value under constraints on its harvest over time. The arguments
// become a request for the plan job; its outcome becomes the command line's words.

#include "app/cli/cli_commands.h"
#include "screens/charts/regime_chart.h"
#include "app/cli/stop_signals.h"
#include "base/calendar.h"
#include "base/numeric_text.h"
#include "base/output_folder.h"
#include "base/whole_file.h"
#include "inventory/batch.h"
#include "inventory/plan_job.h"
#include "inventory/results_db.h"
#include "inventory/results_tables.h"
#include "regimes/economics_run.h"
#include "regimes/search_space.h"
#include "session/results/regime_comparison.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <ostream>

namespace tavelo {

namespace {

constexpr double kNotANumber = std::numeric_limits<double>::quiet_NaN();

// A number typed on the command line, with the program's numeric rule; not a
// number (refused by the request's check) when it is none.
double numberArgument(const std::string &text)
{
    return parseNumber(text).value_or(kNotANumber);
}

// The horizon as whole years; -1 (refused by the request's check) when it is
// not a whole number of years.
int horizonArgument(const std::string &text)
{
    const double years = numberArgument(text);
    if (!std::isfinite(years) || years < 0.0 || years > 10000.0 || std::floor(years) != years)
        return -1;
    return static_cast<int>(years);
}

const char *requestFieldText(PlanRequestField field)
{
    switch (field) {
    case PlanRequestField::Horizon:
        return "--horizon must be a number of years, a multiple of 5 from 5 to 200";
    case PlanRequestField::CandidateSource:
        return "plan needs either --space or --regimes";
    case PlanRequestField::EvenPercent:
        return "--flow even:PCT needs a percentage from 0 to 100";
    case PlanRequestField::EndingStockPercent:
        return "--ending-stock must be a percentage from 0 to 1000";
    case PlanRequestField::GapPercent:
        return "--gap must be a percentage from 0 to 100";
    case PlanRequestField::TimeLimit:
        return "--time-limit must be a number of seconds above 0";
    case PlanRequestField::MinCarbon:
        return "--min-carbon must be a number of t C/ha from 0 to 10000";
    case PlanRequestField::FrontPoints:
        return "--front carbon:N needs N from 1 to 50, with --objective npv and without --min-carbon";
    case PlanRequestField::GreenUp:
        return "--green-up must be a number of years, a multiple of 5 from 5 to 200";
    case PlanRequestField::MaxOpening:
        return "--max-opening must be a number of hectares above 0";
    case PlanRequestField::MinSharedBoundary:
        return "--min-shared-boundary must be a number of metres, 0 or more";
    case PlanRequestField::SoftPrice:
        return "--adjacency soft:EUR needs a number of euros, 0 or more";
    }
    return "";
}

std::string fixed(double v, int decimals)
{
    return formatFixed(v, decimals);
}

// How the solver came to the plan.
std::string planWayText(const PlanSolution &s, PlanObjective objective)
{
    const char *unit = objective == PlanObjective::Carbon ? " t C" : " €";
    std::string text = "found by ";
    switch (s.way) {
    case PlanWay::Relaxation:
        text += "the LP relaxation";
        break;
    case PlanWay::SplitStandsSearch:
        text += "a search over the " + std::to_string(s.splitStands) + " stands the LP relaxation split";
        break;
    case PlanWay::SearchFromStart:
        text += "the full search, started from the LP relaxation's plan";
        break;
    case PlanWay::SearchFromScratch:
        text += "the full search";
        break;
    }
    return text + " (LP bound " + fixed(s.relaxationBound, 2) + unit + "; " + fixed(s.relaxationSeconds, 2) + " s)";
}

constexpr double kBytesAGigabyte = 1e9;

std::string gigabytes(uint64_t bytes)
{
    const double b = static_cast<double>(bytes);
    return b < kBytesAGigabyte ? formatFixed(b / 1e6, 0) + " MB" : formatFixed(b / kBytesAGigabyte, 1) + " GB";
}

int refusedWith(std::ostream &err, const std::string &why)
{
    err << "tavelo-cli: " << why << "\n";
    return kCliUsage;
}

std::string tooLargeText(const PlanFailure::Size &size, bool limitGiven)
{
    return "the candidates of " + std::to_string(size.stands) + " stands (up to " + std::to_string(size.candidates) +
           ") would need about " + gigabytes(size.neededBytes) + ", more than the " + gigabytes(size.availableBytes) +
           (limitGiven ? " --max-memory allows" : " available") +
           "; gather them on several machines (--candidates-only --shard K/N) and plan them on a larger one, or "
           "plan fewer stands";
}

std::string gatheringProblemText(const std::string &file, const CandidateStoreProblem &problem)
{
    using Kind = CandidateStoreProblem::Kind;
    switch (problem.kind) {
    case Kind::Unreadable:
        return "cannot read " + file + ": " + problem.detail;
    case Kind::NoGathering:
        return file + " holds no finished gathering of candidates (plan --candidates-only --db FILE)";
    case Kind::OnlyShards:
        return file + " holds only shards of a gathering (" + problem.detail +
               "); merge them first (tavelo-cli merge WHOLE.sqlite SHARDS...)";
    }
    return {};
}

// plan --candidates-only: the candidates of a share of the inventory into a
// results database, committed as they come.
int gatherOnly(const PlanRequest &plan, const std::string &database, const ShardSpec &shard, bool resume,
               std::ostream &err, bool progressBar)
{
    GatheringRequest request;
    request.plan = plan;
    request.database = database;
    request.shardIndex = shard.index;
    request.shardCount = shard.count;
    request.resume = resume;
    const StopOnSignals stopOnSignals;
    std::function<void(size_t, size_t)> bar;
    if (progressBar)
        bar = terminalProgressBar(err, ProgressText::Count);
    const GatheringOutcome out = gatherCandidatesInto(request, bar, stopOnSignals.flag());
    if (progressBar)
        err << "\n";
    printInventoryWarnings(err, out.warnings);
    using Kind = PlanFailure::Kind;
    if (out.failure && out.failure->kind == Kind::InvalidRequest && out.failure->field)
        return cliUsageError(err, requestFieldText(*out.failure->field));
    if (out.failure && out.failure->kind == Kind::InventoryUnusable) {
        err << "tavelo-cli: " << out.failure->detail << "\n";
        return kCliUsage;
    }
    if (out.resumed)
        err << "resumed: " << out.alreadyDone << " stands were already gathered\n";
    else if (resume)
        err << "nothing to resume in " << database << ": a new gathering was started\n";
    err << "shard " << shard.index << "/" << shard.count << " of " << out.rows << " stands: " << out.planned
        << " planned, " << out.withoutCandidates << " without candidates; " << out.candidates << " candidates into "
        << database << "\n";
    if (out.failure && out.failure->kind == Kind::OutputUnusable) {
        err << "tavelo-cli: " << out.failure->detail << "\n";
        return kCliOutputFailed;
    }
    if (out.failure && out.failure->kind == Kind::CancelledGathering) {
        err << "interrupted: the stands gathered are kept in " << database << "; continue with --resume\n";
        return kCliInterrupted;
    }
    return kCliOk;
}

// The neighbours' options as typed.
struct SpatialArguments {
    std::string greenUp, maxOpening, minShared, adjacency;
};

// Reads them into the request; the words for a usage error, if any. Values
// out of range are left to the request's check.
std::optional<std::string> readSpatialArguments(const SpatialArguments &a, PlanRequest &request)
{
    if (a.greenUp.empty()) {
        if (!a.maxOpening.empty() || !a.adjacency.empty() || !a.minShared.empty())
            return "--max-opening, --adjacency and --min-shared-boundary need --green-up";
        return std::nullopt;
    }
    SpatialRule rule;
    const double years = numberArgument(a.greenUp);
    rule.greenUpYears = std::isfinite(years) && std::floor(years) == years && std::abs(years) <= 10000.0
                            ? static_cast<int>(years)
                            : -1;
    if (!a.maxOpening.empty())
        rule.maxOpeningHa = numberArgument(a.maxOpening);
    if (a.adjacency.rfind("soft:", 0) == 0)
        rule.softPrice = numberArgument(a.adjacency.substr(5));
    else if (!a.adjacency.empty() && a.adjacency != "hard")
        return "--adjacency must be hard or soft:EUR";
    if (!a.minShared.empty())
        request.minSharedBoundary = numberArgument(a.minShared);
    request.constraints.spatial = rule;
    return std::nullopt;
}

// The summary's line on the neighbours' rule: what it forbade and what it cost.
std::string spatialSummary(const PlanResult &result)
{
    const SpatialOutcome &o = *result.solution.spatial;
    const SpatialRule &rule = *result.spatial;
    std::string text = "neighbours: " + std::to_string(result.adjacency.size()) + " pairs; " +
                       std::to_string(o.conflicts) +
                       (rule.maxOpeningHa ? " openings over " + plainNumberText(*rule.maxOpeningHa) + " ha"
                                          : std::string(" pairs felled within the green-up"));
    if (rule.maxOpeningHa)
        text += "; " + std::to_string(o.rounds) + (o.rounds == 1 ? " round" : " rounds") + " of added openings";
    if (rule.softPrice)
        text += "; charged " + fixed(o.penalty, 2) + " €";
    return text + "; value without the rule " + fixed(o.aspatialObjective, 2) + " €, the rule costs " +
           fixed(o.aspatialObjective - result.solution.objective, 2) + " €";
}

} // namespace

int cliPlan(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    std::string inventory, spacePath, economicsPath, outDir, database, table; // table: the layer, empty for the default one
    std::vector<std::string> regimePaths;
    bool overwrite = false;
    std::string horizonText, flowText, flowOn = "total", endingText, gapText, jobsText, timeLimitText,
        chartFormat = "png", modelPath, shardText, candidatesDb, memoryText, minCarbonText, objectiveText, frontText;
    bool candidatesOnly = false, resume = false, chartGiven = false;
    CandidateSource source;
    SpatialArguments spatial;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--space" && hasValue)
            spacePath = args[++i];
        else if (a == "--regimes") {
            while (i + 1 < args.size() && !args[i + 1].empty() && args[i + 1][0] != '-')
                regimePaths.push_back(args[++i]);
            if (regimePaths.empty())
                return cliUsageError(err, "--regimes needs at least one regime file");
        } else if (a == "--economics" && hasValue)
            economicsPath = args[++i];
        else if (a == "--horizon" && hasValue)
            horizonText = args[++i];
        else if (a == "--flow" && hasValue)
            flowText = args[++i];
        else if (a == "--flow-on" && hasValue)
            flowOn = args[++i];
        else if (a == "--ending-stock" && hasValue)
            endingText = args[++i];
        else if (a == "--gap" && hasValue)
            gapText = args[++i];
        else if (a == "--time-limit" && hasValue)
            timeLimitText = args[++i];
        else if (a == "--out" && hasValue)
            outDir = args[++i];
        else if (a == "--green-up" && hasValue)
            spatial.greenUp = args[++i];
        else if (a == "--max-opening" && hasValue)
            spatial.maxOpening = args[++i];
        else if (a == "--min-shared-boundary" && hasValue)
            spatial.minShared = args[++i];
        else if (a == "--adjacency" && hasValue)
            spatial.adjacency = args[++i];
        else if (a == "--db" && hasValue) {
            database = args[++i];
            // Checked before any work, as batch does: a file that cannot take the results stays as it is.
            if (const auto refused = refusedResultsDatabase(database, err))
                return *refused;
        } else if (a == "--max-regimes" && hasValue) {
            if (const auto refused = readMaxRegimes(args[++i], source.maxRegimes, err))
                return *refused;
        }
        else if ((a == "--layer" || a == "--table") && hasValue)
            table = args[++i];
        else if (a == "--jobs" && hasValue)
            jobsText = args[++i];
        else if (a == "--overwrite")
            overwrite = true;
        else if (a == "--chart" && hasValue) {
            chartFormat = args[++i];
            chartGiven = true;
        } else if (a == "--candidates-only")
            candidatesOnly = true;
        else if (a == "--shard" && hasValue)
            shardText = args[++i];
        else if (a == "--resume")
            resume = true;
        else if (a == "--candidates" && hasValue)
            candidatesDb = args[++i];
        else if (a == "--max-memory" && hasValue)
            memoryText = args[++i];
        else if (a == "--min-carbon" && hasValue)
            minCarbonText = args[++i];
        else if (a == "--objective" && hasValue)
            objectiveText = args[++i];
        else if (a == "--front" && hasValue)
            frontText = args[++i];
        else if (a == "--write-model" && hasValue) {
            modelPath = args[++i];
            const std::string ext = std::filesystem::path(modelPath).extension().string();
            if (ext != ".mps" && ext != ".lp")
                return cliUsageError(err, "--write-model must name a .mps or .lp file");
        }
        else if (!a.empty() && a[0] != '-' && inventory.empty())
            inventory = a;
        else
            return cliUsageError(err, "unexpected argument \"" + a + "\"");
    }
    // Planned from gathered candidates: their inventory, economics, horizon and source come with them.
    std::optional<StoredGathering> stored;
    if (!candidatesDb.empty()) {
        if (!inventory.empty() || !spacePath.empty() || !regimePaths.empty() || !economicsPath.empty() ||
            !horizonText.empty() || candidatesOnly)
            return cliUsageError(err, "--candidates plans from candidates gathered with their inventory, economics and "
                                      "horizon; leave out the inventory, --space, --regimes, --economics, --horizon "
                                      "and --candidates-only");
        const auto found = findGathering(candidatesDb);
        if (const auto *problem = std::get_if<CandidateStoreProblem>(&found))
            return refusedWith(err, gatheringProblemText(candidatesDb, *problem));
        stored = std::get<StoredGathering>(found);
        horizonText = std::to_string(stored->work.horizonYears);
    } else {
        if (inventory.empty() || economicsPath.empty() || horizonText.empty())
            return cliUsageError(err, "plan needs an inventory, --space or --regimes, --economics and --horizon");
        if (spacePath.empty() == regimePaths.empty())
            return cliUsageError(err, "plan needs either --space or --regimes");
    }
    std::optional<ShardSpec> shard;
    if (candidatesOnly) {
        if (database.empty() || !outDir.empty())
            return cliUsageError(err, "--candidates-only gathers the candidates into the results database given with "
                                      "--db; leave out --out");
        if (!flowText.empty() || !endingText.empty() || !gapText.empty() || !timeLimitText.empty() ||
            !modelPath.empty() || chartGiven || !memoryText.empty() || !minCarbonText.empty() ||
            !objectiveText.empty() || !frontText.empty() || !spatial.greenUp.empty() || !spatial.maxOpening.empty() ||
            !spatial.minShared.empty() || !spatial.adjacency.empty())
            return cliUsageError(err, "--candidates-only solves nothing; give --flow, --ending-stock, --gap, "
                                      "--time-limit, --write-model, --chart, --max-memory, --min-carbon, "
                                      "--objective, --front and the neighbours' options to plan --candidates");
        shard = parseShard(shardText.empty() ? "1/1" : shardText);
        if (!shard)
            return cliUsageError(err, "--shard must be K/N with K from 1 to N");
    } else if (!shardText.empty() || resume) {
        return cliUsageError(err, "--shard and --resume gather candidates: give them with --candidates-only");
    } else if (outDir.empty() && database.empty()) {
        return cliUsageError(err, "plan needs --out or --db");
    }
    if (chartFormat != "png" && chartFormat != "svg")
        return cliUsageError(err, "--chart must be png or svg");
    std::optional<uint64_t> memoryBytes;
    if (!memoryText.empty()) {
        const double gb = numberArgument(memoryText);
        if (!(gb > 0.0 && gb <= 1e6))
            return cliUsageError(err, "--max-memory must be a number of gigabytes above 0");
        memoryBytes = static_cast<uint64_t>(gb * kBytesAGigabyte);
    }
    // The results are written at the end: a file that could not take them stops the plan before its work.
    if (!database.empty()) {
        try {
            ResultsDb::checkWritable(database);
        } catch (const BatchOutputError &e) {
            err << "tavelo-cli: " << e.what() << "\n";
            return kCliOutputFailed;
        }
    }

    // Every value is checked before any file is read, in the order the options are told.
    PlanRequest request;
    request.settings.horizonYears = horizonArgument(horizonText);
    PlanConstraints &constraints = request.constraints;
    bool flowKnown = true;
    if (flowText == "nondecreasing") {
        constraints.flow = FlowRule::Nondecreasing;
    } else if (flowText.rfind("even:", 0) == 0) {
        constraints.flow = FlowRule::Even;
        constraints.evenPercent = numberArgument(flowText.substr(5));
    } else if (!flowText.empty()) {
        flowKnown = false;
    }
    const bool flowOnKnown = flowOn == "sawlog" || flowOn == "total";
    if (flowOn == "sawlog")
        constraints.basis = FlowBasis::Sawlog;
    if (!endingText.empty())
        constraints.endingStockPercent = numberArgument(endingText);
    if (!gapText.empty())
        constraints.gapPercent = numberArgument(gapText);
    if (!timeLimitText.empty())
        constraints.maxSeconds = numberArgument(timeLimitText);
    if (!minCarbonText.empty())
        constraints.minCarbonPerHa = numberArgument(minCarbonText);
    if (objectiveText == "carbon")
        constraints.objective = PlanObjective::Carbon;
    else if (!objectiveText.empty() && objectiveText != "npv")
        return cliUsageError(err, "--objective must be npv or carbon");
    if (!frontText.empty()) {
        const double n = frontText.rfind("carbon:", 0) == 0 ? numberArgument(frontText.substr(7)) : kNotANumber;
        if (!(n >= 1.0 && n <= static_cast<double>(kMostFrontPoints) && std::floor(n) == n))
            return cliUsageError(err, requestFieldText(PlanRequestField::FrontPoints));
        request.frontPoints = static_cast<size_t>(n);
    }
    if (const auto why = readSpatialArguments(spatial, request))
        return cliUsageError(err, *why);
    // The request's own check; the candidates' source is read later.
    auto problem = planRequestProblem(request);
    if (problem == PlanRequestField::CandidateSource)
        problem.reset();
    if (problem == PlanRequestField::Horizon)
        return cliUsageError(err, requestFieldText(*problem));
    if (!flowKnown)
        return cliUsageError(err, "--flow must be even:PCT or nondecreasing");
    if (problem == PlanRequestField::EvenPercent)
        return cliUsageError(err, requestFieldText(*problem));
    if (!flowOnKnown)
        return cliUsageError(err, "--flow-on must be total or sawlog");
    if (problem)
        return cliUsageError(err, requestFieldText(*problem));
    if (!jobsText.empty())
        if (const auto refused = readJobs(jobsText, request.jobs, err))
            return *refused;

    // The economics file: a regime file whose options give the model options
    // and the plan's first year, and whose economics section the prices.
    std::string econJson;
    if (stored) {
        econJson = stored->work.economicsJson;
        economicsPath = candidatesDb + " (the economics of its candidates)";
    } else if (!readInputFile(economicsPath, econJson)) {
        return cliUsageError(err, "cannot read " + economicsPath);
    }
    const auto econ = parseRegime(econJson, thisYear());
    if (const auto *problem = std::get_if<ReadProblem>(&econ))
        return reportFileProblem(err, economicsPath, *problem);
    const Regime &econRegime = std::get<Regime>(econ);
    if (!econRegime.economics)
        return cliUsageError(err, "--economics needs an \"economics\" section in " + economicsPath);
    const CheckedEconomics checked = checkEconomics(econRegime.economics, economicsPath, err);
    if (!checked.accepted)
        return kCliRefused;
    PlanSettings &settings = request.settings;
    settings.options = econRegime.options;
    settings.economics = *checked.inputs;
    const auto land = readLandValue(*econRegime.economics);
    if (const auto *m = std::get_if<Message>(&land)) {
        err << "tavelo-cli: " << economicsPath << ": " << kLandValueKeyPath << ": " << m->title << ": " << m->text
            << "\n";
        return kCliRefused;
    }
    settings.landValue = std::get<double>(land);
    const CheckedCarbon carbon = checkCarbon(econRegime.carbon, economicsPath, err);
    if (!carbon.accepted)
        return kCliRefused;
    settings.carbon = carbon.factors.value_or(defaultCarbonFactors());
    const auto year = parseNumber(settings.options.year);
    if (!year || *year < 1000 || *year > 9999 || std::floor(*year) != *year) {
        err << "tavelo-cli: " << economicsPath << ": options.year must be a year such as 2026\n";
        return kCliRefused;
    }
    settings.startYear = static_cast<int>(*year);

    if (!spacePath.empty()) {
        std::string json;
        if (!readInputFile(spacePath, json))
            return cliUsageError(err, "cannot read " + spacePath);
        auto space = parseSearchSpace(json);
        if (const auto *e = std::get_if<SearchSpaceError>(&space))
            return reportFileProblem(err, spacePath, e->problem);
        source.space = std::get<SearchSpace>(space);
        request.sourceJson = candidateSourceJson(json);
    }
    std::vector<std::pair<std::string, std::string>> regimeFiles;
    const std::vector<std::string> labels = regimePaths.empty() ? std::vector<std::string>{} : regimeLabels(regimePaths);
    for (size_t i = 0; i < regimePaths.size(); ++i) {
        std::string json;
        if (!readInputFile(regimePaths[i], json))
            return cliUsageError(err, "cannot read " + regimePaths[i]);
        auto regime = parseRegime(json, thisYear());
        if (const auto *problem = std::get_if<ReadProblem>(&regime))
            return reportFileProblem(err, regimePaths[i], *problem);
        if (!checkCarbon(std::get<Regime>(regime).carbon, regimePaths[i], err).accepted)
            return kCliRefused;
        if (std::get<Regime>(regime).options.year != settings.options.year) {
            err << "tavelo-cli: " << regimePaths[i] << ": options.year differs from the plan's year "
                << settings.options.year << " (" << economicsPath << ")\n";
            return kCliUsage;
        }
        source.regimes.emplace_back(labels[i], std::get<Regime>(std::move(regime)));
        regimeFiles.emplace_back(labels[i], std::move(json));
    }
    if (!regimeFiles.empty())
        request.sourceJson = candidateSourceJson(regimeFiles);

    request.inventory = inventory;
    request.layer = table;
    if (stored) {
        request.inventory = stored->run.identity.inventory;
        request.layer = stored->run.identity.inventoryTable;
        request.candidatesDatabase = candidatesDb;
        inventory = candidatesDb; // what the messages name
    }
    request.memoryBytes = memoryBytes;
    request.source = std::move(source);
    request.economicsJson = std::move(econJson);
    if (!modelPath.empty())
        request.modelFile = modelPath;

    if (candidatesOnly)
        return gatherOnly(request, database, *shard, resume, err, progressBar);

    // The output folder is checked before the work, as batch does.
    if (!outDir.empty()) {
        if (const auto problem =
                prepareOutputFolder(outDir, overwrite, isPlanOutputFile, {{"the inventory", inventory}})) {
            err << "tavelo-cli: " << problem->why << "\n";
            return kCliUsage;
        }
    }

    // Ctrl-C or SIGTERM: the stands under way finish and no plan is written.
    const StopOnSignals stopOnSignals;
    bool barOpen = progressBar; // the bar's line ends even when the job stops before drawing it
    const auto endBar = [&] {
        if (barOpen)
            err << "\n";
        barOpen = false;
    };
    bool written = true;
    auto save = [&](const std::string &name, std::string_view bytes) {
        if (outDir.empty())
            return;
        const std::filesystem::path path = std::filesystem::path(outDir) / name;
        std::error_code ec; // a front's plans go to folders of their own; a failure shows in the write
        std::filesystem::create_directories(path.parent_path(), ec);
        if (auto why = writeWholeFile(path, bytes)) {
            err << "tavelo-cli: cannot write " << path.string() << ": " << *why << "\n";
            written = false;
        }
    };
    // The candidates are told, and their files written, as the solver starts (or
    // after the job when it never starts): a long solve shows them meanwhile.
    bool candidatesTold = false;
    const auto tellCandidates = [&](const PlanInventory &inv) {
        endBar();
        printInventoryWarnings(err, inv.warnings);
        for (const auto &[name, bytes] : candidateCsvFiles(request, inv))
            save(name, bytes);
        size_t candidates = 0;
        for (const PlanStand &s : inv.stands)
            candidates += s.candidates.size();
        // A planned stand whose outline is invalid has a line too.
        const auto invalidOutlines = static_cast<size_t>(std::count_if(
            inv.errorRows.begin(), inv.errorRows.end(),
            [](const std::vector<std::string> &row) { return row.size() > 1 && row[1] == kInvalidOutlineStatus; }));
        err << inv.rows << " stands: " << inv.stands.size() << " planned, " << inv.errorRows.size() - invalidOutlines
            << " without candidates (see " << (outDir.empty() ? kErrorsTable.name : "errors.csv") << "); "
            << candidates << " candidates";
        if (invalidOutlines > 0)
            err << "; " << invalidOutlines << " planned without neighbours, their outlines invalid";
        err << "\n";
        candidatesTold = true;
    };
    std::function<void(size_t, size_t)> bar;
    if (progressBar)
        bar = terminalProgressBar(err, ProgressText::Count);
    const auto progress = [&](const PlanProgress &p) {
        if (p.stage == PlanProgress::Stage::Candidates && bar)
            bar(p.done, p.total);
        else if (p.stage == PlanProgress::Stage::Solving && p.gathered)
            tellCandidates(*p.gathered);
    };
    const PlanResult result = runPlan(request, progress, stopOnSignals.flag());
    endBar();
    auto interrupted = [&](const char *what) {
        err << "interrupted " << what << "\n";
        return kCliInterrupted;
    };
    using Kind = PlanFailure::Kind;
    const std::optional<PlanFailure> &failure = result.failure;
    if (failure && failure->kind == Kind::InvalidRequest && failure->field)
        return cliUsageError(err, requestFieldText(*failure->field));
    if (failure && failure->kind == Kind::InventoryUnusable) {
        err << "tavelo-cli: " << failure->detail << "\n";
        return kCliUsage;
    }
    if (failure && failure->kind == Kind::TooLarge)
        return refusedWith(err, tooLargeText(failure->size, memoryBytes.has_value()));
    if (failure && failure->kind == Kind::NoGathering && failure->gathering)
        return refusedWith(err, gatheringProblemText(failure->file, *failure->gathering));
    if (failure && failure->kind == Kind::NoProjectedMap) {
        err << "tavelo-cli: " << failure->file << ": "
            << (failure->detail.empty() ? "the stands have no outlines; --green-up needs a map"
                                        : "the layer's reference system " + failure->detail +
                                              " is in degrees; --green-up needs a projected one, in metres")
            << "\n";
        return kCliUsage;
    }
    if (failure && failure->kind == Kind::CancelledGathering) {
        printInventoryWarnings(err, result.gathered.warnings);
        return interrupted("while gathering the candidates: nothing written");
    }
    if (!candidatesTold)
        tellCandidates(result.gathered);
    if (failure && failure->kind == Kind::NoCandidates) {
        err << "tavelo-cli: no stand of " << inventory << " has a candidate regime; nothing to plan\n";
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    if (result.modelProblem) {
        err << "tavelo-cli: cannot write " << modelPath << ": " << *result.modelProblem << "\n";
        written = false;
    }
    const PlanSolution &solution = result.solution;
    const char *stoppedSolving = outDir.empty() ? "while solving: no plan written"
                                                : "while solving: candidates.csv and errors.csv written, no plan";
    if (failure && failure->kind == Kind::CancelledSolving)
        return interrupted(stoppedSolving);
    if (failure && failure->kind == Kind::Infeasible && failure->family == ConstraintFamily::Carbon) {
        err << "tavelo-cli: no plan meets the carbon floor of " << minCarbonText << " t C/ha";
        if (failure->reachableCarbonPerHa)
            err << "; the most any plan reaches under the other constraints is "
                << fixed(*failure->reachableCarbonPerHa, 3) << " t C/ha";
        err << "\n";
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    if (failure && failure->kind == Kind::Infeasible) {
        const ConstraintFamily family = failure->family.value_or(ConstraintFamily::Flow);
        err << "tavelo-cli: no plan meets " << constraintFamilyText(family, constraints.flow)
            << (family == ConstraintFamily::FlowWithEndingStock ? "; without either a plan exists\n"
                                                                : "; without it a plan exists\n");
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    if (failure && failure->kind == Kind::NoSolution) {
        err << "tavelo-cli: the solver stopped before finding a plan (bound " << fixed(failure->bound, 2) << ")\n";
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    const char *unit = constraints.objective == PlanObjective::Carbon ? " t C" : " €";
    err << "objective " << fixed(solution.objective, 2) << unit << ", bound " << fixed(solution.bound, 2) << unit
        << ", gap " << fixed(solution.gapPercent, 3) << " %"
        << (result.stop == PlanStop::AtGap       ? ""
            : result.stop == PlanStop::TimeLimit ? " (stopped by the time limit before reaching the gap)"
                                                 : " (stopped by a limit)")
        << "; " << fixed(solution.seconds, 2) << " s\n";
    err << planWayText(solution, constraints.objective) << "\n";
    const double area = plannedArea(result.gathered.stands);
    err << "value " << fixed(solution.value, 2) << " €; carbon " << fixed(area > 0.0 ? solution.carbon / area : 0.0, 3)
        << " t C/ha, the mean stock over the horizon (" << fixed(solution.carbon, 2) << " t C on "
        << fixed(area, 2) << " ha)\n";
    if (solution.spatial && result.spatial)
        err << spatialSummary(result) << "\n";
    if (!result.front.empty()) {
        const FrontPoint &a = result.front.front(), &b = result.front.back();
        err << "front: " << result.front.size() << " plans from " << fixed(a.carbonPerHa, 3) << " t C/ha, "
            << fixed(a.value, 2) << " € to " << fixed(b.carbonPerHa, 3) << " t C/ha, " << fixed(b.value, 2)
            << " € (see front.csv)\n";
        for (size_t k = 0; k < result.front.size(); ++k)
            if (result.front[k].knee)
                err << "knee: point " << k << ", " << fixed(result.front[k].carbonPerHa, 3) << " t C/ha and "
                    << fixed(result.front[k].value, 2) << " €: " << fixed(result.front[k].valueLossPercent, 2)
                    << " % of the value for " << fixed(result.front[k].carbonGainPercent, 2) << " % more carbon\n";
    }

    // A stop that came with the solution still writes no plan.
    if (stopOnSignals.flag()->load())
        return interrupted(stoppedSolving);
    for (const auto &[name, bytes] : planCsvFiles(result))
        save(name, bytes);
    for (const auto &[name, bytes] : frontCsvFiles(result))
        save(name, bytes);
    if (!outDir.empty() && !result.front.empty()) {
        if (const auto bytes = renderFrontChart(result.front, QString::fromStdString(chartFormat)))
            save("front." + chartFormat, std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())));
        else {
            err << "tavelo-cli: cannot write front." << chartFormat << ": the chart could not be drawn\n";
            written = false;
        }
    }
    if (!outDir.empty()) {
        if (const auto bytes = renderHarvestChart(result.periods, QString::fromStdString(chartFormat)))
            save("harvest." + chartFormat, std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())));
        else {
            err << "tavelo-cli: cannot write harvest." << chartFormat << ": the chart could not be drawn\n";
            written = false;
        }
    }
    if (!database.empty()) {
        try {
            savePlanResult(database, request, result, kBusyTimeoutMs);
        } catch (const std::exception &e) {
            err << "tavelo-cli: " << e.what() << "\n";
            written = false;
        }
    }
    return written ? kCliOk : kCliOutputFailed;
}

} // namespace tavelo
