#include "inventory/plan_job.h"

#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "inventory/results_tables.h"
#include "base/csv.h"
#include "base/system_memory.h"

#include <cmath>
#include <exception>

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
    return std::nullopt;
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

    if (request.modelFile)
        result.modelProblem =
            writePlanModel(result.gathered.stands, request.settings.periods(), request.constraints, *request.modelFile);
    if (progress)
        progress(PlanProgress{PlanProgress::Stage::Solving, 0, 0, &result.gathered});
    result.solution =
        solvePlan(result.gathered.stands, request.settings.periods(), request.constraints, cancel);
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
           name == "harvest.png" || name == "harvest.svg";
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

std::vector<std::pair<std::string, std::string>> planCsvFiles(const PlanResult &result)
{
    if (!result.hasPlan())
        return {};
    return {{std::string(kPlanFile), planCsv(result.gathered, result.solution)},
            {std::string(kPlanPeriodsFile), periodsCsv(result.periods)}};
}

void savePlanResult(const std::filesystem::path &path, const PlanRequest &request, const PlanResult &result,
                    int busyTimeoutMs)
{
    const PlanInventory &inv = result.gathered;
    const RunIdentity identity = runIdentityOf(request.inventory, request.layer, request.economicsJson);
    const std::vector<PlannedStand> planned = plannedStands(inv, result.solution, request.settings);
    savePlan(path, identity, static_cast<int64_t>(inv.rows), planRows(inv, result.solution),
             periodRows(result.periods), inv.errorRows, busyTimeoutMs, inv.map ? &*inv.map : nullptr, &planned);
}

} // namespace tavelo
