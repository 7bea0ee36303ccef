#include "plan_spatial.h"

#include <algorithm>

namespace tavelo {

std::optional<size_t> fellingPeriod(const PlanCandidate &c, const SpatialRule &rule, size_t periods)
{
    if (!c.fellingYear || *c.fellingYear < rule.startYear)
        return std::nullopt;
    const size_t p = static_cast<size_t>((*c.fellingYear - rule.startYear) / kPlanPeriodYears);
    return p < periods ? std::optional<size_t>(p) : std::nullopt;
}

size_t windowCount(const SpatialRule &rule, size_t periods)
{
    const size_t w = std::max<size_t>(1, rule.windowPeriods());
    return periods > w ? periods - w + 1 : 1;
}

namespace {

std::vector<std::optional<size_t>> fellingPeriods(const std::vector<PlanStand> &stands,
                                                  const std::vector<size_t> &chosen, size_t periods,
                                                  const SpatialRule &rule)
{
    std::vector<std::optional<size_t>> out(stands.size());
    for (size_t s = 0; s < stands.size() && s < chosen.size(); ++s)
        out[s] = fellingPeriod(stands[s].candidates[chosen[s]], rule, periods);
    return out;
}

} // namespace

std::vector<std::pair<size_t, size_t>> greenUpConflicts(const std::vector<PlanStand> &stands,
                                                        const std::vector<size_t> &chosen, size_t periods,
                                                        const SpatialRule &rule)
{
    const std::vector<std::optional<size_t>> felled = fellingPeriods(stands, chosen, periods, rule);
    const size_t w = rule.windowPeriods();
    std::vector<std::pair<size_t, size_t>> out;
    for (const auto &[a, b] : rule.neighbours) {
        if (!felled[a] || !felled[b])
            continue;
        const size_t apart = *felled[a] > *felled[b] ? *felled[a] - *felled[b] : *felled[b] - *felled[a];
        if (apart < w)
            out.emplace_back(a, b);
    }
    return out;
}

std::vector<PlanOpening> planOpenings(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen,
                                      size_t periods, const SpatialRule &rule, bool distinct)
{
    const std::vector<std::optional<size_t>> felled = fellingPeriods(stands, chosen, periods, rule);
    std::vector<std::vector<size_t>> around(stands.size());
    for (const auto &[a, b] : rule.neighbours) {
        around[a].push_back(b);
        around[b].push_back(a);
    }
    const size_t w = std::max<size_t>(1, rule.windowPeriods());
    std::vector<PlanOpening> out;
    std::vector<std::vector<size_t>> seen; // the stands of the openings kept, for `distinct`
    std::vector<size_t> mark(stands.size(), 0); // window + 1 once reached
    for (size_t t = 0; t < windowCount(rule, periods); ++t) {
        const auto inWindow = [&](size_t s) { return felled[s] && *felled[s] >= t && *felled[s] < t + w; };
        for (size_t s = 0; s < stands.size(); ++s) {
            if (!inWindow(s) || mark[s] == t + 1)
                continue;
            PlanOpening o;
            o.firstPeriod = t;
            std::vector<size_t> todo{s};
            mark[s] = t + 1;
            while (!todo.empty()) {
                const size_t x = todo.back();
                todo.pop_back();
                o.stands.push_back(x);
                o.area += stands[x].area;
                for (size_t y : around[x])
                    if (mark[y] != t + 1 && inWindow(y)) {
                        mark[y] = t + 1;
                        todo.push_back(y);
                    }
            }
            std::sort(o.stands.begin(), o.stands.end());
            if (distinct) {
                if (std::find(seen.begin(), seen.end(), o.stands) != seen.end())
                    continue;
                seen.push_back(o.stands);
            }
            out.push_back(std::move(o));
        }
    }
    return out;
}

size_t spatialConflicts(const std::vector<PlanStand> &stands, const std::vector<size_t> &chosen, size_t periods,
                        const SpatialRule &rule)
{
    if (!rule.maxOpeningHa)
        return greenUpConflicts(stands, chosen, periods, rule).size();
    size_t n = 0;
    for (const PlanOpening &o : planOpenings(stands, chosen, periods, rule, false))
        if (o.area > *rule.maxOpeningHa + 1e-9)
            ++n;
    return n;
}

} // namespace tavelo
