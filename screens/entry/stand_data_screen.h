#pragma once

// "Form2", "Dados do Povoamento": the stand's age and its dominant height or
// quality class, the way to the density screens and to the stand screen.

#include "session/entry/entry_session.h"
#include "session/structure/simulation_flow.h"

#include <QWidget>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavelo {

class AppContext;

class StandDataScreen : public QWidget {
    Q_OBJECT
public:
    explicit StandDataScreen(AppContext &ctx);

    // Shows the lock of the stand data: once a density screen has stored the
    // stand, its age, height and site can no longer change, nor can the other
    // route be taken, on this window or on any later one.
    void showLock();

    // The entries as typed and chosen.
    StandDataInput input() const;

private:
    void heightChosen(bool checked);
    void classChosen(bool checked);
    void ageChanged();
    void densityButton(SimulationFlow::Route route);
    void confirm();
    void cancel();
    SiteInput mode() const;

    AppContext &ctx_;
    QButtonGroup *classes_ = nullptr;

private:
    // The controls; tests and scripts find them by their object names.
    QGroupBox *Frame3 = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *txtIdade = nullptr;
    QGroupBox *Frame4 = nullptr;
    QRadioButton *optADominante = nullptr;
    QLineEdit *txtADominante = nullptr;
    QRadioButton *optCQualidade = nullptr;
    QGroupBox *frmCQ = nullptr;
    QRadioButton *optMBaixa = nullptr;
    QRadioButton *optBaixa = nullptr;
    QRadioButton *optMedia = nullptr;
    QRadioButton *optElev = nullptr;
    QRadioButton *optMElev = nullptr;
    QGroupBox *FrmManual = nullptr;
    QPushButton *cmdDPdesb = nullptr;
    QPushButton *cmdDPndesb = nullptr;
    QPushButton *cmdOk = nullptr;
    QPushButton *cmdCancelar = nullptr;
};

} // namespace tavelo
