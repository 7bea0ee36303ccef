#include "regime_check.h"

#include "session/entry/entry_session.h"
#include "session/results/carbon.h"
#include "session/results/economics.h"

namespace tavelo {

std::optional<RegimeProblem> regimeProblem(const Regime &regime)
{
    for (size_t i = 0; i < regime.steps.size(); ++i) {
        const ScenarioStep &step = regime.steps[i];
        if (step.kind != ScenarioStep::Kind::Thin)
            continue;
        if (auto refusal = thinningIntensityRefusal(step.thinning)) {
            const bool mechanical = step.thinning.choice == ScreenEntries::Thinning::Mechanical;
            return RegimeProblem{"steps[" + std::to_string(i) + "]." + (mechanical ? "percent" : "residualBasalArea"),
                                 refusal->text};
        }
    }
    if (regime.economics) {
        auto read = readEconomicInputs(*regime.economics);
        if (auto *refusal = std::get_if<EconomicRefusal>(&read))
            return RegimeProblem{refusal->keyPath, refusal->message.text};
    }
    if (regime.carbon) {
        auto read = readCarbonFactors(*regime.carbon);
        if (auto *refusal = std::get_if<CarbonRefusal>(&read))
            return RegimeProblem{refusal->keyPath, refusal->message.text};
    }
    return std::nullopt;
}

} // namespace tavelo
