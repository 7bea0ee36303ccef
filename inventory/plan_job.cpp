#include "inventory/plan_job.h"

#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "inventory/results_tables.h"
#include "base/csv.h"
#include "base/numeric_text.h"
#include "base/system_memory.h"
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
constexpr double kMostCarbonPerHa = 10000.0; // far beyond any forest's stock

PlanFailure failureOf(PlanFailure::Kind kind)
{
    PlanFailure f;
    f.kind = kind;
    return f;
}

// A refusal of candidates that would not fit in the memory the request may take.
std::optional<PlanFailure> tooLarge(const PlanRequest &request, size_t stands, size_t candidates)
{
    const std::optional<uint64_t> available = request.memoryBytes ? request.memoryBytes : availableMemoryBytes();
    const uint64_t needed = planMemoryBytes(stands, candidates, request.settings.periods());
    if (!available || needed <= *available)
        return std::nullopt;
    PlanFailure f = failureOf(PlanFailure::Kind::TooLarge);
    f.size = {stands, candidates, needed, *available};
    return f;
}

// Thrown from the gathering's first moment to refuse it.
struct RefusedGathering {
    PlanFailure failure;
};

std::string shardText(unsigned index, unsigned count)
{
    return std::to_string(index) + "/" + std::to_string(count);
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

uint64_t planMemoryBytes(size_t stands, size_t candidates, size_t periods)
{
    // A candidate: its figures and schedule, and its column of the LP and of
    // the search (the solver keeps a few copies); a stand: its id, outline
    // and row. Both measured on diverse forests, with half again as margin.
    const uint64_t perCandidate = 900 + 150 * static_cast<uint64_t>(periods);
    const uint64_t perStand = 600;
    const uint64_t programme = 64u << 20; // the program and its libraries
    return programme + static_cast<uint64_t>(candidates) * perCandidate + static_cast<uint64_t>(stands) * perStand;
}

CandidateWork candidateWorkOf(const PlanRequest &request)
{
    return {request.settings.horizonYears, request.economicsJson, request.sourceJson, request.source.maxRegimes};
}

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
    if (request.candidatesDatabase.empty() && request.source.space.has_value() == !request.source.regimes.empty())
        return PlanRequestField::CandidateSource;
    if (c.minCarbonPerHa && !percentWithin(*c.minCarbonPerHa, kMostCarbonPerHa))
        return PlanRequestField::MinCarbon;
    if (request.frontPoints && (*request.frontPoints < 1 || *request.frontPoints > kMostFrontPoints ||
                                c.objective != PlanObjective::Value || c.minCarbonPerHa))
        return PlanRequestField::FrontPoints;
    return spatialRequestProblem(request);
}

size_t PlanResult::candidates() const
{
    size_t n = 0;
    for (const PlanStand &s : gathered.stands)
        n += s.candidates.size();
    return n;
}

namespace {

FrontPoint frontPoint(const PlanResult &result, const PlanRequest &request, PlanSolution solution,
                      FrontPoint::Kind kind)
{
    FrontPoint point;
    point.kind = kind;
    const double area = plannedArea(result.gathered.stands);
    point.carbonPerHa = area > 0.0 ? solution.carbon / area : 0.0;
    point.value = solution.value;
    point.periods = planPeriods(result.gathered, solution, request.settings);
    point.solution = std::move(solution);
    return point;
}

bool hasChoice(const PlanSolution &s)
{
    return !s.chosen.empty() &&
           (s.status == PlanSolution::Status::Optimal || s.status == PlanSolution::Status::Stopped);
}

// The anchors and the points between them, each the most value with the
// carbon at least its floor, solved from the plan of the floor above it
// (which keeps every lower floor). False when cancelled.
bool solveFront(const PlanRequest &request, const PlanConstraints &constraints, PlanResult &result,
                const std::atomic<bool> *cancel)
{
    const std::vector<PlanStand> &stands = result.gathered.stands;
    const size_t periods = request.settings.periods();
    const double area = plannedArea(stands);
    std::vector<FrontPoint> points{frontPoint(result, request, result.solution, FrontPoint::Kind::ValueAnchor)};
    PlanConstraints most = constraints;
    most.objective = PlanObjective::Carbon;
    PlanSolution top = solvePlan(stands, periods, most, cancel, {}, &result.solution.chosen);
    if (cancel && cancel->load())
        return false;
    if (!hasChoice(top)) { // the value anchor already holds the most carbon the solver found
        result.front = std::move(points);
        return true;
    }
    const double low = points.front().carbonPerHa, high = top.carbon / area;
    const std::vector<size_t> *from = &top.chosen;
    std::vector<FrontPoint> between;
    const size_t n = *request.frontPoints;
    for (size_t k = n; k >= 1; --k) {
        PlanConstraints floor = constraints;
        floor.minCarbonPerHa = low + (high - low) * static_cast<double>(k) / static_cast<double>(n + 1);
        PlanSolution s = solvePlan(stands, periods, floor, cancel, {}, from);
        if (cancel && cancel->load())
            return false;
        if (!hasChoice(s))
            continue;
        between.push_back(frontPoint(result, request, std::move(s), FrontPoint::Kind::Between));
        from = &between.back().solution.chosen;
    }
    for (auto it = between.rbegin(); it != between.rend(); ++it)
        points.push_back(std::move(*it));
    points.push_back(frontPoint(result, request, std::move(top), FrontPoint::Kind::CarbonAnchor));
    const FrontPoint &anchor = points.front();
    for (FrontPoint &p : points) {
        p.valueLossPercent = anchor.value != 0.0 ? (anchor.value - p.value) / std::abs(anchor.value) * 100.0 : 0.0;
        p.carbonGainPercent =
            anchor.carbonPerHa != 0.0 ? (p.carbonPerHa - anchor.carbonPerHa) / anchor.carbonPerHa * 100.0 : 0.0;
    }
    result.front = nondominated(std::move(points));
    if (const auto knee = frontKnee(result.front))
        result.front[*knee].knee = true;
    return true;
}

} // namespace

std::vector<FrontPoint> nondominated(std::vector<FrontPoint> points)
{
    std::vector<FrontPoint> kept;
    for (size_t i = 0; i < points.size(); ++i) {
        bool beaten = false;
        for (size_t j = 0; j < points.size() && !beaten; ++j) {
            const FrontPoint &a = points[j], &b = points[i];
            if (j == i || a.value < b.value || a.carbonPerHa < b.carbonPerHa)
                continue;
            const bool anchorA = a.kind != FrontPoint::Kind::Between, anchorB = b.kind != FrontPoint::Kind::Between;
            // Of two equal plans an anchor stays, else the first.
            beaten = a.value > b.value || a.carbonPerHa > b.carbonPerHa || (anchorA && !anchorB) ||
                     (anchorA == anchorB && j < i);
        }
        if (!beaten)
            kept.push_back(std::move(points[i]));
    }
    return kept;
}

std::optional<size_t> frontKnee(const std::vector<FrontPoint> &front)
{
    if (front.size() < 3)
        return std::nullopt;
    const FrontPoint &a = front.front(), &b = front.back();
    const double carbonSpan = b.carbonPerHa - a.carbonPerHa, valueSpan = a.value - b.value;
    if (!(carbonSpan > 0.0) || !(valueSpan > 0.0))
        return std::nullopt;
    // Scaled, the anchors are (0, 1) and (1, 0): a point's height above the
    // line joining them is proportional to x + y - 1.
    std::optional<size_t> knee;
    double farthest = 1e-12;
    for (size_t i = 1; i + 1 < front.size(); ++i) {
        const double x = (front[i].carbonPerHa - a.carbonPerHa) / carbonSpan;
        const double y = (front[i].value - b.value) / valueSpan;
        if (x + y - 1.0 > farthest) {
            farthest = x + y - 1.0;
            knee = i;
        }
    }
    return knee;
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
    if (!request.candidatesDatabase.empty()) {
        const auto found = findGathering(request.candidatesDatabase);
        if (const auto *problem = std::get_if<CandidateStoreProblem>(&found)) {
            result.failure = failureOf(PlanFailure::Kind::NoGathering);
            result.failure->file = request.candidatesDatabase.string();
            result.failure->gathering = *problem;
            return result;
        }
        const StoredGathering &stored = std::get<StoredGathering>(found);
        if (stored.work.horizonYears != request.settings.horizonYears) {
            result.failure = failureOf(PlanFailure::Kind::InvalidRequest);
            result.failure->field = PlanRequestField::Horizon;
            return result;
        }
        if (auto refused = tooLarge(request, stored.stands, stored.candidates)) {
            result.failure = std::move(refused);
            return result;
        }
        try {
            result.gathered = readGathering(request.candidatesDatabase, stored);
        } catch (const std::exception &e) {
            result.failure = failureOf(PlanFailure::Kind::InventoryUnusable);
            result.failure->file = request.candidatesDatabase.string();
            result.failure->detail = e.what();
            return result;
        }
        if (gathering)
            gathering(stored.run.stands, stored.run.stands);
    } else {
        // Refused before any stand is gathered when even the most candidates they could have would not fit.
        const auto admit = [&request](const GatheringRead &read) {
            if (auto refused = tooLarge(request, read.rows, read.rows * mostCandidatesAStand(request.source,
                                                                                             request.settings)))
                throw RefusedGathering{std::move(*refused)};
        };
        try {
            result.gathered = gatherCandidates(request.inventory, request.layer, request.source, request.settings,
                                               request.jobs, gathering, cancel, admit);
        } catch (const RefusedGathering &refused) {
            result.failure = refused.failure;
            return result;
        } catch (const std::exception &e) {
            result.failure = failureOf(PlanFailure::Kind::InventoryUnusable);
            result.failure->file = request.inventory.string();
            result.failure->detail = e.what();
            return result;
        }
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
    SolverReport solverReport;
    if (progress)
        solverReport = [&progress](const SolverState &state) {
            PlanProgress p;
            p.stage = PlanProgress::Stage::Solving;
            p.solver = state;
            progress(p);
        };
    result.solution =
        solvePlan(result.gathered.stands, request.settings.periods(), constraints, cancel, solverReport);
    const PlanSolution &solution = result.solution;
    // A cancel that came with the solution still sets the plan aside.
    if (solution.status == PlanSolution::Status::Interrupted || cancelled()) {
        result.failure = failureOf(PlanFailure::Kind::CancelledSolving);
        return result;
    }
    if (solution.status == PlanSolution::Status::Infeasible) {
        result.failure = failureOf(PlanFailure::Kind::Infeasible);
        result.failure->family = solution.blocking.value_or(ConstraintFamily::Flow);
        if (const double area = plannedArea(result.gathered.stands); solution.reachableCarbon && area > 0.0)
            result.failure->reachableCarbonPerHa = *solution.reachableCarbon / area;
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
    if (request.frontPoints && !solveFront(request, constraints, result, cancel)) {
        result.failure = failureOf(PlanFailure::Kind::CancelledSolving);
        result.front.clear();
    }
    return result;
}

GatheringOutcome gatherCandidatesInto(const GatheringRequest &request,
                                      const std::function<void(size_t done, size_t total)> &progress,
                                      const std::atomic<bool> *cancel)
{
    GatheringOutcome out;
    const PlanRequest &plan = request.plan;
    if (const auto field = planRequestProblem(plan)) {
        out.failure = failureOf(PlanFailure::Kind::InvalidRequest);
        out.failure->field = field;
        return out;
    }
    const unsigned index = request.shardIndex, count = request.shardCount;
    std::optional<CandidateStoreWriter> writer;
    std::vector<bool> done;
    GatheringHooks hooks;
    hooks.ready = [&](const GatheringRead &read) {
        RunIdentity identity = runIdentityOf(plan.inventory, plan.layer, candidateWorkText(candidateWorkOf(plan)));
        if (count > 1)
            identity.shard = shardText(index, count);
        identity.inventoryRows = static_cast<int64_t>(read.fingerprint.rows);
        identity.inventoryHash = read.fingerprint.hash;
        out.rows = read.rows;
        out.stands = read.rows / count + (read.rows % count >= index ? 1 : 0);
        writer.emplace(request.database, identity, static_cast<int64_t>(out.stands), request.resume,
                       request.busyTimeoutMs);
        if (read.map)
            writer->setLayer(*read.map);
        done.assign(read.rows, false);
        for (size_t p : writer->alreadyDone())
            if (p < done.size())
                done[p] = true;
        out.alreadyDone = writer->alreadyDone().size();
        out.resumed = writer->resumed();
    };
    hooks.wanted = [&](size_t p) { return p % count == index - 1 && !done[p]; };
    hooks.take = [&](GatheredStand &&g) {
        if (g.stand) {
            ++out.planned;
            out.candidates += g.stand->candidates.size();
        } else {
            ++out.withoutCandidates;
        }
        writer->add(std::move(g));
    };
    hooks.progress = progress;
    const auto failed = [&](PlanFailure::Kind kind, const std::string &detail) {
        // What was committed stays; what waits is committed if it can be.
        try {
            if (writer)
                writer->finish(false);
        } catch (const std::exception &) {
        }
        out.failure = failureOf(kind);
        out.failure->file = (kind == PlanFailure::Kind::OutputUnusable ? request.database : plan.inventory).string();
        out.failure->detail = detail;
    };
    try {
        const GatheringRead read = gatherStandByStand(plan.inventory, plan.layer, plan.source, plan.settings,
                                                      plan.jobs, hooks, cancel);
        out.warnings = read.warnings;
        writer->finish(!read.interrupted);
        if (read.interrupted)
            out.failure = failureOf(PlanFailure::Kind::CancelledGathering);
    } catch (const BatchOutputError &e) {
        failed(PlanFailure::Kind::OutputUnusable, e.what());
    } catch (const std::exception &e) {
        failed(PlanFailure::Kind::InventoryUnusable, e.what());
    }
    return out;
}

bool isPlanOutputFile(const std::string &name)
{
    return name == kPlanCandidatesFile || name == kPlanFile || name == kPlanPeriodsFile || name == kPlanErrorsFile ||
           name == kPlanAdjacencyFile || name == kPlanOpeningsFile || name == "harvest.png" ||
           name == "harvest.svg" || name == kPlanFrontFile || name == "front.png" ||
           name == "front.svg" || name == "front/";
}

std::vector<std::pair<std::string, std::string>> frontCsvFiles(const PlanResult &result)
{
    if (!result.hasPlan() || result.front.empty())
        return {};
    std::vector<std::pair<std::string, std::string>> files{{std::string(kPlanFrontFile), csvHeader(kPlanFrontTable) +
                                                                                              csvTable(frontRows(result.front))}};
    for (size_t k = 0; k < result.front.size(); ++k) {
        const std::string folder = "front/" + std::to_string(k) + "/";
        files.emplace_back(folder + std::string(kPlanFile), planCsv(result.gathered, result.front[k].solution));
        files.emplace_back(folder + std::string(kPlanPeriodsFile), periodsCsv(result.front[k].periods));
    }
    return files;
}

std::vector<std::vector<std::string>> frontRows(const std::vector<FrontPoint> &front)
{
    std::vector<std::vector<std::string>> rows;
    for (size_t k = 0; k < front.size(); ++k) {
        const FrontPoint &p = front[k];
        rows.push_back({std::to_string(k), formatFixed(p.carbonPerHa, 3), formatFixed(p.value, 2),
                        formatFixed(p.valueLossPercent, 3), formatFixed(p.carbonGainPercent, 3),
                        formatFixed(p.solution.gapPercent, 4), p.knee ? "1" : "0"});
    }
    return rows;
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
    const std::vector<std::vector<std::string>> front = frontRows(result.front);
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
             spatial ? &*spatial : nullptr, result.front.empty() ? nullptr : &front);
}

} // namespace tavelo
