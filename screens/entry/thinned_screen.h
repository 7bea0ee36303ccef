#pragma once

// "Form4", "Dados do Povoamento Desbastado": a stand thinned before, given by
// its four stand parameters or by its trees per 5 cm diameter class.

#include <QWidget>

#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace tavelo {

class AppContext;

class ThinnedScreen : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClasses = 13;

    explicit ThinnedScreen(AppContext &ctx);

private:
    void parametersChosen(bool checked);
    void classesChosen(bool checked);
    void confirm();

    AppContext &ctx_;

private:
    // The controls; tests and scripts find them by their object names.
    // Box k holds the trees of the class centred on 5 (k + 1) cm ("txt1_0" ... "txt1_12").
    std::array<QLineEdit *, kClasses> txt1{};
    std::array<QLabel *, kClasses> lbl1{};
    QRadioButton *optPPovoamento = nullptr;
    QRadioButton *optCDap = nullptr;
    QRadioButton *optInvisivel = nullptr; // never shown: neither visible option is chosen at first
    QGroupBox *frmPPovoamento = nullptr;
    QLabel *lblAvivas = nullptr;
    QLineEdit *txtAvivas = nullptr;
    QLabel *lblAbasal = nullptr;
    QLineEdit *txtAbasal = nullptr;
    QLabel *lblDmin = nullptr;
    QLineEdit *txtDmin = nullptr;
    QLabel *lblDp93 = nullptr;
    QLineEdit *txtDp93 = nullptr;
    QGroupBox *frmCDap = nullptr;
    QLabel *lblClasseDap = nullptr;
    QLabel *lblNArvores = nullptr;
    QPushButton *cmdOk = nullptr;
};

} // namespace tavelo
