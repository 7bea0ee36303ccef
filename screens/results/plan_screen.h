#pragma once

// "Plano Florestal" (frmPlano), opened from the inventory window on the
// inventory and layer chosen there: the plan's options typed (and
// remembered), the plan job run on a worker thread with its progress and
// "Cancelar", and the plan shown as totals, the harvest by period (table and
// chart), the map coloured by felling period and the stands' table, selected
// together. The plan is saved as the command line's files or into a
// GeoPackage. A plan cancelled or refused leaves the one shown before. With
// a front between value and carbon, its chart and its points' table: the
// point chosen (clicked on the chart or picked in the table) is the plan shown.

#include "inventory/plan_job.h"

#include <QString>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <variant>

class QChartView;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPointF;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QStandardItemModel;
class QTableView;
class QTableWidget;
class QVBoxLayout;

namespace tavelo {

class AppContext;
class StandMapView;
struct Message;

class PlanScreen : public QWidget {
    Q_OBJECT
public:
    PlanScreen(AppContext &ctx, QWidget *owner);
    ~PlanScreen() override;

    // The inventory and layer the plan is made for (the inventory window's choice).
    void setInventory(const QString &inventory, const QString &layer);
    bool running() const { return worker_.joinable(); }
    // The plan shown: its request and result; nullptr before the first plan.
    struct Shown {
        PlanRequest request;
        PlanResult result;
    };
    const Shown *shown() const { return shown_.get(); }
    // The front's point whose plan is shown (0, the value anchor, after planning); none without a front.
    std::optional<size_t> frontPointShown() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildWindow();
    void connectControls();
    void restoreInputs();
    void rememberInputs() const;
    void flowChosen();
    void chooseCandidates();
    void chooseEconomics();
    // The request from the boxes, read and checked as the command line checks
    // its options; otherwise the box naming the field, and the field focused.
    std::variant<PlanRequest, Message> readRequest();
    void plan();
    void cancel();
    void candidatesProgress(size_t done, size_t total);
    void solving(size_t stands, size_t candidates);
    void solverState(const SolverState &state);
    void finished(const std::shared_ptr<Shown> &run);
    void showPlan();
    void showFront();
    void frontClicked(const QPointF &at);
    void frontRowChosen();
    // The plan shown: the front's point chosen, else the result's own.
    const PlanSolution &shownSolution() const;
    const std::vector<PlanPeriod> &shownPeriods() const;
    void colourMap();
    void pickStand(int stand);
    void tableSelectionChanged();
    void showStand();
    void save();
    void saveToFolder(const QString &folder);
    void setRunning(bool running);
    void stopWorker();

    AppContext &ctx_;
    QString inventory_;
    QString layer_;
    std::shared_ptr<Shown> shown_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    bool syncing_ = false;
    size_t frontPoint_ = 0; // of shown_->result.front, when it has one
    bool spatialMap_ = false; // the inventory's layer can give neighbours

    // The controls; tests and scripts find them by their object names.
    QLabel *lblInventario = nullptr;
    QGridLayout *opcoes_ = nullptr; // the options' rows; room for more below the last
    QComboBox *cboCandidatos = nullptr;
    QLineEdit *txtCandidatos = nullptr;
    QPushButton *cmdAbrirCandidatos = nullptr;
    QComboBox *cboEconomia = nullptr;
    QLineEdit *txtEconomia = nullptr;
    QPushButton *cmdAbrirEconomia = nullptr;
    QLineEdit *txtValorSolo = nullptr;
    QLineEdit *txtHorizonte = nullptr;
    QComboBox *cboFluxo = nullptr;
    QLineEdit *txtFluxoPercentagem = nullptr;
    QComboBox *cboBaseFluxo = nullptr;
    QLineEdit *txtStockFinal = nullptr;
    QLineEdit *txtGap = nullptr;
    QLineEdit *txtTempoMaximo = nullptr;
    QLineEdit *txtCarbonoMinimo = nullptr;
    QComboBox *cboObjectivo = nullptr;
    QCheckBox *chkFrente = nullptr;
    QSpinBox *spnPontosFrente = nullptr;
    // The neighbours' rule: only for a layer of outlines in a projected reference system.
    QLineEdit *txtIntervaloVizinhos = nullptr;
    QLineEdit *txtAberturaMaxima = nullptr;
    QComboBox *cboAdjacencia = nullptr;
    QLineEdit *txtCustoConflito = nullptr;
    QLineEdit *txtFronteiraMinima = nullptr;
    QLabel *lblVizinhos = nullptr;
    QPushButton *cmdPlanear = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QProgressBar *pbProgresso = nullptr;
    QLabel *lblEstado = nullptr;
    QLabel *lblResumo = nullptr;
    QTableWidget *tblPeriodos = nullptr;
    QChartView *chtColheita = nullptr;
    QListWidget *lstSemCandidatos = nullptr;
    QWidget *frontTab_ = nullptr;
    QChartView *chtFrente = nullptr;
    QTableWidget *tblFrente = nullptr;
    QTableView *tblPovoamentos = nullptr;
    QStandardItemModel *standsModel_ = nullptr;
    StandMapView *mapa = nullptr;
    QWidget *legenda = nullptr;
    QVBoxLayout *legendLayout_ = nullptr;
    QPushButton *cmdAjustar = nullptr;
    QPushButton *cmdVerSimulacao = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdFechar = nullptr;
};

} // namespace tavelo
