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
    if (!log_.discards() && !log_.append(thinned ? TXToutput2(table) : TXToutput(table, state_, entries_)) &&
        !logFailureShown_) {
        logFailureShown_ = true;
        notices.push_back(fileWriteError());
    }
    if (auto limit = TotalArray(state_, table, thinned ? RecordSource::ThinnedScreen : RecordSource::StandScreen))
        notices.push_back(*limit);
    return notices;
}

Simulation::ProjectedStand Simulation::projectCurrent() const
{
    ProjectedStand p;
    p.t2 = state_.StandAge.value() + kStepYears;
    ProjectStand(state_.StandAge.value(), state_.BasalArea.value(), state_.TreesAlive.value(),
                 state_.SiteIndex.value(), state_.WeibullA.value(), state_.WeibullB.value(), state_.WeibullC.value(),
                 p.t2, p.G2, p.N2, p.dmin2, p.a2, p.b2, p.c2);
    p.hdom2 = DominantHeightAtAge(p.t2, state_.SiteIndex.value());
    return p;
}

void Simulation::storeProjected(const ProjectedStand &p)
{
    state_.StandAge = p.t2;
    state_.DominantHeight = p.hdom2;
    state_.BasalArea = p.G2;
    state_.TreesAlive = p.N2;
    state_.DMin = p.dmin2;
    state_.WeibullA = p.a2;
    state_.WeibullB = p.b2;
    state_.WeibullC = p.c2;
}

void Simulation::advanceYear()
{
    // A year still held as the typed text is taken as its number.
    double year = 0.0;
    if (state_.CurrentYear.isNumber())
        year = state_.CurrentYear.number();
    else if (state_.CurrentYear.isText())
        year = parseNumber(state_.CurrentYear.text()).value_or(0.0);
    state_.CurrentYear.setNumber(year + kStepYears);
}

Simulation::Notices Simulation::openStandScreen()
{
    standTable_ = Stable(state_, entries_, currentStand());
    return logAndRecord(*standTable_, false);
}

Simulation::Notices Simulation::projectWithoutThinning()
{
    state_.Projected = "sim";
    advanceYear();
    const ProjectedStand p = projectCurrent();
    // The table is built before the stand is stored: a stand outside the
    // model ends the simulation with the previous stand still in place.
    standTable_ = Stable(state_, entries_, {p.t2, p.hdom2, p.N2, p.G2, p.a2, p.b2, p.c2, state_.WithBark.value()});
    storeProjected(p);
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
        thinnedTable_ = Stable2(state_, entries_, residual);
    }
    return out;
}

Simulation::Notices Simulation::projectThinned()
{
    if (!thinnedTable_)
        return {};
    state_.Projected = "sim";
    Notices notices = logAndRecord(*thinnedTable_, true);

    state_.TreesAlive = state_.TreesResidual;
    state_.BasalArea = state_.BasalAreaResidual;
    state_.WeibullA = state_.WeibullAResidual;
    state_.WeibullB = state_.WeibullBResidual;
    state_.WeibullC = state_.WeibullCResidual;
    advanceYear();
    standTable_.reset(); // the hidden stand screen closes
    storeProjected(projectCurrent());

    for (const Message &m : openStandScreen())
        notices.push_back(m);
    for (StateValue *v : {&state_.BasalAreaResidual, &state_.WeibullAResidual, &state_.WeibullBResidual,
                          &state_.WeibullCResidual, &state_.TreesResidual})
        v->setNull();
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
    for (StateValue *v : {&state_.BasalAreaResidual, &state_.WeibullAResidual, &state_.WeibullBResidual,
                          &state_.WeibullCResidual, &state_.TreesResidual})
        v->setNull();
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

} // namespace tavelo
