#pragma once

// A simulation played from a scenario file: the texts a user would type on each
// screen and the buttons pressed, driven through the same session code as the
// screens.

#include "base/message.h"
#include "entry/entry_session.h"
#include "model/stand_state.h"
#include "results/carbon.h"
#include "results/economics.h"
#include "structure/sim_log.h"

#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

struct ScenarioStep {
    enum class Kind { Project, Thin, Discard, End };
    Kind kind = Kind::Project;
    ThinningInput thinning; // Thin only
};

struct UnthinnedDensity {
    DensityChoice choice = DensityChoice::Planted;
    std::string trees;
};

struct Scenario {
    OptionsInput options;
    StandDataInput stand;
    std::variant<UnthinnedDensity, ThinnedEntryInput> density;
    std::vector<ScenarioStep> steps;
    std::optional<EconomicTexts> economics; // the prices and costs to value the run with
    std::optional<CarbonTexts> carbon;      // the factors of its carbon account
};

// Reads a scenario (JSON); on error, says what and where. A year left out is
// `defaultYear` (this year, as the options screen shows it).
std::variant<Scenario, std::string> parseScenario(const std::string &json, const std::string &defaultYear);

struct RunResult {
    enum class Status { Completed = 0, Refused = 2, EndedByModel = 3 };
    Status status = Status::Completed;
    std::optional<Message> message; // the refusal or the model's message
    Messages notices;               // boxes shown on the way (record limit, log failure)
};

// Plays the scenario on `state` (a fresh stand state) writing the log to
// `logFile`, which is replaced first.
RunResult runScenario(const Scenario &scenario, StandState &state, const std::filesystem::path &logFile);
// The same with the log set up by the caller (for instance collected in memory).
RunResult runScenario(const Scenario &scenario, StandState &state, const LogFile &log);

// The options and steps shared by every stand of a batch run.
struct Regime {
    OptionsInput options;
    std::vector<ScenarioStep> steps;
    std::optional<EconomicTexts> economics;
    std::optional<CarbonTexts> carbon;
};
std::variant<Regime, std::string> parseRegime(const std::string &json, const std::string &defaultYear);

// The record as CSV: the ten headers, then one line per row, UTF-8, LF.
std::string recordCsv(const StandState &state);

} // namespace tavelo
