#include "forest_plan.h"

// The C interface's model shown as the structure it is, so that a stop can
// be handed to the CbcModel and ClpSimplex inside it.
#include <CbcEventHandler.hpp>
#include <CbcModel.hpp>
#include <CbcSolver.hpp>
#include <ClpEventHandler.hpp>
#include <ClpSimplex.hpp>
#include <OsiClpSolverInterface.hpp>
#include <string>
#include <vector>
#define CBC_EXTERN_C
#include <Cbc_C_Interface.h>
#undef CBC_EXTERN_C

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <string>

namespace tavelo {

const char *constraintFamilyText(ConstraintFamily family, FlowRule flow)
{
    switch (family) {
    case ConstraintFamily::Flow: return flow == FlowRule::Even ? "the even flow" : "the nondecreasing flow";
    case ConstraintFamily::EndingStock: return "the ending stock";
    case ConstraintFamily::FlowWithEndingStock:
        return flow == FlowRule::Even ? "the even flow and the ending stock together"
                                      : "the nondecreasing flow and the ending stock together";
    }
    return "";
}

double planHarvest(const PlanCandidate &c, FlowBasis basis, size_t p)
{
    const std::vector<double> &v = basis == FlowBasis::Sawlog ? c.harvestSawlog : c.harvestTotal;
    return p < v.size() ? v[p] : 0.0;
}

namespace {

struct ModelDeleter {
    void operator()(Cbc_Model *m) const { Cbc_deleteModel(m); }
};
using ModelPtr = std::unique_ptr<Cbc_Model, ModelDeleter>;

// The search asks between two nodes whether to go on; the simplex between two
// iterations (a large root relaxation takes seconds). Each copy the solver
// makes of its model takes a copy of these along.
class StopBetweenNodes : public CbcEventHandler {
public:
    explicit StopBetweenNodes(const std::atomic<bool> *stop) : stop_(stop) {}
    CbcAction event(CbcEvent whichEvent) override
    {
        return stop_->load() ? CbcAction::stop : CbcEventHandler::event(whichEvent);
    }
    CbcEventHandler *clone() const override { return new StopBetweenNodes(*this); }

private:
    const std::atomic<bool> *stop_;
};

class StopBetweenIterations : public ClpEventHandler {
public:
    explicit StopBetweenIterations(const std::atomic<bool> *stop) : stop_(stop) {}
    int event(Event whichEvent) override
    {
        if (whichEvent == endOfIteration && stop_->load())
            return 0; // stopped by the event
        return ClpEventHandler::event(whichEvent);
    }
    ClpEventHandler *clone() const override { return new StopBetweenIterations(*this); }

private:
    const std::atomic<bool> *stop_;
};

bool stopAsked(const std::atomic<bool> *stop)
{
    return stop && stop->load();
}

// The programme in CBC's column form: one binary per candidate, then one
// continuous harvest per period when a flow is asked for, and for an even flow
// the mean harvest as a column of its own, so that each band row reads
// H_p - (1 ± e) M with small round coefficients. Each column's rows are in
// ascending order: out of order, CBC's factorisation took minutes where it now
// takes seconds (measured on 10,000 stands).
class PlanModel {
public:
    PlanModel(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c, bool withFlow,
              bool withEnding)
    {
        const bool flow = withFlow && c.flow != FlowRule::None && periods > 0;
        const bool ending = withEnding && c.endingStockPercent.has_value();
        const int standRows = static_cast<int>(stands.size());
        const int periodRow0 = standRows;
        const int P = flow ? static_cast<int>(periods) : 0;
        int rows = standRows + P;
        const int evenUpper0 = rows;
        const int evenRows = flow && c.flow == FlowRule::Even ? P : 0;
        rows += 2 * evenRows;
        const int meanRow = evenRows > 0 ? rows++ : -1;
        const int nondec0 = rows;
        const int nondecRows = flow && c.flow == FlowRule::Nondecreasing ? std::max(0, P - 1) : 0;
        rows += nondecRows;
        const int endingRow = ending ? rows++ : -1;

        rowLower_.assign(rows, 0.0);
        rowUpper_.assign(rows, 0.0);
        for (int s = 0; s < standRows; ++s)
            rowLower_[s] = rowUpper_[s] = 1.0; // one candidate per stand
        // Each period's harvest equals its variable, and P M their sum (rows already 0 = 0).
        const double inf = std::numeric_limits<double>::max(); // what CBC reads as no bound
        for (int k = 0; k < evenRows; ++k) {
            rowLower_[evenUpper0 + k] = -inf; // H_p - (1+e) M <= 0
            rowUpper_[evenUpper0 + k] = 0.0;
            rowLower_[evenUpper0 + evenRows + k] = 0.0; // H_p - (1-e) M >= 0
            rowUpper_[evenUpper0 + evenRows + k] = inf;
        }
        for (int k = 0; k < nondecRows; ++k) {
            rowLower_[nondec0 + k] = 0.0; // H_{p+1} - H_p >= 0
            rowUpper_[nondec0 + k] = inf;
        }
        if (ending) {
            double initial = 0.0;
            for (const PlanStand &s : stands)
                initial += s.standingInitial;
            rowLower_[endingRow] = *c.endingStockPercent / 100.0 * initial;
            rowUpper_[endingRow] = inf;
        }

        starts_.push_back(0);
        for (int s = 0; s < standRows; ++s) {
            for (const PlanCandidate &cand : stands[s].candidates) {
                add(s, 1.0);
                for (int p = 0; p < P; ++p)
                    if (const double v = planHarvest(cand, c.basis, p); v != 0.0)
                        add(periodRow0 + p, v);
                if (ending && cand.standingAtHorizon != 0.0)
                    add(endingRow, cand.standingAtHorizon);
                endColumn(0.0, 1.0, cand.value, true);
            }
        }
        for (int p = 0; p < P; ++p) {
            add(periodRow0 + p, -1.0);
            if (evenRows > 0) {
                add(evenUpper0 + p, 1.0);
                add(evenUpper0 + evenRows + p, 1.0);
                add(meanRow, 1.0);
            }
            if (nondecRows > 0) {
                if (p >= 1)
                    add(nondec0 + p - 1, 1.0);
                if (p + 1 < P)
                    add(nondec0 + p, -1.0);
            }
            endColumn(0.0, inf, 0.0, false);
        }
        if (evenRows > 0) {
            const double e = c.evenPercent / 100.0;
            for (int k = 0; k < evenRows; ++k)
                add(evenUpper0 + k, -(1.0 + e));
            for (int k = 0; k < evenRows; ++k)
                add(evenUpper0 + evenRows + k, -(1.0 - e));
            add(meanRow, -static_cast<double>(P));
            endColumn(0.0, inf, 0.0, false);
        }
    }

    int columns() const { return static_cast<int>(objective_.size()); }

    ModelPtr load() const
    {
        ModelPtr m(Cbc_newModel());
        Cbc_loadProblem(m.get(), columns(), static_cast<int>(rowLower_.size()), starts_.data(), index_.data(),
                        value_.data(), colLower_.data(), colUpper_.data(), objective_.data(), rowLower_.data(),
                        rowUpper_.data());
        for (int j = 0; j < columns(); ++j)
            if (integer_[j])
                Cbc_setInteger(m.get(), j);
        Cbc_setObjSense(m.get(), -1.0); // maximise
        return m;
    }

private:
    void add(int row, double v)
    {
        index_.push_back(row);
        value_.push_back(v);
    }
    void endColumn(double lower, double upper, double obj, bool integer)
    {
        starts_.push_back(static_cast<CoinBigIndex>(index_.size()));
        colLower_.push_back(lower);
        colUpper_.push_back(upper);
        objective_.push_back(obj);
        integer_.push_back(integer);
    }

    std::vector<CoinBigIndex> starts_;
    std::vector<int> index_;
    std::vector<double> value_;
    std::vector<double> colLower_, colUpper_, objective_;
    std::vector<bool> integer_;
    std::vector<double> rowLower_, rowUpper_;
};

PlanSolution solveOnce(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c, bool withFlow,
                       bool withEnding, const std::atomic<bool> *stop)
{
    PlanSolution out;
    out.status = PlanSolution::Status::Interrupted;
    if (stopAsked(stop))
        return out;
    const PlanModel built(stands, periods, c, withFlow, withEnding);
    ModelPtr m = built.load();
    if (stop) {
        const StopBetweenNodes nodes(stop);
        m->model_->passInEventHandler(&nodes);
        const StopBetweenIterations iterations(stop);
        m->solver_->getModelPtr()->passInEventHandler(&iterations);
    }
    Cbc_setLogLevel(m.get(), 0);
    Cbc_setParameter(m.get(), "log", "0");
    Cbc_setParameter(m.get(), "slog", "0");
    Cbc_setAllowableFractionGap(m.get(), c.gapPercent / 100.0);
    if (c.maxSeconds)
        Cbc_setMaximumSeconds(m.get(), *c.maxSeconds);
    Cbc_solve(m.get());
    // What the solver left after a stop is no answer.
    if (stopAsked(stop))
        return out;

    const double *x = Cbc_bestSolution(m.get());
    if (Cbc_isProvenInfeasible(m.get()) || (!x && Cbc_status(m.get()) == 0)) {
        out.status = PlanSolution::Status::Infeasible;
        return out;
    }
    if (!x) {
        out.status = PlanSolution::Status::NoSolution;
        out.bound = Cbc_getBestPossibleObjValue(m.get());
        return out;
    }
    size_t col = 0;
    out.chosen.reserve(stands.size());
    for (const PlanStand &s : stands) {
        size_t best = 0;
        for (size_t k = 1; k < s.candidates.size(); ++k)
            if (x[col + k] > x[col + best])
                best = k;
        out.chosen.push_back(best);
        out.objective += s.candidates[best].value;
        col += s.candidates.size();
    }
    const bool stoppedEarly = Cbc_isSecondsLimitReached(m.get()) || Cbc_isNodeLimitReached(m.get());
    out.status = stoppedEarly ? PlanSolution::Status::Stopped : PlanSolution::Status::Optimal;
    // CBC keeps its bound in the sense of the objective; a finished search may
    // leave it behind the solution by round-off.
    out.bound = std::max(Cbc_getBestPossibleObjValue(m.get()), out.objective);
    if (!std::isfinite(out.bound))
        out.bound = out.objective;
    const double scale = std::max(std::abs(out.objective), 1e-9);
    out.gapPercent = std::max(0.0, (out.bound - out.objective) / scale * 100.0);
    return out;
}

} // namespace

PlanSolution solvePlan(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                       const std::atomic<bool> *stop)
{
    const auto started = std::chrono::steady_clock::now();
    const auto once = [&](bool withFlow, bool withEnding) {
        return solveOnce(stands, periods, c, withFlow, withEnding, stop);
    };
    PlanSolution out = once(true, true);
    if (out.status == PlanSolution::Status::Infeasible) {
        // Each family left out in turn: the one whose absence makes the plan
        // feasible is the one that cannot be met.
        const bool flow = c.flow != FlowRule::None;
        const bool ending = c.endingStockPercent.has_value();
        if (flow && once(false, true).status != PlanSolution::Status::Infeasible)
            out.blocking = ConstraintFamily::Flow;
        if (ending && once(true, false).status != PlanSolution::Status::Infeasible)
            out.blocking = out.blocking ? ConstraintFamily::FlowWithEndingStock : ConstraintFamily::EndingStock;
        if (!out.blocking && flow && ending)
            out.blocking = ConstraintFamily::FlowWithEndingStock;
        else if (!out.blocking)
            out.blocking = flow ? ConstraintFamily::Flow : ConstraintFamily::EndingStock;
    }
    if (stopAsked(stop)) {
        out = PlanSolution{};
        out.status = PlanSolution::Status::Interrupted;
    }
    out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    return out;
}

} // namespace tavelo
