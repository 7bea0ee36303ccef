#include "screens/start/about_screen.h"
#include "screens/shell/app_context.h"
#include "screens/start/entrada_screen.h"
#include "screens/start/screens.h"
#include "screens/results/inventory_screen.h"

namespace tavelo {

void registerAppScreens(Windows &windows)
{
    initPictures();
    windows.registerFactory(WindowId::Entrada, &loadEntrada);
    windows.registerFactory(WindowId::About, [](AppContext &ctx) -> QWidget * { return new AboutScreen(ctx); });
    windows.registerFactory(WindowId::Inventory, [](AppContext &ctx) -> QWidget * {
        auto *w = new InventoryScreen(ctx);
        w->setParent(ctx.windows.entrada(), Qt::Window);
        return w;
    });
}

} // namespace tavelo
