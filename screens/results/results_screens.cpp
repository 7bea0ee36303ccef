#include "screens/shell/app_context.h"
#include "screens/results/results_screens.h"
#include "screens/results/class_charts_screen.h"
#include "screens/results/economics_screen.h"
#include "screens/results/end_screen.h"
#include "screens/results/summary_screen.h"
#include "screens/results/carbon_screen.h"

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
