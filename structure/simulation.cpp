#include "simulation.h"

#include "base/numeric_text.h"
#include "model/growth_model.h"
#include "structure/sim_record.h"

namespace tavelo {

Simulation::Simulation(StandState &state, ScreenEntries &entries) : state_(state), entries_(entries)
{
    if (!state_.SimLogPath.empty())
        log_.setPath(state_.SimLogPath);
}

TableStand Simulation::currentStand() const
{
    return {state_.StandAge.value(), state_.DominantHeight.value(), state_.TreesAlive.value(),
            state_.BasalArea.value(), state_.WeibullA.value(), state_.WeibullB.value(),
            state_.WeibullC.value(), state_.WithBark.value()};
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
    const int row = state_.SimRecordLast;
    if (table.stand.withBark == 0.0 && row >= 0 && row < kRecordMaxWritten) {
        const TableRow total = overBarkTotals(state_, table.stand);
        state_.OverBarkVolumes[row] = {total[4], total[5], total[6], total[7]};
    }
    return notices;
}

Simulation::ProjectedStand Simulation::projectCurrent(const StandState &state)
{
    ProjectedStand p;
    p.t2 = state.StandAge.value() + kStepYears;
    ProjectStand(state.StandAge.value(), state.BasalArea.value(), state.TreesAlive.value(), state.SiteIndex.value(),
                 state.WeibullA.value(), state.WeibullB.value(), state.WeibullC.value(), p.t2, p.G2, p.N2, p.dmin2,
                 p.a2, p.b2, p.c2);
    p.hdom2 = DominantHeightAtAge(p.t2, state.SiteIndex.value());
    return p;
}

void Simulation::storeProjected(StandState &state, const ProjectedStand &p)
{
    state.StandAge = p.t2;
    state.DominantHeight = p.hdom2;
    state.BasalArea = p.G2;
    state.TreesAlive = p.N2;
    state.DMin = p.dmin2;
    state.WeibullA = p.a2;
    state.WeibullB = p.b2;
    state.WeibullC = p.c2;
}

void Simulation::advanceYear(StandState &state)
{
    double year = 0.0;
    if (state.CurrentYear.isNumber())
        year = state.CurrentYear.number();
    else if (state.CurrentYear.isText())
        year = parseNumber(state.CurrentYear.text()).value_or(0.0);
    state.CurrentYear.setNumber(year + kStepYears);
}

void Simulation::takeResidualStand(StandState &state)
{
    state.TreesAlive = state.TreesResidual;
    state.BasalArea = state.BasalAreaResidual;
    state.WeibullA = state.WeibullAResidual;
    state.WeibullB = state.WeibullBResidual;
    state.WeibullC = state.WeibullCResidual;
}

void Simulation::forgetResidualStand(StandState &state)
{
    for (StateValue *v : {&state.BasalAreaResidual, &state.WeibullAResidual, &state.WeibullBResidual,
                          &state.WeibullCResidual, &state.TreesResidual})
        v->setNull();
}

Simulation::Notices Simulation::openStandScreen()
{
    standTable_ = buildStandTable(state_, entries_, currentStand());
    return logAndRecord(*standTable_, false);
}

Simulation::Notices Simulation::projectWithoutThinning()
{
    state_.projected = true;
    advanceYear(state_);
    const ProjectedStand p = projectCurrent(state_);
    // The table is built before the stand is stored: a stand outside the
    // model ends the simulation with the previous stand still in place.
    standTable_ = buildStandTable(state_, entries_, {p.t2, p.hdom2, p.N2, p.G2, p.a2, p.b2, p.c2, state_.WithBark.value()});
    storeProjected(state_, p);
    return logAndRecord(*standTable_, false);
}

ThinningOutcome Simulation::thin(const ThinningInput &in)
{
    ThinningOutcome out = confirmThinning(state_, entries_, in);
    if (out.kind == ThinningOutcome::Kind::ShowThinnedStand) {
        const TableStand residual{state_.StandAge.value(),        state_.DominantHeight.value(),
                                  state_.TreesResidual.value(),   state_.BasalAreaResidual.value(),
                                  state_.WeibullAResidual.value(), state_.WeibullBResidual.value(),
                                  state_.WeibullCResidual.value(), state_.WithBark.value()};
        thinnedTable_ = buildThinnedStandTable(state_, entries_, residual);
    }
    return out;
}

Simulation::Notices Simulation::projectThinned()
{
    if (!thinnedTable_)
        return {};
    state_.projected = true;
    Notices notices = logAndRecord(*thinnedTable_, true);

    takeResidualStand(state_);
    advanceYear(state_);
    standTable_.reset(); // the hidden stand screen closes
    storeProjected(state_, projectCurrent(state_));

    for (const Message &m : openStandScreen())
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
