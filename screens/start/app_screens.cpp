#include "screens/start/about_screen.h"
#include "screens/shell/app_context.h"
#include "screens/start/entrada_screen.h"
#include "screens/start/screens.h"

namespace tavelo {

void registerAppScreens(Windows &windows)
{
    initPictures();
    windows.registerFactory(WindowId::Entrada, &loadEntrada);
    windows.registerFactory(WindowId::About, [](AppContext &ctx) -> QWidget * { return new AboutScreen(ctx); });
}

} // namespace tavelo
