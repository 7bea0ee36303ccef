#pragma once

// `frmMelhorRegime` "Procurar o Melhor Regime", opened from the valuation
// window: the search space typed in a small form, the search run on a thread
// of its own with a progress bar and "Cancelar", the ten best regimes in a
// table, and the chosen one saved as a scenario file.

#include "regimes/best_regime_search.h"

#include <QWidget>

#include <array>
#include <atomic>
#include <memory>
#include <optional>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;

namespace tavelo {

class AppContext;
class TextTableModel;

class BestRegimeScreen : public QWidget {
    Q_OBJECT

public:
    // `economics`: the prices and costs the valuation window accepted last,
    // nothing when it holds none.
    BestRegimeScreen(AppContext &ctx, QWidget *owner, std::optional<EconomicTexts> economics);
    ~BestRegimeScreen() override;

    bool searching() const { return worker_.joinable(); }
    // The prices and costs searched with are those of the valuation window now.
    void setEconomics(std::optional<EconomicTexts> economics) { economics_ = std::move(economics); }

protected:
    // Closing the window stops a search in progress.
    void closeEvent(QCloseEvent *event) override;

private:
    void start();
    void finished(const OptimizeResult &result);
    void save();
    void stopWorker();

    AppContext &ctx_;
    std::optional<EconomicTexts> economics_;
    std::optional<SearchStand> stand_; // the stand searched, for the files saved
    std::vector<RankedRegime> best_;
    TextTableModel *model_ = nullptr;
    std::atomic<bool> cancel_{false};
    std::thread worker_;

private:
    // The controls; tests and scripts find them by their object names.
    std::array<QLineEdit *, kSearchFieldCount> inputs{};
    QLineEdit *input(SearchField f) const { return inputs[static_cast<size_t>(f)]; }

    QComboBox *cboObjectivo = nullptr;
    QPushButton *cmdProcurar = nullptr;
    QPushButton *cmdCancelar = nullptr;
    QProgressBar *barProgresso = nullptr;
    QLabel *lblResumo = nullptr;
    QTableView *GrelhaRegimes = nullptr;
    QPushButton *cmdGuardar = nullptr;
    QPushButton *cmdFechar = nullptr;
};

} // namespace tavelo
