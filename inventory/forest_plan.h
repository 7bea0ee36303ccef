#pragma once

// A forest plan: one candidate regime per stand, chosen for the largest total
// value under constraints on the forest's harvest over time, as a mixed
// integer programme solved by COIN-OR CBC.

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

// One way to manage a stand, summarised for the plan. Volumes in m3 and
// values in euros for the stand's whole area.
struct PlanCandidate {
    double value = 0.0;
    std::optional<int> fellingYear;     // none when not felled within the horizon
    std::vector<double> harvestTotal;   // per period
    std::vector<double> harvestSawlog;  // per period
    double standingAtHorizon = 0.0;
};

struct PlanStand {
    std::string id;
    double area = 0.0;         // ha
    double standingInitial = 0.0; // m3, the whole area, at the plan's first year
    std::vector<PlanCandidate> candidates;
};

enum class FlowRule { None, Even, Nondecreasing };
enum class FlowBasis { Total, Sawlog };

struct PlanConstraints {
    FlowRule flow = FlowRule::None;
    double evenPercent = 10.0; // each period within ± this % of the mean over the periods
    FlowBasis basis = FlowBasis::Total;
    std::optional<double> endingStockPercent; // standing volume at the horizon, % of the initial
    double gapPercent = 0.1;                  // relative optimality gap to stop at
    std::optional<double> maxSeconds;
};

// The constraint families that can make a plan infeasible.
enum class ConstraintFamily { Flow, EndingStock, FlowWithEndingStock };
const char *constraintFamilyText(ConstraintFamily family, FlowRule flow);

struct PlanSolution {
    // Interrupted: the caller's stop came before the solver finished; nothing to show.
    enum class Status { Optimal, Stopped, Infeasible, NoSolution, Interrupted };
    Status status = Status::NoSolution;
    std::vector<size_t> chosen; // per stand, the index of its candidate
    double objective = 0.0;
    double bound = 0.0;
    double gapPercent = 0.0; // |bound - objective| / |objective|
    double seconds = 0.0;
    std::optional<ConstraintFamily> blocking; // which family cannot be met, when infeasible
};

// The harvest of period `p` under `basis` for one candidate.
double planHarvest(const PlanCandidate &c, FlowBasis basis, size_t p);

// Solves the plan over `periods` periods. Every stand needs at least one
// candidate with `periods` values per period list. Once `stop` is set the
// solver gives up between two of its simplex iterations or search nodes.
PlanSolution solvePlan(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &constraints,
                       const std::atomic<bool> *stop = nullptr);

} // namespace tavelo
