#include "screens/shell/app_context.h"
#include "screens/entry/entry_screens.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/thinned_screen.h"
#include "screens/entry/unthinned_screen.h"

namespace tavelo {

void registerEntryScreens(Windows &windows)
{
    // Each window makes itself owned by the start screen as it loads.
    windows.registerFactory(WindowId::Options, [](AppContext &ctx) -> QWidget * { return new OptionsScreen(ctx); });
    windows.registerFactory(WindowId::StandData,
                            [](AppContext &ctx) -> QWidget * { return new StandDataScreen(ctx); });
    windows.registerFactory(WindowId::UnthinnedDensity,
                            [](AppContext &ctx) -> QWidget * { return new UnthinnedScreen(ctx); });
    windows.registerFactory(WindowId::ThinnedDensity, [](AppContext &ctx) -> QWidget * { return new ThinnedScreen(ctx); });
}

} // namespace tavelo
