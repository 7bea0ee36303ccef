#include "plan_pricing.h"

#include <ClpSimplex.hpp>

#include <algorithm>
#include <cmath>
#include <limits>

namespace tavelo {

CandidateRows::CandidateRows(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                             const CouplingRows &rows)
{
    const size_t P = rows.flow ? periods : 0;
    rows_ = rows;
    periods_ = P;
    width_ = 1 + P + (rows.ending ? 1 : 0) + (rows.carbon ? 1 : 0);
    first_.reserve(stands.size() + 1);
    first_.push_back(0);
    for (const PlanStand &s : stands)
        first_.push_back(first_.back() + s.candidates.size());
    entries_.reserve(first_.back() * width_);
    for (const PlanStand &s : stands)
        for (const PlanCandidate &cand : s.candidates) {
            entries_.push_back(objectiveOf(cand, c));
            for (size_t p = 0; p < P; ++p)
                entries_.push_back(planHarvest(cand, c.basis, p));
            if (rows.ending)
                entries_.push_back(cand.standingAtHorizon);
            if (rows.carbon)
                entries_.push_back(cand.carbon);
        }
}

std::vector<double> CandidateRows::weights(const RowPrices &prices, double objectiveWeight) const
{
    std::vector<double> w{objectiveWeight};
    for (double v : prices.harvest)
        w.push_back(-v);
    w.resize(1 + periods_, 0.0);
    if (rows_.ending)
        w.push_back(-prices.ending);
    if (rows_.carbon)
        w.push_back(-prices.carbon);
    return w;
}

double CandidateRows::value(size_t candidate, const std::vector<double> &w) const
{
    const double *e = entries_.data() + candidate * width_;
    double v = 0.0;
    for (size_t i = 0; i < width_; ++i)
        v += w[i] * e[i];
    return v;
}

void CandidateRows::price(size_t stand, const RowPrices &prices, double objectiveWeight,
                          std::vector<double> &priced) const
{
    const std::vector<double> w = weights(prices, objectiveWeight);
    priced.clear();
    for (size_t k = first_[stand]; k < first_[stand + 1]; ++k)
        priced.push_back(value(k, w));
}

double CandidateRows::priceAll(const RowPrices &prices, double objectiveWeight, std::vector<uint32_t> &choice) const
{
    const std::vector<double> w = weights(prices, objectiveWeight);
    choice.resize(stands());
    double sum = 0.0;
    for (size_t s = 0; s < stands(); ++s) {
        double best = -std::numeric_limits<double>::infinity();
        for (size_t k = first_[s]; k < first_[s + 1]; ++k)
            if (const double v = value(k, w); v > best) {
                best = v;
                choice[s] = static_cast<uint32_t>(k - first_[s]);
            }
        sum += best;
    }
    return sum;
}

namespace {

constexpr double kNoBound = std::numeric_limits<double>::max();
// Plans kept in the master beyond those in its basis: older ones that price
// out are dropped, each holding a candidate per stand.
constexpr int kMostPlansKept = 60;
constexpr size_t kMostIterations = 3000;
// The mix is the relaxation's once the prices' bound is this close, relatively.
constexpr double kConverged = 1e-9;
// The first phase's excess, in units of each row's size: still counted as
// none, and surely some.
constexpr double kFeasible = 1e-9;
constexpr double kInfeasible = 1e-6;

// The master: the mix's weights, each period's harvest and their mean, and
// per inequality row an excess the first phase drives to nothing.
class Master {
public:
    Master(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c, const CouplingRows &rows)
        : c_(c), rows_(rows)
    {
        P_ = rows.flow ? static_cast<int>(periods) : 0;
        const bool even = rows.flow && c.flow == FlowRule::Even;
        const bool nondec = rows.flow && c.flow == FlowRule::Nondecreasing;
        // The rows' sizes, so that the first phase weighs a m3, a t C and a
        // unit of ending stock alike.
        double harvestScale = 1.0, standingScale = 1.0, carbonScale = 1.0, initial = 0.0;
        for (const PlanStand &s : stands) {
            double h = 0.0, st = 0.0, cb = 0.0;
            for (const PlanCandidate &cand : s.candidates) {
                for (int p = 0; p < P_; ++p)
                    h = std::max(h, std::abs(planHarvest(cand, c.basis, static_cast<size_t>(p))));
                st = std::max(st, std::abs(cand.standingAtHorizon));
                cb = std::max(cb, std::abs(cand.carbon));
            }
            harvestScale += h;
            standingScale += st;
            carbonScale += cb;
            initial += s.standingInitial;
        }

        int r = 0;
        harvestRow0_ = r;
        r += P_;
        const int evenHi0 = r, evenRows = even ? P_ : 0;
        r += 2 * evenRows;
        const int meanRow = even ? r++ : -1;
        const int nondec0 = r, nondecRows = nondec ? std::max(0, P_ - 1) : 0;
        r += nondecRows;
        endingRow_ = rows.ending ? r++ : -1;
        carbonRow_ = rows.carbon ? r++ : -1;
        convexityRow_ = r++;
        std::vector<double> lower(r, 0.0), upper(r, 0.0);
        for (int k = 0; k < evenRows; ++k) {
            lower[evenHi0 + k] = -kNoBound;
            upper[evenHi0 + evenRows + k] = kNoBound;
        }
        for (int k = 0; k < nondecRows; ++k)
            upper[nondec0 + k] = kNoBound;
        if (rows.ending) {
            lower[endingRow_] = *c.endingStockPercent / 100.0 * initial;
            upper[endingRow_] = kNoBound;
        }
        if (rows.carbon) {
            lower[carbonRow_] = *c.minCarbonPerHa * plannedArea(stands);
            upper[carbonRow_] = kNoBound;
        }
        lower[convexityRow_] = upper[convexityRow_] = 1.0;
        lp_.resize(r, 0);
        for (int i = 0; i < r; ++i) {
            lp_.setRowLower(i, lower[i]);
            lp_.setRowUpper(i, upper[i]);
        }
        lp_.setOptimizationDirection(-1.0);
        lp_.setLogLevel(0);

        // Each period's harvest, and the mean for an even flow.
        for (int p = 0; p < P_; ++p) {
            std::vector<int> at{harvestRow0_ + p};
            std::vector<double> v{-1.0};
            if (even) {
                at.insert(at.end(), {evenHi0 + p, evenHi0 + evenRows + p, meanRow});
                v.insert(v.end(), {1.0, 1.0, 1.0});
            }
            if (nondec && p >= 1) {
                at.push_back(nondec0 + p - 1);
                v.push_back(1.0);
            }
            if (nondec && p + 1 < P_) {
                at.push_back(nondec0 + p);
                v.push_back(-1.0);
            }
            lp_.addColumn(static_cast<int>(at.size()), at.data(), v.data(), 0.0, kNoBound, 0.0);
        }
        if (even) {
            const double e = c.evenPercent / 100.0;
            std::vector<int> at;
            std::vector<double> v;
            for (int k = 0; k < evenRows; ++k) {
                at.push_back(evenHi0 + k);
                v.push_back(-(1.0 + e));
            }
            for (int k = 0; k < evenRows; ++k) {
                at.push_back(evenHi0 + evenRows + k);
                v.push_back(-(1.0 - e));
            }
            at.push_back(meanRow);
            v.push_back(-static_cast<double>(P_));
            lp_.addColumn(static_cast<int>(at.size()), at.data(), v.data(), 0.0, kNoBound, 0.0);
        }
        // The excesses: a "<=" row's taken off it, a ">=" row's added, each
        // counted in units of its row's size (a cost of 1/size would fall
        // under the simplex's tolerances).
        const auto excess = [&](int row, double sign, double scale) {
            const double v = sign * scale;
            lp_.addColumn(1, &row, &v, 0.0, kNoBound, -1.0);
            excess_.push_back(lp_.numberColumns() - 1);
        };
        for (int k = 0; k < evenRows; ++k)
            excess(evenHi0 + k, -1.0, harvestScale);
        for (int k = 0; k < evenRows; ++k)
            excess(evenHi0 + evenRows + k, 1.0, harvestScale);
        for (int k = 0; k < nondecRows; ++k)
            excess(nondec0 + k, 1.0, harvestScale);
        if (rows.ending)
            excess(endingRow_, 1.0, standingScale);
        if (rows.carbon)
            excess(carbonRow_, 1.0, carbonScale);
        firstPlanColumn_ = lp_.numberColumns();
        if (excess_.empty())
            secondPhase_ = true;
    }

    bool secondPhase() const { return secondPhase_; }

    // From here on the excesses are gone and the plans count their objective.
    void enterSecondPhase()
    {
        secondPhase_ = true;
        for (int j : excess_) {
            lp_.setColumnUpper(j, 0.0);
            lp_.setObjectiveCoefficient(j, 0.0);
        }
        for (size_t k = 0; k < plans_.size(); ++k)
            lp_.setObjectiveCoefficient(firstPlanColumn_ + static_cast<int>(k), plans_[k].objective);
    }

    void add(const std::vector<PlanStand> &stands, std::vector<uint32_t> choice)
    {
        Plan plan;
        std::vector<double> harvest(static_cast<size_t>(P_), 0.0);
        double standing = 0.0, carbon = 0.0;
        for (size_t s = 0; s < stands.size(); ++s) {
            const PlanCandidate &cand = stands[s].candidates[choice[s]];
            plan.objective += objectiveOf(cand, c_);
            for (int p = 0; p < P_; ++p)
                harvest[static_cast<size_t>(p)] += planHarvest(cand, c_.basis, static_cast<size_t>(p));
            standing += cand.standingAtHorizon;
            carbon += cand.carbon;
        }
        std::vector<int> at;
        std::vector<double> v;
        for (int p = 0; p < P_; ++p) {
            at.push_back(harvestRow0_ + p);
            v.push_back(harvest[static_cast<size_t>(p)]);
        }
        if (rows_.ending) {
            at.push_back(endingRow_);
            v.push_back(standing);
        }
        if (rows_.carbon) {
            at.push_back(carbonRow_);
            v.push_back(carbon);
        }
        at.push_back(convexityRow_);
        v.push_back(1.0);
        plan.choice = std::move(choice);
        lp_.addColumn(static_cast<int>(at.size()), at.data(), v.data(), 0.0, kNoBound,
                      secondPhase_ ? plan.objective : 0.0);
        plans_.push_back(std::move(plan));
    }

    // Plans out of the basis dropped, the worst priced first, down to the most kept.
    void dropStalePlans()
    {
        if (plans_.size() <= static_cast<size_t>(kMostPlansKept))
            return;
        const double *reduced = lp_.dualColumnSolution();
        std::vector<std::pair<double, int>> out;
        for (size_t k = 0; k < plans_.size(); ++k) {
            const int j = firstPlanColumn_ + static_cast<int>(k);
            if (lp_.getColumnStatus(j) != ClpSimplex::basic)
                out.emplace_back(reduced[j], j);
        }
        std::sort(out.begin(), out.end());
        const size_t drop = std::min(out.size(), plans_.size() - kMostPlansKept / 2);
        std::vector<int> which;
        for (size_t i = 0; i < drop; ++i)
            which.push_back(out[i].second);
        std::sort(which.begin(), which.end());
        for (auto it = which.rbegin(); it != which.rend(); ++it)
            plans_.erase(plans_.begin() + (*it - firstPlanColumn_));
        lp_.deleteColumns(static_cast<int>(which.size()), which.data());
    }

    bool solve()
    {
        lp_.primal();
        return lp_.isProvenOptimal();
    }
    double objective() const { return lp_.objectiveValue(); }
    RowPrices prices() const
    {
        const double *dual = lp_.dualRowSolution();
        RowPrices out;
        for (int p = 0; p < P_; ++p)
            out.harvest.push_back(dual[harvestRow0_ + p]);
        out.ending = endingRow_ >= 0 ? dual[endingRow_] : 0.0;
        out.carbon = carbonRow_ >= 0 ? dual[carbonRow_] : 0.0;
        return out;
    }
    double convexityPrice() const { return lp_.dualRowSolution()[convexityRow_]; }

    std::vector<std::pair<double, std::vector<uint32_t>>> mix() const
    {
        std::vector<std::pair<double, std::vector<uint32_t>>> out;
        const double *x = lp_.primalColumnSolution();
        for (size_t k = 0; k < plans_.size(); ++k)
            if (const double w = x[firstPlanColumn_ + static_cast<int>(k)]; w > 1e-12)
                out.emplace_back(w, plans_[k].choice);
        return out;
    }

private:
    struct Plan {
        double objective = 0.0;
        std::vector<uint32_t> choice;
    };
    const PlanConstraints &c_;
    CouplingRows rows_;
    ClpSimplex lp_;
    int P_ = 0;
    int harvestRow0_ = 0, endingRow_ = -1, carbonRow_ = -1, convexityRow_ = 0;
    int firstPlanColumn_ = 0;
    std::vector<int> excess_;
    std::vector<Plan> plans_;
    bool secondPhase_ = false;
};

} // namespace

MixedPlans mixWholePlans(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                         const CouplingRows &rows, const CandidateRows &table, const std::atomic<bool> *stop,
                         const std::function<bool()> &outOfTime)
{
    MixedPlans out;
    Master master(stands, periods, c, rows);
    std::vector<uint32_t> choice;
    table.priceAll(RowPrices{}, 1.0, choice);
    master.add(stands, choice);
    double bound = std::numeric_limits<double>::infinity();
    for (; out.iterations < kMostIterations; ++out.iterations) {
        if ((stop && stop->load()) || (outOfTime && outOfTime())) {
            out.outcome = MixedPlans::Outcome::Unfinished;
            return out;
        }
        if (!master.solve())
            return out; // undecided
        const double z = master.objective();
        if (!master.secondPhase() && z >= -kFeasible) {
            master.enterSecondPhase();
            continue;
        }
        const RowPrices prices = master.prices();
        const double weight = master.secondPhase() ? 1.0 : 0.0;
        const double reduced = table.priceAll(prices, weight, choice) - master.convexityPrice();
        const double tolerance = kConverged * std::max(1.0, std::abs(z));
        if (!master.secondPhase()) {
            // The excess can fall no lower than this: clearly above none, no
            // plan keeps the rows; barely above, the whole relaxation decides.
            if (z + std::max(0.0, reduced) < -kInfeasible) {
                out.outcome = MixedPlans::Outcome::Infeasible;
                return out;
            }
            if (reduced <= tolerance)
                return out; // undecided
        } else {
            bound = std::min(bound, z + std::max(0.0, reduced));
            if (bound - z <= tolerance) {
                out.outcome = MixedPlans::Outcome::Solved;
                out.prices = prices;
                out.objective = z;
                out.bound = bound;
                out.plans = master.mix();
                return out;
            }
        }
        master.dropStalePlans();
        master.add(stands, choice);
    }
    return out; // undecided
}

} // namespace tavelo
