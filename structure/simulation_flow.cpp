#include "simulation_flow.h"

#include "structure/sim_record.h"


namespace tavelo {

namespace {

// What a thinned-stand screen leaves for later screens when it goes without a stand.
void forgetThinnedEntry(ScreenEntries &entries)
{
    const ScreenEntries fresh;
    entries.thinnedByParameters = fresh.thinnedByParameters;
    entries.typedBasalAreaText = fresh.typedBasalAreaText;
    entries.typedP95Text = fresh.typedP95Text;
}

} // namespace

SimulationFlow::SimulationFlow(StandState &state) : state_(state), simulation_(state, entries_) {}

void SimulationFlow::typeOptions(std::string yearText, std::string stumpHeightText)
{
    entries_.yearText = std::move(yearText);
    entries_.stumpHeightText = std::move(stumpHeightText);
}

OptionsOutcome SimulationFlow::confirmOptions(const OptionsInput &in)
{
    OptionsOutcome out = tavelo::confirmOptions(state_, in);
    if (out.accepted && stage_ == Stage::Options)
        stage_ = Stage::StandData;
    if (out.accepted)
        entered_.options = in;
    return out;
}

void SimulationFlow::closeOptions(std::string freshYearText)
{
    typeOptions(std::move(freshYearText), ScreenEntries{}.stumpHeightText);
}

StandDataOutcome SimulationFlow::chooseRoute(Route route, const StandDataInput &in)
{
    (void)route; // both routes ask the same of the stand data
    StandDataOutcome out = standDataButton(state_, in);
    if (out.openDensityScreen) {
        stage_ = Stage::DensityEntry;
        typedStand_ = in;
    }
    return out;
}

DensityOutcome SimulationFlow::confirmUnthinnedDensity(const std::string &treesText, DensityChoice choice)
{
    DensityOutcome out = tavelo::confirmUnthinnedDensity(state_, treesText, choice);
    if (out.kind == DensityOutcome::Kind::Stored) {
        lock_.locked = true;
        lock_.thinnedRouteOff = true;
        stage_ = Stage::StandData;
        entered_.stand = typedStand_;
        entered_.density = EnteredStand::Unthinned{choice, treesText};
    }
    return out;
}

ThinnedEntryOutcome SimulationFlow::confirmThinnedEntry(const ThinnedEntryInput &in)
{
    ThinnedEntryOutcome out = tavelo::confirmThinnedEntry(state_, entries_, in);
    if (out.kind == DensityOutcome::Kind::Stored) {
        lock_.locked = true;
        lock_.unthinnedRouteOff = true;
        stage_ = Stage::StandData;
        entered_.stand = typedStand_;
        entered_.density = in;
    }
    return out;
}

void SimulationFlow::leaveDensityEntry(Route route)
{
    if (route == Route::Thinned)
        forgetThinnedEntry(entries_);
    stage_ = Stage::StandData;
}

std::optional<Message> SimulationFlow::confirmStandData()
{
    std::optional<Message> warning = tavelo::confirmStandData(state_);
    if (!warning) {
        stage_ = Stage::StandScreen;
        projectedStandShown_ = false;
    }
    return warning;
}

void SimulationFlow::cancelStandData()
{
    tavelo::cancelStandData(state_);
    // Both density screens close with the stand data: nothing typed on them survives.
    forgetThinnedEntry(entries_);
    lock_ = {};
    entered_.stand.reset();
    entered_.density = std::monostate{};
    stage_ = Stage::StandData;
}

Simulation::Notices SimulationFlow::loadStandScreen()
{
    stage_ = Stage::StandScreen;
    if (projectedStandShown_) {
        projectedStandShown_ = false;
        return {};
    }
    return simulation_.openStandScreen();
}

Simulation::Notices SimulationFlow::project()
{
    if (stage_ != Stage::AfterThinning)
        return simulation_.projectWithoutThinning();
    Simulation::Notices notices = simulation_.projectThinned();
    projectedStandShown_ = true;
    stage_ = Stage::StandScreen;
    return notices;
}

void SimulationFlow::openThinning()
{
    stage_ = Stage::ThinningDialogue;
}

ThinningOutcome SimulationFlow::thin(const ThinningInput &in)
{
    ThinningOutcome out = simulation_.thin(in);
    if (out.kind == ThinningOutcome::Kind::ShowThinnedStand)
        stage_ = Stage::AfterThinning;
    return out;
}

void SimulationFlow::leaveThinning()
{
    stage_ = Stage::StandScreen;
}

void SimulationFlow::discardThinning()
{
    simulation_.discardThinning();
    stage_ = Stage::StandScreen;
}

Simulation::Notices SimulationFlow::end()
{
    Simulation::Notices notices;
    if (stage_ == Stage::AfterThinning) {
        notices = simulation_.endFromThinnedScreen();
    } else {
        // The current stand was logged and recorded when it was shown.
        simulation_.closeStandScreen();
    }
    stage_ = Stage::Ended;
    return notices;
}

void SimulationFlow::closeStandScreen()
{
    simulation_.closeStandScreen();
}

void SimulationFlow::closeThinnedScreen()
{
    simulation_.closeThinnedScreen();
}

void SimulationFlow::newSimulation()
{
    tavelo::newSimulation(state_);
    simulation_.startAfresh();
    entries_ = ScreenEntries{};
    lock_ = {};
    entered_ = {};
    typedStand_.reset();
    projectedStandShown_ = false;
    stage_ = Stage::Options;
}

} // namespace tavelo
