#pragma once

// The two stand table screens: `Form5` "Estrutura do Povoamento" (the current
// stand) and `form7` "Estrutura do Povoamento após Desbaste" (the stand the
// thinning just defined would leave). Each shows the session's stand table and
// turns its buttons into calls of the simulation loop.

#include "screens/shell/widget_kit.h"
#include "screens/shell/windows.h"
#include "session/structure/stand_table.h"

#include <QWidget>

#include <optional>

class QGroupBox;
class QIcon;
class QLabel;
class QPushButton;
class QTableView;

namespace tavelo {

class AppContext;
class StandTableModel;

// What both stand screens show: the header fields, the frame, the title above
// the grid and the grid.
class StandTableScreen : public QWidget {
    Q_OBJECT

public:

protected:
    StandTableScreen(AppContext &ctx, bool afterThinning);
    // Writes the header fields, the titles and the grid.
    void showTable(const std::optional<StandTable> &table);
    void addButtons(const QList<QPushButton *> &buttons);
    // "Exportar tabela (CSV)": the grid as shown.
    QPushButton *exportButton();

    AppContext &ctx_;
    StandTableModel *model_ = nullptr;

protected:
    // The controls, shared with the derived windows; tests and scripts find
    // them by their object names.
    QLabel *txtIdade = nullptr;
    QLabel *txtADom = nullptr;
    QLabel *txtAno = nullptr;
    QLabel *txtCQualidd = nullptr;
    QLabel *txtDmedio = nullptr;
    QLabel *txtA = nullptr;
    QLabel *txtB = nullptr;
    QLabel *txtC = nullptr;
    QGroupBox *Frame1 = nullptr;
    QLabel *lblDesbasteMS = nullptr; // after thinning only
    QLabel *lblTGrelha = nullptr;
    QTableView *Grelha = nullptr;
};

// `Form5`. Loading it opens the stand screen of the simulation (table, log
// block, record row), except when "Projectar" on `form7` has already done so.
class StandStructureScreen : public StandTableScreen {
    Q_OBJECT

public:
    explicit StandStructureScreen(AppContext &ctx);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void project();
    void finish();

private:
    // The controls; tests and scripts find them by their object names.
    QPushButton *cmdProjectar = nullptr;
    QPushButton *cmdDesbastar = nullptr;
    QPushButton *cmdImprimir = nullptr;
    QPushButton *cmdVGraficos = nullptr;
    QPushButton *cmdTerminar = nullptr;
    QPushButton *cmdExportar = nullptr;
};

// `form7`: the residual stand, neither logged nor recorded until it is carried
// forward or the simulation ends on it.
class AfterThinningScreen : public StandTableScreen {
    Q_OBJECT

public:
    explicit AfterThinningScreen(AppContext &ctx);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void project();
    void defineAgain();
    void finish();

private:
    // The controls; tests and scripts find them by their object names.
    QPushButton *cmdProjectar = nullptr;
    QPushButton *cmdReDesbastar = nullptr;
    QPushButton *cmdImprimir = nullptr;
    QPushButton *cmdVGrafico = nullptr;
    QPushButton *cmdTerminar = nullptr;
    QPushButton *cmdExportar = nullptr;
};

// The window factories of the two screens.
QWidget *createStandScreen(AppContext &ctx);
QWidget *createAfterThinningScreen(AppContext &ctx);

} // namespace tavelo
