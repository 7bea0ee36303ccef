#pragma once

// "Form2", "Dados do Povoamento": the stand's age and its dominant height or
// quality class, the way to the density screens and to the stand screen.

#include "entry/entry_session.h"

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

    // A density screen stored the stand: the stand data can no longer change.
    // The unthinned route locks out "Dados povoamento desbastado", the thinned
    // route "Dados povoamento não desbastado".
    void lockStandData(bool unthinnedRoute);

    // The entries as typed and chosen.
    StandDataInput input() const;

private:
    void heightChosen(bool checked);
    void classChosen(bool checked);
    void ageChanged();
    void densityButton(const QString &screen);
    void confirm();
    void cancel();
    SiteInput mode() const;

    AppContext &ctx_;
    QButtonGroup *classes_ = nullptr;
};

} // namespace tavelo
