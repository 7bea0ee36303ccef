#include "economics_screen.h"

#include "screens/results/best_regime_screen.h"

#include "screens/shell/app_context.h"
#include "screens/shell/export.h"
#include "screens/shell/log_printer.h"
#include "screens/structure/stand_screen.h"
#include "screens/shell/stand_table_model.h"

#include <QChart>
#include <QChartView>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace tavelo {

namespace {

const QString kValuationCaption = QStringLiteral("Avaliação Económica");
// Column widths (twips) of the cash-flow table.
const std::vector<int> kValuationColumnTwips = {900, 700, 1300, 1000, 1000, 900, 1000, 1200, 1100, 1200, 1500};
constexpr int kVisibleValuationRows = 6;

// A line chart of euros per hectare; the old chart of the view goes.
void drawLine(QChartView *view, const std::vector<ChartPoint> &points, const QString &series, const QString &xTitle,
              double xStep, const QColor &colour)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *line = new QLineSeries;
    line->setName(series);
    line->setColor(colour);
    double low = 0.0, high = 0.0, left = 0.0, right = 1.0;
    for (size_t i = 0; i < points.size(); ++i) {
        line->append(points[i].x, points[i].y);
        low = std::min(low, points[i].y);
        high = std::max(high, points[i].y);
        left = i == 0 ? points[i].x : std::min(left, points[i].x);
        right = i == 0 ? points[i].x : std::max(right, points[i].x);
    }
    if (right <= left)
        right = left + 1.0;
    if (high <= low)
        high = low + 1.0;
    chart->addSeries(line);
    auto *x = new QValueAxis;
    x->setTitleText(xTitle);
    x->setRange(left, right);
    // Ticks on the ages of the projection steps, or on every whole rate.
    const int ticks = static_cast<int>(std::lround((right - left) / xStep)) + 1;
    x->setTickCount(std::clamp(ticks, 2, 13));
    x->setLabelFormat(QStringLiteral("%.0f"));
    auto *y = new QValueAxis;
    y->setTitleText(QStringLiteral("€/ha"));
    y->setRange(low, high);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    line->attachAxis(x);
    line->attachAxis(y);
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

QChartView *chartView(QWidget *parent, const char *name)
{
    auto *view = new QChartView(parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setFrameShape(QFrame::NoFrame);
    view->setBackgroundBrush(Qt::white);
    view->setMinimumSize(400, 240);
    return view;
}

} // namespace

QString economicsSettingsKey(EconomicField field)
{
    return QStringLiteral("economia/") + QLatin1String(economicFieldInfo(field).keyPath);
}

EconomicsScreen::EconomicsScreen(AppContext &ctx)
    : ReturningWindow(ctx, WindowId::Economics, WindowId::End)
{
    setWindowTitle(kValuationCaption);

    // The inputs, filled with what was typed last time.
    auto *prices = new QGroupBox(QStringLiteral("Preços e custos"), this);
    prices->setObjectName(QStringLiteral("frmEntradas"));
    auto *form = new QFormLayout;
    auto *form2 = new QFormLayout;
    for (const EconomicFieldInfo &info : kEconomicFields) {
        auto *box = new QLineEdit(prices);
        box->setObjectName(QLatin1String(info.name));
        box->setMaximumWidth(120);
        if (ctx_.services.settings)
            if (const auto remembered = ctx_.services.settings->value(economicsSettingsKey(info.field)))
                box->setText(*remembered);
        inputs[static_cast<size_t>(info.field)] = box;
        (static_cast<int>(info.field) < 5 ? form : form2)->addRow(QString::fromUtf8(info.label), box);
    }
    cmdCalcular = ui::button(prices, "cmdCalcular", QStringLiteral("Calcular"));
    form2->addRow(QString(), cmdCalcular);
    auto *inputsRow = new QHBoxLayout(prices);
    inputsRow->addLayout(form);
    inputsRow->addSpacing(24);
    inputsRow->addLayout(form2);

    // The results: table, values and charts; what is printed.
    results_ = new QWidget(this);
    results_->setObjectName(QStringLiteral("frmResultados"));
    model_ = new TextTableModel(this);
    model_->setCentredHeaders(true);
    model_->setBoldLastRow(true);
    QStringList headers;
    for (const char *h : kCashFlowHeaders)
        headers << QString::fromUtf8(h);
    model_->setTable(headers, {});
    lblUnidades = new QLabel(QString::fromUtf8(kCashFlowUnits), results_);
    lblUnidades->setObjectName(QStringLiteral("lblUnidades"));
    GrelhaFluxos = ui::grid(results_, "GrelhaFluxos");
    GrelhaFluxos->setModel(model_);
    sizeColumns(*GrelhaFluxos, kValuationColumnTwips);
    GrelhaFluxos->setMinimumWidth(fullTableWidth(*GrelhaFluxos, true));
    ui::fitGridHeight(*GrelhaFluxos, kVisibleValuationRows);
    lblVAL = new QLabel(results_);
    lblVAL->setObjectName(QStringLiteral("lblVAL"));
    QFont bold = lblVAL->font();
    bold.setBold(true);
    lblVAL->setFont(bold);
    lblVAE = new QLabel(results_);
    lblVAE->setObjectName(QStringLiteral("lblVAE"));
    lblVES = new QLabel(results_);
    lblVES->setObjectName(QStringLiteral("lblVES"));
    charts_ = new QWidget(results_);
    charts_->setObjectName(QStringLiteral("frmGraficos"));
    chtFluxoActualizado = chartView(charts_, "chtFluxoActualizado");
    chtVALTaxa = chartView(charts_, "chtVALTaxa");
    auto *chartsRow = new QHBoxLayout(charts_);
    chartsRow->setContentsMargins(0, 0, 0, 0);
    chartsRow->addWidget(chtFluxoActualizado);
    chartsRow->addWidget(chtVALTaxa);
    auto *values = new QHBoxLayout;
    values->addWidget(lblVAL);
    values->addSpacing(24);
    values->addWidget(lblVAE);
    values->addSpacing(24);
    values->addWidget(lblVES);
    values->addStretch(1);
    auto *resultsLayout = new QVBoxLayout(results_);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->addWidget(lblUnidades);
    resultsLayout->addWidget(GrelhaFluxos);
    resultsLayout->addLayout(values);
    resultsLayout->addWidget(charts_, 1);

    cmdVoltar = ui::button(this, "cmdVoltar", QStringLiteral("Voltar ao ecran anterior"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir a avaliação"));
    cmdExportarTabela = ui::button(this, "cmdExportarTabela", QStringLiteral("Exportar tabela (CSV)"));
    cmdExportarGrafico = ui::button(this, "cmdExportarGrafico", QStringLiteral("Exportar gráficos (PNG)"));
    // Last in the tab order: nothing that was there moves.
    cmdMelhorRegime = ui::button(this, "cmdMelhorRegime", QStringLiteral("Procurar o melhor regime"));
    connect(cmdMelhorRegime, &QPushButton::clicked, this, &EconomicsScreen::openBestRegime);
    connect(cmdCalcular, &QPushButton::clicked, this, [this] { calculate(false); });
    for (QLineEdit *box : inputs)
        connect(box, &QLineEdit::returnPressed, this, [this] { calculate(false); });
    connect(cmdVoltar, &QPushButton::clicked, this, [this] { goBack(); });
    connect(cmdImprimir, &QPushButton::clicked, this, &EconomicsScreen::print);
    // The save dialog must not close the window.
    connect(cmdExportarTabela, &QPushButton::clicked, this, [this] {
        whileBusy([&] { exportTableCsv(ctx_, this, *model_, exportBaseName(ctx_) + QStringLiteral("-economia")); });
    });
    connect(cmdExportarGrafico, &QPushButton::clicked, this, [this] {
        whileBusy([&] { exportPicturePng(ctx_, this, charts_, exportBaseName(ctx_) + QStringLiteral("-economia")); });
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdVoltar);
    buttons->addWidget(cmdImprimir);
    buttons->addWidget(cmdExportarTabela);
    buttons->addWidget(cmdExportarGrafico);
    buttons->addStretch(1);
    buttons->addWidget(cmdMelhorRegime);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prices);
    layout->addWidget(results_, 1);
    layout->addLayout(buttons);

    // Values remembered from last time are shown at once; none is not an error.
    calculate(true);
}

void EconomicsScreen::calculate(bool quiet)
{
    EconomicTexts texts;
    for (const EconomicFieldInfo &info : kEconomicFields)
        texts[info.field] = input(info.field)->text().toStdString();
    const auto read = readEconomicInputs(texts);
    if (const auto *refusal = std::get_if<EconomicRefusal>(&read)) {
        if (!quiet) {
            whileBusy([&] { ctx_.show(this, refusal->message); });
            input(refusal->field)->setFocus();
            input(refusal->field)->selectAll();
        }
        return;
    }
    const EconomicInputs &in = std::get<EconomicInputs>(read);
    const auto valuation = valueSimulation(ctx_.state, in);
    if (!valuation) {
        if (!quiet)
            whileBusy([&] {
                ctx_.show(this, Message::warning("Avaliação Económica", "Não há estados registados para avaliar."));
            });
        return;
    }
    showValuation(*valuation);
    // An open search values its regimes with the prices shown here.
    if (bestRegime_)
        bestRegime_->setEconomics(texts);
    // Typed once, offered again in the next run of the program.
    if (ctx_.services.settings) {
        bool stored = true;
        for (const EconomicFieldInfo &info : kEconomicFields)
            stored = ctx_.services.settings->setValue(economicsSettingsKey(info.field), input(info.field)->text()) &&
                     stored;
        if (!stored && !quiet)
            whileBusy([&] {
                ctx_.show(this, Message::warning("Avaliação Económica",
                                                 "Não foi possível guardar os valores para a próxima utilização."));
            });
    }
}

void EconomicsScreen::showValuation(const Valuation &valuation)
{
    QVector<QStringList> rows;
    for (const auto &r : cashFlowTable(valuation)) {
        QStringList row;
        for (const std::string &c : r)
            row << qs(c);
        rows << row;
    }
    QStringList headers;
    for (const char *h : kCashFlowHeaders)
        headers << QString::fromUtf8(h);
    model_->setTable(headers, rows);
    // Wide enough for the longest text now shown ("Custos anuais", "2027–2056").
    sizeColumns(*GrelhaFluxos, kValuationColumnTwips);
    GrelhaFluxos->setMinimumWidth(fullTableWidth(*GrelhaFluxos, model_->rowCount() > kVisibleValuationRows));
    lblVAL->setText(qs(npvLine(valuation)));
    lblVAE->setText(qs(eaaLine(valuation)));
    lblVES->setText(qs(levLine(valuation)));
    drawLine(chtFluxoActualizado, cumulativeDiscountedFlow(valuation),
             QStringLiteral("Fluxo actualizado acumulado"), QStringLiteral("Idade (anos)"), 5.0, chart_colours::kBlue);
    drawLine(chtVALTaxa, npvByRate(valuation), QStringLiteral("VAL em função da taxa"),
             QStringLiteral("Taxa de actualização (%)"), 1.0, chart_colours::kVermilion);
}

std::optional<EconomicTexts> EconomicsScreen::acceptedInputs() const
{
    EconomicTexts texts;
    for (const EconomicFieldInfo &info : kEconomicFields)
        texts[info.field] = input(info.field)->text().toStdString();
    if (std::holds_alternative<EconomicRefusal>(readEconomicInputs(texts)))
        return std::nullopt;
    return texts;
}

void EconomicsScreen::openBestRegime()
{
    if (!bestRegime_) {
        bestRegime_ = new BestRegimeScreen(ctx_, this, acceptedInputs());
        ui::placeCentred(bestRegime_, this);
    } else {
        bestRegime_->setEconomics(acceptedInputs());
    }
    whileBusy([&] {
        bestRegime_->show();
        bestRegime_->raise();
        bestRegime_->activateWindow();
    });
}

void EconomicsScreen::print()
{
    const QPixmap picture = sharpPicture(results_);
    whileBusy([&] { printPicture(ctx_, this, picture); });
}

QWidget *createEconomicsScreen(AppContext &ctx)
{
    auto *w = new EconomicsScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.entrada());
    return w;
}

} // namespace tavelo
