#include "app/app_context.h"
#include "app/screens.h"

namespace tavelo {

void registerAppScreens(Windows &windows)
{
    (void)windows; // the windows of this subsystem are registered here as they are built
}

} // namespace tavelo
