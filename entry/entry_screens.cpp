#include "app/app_context.h"
#include "app/screens.h"
#include "entry/options_screen.h"
#include "entry/stand_data_screen.h"
#include "entry/thinned_screen.h"
#include "entry/unthinned_screen.h"

namespace tavelo {

void registerEntryScreens(Windows &windows)
{
    // Each window makes itself owned by the start screen as it loads.
    windows.registerFactory(QStringLiteral("Form1"), [](AppContext &ctx) -> QWidget * { return new OptionsScreen(ctx); });
    windows.registerFactory(QStringLiteral("Form2"),
                            [](AppContext &ctx) -> QWidget * { return new StandDataScreen(ctx); });
    windows.registerFactory(QStringLiteral("Form3"),
                            [](AppContext &ctx) -> QWidget * { return new UnthinnedScreen(ctx); });
    windows.registerFactory(QStringLiteral("Form4"), [](AppContext &ctx) -> QWidget * { return new ThinnedScreen(ctx); });
}

} // namespace tavelo
