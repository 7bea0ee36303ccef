#include "app/app_context.h"
#include "app/screens.h"
#include "results/class_charts_screen.h"
#include "results/economics_screen.h"
#include "results/end_screen.h"
#include "results/summary_screen.h"

namespace tavelo {

void registerResultsScreens(Windows &windows)
{
    windows.registerFactory(QStringLiteral("Form8"), &createStandChartsScreen);
    windows.registerFactory(QStringLiteral("Form9"), &createThinningChartScreen);
    windows.registerFactory(QStringLiteral("Form10"), &createSummaryScreen);
    windows.registerFactory(QStringLiteral("Terminar"), &createEndScreen);
    windows.registerFactory(QStringLiteral("frmEconomia"), &createEconomicsScreen);
}

} // namespace tavelo
