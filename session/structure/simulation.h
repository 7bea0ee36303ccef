#pragma once

#include "base/message.h"
#include "session/entry/entry_session.h"
#include "session/entry/screen_entries.h"
#include "model/stand_state.h"
#include "session/structure/sim_log.h"
#include "session/structure/stand_table.h"

#include <optional>

namespace tavelo {

// What each step of the loop does to a stand and the table it then shows, in
// one place: the simulation below adds the log block and the record row, the
// regime search keeps the table's record row alone. A stand outside the model
// throws ModelLimitError.
// "Projectar sem desbaste": the year and the stand 5 years on. The table is
// built before the stand is stored, so a stand outside the model ends the
// simulation with the previous stand still in place.
// `detail`: the tables of a search are its Total rows alone.
StandTable projectStandStep(StandState &state, const ScreenEntries &entries, TableDetail detail = TableDetail::Whole);
// The thinning dialogue's "&Ok": on success the residual stand is held beside
// the current one and its table is the after-thinning screen's.
struct ThinningStep {
    ThinningOutcome outcome;
    std::optional<StandTable> thinnedTable;
};
ThinningStep thinStandStep(StandState &state, ScreenEntries &entries, const ThinningInput &in,
                           TableDetail detail = TableDetail::Whole);
// "Projectar" after a thinning (once the thinned stand is recorded): the
// residual stand becomes the current one and is projected 5 years; the
// residual values stay until forgetResidualStand, as the log block reads them.
StandTable carryThinnedStandForward(StandState &state, const ScreenEntries &entries,
                                    TableDetail detail = TableDetail::Whole);
void forgetResidualStand(StandState &state);

// The simulation loop as the two stand table screens drive it: every state
// shown is logged and recorded, projected in steps of 5 years, thinned, carried
// forward or discarded. Model limits are thrown as ModelLimitError; the screen
// shows the message and the program ends.
class Simulation {
public:
    static constexpr double kStepYears = 5.0;

    Simulation(StandState &state, ScreenEntries &entries);

    StandState &state() { return state_; }
    const StandState &state() const { return state_; }
    ScreenEntries &entries() { return entries_; }
    const ScreenEntries &entries() const { return entries_; }
    LogFile &log() { return log_; }
    const LogFile &log() const { return log_; }

    // What a step has to tell the user besides the table: the record's limit
    // message, and once per simulation the log's write failure.
    using Notices = Messages;

    // The stand structure screen opens: table, log block, record row.
    Notices openStandScreen();
    // "Projectar sem desbaste": the current stand 5 years on, on the same screen.
    Notices projectWithoutThinning();
    // The thinning screen's "&Ok": on success the after-thinning screen opens
    // with the residual stand (neither logged nor recorded yet).
    ThinningOutcome thin(const ThinningInput &in);
    // "Projectar" on the after-thinning screen: the thinned stand is logged and
    // recorded, becomes the current stand and is projected onto a new stand screen.
    Notices projectThinned();
    // "Voltar a definir desbaste": back to the stand screen, no trace left.
    void discardThinning();
    // "Terminar Simulação" on the after-thinning screen records the thinned stand.
    Notices endFromThinnedScreen();
    // Closing a stand screen with its close box discards it silently.
    void closeStandScreen();
    void closeThinnedScreen();
    // A new simulation: no table on screen, and a log that cannot be written is told again.
    void startAfresh();

    // The grids on screen: the stand structure screen's (also while it is hidden
    // behind a thinning) and the after-thinning screen's.
    const std::optional<StandTable> &standTable() const { return standTable_; }
    const std::optional<StandTable> &thinnedTable() const { return thinnedTable_; }

private:
    TableStand currentStand() const;
    Notices logAndRecord(const StandTable &table, bool thinned);

    StandState &state_;
    ScreenEntries &entries_;
    LogFile log_;
    bool logFailureShown_ = false;
    std::optional<StandTable> standTable_;
    std::optional<StandTable> thinnedTable_;
};

} // namespace tavelo
