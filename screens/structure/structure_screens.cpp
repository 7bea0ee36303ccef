#include "screens/shell/app_context.h"
#include "screens/structure/structure_screens.h"
#include "screens/structure/thinning_screen.h"
#include "screens/structure/stand_screen.h"

namespace tavelo {

void registerStructureScreens(Windows &windows)
{
    windows.registerFactory(WindowId::StandStructure, &createStandScreen);
    windows.registerFactory(WindowId::AfterThinning, &createAfterThinningScreen);
    // The thinning screen belongs to the stand screens' loop.
    registerThinningScreen(windows);
}

} // namespace tavelo
