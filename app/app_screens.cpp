#include "app/about_screen.h"
#include "shell/app_context.h"
#include "app/entrada_screen.h"
#include "app/inventory_screen.h"
#include "app/screens.h"

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
