#pragma once

// What every screen shares: the stand state and the flow of the simulation,
// the desktop services and the set of loaded windows. The application builds
// it and registers the windows; the subsystems' screens only use it.

#include "base/numeric_text.h"
#include "session/entry/screen_entries.h"
#include "model/model_error.h"
#include "model/stand_state.h"
#include "screens/shell/services.h"
#include "screens/shell/windows.h"
#include "session/structure/simulation_flow.h"

#include <QWidget>

#include <filesystem>
#include <memory>

namespace tavelo {

class AppContext {
    // The program's stand state, unless the caller keeps its own.
    std::unique_ptr<StandState> ownState_;

public:
    AppContext(Services services, std::filesystem::path logFolder, NumberConventions conventions);
    // The same on a stand state the caller keeps (the tests read it directly).
    AppContext(Services services, std::filesystem::path logFolder, NumberConventions conventions, StandState &state);

    StandState &state;
    // The road of the simulation; the windows are its views.
    SimulationFlow flow;
    ScreenEntries &entries;
    Simulation &simulation;
    Services services;
    std::filesystem::path logFolder;
    NumberConventions conventions;
    Windows windows;

    // The full path of this simulation's log.
    std::filesystem::path logPath() const { return logFolder / state.logName; }

    // Shows the box and returns the answer.
    MessageService::Answer show(QWidget *parent, const Message &m) { return services.messages->show(parent, m); }
    void showAll(QWidget *parent, const Messages &ms)
    {
        for (const Message &m : ms)
            show(parent, m);
    }
    // A model limit: the message box, then the program ends at once.
    void endByModel(QWidget *parent, const ModelError &e);

    // Runs a screen's handler; a model limit thrown inside ends the program.
    // Where the program ends (always, for the real exit service) nothing after
    // that point runs, up to the outermost handler.
    template <typename F> void guarded(QWidget *parent, F &&handler)
    {
        struct Depth {
            int &depth;
            explicit Depth(int &d) : depth(++d) {}
            ~Depth() { --depth; }
        } depth(handlerDepth_);
        try {
            try {
                handler();
            } catch (const ModelLimitError &e) {
                endByModel(parent, e);
            }
        } catch (const ProgramEnded &) {
            if (depth.depth > 1)
                throw;
        }
    }
    // Ends the program from a handler.
    void endProgram(int code) { services.exit->exit(code); }

private:
    AppContext(Services services, std::filesystem::path logFolder, NumberConventions conventions,
               std::unique_ptr<StandState> own, StandState *kept);

    int handlerDepth_ = 0;
};

// Makes a top-level window owned by `owner` (it stays in front of it), or free
// when owner is nullptr.
void makeWindow(QWidget *w, QWidget *owner);

// What other windows change on the start screen: its entry points "Simulação"
// and "Opções do Modelo". The start screen implements it.
class StartScreenControls {
public:
    virtual void enableSimulation(bool enabled) = 0;
    virtual void enableOptions(bool enabled) = 0;

protected:
    ~StartScreenControls() = default;
};

// The start screen's entry points as other windows change them: "Simulação"
// (menu item `Sim` and button `cmdSimulacao`) and "Opções do Modelo"
// (`OModelo` and `cmdParametros`). Nothing happens when it is not loaded.
void setSimulationEnabled(AppContext &ctx, bool enabled);
void setOptionsEnabled(AppContext &ctx, bool enabled);

// "Nova simulação": every window goes, including the start screen, and a fresh
// start screen is shown (the check runs again, a new log name is chosen, the
// record is empty and "Simulação" waits for the model options).
void restartEntrada(AppContext &ctx);

// "Leave this screen?": Yes unloads the screen, No shows the reminder (whose
// answer changes nothing) and the user stays. Shared by the density screens
// and the thinning screen. True when the user left.
bool askToLeave(AppContext &ctx, QWidget *screen, const LeaveQuestion &leave);

// The window that stands for the flow's screen.
WindowId windowOf(SimulationFlow::Screen screen);

} // namespace tavelo
