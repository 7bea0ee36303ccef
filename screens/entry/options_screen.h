#pragma once

// "Form1", "Opções do Modelo": bark option, current year and the assortment
// dimensions for the whole simulation.

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavelo {

class AppContext;

class OptionsScreen : public QWidget {
    Q_OBJECT
public:
    explicit OptionsScreen(AppContext &ctx);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void confirm();
    // The year and cutting height as they stand here, for later screens.
    void typed();

    AppContext &ctx_;

private:
    // The controls; tests and scripts find them by their object names.
    QGroupBox *Frame1 = nullptr;
    QRadioButton *optVcc = nullptr;
    QRadioButton *optVsc = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLineEdit *txtAno = nullptr;
    QGroupBox *Frame3 = nullptr;
    QLabel *lblDmin = nullptr;
    QLineEdit *txtDmin = nullptr;
    QLabel *lblCmin = nullptr;
    QLineEdit *txtCmin = nullptr;
    QLabel *lblAltcorte = nullptr;
    QLineEdit *txtAltcorte = nullptr;
    QLabel *lblDdesp = nullptr;
    QLineEdit *txtDdesp = nullptr;
    QPushButton *cmdOk = nullptr;
};

} // namespace tavelo
