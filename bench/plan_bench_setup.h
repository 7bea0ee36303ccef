#pragma once

// What the forest-plan benchmarks share: the sizes asked for on the
// command line (and --time-limit SECONDS, --front N), the search space, the prices and
// the even flow of ±10 % over six periods, and the diverse synthetic forest.

#include "inventory/forest_plan.h"
#include "inventory/plan_candidates.h"
#include "model/growth_model.h"
#include "regimes/search_space.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
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
    size_t frontPoints = 0;
};

// Seconds since `since`, on the steady clock.
inline double secondsSince(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline std::string benchNumber(double v, int decimals)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, v);
    return text;
}

// Ages 10 to 45, site indices over the quality classes' range (7 to 23 m at
// the reference age) giving each stand a height its age can have, areas 0.5
// to 25 ha. Stands younger than 17 are entered by their planting (1,100 to
// 2,500 trees/ha), older ones by their trees after thinnings, their diameters
// growing with age and site.
inline std::string diverseInventory(size_t stands, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> age(10.0, 45.0), site(8.0, 23.0), area(0.5, 25.0), planted(1100.0, 2500.0),
        unit(0.0, 1.0);
    std::string csv = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95,area\n";
    for (size_t i = 0; i < stands; ++i) {
        const double a = std::round(age(rng));
        const double si = site(rng);
        const double height = DominantHeightAtAge(a, si);
        const double ha = area(rng);
        csv += 's';
        csv += std::to_string(i);
        csv += ',';
        csv += benchNumber(a, 0);
        csv += ',';
        csv += benchNumber(height, 1);
        csv += ",,";
        if (a < 17.0) { // the model takes a planting's density below that age
            csv += benchNumber(std::round(planted(rng)), 0);
            csv += ",,,,,,";
        } else {
            const double trees = std::round(1000.0 - 14.0 * (a - 20.0) - 150.0 * unit(rng));
            const double quadMean = 8.0 + 0.55 * (a - 12.0) * si / 15.0 + 2.0 * unit(rng); // cm
            const double basalArea = std::min(38.0, trees * 0.78539 * quadMean * quadMean / 10000.0);
            csv += ",,";
            for (const std::string &cell : {benchNumber(trees, 0), benchNumber(basalArea, 1), benchNumber(0.55 * quadMean, 1),
                                            benchNumber(1.35 * quadMean, 1)}) {
                csv += cell;
                csv += ',';
            }
        }
        csv += benchNumber(ha, 2);
        csv += '\n';
    }
    return csv;
}

inline PlanBenchSetup planBenchSetup(int argc, char **argv, std::vector<size_t> defaultSizes)
{
    PlanBenchSetup s;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--front" && i + 1 < argc)
            s.frontPoints = std::strtoul(argv[++i], nullptr, 10); // the front between value and carbon too
        else if (std::string(argv[i]) == "--time-limit" && i + 1 < argc)
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
