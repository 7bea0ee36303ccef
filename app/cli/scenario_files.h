#pragma once

// Scenario files as run and compare read and play them, and the outputs named
// on their command lines.

#include "app/cli/section_checks.h"
#include "regimes/scenario.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

class LogFile;

// An output named on the command line must not destroy anything: not a device
// or folder, not an input, not another output of the same run.
struct NamedPath {
    const char *what; // "--log", "the scenario file", ...
    std::string path;
};
// Why the outputs cannot be written as named; empty when fine.
std::string clobberingProblem(const std::vector<NamedPath> &outputs, const std::vector<NamedPath> &inputs);

// "what: title: text" on `err`.
void printMessage(std::ostream &err, const char *what, const Message &m);
// "ended" or "refused", for a run that did not complete.
const char *outcomeWord(const RunResult &r);

// Reads one scenario file (its text into `json` when given); when the file is
// unusable, nothing, with the exit status in `failure`.
std::optional<Scenario> loadScenario(const std::string &path, std::ostream &err, int &failure,
                                     std::string *json = nullptr);

// Reads and plays one scenario file; nothing when the file is unusable. A bad
// economics value or carbon factor refuses the scenario before anything is written.
std::optional<RunResult> playScenario(const std::string &path, StandState &state, const LogFile &log,
                                      std::ostream &err, int &failure,
                                      std::optional<EconomicInputs> *economics = nullptr,
                                      std::optional<CarbonFactors> *carbon = nullptr);

} // namespace tavelo
