#pragma once

// The candidates of a forest plan: for every stand of an inventory, the
// regimes it may follow, each summarised by its value and its harvest per
// 5-year period, and the plan's tables written from them.

#include "inventory/forest_plan.h"
#include "inventory/results_map.h"
#include "regimes/scenario.h"
#include "regimes/optimizer.h"
#include "regimes/search_space.h"
#include "session/results/carbon.h"
#include "session/results/economics.h"

#include <cstddef>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tavelo {

struct PlanSettings {
    OptionsInput options;   // the model options; their year is the plan's first year
    int startYear = 0;
    int horizonYears = 30;  // a multiple of 5
    EconomicInputs economics;
    double landValue = 0.0; // €/ha, counted after the final felling
    CarbonFactors carbon = defaultCarbonFactors(); // the economics file's carbon section, else these
    size_t periods() const { return static_cast<size_t>(horizonYears / kPlanPeriodYears); }
};

// What the tables show of a candidate besides what the programme reads
// (the whole area; per period).
struct CandidateDetail {
    std::string schedule;
    std::vector<double> roundwood, firewood, revenue;
    std::vector<double> standingEnd; // the standing volume at each period's end (0 once felled)
    std::vector<double> carbonEnd;   // t C at each period's end: the stand (0 once felled) and its products
};

struct KeptCandidate {
    PlanCandidate plan;
    CandidateDetail detail;
};

// A regime's record valued and cut into periods for a stand of `area` ha;
// nothing when its value is not a finite number.
std::optional<KeptCandidate> summariseRegime(const std::vector<ValuationRow> &rows, bool planted, double area,
                                             const PlanSettings &settings);
// Its carbon over the horizon, from the same rows over bark under `factors`
// (apart, since only the candidates kept need it).
void addHorizonCarbon(KeptCandidate &candidate, const std::vector<ValuationRow> &overBarkRows, double area,
                      const PlanSettings &settings, const CarbonFactors &factors);

// A search space's regime as a candidate's schedule: its thinnings, then the
// final felling ("17: mecânico 30 %; 45: corte final").
std::string spaceSchedule(const RankedRegime &r);

// Where the candidates come from: a search space walked as `optimize` walks
// it, or regime files each played for every stand.
struct CandidateSource {
    std::optional<SearchSpace> space;
    std::vector<std::pair<std::string, Regime>> regimes; // label, regime
    double maxRegimes = kDefaultMaxRegimes; // the most regimes the space may hold for a stand
};

struct PlanInventory {
    std::vector<PlanStand> stands;              // the stands with candidates, in inventory order
    std::vector<std::vector<CandidateDetail>> details; // per stand, per candidate
    std::string errorsCsv;                      // errors.csv's lines (no header)
    std::vector<std::vector<std::string>> errorRows;
    size_t rows = 0;                            // inventory rows read
    bool interrupted = false;                   // stopped before every stand had its candidates
    // The planned stands' outlines and inventory positions, and the layer's
    // geometry type and reference system (none without geometries).
    std::vector<StandGeometry> geometries;
    std::vector<size_t> positions;
    std::optional<MapLayer> map;
    std::vector<InventoryWarning> warnings; // about the inventory as read
};

// One stand's candidates as gathered: the planned stand, or the errors.csv
// line of a stand without any.
struct GatheredStand {
    size_t position = 0; // in the inventory, from 0
    size_t line = 0;     // the CSV file's line, or the table's row counted from 1
    std::optional<PlanStand> stand;
    std::vector<CandidateDetail> details; // per candidate
    StandGeometry geometry;
    std::string errorLine; // with its line end; empty for a planned stand
};

// The inventory as the gathering read it.
struct GatheringRead {
    size_t rows = 0;            // every row, gathered or not
    bool interrupted = false;   // stopped before every wanted stand was gathered
    std::optional<MapLayer> map;
    std::vector<InventoryWarning> warnings;
    InventoryFingerprint fingerprint;
};

// What a gathering does with the inventory it read.
struct GatheringHooks {
    // Called once the inventory is read, before any stand is gathered; what it
    // throws ends the gathering and is thrown on.
    std::function<void(const GatheringRead &)> ready;
    // The positions to gather; every stand without it.
    std::function<bool(size_t position)> wanted;
    // Each stand gathered, in inventory order, from the calling thread. What
    // it throws ends the gathering (the stands under way finish) and is thrown on.
    std::function<void(GatheredStand &&)> take;
    std::function<void(size_t done, size_t total)> progress;
};

// Reads the inventory and gathers the candidates of the stands `hooks` want
// on `jobs` threads. Throws std::runtime_error when the inventory cannot be used.
GatheringRead gatherStandByStand(const std::filesystem::path &inventory, const std::string &table,
                                 const CandidateSource &source, const PlanSettings &settings, unsigned jobs,
                                 const GatheringHooks &hooks, const std::atomic<bool> *stop = nullptr);
// Adds a gathered stand to the plan's inventory, in order.
void addGathered(PlanInventory &inv, GatheredStand &&stand);

// The most candidates a stand can have: one for each felling year within the
// horizon and one felled later for a search space, one a regime file.
size_t mostCandidatesAStand(const CandidateSource &source, const PlanSettings &settings);

// Reads the inventory (CSV or database table, as batch does) and gathers every
// stand's candidates on `jobs` threads; the result does not depend on the
// number of jobs. Throws std::runtime_error when the inventory cannot be used.
// `ready` as in GatheringHooks.
PlanInventory gatherCandidates(const std::filesystem::path &inventory, const std::string &table,
                               const CandidateSource &source, const PlanSettings &settings, unsigned jobs,
                               const std::function<void(size_t done, size_t total)> &progress,
                               const std::atomic<bool> *stop = nullptr,
                               const std::function<void(const GatheringRead &)> &ready = {});

// The planned stands for the map layer: each stand's chosen regime, its
// felling year and period.
std::vector<PlannedStand> plannedStands(const PlanInventory &inv, const PlanSolution &solution,
                                        const PlanSettings &settings);

// candidates.csv, plan.csv and periods.csv.
std::string candidatesCsv(const PlanInventory &inv, const PlanSettings &settings, FlowBasis basis);
std::string planCsv(const PlanInventory &inv, const PlanSolution &solution);
// plan.csv's rows without its header, each cell as the file shows it unquoted:
// what the results database stores.
std::vector<std::vector<std::string>> planRows(const PlanInventory &inv, const PlanSolution &solution);

struct PlanPeriod {
    int firstYear = 0, lastYear = 0;
    double total = 0.0, sawlog = 0.0, roundwood = 0.0, firewood = 0.0, revenue = 0.0;
    double standingAtEnd = 0.0;
    double carbonAtEnd = 0.0; // t C
    std::optional<double> revenueWithoutRule; // with the neighbours' rule, the plan without it
};
std::vector<PlanPeriod> planPeriods(const PlanInventory &inv, const PlanSolution &solution,
                                    const PlanSettings &settings);
std::string periodsCsv(const std::vector<PlanPeriod> &periods);
// periods.csv's rows without its header, as planRows.
std::vector<std::vector<std::string>> periodRows(const std::vector<PlanPeriod> &periods);

} // namespace tavelo
