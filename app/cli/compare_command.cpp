// tavelo-cli compare: several scenarios drawn on one chart.

#include "app/cli/cli_commands.h"
#include "app/cli/cli_arguments.h"
#include "screens/charts/regime_chart.h"
#include "app/cli/scenario_files.h"
#include "regimes/carbon_run.h"
#include "regimes/economics_run.h"
#include "session/results/regime_comparison.h"

#include <QString>

#include <algorithm>
#include <ostream>

namespace tavelo {

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

} // namespace tavelo
