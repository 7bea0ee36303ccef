#pragma once

// A forest plan: one candidate regime per stand, chosen for the largest total
// value under constraints on the forest's harvest over time, as a mixed
// integer programme. Its LP relaxation comes first: priced stand by stand
// against the dozen rows the stands share (plan_pricing.h), then solved by
// COIN-OR CLP over the few stands the prices leave open, so that its time
// grows with the forest, not with its square. It leaves all but a few stands
// whole (one candidate per stand against a dozen flow rows); those few are
// settled by a small search, and CBC's full search runs only when that plan
// misses the gap asked for, starting from it.

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
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
    double carbon = 0.0; // t C: the mean stock over the horizon, the stand's whole area
};

struct PlanStand {
    std::string id;
    double area = 0.0;         // ha
    double standingInitial = 0.0; // m3, the whole area, at the plan's first year
    std::vector<PlanCandidate> candidates;
};

// The plan's periods, in years: a final felling in year y falls in period
// floor((y - first year) / kPlanPeriodYears).
inline constexpr int kPlanPeriodYears = 5;

enum class FlowRule { None, Even, Nondecreasing };
// What is maximised: the value, or the forest's carbon (ties broken by value).
enum class PlanObjective { Value, Carbon };
enum class FlowBasis { Total, Sawlog };

// Neighbouring stands kept apart in time. Alone, two neighbours' final
// fellings may not fall within one window of greenUpYears / 5 consecutive
// periods; with maxOpeningHa, the stands felled within one window that touch
// through neighbours (an opening) may cover at most that area. Stands not
// felled within the horizon never conflict.
struct SpatialRule {
    std::vector<std::pair<size_t, size_t>> neighbours; // stand indices, first < second
    int startYear = 0;                                   // the plan's first year
    int greenUpYears = kPlanPeriodYears;                 // a multiple of kPlanPeriodYears
    std::optional<double> maxOpeningHa;
    // Soft: € for each conflicting pair (each hectare above the limit, with
    // maxOpeningHa) taken from the value; none: every conflict forbidden.
    std::optional<double> softPrice;
    size_t windowPeriods() const { return static_cast<size_t>(greenUpYears / kPlanPeriodYears); }
};

struct PlanConstraints {
    FlowRule flow = FlowRule::None;
    double evenPercent = 10.0; // each period within ± this % of the mean over the periods
    FlowBasis basis = FlowBasis::Total;
    std::optional<double> endingStockPercent; // standing volume at the horizon, % of the initial
    // The forest's mean carbon stock over the horizon at least this, t C per
    // hectare of the planned area.
    std::optional<double> minCarbonPerHa;
    PlanObjective objective = PlanObjective::Value;
    double gapPercent = 0.1;                  // relative optimality gap to stop at
    std::optional<double> maxSeconds;
    std::optional<SpatialRule> spatial;
};

// The constraint families that can make a plan infeasible.
enum class ConstraintFamily { Flow, EndingStock, FlowWithEndingStock, Carbon, Spatial };
const char *constraintFamilyText(ConstraintFamily family, FlowRule flow);

// How a plan was found, cheapest first.
enum class PlanWay {
    Relaxation,       // the LP relaxation chose one candidate for every stand
    SplitStandsSearch, // the LP's split stands settled by a search over them alone
    SearchFromStart,  // CBC's full search, started from the LP's plan
    SearchFromScratch // CBC's full search, the LP giving no whole plan
};

// What the spatial rule did to a plan.
struct SpatialOutcome {
    double aspatialObjective = 0.0; // the plan's value without the rule, solved first
    std::vector<size_t> aspatialChosen; // that plan: per stand, its candidate
    size_t rounds = 0;              // solves again after openings over the limit were added as constraints
    size_t conflicts = 0;           // neighbour pairs within the delay, or openings over the limit
    double penalty = 0.0;           // € charged by a soft rule, already out of the objective
};

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
    PlanWay way = PlanWay::SearchFromScratch;
    double relaxationBound = 0.0;    // the LP relaxation's value
    double relaxationSeconds = 0.0;
    size_t splitStands = 0;          // stands the LP relaxation left between candidates
    std::optional<double> firstPlanObjective; // the plan built from the LP, before any full search
    double value = 0.0;  // the plan's value (€) and carbon (t C), whatever the objective
    double carbon = 0.0;
    // Infeasible for the carbon floor: the most carbon (t C) a plan reaches under the other constraints.
    std::optional<double> reachableCarbon;
    std::optional<SpatialOutcome> spatial;    // with a spatial rule
};

// The planned stands' area (ha).
double plannedArea(const std::vector<PlanStand> &stands);

// What the solver knows while it works: the most any plan can reach and the
// best plan found so far (none yet), and the gap between them in %.
struct SolverState {
    double bound = 0.0;
    std::optional<double> best;
    std::optional<double> gapPercent;
};
using SolverReport = std::function<void(const SolverState &)>;

// What the objective counts of a candidate: its value, or its carbon.
double objectiveOf(const PlanCandidate &cand, const PlanConstraints &c);

// The harvest of period `p` under `basis` for one candidate.
double planHarvest(const PlanCandidate &c, FlowBasis basis, size_t p);

// Solves the plan over `periods` periods. Every stand needs at least one
// candidate with `periods` values per period list. Once `stop` is set the
// solver gives up between two of its simplex iterations or search nodes.
// `report` hears the solver's state after the LP relaxation, after the plan
// built from it and as the full search finds better plans, each checked
// against every row (on the solving thread). The bound told is the LP's: the
// full search's own may come from the smaller models of its heuristics.
// A plan that keeps every row and is better than the relaxation's own is
// where the solve starts from (`start`: per stand, its candidate).
PlanSolution solvePlan(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &constraints,
                       const std::atomic<bool> *stop = nullptr, const SolverReport &report = {},
                       const std::vector<size_t> *start = nullptr);

// The exact programme solvePlan solves, for another solver: MPS when `path`
// ends in .mps, CPLEX LP format when it ends in .lp, both as the minimisation
// of the negated value (the one sense every reader takes). Columns
// x_<stand>_<k> (candidate k, counted from 1 as in candidates.csv),
// harvest_p<p> and mean_harvest; rows stand_<stand>, harvest_p<p>,
// even_hi_p<p>, even_lo_p<p>, mean_harvest, nondecreasing_p<p>,
// ending_stock and carbon_floor, periods counted from 0 as in periods.csv;
// with a green-up alone, adjacency_<a>_<b>_p<p> (and for a soft rule the
// columns excess_adjacency_<a>_<b>_p<p>), the openings' constraints being
// added only as a solve finds them; stand ids made safe
// (letters, digits, "_", "-", "."; at most 40 characters; unique). Written
// whole or not at all; the reason it could not be written, else nothing.
std::optional<std::string> writePlanModel(const std::vector<PlanStand> &stands, size_t periods,
                                          const PlanConstraints &constraints, const std::filesystem::path &path);

} // namespace tavelo
