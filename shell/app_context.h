#pragma once

// What every screen shares: the stand state, the entries later screens read,
// the simulation loop, the desktop services and the set of loaded windows.

#include "app/app_session.h"
#include "app/services.h"
#include "entry/screen_entries.h"
#include "model/model_error.h"
#include "model/stand_state.h"
#include "structure/simulation_flow.h"

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

namespace tavelo {

class AppContext;

// The program's windows by name ("Entrada", "Form1", ..., "form7", "Terminar").
// A window is loaded when created, shown or hidden while loaded, and unloaded
// when closed for good; screens that later screens read are hidden, not unloaded.
class Windows {
public:
    // Creates the window (not shown); the factory chooses its owner.
    using Factory = std::function<QWidget *(AppContext &)>;

    explicit Windows(AppContext &ctx) : ctx_(ctx) {}

    void registerFactory(const QString &name, Factory factory);
    // The loaded window, or nullptr.
    QWidget *get(const QString &name) const;
    template <typename T> T *get(const QString &name) const { return qobject_cast<T *>(get(name)); }
    // Loads the window if needed (runs its load) and returns it, not shown.
    QWidget *load(const QString &name);
    // Loads, shows without a modal wait and brings to the front.
    QWidget *show(const QString &name);
    void hide(const QString &name);
    // Closes the window for good; its next load starts afresh.
    void unload(const QString &name);
    void unloadAllExcept(const QString &name);
    QStringList loadedNames() const;

    // The owner for windows owned by the start screen.
    QWidget *entrada() const { return get(QStringLiteral("Entrada")); }

private:
    AppContext &ctx_;
    QHash<QString, Factory> factories_;
    QHash<QString, QPointer<QWidget>> loaded_;
};

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
    std::filesystem::path logPath() const { return logFolder / state.SimLogPath; }

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

} // namespace tavelo
