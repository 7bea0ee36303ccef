#include "carbon_screen.h"

#include "base/numeric_text.h"
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

const QString kCarbonCaption = QStringLiteral("Balanço de Carbono");
// Column widths (twips) of the table by record row.
const std::vector<int> kCarbonColumnTwips = {800, 700, 600, 1300, 1200, 1200, 1100};
constexpr int kVisibleCarbonRows = 6;

// The stand, the products and their sum over age, in t C/ha; the old chart goes.
void drawCarbon(QChartView *view, const CarbonChart &lines)
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    auto *x = new QValueAxis;
    x->setTitleText(QStringLiteral("Idade (anos)"));
    x->setLabelFormat(QStringLiteral("%.0f"));
    auto *y = new QValueAxis;
    y->setTitleText(QStringLiteral("t C/ha"));
    y->setLabelFormat(QStringLiteral("%.0f"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    double left = 0.0, right = 1.0, high = 1.0;
    bool first = true;
    const struct {
        const std::vector<ChartPoint> *points;
        QString name;
        QColor colour;
    } series[] = {{&lines.stand, QStringLiteral("Povoamento"), chart_colours::kGreen},
                  {&lines.products, QStringLiteral("Produtos"), chart_colours::kOrange},
                  {&lines.total, QStringLiteral("Total"), chart_colours::kBlue}};
    for (const auto &s : series) {
        auto *line = new QLineSeries;
        line->setName(s.name);
        line->setColor(s.colour);
        for (const ChartPoint &p : *s.points) {
            line->append(p.x, p.y);
            left = first ? p.x : std::min(left, p.x);
            right = first ? p.x : std::max(right, p.x);
            high = std::max(high, p.y);
            first = false;
        }
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
    }
    if (right <= left)
        right = left + 1.0;
    x->setRange(left, right);
    // Ticks on the ages of the projection steps.
    x->setTickCount(std::clamp(static_cast<int>(std::lround((right - left) / 5.0)) + 1, 2, 13));
    y->setRange(0.0, high);
    y->applyNiceNumbers();
    chart->legend()->setVisible(true);
    chart->legend()->setAlignment(Qt::AlignTop);
    QChart *old = view->chart();
    view->setChart(chart);
    delete old;
}

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
    return QStringLiteral("carbono/") + QLatin1String(carbonFieldInfo(field).keyPath);
}

CarbonScreen::CarbonScreen(AppContext &ctx) : ReturningWindow(ctx, WindowId::Carbon, WindowId::End)
{
    setWindowTitle(kCarbonCaption);

    // The factors, filled with what was typed last time; an empty box shows its default.
    auto *factors = new QGroupBox(QStringLiteral("Factores (vazio: valor por omissão)"), this);
    factors->setObjectName(QStringLiteral("frmFactores"));
    auto *form = new QFormLayout;
    auto *form2 = new QFormLayout;
    for (const CarbonFieldInfo &info : kCarbonFields) {
        auto *box = new QLineEdit(factors);
        box->setObjectName(QLatin1String(info.name));
        box->setMaximumWidth(120);
        box->setPlaceholderText(qs(plainNumberText(info.defaultValue)));
        if (ctx_.services.settings)
            if (const auto remembered = ctx_.services.settings->value(carbonSettingsKey(info.field)))
                box->setText(*remembered);
        inputs[static_cast<size_t>(info.field)] = box;
        (static_cast<int>(info.field) < 3 ? form : form2)->addRow(QString::fromUtf8(info.label), box);
    }
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
    chtCarbono = new QChartView(results_);
    chtCarbono->setObjectName(QStringLiteral("chtCarbono"));
    chtCarbono->setRenderHint(QPainter::Antialiasing);
    chtCarbono->setFrameShape(QFrame::NoFrame);
    chtCarbono->setBackgroundBrush(Qt::white);
    chtCarbono->setMinimumSize(600, 260);
    auto *resultsLayout = new QVBoxLayout(results_);
    resultsLayout->setContentsMargins(0, 0, 0, 0);
    resultsLayout->addWidget(lblUnidades);
    resultsLayout->addLayout(tableRow);
    resultsLayout->addWidget(chtCarbono, 1);

    cmdVoltar = ui::button(this, "cmdVoltar", QStringLiteral("Voltar ao ecran anterior"));
    cmdImprimir = ui::pictureButton(this, "cmdImprimir", ui::printIcon(), QStringLiteral("Imprimir o balanço"));
    cmdExportarTabela = ui::button(this, "cmdExportarTabela", QStringLiteral("Exportar tabela (CSV)"));
    cmdExportarGrafico = ui::button(this, "cmdExportarGrafico", QStringLiteral("Exportar gráfico (PNG)"));
    connect(cmdCalcular, &QPushButton::clicked, this, [this] { calculate(false); });
    for (QLineEdit *box : inputs)
        connect(box, &QLineEdit::returnPressed, this, [this] { calculate(false); });
    connect(cmdVoltar, &QPushButton::clicked, this, [this] { goBack(); });
    connect(cmdImprimir, &QPushButton::clicked, this, &CarbonScreen::print);
    // The save dialog must not close the window.
    connect(cmdExportarTabela, &QPushButton::clicked, this, [this] {
        whileBusy([&] { exportTableCsv(ctx_, this, *model_, exportBaseName(ctx_) + QStringLiteral("-carbono")); });
    });
    connect(cmdExportarGrafico, &QPushButton::clicked, this, [this] {
        whileBusy([&] { exportPicturePng(ctx_, this, chtCarbono, exportBaseName(ctx_) + QStringLiteral("-carbono")); });
    });

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdVoltar);
    buttons->addWidget(cmdImprimir);
    buttons->addWidget(cmdExportarTabela);
    buttons->addWidget(cmdExportarGrafico);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(factors);
    layout->addWidget(results_, 1);
    layout->addLayout(buttons);

    // The account with the factors remembered (or the defaults) is shown at once.
    calculate(true);
}

void CarbonScreen::calculate(bool quiet)
{
    CarbonTexts texts;
    for (const CarbonFieldInfo &info : kCarbonFields)
        texts[info.field] = input(info.field)->text().toStdString();
    const auto read = readCarbonFactors(texts);
    if (const auto *refusal = std::get_if<CarbonRefusal>(&read)) {
        if (!quiet) {
            whileBusy([&] { ctx_.show(this, refusal->message); });
            input(refusal->field)->setFocus();
            input(refusal->field)->selectAll();
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
    if (ctx_.services.settings) {
        bool stored = true;
        for (const CarbonFieldInfo &info : kCarbonFields)
            stored = ctx_.services.settings->setValue(carbonSettingsKey(info.field), input(info.field)->text()) &&
                     stored;
        if (!stored && !quiet)
            whileBusy([&] {
                ctx_.show(this, Message::warning("Balanço de Carbono",
                                                 "Não foi possível guardar os valores para a próxima utilização."));
            });
    }
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
    drawCarbon(chtCarbono, carbonChart(account));
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
