#pragma once

// `frmEconomia` "Avaliação Económica": what the simulated regime earns. The
// prices and costs typed (remembered for the next run of the program), the
// cash flow of every harvest with a bold total, the net present value, the
// equivalent annual value and the land expectation value, a chart of the
// cumulative discounted cash flow over age and one of the value against the
// discount rate. Closing it in any way shows `Terminar` again.

#include "screens/results/chart_screen.h"
#include "session/results/economics.h"

#include <memory>
#include <optional>

class QChartView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tavelo {

class BestRegimeScreen;
class RememberedBoxes;
class TextTableModel;

class EconomicsScreen : public ReturningWindow {
    Q_OBJECT

public:
    explicit EconomicsScreen(AppContext &ctx);
    ~EconomicsScreen() override;

    // The search window, once opened; it lives as long as this window.
    BestRegimeScreen *bestRegime() const { return bestRegime_; }

private:
    // Reads the inputs; a refused value gets its box and changes nothing.
    void calculate(bool quiet);
    void showValuation(const Valuation &valuation);
    void print();
    void openBestRegime();
    EconomicTexts typedTexts() const;
    // The inputs as typed when they are accepted, nothing otherwise.
    std::optional<EconomicTexts> acceptedInputs() const;

    TextTableModel *model_ = nullptr;
    QWidget *charts_ = nullptr;
    QWidget *results_ = nullptr;
    BestRegimeScreen *bestRegime_ = nullptr;

private:
    // The controls; tests and scripts find them by their object names.
    // The inputs in the order of the valuation's fields (objectNames there).
    std::unique_ptr<RememberedBoxes> inputs_;
    QPushButton *cmdCalcular = nullptr;
    QLabel *lblUnidades = nullptr;
    QTableView *GrelhaFluxos = nullptr;
    QLabel *lblVAL = nullptr;
    QLabel *lblVAE = nullptr;
    QLabel *lblVES = nullptr;
    QChartView *chtFluxoActualizado = nullptr;
    QChartView *chtVALTaxa = nullptr;
    QPushButton *cmdMelhorRegime = nullptr;
};

QWidget *createEconomicsScreen(AppContext &ctx);

// The settings keys of the remembered inputs ("economia/prices.sawlog").
QString economicsSettingsKey(EconomicField field);

} // namespace tavelo
