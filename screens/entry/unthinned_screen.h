#pragma once

// "Form3", "Dados do Povoamento não Desbastado": the trees planted or alive of
// a stand never thinned.

#include "session/entry/entry_session.h"
#include "session/structure/simulation_flow.h"

#include <QWidget>

#include <optional>

class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavelo {

class AppContext;

class UnthinnedScreen : public QWidget {
    Q_OBJECT
public:
    explicit UnthinnedScreen(AppContext &ctx);

private:
    void confirm();

    AppContext &ctx_;

private:
    // The controls; tests and scripts find them by their object names.
    QGroupBox *Frame1 = nullptr;
    QLineEdit *txtNArvVP = nullptr;
    QRadioButton *optArvPlant = nullptr;
    QRadioButton *optArvVivas = nullptr;
    QPushButton *cmdOk = nullptr;
};

// What a density screen shows for the session's answer; true when the density
// was stored and the screen can finish.
bool densityStored(AppContext &ctx, QWidget *screen, SimulationFlow::Route route, DensityOutcome::Kind kind,
                   const std::optional<Message> &message, const std::optional<LeaveQuestion> &leave);

} // namespace tavelo
