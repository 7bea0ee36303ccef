#pragma once

// The best regime for one stand: every schedule of a search space played
// exhaustively on the session's own steps (projection, the thinning dialogue,
// the after-thinning screen), walking the tree of choices depth first so that
// regimes sharing their first steps share those stand states, each computed
// once. The result does not depend on the number of jobs.

#include "regimes/scenario.h"
#include "regimes/search_space.h"
#include "base/message.h"
#include "model/stand_state.h"
#include "session/results/economics.h"
#include "session/results/carbon.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

enum class Objective { Npv, Lev, Volume, Sawlog, Carbon };
std::optional<Objective> objectiveFromName(const std::string &name);
const char *objectiveName(Objective o);

// What the thinnings and the final felling remove, from the record's values as
// shown: each thinning's "AD" row minus its "D" row, plus the last row.
struct HarvestVolumes {
    double total = 0.0;
    double sawlog = 0.0;
};
HarvestVolumes harvestVolumes(const std::vector<ValuationRow> &rows);

struct ScheduledThinning {
    double age = 0.0;
    ThinningInput thinning;
};

struct RankedRegime {
    double objective = 0.0;
    HarvestVolumes volumes;
    std::optional<double> npv, eaa, lev;
    double rotationAge = 0.0;
    std::vector<ScheduledThinning> thinnings;
    std::vector<ScenarioStep> steps; // ready for a scenario file, "end" last
};

// "17: mecânico 30 %; 27: pelo baixo 16 m2/ha"; "sem desbastes" without thinnings.
std::string scheduleText(const std::vector<ScheduledThinning> &thinnings);

// The most regimes a search walks unless told otherwise: beyond it a search
// would run for hours without a word.
inline constexpr double kDefaultMaxRegimes = 1e6;

struct RankedRegime;

// Every feasible regime as the walk settles it: its record's rows, the same
// rows over bark (for a carbon account; the rows themselves unless the
// record is shown without bark and `carbon` is given), and its steps and
// schedule, built only when asked for. Called from the walking threads, at
// the same time from several when jobs > 1.
using RegimeVisitor =
    std::function<void(const std::vector<ValuationRow> &rows, const std::vector<ValuationRow> &overBarkRows,
                       const std::function<RankedRegime()> &describe)>;

struct OptimizeOptions {
    Objective objective = Objective::Volume;
    // Prices, costs and rate: the npv and lev objectives need them; with them
    // every ranked regime shows its npv, eaa and lev.
    std::optional<EconomicInputs> economics;
    // The carbon objective's factors (the mean total stock over the regime);
    // with them the walk also keeps the rows over bark for the visitor.
    std::optional<CarbonFactors> carbon;
    size_t top = 10;
    unsigned jobs = 0; // 0: one per core
    // Called from the calling thread as parts of the tree are done.
    std::function<void(size_t done, size_t total)> progress;
    const std::atomic<bool> *cancel = nullptr;
    // A space holding more regimes for the stand is refused before the walk.
    double maxRegimes = kDefaultMaxRegimes;
    RegimeVisitor visit; // optional; with top 0 the walk keeps nothing itself
};

struct OptimizeResult {
    enum class Status { Done = 0, Refused = 2, Infeasible = 3, Cancelled = 4 };
    Status status = Status::Done;
    std::optional<Message> message; // the stand's refusal, or the model's message when nothing is feasible
    size_t evaluated = 0;     // regimes settled: feasible ones and those the model ended
    size_t feasible = 0;
    size_t endedByModel = 0;
    size_t refusedThinnings = 0; // intensities the dialogue refused at that moment: no regime
    size_t statesComputed = 0;   // stand states played, each shared by every regime through it
    // Why the search could not start or rank, besides a refused stand.
    enum class Refusal {
        None,
        NoRotationAge,      // no stand screen lies within the rotation range (the space's fault)
        BeyondLimit,        // the space holds more regimes than maxRegimes (the space's fault)
        NeedsEconomics,     // the npv or lev objective without prices and costs
        LevNeedsPlanting,   // lev for a stand not entered by its trees planted, or at a rate of 0
        NeedsCarbonFactors, // the carbon objective without its factors
        NoFiniteValue,      // feasible regimes, none with a finite value of the objective
    };
    Refusal refusal = Refusal::None;
    Objective objective = Objective::Volume; // the objective the refusal is about
    double regimesInSpace = 0;  // schedules of the space for this stand, refusals aside
    double regimeLimit = 0;     // BeyondLimit: the limit it broke
    double seconds = 0.0;
    std::vector<RankedRegime> best; // best first; ties in the order of the walk
};

// The refusal in English ("the npv objective needs an \"economics\" section");
// empty when there is none.
std::string refusalText(const OptimizeResult &result);

// Searches `space` for the stand of `stand` (its steps are ignored).
OptimizeResult optimizeRegime(const Scenario &stand, const SearchSpace &space, const OptimizeOptions &options);

// ranking.csv: rank, objective value, npv, eaa, lev, volume, sawlog, rotation age, schedule.
std::string rankingCsv(const std::vector<RankedRegime> &best);

} // namespace tavelo
