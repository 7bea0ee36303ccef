#include "inventory/plan_job.h"

#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "inventory/results_tables.h"
#include "base/csv.h"

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

    if (request.modelFile)
        result.modelProblem =
            writePlanModel(result.gathered.stands, request.settings.periods(), request.constraints, *request.modelFile);
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
        solvePlan(result.gathered.stands, request.settings.periods(), request.constraints, cancel, solverReport);
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
