#include "stand_replay.h"

#include "screens/shell/app_context.h"
#include "session/entry/app_session.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace tavelo {

namespace {

// The windows of one stand's simulation, from its options to its end.
constexpr WindowId kStandWindows[] = {
    WindowId::Options,        WindowId::StandData,   WindowId::UnthinnedDensity, WindowId::ThinnedDensity,
    WindowId::StandStructure, WindowId::Thinning,    WindowId::AfterThinning,    WindowId::StandCharts,
    WindowId::ThinningChart,  WindowId::Summary,     WindowId::End,              WindowId::Economics,
    WindowId::Carbon,
};

template <typename W> W *control(AppContext &ctx, WindowId window, const char *name)
{
    QWidget *w = ctx.windows.get(window);
    return w ? w->findChild<W *>(QLatin1String(name)) : nullptr;
}

// A button pressed as the forester presses it: only when it is there and on.
bool press(QAbstractButton *button)
{
    if (!button || !button->isVisible() || !button->isEnabled())
        return false;
    button->click();
    return true;
}

// The stand screen in front: the thinned stand's while it is shown.
WindowId standInFront(AppContext &ctx)
{
    QWidget *thinned = ctx.windows.get(WindowId::AfterThinning);
    return thinned && thinned->isVisible() ? WindowId::AfterThinning : WindowId::StandStructure;
}

bool play(AppContext &ctx, const ScenarioStep &step)
{
    switch (step.kind) {
    case ScenarioStep::Kind::Project:
        return press(control<QPushButton>(ctx, standInFront(ctx), "cmdProjectar"));
    case ScenarioStep::Kind::Thin: {
        if (!press(control<QPushButton>(ctx, WindowId::StandStructure, "cmdDesbastar")))
            return false;
        const bool mechanical = step.thinning.choice == ScreenEntries::Thinning::Mechanical;
        if (!press(control<QRadioButton>(ctx, WindowId::Thinning, mechanical ? "optDmecanico" : "optDselectivo")))
            return false;
        auto *box = control<QLineEdit>(ctx, WindowId::Thinning, mechanical ? "txtDmecanico" : "txtDselectivo");
        if (!box)
            return false;
        box->setText(QString::fromStdString(mechanical ? step.thinning.mechanicalPercent
                                                       : step.thinning.residualBasalArea));
        return press(control<QPushButton>(ctx, WindowId::Thinning, "cmdOk"));
    }
    case ScenarioStep::Kind::Discard:
        return press(control<QPushButton>(ctx, WindowId::AfterThinning, "cmdReDesbastar"));
    case ScenarioStep::Kind::End:
        return press(control<QPushButton>(ctx, standInFront(ctx), "cmdTerminar"));
    }
    return false;
}

} // namespace

ReplayOutcome replayInStandWindows(AppContext &ctx, QWidget *from, const Scenario &scenario)
{
    using Kind = ReplayOutcome::Kind;
    SimulationFlow &flow = ctx.flow;
    bool underWay = flow.stage() != SimulationFlow::Stage::Options;
    for (WindowId id : kStandWindows)
        if (QWidget *w = ctx.windows.get(id); w && w->isVisible())
            underWay = true;
    if (underWay) {
        if (ctx.show(from, Message::question("Ver simulação",
                                             "A simulação em curso nas janelas do povoamento será substituída. "
                                             "Continuar?")) != MessageService::Answer::Yes)
            return {Kind::Declined, 0};
        for (WindowId id : kStandWindows)
            ctx.windows.unload(id);
        flow.newSimulation();
        flow.start(LogFile(ctx.logFolder / chooseLogName(ctx.logFolder)));
    }

    // The options, the stand data and its density, as their windows' "&Ok" leave them.
    const OptionsOutcome options = flow.confirmOptions(scenario.options);
    ctx.showAll(from, options.messages);
    if (!options.accepted)
        return {Kind::EntriesRefused, 0};
    flow.typeOptions(scenario.options.year, scenario.options.stumpHeight);
    const auto *unthinned = std::get_if<UnthinnedDensity>(&scenario.density);
    const StandDataOutcome route = flow.chooseRoute(
        unthinned ? SimulationFlow::Route::Unthinned : SimulationFlow::Route::Thinned, scenario.stand);
    ctx.showAll(from, route.messages);
    if (!route.openDensityScreen)
        return {Kind::EntriesRefused, 0};
    std::optional<Message> refused;
    if (unthinned) {
        const DensityOutcome d = flow.confirmUnthinnedDensity(unthinned->trees, unthinned->choice);
        if (d.kind != DensityOutcome::Kind::Stored)
            refused = d.message.value_or(Message::warning("Ver simulação", "A densidade foi recusada."));
    } else {
        const ThinnedEntryOutcome d = flow.confirmThinnedEntry(std::get<ThinnedEntryInput>(scenario.density));
        if (d.kind != DensityOutcome::Kind::Stored)
            refused = d.message.value_or(Message::warning("Ver simulação", "O povoamento foi recusado."));
    }
    if (!refused)
        refused = flow.confirmStandData();
    if (refused) {
        ctx.show(from, *refused);
        return {Kind::EntriesRefused, 0};
    }
    ctx.windows.show(WindowId::StandStructure);

    for (size_t i = 0; i < scenario.steps.size(); ++i)
        if (!play(ctx, scenario.steps[i]))
            return {Kind::StepRefused, i};
    return {Kind::Played, scenario.steps.size()};
}

} // namespace tavelo
