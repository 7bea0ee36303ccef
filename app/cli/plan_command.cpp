// tavelo-cli plan: one regime per stand of an inventory, chosen for the
// forest's value under constraints on its harvest over time.

#include "inventory/batch.h"
#include "base/calendar.h"
#include "base/output_folder.h"
#include "app/cli/stop_signals.h"
#include "app/cli/cli_commands.h"
#include "regimes/economics_run.h"
#include "inventory/forest_plan.h"
#include "inventory/inventory_source.h"
#include "inventory/plan_candidates.h"
#include "inventory/results_db.h"
#include "inventory/results_tables.h"
#include "regimes/search_space.h"
#include "base/csv.h"
#include "base/numeric_text.h"
#include "base/whole_file.h"
#include "app/cli/regime_chart.h"
#include "session/results/regime_comparison.h"

#include <QBarCategoryAxis>
#include <QStackedBarSeries>
#include <QBarSet>
#include <QChart>
#include <QValueAxis>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>

namespace tavelo {

namespace {

// A percentage typed on the command line, with the program's numeric rule.
std::optional<double> percentArgument(const std::string &text, double largest)
{
    const auto v = parseNumber(text);
    if (!v || !std::isfinite(*v) || *v < 0.0 || *v > largest)
        return std::nullopt;
    return v;
}

// The harvest per period as bars: sawlog, roundwood and fuelwood stacked by
// period, drawn the way compare draws its chart.
QChart *makeHarvestChart(const std::vector<PlanPeriod> &periods)
{
    QStringList categories;
    auto *sawlog = new QBarSet(QStringLiteral("Madeira"));
    auto *roundwood = new QBarSet(QStringLiteral("Rolaria"));
    auto *firewood = new QBarSet(QStringLiteral("Lenha"));
    double top = 0.0;
    for (const PlanPeriod &p : periods) {
        categories << QStringLiteral("%1-%2").arg(p.firstYear).arg(p.lastYear);
        *sawlog << p.sawlog;
        *roundwood << p.roundwood;
        *firewood << p.firewood;
        top = std::max(top, p.sawlog + p.roundwood + p.firewood);
    }
    auto *series = new QStackedBarSeries;
    series->setBarWidth(0.8);
    series->append(sawlog);
    series->append(roundwood);
    series->append(firewood);
    auto *chart = new QChart;
    chart->addSeries(series);
    chart->setTitle(QStringLiteral("Volume cortado por período (m3)"));
    auto *x = new QBarCategoryAxis;
    x->append(categories);
    x->setTitleText(QStringLiteral("Período"));
    auto *y = new QValueAxis;
    y->setRange(0.0, top > 0.0 ? top * 1.1 : 1.0);
    y->setTitleText(QStringLiteral("Volume (m3)"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    series->attachAxis(x);
    series->attachAxis(y);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setAnimationOptions(QChart::NoAnimation);
    return chart;
}

std::vector<std::vector<std::string>> csvRows(const std::string &csv)
{
    std::vector<std::vector<std::string>> rows;
    for (const CsvRecord &r : splitCsvRecords(csv))
        if (r.line > 1 && !r.text.empty())
            if (auto cells = splitCsvLine(r.text))
                rows.push_back(std::move(*cells));
    return rows;
}

std::string fixed(double v, int decimals)
{
    return formatFixed(v, decimals);
}

} // namespace

int cliPlan(const std::vector<std::string> &args, std::ostream &err, bool progressBar)
{
    std::string inventory, spacePath, economicsPath, outDir, database, table; // table: the layer, empty for the default one
    std::vector<std::string> regimePaths;
    bool overwrite = false;
    std::string horizonText, flowText, flowOn = "total", endingText, gapText, jobsText, timeLimitText,
        chartFormat = "png";
    CandidateSource source;
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
        else if (a == "--chart" && hasValue)
            chartFormat = args[++i];
        else if (!a.empty() && a[0] != '-' && inventory.empty())
            inventory = a;
        else
            return cliUsageError(err, "unexpected argument \"" + a + "\"");
    }
    if (inventory.empty() || economicsPath.empty() || horizonText.empty())
        return cliUsageError(err, "plan needs an inventory, --space or --regimes, --economics and --horizon");
    if (spacePath.empty() == regimePaths.empty())
        return cliUsageError(err, "plan needs either --space or --regimes");
    if (outDir.empty() && database.empty())
        return cliUsageError(err, "plan needs --out or --db");
    if (chartFormat != "png" && chartFormat != "svg")
        return cliUsageError(err, "--chart must be png or svg");
    // The results are written at the end: a file that could not take them stops the plan before its work.
    if (!database.empty()) {
        try {
            ResultsDb::checkWritable(database);
        } catch (const BatchOutputError &e) {
            err << "tavelo-cli: " << e.what() << "\n";
            return kCliOutputFailed;
        }
    }

    PlanConstraints constraints;
    const auto horizon = parseNumber(horizonText);
    if (!horizon || *horizon < kPlanPeriodYears || *horizon > 200 ||
        std::fmod(*horizon, kPlanPeriodYears) != 0.0)
        return cliUsageError(err, "--horizon must be a number of years, a multiple of 5 from 5 to 200");
    if (flowText == "nondecreasing") {
        constraints.flow = FlowRule::Nondecreasing;
    } else if (flowText.rfind("even:", 0) == 0) {
        const auto pct = percentArgument(flowText.substr(5), 100.0);
        if (!pct)
            return cliUsageError(err, "--flow even:PCT needs a percentage from 0 to 100");
        constraints.flow = FlowRule::Even;
        constraints.evenPercent = *pct;
    } else if (!flowText.empty()) {
        return cliUsageError(err, "--flow must be even:PCT or nondecreasing");
    }
    if (flowOn == "sawlog")
        constraints.basis = FlowBasis::Sawlog;
    else if (flowOn != "total")
        return cliUsageError(err, "--flow-on must be total or sawlog");
    if (!endingText.empty()) {
        const auto pct = percentArgument(endingText, 1000.0);
        if (!pct)
            return cliUsageError(err, "--ending-stock must be a percentage from 0 to 1000");
        constraints.endingStockPercent = *pct;
    }
    if (!gapText.empty()) {
        const auto pct = percentArgument(gapText, 100.0);
        if (!pct)
            return cliUsageError(err, "--gap must be a percentage from 0 to 100");
        constraints.gapPercent = *pct;
    }
    if (!timeLimitText.empty()) {
        const auto limit = parseNumber(timeLimitText);
        if (!limit || *limit <= 0.0 || *limit > 1e7)
            return cliUsageError(err, "--time-limit must be a number of seconds above 0");
        constraints.maxSeconds = *limit;
    }
    unsigned jobs = 0;
    if (!jobsText.empty()) {
        char *end = nullptr;
        const unsigned long v = std::strtoul(jobsText.c_str(), &end, 10);
        if (*end != '\0' || v == 0 || v > 1024)
            return cliUsageError(err, "--jobs must be a whole number from 1 to 1024");
        jobs = static_cast<unsigned>(v);
    }

    // The economics file: a regime file whose options give the model options
    // and the plan's first year, and whose economics section the prices.
    std::string econJson;
    if (!readInputFile(economicsPath, econJson))
        return cliUsageError(err, "cannot read " + economicsPath);
    const auto econ = parseRegime(econJson, thisYear());
    if (const auto *problem = std::get_if<ReadProblem>(&econ))
        return reportFileProblem(err, economicsPath, *problem);
    const Regime &econRegime = std::get<Regime>(econ);
    if (!econRegime.economics)
        return cliUsageError(err, "--economics needs an \"economics\" section in " + economicsPath);
    const CheckedEconomics checked = checkEconomics(econRegime.economics, economicsPath, err);
    if (!checked.accepted)
        return kCliRefused;
    PlanSettings settings;
    settings.options = econRegime.options;
    settings.economics = *checked.inputs;
    const auto land = readLandValue(*econRegime.economics);
    if (const auto *m = std::get_if<Message>(&land)) {
        err << "tavelo-cli: " << economicsPath << ": " << kLandValueKeyPath << ": " << m->title << ": " << m->text
            << "\n";
        return kCliRefused;
    }
    settings.landValue = std::get<double>(land);
    const auto year = parseNumber(settings.options.year);
    if (!year || *year < 1000 || *year > 9999 || std::floor(*year) != *year) {
        err << "tavelo-cli: " << economicsPath << ": options.year must be a year such as 2026\n";
        return kCliRefused;
    }
    settings.startYear = static_cast<int>(*year);
    settings.horizonYears = static_cast<int>(*horizon);

    if (!spacePath.empty()) {
        std::string json;
        if (!readInputFile(spacePath, json))
            return cliUsageError(err, "cannot read " + spacePath);
        auto space = parseSearchSpace(json);
        if (const auto *e = std::get_if<SearchSpaceError>(&space))
            return reportFileProblem(err, spacePath, e->problem);
        source.space = std::get<SearchSpace>(space);
    }
    const std::vector<std::string> labels = regimePaths.empty() ? std::vector<std::string>{} : regimeLabels(regimePaths);
    for (size_t i = 0; i < regimePaths.size(); ++i) {
        std::string json;
        if (!readInputFile(regimePaths[i], json))
            return cliUsageError(err, "cannot read " + regimePaths[i]);
        auto regime = parseRegime(json, thisYear());
        if (const auto *problem = std::get_if<ReadProblem>(&regime))
            return reportFileProblem(err, regimePaths[i], *problem);
        if (std::get<Regime>(regime).options.year != settings.options.year) {
            err << "tavelo-cli: " << regimePaths[i] << ": options.year differs from the plan's year "
                << settings.options.year << " (" << economicsPath << ")\n";
            return kCliUsage;
        }
        source.regimes.emplace_back(labels[i], std::get<Regime>(std::move(regime)));
    }

    // The output folder is checked before the work, as batch does.
    if (!outDir.empty()) {
        const auto isPlanOutput = [](const std::string &name) {
            return name == "candidates.csv" || name == "plan.csv" || name == "periods.csv" || name == "errors.csv" ||
                   name == "harvest.png" || name == "harvest.svg";
        };
        if (const auto problem = prepareOutputFolder(outDir, overwrite, isPlanOutput, {{"the inventory", inventory}})) {
            err << "tavelo-cli: " << problem->why << "\n";
            return kCliUsage;
        }
    }

    // Ctrl-C or SIGTERM: the stands under way finish and no plan is written.
    const StopOnSignals stopOnSignals;
    auto interrupted = [&](const char *what) {
        err << "interrupted " << what << "\n";
        return kCliInterrupted;
    };
    PlanInventory inv;
    try {
        inv = gatherCandidates(inventory, table, source, settings, jobs,
                               progressBar ? terminalProgressBar(err, ProgressText::Count)
                                           : std::function<void(size_t, size_t)>{},
                               stopOnSignals.flag());
    } catch (const std::exception &e) {
        if (progressBar)
            err << "\n";
        err << "tavelo-cli: " << e.what() << "\n";
        return kCliUsage;
    }
    if (progressBar)
        err << "\n";
    printInventoryWarnings(err, inv.warnings);
    if (inv.interrupted || stopOnSignals.flag()->load())
        return interrupted("while gathering the candidates: nothing written");
    size_t candidates = 0;
    for (const PlanStand &s : inv.stands)
        candidates += s.candidates.size();

    bool written = true;
    auto save = [&](const std::string &name, std::string_view bytes) {
        if (outDir.empty())
            return;
        const std::filesystem::path path = std::filesystem::path(outDir) / name;
        if (auto why = writeWholeFile(path, bytes)) {
            err << "tavelo-cli: cannot write " << path.string() << ": " << *why << "\n";
            written = false;
        }
    };
    save("errors.csv", csvHeader(kErrorsTable) + inv.errorsCsv);
    save("candidates.csv", candidatesCsv(inv, settings, constraints.basis));

    err << inv.rows << " stands: " << inv.stands.size() << " planned, " << inv.errorRows.size()
        << " without candidates (see " << (outDir.empty() ? kErrorsTable.name : "errors.csv") << "); " << candidates
        << " candidates\n";
    if (inv.stands.empty()) {
        err << "tavelo-cli: no stand of " << inventory << " has a candidate regime; nothing to plan\n";
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    const PlanSolution solution = solvePlan(inv.stands, settings.periods(), constraints, stopOnSignals.flag());
    const char *stoppedSolving = outDir.empty() ? "while solving: no plan written"
                                                : "while solving: candidates.csv and errors.csv written, no plan";
    if (solution.status == PlanSolution::Status::Interrupted || stopOnSignals.flag()->load())
        return interrupted(stoppedSolving);
    if (solution.status == PlanSolution::Status::Infeasible) {
        const ConstraintFamily family = solution.blocking.value_or(ConstraintFamily::Flow);
        err << "tavelo-cli: no plan meets " << constraintFamilyText(family, constraints.flow)
            << (family == ConstraintFamily::FlowWithEndingStock ? "; without either a plan exists\n"
                                                                : "; without it a plan exists\n");
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    if (solution.status == PlanSolution::Status::NoSolution) {
        err << "tavelo-cli: the solver stopped before finding a plan (bound " << fixed(solution.bound, 2) << ")\n";
        return written ? kCliEndedByModel : kCliOutputFailed;
    }
    err << "objective " << fixed(solution.objective, 2) << " €, bound " << fixed(solution.bound, 2) << " €, gap "
        << fixed(solution.gapPercent, 3) << " %"
        << (solution.status != PlanSolution::Status::Stopped ? ""
            : constraints.maxSeconds && solution.seconds >= *constraints.maxSeconds
                ? " (stopped by the time limit before reaching the gap)"
                : " (stopped by a limit)")
        << "; "
        << fixed(solution.seconds, 2) << " s\n";

    // A stop that came with the solution still writes no plan.
    if (stopOnSignals.flag()->load())
        return interrupted(stoppedSolving);
    const std::string plan = planCsv(inv, solution);
    const std::vector<PlanPeriod> periods = planPeriods(inv, solution, settings);
    const std::string periodTable = periodsCsv(periods);
    save("plan.csv", plan);
    save("periods.csv", periodTable);
    if (!outDir.empty()) {
        const QString format = QString::fromStdString(chartFormat);
        if (const auto bytes = renderChart(makeHarvestChart(periods), QSize(1200, 800), format))
            save("harvest." + chartFormat, std::string_view(bytes->constData(), static_cast<size_t>(bytes->size())));
        else {
            err << "tavelo-cli: cannot write harvest." << chartFormat << ": the chart could not be drawn\n";
            written = false;
        }
    }
    if (!database.empty()) {
        const RunIdentity identity = runIdentityOf(inventory, table, econJson);
        try {
            const std::vector<PlannedStand> planned = plannedStands(inv, solution, settings);
            savePlan(database, identity, static_cast<int64_t>(inv.rows), csvRows(plan), csvRows(periodTable),
                     inv.errorRows, kBusyTimeoutMs, inv.map ? &*inv.map : nullptr, &planned);
        } catch (const std::exception &e) {
            err << "tavelo-cli: " << e.what() << "\n";
            written = false;
        }
    }
    return written ? kCliOk : kCliOutputFailed;
}

} // namespace tavelo
