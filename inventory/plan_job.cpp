#include "inventory/plan_job.h"

#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "inventory/results_tables.h"
#include "base/csv.h"
#include "base/numeric_text.h"
#include "inventory/batch.h"

#include <cmath>
#include <exception>
#include <memory>

namespace tavelo {

namespace {

bool percentWithin(double value, double largest)
{
    return std::isfinite(value) && value >= 0.0 && value <= largest;
}

// Beyond this a time limit would only mean "for ever".
constexpr double kLongestSolveSeconds = 1e7;
constexpr int kLongestHorizonYears = 200;

PlanFailure failureOf(PlanFailure::Kind kind)
{
    PlanFailure f;
    f.kind = kind;
    return f;
}

std::optional<PlanRequestField> spatialRequestProblem(const PlanRequest &request)
{
    if (!std::isfinite(request.minSharedBoundary) || request.minSharedBoundary < 0.0)
        return PlanRequestField::MinSharedBoundary;
    if (!request.constraints.spatial)
        return std::nullopt;
    const SpatialRule &rule = *request.constraints.spatial;
    if (rule.greenUpYears < kPlanPeriodYears || rule.greenUpYears > kLongestHorizonYears ||
        rule.greenUpYears % kPlanPeriodYears != 0)
        return PlanRequestField::GreenUp;
    if (rule.maxOpeningHa && !(std::isfinite(*rule.maxOpeningHa) && *rule.maxOpeningHa > 0.0))
        return PlanRequestField::MaxOpening;
    if (rule.softPrice && !(std::isfinite(*rule.softPrice) && *rule.softPrice >= 0.0))
        return PlanRequestField::SoftPrice;
    return std::nullopt;
}

// Whether the inventory's layer can give neighbours at all, told before the
// candidates are gathered: a layer without outlines or in degrees cannot.
std::optional<PlanFailure> mapRefused(const PlanRequest &request)
{
    std::optional<InventoryCrs> crs;
    try {
        const std::unique_ptr<InventorySource> source = openInventory(request.inventory, request.layer);
        if (!source->geometryType().empty()) {
            const StandAdjacency probe = standAdjacency({}, source->crs(), 0.0);
            if (probe.outcome != StandAdjacency::Outcome::Geographic)
                return std::nullopt;
            crs = source->crs();
        }
    } catch (const std::exception &) {
        return std::nullopt; // the gathering says why
    }
    PlanFailure f = failureOf(PlanFailure::Kind::NoProjectedMap);
    f.file = request.inventory.string();
    f.detail = crs ? crs->name() : std::string();
    return f;
}

// The neighbours of the planned stands, from their outlines; a failure when
// the map cannot give them. Invalid outlines join errors.csv.
std::optional<PlanFailure> findNeighbours(const PlanRequest &request, PlanResult &result)
{
    PlanInventory &inv = result.gathered;
    StandAdjacency found = standAdjacency(inv.geometries, inv.map ? inv.map->crs : std::nullopt,
                                          request.minSharedBoundary);
    if (!inv.map || found.outcome != StandAdjacency::Outcome::Built) {
        PlanFailure f = failureOf(PlanFailure::Kind::NoProjectedMap);
        f.file = request.inventory.string();
        f.detail = found.crs;
        return f;
    }
    for (const auto &[s, why] : found.invalid) {
        const std::string line = errorsCsvLine(inv.stands[s].id, std::string(kInvalidOutlineStatus), "", why + "; planned without neighbours");
        inv.errorsCsv += line;
        if (auto cells = splitCsvLine(line.substr(0, line.size() - 1)))
            inv.errorRows.push_back(std::move(*cells));
    }
    result.spatial = request.constraints.spatial;
    result.spatial->startYear = request.settings.startYear;
    for (const StandNeighbours &n : found.pairs)
        result.spatial->neighbours.emplace_back(n.a, n.b);
    result.adjacency = std::move(found.pairs);
    return std::nullopt;
}

std::string areaText(double ha)
{
    return formatFixed(ha, 4);
}

} // namespace

std::optional<PlanRequestField> planRequestProblem(const PlanRequest &request)
{
    const int horizon = request.settings.horizonYears;
    if (horizon < kPlanPeriodYears || horizon > kLongestHorizonYears || horizon % kPlanPeriodYears != 0)
        return PlanRequestField::Horizon;
    const PlanConstraints &c = request.constraints;
    if (c.flow == FlowRule::Even && !percentWithin(c.evenPercent, 100.0))
        return PlanRequestField::EvenPercent;
    if (c.endingStockPercent && !percentWithin(*c.endingStockPercent, 1000.0))
        return PlanRequestField::EndingStockPercent;
    if (!percentWithin(c.gapPercent, 100.0))
        return PlanRequestField::GapPercent;
    if (c.maxSeconds && !(*c.maxSeconds > 0.0 && *c.maxSeconds <= kLongestSolveSeconds))
        return PlanRequestField::TimeLimit;
    if (request.source.space.has_value() == !request.source.regimes.empty())
        return PlanRequestField::CandidateSource;
    return spatialRequestProblem(request);
}

size_t PlanResult::candidates() const
{
    size_t n = 0;
    for (const PlanStand &s : gathered.stands)
        n += s.candidates.size();
    return n;
}

PlanResult runPlan(const PlanRequest &request, const std::function<void(const PlanProgress &)> &progress,
                   const std::atomic<bool> *cancel)
{
    PlanResult result;
    const auto cancelled = [cancel] { return cancel && cancel->load(); };
    if (const auto field = planRequestProblem(request)) {
        result.failure = failureOf(PlanFailure::Kind::InvalidRequest);
        result.failure->field = field;
        return result;
    }

    if (request.constraints.spatial)
        if (auto refused = mapRefused(request)) {
            result.failure = std::move(refused);
            return result;
        }

    std::function<void(size_t, size_t)> gathering;
    if (progress)
        gathering = [&progress](size_t done, size_t total) {
            progress(PlanProgress{PlanProgress::Stage::Candidates, done, total});
        };
    try {
        result.gathered = gatherCandidates(request.inventory, request.layer, request.source, request.settings,
                                           request.jobs, gathering, cancel);
    } catch (const std::exception &e) {
        result.failure = failureOf(PlanFailure::Kind::InventoryUnusable);
        result.failure->file = request.inventory.string();
        result.failure->detail = e.what();
        return result;
    }
    if (result.gathered.interrupted || cancelled()) {
        // Half an inventory's candidates are of no use to anyone.
        std::vector<InventoryWarning> warnings = std::move(result.gathered.warnings);
        result.gathered = PlanInventory{};
        result.gathered.warnings = std::move(warnings);
        result.failure = failureOf(PlanFailure::Kind::CancelledGathering);
        return result;
    }
    if (result.gathered.stands.empty()) {
        result.failure = failureOf(PlanFailure::Kind::NoCandidates);
        result.failure->file = request.inventory.string();
        return result;
    }

    PlanConstraints constraints = request.constraints;
    if (constraints.spatial) {
        if (auto failure = findNeighbours(request, result)) {
            result.failure = std::move(failure);
            return result;
        }
        constraints.spatial = result.spatial;
    }
    if (request.modelFile)
        result.modelProblem =
            writePlanModel(result.gathered.stands, request.settings.periods(), constraints, *request.modelFile);
    if (progress)
        progress(PlanProgress{PlanProgress::Stage::Solving, 0, 0, &result.gathered});
    result.solution = solvePlan(result.gathered.stands, request.settings.periods(), constraints, cancel);
    const PlanSolution &solution = result.solution;
    // A cancel that came with the solution still sets the plan aside.
    if (solution.status == PlanSolution::Status::Interrupted || cancelled()) {
        result.failure = failureOf(PlanFailure::Kind::CancelledSolving);
        return result;
    }
    if (solution.status == PlanSolution::Status::Infeasible) {
        result.failure = failureOf(PlanFailure::Kind::Infeasible);
        result.failure->family = solution.blocking.value_or(ConstraintFamily::Flow);
        return result;
    }
    if (solution.status == PlanSolution::Status::NoSolution) {
        result.failure = failureOf(PlanFailure::Kind::NoSolution);
        result.failure->bound = solution.bound;
        return result;
    }
    if (solution.status == PlanSolution::Status::Stopped)
        result.stop = request.constraints.maxSeconds && solution.seconds >= *request.constraints.maxSeconds
                          ? PlanStop::TimeLimit
                          : PlanStop::OtherLimit;
    result.periods = planPeriods(result.gathered, solution, request.settings);
    return result;
}

bool isPlanOutputFile(const std::string &name)
{
    return name == kPlanCandidatesFile || name == kPlanFile || name == kPlanPeriodsFile || name == kPlanErrorsFile ||
           name == kPlanAdjacencyFile || name == kPlanOpeningsFile || name == "harvest.png" || name == "harvest.svg";
}

bool hasCandidates(const PlanResult &result)
{
    using Kind = PlanFailure::Kind;
    return !result.failure || (result.failure->kind != Kind::InvalidRequest &&
                               result.failure->kind != Kind::InventoryUnusable &&
                               result.failure->kind != Kind::CancelledGathering);
}

std::vector<std::pair<std::string, std::string>> candidateCsvFiles(const PlanRequest &request,
                                                                   const PlanInventory &gathered)
{
    return {{std::string(kPlanErrorsFile), csvHeader(kErrorsTable) + gathered.errorsCsv},
            {std::string(kPlanCandidatesFile), candidatesCsv(gathered, request.settings, request.constraints.basis)}};
}

std::vector<PlanOpening> resultOpenings(const PlanResult &result)
{
    if (!result.hasPlan() || !result.spatial)
        return {};
    return planOpenings(result.gathered.stands, result.solution.chosen, result.periods.size(), *result.spatial, true);
}

namespace {

std::vector<std::vector<std::string>> adjacencyRows(const PlanResult &result)
{
    std::vector<std::vector<std::string>> rows;
    for (const StandNeighbours &n : result.adjacency)
        rows.push_back({result.gathered.stands[n.a].id, result.gathered.stands[n.b].id, formatFixed(n.sharedMetres, 2)});
    return rows;
}

std::vector<std::vector<std::string>> openingRows(const PlanResult &result)
{
    std::vector<std::vector<std::string>> rows;
    for (const PlanOpening &o : resultOpenings(result)) {
        std::string ids;
        for (size_t s : o.stands)
            ids += (ids.empty() ? "" : " ") + result.gathered.stands[s].id;
        rows.push_back({std::to_string(rows.size() + 1), std::to_string(o.firstPeriod), ids, areaText(o.area)});
    }
    return rows;
}

} // namespace

std::vector<std::pair<std::string, std::string>> planCsvFiles(const PlanResult &result)
{
    if (!result.hasPlan())
        return {};
    std::vector<std::pair<std::string, std::string>> files{
        {std::string(kPlanFile), planCsv(result.gathered, result.solution)},
        {std::string(kPlanPeriodsFile), periodsCsv(result.periods)}};
    if (result.spatial) {
        files.emplace_back(kPlanAdjacencyFile, csvHeader(kPlanAdjacencyTable) + csvTable(adjacencyRows(result)));
        files.emplace_back(kPlanOpeningsFile, csvHeader(kPlanOpeningsTable) + csvTable(openingRows(result)));
    }
    return files;
}

void savePlanResult(const std::filesystem::path &path, const PlanRequest &request, const PlanResult &result,
                    int busyTimeoutMs)
{
    const PlanInventory &inv = result.gathered;
    const RunIdentity identity = runIdentityOf(request.inventory, request.layer, request.economicsJson);
    std::vector<PlannedStand> planned = plannedStands(inv, result.solution, request.settings);
    std::optional<PlanSpatialTables> spatial;
    if (result.spatial) {
        spatial.emplace(PlanSpatialTables{adjacencyRows(result), openingRows(result)});
        // Each stand on the map with the largest opening it is part of.
        const std::vector<PlanOpening> openings = resultOpenings(result);
        std::vector<double> largest(inv.stands.size(), 0.0);
        for (size_t o = 0; o < openings.size(); ++o)
            for (size_t s : openings[o].stands)
                if (openings[o].area > largest[s] && s < planned.size()) {
                    largest[s] = openings[o].area;
                    planned[s].openingId = static_cast<int64_t>(o + 1);
                }
    }
    savePlan(path, identity, static_cast<int64_t>(inv.rows), planRows(inv, result.solution),
             periodRows(result.periods), inv.errorRows, busyTimeoutMs, inv.map ? &*inv.map : nullptr, &planned,
             spatial ? &*spatial : nullptr);
}

} // namespace tavelo
