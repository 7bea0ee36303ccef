#include "stand_screen.h"

#include "screens/shell/app_context.h"
#include "screens/shell/export.h"
#include "screens/shell/log_printer.h"
#include "screens/shell/stand_table_model.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace tavelo {

namespace {

// Rows a stand screen shows without scrolling; a taller table scrolls, so the
// window still fits a 1024x768 screen.
constexpr int kVisibleTableRows = 17;

} // namespace

// --- Both stand screens ---------------------------------------------------------------

StandTableScreen::StandTableScreen(AppContext &ctx, bool afterThinning) : ctx_(ctx)
{
    Frame1 = new QGroupBox(this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto *fields = new QGridLayout(Frame1);
    fields->setHorizontalSpacing(8);

    using Item = ui::StandHeader::Item;
    const ui::StandHeader header = ui::standHeader(
        Frame1, fields, {{Item::Age, Item::DominantHeight, Item::Year}, {Item::QualityClass, Item::MeanDiameter}});
    txtIdade = header.txtIdade;
    txtADom = header.txtADom;
    txtAno = header.txtAno;
    txtCQualidd = header.txtCQualidd;
    txtDmedio = header.txtDmedio;
    txtA = ui::field(Frame1, "txtA");
    txtB = ui::field(Frame1, "txtB");
    txtC = ui::field(Frame1, "txtC");

    auto *weibull = new QHBoxLayout;
    weibull->addWidget(new QLabel(QStringLiteral("Parâmetros de Weibull:"), Frame1));
    weibull->addSpacing(8);
    weibull->addWidget(ui::caption(Frame1, QStringLiteral("A =")));
    weibull->addWidget(txtA);
    weibull->addSpacing(12);
    weibull->addWidget(ui::caption(Frame1, QStringLiteral("B = ")));
    weibull->addWidget(txtB);
    weibull->addSpacing(12);
    weibull->addWidget(ui::caption(Frame1, QStringLiteral("C = ")));
    weibull->addWidget(txtC);
    weibull->addStretch(1);
    fields->addLayout(weibull, 2, 0, 1, 6);

    if (afterThinning) {
        auto *thinning = new QHBoxLayout;
        thinning->addWidget(new QLabel(QStringLiteral("Tipo e intensidade do desbaste:"), Frame1));
        thinning->addSpacing(6);
        lblDesbasteMS = new QLabel(Frame1);
        lblDesbasteMS->setObjectName(QStringLiteral("lblDesbasteMS"));
        QFont bold = lblDesbasteMS->font();
        bold.setBold(true);
        lblDesbasteMS->setFont(bold);
        thinning->addWidget(lblDesbasteMS, 1);
        fields->addLayout(thinning, 3, 0, 1, 6);
    }
    fields->setColumnStretch(6, 1);

    lblTGrelha = new QLabel(this);
    lblTGrelha->setObjectName(QStringLiteral("lblTGrelha"));
    QFont titleFont = lblTGrelha->font();
    titleFont.setBold(true);
    lblTGrelha->setFont(titleFont);

    model_ = new StandTableModel(this);
    Grelha = ui::grid(this, "Grelha");
    Grelha->setModel(model_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addSpacing(4);
    layout->addWidget(lblTGrelha);
    layout->addWidget(Grelha);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QPushButton *StandTableScreen::exportButton()
{
    QPushButton *b = ui::button(this, "cmdExportar", QStringLiteral("Exportar tabela (CSV)"));
    connect(b, &QPushButton::clicked, this, [this] {
        const bool after = objectName() == objectNameOf(WindowId::AfterThinning);
        exportTableCsv(ctx_, this, *model_,
                       exportBaseName(ctx_) + QStringLiteral("-idade-") + txtIdade->text() +
                           (after ? QStringLiteral("-desbaste") : QString()));
    });
    return b;
}

void StandTableScreen::addButtons(const QList<QPushButton *> &buttons)
{
    auto *row = new QHBoxLayout;
    for (QPushButton *b : buttons)
        row->addWidget(b);
    row->addStretch(1);
    static_cast<QVBoxLayout *>(layout())->addLayout(row);
}

void StandTableScreen::showTable(const std::optional<StandTable> &table)
{
    const StandTable empty;
    const StandTable &t = table ? *table : empty;
    txtIdade->setText(qs(t.txtIdade));
    txtADom->setText(qs(t.txtADom));
    txtAno->setText(qs(t.txtAno));
    txtCQualidd->setText(qs(t.txtCQualidd));
    txtDmedio->setText(qs(t.txtDmedio));
    txtA->setText(qs(t.txtA));
    txtB->setText(qs(t.txtB));
    txtC->setText(qs(t.txtC));
    if (table)
        Frame1->setTitle(qs(t.frameCaption));
    if (lblDesbasteMS)
        lblDesbasteMS->setText(qs(t.lblDesbasteMS));
    lblTGrelha->setText(qs(t.lblTGrelha));

    model_->setStandTable(table);
    sizeColumns(*Grelha, std::vector<int>(kStandTableWidthsTwips.begin(), kStandTableWidthsTwips.end()));
    Grelha->setFixedWidth(fullTableWidth(*Grelha, model_->rowCount() > kVisibleTableRows));
    ui::fitGridHeight(*Grelha, std::min(model_->rowCount(), kVisibleTableRows));
}

// --- Form5 ------------------------------------------------------------------------------

StandStructureScreen::StandStructureScreen(AppContext &ctx) : StandTableScreen(ctx, false)
{
    setObjectName(objectNameOf(WindowId::StandStructure));
    setWindowTitle(QStringLiteral("Estrutura do Povoamento"));
    Frame1->setTitle(QStringLiteral("Características do povoamento sem desbaste prévio"));

    cmdProjectar = ui::button(this, "cmdProjectar", QStringLiteral("Projectar sem desbaste"));
    cmdDesbastar = ui::button(this, "cmdDesbastar", QStringLiteral("Realizar desbaste"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir a simulação"));
    cmdVGraficos = ui::pictureButton(this, "cmdVGraficos", ui::chartIcon(), QStringLiteral("Gráficos por classe de diâmetro"));
    cmdTerminar = ui::button(this, "cmdTerminar", QStringLiteral("Terminar Simulação"));
    cmdExportar = exportButton();
    addButtons({cmdProjectar, cmdDesbastar, cmdImprimir, cmdVGraficos, cmdTerminar, cmdExportar});

    connect(cmdProjectar, &QPushButton::clicked, this, &StandStructureScreen::project);
    connect(cmdDesbastar, &QPushButton::clicked, this, [this] {
        ctx_.flow.openThinning();
        ctx_.windows.show(WindowId::Thinning);
    });
    connect(cmdImprimir, &QPushButton::clicked, this, [this] { printLog(ctx_, this); });
    connect(cmdVGraficos, &QPushButton::clicked, this, [this] { ctx_.windows.show(WindowId::StandCharts); });
    connect(cmdTerminar, &QPushButton::clicked, this, &StandStructureScreen::finish);

    // Load: the stand is shown, logged and recorded (unless the projection
    // that opened this screen already did).
    ctx_.guarded(this, [&] {
        const Simulation::Notices notices = ctx_.flow.loadStandScreen();
        showTable(ctx_.simulation.standTable());
        ctx_.showAll(this, notices);
    });
}

void StandStructureScreen::project()
{
    ctx_.guarded(this, [&] {
        const Simulation::Notices notices = ctx_.flow.project();
        showTable(ctx_.simulation.standTable());
        ctx_.showAll(this, notices);
    });
}

void StandStructureScreen::finish()
{
    ctx_.guarded(this, [&] {
        ctx_.flow.end();
        ctx_.windows.unload(WindowId::StandStructure);
        ctx_.windows.show(WindowId::End);
    });
}

void StandStructureScreen::closeEvent(QCloseEvent *event)
{
    // The close box discards the screen: nothing is logged, nothing else opens.
    ctx_.flow.closeStandScreen();
    QWidget::closeEvent(event);
}

// --- form7 ------------------------------------------------------------------------------

AfterThinningScreen::AfterThinningScreen(AppContext &ctx) : StandTableScreen(ctx, true)
{
    setObjectName(objectNameOf(WindowId::AfterThinning));
    setWindowTitle(QStringLiteral("Estrutura do Povoamento após Desbaste"));

    cmdProjectar = ui::button(this, "cmdProjectar", QStringLiteral("Projectar"));
    cmdReDesbastar = ui::button(this, "cmdReDesbastar", QStringLiteral("Voltar a definir desbaste"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir a simulação"));
    cmdVGrafico = ui::pictureButton(this, "cmdVGrafico", ui::chartIcon(), QStringLiteral("Gráfico antes e após o desbaste"));
    cmdTerminar = ui::button(this, "cmdTerminar", QStringLiteral("Terminar Simulação"));
    cmdExportar = exportButton();
    addButtons({cmdProjectar, cmdReDesbastar, cmdImprimir, cmdVGrafico, cmdTerminar, cmdExportar});

    connect(cmdProjectar, &QPushButton::clicked, this, &AfterThinningScreen::project);
    connect(cmdReDesbastar, &QPushButton::clicked, this, &AfterThinningScreen::defineAgain);
    connect(cmdImprimir, &QPushButton::clicked, this, [this] { printLog(ctx_, this); });
    connect(cmdVGrafico, &QPushButton::clicked, this, [this] { ctx_.windows.show(WindowId::ThinningChart); });
    connect(cmdTerminar, &QPushButton::clicked, this, &AfterThinningScreen::finish);

    // The frame keeps its design caption: the table shows the stand after the thinning.
    Frame1->setTitle(QStringLiteral("Características do povoamento após desbaste"));
    showTable(ctx_.simulation.thinnedTable());
}

void AfterThinningScreen::project()
{
    ctx_.guarded(this, [&] {
        const Simulation::Notices notices = ctx_.flow.project();
        // The hidden stand screen goes; a new one shows the projected stand.
        ctx_.windows.unload(WindowId::StandStructure);
        QWidget *form5 = ctx_.windows.show(WindowId::StandStructure);
        ctx_.showAll(form5 ? form5 : this, notices);
        ctx_.windows.unload(WindowId::AfterThinning);
    });
}

void AfterThinningScreen::defineAgain()
{
    ctx_.flow.discardThinning();
    ui::showIfLoaded(ctx_, WindowId::StandStructure);
    ctx_.windows.unload(WindowId::Thinning);
    ctx_.windows.unload(WindowId::AfterThinning);
}

void AfterThinningScreen::finish()
{
    ctx_.guarded(this, [&] {
        ctx_.showAll(this, ctx_.flow.end());
        hide();
        ctx_.windows.show(WindowId::End);
    });
}

void AfterThinningScreen::closeEvent(QCloseEvent *event)
{
    // Discarded silently; the stand screen and the thinning screen stay hidden.
    ctx_.flow.closeThinnedScreen();
    QWidget::closeEvent(event);
}

// --- Factories ------------------------------------------------------------------------------

QWidget *createStandScreen(AppContext &ctx)
{
    auto *w = new StandStructureScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.entrada());
    return w;
}

QWidget *createAfterThinningScreen(AppContext &ctx)
{
    auto *w = new AfterThinningScreen(ctx);
    makeWindow(w, nullptr);
    // In the place of the stand screen it stands for.
    ui::placeCentred(w, ctx.windows.get(WindowId::StandStructure));
    return w;
}

} // namespace tavelo
