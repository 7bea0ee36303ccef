#include "simulation.h"

#include "base/numeric_text.h"
#include "model/growth_model.h"
#include "session/structure/sim_record.h"

namespace tavelo {

Simulation::Simulation(StandState &state, ScreenEntries &entries) : state_(state), entries_(entries)
{
    if (!state_.logName.empty())
        log_.setPath(state_.logName);
}

namespace {

struct ProjectedStand {
    double age = 0, dominantHeight = 0, basalArea = 0, trees = 0, minDiameter = 0, a = 0, b = 0, c = 0;
};

// The current stand 5 years on.
ProjectedStand projectCurrent(const StandState &state)
{
    ProjectedStand p;
    p.age = state.standAge.value() + Simulation::kStepYears;
    const StandProjection next =
        ProjectStand(state.standAge.value(), state.siteIndex.value(),
                     {state.treesAlive.value(), state.basalArea.value(), state.weibullA.value(), state.weibullB.value(),
                      state.weibullC.value()},
                     p.age);
    p.basalArea = next.stand.basalArea;
    p.trees = next.stand.trees;
    p.minDiameter = next.minDiameter;
    p.a = next.stand.a;
    p.b = next.stand.b;
    p.c = next.stand.c;
    p.dominantHeight = DominantHeightAtAge(p.age, state.siteIndex.value());
    return p;
}

void storeProjected(StandState &state, const ProjectedStand &p)
{
    state.standAge = p.age;
    state.dominantHeight = p.dominantHeight;
    state.basalArea = p.basalArea;
    state.treesAlive = p.trees;
    state.minDiameter = p.minDiameter;
    state.weibullA = p.a;
    state.weibullB = p.b;
    state.weibullC = p.c;
}

// The year 5 on (a year still held as the typed text is taken as its number).
void advanceYear(StandState &state)
{
    double year = 0.0;
    if (state.currentYear.isNumber())
        year = state.currentYear.number();
    else if (state.currentYear.isText())
        year = parseNumber(state.currentYear.text()).value_or(0.0);
    state.currentYear.setNumber(year + Simulation::kStepYears);
}

TableStand currentStandOf(const StandState &state)
{
    return {state.standAge.value(), state.dominantHeight.value(), state.treesAlive.value(),
            state.basalArea.value(), state.weibullA.value(), state.weibullB.value(),
            state.weibullC.value(), state.withBark.value()};
}

} // namespace

StandTable projectStandStep(StandState &state, const ScreenEntries &entries, TableDetail detail)
{
    state.projected = true;
    advanceYear(state);
    const ProjectedStand p = projectCurrent(state);
    StandTable table = buildStandTable(
        state, entries, {p.age, p.dominantHeight, p.trees, p.basalArea, p.a, p.b, p.c, state.withBark.value()}, detail);
    storeProjected(state, p);
    return table;
}

ThinningStep thinStandStep(StandState &state, ScreenEntries &entries, const ThinningInput &in, TableDetail detail)
{
    ThinningStep step{confirmThinning(state, entries, in), std::nullopt};
    if (step.outcome.kind == ThinningOutcome::Kind::ShowThinnedStand) {
        const TableStand residual{state.standAge.value(),         state.dominantHeight.value(),
                                  state.residualTrees.value(),    state.residualBasalArea.value(),
                                  state.residualWeibullA.value(), state.residualWeibullB.value(),
                                  state.residualWeibullC.value(), state.withBark.value()};
        step.thinnedTable = buildThinnedStandTable(state, entries, residual, {}, detail);
    }
    return step;
}

StandTable carryThinnedStandForward(StandState &state, const ScreenEntries &entries, TableDetail detail)
{
    state.projected = true;
    state.treesAlive = state.residualTrees;
    state.basalArea = state.residualBasalArea;
    state.weibullA = state.residualWeibullA;
    state.weibullB = state.residualWeibullB;
    state.weibullC = state.residualWeibullC;
    advanceYear(state);
    storeProjected(state, projectCurrent(state));
    return buildStandTable(state, entries, currentStandOf(state), detail);
}

void forgetResidualStand(StandState &state)
{
    for (StateValue *v : {&state.residualBasalArea, &state.residualWeibullA, &state.residualWeibullB,
                          &state.residualWeibullC, &state.residualTrees})
        v->setNull();
}

TableStand Simulation::currentStand() const
{
    return currentStandOf(state_);
}

Simulation::Notices Simulation::logAndRecord(const StandTable &table, bool thinned)
{
    Notices notices;
    // A log that cannot be written does not stop the simulation; the user is told once.
    if (!log_.discards() && !log_.append(thinned ? thinnedStandLogBlock(table) : standLogBlock(table, state_, entries_)) &&
        !logFailureShown_) {
        logFailureShown_ = true;
        notices.push_back(fileWriteError());
    }
    if (auto limit = recordStand(state_, table, thinned ? RecordSource::ThinnedScreen : RecordSource::StandScreen))
        notices.push_back(*limit);
    const int row = state_.recordLast;
    if (table.stand.withBark == 0.0 && row >= 0 && row < kRecordMaxWritten) {
        const TableRow total = overBarkTotals(state_, table.stand);
        state_.overBarkVolumes[row] = {
            tableCell(total, TableColumn::TotalVolume), tableCell(total, TableColumn::RoundwoodVolume),
            tableCell(total, TableColumn::SawlogVolume), tableCell(total, TableColumn::FirewoodVolume)};
    }
    return notices;
}

Simulation::Notices Simulation::openStandScreen()
{
    standTable_ = buildStandTable(state_, entries_, currentStand());
    return logAndRecord(*standTable_, false);
}

Simulation::Notices Simulation::projectWithoutThinning()
{
    standTable_ = projectStandStep(state_, entries_);
    return logAndRecord(*standTable_, false);
}

ThinningOutcome Simulation::thin(const ThinningInput &in)
{
    ThinningStep step = thinStandStep(state_, entries_, in);
    if (step.thinnedTable)
        thinnedTable_ = std::move(step.thinnedTable);
    return step.outcome;
}

Simulation::Notices Simulation::projectThinned()
{
    if (!thinnedTable_)
        return {};
    state_.projected = true;
    Notices notices = logAndRecord(*thinnedTable_, true);

    standTable_.reset(); // the hidden stand screen closes
    standTable_ = carryThinnedStandForward(state_, entries_);
    for (const Message &m : logAndRecord(*standTable_, false))
        notices.push_back(m);
    forgetResidualStand(state_);
    thinnedTable_.reset();
    return notices;
}

void Simulation::discardThinning()
{
    thinnedTable_.reset();
    // The thinning screen is closed: its next opening starts empty.
    entries_.thinning = ScreenEntries::Thinning::None;
    entries_.mechanicalPercentText.clear();
    entries_.residualBasalAreaText.clear();
    forgetResidualStand(state_);
}

Simulation::Notices Simulation::endFromThinnedScreen()
{
    if (!thinnedTable_)
        return {};
    return logAndRecord(*thinnedTable_, true);
}

void Simulation::closeStandScreen()
{
    standTable_.reset();
}

void Simulation::closeThinnedScreen()
{
    thinnedTable_.reset();
}

void Simulation::startAfresh()
{
    standTable_.reset();
    thinnedTable_.reset();
    logFailureShown_ = false;
}

} // namespace tavelo
