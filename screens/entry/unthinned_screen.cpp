#include "unthinned_screen.h"

#include "screens/shell/app_context.h"
#include "screens/entry/entry_screen_widgets.h"
#include "session/entry/entry_session.h"
#include "screens/entry/stand_data_screen.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace tavelo {

bool densityStored(AppContext &ctx, QWidget *screen, SimulationFlow::Route route, DensityOutcome::Kind kind,
                   const std::optional<Message> &message, const std::optional<LeaveQuestion> &leave)
{
    switch (kind) {
    case DensityOutcome::Kind::Refused:
        if (message)
            ctx.show(screen, *message);
        return false;
    case DensityOutcome::Kind::AskToLeave:
        if (askToLeave(ctx, screen, *leave))
            ctx.flow.leaveDensityEntry(route);
        return false;
    case DensityOutcome::Kind::Stored:
        break;
    }
    return true;
}

UnthinnedScreen::UnthinnedScreen(AppContext &ctx) : ctx_(ctx)
{
    makeWindow(this, ctx.windows.entrada());
    setObjectName(objectNameOf(WindowId::UnthinnedDensity));
    setWindowTitle(QStringLiteral("Dados do Povoamento não Desbastado"));

    Frame1 = groupBox(this, "Frame1", QString());
    optArvPlant = radio(Frame1, "optArvPlant", QStringLiteral("Nº de árvores plantadas (nº/ha)"));
    optArvVivas = radio(Frame1, "optArvVivas", QStringLiteral("Nº de árvores vivas (nº/ha)"));
    txtNArvVP = lineEdit(Frame1, "txtNArvVP", QString());
    // One box for both options beside it: named by what they share.
    txtNArvVP->setAccessibleName(QStringLiteral("Nº de árvores (nº/ha)"));
    auto *group = new QButtonGroup(this);
    group->addButton(optArvPlant);
    group->addButton(optArvVivas);
    auto *f1 = new QGridLayout(Frame1);
    f1->addWidget(optArvPlant, 0, 0);
    f1->addWidget(optArvVivas, 1, 0);
    f1->addWidget(txtNArvVP, 0, 1, 2, 1, Qt::AlignVCenter);
    f1->setHorizontalSpacing(24);

    cmdOk = button(this, "cmdOk", QStringLiteral("&Ok"));
    auto *main = new QVBoxLayout(this);
    main->addWidget(Frame1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    main->addLayout(buttons);
    main->setSizeConstraint(QLayout::SetFixedSize);

    placeOverOwner(this);

    connect(cmdOk, &QPushButton::clicked, this, &UnthinnedScreen::confirm);
}

void UnthinnedScreen::confirm()
{
    DensityChoice choice = DensityChoice::None;
    if (optArvVivas->isChecked())
        choice = DensityChoice::Alive;
    else if (optArvPlant->isChecked())
        choice = DensityChoice::Planted;

    ctx_.guarded(this, [&] {
        // A stand beyond the model's basal area ends the program inside this call.
        const DensityOutcome out = ctx_.flow.confirmUnthinnedDensity(txtNArvVP->text().toStdString(), choice);
        if (!densityStored(ctx_, this, SimulationFlow::Route::Unthinned, out.kind, out.message, out.leave))
            return;
        if (auto *form2 = ctx_.windows.get<StandDataScreen>(WindowId::StandData))
            form2->showLock();
        // Kept loaded until "Cancelar" on the stand data screen.
        ctx_.windows.hide(this);
    });
}

} // namespace tavelo
