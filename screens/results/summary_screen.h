#pragma once

// `Form10` "Características Simuladas do Povoamento": the simulation record as
// a table and the stand volume over age as a chart. Built afresh from the
// record on every opening; closing it in any way shows `Terminar` again.

#include "screens/results/chart_screen.h"

class QChartView;
class QLabel;
class QTableView;

namespace tavelo {

class TextTableModel;

class SummaryScreen : public ReturningWindow {
    Q_OBJECT

public:
    explicit SummaryScreen(AppContext &ctx);

private:
    void print();

    TextTableModel *model_ = nullptr;

private:
    // The controls; tests and scripts find them by their object names.
    QTableView *GrelhaTotal = nullptr;
    QChartView *MSChart1 = nullptr;
    QLabel *lblV = nullptr;
};

QWidget *createSummaryScreen(AppContext &ctx);

} // namespace tavelo
