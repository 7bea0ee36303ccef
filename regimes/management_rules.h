#pragma once

// Management rules: a regime that decides at every stand screen, from what the
// screen shows, whether to fell, thin or project. The decision is made here;
// the runner types it into the same dialogues a user would, so a run under
// rules is an ordinary sequence of steps that can be replayed.

#include "base/read_problem.h"
#include "session/entry/entry_session.h"
#include "session/structure/stand_table.h"

#include <QJsonValue>

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// What a rule can test, as the stand screen shows it.
enum class StandVariable {
    Age,                   // "Idade"
    DominantHeight,        // "Altura Dominante", one decimal
    SiteIndex,             // the quality class shown
    Trees,                 // the Total row: trees per ha
    BasalArea,             // the Total row: m2/ha
    Volume,                // the Total row: V.Total
    QuadraticMeanDiameter, // "Diâmetro médio", one decimal
    RelativeSpacing,       // Hart-Becking, %: 100 sqrt(10000 / trees) / dominant height
};
inline constexpr int kStandVariables = 8;

// The values a rule tests, read off one stand screen.
struct StandReading {
    std::array<double, kStandVariables> values{};
    std::string year; // "Ano", as shown
    std::string age;  // "Idade", as shown
    double operator[](StandVariable v) const { return values[static_cast<size_t>(v)]; }
};
StandReading readStandScreen(const StandTable &table);

// Every comparison must hold, and every group of alternatives ("any") must
// have one that holds.
struct RuleCondition {
    enum class Comparator { Above, AtLeast, Below, AtMost };
    struct Comparison {
        StandVariable variable;
        Comparator comparator;
        double value;
    };
    std::string keyPath; // where it is written, for the events
    std::vector<Comparison> comparisons;
    std::vector<std::vector<RuleCondition>> anyOf;
};

struct ThinningRule {
    std::string keyPath;                  // rules.thinnings.when[i]
    std::optional<RuleCondition> when;    // none: whenever a thinning is allowed
    ScreenEntries::Thinning kind = ScreenEntries::Thinning::Mechanical;
    std::string text;                     // "percent" or "residualBasalArea" as written
    std::optional<double> residualPercent; // "residualBasalAreaPercent"
};

struct ManagementRules {
    double maxAge = 0.0;
    std::optional<RuleCondition> finalFelling;
    double firstThinningAge = 0.0;
    double minThinningInterval = 0.0;
    std::optional<int> maxThinnings; // none: no limit
    std::vector<ThinningRule> thinnings;
};

// Reads the "rules" section; a problem names its key path and is a value
// refused (ReadProblem::refusedValue), not a malformed file.
std::variant<ManagementRules, ReadProblem> parseRulesSection(const QJsonValue &section);

// What happened to a stand under rules, one row of events.csv.
struct ManagementEvent {
    enum class Kind { Thinning, RefusedThinning, FinalFelling, MaximumAge };
    std::string year;
    std::string age;
    Kind kind = Kind::Thinning;
    std::string cause; // the key path of the rule or condition that decided
    std::string text;  // the thinning as the screen describes it, or the dialogue's refusal
};
const char *eventKindName(ManagementEvent::Kind kind);
// A line of events.csv (the header is the results table's, inventory/results_tables.h).
std::string eventsCsvLine(const std::string &id, const ManagementEvent &event);

// The thinnings made so far.
struct ThinningHistory {
    int count = 0;
    std::optional<double> lastAge;
};

// What the rules do at the stand screen read.
struct RuleDecision {
    enum class Kind { Project, Thin, End };
    Kind kind = Kind::Project;
    ThinningInput thinning;                                        // Thin: as typed into the dialogue
    ManagementEvent::Kind ending = ManagementEvent::Kind::MaximumAge; // End
    std::string cause;
};
// `basalArea` is the stand's basal area as the thinning dialogue checks it.
RuleDecision decideAtStandScreen(const ManagementRules &rules, const StandReading &reading,
                                 const ThinningHistory &history, double basalArea);

} // namespace tavelo
