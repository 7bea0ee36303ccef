#pragma once

// The command line's words for what a scenario, regime or search space file
// holds wrong, and for its economics and carbon sections: checked before a
// run, reported as "tavelo-cli: file: …", and the valuation and carbon
// account written after it.

#include "base/read_problem.h"
#include "model/stand_state.h"
#include "session/results/carbon.h"
#include "session/results/economics.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace tavelo {

// Writes "tavelo-cli: file: why" and gives the exit status: a value refused
// (bad rules, a search space's bounds) is 2, a malformed file 1.
int reportFileProblem(std::ostream &err, const std::string &file, const ReadProblem &problem);

struct CheckedEconomics {
    bool accepted = true;
    std::optional<EconomicInputs> inputs; // none when the file has no economics section
};
// Reads the section of `file`; a bad value is reported with its key path.
CheckedEconomics checkEconomics(const std::optional<EconomicTexts> &texts, const std::string &file,
                                std::ostream &err);

struct CheckedCarbon {
    bool accepted = true;
    std::optional<CarbonFactors> factors; // none when the file has no carbon section
};
// Reads the section of `file`; a bad value is reported with its key path.
CheckedCarbon checkCarbon(const std::optional<CarbonTexts> &texts, const std::string &file, std::ostream &err);

// Writes the simulation's valuation as JSON; false (reported) when it cannot.
bool writeEconomicsJson(const std::string &path, const StandState &state, const EconomicInputs &inputs,
                        std::ostream &err);
// Writes the simulation's account as JSON; false (reported) when it cannot.
bool writeCarbonJson(const std::string &path, const StandState &state, const CarbonFactors &factors,
                     std::ostream &err);

} // namespace tavelo
