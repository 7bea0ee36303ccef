#pragma once

// A forest plan as one job, for the command line and the windows alike: a
// request checked before any work, the candidates gathered and the plan
// solved with progress and a cancel flag, and a result from which every
// output (the CSV files, the results database and its map, the chart's
// periods) is made. The job writes nothing itself.

#include "inventory/forest_plan.h"
#include "inventory/plan_candidate_store.h"
#include "inventory/plan_candidates.h"
#include "inventory/plan_spatial.h"
#include "inventory/stand_adjacency.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tavelo {

struct PlanRequest {
    std::filesystem::path inventory;
    std::string layer; // the inventory's layer (or table); empty for the default one
    CandidateSource source;
    PlanSettings settings; // the model options, prices, first year and horizon
    PlanConstraints constraints;
    unsigned jobs = 0; // threads gathering the candidates; 0: one per core
    // The economics file as read, kept with the run in a results database.
    std::string economicsJson;
    // Where the programme solved is also written for another solver (.mps or .lp), if anywhere.
    std::optional<std::filesystem::path> modelFile;
    // The candidates' source as read (candidateSourceJson), kept with gathered candidates.
    std::string sourceJson;
    // A results database holding gathered candidates to plan from instead of
    // the inventory (`inventory`, `layer` and `source` are then not read).
    std::filesystem::path candidatesDatabase;
    // The memory the candidates and the solver may take; none: what the system has available.
    std::optional<uint64_t> memoryBytes;
    // The front between value and carbon: this many plans between its two
    // anchors (the most value; the most carbon, ties broken by value).
    std::optional<size_t> frontPoints;
    // Neighbours share a boundary longer than this (m), with constraints.spatial.
    double minSharedBoundary = 0.0;
};

inline constexpr size_t kMostFrontPoints = 50;

// The first value of a request that cannot be used, in this order.
enum class PlanRequestField {
    Horizon,
    EvenPercent,
    EndingStockPercent,
    GapPercent,
    TimeLimit,
    CandidateSource,
    MinCarbon,   // a number of t C/ha from 0 to 10,000
    FrontPoints, // 1 to kMostFrontPoints, with the value as objective and no carbon floor of its own
    GreenUp,           // a multiple of 5 years from 5 to the longest horizon
    MaxOpening,        // hectares above 0
    MinSharedBoundary, // metres, 0 or more
    SoftPrice,         // €, 0 or more
};
std::optional<PlanRequestField> planRequestProblem(const PlanRequest &request);

struct PlanProgress {
    enum class Stage { Candidates, Solving };
    Stage stage = Stage::Candidates;
    size_t done = 0, total = 0; // stands gathered of all (the candidates' stage)
    // As the solver starts: the candidates, whose files may be written meanwhile.
    const PlanInventory *gathered = nullptr;
    // While the solver works (without `gathered`): its bound, best plan and gap.
    std::optional<SolverState> solver = std::nullopt;
};

// Why a job gave no plan.
struct PlanFailure {
    enum class Kind {
        InvalidRequest,     // field
        InventoryUnusable,  // file: the inventory; detail: the reader's words
        CancelledGathering, // nothing gathered is kept
        NoCandidates,       // file: the inventory; no stand has a candidate regime
        CancelledSolving,   // the candidates are kept, no plan
        Infeasible,         // family: the constraints that cannot be met together
        NoSolution,         // the solver stopped before it found a plan; bound: its bound
        TooLarge,           // the candidates would not fit: size
        NoGathering,        // file: the candidates database; gathering: why it has none to plan from
        OutputUnusable,     // detail: why gathered candidates could not be written (what was committed stays)
        // The spatial rule cannot read the map: detail, the layer's reference
        // system in degrees; empty when the inventory has no outlines.
        NoProjectedMap,
    };
    Kind kind = Kind::InvalidRequest;
    std::string file;
    std::string detail;
    std::optional<PlanRequestField> field;
    std::optional<ConstraintFamily> family;
    double bound = 0.0;
    struct Size {
        size_t stands = 0;
        size_t candidates = 0;  // at most this many (exactly, from gathered candidates)
        uint64_t neededBytes = 0;
        uint64_t availableBytes = 0;
    } size;
    std::optional<CandidateStoreProblem> gathering;
    // Infeasible for the carbon floor: the most a plan reaches under the other constraints (t C/ha).
    std::optional<double> reachableCarbonPerHa;
};

// The memory a plan of `candidates` candidates over `periods` periods takes at
// its peak, the solver's model included (measured on diverse forests, with a
// margin).
uint64_t planMemoryBytes(size_t stands, size_t candidates, size_t periods);

// How the solver ended a plan it found.
enum class PlanStop { AtGap, TimeLimit, OtherLimit };

// A plan of the front between value and carbon.
struct FrontPoint {
    PlanSolution solution;
    std::vector<PlanPeriod> periods;
    double carbonPerHa = 0.0;       // the forest's mean stock over the horizon, t C/ha
    double value = 0.0;             // €
    double valueLossPercent = 0.0;  // below the value anchor's value
    double carbonGainPercent = 0.0; // above the value anchor's carbon
    enum class Kind { ValueAnchor, Between, CarbonAnchor } kind = Kind::Between;
    bool knee = false;
};

// The knee of a front sorted by carbon, its anchors first and last: in figures
// scaled from 0 to 1 between the anchors, the point farthest above the line
// joining them; none when no point is.
std::optional<size_t> frontKnee(const std::vector<FrontPoint> &front);
// The points no other beats on both value and carbon, in their order.
std::vector<FrontPoint> nondominated(std::vector<FrontPoint> points);

struct PlanResult {
    std::optional<PlanFailure> failure; // none: `solution` is a plan
    PlanInventory gathered;             // the stands and their candidates, once gathered
    PlanSolution solution;              // once solved
    PlanStop stop = PlanStop::AtGap;
    std::vector<PlanPeriod> periods;    // the plan's harvest per period, what the chart draws
    std::optional<std::string> modelProblem; // why the request's model file could not be written
    // With frontPoints: the front, by carbon, the value anchor (`solution`) first.
    std::vector<FrontPoint> front;
    std::vector<StandNeighbours> adjacency;  // the planned stands' neighbours, with a spatial rule
    std::optional<SpatialRule> spatial;      // the rule solved, its neighbours filled in
    size_t candidates() const;
    bool hasPlan() const { return !failure; }
};

// Gathers the candidates and solves the plan. `progress` is called from the
// calling thread or the gathering threads, never two calls at once. Once
// `cancel` is set the job stops between stands or within the solver's next
// moments and returns a cancelled failure.
PlanResult runPlan(const PlanRequest &request, const std::function<void(const PlanProgress &)> &progress = {},
                   const std::atomic<bool> *cancel = nullptr);

// Gathering the candidates of a share of the inventory into a results
// database, for a plan solved later from them (PlanRequest::candidatesDatabase)
// once every share is gathered and merged.
struct GatheringRequest {
    PlanRequest plan; // its constraints are not used
    std::filesystem::path database;
    unsigned shardIndex = 1; // the stands at positions p with p mod shardCount = shardIndex - 1
    unsigned shardCount = 1;
    bool resume = false; // continue the latest unfinished gathering of the same work and shard
    int busyTimeoutMs = kBusyTimeoutMs;
};

struct GatheringOutcome {
    // InvalidRequest, InventoryUnusable, CancelledGathering or OutputUnusable;
    // a cancelled or failed gathering keeps every stand it committed.
    std::optional<PlanFailure> failure;
    size_t rows = 0;       // the inventory's
    size_t stands = 0;     // of this share
    size_t alreadyDone = 0; // a resumed gathering's
    bool resumed = false;
    size_t planned = 0, withoutCandidates = 0, candidates = 0; // this time
    std::vector<InventoryWarning> warnings;
};

GatheringOutcome gatherCandidatesInto(const GatheringRequest &request,
                                      const std::function<void(size_t done, size_t total)> &progress = {},
                                      const std::atomic<bool> *cancel = nullptr);

// The work a request's gathering does, as kept with its candidates.
CandidateWork candidateWorkOf(const PlanRequest &request);

// The files of an output folder a plan writes, named as they are written.
inline constexpr std::string_view kPlanErrorsFile = "errors.csv";
inline constexpr std::string_view kPlanCandidatesFile = "candidates.csv";
inline constexpr std::string_view kPlanFile = "plan.csv";
inline constexpr std::string_view kPlanPeriodsFile = "periods.csv";
inline constexpr std::string_view kPlanAdjacencyFile = "adjacency.csv";
// errors.csv's status of a planned stand whose outline gives no neighbours.
inline constexpr std::string_view kInvalidOutlineStatus = "invalid outline";
inline constexpr std::string_view kPlanOpeningsFile = "openings.csv";
bool isPlanOutputFile(const std::string &name); // also the chart, harvest.png or harvest.svg

// errors.csv and candidates.csv, as soon as the candidates are gathered.
std::vector<std::pair<std::string, std::string>> candidateCsvFiles(const PlanRequest &request,
                                                                   const PlanInventory &gathered);
// plan.csv and periods.csv of a result with a plan (none without), and with a
// spatial rule adjacency.csv and openings.csv.
std::vector<std::pair<std::string, std::string>> planCsvFiles(const PlanResult &result);
// front.csv and each point's plan.csv and periods.csv under front/K/ (none without a front).
inline constexpr std::string_view kPlanFrontFile = "front.csv";
std::vector<std::pair<std::string, std::string>> frontCsvFiles(const PlanResult &result);
// front.csv's rows without its header, as the results database stores them.
std::vector<std::vector<std::string>> frontRows(const std::vector<FrontPoint> &front);
// The distinct openings of a result's plan, as openings.csv lists them
// (numbered from 1 in this order); none without a spatial rule.
std::vector<PlanOpening> resultOpenings(const PlanResult &result);

// Whether a result holds the gathered candidates (whatever became of the plan).
bool hasCandidates(const PlanResult &result);

// A result with a plan as one finished run of the results database `path`
// (see savePlan). Throws BatchOutputError when it cannot be written.
void savePlanResult(const std::filesystem::path &path, const PlanRequest &request, const PlanResult &result,
                    int busyTimeoutMs);

} // namespace tavelo
