#pragma once

// The regime a plan chose for one stand, as a scenario to play again step by
// step: the stand as the inventory enters it, the plan's model options, and
// the steps of the chosen regime (a regime file's own, those its rules took,
// or those of the search space's regime with the chosen schedule).

#include "inventory/plan_candidates.h"
#include "regimes/scenario.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <variant>

namespace tavelo {

struct ReplayFailure {
    enum class Kind {
        InventoryUnusable, // detail: the reader's words
        StandMissing,      // no stand at that position (the inventory changed since the plan)
        RegimeMissing,     // no regime of the source has that label or schedule
        NotPlayable,       // the regime no longer plays to its end: detail, the model's words
    };
    Kind kind = Kind::InventoryUnusable;
    std::string detail;
};

// `position`: the stand's place in the inventory (PlanInventory::positions);
// `schedule`: the candidate's schedule as the plan shows it.
std::variant<Scenario, ReplayFailure> chosenRegimeScenario(const std::filesystem::path &inventory,
                                                           const std::string &layer, size_t position,
                                                           const CandidateSource &source,
                                                           const PlanSettings &settings, const std::string &schedule);

} // namespace tavelo
