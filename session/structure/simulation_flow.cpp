#include "simulation_flow.h"

#include "session/structure/sim_record.h"


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

SimulationFlow::NotAllowed::NotAllowed(Operation op, Stage stage)
    : std::logic_error("operation not offered at this stage of the simulation"), operation_(op), stage_(stage)
{
}

SimulationFlow::SimulationFlow(StandState &state) : state_(state), simulation_(state, entries_) {}

void SimulationFlow::require(Operation op, std::initializer_list<Stage> allowed) const
{
    for (Stage s : allowed)
        if (stage_ == s)
            return;
    throw NotAllowed(op, stage_);
}

SimulationFlow::Screen SimulationFlow::screenInFront() const
{
    switch (stage_) {
    case Stage::Options:
        return Screen::Options;
    case Stage::StandData:
        return Screen::StandData;
    case Stage::DensityEntry:
        return route_ == Route::Thinned ? Screen::ThinnedDensity : Screen::UnthinnedDensity;
    case Stage::StandScreen:
        return Screen::StandTable;
    case Stage::ThinningDialogue:
        return Screen::Thinning;
    case Stage::AfterThinning:
        return Screen::AfterThinning;
    case Stage::Ended:
        break;
    }
    return Screen::End;
}

void SimulationFlow::start(const LogFile &log)
{
    state_.logName = log.path().filename().string();
    simulation_.log() = log;
    state_.recordLast = -1;
}

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
    const StandButtons buttons = ageRule(in.mode, in.age, {});
    if (route == Route::Unthinned ? !buttons.unthinned : !buttons.thinned) {
        const std::string name = route == Route::Unthinned ? "Dados povoamento não desbastado" : "Dados povoamento desbastado";
        StandDataOutcome refused;
        refused.messages.push_back(Message::error(
            "Dados Inválidos", "O botão \"" + name + "\" não está disponível com a idade \"" + in.age + "\"."));
        return refused;
    }
    StandDataOutcome out = standDataButton(state_, in);
    if (out.openDensityScreen) {
        stage_ = Stage::DensityEntry;
        route_ = route;
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
    if (!warning)
        stage_ = Stage::StandScreen;
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
    require(Operation::Project, {Stage::StandScreen, Stage::ThinningDialogue, Stage::AfterThinning});
    stage_ = Stage::StandScreen;
    if (simulation_.standTable())
        return {};
    return simulation_.openStandScreen();
}

Simulation::Notices SimulationFlow::project()
{
    require(Operation::Project, {Stage::StandScreen, Stage::ThinningDialogue, Stage::AfterThinning});
    if (stage_ != Stage::AfterThinning)
        return simulation_.projectWithoutThinning();
    Simulation::Notices notices = simulation_.projectThinned();
    stage_ = Stage::StandScreen;
    return notices;
}

void SimulationFlow::openThinning()
{
    require(Operation::OpenThinning, {Stage::StandScreen, Stage::ThinningDialogue});
    stage_ = Stage::ThinningDialogue;
}

ThinningOutcome SimulationFlow::thin(const ThinningInput &in)
{
    require(Operation::Thin, {Stage::ThinningDialogue});
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
    require(Operation::Discard, {Stage::AfterThinning});
    simulation_.discardThinning();
    stage_ = Stage::StandScreen;
}

Simulation::Notices SimulationFlow::end()
{
    require(Operation::End, {Stage::StandScreen, Stage::ThinningDialogue, Stage::AfterThinning});
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
    route_.reset();
    stage_ = Stage::Options;
}

} // namespace tavelo
