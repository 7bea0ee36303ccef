#include "shell/app_context.h"
#include "results/results_screens.h"
#include "results/class_charts_screen.h"
#include "results/carbon_screen.h"
#include "results/economics_screen.h"
#include "results/end_screen.h"
#include "results/summary_screen.h"

namespace tavelo {

void registerResultsScreens(Windows &windows)
{
    windows.registerFactory(WindowId::StandCharts, &createStandChartsScreen);
    windows.registerFactory(WindowId::ThinningChart, &createThinningChartScreen);
    windows.registerFactory(WindowId::Summary, &createSummaryScreen);
    windows.registerFactory(WindowId::End, &createEndScreen);
    windows.registerFactory(WindowId::Economics, &createEconomicsScreen);
    windows.registerFactory(WindowId::Carbon, &createCarbonScreen);
}

} // namespace tavelo
