#include "class_charts_screen.h"

#include "screens/shell/export.h"

#include "screens/shell/app_context.h"
#include "screens/shell/log_printer.h"
#include "screens/structure/stand_screen.h"

#include <QChartView>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavelo {

namespace {

const QString kCategoryTitle = QStringLiteral("Classe Dap (cm)");
constexpr int kChartHeight = 420;
// Two charts side by side, or one alone, fill a window that fits 1024 x 768.
constexpr int kPairedChartWidth = 470;
constexpr int kSingleChartWidth = 780;

} // namespace

DiameterChartsWindow::DiameterChartsWindow(AppContext &ctx, WindowId id, WindowId opener, bool afterThinning)
    : ReturningWindow(ctx, id, opener)
{
    setWindowTitle(QStringLiteral("Características do povoamento"));

    auto *panel = new QGroupBox(this);
    panel->setObjectName(QStringLiteral("Panel"));
    auto *fields = new QGridLayout(panel);
    using Item = ui::StandHeader::Item;
    const ui::StandHeader header = ui::standHeader(
        panel, fields, {{Item::Age, Item::DominantHeight, Item::QualityClass, Item::MeanDiameter, Item::Year}});
    txtIdade = header.txtIdade;
    txtADom = header.txtADom;
    txtCQualidd = header.txtCQualidd;
    txtDmedio = header.txtDmedio;
    txtAno = header.txtAno;
    if (afterThinning) {
        auto *row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Características do desbaste:"), panel));
        row->addSpacing(6);
        lblCDesbaste = new QLabel(QStringLiteral("Tipo de Desbaste e intensidade"), panel);
        lblCDesbaste->setObjectName(QStringLiteral("lblCDesbaste"));
        QFont bold = lblCDesbaste->font();
        bold.setBold(true);
        lblCDesbaste->setFont(bold);
        row->addWidget(lblCDesbaste, 1);
        fields->addLayout(row, 1, 0, 1, 10);
    }
    fields->setColumnStretch(10, 1);

    cmdVoltar = ui::button(this, "cmdVoltar", QStringLiteral("Voltar à simulação"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir os gráficos"));
    connect(cmdVoltar, &QPushButton::clicked, this, [this] { goBack(); });
    connect(cmdImprimir, &QPushButton::clicked, this, [this] {
        // The window as shown: panel, charts and buttons, on one page.
        const QPixmap picture = sharpPicture(this);
        whileBusy([&] { printPicture(ctx_, this, picture); });
    });
    cmdExportarGrafico = ui::button(this, "cmdExportarGrafico", QStringLiteral("Exportar gráfico (PNG)"));
    connect(cmdExportarGrafico, &QPushButton::clicked, this, [this] {
        // The charts as shown; the save dialog must not close the window.
        const QString name = exportBaseName(ctx_) + QStringLiteral("-graficos-idade-") + txtIdade->text() +
                             (objectName() == objectNameOf(WindowId::ThinningChart) ? QStringLiteral("-desbaste") : QString());
        whileBusy([&] { exportPicturePng(ctx_, this, chartsArea_, name); });
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
}

void DiameterChartsWindow::showStand(const std::optional<StandTable> &table)
{
    if (!table)
        return;
    txtIdade->setText(qs(table->txtIdade));
    txtADom->setText(qs(table->txtADom));
    txtCQualidd->setText(qs(table->txtCQualidd));
    txtDmedio->setText(qs(table->txtDmedio));
}

void DiameterChartsWindow::setCharts(QChartView *first, QChartView *second)
{
    MSChart1 = first;
    MSChart2 = second;
    // The charts sit in one area so that they can be exported as one picture.
    chartsArea_ = new QWidget(this);
    auto *charts = new QHBoxLayout(chartsArea_);
    charts->setContentsMargins(0, 0, 0, 0);
    for (QChartView *v : {first, second}) {
        if (!v)
            continue;
        v->setParent(chartsArea_);
        v->setMinimumSize(second ? kPairedChartWidth : kSingleChartWidth, kChartHeight);
        charts->addWidget(v, 1);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdVoltar);
    buttons->addWidget(cmdImprimir);
    buttons->addWidget(cmdExportarGrafico);
    buttons->addStretch(1);
    auto *layout = static_cast<QVBoxLayout *>(this->layout());
    layout->addWidget(chartsArea_, 1);
    layout->addLayout(buttons);
}

StandChartsScreen::StandChartsScreen(AppContext &ctx)
    : DiameterChartsWindow(ctx, WindowId::StandCharts, WindowId::StandStructure, false)
{
    const auto &stand = ctx.simulation.standTable();
    showStand(stand);
    // The shown stand's own year, as its stand screen and the record give it.
    txtAno->setText(qs(stand ? stand->txtAno : ctx.entries.yearText));

    const StandTable none;
    const StandTable &t = stand ? *stand : none;
    QChartView *trees = barChart(this, "MSChart1", treesChart(t),
                                 {kCategoryTitle, QStringLiteral("nº de Árvores (nº/ha)"), {chart_colours::kBlue}, {}});
    QChartView *volumes =
        barChart(this, "MSChart2", volumeChart(t),
                 {kCategoryTitle, QStringLiteral("Volume (m3/ha)"),
                  {chart_colours::kOrange, chart_colours::kSky, chart_colours::kGreen}, 8.0});
    setCharts(trees, volumes);
}

ThinningChartScreen::ThinningChartScreen(AppContext &ctx)
    : DiameterChartsWindow(ctx, WindowId::ThinningChart, WindowId::AfterThinning, true)
{
    const auto &after = ctx.simulation.thinnedTable();
    showStand(after);
    txtAno->setText(qs(after ? after->txtAno : ctx.entries.yearText));
    if (after)
        lblCDesbaste->setText(qs(after->lblDesbasteMS));

    const StandTable none;
    const auto &before = ctx.simulation.standTable();
    QChartView *trees =
        barChart(this, "MSChart1", thinningChart(before ? *before : none, after ? *after : none),
                 {kCategoryTitle, QStringLiteral("Nº de Árvores (nº/ha)"),
                  {chart_colours::kBlue, chart_colours::kGreen}, 8.0});
    setCharts(trees);
}

QWidget *createStandChartsScreen(AppContext &ctx)
{
    auto *w = new StandChartsScreen(ctx);
    makeWindow(w, nullptr);
    ui::placeCentred(w, ctx.windows.get(WindowId::StandStructure));
    return w;
}

QWidget *createThinningChartScreen(AppContext &ctx)
{
    auto *w = new ThinningChartScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.get(WindowId::AfterThinning));
    return w;
}

} // namespace tavelo
