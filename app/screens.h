#pragma once

// Each subsystem registers the windows it builds with the window set.

namespace tavelo {

class Windows;

// "Entrada" (start screen) and "frmAbout".
void registerAppScreens(Windows &windows);
// "Form1" (model options), "Form2" (stand data), "Form3", "Form4" (density), "Form6" (thinning).
void registerEntryScreens(Windows &windows);
// "Form5" (stand structure) and "form7" (after thinning).
void registerStructureScreens(Windows &windows);
// "Form8", "Form9" (diameter-class charts), "Form10" (summary), "Terminar" (end of simulation).
void registerResultsScreens(Windows &windows);

inline void registerAllScreens(Windows &windows)
{
    registerAppScreens(windows);
    registerEntryScreens(windows);
    registerStructureScreens(windows);
    registerResultsScreens(windows);
}

} // namespace tavelo
