#include "app/about_screen.h"
#include "app/app_context.h"
#include "app/entrada_screen.h"
#include "app/screens.h"

namespace tavelo {

void registerAppScreens(Windows &windows)
{
    initPictures();
    windows.registerFactory(QStringLiteral("Entrada"), &loadEntrada);
    windows.registerFactory(QStringLiteral("frmAbout"), [](AppContext &ctx) -> QWidget * { return new AboutScreen(ctx); });
}

} // namespace tavelo
