#include "thinning_screen.h"

#include "screens/shell/app_context.h"
#include "screens/structure/stand_screen.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace tavelo {

ThinningScreen::ThinningScreen(AppContext &ctx) : ctx_(ctx)
{
    setObjectName(objectNameOf(WindowId::Thinning));
    setWindowTitle(QStringLiteral("Desbaste"));

    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));

    optDmecanico = new QRadioButton(QStringLiteral("Desbaste mecânico"), Frame1);
    optDmecanico->setObjectName(QStringLiteral("optDmecanico"));
    txtDmecanico = new QLineEdit(Frame1);
    txtDmecanico->setObjectName(QStringLiteral("txtDmecanico"));
    optDselectivo = new QRadioButton(QStringLiteral("Desbaste  pelo baixo"), Frame1);
    optDselectivo->setObjectName(QStringLiteral("optDselectivo"));
    txtDselectivo = new QLineEdit(Frame1);
    txtDselectivo->setObjectName(QStringLiteral("txtDselectivo"));
    // Selected and never shown, so that neither visible option starts selected.
    optInvisivel = new QRadioButton(Frame1);
    optInvisivel->setObjectName(QStringLiteral("optInvisivel"));
    optInvisivel->setVisible(false);

    auto *group = new QButtonGroup(this);
    group->addButton(optDmecanico);
    group->addButton(optDselectivo);
    group->addButton(optInvisivel);
    optInvisivel->setChecked(true);

    auto *mechanicalLabel = new QLabel(QStringLiteral("% de árvores a retirar"), Frame1);
    mechanicalLabel->setBuddy(txtDmecanico);
    auto *residualLabel = new QLabel(QStringLiteral("Área basal residual (m2/ha)"), Frame1);
    residualLabel->setBuddy(txtDselectivo);
    const int boxWidth = txtDmecanico->fontMetrics().horizontalAdvance(QStringLiteral("000.000")) + 16;
    txtDmecanico->setFixedWidth(boxWidth);
    txtDselectivo->setFixedWidth(boxWidth);

    auto *frame = new QGridLayout(Frame1);
    frame->addWidget(optDmecanico, 0, 0, 1, 3);
    frame->addItem(new QSpacerItem(20, 0), 1, 0);
    frame->addWidget(mechanicalLabel, 1, 1);
    frame->addWidget(txtDmecanico, 1, 2);
    frame->setRowMinimumHeight(2, 8);
    frame->addWidget(optDselectivo, 3, 0, 1, 3);
    frame->addWidget(residualLabel, 4, 1);
    frame->addWidget(txtDselectivo, 4, 2);
    frame->setColumnStretch(3, 1);

    cmdOk = new QPushButton(QStringLiteral("&Ok"), this);
    cmdOk->setObjectName(QStringLiteral("cmdOk"));
    cmdOk->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // On opening neither box takes an entry until its option is chosen.
    txtDmecanico->setEnabled(false);
    txtDselectivo->setEnabled(false);

    connect(optDmecanico, &QRadioButton::clicked, this, &ThinningScreen::mechanicalChosen);
    connect(optDselectivo, &QRadioButton::clicked, this, &ThinningScreen::fromBelowChosen);
    connect(cmdOk, &QPushButton::clicked, this, &ThinningScreen::confirm);
}

void ThinningScreen::mechanicalChosen()
{
    if (!optDmecanico->isChecked())
        return;
    txtDselectivo->clear();
    txtDmecanico->setEnabled(true);
    txtDselectivo->setEnabled(false);
    txtDmecanico->setFocus();
}

void ThinningScreen::fromBelowChosen()
{
    if (!optDselectivo->isChecked())
        return;
    txtDmecanico->clear();
    txtDmecanico->setEnabled(false);
    txtDselectivo->setEnabled(true);
    txtDselectivo->setFocus();
}

void ThinningScreen::confirm()
{
    ThinningInput in;
    if (optDmecanico->isChecked())
        in.choice = ScreenEntries::Thinning::Mechanical;
    else if (optDselectivo->isChecked())
        in.choice = ScreenEntries::Thinning::FromBelow;
    in.mechanicalPercent = txtDmecanico->text().toStdString();
    in.residualBasalArea = txtDselectivo->text().toStdString();

    ctx_.guarded(this, [&] { showOutcome(ctx_.flow.thin(in)); });
}

void ThinningScreen::showOutcome(const ThinningOutcome &out)
{
    switch (out.kind) {
    case ThinningOutcome::Kind::Refused:
        if (out.message)
            ctx_.show(this, *out.message);
        // Back to the screen with the entry as typed.
        activateWindow();
        if (optDmecanico->isChecked())
            txtDmecanico->setFocus();
        else if (optDselectivo->isChecked())
            txtDselectivo->setFocus();
        break;
    case ThinningOutcome::Kind::AskToLeave:
        if (askToLeave(ctx_, this, *out.leave))
            ctx_.flow.leaveThinning();
        break;
    case ThinningOutcome::Kind::ShowThinnedStand:
        // This screen stays loaded: the after-thinning screen describes the
        // thinning from its entries.
        ctx_.windows.hide(WindowId::StandStructure);
        ctx_.windows.hide(WindowId::Thinning);
        // Always a new after-thinning screen, showing this thinning.
        ctx_.windows.unload(WindowId::AfterThinning);
        ctx_.windows.show(WindowId::AfterThinning);
        break;
    }
}

void registerThinningScreen(Windows &windows)
{
    windows.registerFactory(WindowId::Thinning, [](AppContext &ctx) -> QWidget * {
        auto *w = new ThinningScreen(ctx);
        makeWindow(w, ctx.windows.entrada());
        ui::placeCentred(w, ctx.windows.get(WindowId::StandStructure));
        return w;
    });
}

} // namespace tavelo
