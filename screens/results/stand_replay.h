#pragma once

// A scenario played again in the stand windows as a forester would play it:
// the options, the stand and its density entered, then each step pressed on
// the stand screen in front (projection, the thinning typed on its screen,
// "Voltar a definir desbaste", "Terminar Simulação"), the windows shown on
// the way. A simulation under way is replaced only when the user agrees.

#include "regimes/scenario.h"

#include <cstddef>

class QWidget;

namespace tavelo {

class AppContext;

struct ReplayOutcome {
    enum class Kind {
        Played,         // every step pressed; the windows show where it ended
        Declined,       // the user kept the simulation under way
        EntriesRefused, // the options, stand or density were refused (the box was shown)
        StepRefused,    // step `step` could not be pressed (its button not there or off)
    };
    Kind kind = Kind::Played;
    size_t step = 0;
};

ReplayOutcome replayInStandWindows(AppContext &ctx, QWidget *from, const Scenario &scenario);

} // namespace tavelo
