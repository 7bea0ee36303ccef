#pragma once

// A simulation played from a scenario file: the texts a user would type on each
// screen and the buttons pressed, driven through the same session code as the
// screens.

#include "base/message.h"
#include "base/read_problem.h"
#include "session/entry/entry_session.h"
#include "model/stand_state.h"
#include "session/results/economics.h"
#include "session/structure/sim_log.h"
#include "session/results/carbon.h"
#include "regimes/management_rules.h"

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
    std::optional<ManagementRules> rules;   // decides the steps instead of a list of them
};

// Reads a scenario (JSON); on error, what is wrong and where. A year left out is
// `defaultYear` (this year, as the options screen shows it).
std::variant<Scenario, ReadProblem> parseScenario(const std::string &json, const std::string &defaultYear);

struct RunResult {
    enum class Status { Completed = 0, Refused = 2, EndedByModel = 3 };
    Status status = Status::Completed;
    std::optional<Message> message; // the refusal or the model's message
    Messages notices;               // boxes shown on the way (record limit, log failure)
    // The steps played, also those the rules chose: played again as a
    // scenario's steps they give the same log and record. A step the model
    // ended is the last.
    std::vector<ScenarioStep> stepsTaken;
    std::vector<ManagementEvent> events; // under rules: what they decided, stand screen by stand screen
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
    std::optional<ManagementRules> rules;
};
std::variant<Regime, ReadProblem> parseRegime(const std::string &json, const std::string &defaultYear);
// One stand played under a regime: its options, steps or rules, prices and carbon factors.
Scenario scenarioOf(const Regime &regime, const StandDataInput &stand,
                    const std::variant<UnthinnedDensity, ThinnedEntryInput> &density);

// A scenario file as `run` reads it, texts as typed (steps only when it has any).
std::string scenarioJson(const Scenario &scenario);
// A complete scenario file for `run`: the stand file as typed (its options,
// stand, density and any other section), the year made explicit, and the
// regime's steps in place of its own steps or rules.
std::string regimeScenarioJson(const std::string &standJson, const std::string &year,
                               const std::vector<ScenarioStep> &steps);

// The record as CSV: the ten headers, then one line per row, UTF-8, LF.
std::string recordCsv(const StandState &state);

} // namespace tavelo
