#pragma once

// A plan read against its spatial rule: which neighbours are felled within
// the green-up delay and which openings the fellings make. The solver adds
// constraints from these; the outputs list them.

#include "inventory/forest_plan.h"

#include <cstddef>
#include <optional>
#include <utility>
#include <vector>

namespace tavelo {

// The period of a candidate's final felling; none when it is not felled
// within the plan's `periods`.
std::optional<size_t> fellingPeriod(const PlanCandidate &c, const SpatialRule &rule, size_t periods);

// The first period of every window of w consecutive periods the plan has
// (one window, from 0, when the horizon is shorter than w).
size_t windowCount(const SpatialRule &rule, size_t periods);

// Neighbour pairs whose final fellings fall within one window.
std::vector<std::pair<size_t, size_t>> greenUpConflicts(const std::vector<PlanStand> &stands,
                                                        const std::vector<size_t> &chosen, size_t periods,
                                                        const SpatialRule &rule);

// Stands felled within one window and touching through neighbours felled in
// it too.
struct PlanOpening {
    size_t firstPeriod = 0;     // the window's
    std::vector<size_t> stands; // ascending
    double area = 0.0;          // ha
};

// Every window's openings, window by window; with `distinct`, an opening
// another window already had (the same stands) is left out.
std::vector<PlanOpening> planOpenings(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen,
                                      size_t periods, const SpatialRule &rule, bool distinct);

// Neighbour pairs within the delay or, with a largest opening, openings over
// it (each window's), as the plan's summary counts them.
size_t spatialConflicts(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen, size_t periods,
                        const SpatialRule &rule);

} // namespace tavelo
