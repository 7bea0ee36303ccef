#include "app/app_context.h"
#include "app/screens.h"
#include "entry/thinning_screen.h"
#include "structure/stand_screen.h"

namespace tavelo {

void registerStructureScreens(Windows &windows)
{
    windows.registerFactory(QStringLiteral("Form5"), &createStandScreen);
    windows.registerFactory(QStringLiteral("form7"), &createAfterThinningScreen);
    // The thinning screen belongs to the stand screens' loop.
    registerThinningScreen(windows);
}

} // namespace tavelo
