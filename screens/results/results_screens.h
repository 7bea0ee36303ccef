#pragma once

// The results windows register themselves with the window set.

namespace tavelo {

class Windows;

// "Form8", "Form9" (diameter-class charts), "Form10" (summary), "Terminar" (end of simulation).
void registerResultsScreens(Windows &windows);

} // namespace tavelo
