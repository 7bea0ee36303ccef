#pragma once

// "frmAbout": the about box, a fixed dialog owned by the start screen.

#include "base/version.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace tavelo {

class AppContext;

inline constexpr const char *kProgramTitle = "Tavelo";

// "Tavelo vs 2.0": the title, " vs " and the version as major.minor.
QString aboutCaption();

class AboutScreen : public QDialog {
    Q_OBJECT
public:
    explicit AboutScreen(AppContext &ctx);

    // Esc, like "OK", unloads the box.
    void reject() override;

private:
    AppContext &ctx_;

private:
    // The controls; tests and scripts find them by their object names.
    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblTitle2 = nullptr;
    QLabel *lblDescricao = nullptr; // the model
    QLabel *lblAno = nullptr;       // "2001"
    QLabel *lblFabricante = nullptr;
    QLabel *lblEdicao = nullptr;
    QLabel *lblProducao = nullptr;
    QLabel *lblModelo = nullptr;
    QLabel *lblEdicaoTexto = nullptr;
    QLabel *lblProducaoTexto = nullptr;
    QLabel *lblModeloTexto = nullptr;
    QLabel *picEdicao = nullptr;
    QLabel *picProducao = nullptr;
    QLabel *picModelo = nullptr;
    QPushButton *cmdOK = nullptr;
};

} // namespace tavelo
