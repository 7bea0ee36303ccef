#pragma once

// The valuation on the command line: the economics section checked before a
// run, and the valuation written after it.

#include "regimes/scenario.h"
#include "session/results/economics.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace tavelo {

struct CheckedEconomics {
    bool accepted = true;
    std::optional<EconomicInputs> inputs; // none when the file has no economics section
};
// Reads the section of `file`; a bad value is reported with its key path.
CheckedEconomics checkEconomics(const std::optional<EconomicTexts> &texts, const std::string &file,
                                std::ostream &err);

// A run refused for its economics section (already reported), before anything ran.
RunResult refusedByEconomics();

// Writes the simulation's valuation as JSON; false (reported) when it cannot.
bool writeEconomicsJson(const std::string &path, const StandState &state, const EconomicInputs &inputs,
                        std::ostream &err);

// "id,npv,eaa,lev" and one line per valued stand.
inline constexpr const char *kEconomicsCsvHeader = "id,npv,eaa,lev\n";
std::string economicsCsvLine(const std::string &id, const Valuation &valuation);

} // namespace tavelo
