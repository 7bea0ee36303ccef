#pragma once

// "Simulação de Inventário" (frmInventario): a whole inventory run with one
// regime from the windows, through the batch's own code, on a worker thread:
// the results table, a map of the stands coloured by a column, each stand's
// log, and the results saved as a GeoPackage with its map layer or as CSV.
// An inventory is checked when it is chosen and its outlines drawn at once;
// the results shown stay until a run of the same inventory brings its own.

#include "inventory/result_sink.h"
#include "inventory/results_map.h"
#include "regimes/scenario.h"
#include "screens/results/regime_chooser.h"
#include "screens/results/stand_map_view.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

class QComboBox;
class QGraphicsPathItem;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace tavelo {

class AppContext;
class PlanScreen;

class InventoryScreen : public QWidget {
    Q_OBJECT
public:
    explicit InventoryScreen(AppContext &ctx);
    ~InventoryScreen() override;

    bool running() const { return worker_.joinable(); }
    // Whether the chosen inventory's outlines are still being read.
    bool readingOutlines() const { return outlineWorker_.joinable(); }
    // The map's shape of the stand `id`, or nullptr.
    QGraphicsPathItem *standShape(const QString &id) const;
    // The forest plan's window, once opened; it lives as long as this window.
    PlanScreen *plan() const { return plan_; }

private:
    struct RunOutput;
    struct OutlinesRead;
    void buildWindow();
    void connectControls();
    void restoreLastFiles();
    void chooseInventory();
    void inventoryTyped();
    void layerChosen();
    // The inventory chosen, typed or picked: checked, its layers listed, its
    // outlines read; when it cannot be used, the box says why and the one
    // before stays. `quiet`: no box (the files of the last session).
    bool useInventory(const QString &file, std::optional<QString> layer, bool quiet);
    void readOutlines(std::unique_ptr<InventorySource> source);
    void stopReadingOutlines();
    void outlinesRead(int generation, const std::shared_ptr<OutlinesRead> &read);
    void clearResults();
    void rememberRun();
    void simulate();
    void cancel();
    void progress(size_t done, size_t total);
    void finished(const std::shared_ptr<RunOutput> &out);
    void fillTable();
    void fillProblems();
    void colour();
    // One stand picked in the table, the list of refused or ended stands or the map: shown in all three.
    void pickStand(int stand);
    void tableSelectionChanged();
    void problemChosen();
    void showLog();
    void save();
    void openPlan();
    void setRunning(bool running);

    AppContext &ctx_;
    RegimeChooser *regime_ = nullptr;

    // The inventory chosen: checked readable, its layers, its outlines on the map.
    QString inventory_;
    QString layer_;
    QStringList layers_;
    size_t inventoryStands_ = 0;
    std::atomic<bool> stopOutlines_{false};
    std::thread outlineWorker_;
    int outlinesGeneration_ = 0; // the read whose outlines are wanted

    // The results shown, and the inventory, layer and regime they came from.
    std::vector<StandOutcome> stands_;
    std::optional<MapLayer> map_; // the inventory's geometry type and reference system
    QString ranInventory_;
    QString ranLayer_;
    std::string ranRegime_;
    QString summary_; // the results' summary, shown again when a later run fails
    bool valued_ = false;
    bool withCarbon_ = false;
    int pickedStand_ = -1; // index into stands_ (or, before a run, the map's stands)
    bool syncing_ = false;

    std::atomic<bool> stop_{false};
    std::thread worker_;
    size_t runTotal_ = 0; // stands the run under way reads, as its progress last said
    QVBoxLayout *legendLayout_ = nullptr;
    PlanScreen *plan_ = nullptr;

    // The controls; tests and scripts find them by their object names.
    QLineEdit *txtInventario = nullptr;
    QPushButton *cmdAbrirInventario = nullptr;
    QComboBox *cboCamada = nullptr;
    QPushButton *cmdSimular = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QProgressBar *pbProgresso = nullptr;
    QLabel *lblResumo = nullptr;
    QListWidget *lstProblemas = nullptr;
    QTableWidget *tblResultados = nullptr;
    QComboBox *cboCor = nullptr;
    QWidget *legenda = nullptr;
    StandMapView *mapa = nullptr;
    QPushButton *cmdAjustar = nullptr;
    QPushButton *cmdVerSimulacao = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdPlano = nullptr;
    QPushButton *cmdFechar = nullptr;
};

} // namespace tavelo
