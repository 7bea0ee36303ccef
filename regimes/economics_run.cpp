#include "economics_run.h"

#include "base/whole_file.h"

#include "base/csv.h"


#include <ostream>

namespace tavelo {

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

RunResult refusedByEconomics()
{
    RunResult r;
    r.status = RunResult::Status::Refused;
    return r;
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

std::string economicsCsvLine(const std::string &id, const Valuation &v)
{
    std::string line = csvCell(id);
    line += ',';
    line += moneyText(v.npv);
    line += ',';
    line += v.eaa ? moneyText(*v.eaa) : std::string();
    line += ',';
    line += v.lev ? moneyText(*v.lev) : std::string();
    line += '\n';
    return line;
}

} // namespace tavelo
