#pragma once

// The plan's LP relaxation priced stand by stand. Only a dozen rows tie the
// stands together (each period's harvest, the ending stock, the carbon
// floor): under prices on those rows every stand picks its own best
// candidate, and a small master programme mixes the whole plans so found
// until no stand's choice can improve it (Dantzig-Wolfe with the forest as
// one block). Its prices then tell which few stands the exact relaxation
// needs open; the others are fixed, and the caller checks the fixing
// against the final prices.

#include "inventory/forest_plan.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace tavelo {

// Which rows tie the stands together.
struct CouplingRows {
    bool flow = false, ending = false, carbon = false;
};

// The rows' shadow prices: what loosening each row by one unit (m3, or t C)
// is worth to the objective (€, or t C under the carbon objective).
struct RowPrices {
    std::vector<double> harvest; // per period, with a flow
    double ending = 0.0;
    double carbon = 0.0;
};

// Every candidate's objective and its entries in the shared rows, packed
// together: pricing the whole forest is then one pass over memory.
class CandidateRows {
public:
    CandidateRows(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                  const CouplingRows &rows);
    size_t stands() const { return first_.size() - 1; }
    size_t candidates(size_t stand) const { return first_[stand + 1] - first_[stand]; }
    // Per candidate of `stand`, its objective (times `objectiveWeight`) less
    // what it takes of the priced rows.
    void price(size_t stand, const RowPrices &prices, double objectiveWeight, std::vector<double> &priced) const;
    // Each stand's best candidate, and the sum of their priced values.
    double priceAll(const RowPrices &prices, double objectiveWeight, std::vector<uint32_t> &choice) const;

private:
    std::vector<double> weights(const RowPrices &prices, double objectiveWeight) const;
    double value(size_t candidate, const std::vector<double> &weights) const;
    CouplingRows rows_;
    size_t periods_ = 0;
    size_t width_ = 1;
    std::vector<size_t> first_; // per stand, its first candidate; then the count
    std::vector<double> entries_; // per candidate: objective, then its rows' entries
};

struct MixedPlans {
    enum class Outcome {
        Solved,     // no stand's choice improves the mix
        Infeasible, // no mix of whole plans keeps the rows, proved by the prices
        Unfinished, // stopped or out of time
        Undecided   // the pricing stalled: the caller should solve the relaxation whole
    } outcome = Outcome::Undecided;
    RowPrices prices;
    double objective = 0.0; // the mix's
    double bound = 0.0;     // the most any plan reaches, from the prices
    // The plans in the mix: weight, and per stand its candidate.
    std::vector<std::pair<double, std::vector<uint32_t>>> plans;
    size_t iterations = 0;
};

MixedPlans mixWholePlans(const std::vector<PlanStand> &stands, size_t periods, const PlanConstraints &c,
                         const CouplingRows &rows, const CandidateRows &table, const std::atomic<bool> *stop,
                         const std::function<bool()> &outOfTime);

} // namespace tavelo
