#pragma once

// Each subsystem registers the windows it builds with the window set; the
// application registers them all.

#include "screens/entry/entry_screens.h"
#include "screens/results/results_screens.h"
#include "screens/structure/structure_screens.h"

namespace tavelo {

class Windows;

// "Entrada" (start screen) and "frmAbout".
void registerAppScreens(Windows &windows);

inline void registerAllScreens(Windows &windows)
{
    registerAppScreens(windows);
    registerEntryScreens(windows);
    registerStructureScreens(windows);
    registerResultsScreens(windows);
}

} // namespace tavelo
