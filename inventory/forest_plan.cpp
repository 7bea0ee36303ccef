#include "forest_plan.h"

#include "base/whole_file.h"
#include "inventory/plan_pricing.h"
#include "inventory/plan_spatial.h"

// The C interface's model shown as the structure it is, so that a stop can
// be handed to the CbcModel and ClpSimplex inside it.
#include <CbcEventHandler.hpp>
#include <CbcModel.hpp>
#include <CbcSolver.hpp>
#include <ClpEventHandler.hpp>
#include <ClpSimplex.hpp>
#include <ClpSolve.hpp>
#include <CoinMpsIO.hpp>
#include <OsiClpSolverInterface.hpp>
#include <string>
#include <vector>
#define CBC_EXTERN_C
#include <Cbc_C_Interface.h>
#undef CBC_EXTERN_C

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <tuple>

#include <unistd.h>

namespace tavelo {

const char *constraintFamilyText(ConstraintFamily family, FlowRule flow)
{
    switch (family) {
    case ConstraintFamily::Flow: return flow == FlowRule::Even ? "the even flow" : "the nondecreasing flow";
    case ConstraintFamily::EndingStock: return "the ending stock";
    case ConstraintFamily::FlowWithEndingStock:
        return flow == FlowRule::Even ? "the even flow and the ending stock together"
                                      : "the nondecreasing flow and the ending stock together";
    case ConstraintFamily::Carbon: return "the carbon floor";
    case ConstraintFamily::Spatial: return "the neighbours' rule (green-up or largest opening)";
    }
    return "";
}

double objectiveOf(const PlanCandidate &cand, const PlanConstraints &c)
{
    return c.objective == PlanObjective::Carbon ? cand.carbon : cand.value;
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
// A search's plans as it finds them: `seen` hears each new best solution's
// column values (from the search or from one of the smaller models its
// heuristics solve, which the hearer must check).
using SeenSolution = std::function<void(const double *x, int columns)>;

class StopBetweenNodes : public CbcEventHandler {
public:
    StopBetweenNodes(const std::atomic<bool> *stop, const SeenSolution *seen, std::optional<double> enough = {})
        : stop_(stop), seen_(seen), enough_(enough)
    {
    }
    CbcAction event(CbcEvent whichEvent) override
    {
        if (stop_ && stop_->load())
            return CbcAction::stop;
        // The search minimises the negated objective.
        if (enough_ && model_ && model_->bestSolution() && -model_->getMinimizationObjValue() >= *enough_)
            return CbcAction::stop;
        if (seen_ && *seen_ && model_ && model_->bestSolution() && model_->getMinimizationObjValue() != last_) {
            last_ = model_->getMinimizationObjValue();
            (*seen_)(model_->bestSolution(), model_->getNumCols());
        }
        return CbcEventHandler::event(whichEvent);
    }
    CbcEventHandler *clone() const override { return new StopBetweenNodes(*this); }

private:
    const std::atomic<bool> *stop_;
    const SeenSolution *seen_;
    std::optional<double> enough_; // a plan this good ends the search
    double last_ = std::numeric_limits<double>::quiet_NaN();
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

using Clock = std::chrono::steady_clock;
constexpr double kInfinity = std::numeric_limits<double>::max(); // what CLP and CBC read as no bound

// The constraint families a model holds; each left out in turn tells which
// one cannot be met.
struct Families {
    bool flow = true, ending = true, carbon = true;
};

// The rows of those families the constraints ask for.
CouplingRows sharedRows(Families with, const PlanConstraints &c, size_t periods)
{
    return {with.flow && c.flow != FlowRule::None && periods > 0, with.ending && c.endingStockPercent.has_value(),
            with.carbon && c.minCarbonPerHa.has_value()};
}

// Whether the harvests per period keep the flow, within round-off.
bool flowKept(const std::vector<double> &h, const PlanConstraints &c)
{
    double mean = 0.0, scale = 1.0;
    for (double v : h) {
        mean += v / static_cast<double>(h.size());
        scale = std::max(scale, std::abs(v));
    }
    const double tol = 1e-9 * scale;
    if (c.flow == FlowRule::Even)
        for (double v : h)
            if (std::abs(v - mean) > c.evenPercent / 100.0 * mean + tol)
                return false;
    if (c.flow == FlowRule::Nondecreasing)
        for (size_t p = 1; p < h.size(); ++p)
            if (h[p] < h[p - 1] - tol)
                return false;
    return true;
}

// An id as a name every MPS and LP reader takes: letters, digits, "_", "-" and
// ".", at most 40 characters, and a number after it when that is already taken.
class SafeNames {
public:
    std::string take(const std::string &id)
    {
        std::string base;
        for (char ch : id.substr(0, 40))
            base += std::isalnum(static_cast<unsigned char>(ch)) || ch == '_' || ch == '-' || ch == '.' ? ch : '_';
        if (base.empty())
            base = "_";
        std::string name = base;
        for (int n = 2; !used_.insert(name).second; ++n)
            name = base + "_" + std::to_string(n);
        return name;
    }

private:
    std::set<std::string> used_;
};

// A row of the spatial rule: the sum of its members' binaries at most
// `upper`; a soft row's excess is a column of its own, charged `price` each.
struct SpatialRow {
    std::vector<std::tuple<size_t, size_t, double>> members; // stand, candidate, coefficient
    double upper = 0.0;
    std::optional<double> price; // none: hard
    std::string name;            // with the stands as "%a" and "%b", filled in with their safe ids
    size_t a = 0, b = 0;
};
using SpatialRows = std::vector<SpatialRow>;

// The candidates of `s` felled within periods [first, last).
void addFelledWithin(SpatialRow &row, const std::vector<PlanStand> &stands, size_t s, size_t first, size_t last,
                     size_t periods, const SpatialRule &rule, double coefficient = 1.0)
{
    for (size_t k = 0; k < stands[s].candidates.size(); ++k)
        if (const auto p = fellingPeriod(stands[s].candidates[k], rule, periods); p && *p >= first && *p < last)
            row.members.emplace_back(s, k, coefficient);
}

// The green-up alone. Hard: in each window, at most one of two neighbours
// felled (the tighter form of the pair's rows). Soft: for each period of the
// first stand's felling, that felling and the second's within the delay of
// it, so that a conflicting pair is charged once.
SpatialRows greenUpRows(const std::vector<PlanStand> &stands, size_t periods, const SpatialRule &rule)
{
    SpatialRows rows;
    const size_t w = rule.windowPeriods();
    for (const auto &[a, b] : rule.neighbours) {
        const size_t count = rule.softPrice ? periods : windowCount(rule, periods);
        for (size_t t = 0; t < count; ++t) {
            SpatialRow row;
            row.a = a;
            row.b = b;
            row.upper = 1.0;
            row.price = rule.softPrice;
            row.name = "adjacency_%a_%b_p" + std::to_string(t);
            if (rule.softPrice) {
                addFelledWithin(row, stands, a, t, t + 1, periods, rule);
                addFelledWithin(row, stands, b, t + 1 > w ? t + 1 - w : 0, t + w, periods, rule);
            } else {
                addFelledWithin(row, stands, a, t, t + w, periods, rule);
                addFelledWithin(row, stands, b, t, t + w, periods, rule);
            }
            if (row.members.size() >= 2)
                rows.push_back(std::move(row));
        }
    }
    return rows;
}

// An opening over the limit made impossible in its window: not every stand
// of it felled there. Soft: its hectares above the limit charged when they are.
SpatialRow openingRow(const std::vector<PlanStand> &stands, const std::vector<size_t> &opening, size_t first,
                      size_t periods, const SpatialRule &rule, size_t number)
{
    double area = 0.0;
    for (size_t s : opening)
        area += stands[s].area;
    const double coefficient = rule.softPrice ? area - *rule.maxOpeningHa : 1.0;
    SpatialRow row;
    row.upper = coefficient * static_cast<double>(opening.size() - 1);
    row.price = rule.softPrice;
    row.name = "opening_" + std::to_string(number) + "_p" + std::to_string(first);
    for (size_t s : opening)
        addFelledWithin(row, stands, s, first, first + rule.windowPeriods(), periods, rule, coefficient);
    return row;
}

// A row's left-hand side under a whole plan.
double rowSum(const SpatialRow &row, const std::vector<size_t> &chosen)
{
    double sum = 0.0;
    for (const auto &[s, k, v] : row.members)
        if (chosen[s] == k)
            sum += v;
    return sum;
}

// The € a plan's soft rows charge.
double spatialPenalty(const SpatialRows *rows, const std::vector<size_t> &chosen)
{
    double penalty = 0.0;
    if (rows)
        for (const SpatialRow &row : *rows)
            if (row.price)
                penalty += *row.price * std::max(0.0, rowSum(row, chosen) - row.upper);
    return penalty;
}

// The programme in column form: one binary per candidate, then one continuous
// harvest per period when a flow is asked for, and for an even flow the mean
// harvest as a column of its own, so that each band row reads
// H_p - (1 ± e) M with small round coefficients. Each column's rows are in
// ascending order: out of order, CBC's factorisation took minutes where it now
// takes seconds (measured on 10,000 stands).
//
// Stands given a fixed candidate have no columns of their own: their harvests
// and standing volume move into the rows' bounds, which leaves the small
// programme of the stands still open.
class PlanModel {
public:
    PlanModel(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c, Families with,
              const std::vector<std::optional<size_t>> *fixed = nullptr, bool named = false,
              const SpatialRows *spatial = nullptr)
        : spatial_(spatial)
    {
        const auto [flow, ending, carbon] = sharedRows(with, c, periods);
        std::vector<double> fixedHarvest(flow ? periods : 0, 0.0);
        double fixedStanding = 0.0, fixedCarbon = 0.0;
        for (size_t s = 0; s < stands.size(); ++s) {
            if (fixed && (*fixed)[s]) {
                const PlanCandidate &cand = stands[s].candidates[*(*fixed)[s]];
                for (size_t p = 0; p < fixedHarvest.size(); ++p)
                    fixedHarvest[p] += planHarvest(cand, c.basis, p);
                fixedStanding += cand.standingAtHorizon;
                fixedCarbon += cand.carbon;
            } else {
                open_.push_back(s);
            }
        }
        const int standRows = static_cast<int>(open_.size());
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
        const int carbonRow = carbon ? rows++ : -1;
        const int spatialRow0 = rows;
        const int spatialRows = spatial ? static_cast<int>(spatial->size()) : 0;
        rows += spatialRows;
        // Per stand and candidate, its spatial rows in ascending order.
        std::vector<std::vector<std::vector<std::pair<int, double>>>> spatialOf(spatial ? stands.size() : 0);
        for (size_t s = 0; s < spatialOf.size(); ++s)
            spatialOf[s].resize(stands[s].candidates.size());

        rowLower_.assign(rows, 0.0);
        rowUpper_.assign(rows, 0.0);
        for (int s = 0; s < standRows; ++s)
            rowLower_[s] = rowUpper_[s] = 1.0; // one candidate per stand
        // Each period's harvest equals its variable, and P M their sum.
        for (int p = 0; p < P; ++p)
            rowLower_[periodRow0 + p] = rowUpper_[periodRow0 + p] = -fixedHarvest[p];
        for (int k = 0; k < evenRows; ++k) {
            rowLower_[evenUpper0 + k] = -kInfinity; // H_p - (1+e) M <= 0
            rowUpper_[evenUpper0 + k] = 0.0;
            rowLower_[evenUpper0 + evenRows + k] = 0.0; // H_p - (1-e) M >= 0
            rowUpper_[evenUpper0 + evenRows + k] = kInfinity;
        }
        for (int k = 0; k < nondecRows; ++k) {
            rowLower_[nondec0 + k] = 0.0; // H_{p+1} - H_p >= 0
            rowUpper_[nondec0 + k] = kInfinity;
        }
        if (ending) {
            double initial = 0.0;
            for (const PlanStand &s : stands)
                initial += s.standingInitial;
            rowLower_[endingRow] = *c.endingStockPercent / 100.0 * initial - fixedStanding;
            rowUpper_[endingRow] = kInfinity;
        }
        if (carbon) {
            rowLower_[carbonRow] = *c.minCarbonPerHa * plannedArea(stands) - fixedCarbon;
            rowUpper_[carbonRow] = kInfinity;
        }
        for (int r = 0; r < spatialRows; ++r) {
            const SpatialRow &row = (*spatial)[r];
            rowLower_[spatialRow0 + r] = -kInfinity;
            rowUpper_[spatialRow0 + r] = row.upper;
            for (const auto &[s, k, v] : row.members) {
                if (fixed && (*fixed)[s]) {
                    if (*(*fixed)[s] == k)
                        rowUpper_[spatialRow0 + r] -= v;
                } else {
                    spatialOf[s][k].emplace_back(spatialRow0 + r, v);
                }
            }
        }

        SafeNames safe;
        starts_.push_back(0);
        for (int r = 0; r < standRows; ++r) {
            const PlanStand &stand = stands[open_[r]];
            const std::string id = named ? safe.take(stand.id) : std::string();
            if (named)
                rowNames_.push_back("stand_" + id);
            firstColumn_.push_back(columns());
            for (size_t k = 0; k < stand.candidates.size(); ++k) {
                const PlanCandidate &cand = stand.candidates[k];
                add(r, 1.0);
                for (int p = 0; p < P; ++p)
                    if (const double v = planHarvest(cand, c.basis, p); v != 0.0)
                        add(periodRow0 + p, v);
                if (ending && cand.standingAtHorizon != 0.0)
                    add(endingRow, cand.standingAtHorizon);
                if (carbon && cand.carbon != 0.0)
                    add(carbonRow, cand.carbon);
                if (spatial)
                    for (const auto &[row, v] : spatialOf[open_[r]][k])
                        add(row, v);
                endColumn(0.0, 1.0, objectiveOf(cand, c), true);
                if (named)
                    columnNames_.push_back("x_" + id + "_" + std::to_string(k + 1));
            }
        }
        periodColumn0_ = columns();
        periods_ = P;
        endingRow_ = endingRow;
        carbonRow_ = carbonRow;
        withMean_ = evenRows > 0;
        meanRow_ = meanRow;
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
            endColumn(0.0, kInfinity, 0.0, false);
        }
        if (evenRows > 0) {
            const double e = c.evenPercent / 100.0;
            for (int k = 0; k < evenRows; ++k)
                add(evenUpper0 + k, -(1.0 + e));
            for (int k = 0; k < evenRows; ++k)
                add(evenUpper0 + evenRows + k, -(1.0 - e));
            add(meanRow, -static_cast<double>(P));
            endColumn(0.0, kInfinity, 0.0, false);
        }
        // A soft row's excess, charged in the objective.
        penaltyColumn0_ = columns();
        for (int r = 0; r < spatialRows; ++r)
            if (const SpatialRow &row = (*spatial)[r]; row.price) {
                add(spatialRow0 + r, -1.0);
                endColumn(0.0, kInfinity, -*row.price, false);
            }
        if (named) {
            const auto period = [](int p) { return "_p" + std::to_string(p); };
            for (int p = 0; p < P; ++p) {
                rowNames_.push_back("harvest" + period(p));
                columnNames_.push_back("harvest" + period(p));
            }
            for (int k = 0; k < evenRows; ++k)
                rowNames_.push_back("even_hi" + period(k));
            for (int k = 0; k < evenRows; ++k)
                rowNames_.push_back("even_lo" + period(k));
            if (evenRows > 0) {
                rowNames_.push_back("mean_harvest");
                columnNames_.push_back("mean_harvest");
            }
            for (int k = 0; k < nondecRows; ++k)
                rowNames_.push_back("nondecreasing" + period(k + 1));
            if (ending)
                rowNames_.push_back("ending_stock");
            if (carbon)
                rowNames_.push_back("carbon_floor");
            // The stands' safe names, as their columns have them.
            std::vector<std::string> standName(stands.size());
            for (size_t r = 0; r < open_.size(); ++r)
                standName[open_[r]] = columnNames_[firstColumn_[r]].substr(2, columnNames_[firstColumn_[r]].rfind('_') - 2);
            for (int r = 0; r < spatialRows; ++r) {
                const SpatialRow &row = (*spatial)[r];
                std::string name = row.name;
                for (const auto &[key, s] : {std::pair{std::string("%a"), row.a}, std::pair{std::string("%b"), row.b}})
                    if (const size_t at = name.find(key); at != std::string::npos)
                        name.replace(at, key.size(), standName[s]);
                rowNames_.push_back(name);
                if (row.price)
                    columnNames_.push_back("excess_" + name);
            }
        }
    }

    int columns() const { return static_cast<int>(objective_.size()); }
    int rows() const { return static_cast<int>(rowLower_.size()); }
    const std::vector<size_t> &openStands() const { return open_; }
    int firstColumn(size_t open) const { return firstColumn_[open]; }
    const std::vector<double> &objective() const { return objective_; }

    ModelPtr loadCbc() const
    {
        ModelPtr m(Cbc_newModel());
        Cbc_loadProblem(m.get(), columns(), rows(), starts_.data(), index_.data(), value_.data(), colLower_.data(),
                        colUpper_.data(), objective_.data(), rowLower_.data(), rowUpper_.data());
        for (int j = 0; j < columns(); ++j)
            if (integer_[j])
                Cbc_setInteger(m.get(), j);
        Cbc_setObjSense(m.get(), -1.0); // maximise
        return m;
    }

    void loadClp(ClpSimplex &lp) const
    {
        lp.loadProblem(columns(), rows(), starts_.data(), index_.data(), value_.data(), colLower_.data(),
                       colUpper_.data(), objective_.data(), rowLower_.data(), rowUpper_.data());
        lp.setOptimizationDirection(-1.0); // maximise
    }

    void loadOsi(OsiClpSolverInterface &osi) const
    {
        osi.loadProblem(columns(), rows(), starts_.data(), index_.data(), value_.data(), colLower_.data(),
                        colUpper_.data(), objective_.data(), rowLower_.data(), rowUpper_.data());
        for (int j = 0; j < columns(); ++j)
            if (integer_[j])
                osi.setInteger(j);
        osi.setObjSense(-1.0);
    }

    const SpatialRows *spatial() const { return spatial_; }

    // The rows the stands share, as a relaxation's duals price them.
    RowPrices prices(const double *rowDuals) const
    {
        RowPrices out;
        const int standRows = static_cast<int>(open_.size());
        for (int p = 0; p < periods_; ++p)
            out.harvest.push_back(rowDuals[standRows + p]);
        out.ending = endingRow_ >= 0 ? rowDuals[endingRow_] : 0.0;
        out.carbon = carbonRow_ >= 0 ? rowDuals[carbonRow_] : 0.0;
        return out;
    }

    // A starting basis the dual simplex can take at once: each stand's best
    // candidate basic (so every reduced cost is at most 0, the basis dual
    // feasible), each period's harvest and the mean basic in their defining
    // rows, every other row's slack basic. From it the simplex only mends the
    // rows across stands, a few pivots where a start from the slacks takes
    // one per stand at least (whose pricing made the relaxation's time grow
    // with the square of the forest). Column statuses then row statuses, as
    // CLP keeps them.
    std::vector<unsigned char> crashStatus(const std::vector<PlanStand> &stands) const
    {
        std::vector<unsigned char> status(static_cast<size_t>(columns() + rows()),
                                          static_cast<unsigned char>(ClpSimplex::atLowerBound));
        const auto set = [&](int j, ClpSimplex::Status st) { status[static_cast<size_t>(j)] = static_cast<unsigned char>(st); };
        for (size_t r = 0; r < open_.size(); ++r) {
            const int first = firstColumn_[r];
            const int n = static_cast<int>(stands[open_[r]].candidates.size());
            int best = first;
            for (int j = first + 1; j < first + n; ++j)
                if (objective_[static_cast<size_t>(j)] > objective_[static_cast<size_t>(best)])
                    best = j;
            set(best, ClpSimplex::basic);
        }
        for (int p = 0; p < periods_ + (withMean_ ? 1 : 0); ++p)
            set(periodColumn0_ + p, ClpSimplex::basic);
        const int standRows = static_cast<int>(open_.size());
        for (int i = 0; i < rows(); ++i) {
            // The mean's row comes after the even bands; the others in order.
            const bool defining = i < standRows + periods_ || (withMean_ && i == meanRow_);
            set(columns() + i, defining ? ClpSimplex::isFixed : ClpSimplex::basic);
        }
        return status;
    }
    const std::vector<std::string> &rowNames() const { return rowNames_; }
    const std::vector<std::string> &columnNames() const { return columnNames_; }

    // Every column's value under a choice of one candidate per open stand:
    // the binaries, each period's harvest and their mean.
    std::vector<double> columnValues(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen,
                                     const PlanConstraints &c) const
    {
        std::vector<double> x(columns(), 0.0);
        for (size_t r = 0; r < open_.size(); ++r) {
            const PlanCandidate &cand = stands[open_[r]].candidates[chosen[open_[r]]];
            x[firstColumn_[r] + static_cast<int>(chosen[open_[r]])] = 1.0;
            for (int p = 0; p < periods_; ++p)
                x[periodColumn0_ + p] += planHarvest(cand, c.basis, p);
        }
        if (withMean_) {
            double sum = 0.0;
            for (int p = 0; p < periods_; ++p)
                sum += x[periodColumn0_ + p];
            x[periodColumn0_ + periods_] = sum / periods_;
        }
        if (spatial_) {
            int j = penaltyColumn0_;
            for (const SpatialRow &row : *spatial_)
                if (row.price)
                    x[j++] = std::max(0.0, rowSum(row, chosen) - row.upper);
        }
        return x;
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

    std::vector<size_t> open_;    // the stands with columns, in order
    std::vector<int> firstColumn_; // per open stand, its first candidate's column
    int periodColumn0_ = 0;
    int periods_ = 0; // harvest columns
    int penaltyColumn0_ = 0;
    const SpatialRows *spatial_ = nullptr;
    bool withMean_ = false;
    int meanRow_ = -1;
    int endingRow_ = -1, carbonRow_ = -1;
    std::vector<CoinBigIndex> starts_;
    std::vector<int> index_;
    std::vector<double> value_;
    std::vector<double> colLower_, colUpper_, objective_;
    std::vector<bool> integer_;
    std::vector<double> rowLower_, rowUpper_;
    std::vector<std::string> rowNames_, columnNames_;
};

// What is left of the whole solve's time limit, when there is one.
class Deadline {
public:
    Deadline(Clock::time_point started, std::optional<double> seconds) : started_(started), seconds_(seconds) {}
    std::optional<double> left() const
    {
        if (!seconds_)
            return std::nullopt;
        return std::max(0.001, *seconds_ - std::chrono::duration<double>(Clock::now() - started_).count());
    }
    bool passed() const { return seconds_ && std::chrono::duration<double>(Clock::now() - started_).count() >= *seconds_; }

private:
    Clock::time_point started_;
    std::optional<double> seconds_;
};

struct Relaxation {
    enum class Outcome { Solved, Infeasible, Unfinished } outcome = Outcome::Unfinished;
    double objective = 0.0;
    std::vector<std::optional<size_t>> whole; // per stand, its candidate when the relaxation keeps it whole
    std::vector<double> switchCost; // per whole stand, the least the relaxation loses moving it to another candidate
    RowPrices prices;               // the shared rows' duals
    // Per open stand of the programme solved, its largest share and which candidate takes it.
    std::vector<std::pair<size_t, double>> lean;
};

// The relaxation's choice for each open stand of `model`: whole, with what
// moving it would cost, or split between candidates.
void readStands(const PlanModel &model, const std::vector<PlanStand> &stands, const double *x, const double *reduced,
                Relaxation &out)
{
    out.whole.resize(stands.size());
    out.switchCost.resize(stands.size(), 0.0);
    out.lean.resize(stands.size());
    const std::vector<size_t> &open = model.openStands();
    for (size_t r = 0; r < open.size(); ++r) {
        const size_t s = open[r], n = stands[s].candidates.size();
        const double *own = x + model.firstColumn(r);
        const size_t best = static_cast<size_t>(std::max_element(own, own + n) - own);
        out.whole[s].reset();
        out.lean[s] = {best, own[best]};
        if (own[best] < 1.0 - 1e-6)
            continue;
        out.whole[s] = best;
        double cheapest = std::numeric_limits<double>::infinity();
        for (size_t k = 0; k < n; ++k)
            if (k != best)
                cheapest = std::min(cheapest, std::abs(reduced[model.firstColumn(r) + static_cast<int>(k)]));
        out.switchCost[s] = cheapest;
    }
}

// A relaxation's final basis, CLP's status of each column then each row.
// The spatial rule's rounds only add rows (and, soft, columns) at the ends,
// so the last round's basis starts the next: the dual simplex then takes
// moments where a start from nothing took minutes on 10,000 stands.
struct WarmBasis {
    std::vector<unsigned char> status;
    int columns = 0, rows = 0;
};

Relaxation solveRelaxation(const PlanModel &model, const std::vector<PlanStand> &stands,
                           const std::atomic<bool> *stop, const Deadline &deadline, WarmBasis *warm = nullptr)
{
    Relaxation out;
    ClpSimplex lp;
    model.loadClp(lp);
    lp.setLogLevel(0);
    const StopBetweenIterations iterations(stop);
    if (stop)
        lp.passInEventHandler(&iterations);
    if (const auto left = deadline.left())
        lp.setMaximumWallSeconds(*left);
    bool solved = false;
    if (warm && !warm->status.empty() && warm->columns <= model.columns() && warm->rows <= model.rows()) {
        lp.createStatus(); // the new rows' slacks basic, the new columns at their lower bound
        for (int j = 0; j < warm->columns; ++j)
            lp.setColumnStatus(j, static_cast<ClpSimplex::Status>(warm->status[j]));
        for (int j = warm->columns; j < model.columns(); ++j)
            lp.setColumnStatus(j, ClpSimplex::atLowerBound);
        for (int i = 0; i < warm->rows; ++i)
            lp.setRowStatus(i, static_cast<ClpSimplex::Status>(warm->status[warm->columns + i]));
        lp.dual();
        solved = lp.isProvenOptimal() || lp.isProvenPrimalInfeasible() || stopAsked(stop) || deadline.passed();
    }
    if (!solved) {
        const std::vector<unsigned char> crash = model.crashStatus(stands);
        lp.createStatus();
        for (int j = 0; j < model.columns(); ++j)
            lp.setColumnStatus(j, static_cast<ClpSimplex::Status>(crash[static_cast<size_t>(j)]));
        for (int i = 0; i < model.rows(); ++i)
            lp.setRowStatus(i, static_cast<ClpSimplex::Status>(crash[static_cast<size_t>(model.columns() + i)]));
        lp.dual();
        // Out of time too: CLP's clock starts again with each call.
        solved = lp.isProvenOptimal() || lp.isProvenPrimalInfeasible() || stopAsked(stop) || deadline.passed();
    }
    if (!solved) {
        ClpSolve how; // CLP's own choice of method, presolved
        lp.initialSolve(how);
    }
    if (warm && lp.isProvenOptimal()) {
        warm->status.assign(lp.statusArray(), lp.statusArray() + model.columns() + model.rows());
        warm->columns = model.columns();
        warm->rows = model.rows();
    }
    if (stopAsked(stop))
        return out;
    if (lp.isProvenPrimalInfeasible()) {
        out.outcome = Relaxation::Outcome::Infeasible;
        return out;
    }
    if (!lp.isProvenOptimal())
        return out;
    out.outcome = Relaxation::Outcome::Solved;
    const double *x = lp.primalColumnSolution();
    for (int j = 0; j < model.columns(); ++j)
        out.objective += model.objective()[j] * x[j];
    readStands(model, stands, x, lp.dualColumnSolution(), out);
    out.prices = model.prices(lp.dualRowSolution());
    return out;
}

// The best priced value among a stand's candidates other than `k` (none: -infinity).
double bestRival(const std::vector<double> &priced, size_t k)
{
    double rival = -std::numeric_limits<double>::infinity();
    for (size_t j = 0; j < priced.size(); ++j)
        if (j != k)
            rival = std::max(rival, priced[j]);
    return rival;
}

// Rounds of the exact relaxation over the stands left open, each opening the
// fixed stands its prices say would rather move.
constexpr int kPricingRounds = 30;

// The relaxation with most stands fixed: a mix of whole plans priced stand by
// stand (see plan_pricing.h) gives the shared rows' prices; the stands on
// which the mix agrees and that no rival candidate comes near under them are
// fixed, and the exact relaxation of the rest is solved by CLP. Its own
// prices must then leave every fixed stand on its best candidate, which
// makes it the relaxation of the whole forest (a dual solution that keeps
// every stand's row); fixed stands that would rather move are opened and the
// rest solved again. `undecided` when it could not settle: the caller then
// solves the whole relaxation.
Relaxation relaxByPricing(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                          Families with, const std::atomic<bool> *stop, const Deadline &deadline, bool &undecided)
{
    Relaxation out;
    undecided = false;
    const CouplingRows rows = sharedRows(with, c, periods);
    const CandidateRows table(stands, periods, c, rows);
    const MixedPlans mix = mixWholePlans(stands, periods, c, rows, table, stop, [&] { return deadline.passed(); });
    switch (mix.outcome) {
    case MixedPlans::Outcome::Unfinished: return out;
    case MixedPlans::Outcome::Infeasible: out.outcome = Relaxation::Outcome::Infeasible; return out;
    case MixedPlans::Outcome::Undecided: undecided = true; return out;
    case MixedPlans::Outcome::Solved: break;
    }
    // A stand's priced values, and how near two of them must come to count as rivals.
    std::vector<double> priced;
    const auto price = [&](size_t s, const RowPrices &prices) { table.price(s, prices, 1.0, priced); };
    const auto scale = [&](size_t s) {
        double most = 1.0;
        for (const PlanCandidate &cand : stands[s].candidates)
            most = std::max(most, std::abs(objectiveOf(cand, c)));
        return most;
    };
    std::vector<std::optional<size_t>> fixed(stands.size());
    for (size_t s = 0; s < stands.size(); ++s) {
        const uint32_t k = mix.plans.front().second[s];
        if (!std::all_of(mix.plans.begin(), mix.plans.end(), [&](const auto &plan) { return plan.second[s] == k; }))
            continue;
        price(s, mix.prices);
        if (bestRival(priced, k) < priced[k] - 1e-6 * scale(s))
            fixed[s] = k;
    }
    for (int round = 0; round < kPricingRounds; ++round) {
        const PlanModel open(stands, periods, c, with, &fixed);
        Relaxation r = solveRelaxation(open, stands, stop, deadline);
        if (r.outcome == Relaxation::Outcome::Unfinished)
            return r;
        if (r.outcome == Relaxation::Outcome::Infeasible)
            break; // the mix keeps the rows: only round-off fixes a stand it splits
        bool moved = false;
        for (size_t s = 0; s < stands.size(); ++s) {
            if (!fixed[s])
                continue;
            price(s, r.prices);
            const size_t k = *fixed[s];
            const double rival = bestRival(priced, k);
            if (rival > priced[k] + 1e-9 * scale(s)) {
                fixed[s].reset();
                moved = true;
            } else {
                r.whole[s] = k;
                r.switchCost[s] = std::max(0.0, priced[k] - rival);
                r.objective += objectiveOf(stands[s].candidates[k], c);
            }
        }
        if (!moved)
            return r;
        if (stopAsked(stop) || deadline.passed())
            return out;
    }
    undecided = true;
    return out;
}

struct SearchResult {
    enum class Outcome { Solved, TimedOut, Infeasible, NoSolution, Interrupted } outcome = Outcome::Interrupted;
    std::vector<size_t> chosen; // per open stand of the model
    double bound = 0.0;
};

// CBC's branch and bound over `model`, from `start` (every column's value) when given.
SearchResult searchWithCbc(const PlanModel &model, const std::vector<PlanStand> &stands, double gapFraction,
                           const Deadline &deadline, const std::atomic<bool> *stop,
                           const std::vector<double> *start = nullptr, const SeenSolution *seen = nullptr,
                           std::optional<double> enough = std::nullopt, std::optional<int> maxNodes = std::nullopt)
{
    SearchResult out;
    if (stopAsked(stop))
        return out;
    ModelPtr m = model.loadCbc();
    const StopBetweenNodes nodes(stop, seen, enough);
    const StopBetweenIterations iterations(stop);
    if (stop || (seen && *seen) || enough)
        m->model_->passInEventHandler(&nodes);
    if (stop)
        m->solver_->getModelPtr()->passInEventHandler(&iterations);
    Cbc_setLogLevel(m.get(), 0);
    Cbc_setParameter(m.get(), "log", "0");
    Cbc_setParameter(m.get(), "slog", "0");
    Cbc_setAllowableFractionGap(m.get(), gapFraction);
    if (maxNodes)
        Cbc_setMaximumNodes(m.get(), *maxNodes);
    if (const auto left = deadline.left()) {
        // The limit is the user's clock: processor seconds run slow on a busy machine.
        Cbc_setParameter(m.get(), "timeMode", "elapsed");
        Cbc_setMaximumSeconds(m.get(), *left);
    }
    std::vector<int> all;
    if (start) {
        all.resize(model.columns());
        for (int j = 0; j < model.columns(); ++j)
            all[j] = j;
        Cbc_setMIPStartI(m.get(), model.columns(), all.data(), start->data());
    }
    Cbc_solve(m.get());
    // What the solver left after a stop is no answer.
    if (stopAsked(stop))
        return out;
    const double *x = Cbc_bestSolution(m.get());
    if (Cbc_isProvenInfeasible(m.get()) || (!x && Cbc_status(m.get()) == 0)) {
        out.outcome = SearchResult::Outcome::Infeasible;
        return out;
    }
    out.bound = Cbc_getBestPossibleObjValue(m.get());
    if (!x) {
        out.outcome = SearchResult::Outcome::NoSolution;
        return out;
    }
    const std::vector<size_t> &open = model.openStands();
    for (size_t r = 0; r < open.size(); ++r) {
        const size_t n = stands[open[r]].candidates.size();
        const double *own = x + model.firstColumn(r);
        out.chosen.push_back(static_cast<size_t>(std::max_element(own, own + n) - own));
    }
    const bool stoppedEarly = Cbc_isSecondsLimitReached(m.get()) || Cbc_isNodeLimitReached(m.get());
    out.outcome = stoppedEarly ? SearchResult::Outcome::TimedOut : SearchResult::Outcome::Solved;
    return out;
}

// Whether a whole plan keeps every row, checked on its own sums rather than
// trusted from a solver's tolerances.
bool keepsEveryRow(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen, size_t periods,
                   const PlanConstraints &c, Families with, const SpatialRows *spatial = nullptr)
{
    if (spatial)
        for (const SpatialRow &row : *spatial)
            if (!row.price && rowSum(row, chosen) > row.upper + 1e-9)
                return false;
    const CouplingRows rows = sharedRows(with, c, periods);
    std::vector<double> h(rows.flow ? periods : 0, 0.0);
    double standing = 0.0, initial = 0.0, carbon = 0.0;
    for (size_t s = 0; s < stands.size(); ++s) {
        const PlanCandidate &cand = stands[s].candidates[chosen[s]];
        for (size_t p = 0; p < h.size(); ++p)
            h[p] += planHarvest(cand, c.basis, p);
        standing += cand.standingAtHorizon;
        initial += stands[s].standingInitial;
        carbon += cand.carbon;
    }
    if (rows.carbon) {
        const double floor = *c.minCarbonPerHa * plannedArea(stands);
        if (carbon < floor - 1e-9 * std::max(1.0, floor))
            return false;
    }
    if (rows.flow && !flowKept(h, c))
        return false;
    return !(rows.ending && standing < *c.endingStockPercent / 100.0 * initial - 1e-9 * std::max(1.0, initial));
}

// The plan's objective: its value, or its carbon, less what soft spatial rows charge.
double planObjective(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen,
                     const PlanConstraints &c, const SpatialRows *spatial = nullptr)
{
    double v = 0.0;
    for (size_t s = 0; s < stands.size(); ++s)
        v += objectiveOf(stands[s].candidates[chosen[s]], c);
    return v - spatialPenalty(spatial, chosen);
}

double gapOf(double bound, double objective)
{
    const double scale = std::max(std::abs(objective), 1e-9);
    return std::max(0.0, (bound - objective) / scale * 100.0);
}

// A small search's share: nodes, so that the plan found does not hang on
// the machine's speed, and seconds as a guard.
constexpr int kSettleNodes = 2000;
constexpr double kSettleSeconds = 30.0;

// CBC over the stands `fixed` leaves open, every other stand kept. The
// search ends once the plan is within the gap of the relaxation's bound
// (`bound`; a soft neighbours' rule charges rows beyond the open stands: then
// it searches on), and gets a share of nodes and time: with many stands
// open, an exact search among near ties could run for hours. It starts from `start` when
// given, which must fix no stand differently. The whole plan, when it keeps
// every row; none when the caller's stop came.
std::optional<std::vector<size_t>> searchOpenStands(const std::vector<PlanStand> &stands, size_t periods,
                                                    const PlanConstraints &c, Families with,
                                                    const std::vector<std::optional<size_t>> &fixed,
                                                    const SpatialRows *spatial, double bound,
                                                    const Deadline &deadline, const std::atomic<bool> *stop,
                                                    double seconds, const std::vector<size_t> *start)
{
    const PlanModel small(stands, periods, c, with, &fixed, false, spatial);
    std::optional<double> enough;
    const bool charged = spatial && std::any_of(spatial->begin(), spatial->end(),
                                                [](const SpatialRow &row) { return row.price.has_value(); });
    if (!charged && bound > 0.0) {
        double fixedObjective = 0.0;
        for (size_t s = 0; s < stands.size(); ++s)
            if (fixed[s])
                fixedObjective += objectiveOf(stands[s].candidates[*fixed[s]], c);
        const double good = bound - c.gapPercent / 100.0 * bound / (1.0 + c.gapPercent / 100.0);
        enough = good - fixedObjective;
    }
    const std::vector<double> columns = start ? small.columnValues(stands, *start, c) : std::vector<double>{};
    const Deadline share(Clock::now(),
                         std::min(seconds, deadline.left().value_or(std::numeric_limits<double>::max())));
    const SearchResult r =
        searchWithCbc(small, stands, 0.0, share, stop, start ? &columns : nullptr, nullptr, enough, kSettleNodes);
    if (r.outcome != SearchResult::Outcome::Solved && r.outcome != SearchResult::Outcome::TimedOut)
        return std::nullopt;
    std::vector<size_t> chosen(stands.size(), 0);
    for (size_t s = 0; s < stands.size(); ++s)
        if (fixed[s])
            chosen[s] = *fixed[s];
    for (size_t k = 0; k < small.openStands().size(); ++k)
        chosen[small.openStands()[k]] = r.chosen[k];
    if (!keepsEveryRow(stands, chosen, periods, c, with, spatial))
        return std::nullopt;
    return chosen;
}

// The split stands settled by a search over them alone, every whole stand
// kept. When no choice of theirs keeps the rows, or the best misses the gap,
// more stands are opened with them: those the relaxation's reduced costs say
// are cheapest to move to another candidate. Each search starts from the
// best plan so far (`best`, when given), which fixes no stand differently.
std::optional<std::vector<size_t>> settleSplitStands(const std::vector<PlanStand> &stands, size_t periods,
                                                     const PlanConstraints &c, Families with, const Relaxation &lp,
                                                     const SpatialRows *spatial, const Deadline &deadline,
                                                     const std::atomic<bool> *stop, double relaxationSeconds,
                                                     std::optional<std::vector<size_t>> best)
{
    const std::vector<std::optional<size_t>> &whole = lp.whole;
    size_t split = 0;
    std::vector<std::pair<double, size_t>> switchCost; // per whole stand
    for (size_t s = 0; s < stands.size(); ++s) {
        if (whole[s])
            switchCost.emplace_back(lp.switchCost[s], s);
        else
            ++split;
    }
    std::sort(switchCost.begin(), switchCost.end());
    const double seconds = std::max(kSettleSeconds, 2.0 * relaxationSeconds);
    const auto within = [&](const std::vector<size_t> &plan) {
        return gapOf(lp.objective, planObjective(stands, plan, c, spatial)) <= c.gapPercent + 1e-9;
    };
    for (const size_t extra : {size_t{0}, 10 * split + 20, 100 * split + 200}) {
        if (best && within(*best))
            return best;
        std::vector<std::optional<size_t>> fixed = whole;
        for (size_t i = 0; i < std::min(extra, switchCost.size()); ++i)
            fixed[switchCost[i].second].reset();
        // The best plan so far starts the search only where it agrees with the stands fixed.
        bool agrees = best.has_value();
        for (size_t s = 0; agrees && s < stands.size(); ++s)
            agrees = !fixed[s] || *fixed[s] == (*best)[s];
        auto chosen = searchOpenStands(stands, periods, c, with, fixed, spatial, lp.objective, deadline, stop,
                                       seconds, agrees ? &*best : nullptr);
        if (stopAsked(stop))
            return std::nullopt;
        if (chosen && (!best || planObjective(stands, *chosen, c, spatial) > planObjective(stands, *best, c, spatial)))
            best = std::move(chosen);
        if (deadline.passed() || extra >= switchCost.size())
            break;
    }
    return best;
}

// A whole plan bettered one stand at a time: each stand moved to the best
// candidate that keeps every row with the others as they are, in passes
// until none moves. Rows are summed as they change, so a pass costs the
// forest's candidates times their rows.
void improveStandByStand(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                         Families with, const SpatialRows *spatial, std::vector<size_t> &chosen,
                         const Deadline &deadline, const std::atomic<bool> *stop)
{
    const CouplingRows shared = sharedRows(with, c, periods);
    std::vector<double> harvest(shared.flow ? periods : 0, 0.0);
    double standing = 0.0, initial = 0.0, carbon = 0.0;
    for (size_t s = 0; s < stands.size(); ++s) {
        const PlanCandidate &cand = stands[s].candidates[chosen[s]];
        for (size_t p = 0; p < harvest.size(); ++p)
            harvest[p] += planHarvest(cand, c.basis, p);
        standing += cand.standingAtHorizon;
        carbon += cand.carbon;
        initial += stands[s].standingInitial;
    }
    const double floorCarbon = shared.carbon ? *c.minCarbonPerHa * plannedArea(stands) : -1e300;
    const double floorStanding = shared.ending ? *c.endingStockPercent / 100.0 * initial : -1e300;
    // Per stand and candidate, its spatial rows and coefficients; each row's sum.
    std::vector<std::vector<std::vector<std::pair<size_t, double>>>> rowsOf(stands.size());
    std::vector<double> rowSums(spatial ? spatial->size() : 0, 0.0);
    for (size_t s = 0; s < stands.size(); ++s)
        rowsOf[s].resize(stands[s].candidates.size());
    for (size_t r = 0; r < rowSums.size(); ++r)
        for (const auto &[s, k, v] : (*spatial)[r].members) {
            rowsOf[s][k].emplace_back(r, v);
            if (chosen[s] == k)
                rowSums[r] += v;
        }
    std::vector<double> h(harvest.size());
    for (bool moved = true; moved && !deadline.passed() && !stopAsked(stop);) {
        moved = false;
        for (size_t s = 0; s < stands.size(); ++s) {
            const PlanCandidate &now = stands[s].candidates[chosen[s]];
            double bestGain = 1e-9 * std::max(1.0, std::abs(objectiveOf(now, c)));
            std::optional<size_t> best;
            for (size_t k = 0; k < stands[s].candidates.size(); ++k) {
                if (k == chosen[s])
                    continue;
                const PlanCandidate &cand = stands[s].candidates[k];
                // What the move does to the rows it leaves and the rows it enters.
                double gain = objectiveOf(cand, c) - objectiveOf(now, c), charge = 0.0;
                bool kept = true;
                std::vector<std::pair<size_t, double>> change;
                for (const auto &[r, v] : rowsOf[s][chosen[s]])
                    change.emplace_back(r, -v);
                for (const auto &[r, v] : rowsOf[s][k])
                    change.emplace_back(r, v);
                std::sort(change.begin(), change.end());
                for (size_t i = 0; i < change.size() && kept;) {
                    const size_t r = change[i].first;
                    double delta = 0.0;
                    for (; i < change.size() && change[i].first == r; ++i)
                        delta += change[i].second;
                    const SpatialRow &row = (*spatial)[r];
                    if (row.price)
                        charge += *row.price * (std::max(0.0, rowSums[r] + delta - row.upper) -
                                                std::max(0.0, rowSums[r] - row.upper));
                    else
                        kept = rowSums[r] + delta <= row.upper + 1e-9;
                }
                gain -= charge;
                if (!kept || gain <= bestGain)
                    continue;
                if (standing - now.standingAtHorizon + cand.standingAtHorizon <
                        floorStanding - 1e-9 * std::max(1.0, std::abs(floorStanding)) ||
                    carbon - now.carbon + cand.carbon < floorCarbon - 1e-9 * std::max(1.0, std::abs(floorCarbon)))
                    continue;
                for (size_t p = 0; p < h.size(); ++p)
                    h[p] = harvest[p] - planHarvest(now, c.basis, p) + planHarvest(cand, c.basis, p);
                if (shared.flow && !flowKept(h, c))
                    continue;
                bestGain = gain;
                best = k;
            }
            if (!best)
                continue;
            const PlanCandidate &cand = stands[s].candidates[*best];
            for (size_t p = 0; p < harvest.size(); ++p)
                harvest[p] += planHarvest(cand, c.basis, p) - planHarvest(now, c.basis, p);
            standing += cand.standingAtHorizon - now.standingAtHorizon;
            carbon += cand.carbon - now.carbon;
            for (const auto &[r, v] : rowsOf[s][chosen[s]])
                rowSums[r] -= v;
            for (const auto &[r, v] : rowsOf[s][*best])
                rowSums[r] += v;
            chosen[s] = *best;
            moved = true;
        }
    }
}

// Relax and fix, for the neighbours' rule, whose pairs leave many stands
// split: the stands the relaxation keeps whole are fixed, then the split
// stands leaning most to one candidate (a quarter of them at a time) are
// fixed to it and the relaxation of the stands still open solved again,
// until none is split. A batch that leaves no plan is halved; once a single
// stand leaves none, or few stands are open, CBC settles those still open.
constexpr int kMostDives = 200;
constexpr size_t kFewOpen = 40;

std::optional<std::vector<size_t>> diveSplitStands(const std::vector<PlanStand> &stands, size_t periods,
                                                   const PlanConstraints &c, Families with, const Relaxation &lp,
                                                   const SpatialRows *spatial, const Deadline &deadline,
                                                   const std::atomic<bool> *stop, double relaxationSeconds)
{
    std::vector<std::optional<size_t>> fixed = lp.whole;
    Relaxation current = lp;
    const auto settleRest = [&] {
        return searchOpenStands(stands, periods, c, with, fixed, spatial, lp.objective, deadline, stop,
                                std::max(kSettleSeconds, 2.0 * relaxationSeconds), nullptr);
    };
    for (int step = 0; step < kMostDives; ++step) {
        std::vector<std::pair<double, size_t>> split;
        size_t open = 0;
        for (size_t s = 0; s < stands.size(); ++s)
            if (!fixed[s]) {
                ++open;
                if (!current.whole[s])
                    split.emplace_back(-current.lean[s].second, s);
            }
        if (split.empty()) {
            std::vector<size_t> chosen;
            for (size_t s = 0; s < stands.size(); ++s)
                chosen.push_back(fixed[s] ? *fixed[s] : *current.whole[s]);
            if (keepsEveryRow(stands, chosen, periods, c, with, spatial))
                return chosen;
            return settleRest(); // whole only within the simplex's tolerances
        }
        if (open <= kFewOpen)
            return settleRest();
        std::sort(split.begin(), split.end());
        for (size_t batch = std::max<size_t>(1, split.size() / 4);; batch /= 2) {
            std::vector<std::optional<size_t>> trial = fixed;
            for (size_t i = 0; i < batch; ++i)
                trial[split[i].second] = current.lean[split[i].second].first;
            const PlanModel model(stands, periods, c, with, &trial, false, spatial);
            Relaxation r = solveRelaxation(model, stands, stop, deadline);
            if (r.outcome == Relaxation::Outcome::Unfinished)
                return std::nullopt;
            if (r.outcome == Relaxation::Outcome::Solved) {
                fixed = std::move(trial);
                current = std::move(r);
                break;
            }
            if (batch == 1)
                return settleRest();
        }
    }
    return settleRest();
}

PlanSolution solveOnce(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c, Families with,
                       const std::atomic<bool> *stop, const Deadline &deadline,
                       const std::vector<size_t> *start = nullptr, const SolverReport *report = nullptr,
                       const SpatialRows *spatial = nullptr, WarmBasis *warm = nullptr)
{
    const auto tell = [report](double bound, std::optional<double> best, std::optional<double> gap) {
        if (report && *report)
            (*report)(SolverState{bound, best, gap});
    };
    PlanSolution out;
    out.status = PlanSolution::Status::Interrupted;
    if (stopAsked(stop))
        return out;
    // The whole programme is built only when the relaxation or a search needs it.
    std::optional<PlanModel> fullModel;
    const auto full = [&]() -> const PlanModel & {
        if (!fullModel)
            fullModel.emplace(stands, periods, c, with, nullptr, false, spatial);
        return *fullModel;
    };
    const auto lpStarted = Clock::now();
    // Neighbours' rows tie stands in pairs, beyond what pricing the shared rows settles.
    bool whole = spatial != nullptr;
    Relaxation lp;
    if (!spatial)
        lp = relaxByPricing(stands, periods, c, with, stop, deadline, whole);
    if (whole)
        lp = solveRelaxation(full(), stands, stop, deadline, warm);
    out.relaxationSeconds = std::chrono::duration<double>(Clock::now() - lpStarted).count();
    if (stopAsked(stop))
        return out;
    if (lp.outcome == Relaxation::Outcome::Infeasible) {
        out.status = PlanSolution::Status::Infeasible;
        return out;
    }
    if (lp.outcome == Relaxation::Outcome::Unfinished) {
        // Out of time before the relaxation's end: each stand's best candidate
        // still bounds what any plan can reach.
        out.status = PlanSolution::Status::NoSolution;
        for (const PlanStand &s : stands) {
            double best = objectiveOf(s.candidates.front(), c);
            for (const PlanCandidate &cand : s.candidates)
                best = std::max(best, objectiveOf(cand, c));
            out.bound += best;
        }
        return out;
    }
    out.relaxationBound = lp.objective;
    tell(lp.objective, std::nullopt, std::nullopt);

    out.splitStands = static_cast<size_t>(std::count(lp.whole.begin(), lp.whole.end(), std::nullopt));
    std::optional<std::vector<size_t>> plan;
    if (out.splitStands == 0) {
        plan.emplace();
        for (const auto &w : lp.whole)
            plan->push_back(*w);
        out.way = PlanWay::Relaxation;
    } else {
        if (spatial)
            plan = diveSplitStands(stands, periods, c, with, lp, spatial, deadline, stop, out.relaxationSeconds);
        if (plan)
            improveStandByStand(stands, periods, c, with, spatial, *plan, deadline, stop);
        plan = settleSplitStands(stands, periods, c, with, lp, spatial, deadline, stop, out.relaxationSeconds,
                                 std::move(plan));
        out.way = PlanWay::SplitStandsSearch;
        if (stopAsked(stop))
            return out;
    }
    if (plan && !keepsEveryRow(stands, *plan, periods, c, with, spatial))
        plan.reset();
    // A given start that keeps every row and does better is kept instead.
    if (start && start->size() == stands.size() && keepsEveryRow(stands, *start, periods, c, with) &&
        (!plan || planObjective(stands, *start, c) > planObjective(stands, *plan, c)))
        plan = *start;
    if (plan) {
        out.firstPlanObjective = planObjective(stands, *plan, c, spatial);
        out.chosen = *plan;
        out.objective = *out.firstPlanObjective;
        out.bound = std::max(lp.objective, out.objective);
        out.gapPercent = gapOf(out.bound, out.objective);
        tell(out.bound, out.objective, out.gapPercent);
        if (out.gapPercent <= c.gapPercent + 1e-9) {
            out.status = PlanSolution::Status::Optimal;
            return out;
        }
        if (deadline.passed()) {
            out.status = PlanSolution::Status::Stopped;
            return out;
        }
    } else if (deadline.passed()) {
        // Out of time with no plan: CBC's preprocessing alone could overrun
        // the limit by minutes on a large programme.
        out.status = PlanSolution::Status::NoSolution;
        out.bound = lp.objective;
        return out;
    }

    // The full search, from the LP's plan when there is one.
    out.way = plan ? PlanWay::SearchFromStart : PlanWay::SearchFromScratch;
    const std::vector<double> columns = plan ? full().columnValues(stands, *plan, c) : std::vector<double>{};
    // The search's better plans told against the LP's bound, each checked whole
    // and against every row: a heuristic's smaller model may hand over anything.
    double toldBest = plan ? out.objective : -std::numeric_limits<double>::infinity();
    SeenSolution seen;
    if (report && *report)
        seen = [&](const double *x, int columns) {
            if (columns != full().columns() || full().openStands().size() != stands.size())
                return;
            std::vector<size_t> chosen;
            for (size_t s = 0; s < stands.size(); ++s) {
                const double *own = x + full().firstColumn(s);
                const size_t best = static_cast<size_t>(std::max_element(own, own + stands[s].candidates.size()) - own);
                if (own[best] < 1.0 - 1e-6)
                    return;
                chosen.push_back(best);
            }
            const double value = planObjective(stands, chosen, c, spatial);
            if (value <= toldBest || !keepsEveryRow(stands, chosen, periods, c, with, spatial))
                return;
            toldBest = value;
            const double bound = std::max(lp.objective, value);
            tell(bound, value, gapOf(bound, value));
        };
    const SearchResult r =
        searchWithCbc(full(), stands, c.gapPercent / 100.0, deadline, stop, plan ? &columns : nullptr, &seen);
    if (r.outcome == SearchResult::Outcome::Interrupted || stopAsked(stop)) {
        out.status = PlanSolution::Status::Interrupted;
        return out;
    }
    if (r.outcome == SearchResult::Outcome::Infeasible && !plan) {
        out.status = PlanSolution::Status::Infeasible;
        return out;
    }
    // CBC keeps its bound in the sense of the objective; either bound holds,
    // and a finished search may leave it behind the solution by round-off.
    const bool searched = r.outcome == SearchResult::Outcome::Solved || r.outcome == SearchResult::Outcome::TimedOut;
    const double cbcBound = searched && std::isfinite(r.bound) ? std::min(r.bound, lp.objective) : lp.objective;
    if (!r.chosen.empty() && (!plan || planObjective(stands, r.chosen, c, spatial) >= out.objective)) {
        out.chosen = r.chosen;
        out.objective = planObjective(stands, r.chosen, c, spatial);
    } else if (!plan) {
        out.status = PlanSolution::Status::NoSolution;
        out.bound = cbcBound;
        return out;
    }
    out.bound = std::max(cbcBound, out.objective);
    out.gapPercent = gapOf(out.bound, out.objective);
    out.status = r.outcome == SearchResult::Outcome::Solved || out.gapPercent <= c.gapPercent + 1e-9
                     ? PlanSolution::Status::Optimal
                     : PlanSolution::Status::Stopped;
    return out;
}

// Part of an opening over the limit that is itself over it: grown from
// `seed` through neighbours, largest first. Its row cuts off every plan
// felling those stands together in the window, not this opening alone.
std::vector<size_t> openingCore(const PlanOpening &o, size_t seed, const std::vector<PlanStand> &stands,
                                const std::vector<std::vector<size_t>> &around, double limit)
{
    const auto larger = [&](size_t x, size_t y) { return stands[x].area < stands[y].area; };
    std::vector<size_t> core, frontier{seed};
    std::set<size_t> reached(frontier.begin(), frontier.end());
    double area = 0.0;
    while (area <= limit + 1e-9 && !frontier.empty()) {
        const auto next = std::max_element(frontier.begin(), frontier.end(), larger);
        const size_t s = *next;
        frontier.erase(next);
        core.push_back(s);
        area += stands[s].area;
        for (size_t y : around[s])
            if (std::binary_search(o.stands.begin(), o.stands.end(), y) && reached.insert(y).second)
                frontier.push_back(y);
    }
    std::sort(core.begin(), core.end());
    return core;
}

constexpr size_t kCoresPerOpening = 4;

// The plan under the spatial rule, from the plan without it. A green-up
// alone is a fixed set of rows; the openings' rows are too many to write
// down, so those the last plan breaks are added and the plan solved again
// until it breaks none (or, soft, pays for each it keeps).
PlanSolution solveSpatial(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                          const std::atomic<bool> *stop, const Deadline &deadline, const PlanSolution &aspatial,
                          WarmBasis &warm)
{
    const SpatialRule &rule = *c.spatial;
    SpatialOutcome outcome;
    outcome.aspatialObjective = aspatial.objective;
    outcome.aspatialChosen = aspatial.chosen;
    SpatialRows rows = rule.maxOpeningHa ? SpatialRows{} : greenUpRows(stands, periods, rule);
    std::vector<std::vector<size_t>> around(stands.size());
    for (const auto &[a, b] : rule.neighbours) {
        around[a].push_back(b);
        around[b].push_back(a);
    }
    std::set<std::pair<size_t, std::vector<size_t>>> added; // window, stands
    PlanSolution out = aspatial;
    bool again = !rows.empty();
    for (;;) {
        if (again) {
            PlanSolution next = solveOnce(stands, periods, c, {}, stop, deadline, nullptr, nullptr, &rows, &warm);
            if (next.status == PlanSolution::Status::Infeasible)
                next.blocking = ConstraintFamily::Spatial;
            if (next.status == PlanSolution::Status::Infeasible || next.status == PlanSolution::Status::Interrupted)
                return next;
            if (next.status == PlanSolution::Status::NoSolution || next.chosen.empty()) {
                // Out of time within a round: the last round's plan, with what it breaks.
                if (outcome.rounds == 0)
                    return next;
                out.status = PlanSolution::Status::Stopped;
                break;
            }
            out = std::move(next);
        }
        if (!rule.maxOpeningHa)
            break;
        const size_t before = rows.size();
        for (const PlanOpening &o : planOpenings(stands, out.chosen, periods, rule, false)) {
            if (o.area <= *rule.maxOpeningHa + 1e-9)
                continue;
            // Soft: the opening itself, charged for its own excess. Hard: cores
            // grown from a few of its stands, so that a round cuts off more
            // than this one way of felling them together.
            std::vector<std::vector<size_t>> cuts;
            if (rule.softPrice)
                cuts.push_back(o.stands);
            else
                for (size_t i = 0; i < o.stands.size(); i += std::max<size_t>(1, o.stands.size() / kCoresPerOpening))
                    cuts.push_back(openingCore(o, o.stands[i], stands, around, *rule.maxOpeningHa));
            for (std::vector<size_t> &cut : cuts)
                if (added.emplace(o.firstPeriod, cut).second)
                    rows.push_back(openingRow(stands, cut, o.firstPeriod, periods, rule, rows.size() + 1));
        }
        if (rows.size() == before)
            break;
        if (deadline.passed() || stopAsked(stop)) {
            out.status = PlanSolution::Status::Stopped; // openings over the limit left
            break;
        }
        ++outcome.rounds;
        again = true;
    }
    outcome.conflicts = spatialConflicts(stands, out.chosen, periods, rule);
    outcome.penalty = spatialPenalty(&rows, out.chosen);
    out.spatial = outcome;
    return out;
}

std::optional<std::string> writeModelFile(const PlanModel &model, const std::filesystem::path &path)
{
    OsiClpSolverInterface osi;
    model.loadOsi(osi);
    std::vector<const char *> rows, columns;
    for (const std::string &n : model.rowNames())
        rows.push_back(n.c_str());
    rows.push_back("value"); // the LP writer's name for the objective
    for (const std::string &n : model.columnNames())
        columns.push_back(n.c_str());

    // The writers take a file name: the model goes to a scratch file first,
    // then whole to its place.
    const bool lp = path.extension() == ".lp";
    const std::string suffix = lp ? ".lp" : ".mps"; // without it the MPS writer compresses
    std::string scratch = (std::filesystem::temp_directory_path() / ("tavelo-model-XXXXXX" + suffix)).string();
    const int fd = mkstemps(scratch.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        return std::string("cannot make a scratch file in ") + std::filesystem::temp_directory_path().string();
    close(fd);
    // The LP writer states a maximisation as the minimisation of its negation.
    int failed = 0;
    if (lp) {
        failed = osi.writeLpNative(scratch.c_str(), rows.data(), columns.data(), 1e-15, 10, 15, 0.0, true);
    } else {
        // MPS has no sense every reader takes: the value's negation, minimised, as in the LP file.
        std::vector<double> negated(model.objective());
        for (double &v : negated)
            v = -v;
        std::vector<char> integer(model.columns());
        for (int j = 0; j < model.columns(); ++j)
            integer[j] = osi.isInteger(j) ? 1 : 0;
        CoinMpsIO writer;
        writer.messageHandler()->setLogLevel(0);
        writer.setMpsData(*osi.getMatrixByCol(), osi.getInfinity(), osi.getColLower(), osi.getColUpper(),
                          negated.data(), integer.data(), osi.getRowLower(), osi.getRowUpper(), columns.data(),
                          rows.data()); // the names as C strings: the overload for string vectors leaks them
        failed = writer.writeMps(scratch.c_str(), 0, 1, 2);
    }
    const std::optional<std::string> bytes = failed == 0 ? readWholeFile(scratch) : std::nullopt;
    std::error_code ignored;
    std::filesystem::remove(scratch, ignored);
    if (!bytes || bytes->empty())
        return std::string("the model could not be written out");
    return writeWholeFile(path, *bytes);
}

} // namespace

double plannedArea(const std::vector<PlanStand> &stands)
{
    double area = 0.0;
    for (const PlanStand &s : stands)
        area += s.area;
    return area;
}

PlanSolution solvePlan(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                       const std::atomic<bool> *stop, const SolverReport &report,
                       const std::vector<size_t> *start)
{
    const auto started = Clock::now();
    const Deadline deadline(started, c.maxSeconds);
    const auto once = [&](const PlanConstraints &with, Families families, const std::vector<size_t> *from) {
        return solveOnce(stands, periods, with, families, stop, deadline, from);
    };
    // Only the plan asked for is told; the tries without a family only name the one that blocks.
    WarmBasis warm; // the plan's relaxation, to start the spatial rule's
    PlanSolution out = solveOnce(stands, periods, c, {}, stop, deadline, start, &report, nullptr, &warm);
    if (out.status == PlanSolution::Status::Infeasible) {
        // Each family left out in turn: the one whose absence makes the plan
        // feasible is the one that cannot be met.
        const bool flow = c.flow != FlowRule::None;
        const bool ending = c.endingStockPercent.has_value();
        if (c.minCarbonPerHa) {
            // Without the floor, the most carbon the other constraints leave.
            PlanConstraints most = c;
            most.minCarbonPerHa.reset();
            most.objective = PlanObjective::Carbon;
            const PlanSolution reach = once(most, {}, nullptr);
            if (reach.status == PlanSolution::Status::Optimal || reach.status == PlanSolution::Status::Stopped) {
                out.blocking = ConstraintFamily::Carbon;
                out.reachableCarbon = reach.objective;
            }
        }
        if (!out.blocking && flow && once(c, {false, true, true}, nullptr).status != PlanSolution::Status::Infeasible)
            out.blocking = ConstraintFamily::Flow;
        if (!out.reachableCarbon && ending &&
            once(c, {true, false, true}, nullptr).status != PlanSolution::Status::Infeasible)
            out.blocking = out.blocking ? ConstraintFamily::FlowWithEndingStock : ConstraintFamily::EndingStock;
        if (!out.blocking && flow && ending)
            out.blocking = ConstraintFamily::FlowWithEndingStock;
        else if (!out.blocking)
            out.blocking = flow ? ConstraintFamily::Flow : ConstraintFamily::EndingStock;
    } else if (c.objective == PlanObjective::Carbon && !c.spatial && !out.chosen.empty() && !stopAsked(stop)) {
        // Ties broken by value: the most value that keeps the carbon found.
        PlanConstraints tie = c;
        tie.objective = PlanObjective::Value;
        const double area = plannedArea(stands);
        tie.minCarbonPerHa = area > 0.0 ? out.objective / area * (1.0 - 1e-12) : 0.0;
        tie.gapPercent = c.gapPercent;
        // The tie is a narrow band a full search can spend long in: it gets
        // as long again as the carbon took (a few seconds at least), and keeps
        // the carbon's plan when it finds nothing better.
        const double took = std::chrono::duration<double>(Clock::now() - started).count();
        const std::optional<double> left = deadline.left();
        const Deadline tieDeadline(Clock::now(), std::min(std::max(2.0, took), left.value_or(1e300)));
        const PlanSolution byValue = solveOnce(stands, periods, tie, {}, stop, tieDeadline, &out.chosen);
        if (!byValue.chosen.empty()) {
            out.chosen = byValue.chosen;
            out.objective = planObjective(stands, out.chosen, c);
        }
    }
    if (c.spatial && !out.chosen.empty() && out.status != PlanSolution::Status::Interrupted && !stopAsked(stop))
        out = solveSpatial(stands, periods, c, stop, deadline, out, warm);
    if (stopAsked(stop)) {
        out = PlanSolution{};
        out.status = PlanSolution::Status::Interrupted;
    }
    for (size_t s = 0; s < out.chosen.size() && s < stands.size(); ++s) {
        out.value += stands[s].candidates[out.chosen[s]].value;
        out.carbon += stands[s].candidates[out.chosen[s]].carbon;
    }
    out.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    return out;
}

std::optional<std::string> writePlanModel(const std::vector<PlanStand> &stands, size_t periods,
                                          const PlanConstraints &constraints, const std::filesystem::path &path)
{
    const SpatialRule *rule = constraints.spatial ? &*constraints.spatial : nullptr;
    const SpatialRows rows = rule && !rule->maxOpeningHa ? greenUpRows(stands, periods, *rule) : SpatialRows{};
    const PlanModel model(stands, periods, constraints, {}, nullptr, true, &rows);
    return writeModelFile(model, path);
}

} // namespace tavelo
