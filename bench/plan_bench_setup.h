#pragma once

// What the two forest-plan benchmarks share: the sizes asked for on the
// command line (and --time-limit SECONDS), the search space, the prices and
// the even flow of ±10 % over six periods.

#include "inventory/forest_plan.h"
#include "inventory/plan_candidates.h"
#include "regimes/search_space.h"

#include <chrono>
#include <cstdlib>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

struct PlanBenchSetup {
    std::vector<size_t> sizes;
    SearchSpace space;
    PlanSettings settings;
    PlanConstraints constraints;
};

// Seconds since `since`, on the steady clock.
inline double secondsSince(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline PlanBenchSetup planBenchSetup(int argc, char **argv, std::vector<size_t> defaultSizes)
{
    PlanBenchSetup s;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--time-limit" && i + 1 < argc)
            s.constraints.maxSeconds = std::strtod(argv[++i], nullptr); // the solver stops there and reports its bound
        else
            s.sizes.push_back(std::strtoul(argv[i], nullptr, 10));
    }
    if (s.sizes.empty())
        s.sizes = std::move(defaultSizes);
    s.space = std::get<SearchSpace>(parseSearchSpace(R"({"rotation": {"from": "30", "to": "50"},
  "thinnings": {"max": "2", "minInterval": "10", "firstAge": "15",
                "mechanical": ["20", "30"], "below": ["14", "16"]}})"));
    s.settings.options.year = "2026";
    s.settings.startYear = 2026;
    s.settings.horizonYears = 30;
    s.settings.economics.sawlogPrice = 45;
    s.settings.economics.roundwoodPrice = 30;
    s.settings.economics.firewoodPrice = 8;
    s.settings.economics.thinningCost = 250;
    s.settings.economics.finalFellingCost = 400;
    s.settings.economics.annualCost = 15;
    s.settings.economics.discountRatePercent = 3;
    s.settings.landValue = 800;
    s.constraints.flow = FlowRule::Even;
    s.constraints.evenPercent = 10.0;
    s.constraints.gapPercent = 0.1;
    return s;
}

} // namespace tavelo
