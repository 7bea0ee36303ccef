#include "end_screen.h"

#include "screens/shell/app_context.h"
#include "session/results/end_session.h"
#include "screens/shell/log_printer.h"
#include "screens/structure/stand_screen.h"

#include <QPushButton>
#include <QVBoxLayout>

namespace tavelo {

EndScreen::EndScreen(AppContext &ctx) : ctx_(ctx)
{
    setObjectName(objectNameOf(WindowId::End));
    setWindowTitle(QStringLiteral("Terminar Simulação"));

    cmdGrafSim = ui::button(this, "cmdGrafSim", QStringLiteral("Gráfico e tabela de simulação"));
    cmdImprimirSim = ui::button(this, "cmdImprimirSim", QStringLiteral("Imprimir simulação"));
    cmdSalvarSim = ui::button(this, "cmdSalvarSim", QStringLiteral("Guardar a simulação"));
    cmdNovaSimulacao = ui::button(this, "cmdNovaSimulacao", QStringLiteral("Nova simulação"));
    cmdsair = ui::button(this, "cmdsair", QStringLiteral("Sair"));
    cmdAvaliacaoEconomica = ui::button(this, "cmdAvaliacaoEconomica", QStringLiteral("Avaliação económica"));
    cmdBalancoCarbono = ui::button(this, "cmdBalancoCarbono", QStringLiteral("Balanço de carbono"));

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(8);
    layout->setContentsMargins(16, 16, 16, 16);
    const int width = cmdGrafSim->fontMetrics().horizontalAdvance(cmdGrafSim->text()) + 64;
    for (QPushButton *b : {cmdGrafSim, cmdImprimirSim, cmdSalvarSim, cmdNovaSimulacao, cmdsair}) {
        b->setMinimumSize(width, 34);
        layout->addWidget(b);
    }
    // After "Sair", so that nothing that was there moves (and last in the tab order).
    cmdAvaliacaoEconomica->setMinimumSize(width, 34);
    layout->addWidget(cmdAvaliacaoEconomica);
    cmdBalancoCarbono->setMinimumSize(width, 34);
    layout->addWidget(cmdBalancoCarbono);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(cmdGrafSim, &QPushButton::clicked, this, &EndScreen::showSummary);
    connect(cmdImprimirSim, &QPushButton::clicked, this, [this] { printLog(ctx_, this); });
    connect(cmdSalvarSim, &QPushButton::clicked, this, &EndScreen::save);
    connect(cmdNovaSimulacao, &QPushButton::clicked, this, &EndScreen::newSimulation);
    connect(cmdsair, &QPushButton::clicked, this, &EndScreen::leave);
    connect(cmdAvaliacaoEconomica, &QPushButton::clicked, this, &EndScreen::showEconomics);
    connect(cmdBalancoCarbono, &QPushButton::clicked, this, &EndScreen::showCarbon);

    // There is no way back into the finished simulation.
    setSimulationEnabled(ctx_, false);
}

void EndScreen::showSummary()
{
    ctx_.windows.show(WindowId::Summary);
    hide();
}

void EndScreen::showEconomics()
{
    ctx_.windows.show(WindowId::Economics);
    hide();
}

void EndScreen::showCarbon()
{
    ctx_.windows.show(WindowId::Carbon);
    hide();
}

void EndScreen::save()
{
    const std::string &logName = ctx_.state.logName;
    const QString chosen = ctx_.services.files->saveFileName(this, qs(saveDialogTitle(logName)),
                                                             qs(proposedSaveName(logName)), qs(kSaveFilter));
    if (chosen.isEmpty())
        return;
    if (auto error = saveLogCopy(ctx_.simulation.log(), std::filesystem::path(chosen.toStdString())))
        ctx_.show(this, *error);
}

void EndScreen::newSimulation()
{
    ctx_.guarded(this, [&] {
        ctx_.flow.newSimulation();
        // Every window goes; the start screen loads afresh with a new log name.
        restartEntrada(ctx_);
    });
}

void EndScreen::leave()
{
    ctx_.guarded(this, [&] {
        deleteTemporaryLogs(ctx_.logFolder);
        ctx_.endProgram(kExitNormal);
    });
}

QWidget *createEndScreen(AppContext &ctx)
{
    auto *w = new EndScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.entrada());
    return w;
}

} // namespace tavelo
