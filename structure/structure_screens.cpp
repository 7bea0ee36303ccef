#include "shell/app_context.h"
#include "structure/structure_screens.h"
#include "entry/thinning_screen.h"
#include "structure/stand_screen.h"

namespace tavelo {

void registerStructureScreens(Windows &windows)
{
    windows.registerFactory(WindowId::StandStructure, &createStandScreen);
    windows.registerFactory(WindowId::AfterThinning, &createAfterThinningScreen);
    // The thinning screen belongs to the stand screens' loop.
    registerThinningScreen(windows);
}

} // namespace tavelo
