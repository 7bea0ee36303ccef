#pragma once

// The stand screens register themselves with the window set.

namespace tavelo {

class Windows;

// "Form5" (stand structure), "Form6" (thinning) and "form7" (after thinning).
void registerStructureScreens(Windows &windows);

} // namespace tavelo
