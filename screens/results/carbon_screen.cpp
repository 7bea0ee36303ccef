#include "carbon_screen.h"

#include "base/numeric_text.h"
#include "screens/results/remembered_boxes.h"
#include "screens/shell/export.h"
#include "screens/shell/app_context.h"
#include "screens/shell/log_printer.h"
#include "screens/structure/stand_screen.h"
#include "screens/shell/stand_table_model.h"

#include <QChart>
#include <QChartView>
#include <QFormLayout>
#include <QGridLayout>
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

// Where the typed values are remembered: "carbono/" and the field's key path.
const QString kCarbonSettingsPrefix = QStringLiteral("carbono/");
const QString kCarbonCaption = QStringLiteral("Balanço de Carbono");
// Column widths (twips) of the table by record row.
const std::vector<int> kCarbonColumnTwips = {800, 700, 600, 1300, 1200, 1200, 1100};
constexpr int kVisibleCarbonRows = 6;

QStringList headerTexts()
{
    QStringList headers;
    for (const char *h : kCarbonHeaders)
        headers << QString::fromUtf8(h);
    return headers;
}

} // namespace

QString carbonSettingsKey(CarbonField field)
{
    return kCarbonSettingsPrefix + QLatin1String(carbonFieldInfo(field).keyPath);
}

CarbonScreen::CarbonScreen(AppContext &ctx) : ReturningWindow(ctx, WindowId::Carbon, WindowId::End)
{
    setWindowTitle(kCarbonCaption);

    // The factors, filled with what was typed last time; an empty box shows its default.
    auto *factors = new QGroupBox(QStringLiteral("Factores (vazio: valor por omissão)"), this);
    factors->setObjectName(QStringLiteral("frmFactores"));
    auto *form = new QFormLayout;
    auto *form2 = new QFormLayout;
    std::vector<RememberedBoxes::Field> fields = RememberedBoxes::fieldsOf(kCarbonFields, kCarbonSettingsPrefix);
    for (const CarbonFieldInfo &info : kCarbonFields)
        fields[static_cast<size_t>(info.field)].placeholder = qs(plainNumberText(info.defaultValue));
    inputs_ = std::make_unique<RememberedBoxes>(ctx_, factors, fields);
    for (size_t i = 0; i < inputs_->boxes().size(); ++i)
        (i < 3 ? form : form2)->addRow(inputs_->label(i), inputs_->boxes()[i]);
    cmdCalcular = ui::button(factors, "cmdCalcular", QStringLiteral("Calcular"));
    auto *inputsRow = new QHBoxLayout(factors);
    inputsRow->addLayout(form);
    inputsRow->addSpacing(24);
    inputsRow->addLayout(form2);
    inputsRow->addSpacing(24);
    inputsRow->addWidget(cmdCalcular, 0, Qt::AlignBottom);
    inputsRow->addStretch(1);

    // The results: table, totals and chart; what is printed.
    results_ = new QWidget(this);
    results_->setObjectName(QStringLiteral("frmResultados"));
    model_ = new TextTableModel(this);
    model_->setCentredHeaders(true);
    model_->setTable(headerTexts(), {});
    lblUnidades = new QLabel(QString::fromUtf8(kCarbonUnits), results_);
    lblUnidades->setObjectName(QStringLiteral("lblUnidades"));
    GrelhaCarbono = ui::grid(results_, "GrelhaCarbono");
    GrelhaCarbono->setModel(model_);
    sizeColumns(*GrelhaCarbono, kCarbonColumnTwips);
    GrelhaCarbono->setMinimumWidth(fullTableWidth(*GrelhaCarbono, true));
    ui::fitGridHeight(*GrelhaCarbono, kVisibleCarbonRows);
    const char *totalNames[] = {"lblInicio", "lblFim", "lblBalanco", "lblStockMedio", "lblMedias", "lblEmitido"};
    auto *totals = new QVBoxLayout;
    totals->setSpacing(4);
    for (size_t i = 0; i < lblTotais.size(); ++i) {
        lblTotais[i] = new QLabel(results_);
        lblTotais[i]->setObjectName(QLatin1String(totalNames[i]));
        totals->addWidget(lblTotais[i]);
    }
    QFont bold = lblTotais[3]->font();
    bold.setBold(true);
    lblTotais[3]->setFont(bold);
    totals->addStretch(1);
    auto *tableRow = new QHBoxLayout;
    tableRow->addWidget(GrelhaCarbono);
    tableRow->addSpacing(16);
    tableRow->addLayout(totals, 1);
    chtCarbono = resultChartView(results_, "chtCarbono", QSize(600, 260));
    auto *resultsLayout = new QVBoxLayout(results_);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->addWidget(lblUnidades);
    resultsLayout->addLayout(tableRow);
    resultsLayout->addWidget(chtCarbono, 1);

    QHBoxLayout *buttons =
        resultButtons({QStringLiteral("Imprimir o balanço"), QStringLiteral("Exportar gráfico (PNG)"),
                       QStringLiteral("-carbono")},
                      *model_, chtCarbono, [this] { print(); });
    connect(cmdCalcular, &QPushButton::clicked, this, [this] { calculate(false); });
    for (QLineEdit *box : inputs_->boxes())
        connect(box, &QLineEdit::returnPressed, this, [this] { calculate(false); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(factors);
    layout->addWidget(results_, 1);
    layout->addLayout(buttons);

    // The account with the factors remembered (or the defaults) is shown at once.
    calculate(true);
}

CarbonScreen::~CarbonScreen() = default;

void CarbonScreen::calculate(bool quiet)
{
    const std::vector<std::string> typed = inputs_->texts();
    CarbonTexts texts;
    for (const CarbonFieldInfo &info : kCarbonFields)
        texts[info.field] = typed[static_cast<size_t>(info.field)];
    const auto read = readCarbonFactors(texts);
    if (const auto *refusal = std::get_if<CarbonRefusal>(&read)) {
        if (!quiet) {
            whileBusy([&] { ctx_.show(this, refusal->message); });
            inputs_->pointAt(static_cast<size_t>(refusal->field));
        }
        return;
    }
    const auto account = carbonOfSimulation(ctx_.state, std::get<CarbonFactors>(read));
    if (!account) {
        if (!quiet)
            whileBusy([&] { ctx_.show(this, Message::warning("Balanço de Carbono", "Não há estados registados.")); });
        return;
    }
    showAccount(*account);
    // Typed once, offered again in the next run of the program.
    if (!inputs_->remember() && !quiet)
        whileBusy([&] {
            ctx_.show(this, Message::warning("Balanço de Carbono",
                                             "Não foi possível guardar os valores para a próxima utilização."));
        });
}

void CarbonScreen::showAccount(const CarbonAccount &account)
{
    QVector<QStringList> rows;
    for (const auto &r : carbonTable(account)) {
        QStringList row;
        for (const std::string &c : r)
            row << qs(c);
        rows << row;
    }
    model_->setTable(headerTexts(), rows);
    sizeColumns(*GrelhaCarbono, kCarbonColumnTwips);
    GrelhaCarbono->setMinimumWidth(fullTableWidth(*GrelhaCarbono, model_->rowCount() > kVisibleCarbonRows));
    const std::vector<std::string> lines = carbonTotalsLines(account);
    for (size_t i = 0; i < lblTotais.size() && i < lines.size(); ++i)
        lblTotais[i]->setText(qs(lines[i]));
    // The stand, the products and their sum over age, in t C/ha.
    const CarbonChart chart = carbonChart(account);
    drawLines(chtCarbono,
              {{&chart.stand, QStringLiteral("Povoamento"), chart_colours::kGreen},
               {&chart.products, QStringLiteral("Produtos"), chart_colours::kOrange},
               {&chart.total, QStringLiteral("Total"), chart_colours::kBlue}},
              {QStringLiteral("Idade (anos)"), QStringLiteral("t C/ha"), 5.0, 1.0});
}

void CarbonScreen::print()
{
    const QPixmap picture = sharpPicture(results_);
    whileBusy([&] { printPicture(ctx_, this, picture); });
}

QWidget *createCarbonScreen(AppContext &ctx)
{
    auto *w = new CarbonScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.entrada());
    return w;
}

} // namespace tavelo
