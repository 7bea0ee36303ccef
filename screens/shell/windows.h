#pragma once

// The program's windows by a typed identifier. Each keeps the object name that
// users' scripts and the tests find it by ("Entrada", "Form1", ..., "form7",
// "Terminar"). A window is loaded when created, shown or hidden while loaded,
// and unloaded when closed for good; screens that later screens read are
// hidden, not unloaded.

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <map>
#include <optional>
#include <stdexcept>

namespace tavelo {

class AppContext;

enum class WindowId {
    Entrada,          // "Entrada", the start screen
    About,            // "frmAbout"
    Options,          // "Form1", the model options
    StandData,        // "Form2"
    UnthinnedDensity, // "Form3"
    ThinnedDensity,   // "Form4"
    StandStructure,   // "Form5"
    Thinning,         // "Form6"
    AfterThinning,    // "form7"
    StandCharts,      // "Form8"
    ThinningChart,    // "Form9"
    Summary,          // "Form10"
    End,              // "Terminar"
    Economics,        // "frmEconomia", the valuation of the simulated regime
    Inventory,        // "frmInventario", a whole inventory simulated with one regime
    Carbon,           // "frmCarbono", the carbon account of the simulated regime
};

// The window's object name.
QString objectNameOf(WindowId id);
// The window of that object name, if the program has one.
std::optional<WindowId> windowNamed(const QString &objectName);

// A window the program has no factory for: the program is built wrong.
class MissingWindowError : public std::logic_error {
public:
    explicit MissingWindowError(WindowId id);
};

class Windows {
public:
    // Creates the window (not shown); the factory chooses its owner. A factory
    // may give no window when the program ends while loading it.
    using Factory = std::function<QWidget *(AppContext &)>;

    explicit Windows(AppContext &ctx) : ctx_(ctx) {}

    void registerFactory(WindowId id, Factory factory);
    // The loaded window, or nullptr.
    QWidget *get(WindowId id) const;
    template <typename T> T *get(WindowId id) const { return qobject_cast<T *>(get(id)); }
    // Loads the window if needed (runs its load) and returns it, not shown.
    QWidget *load(WindowId id);
    // Loads, shows without a modal wait and brings to the front.
    QWidget *show(WindowId id);
    void hide(WindowId id);
    // Closes the window for good; its next load starts afresh.
    void unload(WindowId id);
    void unloadAllExcept(WindowId id);
    // The same for a window by itself (it knows what it is only by its object name).
    void hide(QWidget *window);
    void unload(QWidget *window);

    // The loaded windows by object name, as scripts and tests find them.
    QWidget *named(const QString &objectName) const;
    template <typename T> T *named(const QString &objectName) const { return qobject_cast<T *>(named(objectName)); }
    QStringList loadedNames() const;

    // The owner for windows owned by the start screen.
    QWidget *entrada() const { return get(WindowId::Entrada); }

private:
    AppContext &ctx_;
    std::map<WindowId, Factory> factories_;
    std::map<WindowId, QPointer<QWidget>> loaded_;
};

} // namespace tavelo
