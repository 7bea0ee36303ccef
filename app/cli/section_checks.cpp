#include "section_checks.h"

#include "app/cli/cli_commands.h"
#include "base/whole_file.h"

#include <ostream>

namespace tavelo {

int reportFileProblem(std::ostream &err, const std::string &file, const ReadProblem &problem)
{
    err << "tavelo-cli: " << file << ": " << englishText(problem) << "\n";
    return problem.refusedValue ? kCliRefused : kCliUsage;
}

CheckedEconomics checkEconomics(const std::optional<EconomicTexts> &texts, const std::string &file,
                                std::ostream &err)
{
    CheckedEconomics checked;
    if (!texts)
        return checked;
    auto read = readEconomicInputs(*texts);
    if (const auto *refusal = std::get_if<EconomicRefusal>(&read)) {
        err << "tavelo-cli: " << file << ": " << refusal->keyPath << ": \"" << (*texts)[refusal->field]
            << "\": " << refusal->message.text << "\n";
        checked.accepted = false;
        return checked;
    }
    checked.inputs = std::get<EconomicInputs>(read);
    return checked;
}

CheckedCarbon checkCarbon(const std::optional<CarbonTexts> &texts, const std::string &file, std::ostream &err)
{
    CheckedCarbon checked;
    if (!texts)
        return checked;
    auto read = readCarbonFactors(*texts);
    if (const auto *refusal = std::get_if<CarbonRefusal>(&read)) {
        err << "tavelo-cli: " << file << ": " << refusal->keyPath << ": \"" << (*texts)[refusal->field]
            << "\": " << refusal->message.text << "\n";
        checked.accepted = false;
        return checked;
    }
    checked.factors = std::get<CarbonFactors>(read);
    return checked;
}

bool writeEconomicsJson(const std::string &path, const StandState &state, const EconomicInputs &inputs,
                        std::ostream &err)
{
    const auto valuation = valueSimulation(state, inputs);
    if (!valuation) {
        err << "tavelo-cli: cannot write " << path << ": the simulation has no valuation\n";
        return false;
    }
    if (auto why = writeWholeFile(path, valuationJson(*valuation))) {
        err << "tavelo-cli: cannot write " << path << ": " << *why << "\n";
        return false;
    }
    return true;
}

bool writeCarbonJson(const std::string &path, const StandState &state, const CarbonFactors &factors,
                     std::ostream &err)
{
    const auto account = carbonOfSimulation(state, factors);
    if (!account) {
        err << "tavelo-cli: cannot write " << path << ": the simulation has no carbon account\n";
        return false;
    }
    if (auto why = writeWholeFile(path, carbonJson(*account))) {
        err << "tavelo-cli: cannot write " << path << ": " << *why << "\n";
        return false;
    }
    return true;
}

} // namespace tavelo
