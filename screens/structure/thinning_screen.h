#pragma once

// `Form6` "Desbaste": the user chooses a mechanical thinning (a share of the
// trees) or a thinning from below (down to a residual basal area); "&Ok" has
// the simulation compute the residual stand and hands over to `form7`.

#include "session/entry/entry_session.h"

#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavelo {

class AppContext;
class Windows;

class ThinningScreen : public QWidget {
    Q_OBJECT

public:
    explicit ThinningScreen(AppContext &ctx);

private:
    void mechanicalChosen();
    void fromBelowChosen();
    void confirm();
    // What the thinning entry leads to: a refusal, the leave question or the thinned stand.
    void showOutcome(const ThinningOutcome &out);

    AppContext &ctx_;

private:
    // The controls; tests and scripts find them by their object names.
    QGroupBox *Frame1 = nullptr;
    QRadioButton *optDmecanico = nullptr;
    QLineEdit *txtDmecanico = nullptr;
    QRadioButton *optDselectivo = nullptr;
    QLineEdit *txtDselectivo = nullptr;
    QRadioButton *optInvisivel = nullptr;
    QPushButton *cmdOk = nullptr;
};

// Registers "Form6" (owned by the start screen).
void registerThinningScreen(Windows &windows);

} // namespace tavelo
