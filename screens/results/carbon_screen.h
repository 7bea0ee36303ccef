#pragma once

// `frmCarbono` "Balanço de Carbono": the carbon of the simulated regime. The
// factors typed (remembered for the next run of the program; an empty box
// takes its default, shown in grey), the stand, products, emitted and total
// carbon of every record row, the totals over the simulation and a chart of
// the stand, the products and their sum over age. Closing it in any way
// shows `Terminar` again.

#include "session/results/carbon.h"
#include "screens/results/chart_screen.h"

#include <array>
#include <memory>

class QChartView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tavelo {

class RememberedBoxes;
class TextTableModel;

class CarbonScreen : public ReturningWindow {
    Q_OBJECT

public:
    explicit CarbonScreen(AppContext &ctx);
    ~CarbonScreen() override;

private:
    // Reads the factors; a refused value gets its box and changes nothing.
    void calculate(bool quiet);
    void showAccount(const CarbonAccount &account);
    void print();

    TextTableModel *model_ = nullptr;
    QWidget *results_ = nullptr;

private:
    // The controls; tests and scripts find them by their object names.
    // The factors in the order of the account's fields (objectNames there).
    std::unique_ptr<RememberedBoxes> inputs_;
    // Start, end, balance, mean stock, its parts and the emissions, one line each.
    std::array<QLabel *, 6> lblTotais{};
    QPushButton *cmdCalcular = nullptr;
    QLabel *lblUnidades = nullptr;
    QTableView *GrelhaCarbono = nullptr;
    QChartView *chtCarbono = nullptr;
};

QWidget *createCarbonScreen(AppContext &ctx);

// The settings keys of the remembered factors ("carbono/halfLives.sawlog").
QString carbonSettingsKey(CarbonField field);

} // namespace tavelo
