#pragma once

// "Simulação de Inventário" (frmInventario): a whole inventory run with one
// regime from the windows, through the batch's own code, on a worker thread:
// the results table, a map of the stands coloured by a column, each stand's
// log, and the results saved as a GeoPackage with its map layer or as CSV.

#include "inventory/result_sink.h"
#include "inventory/results_map.h"
#include "regimes/scenario.h"

#include <QGraphicsView>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>
#include <variant>
#include <vector>

class QComboBox;
class QGraphicsPathItem;
class QGraphicsScene;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QVBoxLayout;

namespace tavelo {

class AppContext;

// The stands' map: the wheel zooms about the pointer, dragging pans.
class StandMapView : public QGraphicsView {
    Q_OBJECT
public:
    explicit StandMapView(QWidget *parent);
    void fit();

protected:
    void wheelEvent(QWheelEvent *event) override;
};

class InventoryScreen : public QWidget {
    Q_OBJECT
public:
    explicit InventoryScreen(AppContext &ctx);
    ~InventoryScreen() override;

    bool running() const { return worker_.joinable(); }
    // The map's shape of the stand `id`, or nullptr.
    QGraphicsPathItem *standShape(const QString &id) const;

private:
    struct RunOutput;
    void chooseInventory();
    void chooseRegime();
    void inventoryChanged();
    void regimeChanged();
    void writeRegime();
    void typedRegimeAccepted();
    void recentRegimeChosen(int index);
    // The regime's text: the one typed, else the file's; an error for the user otherwise.
    std::variant<std::string, Message> regimeText() const;
    void simulate();
    void cancel();
    void progress(size_t done, size_t total);
    void finished(std::shared_ptr<RunOutput> out);
    void fillTable();
    void drawMap();
    void colour();
    void tableSelectionChanged();
    void mapSelectionChanged();
    void showLog();
    void save();
    int selectedStand() const; // index into stands_, or -1
    void setRunning(bool running);

    AppContext &ctx_;
    std::vector<StandOutcome> stands_;
    std::optional<MapLayer> map_; // the inventory's geometry type and reference system
    std::vector<QGraphicsPathItem *> shapes_; // by stand, nullptr without geometry
    bool valued_ = false;
    bool withCarbon_ = false;
    bool syncing_ = false;
    QGraphicsScene *scene_ = nullptr;
    QVBoxLayout *legendLayout_ = nullptr;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    QString ranInventory_; // the inventory and layer of the results shown
    QString ranLayer_;
    std::string ranRegime_;
    std::optional<std::string> typedRegime_; // a regime typed in the window, used while no file is named
    QWidget *regimeDialog_ = nullptr;         // frmRegimeEscrito while open

private:
    // The controls; tests and scripts find them by their object names.
    QLineEdit *txtInventario = nullptr;
    QPushButton *cmdAbrirInventario = nullptr;
    QComboBox *cboCamada = nullptr;
    QLineEdit *txtRegime = nullptr;
    QPushButton *cmdAbrirRegime = nullptr;
    QPushButton *cmdEscreverRegime = nullptr;
    QComboBox *cboRegimesRecentes = nullptr;
    QLabel *lblRegime = nullptr;
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
    QPushButton *cmdFechar = nullptr;
};

} // namespace tavelo
