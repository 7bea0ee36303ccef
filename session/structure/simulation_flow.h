#pragma once

// The road of one simulation, in one place for the windows and the command
// line: where the user is (options, stand data, density entry, stand screen,
// thinning, after thinning, ended), what has been entered and what is locked.
// Each operation is what a user can do at that point; it changes the stand
// state and returns what the windows must show. The screens only show it, and
// the scenario runner plays the same operations, so both walk the same road.

#include "base/message.h"
#include "session/entry/entry_session.h"
#include "session/entry/screen_entries.h"
#include "model/stand_state.h"
#include "session/structure/simulation.h"

#include <optional>
#include <stdexcept>
#include <string>
#include <variant>

namespace tavelo {

// The stand as its screens accepted it, texts as typed: what a search for the
// best regime starts from, and what a regime found is written back with.
struct EnteredStand {
    struct Unthinned {
        DensityChoice choice = DensityChoice::Planted;
        std::string trees;
    };
    std::optional<OptionsInput> options;
    std::optional<StandDataInput> stand;
    std::variant<std::monostate, Unthinned, ThinnedEntryInput> density;
    bool complete() const { return options && stand && density.index() != 0; }
};

class SimulationFlow {
public:
    // What the user does on the stand screens, as the flow refuses it.
    enum class Operation { Project, OpenThinning, Thin, Discard, End };

    enum class Stage {
        Options,          // the model options are not confirmed yet
        StandData,        // age and site of the stand
        DensityEntry,     // a density screen is open over the stand data
        StandScreen,      // the stand table of the current stand is in front
        ThinningDialogue, // the thinning screen is open over the stand table
        AfterThinning,    // the thinned stand is shown, not yet carried forward
        Ended,            // the end screen
    };
    enum class Route { Unthinned, Thinned };
    // The window in front at each stage: what the screens show next.
    enum class Screen {
        Options, StandData, UnthinnedDensity, ThinnedDensity, StandTable, Thinning, AfterThinning, End
    };

    // An operation the stage does not offer (a thinning over a thinning, a
    // discard without one, a step before the stand screen or after the end).
    // The windows never ask for one: their buttons are not there.
    class NotAllowed : public std::logic_error {
    public:
        NotAllowed(Operation op, Stage stage);
        Operation operation() const { return operation_; }
        Stage stage() const { return stage_; }

    private:
        Operation operation_;
        Stage stage_;
    };

    // Once a density screen has stored the stand, its age, height and site can
    // no longer change, nor can the other route be taken: whatever stand data
    // window shows the stand shows it locked.
    struct StandDataLock {
        bool locked = false;
        bool thinnedRouteOff = false;   // "Dados povoamento desbastado"
        bool unthinnedRouteOff = false; // "Dados povoamento não desbastado"
    };

    explicit SimulationFlow(StandState &state);
    SimulationFlow(const SimulationFlow &) = delete;
    SimulationFlow &operator=(const SimulationFlow &) = delete;

    Stage stage() const { return stage_; }
    Screen screenInFront() const;

    // A simulation starts with its log and an empty record: at the start of
    // the program and for every scenario played.
    void start(const LogFile &log);
    StandState &state() { return state_; }
    const StandState &state() const { return state_; }
    ScreenEntries &entries() { return entries_; }
    const ScreenEntries &entries() const { return entries_; }
    Simulation &simulation() { return simulation_; }
    const Simulation &simulation() const { return simulation_; }
    LogFile &log() { return simulation_.log(); }

    // --- Model options ----------------------------------------------------------
    // The boxes later screens read, as the options screen holds them.
    void typeOptions(std::string yearText, std::string stumpHeightText);
    OptionsOutcome confirmOptions(const OptionsInput &in);
    // The options screen closed for good: a later reading finds what a freshly
    // opened one shows (this year and the design cutting height).
    void closeOptions(std::string freshYearText);

    // --- Stand data ---------------------------------------------------------------
    // A stand-data button: on success the density screen of that route opens.
    // A route whose button the age rule leaves off is refused.
    StandDataOutcome chooseRoute(Route route, const StandDataInput &in);
    DensityOutcome confirmUnthinnedDensity(const std::string &treesText, DensityChoice choice);
    ThinnedEntryOutcome confirmThinnedEntry(const ThinnedEntryInput &in);
    // "Sim" on a density screen's leave question: it closes and takes its entries with it.
    void leaveDensityEntry(Route route);
    const StandDataLock &standDataLock() const { return lock_; }
    const EnteredStand &enteredStand() const { return entered_; }
    // "&Ok" of the stand data: a warning, or nothing when the stand screen opens.
    std::optional<Message> confirmStandData();
    // "Cancelar": the stand and both density screens go; the options stay.
    void cancelStandData();

    // --- Stand screens --------------------------------------------------------------
    // The stand screen loads: it shows the stand, logged and recorded once. A
    // stand screen that a projection produced is already shown.
    Simulation::Notices loadStandScreen();
    // The projection button of the stand screen in front; after a thinning the
    // thinned stand is carried forward onto the next stand screen.
    Simulation::Notices project();
    // "Realizar desbaste" opens the thinning screen.
    void openThinning();
    ThinningOutcome thin(const ThinningInput &in);
    // "Sim" on the thinning screen's leave question.
    void leaveThinning();
    // "Voltar a definir desbaste".
    void discardThinning();
    // "Terminar Simulação" on the stand screen in front.
    Simulation::Notices end();
    // The close boxes of the stand screens discard them silently.
    void closeStandScreen();
    void closeThinnedScreen();

    // "Nova simulação": everything is null again, the log failure may be told
    // again, and the next simulation starts at the options.
    void newSimulation();

private:
    StandState &state_;
    ScreenEntries entries_;
    Simulation simulation_;
    Stage stage_ = Stage::Options;
    StandDataLock lock_;
    EnteredStand entered_;
    std::optional<StandDataInput> typedStand_; // the stand data behind an open density screen
    std::optional<Route> route_;               // the density screen open, if any

    void require(Operation op, std::initializer_list<Stage> allowed) const;
};

} // namespace tavelo
