// tavelo-cli run: one scenario played, its log and the outputs asked for.

#include "app/cli/cli_commands.h"
#include "app/cli/cli_arguments.h"
#include "app/cli/scenario_files.h"
#include "inventory/results_tables.h"
#include "regimes/economics_run.h"
#include "regimes/scenario.h"

#include <filesystem>
#include <ostream>

namespace tavelo {

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

} // namespace tavelo
