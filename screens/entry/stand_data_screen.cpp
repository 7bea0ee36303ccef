#include "stand_data_screen.h"

#include "screens/shell/app_context.h"
#include "screens/entry/entry_screen_widgets.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <utility>

namespace tavelo {

StandDataScreen::StandDataScreen(AppContext &ctx) : ctx_(ctx)
{
    makeWindow(this, ctx.windows.entrada());
    setObjectName(objectNameOf(WindowId::StandData));
    setWindowTitle(QStringLiteral("Dados do Povoamento"));

    Frame3 = groupBox(this, "Frame3", QString());
    txtIdade = lineEdit(Frame3, "txtIdade", QString());
    Label3 = buddyLabel(Frame3, "Label3", QStringLiteral("Idade do Povoamento (anos)"), txtIdade);
    auto *f3 = new QHBoxLayout(Frame3);
    f3->addWidget(Label3);
    f3->addStretch(1);
    f3->addWidget(txtIdade);

    Frame4 = groupBox(this, "Frame4", QString());
    optADominante = radio(Frame4, "optADominante", QStringLiteral("Altura dominante (m)"));
    txtADominante = lineEdit(Frame4, "txtADominante", QString());
    // Its label is the option beside it; screen readers need it said.
    txtADominante->setAccessibleName(QStringLiteral("Altura dominante (m)"));
    optCQualidade = radio(Frame4, "optCQualidade", QStringLiteral("Classe de Qualidade:"));
    frmCQ = groupBox(Frame4, "frmCQ", QString());
    // Listed from the poorest to the best site, as the user reads them.
    optMBaixa = radio(frmCQ, "optMBaixa", QStringLiteral("Muito Baixa"));
    optBaixa = radio(frmCQ, "optBaixa", QStringLiteral("Baixa"));
    optMedia = radio(frmCQ, "optMedia", QStringLiteral("Média"));
    optElev = radio(frmCQ, "optElev", QStringLiteral("Elevada"));
    optMElev = radio(frmCQ, "optMElev", QStringLiteral("Muito Elevada"));
    auto *site = new QButtonGroup(this);
    site->addButton(optADominante);
    site->addButton(optCQualidade);
    classes_ = new QButtonGroup(this);
    auto *cq = new QVBoxLayout(frmCQ);
    for (QRadioButton *o : {optMBaixa, optBaixa, optMedia, optElev, optMElev}) {
        classes_->addButton(o);
        cq->addWidget(o);
    }
    auto *f4 = new QGridLayout(Frame4);
    f4->addWidget(optADominante, 0, 0);
    f4->addWidget(txtADominante, 0, 1);
    f4->addWidget(optCQualidade, 1, 0);
    f4->addWidget(frmCQ, 2, 0, 1, 2);
    f4->setColumnStretch(0, 1);

    FrmManual = groupBox(this, "FrmManual", QStringLiteral("Introdução manual dos dados:"));
    cmdDPdesb = button(FrmManual, "cmdDPdesb", QStringLiteral("Dados povoamento desbastado"));
    cmdDPndesb = button(FrmManual, "cmdDPndesb", QStringLiteral("Dados povoamento não desbastado"));
    auto *fm = new QVBoxLayout(FrmManual);
    fm->addWidget(cmdDPdesb);
    fm->addWidget(cmdDPndesb);
    fm->addStretch(1);

    cmdOk = button(this, "cmdOk", QStringLiteral("&Ok"));
    cmdCancelar = button(this, "cmdCancelar", QStringLiteral("Cancelar"));

    auto *main = new QGridLayout(this);
    main->addWidget(Frame3, 0, 0, 1, 2);
    main->addWidget(Frame4, 1, 0);
    main->addWidget(FrmManual, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOk);
    buttons->addWidget(cmdCancelar);
    main->addLayout(buttons, 2, 0, 1, 2);
    main->setSizeConstraint(QLayout::SetFixedSize);

    // Design state.
    optADominante->setChecked(true);
    frmCQ->setEnabled(false);
    cmdDPdesb->setEnabled(false);
    cmdDPndesb->setEnabled(false);

    placeOverOwner(this);

    connect(optADominante, &QRadioButton::toggled, this, &StandDataScreen::heightChosen);
    connect(optCQualidade, &QRadioButton::toggled, this, &StandDataScreen::classChosen);
    connect(txtIdade, &QLineEdit::textChanged, this, &StandDataScreen::ageChanged);
    connect(cmdDPdesb, &QPushButton::clicked, this, [this] { densityButton(SimulationFlow::Route::Thinned); });
    connect(cmdDPndesb, &QPushButton::clicked, this, [this] { densityButton(SimulationFlow::Route::Unthinned); });
    connect(cmdOk, &QPushButton::clicked, this, &StandDataScreen::confirm);
    connect(cmdCancelar, &QPushButton::clicked, this, &StandDataScreen::cancel);

    // Load: a stand already stored stays locked, whichever window stands for it.
    showLock();
    // The model options must have been confirmed first.
    if (const std::optional<Message> m = standDataLoadMessage(ctx_.state)) {
        ctx_.show(this, *m);
        ctx_.windows.show(WindowId::Options);
    }
}

SiteInput StandDataScreen::mode() const
{
    if (optADominante->isChecked())
        return SiteInput::DominantHeight;
    if (optCQualidade->isChecked())
        return SiteInput::QualityClass;
    return SiteInput::None;
}

void StandDataScreen::heightChosen(bool checked)
{
    if (!checked)
        return;
    frmCQ->setEnabled(false);
    // An exclusive group keeps one option on; lift that to clear them all.
    classes_->setExclusive(false);
    for (QRadioButton *o : {optMElev, optElev, optMedia, optBaixa, optMBaixa})
        o->setChecked(false);
    classes_->setExclusive(true);
    txtADominante->setEnabled(true);
}

void StandDataScreen::classChosen(bool checked)
{
    if (!checked)
        return;
    frmCQ->setEnabled(true);
    txtADominante->setEnabled(false);
    txtADominante->clear();
}

void StandDataScreen::ageChanged()
{
    // The current state of each button as set on this screen, whatever its frame.
    StandButtons current;
    current.thinned = cmdDPdesb->isEnabledTo(this);
    current.unthinned = cmdDPndesb->isEnabledTo(this);
    const StandButtons b = ageRule(mode(), txtIdade->text().toStdString(), current);
    if (b.classFrameEnabled)
        frmCQ->setEnabled(*b.classFrameEnabled);
    cmdDPdesb->setEnabled(b.thinned);
    cmdDPndesb->setEnabled(b.unthinned);
}

StandDataInput StandDataScreen::input() const
{
    StandDataInput in;
    in.age = txtIdade->text().toStdString();
    in.mode = mode();
    in.dominantHeight = txtADominante->text().toStdString();
    const std::pair<QRadioButton *, QualityClass> order[] = {
        {optMElev, QualityClass::MuitoElevada}, {optElev, QualityClass::Elevada}, {optMedia, QualityClass::Media},
        {optBaixa, QualityClass::Baixa},        {optMBaixa, QualityClass::MuitoBaixa}};
    for (const auto &[o, q] : order)
        if (o->isChecked()) {
            in.qualityClass = q;
            break;
        }
    return in;
}

void StandDataScreen::densityButton(SimulationFlow::Route route)
{
    ctx_.guarded(this, [&] {
        const StandDataOutcome out = ctx_.flow.chooseRoute(route, input());
        ctx_.showAll(this, out.messages);
        if (out.openDensityScreen)
            ctx_.windows.show(windowOf(ctx_.flow.screenInFront()));
    });
}

void StandDataScreen::confirm()
{
    if (const std::optional<Message> m = ctx_.flow.confirmStandData()) {
        ctx_.show(this, *m);
        return;
    }
    ctx_.guarded(this, [&] {
        // The stand screen shows the stand as it loads; a stand outside the
        // model ends the program there and nothing after it runs.
        ctx_.windows.show(WindowId::StandStructure);
        setSimulationEnabled(ctx_, false);
        ctx_.windows.hide(this);
    });
}

void StandDataScreen::cancel()
{
    ctx_.flow.cancelStandData();
    ctx_.windows.unload(WindowId::UnthinnedDensity);
    ctx_.windows.unload(WindowId::ThinnedDensity);
    ctx_.windows.unload(this);
}

void StandDataScreen::showLock()
{
    const SimulationFlow::StandDataLock &lock = ctx_.flow.standDataLock();
    if (!lock.locked)
        return;
    if (lock.thinnedRouteOff)
        cmdDPdesb->setEnabled(false);
    if (lock.unthinnedRouteOff)
        cmdDPndesb->setEnabled(false);
    Frame3->setEnabled(false);
    Frame4->setEnabled(false);
}

} // namespace tavelo
