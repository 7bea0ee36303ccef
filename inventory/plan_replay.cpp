#include "plan_replay.h"

#include "inventory/batch.h"
#include "inventory/inventory_source.h"
#include "regimes/optimizer.h"

#include <atomic>
#include <exception>
#include <optional>

namespace tavelo {

std::variant<Scenario, ReplayFailure> chosenRegimeScenario(const std::filesystem::path &inventory,
                                                           const std::string &layer, size_t position,
                                                           const CandidateSource &source,
                                                           const PlanSettings &settings, const std::string &schedule)
{
    using Kind = ReplayFailure::Kind;
    std::optional<InventoryStand> stand;
    try {
        const std::unique_ptr<InventorySource> read = openInventory(inventory, layer);
        InventoryStands reader(*read);
        StandRow row;
        while (!stand && reader.next(row))
            if (row.position == position)
                if (auto *s = std::get_if<InventoryStand>(&row.stand))
                    stand = std::move(*s);
    } catch (const std::exception &e) {
        return ReplayFailure{Kind::InventoryUnusable, e.what()};
    }
    if (!stand)
        return ReplayFailure{Kind::StandMissing, {}};

    if (source.space) {
        // The walk the candidates came from, stopped at the regime with that schedule.
        const Scenario entered{settings.options, stand->stand, stand->density, {}, std::nullopt, std::nullopt,
                               std::nullopt};
        std::optional<RankedRegime> chosen;
        std::atomic<bool> found{false};
        OptimizeOptions o;
        o.top = 0;
        o.jobs = 1;
        o.maxRegimes = source.maxRegimes;
        o.cancel = &found;
        o.visit = [&](const std::vector<ValuationRow> &, const std::vector<ValuationRow> &,
                      const std::function<RankedRegime()> &describe) {
            if (chosen)
                return;
            RankedRegime r = describe();
            if (spaceSchedule(r) == schedule) {
                chosen = std::move(r);
                found = true;
            }
        };
        optimizeRegime(entered, *source.space, o);
        if (!chosen)
            return ReplayFailure{Kind::RegimeMissing, schedule};
        Scenario scenario = entered;
        scenario.steps = std::move(chosen->steps);
        return scenario;
    }

    for (const auto &[label, regime] : source.regimes) {
        if (label != schedule)
            continue;
        // Played once apart: the steps it took (its rules' too) are the ones to press.
        Scenario scenario = scenarioOf(regime, stand->stand, stand->density);
        scenario.economics.reset();
        StandState state;
        std::string logBytes;
        LogFile log;
        log.collectInto(&logBytes);
        const RunResult run = runScenario(scenario, state, log);
        if (run.status != RunResult::Status::Completed)
            return ReplayFailure{Kind::NotPlayable, run.message ? run.message->text : std::string()};
        scenario.rules.reset();
        scenario.steps = run.stepsTaken;
        return scenario;
    }
    return ReplayFailure{Kind::RegimeMissing, schedule};
}

} // namespace tavelo
