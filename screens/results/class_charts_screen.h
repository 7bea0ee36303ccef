#pragma once

// The diameter-class charts: `Form8` (trees and volume by assortment per class
// of the stand on `Form5`) and `Form9` (trees per class before and after the
// thinning shown on `form7`). Both are built afresh on every opening from the
// stand tables on screen and hand back to their opener when they close.

#include "screens/results/chart_screen.h"

class QChartView;
class QLabel;
class QPushButton;

namespace tavelo {

class DiameterChartsWindow : public ReturningWindow {
    Q_OBJECT

public:

protected:
    DiameterChartsWindow(AppContext &ctx, WindowId id, WindowId opener, bool afterThinning);
    void showStand(const std::optional<StandTable> &table);
    void setCharts(QChartView *first, QChartView *second = nullptr);

private:
    QWidget *chartsArea_ = nullptr;

protected:
    // The controls, shared with the derived windows; tests and scripts find
    // them by their object names.
    QLabel *txtIdade = nullptr;
    QLabel *txtADom = nullptr;
    QLabel *txtCQualidd = nullptr;
    QLabel *txtDmedio = nullptr;
    QLabel *txtAno = nullptr;
    QLabel *lblCDesbaste = nullptr; // Form9 only
    QChartView *MSChart1 = nullptr;
    QChartView *MSChart2 = nullptr; // Form8 only
    QPushButton *cmdVoltar = nullptr;
    QPushButton *cmdImprimir = nullptr;
    QPushButton *cmdExportarGrafico = nullptr;
};

// `Form8`, opened from `Form5` (no owner).
class StandChartsScreen : public DiameterChartsWindow {
    Q_OBJECT

public:
    explicit StandChartsScreen(AppContext &ctx);
};

// `Form9`, opened from `form7` (owned by the start screen).
class ThinningChartScreen : public DiameterChartsWindow {
    Q_OBJECT

public:
    explicit ThinningChartScreen(AppContext &ctx);
};

QWidget *createStandChartsScreen(AppContext &ctx);
QWidget *createThinningChartScreen(AppContext &ctx);

} // namespace tavelo
