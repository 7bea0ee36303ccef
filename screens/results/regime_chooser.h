#pragma once

// The inventory window's regime: a file named (typed, opened, or one of the
// recent ones) or a regime typed in "Escrever regime...", read and checked as
// the command line checks it, and said in "Regime em uso".

#include "base/message.h"
#include "regimes/scenario.h"

#include <QObject>
#include <QString>

#include <optional>
#include <string>
#include <variant>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace tavelo {

class AppContext;

class RegimeChooser : public QObject {
    Q_OBJECT
public:
    // The controls are made in `parent`, the dialog over `parent`'s window.
    RegimeChooser(AppContext &ctx, QWidget *parent);

    // The file's row at `row`, "Regime em uso" below it, in a grid of five columns.
    void placeIn(QGridLayout *grid, int row);
    // The last regime file and the recent ones, when they are still there.
    void restore();
    void setEnabled(bool enabled);

    // A regime named or typed.
    bool chosen() const;
    struct Chosen {
        std::string json; // as read, kept with the run
        Regime regime;
    };
    // The regime to run, or the box saying why it cannot be.
    std::variant<Chosen, Message> regime() const;
    // After a run started: the file comes back at the next opening, first among the recent ones.
    void remember();

private:
    void chooseFile();
    void changed();
    void writeRegime();
    void typedRegimeAccepted();
    void recentChosen(int index);
    // The regime's text: the one typed, else the file's; an error for the user otherwise.
    std::variant<std::string, Message> text() const;
    std::variant<Regime, Message> checked(const std::string &json) const;

    AppContext &ctx_;
    QWidget *parent_;
    std::optional<std::string> typed_; // a regime typed in the window, used while no file is named
    QWidget *dialog_ = nullptr;        // frmRegimeEscrito while open

    // The controls; tests and scripts find them by their object names.
    QLabel *lblFicheiro = nullptr;
    QLineEdit *txtRegime = nullptr;
    QPushButton *cmdAbrirRegime = nullptr;
    QPushButton *cmdEscreverRegime = nullptr;
    QComboBox *cboRegimesRecentes = nullptr;
    QLabel *lblEmUso = nullptr;
    QLabel *lblRegime = nullptr;
};

} // namespace tavelo
