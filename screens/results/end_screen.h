#pragma once

// `Terminar` "Terminar Simulação": where a simulation ends. The summary, the
// printed log, the saved log, a new simulation, or leaving the program.

#include <QWidget>

class QPushButton;

namespace tavelo {

class AppContext;

class EndScreen : public QWidget {
    Q_OBJECT

public:
    explicit EndScreen(AppContext &ctx);

private:
    void showSummary();
    void showEconomics();
    void showCarbon();
    void save();
    void newSimulation();
    void leave();

    AppContext &ctx_;

private:
    // The controls; tests and scripts find them by their object names.
    QPushButton *cmdGrafSim = nullptr;
    QPushButton *cmdImprimirSim = nullptr;
    QPushButton *cmdSalvarSim = nullptr;
    QPushButton *cmdNovaSimulacao = nullptr;
    QPushButton *cmdsair = nullptr;
    QPushButton *cmdAvaliacaoEconomica = nullptr;
    QPushButton *cmdBalancoCarbono = nullptr;
};

QWidget *createEndScreen(AppContext &ctx);

} // namespace tavelo
