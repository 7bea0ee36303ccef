#include "economics_screen.h"

#include "screens/results/best_regime_screen.h"
#include "screens/results/remembered_boxes.h"

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

// Where the typed values are remembered: "economia/" and the field's key path.
const QString kEconomicsSettingsPrefix = QStringLiteral("economia/");
const QString kValuationCaption = QStringLiteral("Avaliação Económica");
// Column widths (twips) of the cash-flow table.
const std::vector<int> kValuationColumnTwips = {900, 700, 1300, 1000, 1000, 900, 1000, 1200, 1100, 1200, 1500};
constexpr int kVisibleValuationRows = 6;

} // namespace

QString economicsSettingsKey(EconomicField field)
{
    return kEconomicsSettingsPrefix + QLatin1String(economicFieldInfo(field).keyPath);
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
    inputs_ = std::make_unique<RememberedBoxes>(
        ctx_, prices, RememberedBoxes::fieldsOf(kEconomicFields, kEconomicsSettingsPrefix));
    for (size_t i = 0; i < inputs_->boxes().size(); ++i)
        (i < 5 ? form : form2)->addRow(inputs_->label(i), inputs_->boxes()[i]);
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
    chtFluxoActualizado = resultChartView(charts_, "chtFluxoActualizado", QSize(400, 240));
    chtVALTaxa = resultChartView(charts_, "chtVALTaxa", QSize(400, 240));
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

    QHBoxLayout *buttons =
        resultButtons({QStringLiteral("Imprimir a avaliação"), QStringLiteral("Exportar gráficos (PNG)"),
                       QStringLiteral("-economia")},
                      *model_, charts_, [this] { print(); });
    // Last in the tab order: nothing that was there moves.
    cmdMelhorRegime = ui::button(this, "cmdMelhorRegime", QStringLiteral("Procurar o melhor regime"));
    buttons->addWidget(cmdMelhorRegime);
    connect(cmdMelhorRegime, &QPushButton::clicked, this, &EconomicsScreen::openBestRegime);
    connect(cmdCalcular, &QPushButton::clicked, this, [this] { calculate(false); });
    for (QLineEdit *box : inputs_->boxes())
        connect(box, &QLineEdit::returnPressed, this, [this] { calculate(false); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(prices);
    layout->addWidget(results_, 1);
    layout->addLayout(buttons);

    // Values remembered from last time are shown at once; none is not an error.
    calculate(true);
}

EconomicsScreen::~EconomicsScreen() = default;

void EconomicsScreen::calculate(bool quiet)
{
    const EconomicTexts texts = typedTexts();
    const auto read = readEconomicInputs(texts);
    if (const auto *refusal = std::get_if<EconomicRefusal>(&read)) {
        if (!quiet) {
            whileBusy([&] { ctx_.show(this, refusal->message); });
            inputs_->pointAt(static_cast<size_t>(refusal->field));
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
    if (!inputs_->remember() && !quiet)
        whileBusy([&] {
            ctx_.show(this, Message::warning("Avaliação Económica",
                                             "Não foi possível guardar os valores para a próxima utilização."));
        });
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
    const std::vector<ChartPoint> flow = cumulativeDiscountedFlow(valuation);
    drawLines(chtFluxoActualizado, {{&flow, QStringLiteral("Fluxo actualizado acumulado"), chart_colours::kBlue}},
              {QStringLiteral("Idade (anos)"), QStringLiteral("€/ha"), 5.0});
    const std::vector<ChartPoint> byRate = npvByRate(valuation);
    drawLines(chtVALTaxa, {{&byRate, QStringLiteral("VAL em função da taxa"), chart_colours::kVermilion}},
              {QStringLiteral("Taxa de actualização (%)"), QStringLiteral("€/ha"), 1.0});
}

EconomicTexts EconomicsScreen::typedTexts() const
{
    const std::vector<std::string> typed = inputs_->texts();
    EconomicTexts texts;
    for (const EconomicFieldInfo &info : kEconomicFields)
        texts[info.field] = typed[static_cast<size_t>(info.field)];
    return texts;
}

std::optional<EconomicTexts> EconomicsScreen::acceptedInputs() const
{
    const EconomicTexts texts = typedTexts();
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
