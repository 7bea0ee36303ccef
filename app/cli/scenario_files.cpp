// Scenario files as run and compare read and play them, and the outputs
// named on their command lines.

#include "app/cli/scenario_files.h"

#include "app/cli/cli_commands.h"
#include "base/calendar.h"
#include "base/shown_text.h"
#include "regimes/carbon_run.h"
#include "regimes/economics_run.h"
#include "base/whole_file.h"
#include "session/structure/sim_log.h"

#include <ostream>

namespace tavelo {

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

std::optional<Scenario> loadScenario(const std::string &path, std::ostream &err, int &failure,
                                     std::string *json)
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

std::optional<RunResult> playScenario(const std::string &path, StandState &state, const LogFile &log,
                                      std::ostream &err, int &failure,
                                      std::optional<EconomicInputs> *economics,
                                      std::optional<CarbonFactors> *carbon)
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

} // namespace tavelo
