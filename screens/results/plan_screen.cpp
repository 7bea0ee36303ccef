#include "plan_screen.h"
#include "screens/shell/widget_kit.h"

#include "carbon_screen.h"
#include "colour_classes.h"
#include "economics_screen.h"
#include "stand_map_view.h"

#include "base/calendar.h"
#include "base/numeric_text.h"
#include "base/output_folder.h"
#include "base/whole_file.h"
#include "inventory/inventory_source.h"
#include "inventory/plan_replay.h"
#include "inventory/plan_spatial.h"
#include "inventory/stand_adjacency.h"
#include "inventory/sqlite_db.h"
#include "screens/charts/regime_chart.h"
#include "screens/shell/app_context.h"
#include "screens/shell/read_problem_text.h"
#include "stand_replay.h"
#include "session/results/regime_comparison.h"

#include <QAbstractAxis>
#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QScrollBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QXYSeries>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>

namespace tavelo {

namespace {

const char *const kTitle = "Plano Florestal";
const QString kSettingsPrefix = QStringLiteral("plano/");

// The choices' places in their combo boxes (remembered by place): the
// candidates' search space before the regime files, the economics file before
// the valuation's factors, and the flows none, even, nondecreasing.
constexpr int kSpaceSource = 0;
constexpr int kEconomicsFile = 0;
constexpr int kNoFlow = 0, kEvenFlow = 1, kNondecreasingFlow = 2;
constexpr int kCarbonObjective = 1; // after the value
constexpr int kSoftAdjacency = 1;   // after the hard rule
constexpr int kDefaultFrontPoints = 5;

QLineEdit *box(QWidget *parent, const char *name, const QString &accessible, int chars)
{
    auto *b = ui::named(new QLineEdit(parent), name, accessible);
    b->setMaximumWidth(b->fontMetrics().horizontalAdvance(QLatin1Char('0')) * chars + 16);
    return b;
}

Message refused(const QString &field, const std::string &why)
{
    return Message::warning(kTitle, "\"" + field.toStdString() + "\": " + why);
}

std::string money(double v) { return formatFixed(v, 2); }

// The felling period's colour: hues around the wheel, the first period red.
QColor periodColour(int period, int periods)
{
    const int hue = periods > 0 ? (period * 300 / std::max(periods, 1)) % 360 : 0;
    return QColor::fromHsv(hue, 150, 225);
}

// Why no plan meets the constraints, in the words of the options' boxes.
std::string infeasibleText(ConstraintFamily family, FlowRule flow)
{
    const std::string flowName = flow == FlowRule::Even ? "o fluxo uniforme" : "o fluxo não decrescente";
    switch (family) {
    case ConstraintFamily::Flow: return "Nenhum plano cumpre " + flowName + "; sem ele há um plano.";
    case ConstraintFamily::EndingStock: return "Nenhum plano cumpre o stock final; sem ele há um plano.";
    case ConstraintFamily::FlowWithEndingStock:
        return "Nenhum plano cumpre " + flowName + " e o stock final juntos; sem um dos dois há um plano.";
    case ConstraintFamily::Carbon: return "Nenhum plano cumpre o carbono mínimo."; // see carbonFloorText
    case ConstraintFamily::Spatial:
        return "Nenhum plano cumpre a regra dos vizinhos; com a regra flexível há um plano que diz o que ela custa.";
    }
    return "Nenhum plano cumpre as restrições.";
}

// An impossible carbon floor, with the most carbon a plan reaches under the other constraints.
std::string carbonFloorText(double floor, std::optional<double> reachable)
{
    std::string text = "Nenhum plano cumpre o carbono mínimo de " + formatFixed(floor, 3) + " t C/ha.";
    if (reachable)
        text += " O máximo que um plano alcança com as outras restrições é " + formatFixed(*reachable, 3) +
                " t C/ha.";
    return text;
}

QString frontKindText(const FrontPoint &p)
{
    QString kind = p.kind == FrontPoint::Kind::ValueAnchor    ? QStringLiteral("âncora valor")
                   : p.kind == FrontPoint::Kind::CarbonAnchor ? QStringLiteral("âncora carbono")
                                                              : QString();
    if (p.knee)
        kind += kind.isEmpty() ? QStringLiteral("joelho") : QStringLiteral(", joelho");
    return kind;
}

} // namespace

PlanScreen::PlanScreen(AppContext &ctx, QWidget *owner) : QWidget(owner, Qt::Window), ctx_(ctx)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    buildWindow();
    connectControls();
    restoreInputs();
    flowChosen();
    setRunning(false);
    colourMap();
}

PlanScreen::~PlanScreen()
{
    for (QObject *control : findChildren<QObject *>())
        disconnect(control, nullptr, this, nullptr);
    stopWorker();
}

void PlanScreen::stopWorker()
{
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

// Closing the window stops a plan under way; the plan shown stays for the next opening.
void PlanScreen::closeEvent(QCloseEvent *event)
{
    if (running()) {
        stopWorker();
        setRunning(false);
        pbProgresso->setRange(0, 1);
        pbProgresso->setValue(0);
        lblEstado->setText(QStringLiteral("Plano cancelado."));
    }
    QWidget::closeEvent(event);
}

void PlanScreen::buildWindow()
{
    setObjectName(QStringLiteral("frmPlano"));
    setWindowTitle(QString::fromUtf8(kTitle));
    resize(1000, 700);
    auto *main = new QVBoxLayout(this);
    lblInventario = ui::named(new QLabel(this), "lblInventario", QStringLiteral("Inventário do plano"));
    main->addWidget(lblInventario);

    // The options, a row each kind; a new option takes a row below the last.
    auto *options = new QGroupBox(QStringLiteral("Opções do plano"), this);
    opcoes_ = new QGridLayout(options);
    cboCandidatos = ui::named(new QComboBox(options), "cboCandidatos", QStringLiteral("Origem dos candidatos"));
    cboCandidatos->addItems({QStringLiteral("Espaço de procura"), QStringLiteral("Ficheiros de regime")});
    txtCandidatos = ui::named(new QLineEdit(options), "txtCandidatos", QStringLiteral("Ficheiros dos candidatos"));
    txtCandidatos->setPlaceholderText(QStringLiteral("vários regimes separados por ;"));
    cmdAbrirCandidatos = ui::captionedButton(options, "cmdAbrirCandidatos", QStringLiteral("Abrir..."));
    cboEconomia = ui::named(new QComboBox(options), "cboEconomia", QStringLiteral("Origem da economia"));
    cboEconomia->addItems({QStringLiteral("Ficheiro de economia"), QStringLiteral("Factores da avaliação económica")});
    txtEconomia = ui::named(new QLineEdit(options), "txtEconomia", QStringLiteral("Ficheiro de economia"));
    cmdAbrirEconomia = ui::captionedButton(options, "cmdAbrirEconomia", QStringLiteral("Abrir..."));
    cmdAbrirEconomia->setAccessibleName(QStringLiteral("Abrir ficheiro de economia"));
    cmdAbrirCandidatos->setAccessibleName(QStringLiteral("Abrir ficheiro dos candidatos"));
    txtValorSolo = box(options, "txtValorSolo", QStringLiteral("Valor do solo (€/ha)"), 8);
    txtHorizonte = box(options, "txtHorizonte", QStringLiteral("Horizonte (anos)"), 5);
    cboFluxo = ui::named(new QComboBox(options), "cboFluxo", QStringLiteral("Fluxo de colheita"));
    cboFluxo->addItems({QStringLiteral("Nenhum"), QStringLiteral("Uniforme ± %"), QStringLiteral("Não decrescente")});
    txtFluxoPercentagem = box(options, "txtFluxoPercentagem", QStringLiteral("Tolerância do fluxo uniforme (%)"), 5);
    cboBaseFluxo = ui::named(new QComboBox(options), "cboBaseFluxo", QStringLiteral("Volume do fluxo"));
    cboBaseFluxo->addItems({QStringLiteral("Volume total"), QStringLiteral("Madeira")});
    txtStockFinal = box(options, "txtStockFinal", QStringLiteral("Stock final (% do inicial)"), 6);
    txtStockFinal->setPlaceholderText(QStringLiteral("sem"));
    txtGap = box(options, "txtGap", QStringLiteral("Gap (%)"), 6);
    txtGap->setPlaceholderText(QStringLiteral("0.1"));
    txtTempoMaximo = box(options, "txtTempoMaximo", QStringLiteral("Tempo máximo (s)"), 6);
    txtTempoMaximo->setPlaceholderText(QStringLiteral("sem"));
    txtCarbonoMinimo = box(options, "txtCarbonoMinimo", QStringLiteral("Carbono mínimo (t C/ha)"), 7);
    txtCarbonoMinimo->setPlaceholderText(QStringLiteral("sem"));
    cboObjectivo = ui::named(new QComboBox(options), "cboObjectivo", QStringLiteral("Objectivo do plano"));
    cboObjectivo->addItems({QStringLiteral("Valor"), QStringLiteral("Carbono")});
    chkFrente = ui::named(new QCheckBox(QStringLiteral("Frente valor-carbono:"), options), "chkFrente",
                      QStringLiteral("Frente entre valor e carbono"));
    spnPontosFrente = ui::named(new QSpinBox(options), "spnPontosFrente", QStringLiteral("Planos da frente entre as âncoras"));
    spnPontosFrente->setRange(1, static_cast<int>(kMostFrontPoints));
    spnPontosFrente->setValue(kDefaultFrontPoints);
    spnPontosFrente->setSuffix(QStringLiteral(" planos entre as âncoras"));
    txtIntervaloVizinhos = box(options, "txtIntervaloVizinhos", QStringLiteral("Intervalo entre cortes vizinhos (anos)"), 5);
    txtIntervaloVizinhos->setPlaceholderText(QStringLiteral("sem"));
    txtAberturaMaxima = box(options, "txtAberturaMaxima", QStringLiteral("Abertura máxima (ha)"), 6);
    txtAberturaMaxima->setPlaceholderText(QStringLiteral("sem"));
    cboAdjacencia = ui::named(new QComboBox(options), "cboAdjacencia", QStringLiteral("Regra dos vizinhos"));
    cboAdjacencia->addItems({QStringLiteral("Rígida"), QStringLiteral("Flexível, €:")});
    txtCustoConflito = box(options, "txtCustoConflito", QStringLiteral("Custo por conflito (€)"), 7);
    txtFronteiraMinima = box(options, "txtFronteiraMinima", QStringLiteral("Fronteira partilhada mínima (m)"), 5);
    txtFronteiraMinima->setPlaceholderText(QStringLiteral("0"));
    lblVizinhos = ui::named(new QLabel(options), "lblVizinhos", QStringLiteral("Mapa para a regra dos vizinhos"));

    auto caption = [&](const QString &text, QWidget *buddy) {
        auto *l = new QLabel(text, options);
        l->setBuddy(buddy);
        return l;
    };
    // Four columns: the caption, a choice, a file (the widest) and its button;
    // the numbers' rows span the last three.
    opcoes_->addWidget(caption(QStringLiteral("Candidatos:"), cboCandidatos), 0, 0);
    opcoes_->addWidget(cboCandidatos, 0, 1);
    opcoes_->addWidget(txtCandidatos, 0, 2);
    opcoes_->addWidget(cmdAbrirCandidatos, 0, 3);
    opcoes_->addWidget(caption(QStringLiteral("Economia:"), cboEconomia), 1, 0);
    opcoes_->addWidget(cboEconomia, 1, 1);
    opcoes_->addWidget(txtEconomia, 1, 2);
    opcoes_->addWidget(cmdAbrirEconomia, 1, 3);
    auto row = [&](int at, const QString &text, std::initializer_list<std::pair<QString, QWidget *>> rest,
                   QWidget *first) {
        opcoes_->addWidget(caption(text, first), at, 0);
        auto *line = new QHBoxLayout;
        line->addWidget(first);
        for (const auto &[label, w] : rest) {
            if (!label.isEmpty())
                line->addWidget(caption(label, w));
            line->addWidget(w);
        }
        line->addStretch(1);
        opcoes_->addLayout(line, at, 1, 1, 3);
    };
    row(2, QStringLiteral("Horizonte (anos):"), {{QStringLiteral("  Valor do solo (€/ha):"), txtValorSolo}},
        txtHorizonte);
    row(3, QStringLiteral("Fluxo:"),
        {{QString(), txtFluxoPercentagem},
         {QStringLiteral("sobre:"), cboBaseFluxo},
         {QStringLiteral("  Stock final (% do inicial):"), txtStockFinal}},
        cboFluxo);
    row(4, QStringLiteral("Gap (%):"), {{QStringLiteral("  Tempo máximo (s):"), txtTempoMaximo}}, txtGap);
    row(5, QStringLiteral("Carbono mínimo (t C/ha):"),
        {{QStringLiteral("  Objectivo:"), cboObjectivo},
         {QString(), chkFrente},
         {QString(), spnPontosFrente}},
        txtCarbonoMinimo);
    row(6, QStringLiteral("Vizinhos, intervalo (anos):"),
        {{QStringLiteral("  Abertura máxima (ha):"), txtAberturaMaxima},
         {QStringLiteral("  Regra:"), cboAdjacencia},
         {QString(), txtCustoConflito},
         {QStringLiteral("  Fronteira mínima (m):"), txtFronteiraMinima},
         {QString(), lblVizinhos}},
        txtIntervaloVizinhos);
    opcoes_->setColumnStretch(2, 1);
    main->addWidget(options);

    auto *runRow = new QHBoxLayout;
    cmdPlanear = ui::captionedButton(this, "cmdPlanear", QStringLiteral("Planear"));
    cmdCancelar = ui::captionedButton(this, "cmdCancelar", QStringLiteral("Cancelar"));
    pbProgresso = ui::named(new QProgressBar(this), "pbProgresso", QStringLiteral("Progresso do plano"));
    pbProgresso->setRange(0, 1);
    pbProgresso->setValue(0);
    runRow->addWidget(cmdPlanear);
    runRow->addWidget(cmdCancelar);
    runRow->addWidget(pbProgresso, 1);
    main->addLayout(runRow);
    lblEstado = ui::named(new QLabel(this), "lblEstado", QStringLiteral("Estado do resolvedor"));
    lblResumo = ui::named(new QLabel(this), "lblResumo", QStringLiteral("Totais do plano"));
    lblResumo->setWordWrap(true);
    main->addWidget(lblEstado);
    main->addWidget(lblResumo);

    auto *tabs = ui::named(new QTabWidget(this), "tabResultados", QStringLiteral("Resultados do plano"));
    // The stands: the table and the map side by side.
    auto *standsTab = new QSplitter(Qt::Horizontal, tabs);
    tblPovoamentos = ui::named(new QTableView(standsTab), "tblPovoamentos", QStringLiteral("Povoamentos do plano"));
    standsModel_ = new QStandardItemModel(this);
    tblPovoamentos->setModel(standsModel_);
    tblPovoamentos->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblPovoamentos->setSelectionMode(QAbstractItemView::SingleSelection);
    tblPovoamentos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPovoamentos->verticalHeader()->setVisible(false);
    tblPovoamentos->setSortingEnabled(true);
    auto *mapSide = new QWidget(standsTab);
    auto *mapLayout = new QHBoxLayout(mapSide);
    mapLayout->setContentsMargins(0, 0, 0, 0);
    mapa = ui::named(new StandMapView(mapSide), "mapa", QStringLiteral("Mapa do plano por período de corte"));
    legenda = ui::named(new QWidget(mapSide), "legenda", QStringLiteral("Legenda do mapa"));
    legenda->setMinimumWidth(130);
    legendLayout_ = new QVBoxLayout(legenda);
    legendLayout_->setAlignment(Qt::AlignTop);
    mapLayout->addWidget(mapa, 1);
    auto *legendSide = new QVBoxLayout;
    cmdAjustar = ui::captionedButton(mapSide, "cmdAjustar", QStringLiteral("Ajustar"));
    cmdAjustar->setAccessibleName(QStringLiteral("Ajustar o mapa à janela"));
    legendSide->addWidget(legenda, 1);
    legendSide->addWidget(cmdAjustar);
    mapLayout->addLayout(legendSide);
    standsTab->addWidget(tblPovoamentos);
    standsTab->addWidget(mapSide);
    standsTab->setStretchFactor(0, 1);
    standsTab->setStretchFactor(1, 1);
    tabs->addTab(standsTab, QStringLiteral("Povoamentos e mapa"));

    // The harvest's table and its chart each a tab: side by side neither fits 1024 pixels.
    tblPeriodos = ui::named(new QTableWidget(tabs), "tblPeriodos", QStringLiteral("Colheita por período"));
    tblPeriodos->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblPeriodos->verticalHeader()->setVisible(false);
    tabs->addTab(tblPeriodos, QStringLiteral("Colheita por período"));
    chtColheita = ui::named(new QChartView(tabs), "chtColheita", QStringLiteral("Gráfico da colheita por período"));
    chtColheita->setRenderHint(QPainter::Antialiasing);
    tabs->addTab(chtColheita, QStringLiteral("Gráfico da colheita"));

    lstSemCandidatos = ui::named(new QListWidget(tabs), "lstSemCandidatos", QStringLiteral("Povoamentos sem candidatos"));
    tabs->addTab(lstSemCandidatos, QStringLiteral("Sem candidatos"));

    // The front: its chart beside the table of its points; shown only with a front.
    auto *frontTab = new QSplitter(Qt::Horizontal, tabs);
    frontTab_ = frontTab;
    chtFrente = ui::named(new QChartView(frontTab), "chtFrente", QStringLiteral("Gráfico da frente valor-carbono"));
    chtFrente->setRenderHint(QPainter::Antialiasing);
    tblFrente = ui::named(new QTableWidget(frontTab), "tblFrente", QStringLiteral("Planos da frente valor-carbono"));
    tblFrente->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblFrente->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblFrente->setSelectionMode(QAbstractItemView::SingleSelection);
    tblFrente->verticalHeader()->setVisible(false);
    frontTab->addWidget(chtFrente);
    frontTab->addWidget(tblFrente);
    frontTab->setStretchFactor(0, 1);
    frontTab->setStretchFactor(1, 0);
    tabs->addTab(frontTab, QStringLiteral("Frente valor-carbono"));
    tabs->setTabVisible(tabs->indexOf(frontTab), false);
    main->addWidget(tabs, 1);

    auto *bottom = new QHBoxLayout;
    cmdVerSimulacao = ui::captionedButton(this, "cmdVerSimulacao", QStringLiteral("Ver simulação"));
    cmdGuardar = ui::captionedButton(this, "cmdGuardar", QStringLiteral("Guardar plano..."));
    cmdFechar = ui::captionedButton(this, "cmdFechar", QStringLiteral("Fechar"));
    bottom->addWidget(cmdVerSimulacao);
    bottom->addWidget(cmdGuardar);
    bottom->addStretch(1);
    bottom->addWidget(cmdFechar);
    main->addLayout(bottom);
}

void PlanScreen::connectControls()
{
    connect(cboFluxo, &QComboBox::currentIndexChanged, this, &PlanScreen::flowChosen);
    connect(cboEconomia, &QComboBox::currentIndexChanged, this, &PlanScreen::flowChosen);
    connect(cmdAbrirCandidatos, &QPushButton::clicked, this, &PlanScreen::chooseCandidates);
    connect(cmdAbrirEconomia, &QPushButton::clicked, this, &PlanScreen::chooseEconomics);
    connect(cmdPlanear, &QPushButton::clicked, this, &PlanScreen::plan);
    connect(cmdCancelar, &QPushButton::clicked, this, &PlanScreen::cancel);
    connect(mapa, &StandMapView::standPicked, this, &PlanScreen::pickStand);
    connect(cmdAjustar, &QPushButton::clicked, mapa, &StandMapView::fit);
    connect(tblPovoamentos->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &PlanScreen::tableSelectionChanged);
    connect(cmdVerSimulacao, &QPushButton::clicked, this, &PlanScreen::showStand);
    connect(tblFrente, &QTableWidget::itemSelectionChanged, this, &PlanScreen::frontRowChosen);
    connect(chkFrente, &QCheckBox::toggled, this, &PlanScreen::flowChosen);
    connect(cboObjectivo, &QComboBox::currentIndexChanged, this, &PlanScreen::flowChosen);
    connect(cboAdjacencia, &QComboBox::currentIndexChanged, this, &PlanScreen::flowChosen);
    connect(cmdGuardar, &QPushButton::clicked, this, &PlanScreen::save);
    connect(cmdFechar, &QPushButton::clicked, this, &QWidget::close);
}

// The boxes and choices typed last come back at the next opening.
void PlanScreen::restoreInputs()
{
    txtHorizonte->setText(QStringLiteral("30"));
    txtFluxoPercentagem->setText(QStringLiteral("10"));
    SettingsService *settings = ctx_.services.settings;
    if (!settings)
        return;
    for (QLineEdit *b : findChildren<QLineEdit *>())
        if (const auto v = settings->value(kSettingsPrefix + b->objectName()))
            b->setText(*v);
    for (QComboBox *c : findChildren<QComboBox *>())
        if (const auto v = settings->value(kSettingsPrefix + c->objectName())) {
            bool ok = false;
            const int i = v->toInt(&ok);
            if (ok && i >= 0 && i < c->count())
                c->setCurrentIndex(i);
        }
    if (const auto v = settings->value(kSettingsPrefix + chkFrente->objectName()))
        chkFrente->setChecked(*v == QStringLiteral("1"));
    if (const auto v = settings->value(kSettingsPrefix + spnPontosFrente->objectName()))
        spnPontosFrente->setValue(v->toInt()); // kept within its range
}

void PlanScreen::rememberInputs() const
{
    SettingsService *settings = ctx_.services.settings;
    if (!settings)
        return;
    for (QLineEdit *b : findChildren<QLineEdit *>())
        settings->setValue(kSettingsPrefix + b->objectName(), b->text());
    for (QComboBox *c : findChildren<QComboBox *>())
        settings->setValue(kSettingsPrefix + c->objectName(), QString::number(c->currentIndex()));
    settings->setValue(kSettingsPrefix + chkFrente->objectName(),
                       chkFrente->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    settings->setValue(kSettingsPrefix + spnPontosFrente->objectName(), QString::number(spnPontosFrente->value()));
}

void PlanScreen::flowChosen()
{
    const bool flow = cboFluxo->currentIndex() != kNoFlow;
    txtFluxoPercentagem->setEnabled(!running() && cboFluxo->currentIndex() == kEvenFlow);
    cboBaseFluxo->setEnabled(!running() && flow);
    const bool file = cboEconomia->currentIndex() == kEconomicsFile;
    txtEconomia->setEnabled(!running() && file);
    cmdAbrirEconomia->setEnabled(!running() && file);
    txtValorSolo->setEnabled(!running() && !file);
    chkFrente->setEnabled(!running());
    spnPontosFrente->setEnabled(!running() && chkFrente->isChecked());
    const bool spatial = !running() && spatialMap_;
    for (QWidget *w : std::initializer_list<QWidget *>{txtIntervaloVizinhos, txtAberturaMaxima, cboAdjacencia,
                                                       txtFronteiraMinima})
        w->setEnabled(spatial);
    txtCustoConflito->setEnabled(spatial && cboAdjacencia->currentIndex() == kSoftAdjacency);
}

void PlanScreen::setInventory(const QString &inventory, const QString &layer)
{
    inventory_ = inventory;
    layer_ = layer;
    // Neighbours need outlines measured in metres: a layer in degrees or without outlines cannot give them.
    spatialMap_ = false;
    QString why = QStringLiteral("(sem contornos no inventário)");
    try {
        if (!inventory.isEmpty()) {
            const std::unique_ptr<InventorySource> source = openInventory(inventory.toStdString(), layer.toStdString());
            if (!source->geometryType().empty()) {
                const StandAdjacency probe = standAdjacency({}, source->crs(), 0.0);
                spatialMap_ = probe.outcome != StandAdjacency::Outcome::Geographic;
                if (!spatialMap_)
                    why = QStringLiteral("(o mapa está em graus, %1)").arg(qs(probe.crs));
            }
        }
    } catch (const std::exception &) {
        why = QStringLiteral("(o inventário não se lê)");
    }
    lblVizinhos->setText(spatialMap_ ? QString() : why);
    flowChosen();
    lblInventario->setText(inventory.isEmpty() ? QStringLiteral("Inventário: nenhum escolhido")
                           : layer.isEmpty()   ? QStringLiteral("Inventário: %1").arg(inventory)
                                               : QStringLiteral("Inventário: %1 (camada %2)").arg(inventory, layer));
}

void PlanScreen::chooseCandidates()
{
    const bool space = cboCandidatos->currentIndex() == kSpaceSource;
    const QString f = ctx_.services.files->openFileName(
        this, space ? QStringLiteral("Abrir espaço de procura") : QStringLiteral("Abrir regime"),
        QStringLiteral("JSON (*.json);;Todos os ficheiros (*)"));
    if (f.isEmpty())
        return;
    // Regime files gather: each one opened joins the list.
    if (!space && !txtCandidatos->text().trimmed().isEmpty())
        txtCandidatos->setText(txtCandidatos->text() + QStringLiteral("; ") + f);
    else
        txtCandidatos->setText(f);
}

void PlanScreen::chooseEconomics()
{
    const QString f = ctx_.services.files->openFileName(this, QStringLiteral("Abrir ficheiro de economia"),
                                                        QStringLiteral("JSON (*.json);;Todos os ficheiros (*)"));
    if (!f.isEmpty())
        txtEconomia->setText(f);
}

std::variant<PlanRequest, Message> PlanScreen::readRequest()
{
    PlanRequest request;
    // Refuses `field`, its box focused and its text selected for typing over.
    auto refuse = [](QWidget *field, const std::string &why) -> std::variant<PlanRequest, Message> {
        field->setFocus();
        if (auto *line = qobject_cast<QLineEdit *>(field))
            line->selectAll();
        return refused(field->accessibleName(), why);
    };
    auto number = [](const QLineEdit *b) { return parseNumber(b->text().trimmed().toStdString()); };
    if (inventory_.isEmpty())
        return Message::warning(kTitle, "Escolha o inventário na janela \"Simulação de Inventário\".");

    // The options first, in the order the boxes show them, as the command line checks them.
    const auto years = number(txtHorizonte);
    request.settings.horizonYears =
        years && *years >= 0 && *years <= 10000 && std::floor(*years) == *years ? static_cast<int>(*years) : -1;
    PlanConstraints &c = request.constraints;
    c.flow = cboFluxo->currentIndex() == kEvenFlow           ? FlowRule::Even
             : cboFluxo->currentIndex() == kNondecreasingFlow ? FlowRule::Nondecreasing
                                                              : FlowRule::None;
    if (c.flow == FlowRule::Even)
        c.evenPercent = number(txtFluxoPercentagem).value_or(std::nan(""));
    c.basis = cboBaseFluxo->currentIndex() == 1 ? FlowBasis::Sawlog : FlowBasis::Total;
    if (!txtStockFinal->text().trimmed().isEmpty())
        c.endingStockPercent = number(txtStockFinal).value_or(std::nan(""));
    if (!txtGap->text().trimmed().isEmpty())
        c.gapPercent = number(txtGap).value_or(std::nan(""));
    if (!txtTempoMaximo->text().trimmed().isEmpty())
        c.maxSeconds = number(txtTempoMaximo).value_or(std::nan(""));
    if (!txtCarbonoMinimo->text().trimmed().isEmpty())
        c.minCarbonPerHa = number(txtCarbonoMinimo).value_or(std::nan(""));
    c.objective = cboObjectivo->currentIndex() == kCarbonObjective ? PlanObjective::Carbon : PlanObjective::Value;
    if (chkFrente->isChecked())
        request.frontPoints = static_cast<size_t>(spnPontosFrente->value());
    if (spatialMap_) {
        const bool soft = cboAdjacencia->currentIndex() == kSoftAdjacency;
        if (txtIntervaloVizinhos->text().trimmed().isEmpty()) {
            for (QLineEdit *b : {txtAberturaMaxima, txtFronteiraMinima, txtCustoConflito})
                if (!b->text().trimmed().isEmpty() && (b != txtCustoConflito || soft))
                    return refuse(b, "precisa do intervalo entre cortes vizinhos.");
        } else {
            SpatialRule rule;
            const auto years = number(txtIntervaloVizinhos);
            rule.greenUpYears = years && std::floor(*years) == *years && std::abs(*years) <= 10000.0
                                    ? static_cast<int>(*years)
                                    : -1;
            if (!txtAberturaMaxima->text().trimmed().isEmpty())
                rule.maxOpeningHa = number(txtAberturaMaxima).value_or(std::nan(""));
            if (soft)
                rule.softPrice = number(txtCustoConflito).value_or(std::nan(""));
            if (!txtFronteiraMinima->text().trimmed().isEmpty())
                request.minSharedBoundary = number(txtFronteiraMinima).value_or(std::nan(""));
            c.spatial = rule;
        }
    }
    switch (planRequestProblem(request).value_or(PlanRequestField::CandidateSource)) {
    case PlanRequestField::Horizon:
        return refuse(txtHorizonte, "deve ser um número de anos, múltiplo de 5, de 5 a 200.");
    case PlanRequestField::EvenPercent:
        return refuse(txtFluxoPercentagem, "deve ser uma percentagem de 0 a 100.");
    case PlanRequestField::EndingStockPercent:
        return refuse(txtStockFinal, "deve ser uma percentagem de 0 a 1000, ou nada.");
    case PlanRequestField::GapPercent:
        return refuse(txtGap, "deve ser uma percentagem de 0 a 100.");
    case PlanRequestField::TimeLimit:
        return refuse(txtTempoMaximo, "deve ser um número de segundos acima de 0, ou nada.");
    case PlanRequestField::CandidateSource:
    case PlanRequestField::MinCarbon:
    case PlanRequestField::FrontPoints:
    case PlanRequestField::GreenUp:
    case PlanRequestField::MaxOpening:
    case PlanRequestField::MinSharedBoundary:
    case PlanRequestField::SoftPrice:
        break; // checked once the candidates are read, below
    }

    // The economics: a file's options and prices, or the valuation window's factors this year.
    PlanSettings &settings = request.settings;
    std::optional<Regime> econRegime;
    EconomicTexts texts;
    if (cboEconomia->currentIndex() == kEconomicsFile) {
        const std::string path = txtEconomia->text().trimmed().toStdString();
        if (path.empty())
            return refuse(txtEconomia, "escolha o ficheiro de economia.");
        const auto json = readWholeFile(path);
        if (!json)
            return refuse(txtEconomia, "não é possível ler " + path + ".");
        auto econ = parseRegime(*json, thisYear());
        if (const auto *problem = std::get_if<ReadProblem>(&econ))
            return refuse(txtEconomia, path + ": " + portugueseText(*problem));
        econRegime = std::get<Regime>(std::move(econ));
        if (!econRegime->economics)
            return refuse(txtEconomia, path + " não tem a secção \"economics\".");
        texts = *econRegime->economics;
        settings.options = econRegime->options;
        request.economicsJson = *json;
        if (econRegime->carbon) {
            const auto factors = readCarbonFactors(*econRegime->carbon);
            if (const auto *refusal = std::get_if<CarbonRefusal>(&factors))
                return refuse(txtEconomia, path + ": " + refusal->keyPath + ": " + refusal->message.text);
            settings.carbon = std::get<CarbonFactors>(factors);
        }
    } else {
        for (const EconomicFieldInfo &info : kEconomicFields)
            if (ctx_.services.settings)
                texts[info.field] =
                    ctx_.services.settings->value(economicsSettingsKey(info.field)).value_or(QString()).toStdString();
        texts.landValue = txtValorSolo->text().trimmed().toStdString();
        settings.options.year = thisYear();
        // The carbon factors typed last in the carbon window, as its account uses them.
        CarbonTexts carbon;
        for (const CarbonFieldInfo &info : kCarbonFields)
            if (ctx_.services.settings)
                carbon[info.field] =
                    ctx_.services.settings->value(carbonSettingsKey(info.field)).value_or(QString()).toStdString();
        const auto factors = readCarbonFactors(carbon);
        if (const auto *refusal = std::get_if<CarbonRefusal>(&factors))
            return refuse(cboEconomia, "Balanço de Carbono: " + refusal->message.text);
        settings.carbon = std::get<CarbonFactors>(factors);
    }
    const auto inputs = readEconomicInputs(texts);
    if (const auto *refusal = std::get_if<EconomicRefusal>(&inputs))
        return refuse(cboEconomia->currentIndex() == kEconomicsFile ? static_cast<QWidget *>(txtEconomia)
                                                                      : static_cast<QWidget *>(cboEconomia),
                      refusal->message.text);
    settings.economics = std::get<EconomicInputs>(inputs);
    const auto land = readLandValue(texts);
    if (const auto *m = std::get_if<Message>(&land))
        return refuse(cboEconomia->currentIndex() == kEconomicsFile ? txtEconomia : txtValorSolo, m->text);
    settings.landValue = std::get<double>(land);
    const auto year = parseNumber(settings.options.year);
    if (!year || *year < 1000 || *year > 9999 || std::floor(*year) != *year)
        return refuse(txtEconomia, "o ano das opções (options.year) deve ser um ano como 2026.");
    settings.startYear = static_cast<int>(*year);

    // The candidates: one search space, or regime files separated by ";".
    QStringList files;
    for (const QString &f : txtCandidatos->text().split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!f.trimmed().isEmpty())
            files << f.trimmed();
    if (files.isEmpty())
        return refuse(txtCandidatos, "escolha o espaço de procura ou os ficheiros de regime.");
    if (cboCandidatos->currentIndex() == kSpaceSource) {
        if (files.size() > 1)
            return refuse(txtCandidatos, "um só espaço de procura.");
        const std::string path = files.first().toStdString();
        const auto json = readWholeFile(path);
        if (!json)
            return refuse(txtCandidatos, "não é possível ler " + path + ".");
        auto space = parseSearchSpace(*json);
        if (const auto *e = std::get_if<SearchSpaceError>(&space))
            return refuse(txtCandidatos, path + ": " + portugueseText(e->problem));
        request.source.space = std::get<SearchSpace>(std::move(space));
    } else {
        std::vector<std::string> paths;
        for (const QString &f : files)
            paths.push_back(f.toStdString());
        const std::vector<std::string> labels = regimeLabels(paths);
        for (size_t i = 0; i < paths.size(); ++i) {
            const auto json = readWholeFile(paths[i]);
            if (!json)
                return refuse(txtCandidatos, "não é possível ler " + paths[i] + ".");
            auto regime = parseRegime(*json, thisYear());
            if (const auto *problem = std::get_if<ReadProblem>(&regime))
                return refuse(txtCandidatos, paths[i] + ": " + portugueseText(*problem));
            if (const auto &carbon = std::get<Regime>(regime).carbon) {
                const auto factors = readCarbonFactors(*carbon);
                if (const auto *refusal = std::get_if<CarbonRefusal>(&factors))
                    return refuse(txtCandidatos, paths[i] + ": " + refusal->keyPath + ": " + refusal->message.text);
            }
            if (std::get<Regime>(regime).options.year != settings.options.year)
                return refuse(txtCandidatos, paths[i] + ": o ano das opções difere do ano do plano (" +
                                                 settings.options.year + ").");
            request.source.regimes.emplace_back(labels[i], std::get<Regime>(std::move(regime)));
        }
    }
    request.inventory = inventory_.toStdString();
    request.layer = layer_.toStdString();
    switch (planRequestProblem(request).value_or(PlanRequestField::CandidateSource)) {
    case PlanRequestField::MinCarbon:
        return refuse(txtCarbonoMinimo, "deve ser um número de t C/ha de 0 a 10000, ou nada.");
    case PlanRequestField::FrontPoints:
        return refuse(spnPontosFrente, "a frente pede o valor como objectivo e nenhum carbono mínimo.");
    case PlanRequestField::GreenUp:
        return refuse(txtIntervaloVizinhos, "deve ser um número de anos, múltiplo de 5, de 5 a 200, ou nada.");
    case PlanRequestField::MaxOpening:
        return refuse(txtAberturaMaxima, "deve ser um número de hectares acima de 0, ou nada.");
    case PlanRequestField::MinSharedBoundary:
        return refuse(txtFronteiraMinima, "deve ser um número de metros, 0 ou mais, ou nada.");
    case PlanRequestField::SoftPrice:
        return refuse(txtCustoConflito, "deve ser um número de euros, 0 ou mais.");
    case PlanRequestField::Horizon:
    case PlanRequestField::EvenPercent:
    case PlanRequestField::EndingStockPercent:
    case PlanRequestField::GapPercent:
    case PlanRequestField::TimeLimit:
    case PlanRequestField::CandidateSource:
        break; // refused above
    }
    return request;
}

void PlanScreen::plan()
{
    if (running())
        return;
    auto read = readRequest();
    if (const auto *problem = std::get_if<Message>(&read)) {
        ctx_.show(this, *problem);
        return;
    }
    rememberInputs();
    auto run = std::make_shared<Shown>();
    run->request = std::get<PlanRequest>(std::move(read));
    stop_ = false;
    pbProgresso->setRange(0, 0);
    lblEstado->setText(QStringLiteral("A reunir os candidatos..."));
    setRunning(true);
    worker_ = std::thread([this, run] {
        const auto progress = [this](const PlanProgress &p) {
            if (p.stage == PlanProgress::Stage::Candidates) {
                QMetaObject::invokeMethod(
                    this, [this, done = p.done, total = p.total] { candidatesProgress(done, total); },
                    Qt::QueuedConnection);
            } else if (p.solver) {
                QMetaObject::invokeMethod(this, [this, state = *p.solver] { solverState(state); },
                                          Qt::QueuedConnection);
            } else if (p.gathered) {
                size_t candidates = 0;
                for (const PlanStand &s : p.gathered->stands)
                    candidates += s.candidates.size();
                QMetaObject::invokeMethod(
                    this, [this, stands = p.gathered->stands.size(), candidates] { solving(stands, candidates); },
                    Qt::QueuedConnection);
            }
        };
        try {
            run->result = runPlan(run->request, progress, &stop_);
        } catch (const std::exception &e) {
            PlanFailure failure;
            failure.kind = PlanFailure::Kind::InventoryUnusable;
            failure.file = run->request.inventory.string();
            failure.detail = e.what();
            run->result.failure = std::move(failure);
        }
        QMetaObject::invokeMethod(this, [this, run] { finished(run); }, Qt::QueuedConnection);
    });
}

void PlanScreen::cancel()
{
    stop_ = true;
    lblEstado->setText(QStringLiteral("A cancelar..."));
}

void PlanScreen::candidatesProgress(size_t done, size_t total)
{
    if (stop_)
        return;
    pbProgresso->setRange(0, static_cast<int>(std::min<size_t>(std::max<size_t>(total, 1), INT32_MAX)));
    pbProgresso->setValue(static_cast<int>(std::min({done, total, size_t{INT32_MAX}})));
    lblEstado->setText(QStringLiteral("A reunir os candidatos: %1 de %2 povoamentos").arg(done).arg(total));
}

void PlanScreen::solving(size_t stands, size_t candidates)
{
    if (stop_)
        return;
    pbProgresso->setRange(0, 0);
    lblEstado->setText(QStringLiteral("A resolver o plano: %1 povoamentos, %2 candidatos...").arg(stands).arg(candidates));
}

void PlanScreen::solverState(const SolverState &state)
{
    if (stop_)
        return;
    QString text = QStringLiteral("A resolver o plano: limite %1 €").arg(qs(money(state.bound)));
    if (state.best)
        text += QStringLiteral(", melhor plano %1 €").arg(qs(money(*state.best)));
    else
        text += QStringLiteral(", ainda sem plano");
    if (state.gapPercent)
        text += QStringLiteral(", gap %1 %").arg(qs(formatFixed(*state.gapPercent, 3)));
    lblEstado->setText(text + QStringLiteral("..."));
}

void PlanScreen::finished(const std::shared_ptr<Shown> &run)
{
    if (worker_.joinable())
        worker_.join();
    setRunning(false);
    pbProgresso->setRange(0, 1);
    pbProgresso->setValue(0);
    using Kind = PlanFailure::Kind;
    if (const std::optional<PlanFailure> &failure = run->result.failure) {
        // The plan shown before stays.
        lblEstado->setText(QStringLiteral("Sem plano novo."));
        std::string why;
        switch (failure->kind) {
        case Kind::CancelledGathering:
        case Kind::CancelledSolving:
            lblEstado->setText(QStringLiteral("Plano cancelado."));
            return;
        case Kind::InvalidRequest:
            why = "O pedido do plano não é válido.";
            break;
        case Kind::InventoryUnusable:
            why = "Não é possível usar o inventário " + failure->file + ". O leitor do ficheiro diz: " +
                  failure->detail;
            break;
        case Kind::NoCandidates:
            why = "Nenhum povoamento de " + failure->file + " tem um regime candidato; não há nada a planear.";
            break;
        case Kind::Infeasible:
            why = failure->family == ConstraintFamily::Carbon && run->request.constraints.minCarbonPerHa
                      ? carbonFloorText(*run->request.constraints.minCarbonPerHa, failure->reachableCarbonPerHa)
                      : infeasibleText(failure->family.value_or(ConstraintFamily::Flow),
                                       run->request.constraints.flow);
            break;
        case Kind::NoSolution:
            why = "O resolvedor parou antes de encontrar um plano (limite " + money(failure->bound) + " €).";
            break;
        case Kind::TooLarge:
            why = "Os candidatos de " + std::to_string(failure->size.stands) + " povoamentos precisariam de cerca de " +
                  formatFixed(static_cast<double>(failure->size.neededBytes) / 1e9, 1) +
                  " GB de memória, mais do que os " +
                  formatFixed(static_cast<double>(failure->size.availableBytes) / 1e9, 1) +
                  " GB disponíveis. Planeie menos povoamentos de cada vez.";
            break;
        case Kind::NoGathering:
        case Kind::OutputUnusable:
            why = "O pedido do plano não é válido.";
            break;
        case Kind::NoProjectedMap:
            why = failure->detail.empty()
                      ? "Os povoamentos de " + failure->file + " não têm contornos; a regra dos vizinhos precisa do mapa."
                      : "O mapa de " + failure->file + " está em graus (" + failure->detail +
                            "); a regra dos vizinhos precisa de um sistema de referência projectado, em metros.";
            break;
        }
        ctx_.show(this, Message::warning(kTitle, why));
        return;
    }
    if (stop_) {
        lblEstado->setText(QStringLiteral("Plano cancelado."));
        return;
    }
    shown_ = run;
    frontPoint_ = 0;
    setRunning(false);
    const PlanSolution &s = run->result.solution;
    pbProgresso->setValue(1);
    const bool carbon = run->request.constraints.objective == PlanObjective::Carbon;
    const QString unit = carbon ? QStringLiteral("t C") : QStringLiteral("€");
    lblEstado->setText(QStringLiteral("Plano: %1 %2 %7, limite %3 %7, gap %4 %, %5 s%6")
                           .arg(carbon ? QStringLiteral("carbono") : QStringLiteral("valor"), qs(money(s.objective)),
                                qs(money(s.bound)), qs(formatFixed(s.gapPercent, 3)),
                                qs(formatFixed(s.seconds, 2)),
                                run->result.stop == PlanStop::AtGap       ? QString()
                                : run->result.stop == PlanStop::TimeLimit ? QStringLiteral(" (parado pelo tempo máximo)")
                                                                          : QStringLiteral(" (parado por um limite)"),
                                unit));
    showFront();
    showPlan();
}

std::optional<size_t> PlanScreen::frontPointShown() const
{
    if (!shown_ || shown_->result.front.empty())
        return std::nullopt;
    return frontPoint_;
}

const PlanSolution &PlanScreen::shownSolution() const
{
    const std::vector<FrontPoint> &front = shown_->result.front;
    return frontPoint_ < front.size() ? front[frontPoint_].solution : shown_->result.solution;
}

const std::vector<PlanPeriod> &PlanScreen::shownPeriods() const
{
    const std::vector<FrontPoint> &front = shown_->result.front;
    return frontPoint_ < front.size() ? front[frontPoint_].periods : shown_->result.periods;
}

// The front's chart and its points' table (front.csv's rows); the tab only with a front.
void PlanScreen::showFront()
{
    auto *tabs = findChild<QTabWidget *>(QStringLiteral("tabResultados"));
    const std::vector<FrontPoint> &front = shown_->result.front;
    tabs->setTabVisible(tabs->indexOf(frontTab_), !front.empty());
    const QSignalBlocker quiet(tblFrente);
    tblFrente->clear();
    QChart *old = chtFrente->chart();
    if (front.empty()) {
        chtFrente->setChart(new QChart);
        delete old;
        tblFrente->setRowCount(0);
        return;
    }
    QChart *chart = makeFrontChart(front);
    // Every point can be clicked: on the line joining them or on an anchor's or the knee's marker.
    for (QAbstractSeries *series : chart->series())
        if (auto *xy = qobject_cast<QXYSeries *>(series)) {
            xy->setPointsVisible(true);
            connect(xy, &QXYSeries::clicked, this, &PlanScreen::frontClicked);
        }
    // The value's axis named short: the tab is lower than the saved picture.
    for (QAbstractAxis *axis : chart->axes(Qt::Vertical))
        axis->setTitleText(QStringLiteral("Valor (€)"));
    // The line needs no word in the legend beside the anchors and the knee: so the legend fits.
    if (!chart->series().isEmpty())
        for (QLegendMarker *marker : chart->legend()->markers(chart->series().first()))
            marker->setVisible(false);
    chtFrente->setChart(chart);
    delete old;
    // front.csv's first columns (the value lost and carbon gained against the value anchor), then the kind.
    const QStringList headers = {QStringLiteral("Ponto"),     QStringLiteral("Carbono (t C/ha)"),
                                 QStringLiteral("Valor (€)"), QStringLiteral("Perda (%)"),
                                 QStringLiteral("Ganho (%)"), QStringLiteral("Tipo")};
    const std::vector<std::vector<std::string>> rows = frontRows(front);
    tblFrente->setColumnCount(static_cast<int>(headers.size()));
    tblFrente->setHorizontalHeaderLabels(headers);
    tblFrente->setRowCount(static_cast<int>(rows.size()));
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size() && c + 1 < static_cast<size_t>(headers.size()); ++c) {
            auto *item = new QTableWidgetItem(qs(rows[r][c]));
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblFrente->setItem(static_cast<int>(r), static_cast<int>(c), item);
        }
        tblFrente->setItem(static_cast<int>(r), static_cast<int>(headers.size()) - 1,
                           new QTableWidgetItem(frontKindText(front[r])));
    }
    tblFrente->resizeColumnsToContents();
    // The table as wide as its columns, the chart the rest.
    int width = tblFrente->verticalScrollBar()->sizeHint().width() + 2 * tblFrente->frameWidth();
    for (int c = 0; c < tblFrente->columnCount(); ++c)
        width += tblFrente->columnWidth(c);
    tblFrente->setMinimumWidth(width);
    tblFrente->selectRow(static_cast<int>(frontPoint_));
    tabs->setCurrentWidget(frontTab_);
}

// The front's point nearest the click, in figures scaled between the anchors.
void PlanScreen::frontClicked(const QPointF &at)
{
    if (!shown_ || shown_->result.front.empty())
        return;
    const std::vector<FrontPoint> &front = shown_->result.front;
    const double dx = std::max(1e-9, std::abs(front.back().carbonPerHa - front.front().carbonPerHa));
    const double dy = std::max(1e-9, std::abs(front.front().value - front.back().value));
    size_t nearest = 0;
    double best = INFINITY;
    for (size_t k = 0; k < front.size(); ++k) {
        const double d = std::hypot((front[k].carbonPerHa - at.x()) / dx, (front[k].value - at.y()) / dy);
        if (d < best) {
            best = d;
            nearest = k;
        }
    }
    tblFrente->selectRow(static_cast<int>(nearest));
}

void PlanScreen::frontRowChosen()
{
    const auto rows = tblFrente->selectionModel()->selectedRows();
    if (!shown_ || rows.isEmpty() || static_cast<size_t>(rows.first().row()) >= shown_->result.front.size())
        return;
    const size_t point = static_cast<size_t>(rows.first().row());
    if (point == frontPoint_)
        return;
    frontPoint_ = point;
    const int picked = mapa->picked();
    showPlan();
    if (picked >= 0)
        pickStand(picked);
}

void PlanScreen::showPlan()
{
    const PlanInventory &inv = shown_->result.gathered;
    const PlanSolution &solution = shownSolution();
    const PlanSettings &settings = shown_->request.settings;
    const std::vector<PlannedStand> planned = plannedStands(inv, solution, settings);

    const double area = plannedArea(inv.stands);
    QString summary = QStringLiteral("Valor do plano: %1 €. Carbono: %2 t C/ha (%3 t C), o stock médio no horizonte. "
                                     "Área planeada: %4 ha em %5 povoamentos; "
                                     "%6 povoamentos sem candidatos; %7 candidatos.")
                          .arg(qs(money(solution.value)),
                               qs(formatFixed(area > 0.0 ? solution.carbon / area : 0.0, 3)),
                               qs(formatFixed(solution.carbon, 2)), qs(formatFixed(area, 2)))
                          .arg(inv.stands.size())
                          .arg(inv.errorRows.size())
                          .arg(shown_->result.candidates());
    if (const auto point = frontPointShown())
        summary += QStringLiteral(" Plano %1 da frente (%2 planos).").arg(*point).arg(shown_->result.front.size());
    if (const std::optional<SpatialRule> &rule = shown_->result.spatial; rule && solution.spatial) {
        const size_t periods = shown_->result.periods.size();
        const size_t openings = planOpenings(inv.stands, solution.chosen, periods, *rule, true).size();
        const size_t conflicts = spatialConflicts(inv.stands, solution.chosen, periods, *rule);
        summary += QStringLiteral(" Vizinhos: %1 pares; %2 aberturas; %3 conflitos%4. Sem a regra o valor seria %5 €.")
                       .arg(shown_->result.adjacency.size())
                       .arg(openings)
                       .arg(conflicts)
                       .arg(rule->maxOpeningHa ? QStringLiteral(" (aberturas acima de %1 ha), %2 rondas")
                                                     .arg(qs(plainNumberText(*rule->maxOpeningHa)))
                                                     .arg(solution.spatial->rounds)
                                               : QStringLiteral(" (pares cortados dentro do intervalo)"))
                       .arg(qs(money(solution.spatial->aspatialObjective)));
    }
    lblResumo->setText(summary);

    // The harvest by period, as periods.csv holds it (without its period number).
    const std::vector<PlanPeriod> &periods = shownPeriods();
    QStringList headers = {QStringLiteral("Período"),         QStringLiteral("Total (m3)"),
                           QStringLiteral("Madeira (m3)"),    QStringLiteral("Rolaria (m3)"),
                           QStringLiteral("Lenha (m3)"),      QStringLiteral("Receita (€)"),
                           QStringLiteral("Existências no fim (m3)"), QStringLiteral("Carbono no fim (t C)")};
    const bool withoutRule = !periods.empty() && periods.front().revenueWithoutRule.has_value();
    if (withoutRule)
        headers << QStringLiteral("Receita sem a regra (€)");
    const std::vector<std::vector<std::string>> rows = periodRows(periods);
    tblPeriodos->clear();
    tblPeriodos->setColumnCount(static_cast<int>(headers.size()));
    tblPeriodos->setHorizontalHeaderLabels(headers);
    tblPeriodos->setRowCount(static_cast<int>(rows.size()));
    for (size_t p = 0; p < rows.size(); ++p)
        for (size_t c = 1; c < rows[p].size() && c <= static_cast<size_t>(headers.size()); ++c) {
            auto *item = new QTableWidgetItem(qs(rows[p][c]));
            if (c > 1)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            tblPeriodos->setItem(static_cast<int>(p), static_cast<int>(c) - 1, item);
        }
    if (withoutRule)
        tblPeriodos->horizontalHeaderItem(static_cast<int>(headers.size()) - 1)
            ->setToolTip(QStringLiteral("Receita do plano resolvido sem a regra dos vizinhos: onde a regra custa"));
    tblPeriodos->resizeColumnsToContents();
    QChart *old = chtColheita->chart();
    chtColheita->setChart(makeHarvestChart(periods));
    delete old;

    lstSemCandidatos->clear();
    for (const std::vector<std::string> &row : inv.errorRows) {
        QStringList cells;
        for (size_t c = 1; c < row.size(); ++c)
            if (!row[c].empty())
                cells << qs(row[c]);
        lstSemCandidatos->addItem(qs(row.empty() ? std::string() : row[0]) + QStringLiteral(": ") +
                                  cells.join(QStringLiteral(" - ")));
    }

    // The stands, each with its chosen regime; numbers sort as numbers.
    const QSignalBlocker quiet(tblPovoamentos->selectionModel());
    standsModel_->clear();
    standsModel_->setHorizontalHeaderLabels({QStringLiteral("Povoamento"), QStringLiteral("Área (ha)"),
                                             QStringLiteral("Regime"), QStringLiteral("Ano de corte"),
                                             QStringLiteral("Período de corte"), QStringLiteral("Valor (€)")});
    std::vector<MapOutline> outlines;
    for (size_t s = 0; s < planned.size(); ++s) {
        const PlannedStand &p = planned[s];
        auto *id = new QStandardItem(qs(p.id));
        id->setData(static_cast<qulonglong>(s), Qt::UserRole);
        auto *areaItem = new QStandardItem;
        areaItem->setData(inv.stands[s].area, Qt::DisplayRole);
        auto *year = new QStandardItem;
        auto *period = new QStandardItem;
        if (p.fellingYear) {
            year->setData(*p.fellingYear, Qt::DisplayRole);
            const int first = settings.startYear + kPlanPeriodYears * p.fellingPeriod.value_or(0);
            period->setText(QStringLiteral("%1-%2").arg(first).arg(first + kPlanPeriodYears - 1));
        } else {
            period->setText(QStringLiteral("não cortado"));
        }
        auto *value = new QStandardItem;
        value->setData(std::round(p.value * 100.0) / 100.0, Qt::DisplayRole);
        standsModel_->appendRow({id, areaItem, new QStandardItem(qs(p.schedule)), year, period, value});
        outlines.push_back({qs(p.id), outlineOf(p.geometry)});
    }
    tblPovoamentos->resizeColumnsToContents();
    mapa->setOutlines(outlines);
    colourMap();
    // Fitted again once the tab has its size: a plan shown before the window is laid out fits too small.
    QTimer::singleShot(0, mapa, &StandMapView::fit);
}

// The map coloured by felling period, each period that holds a stand in the legend.
void PlanScreen::colourMap()
{
    while (QLayoutItem *item = legendLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    auto addLine = [&](const QColor &c, const QString &text) {
        auto *label = new QLabel(legenda);
        label->setText(QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span> %2")
                           .arg(c.name(), text.toHtmlEscaped()));
        label->setAccessibleName(text);
        legendLayout_->addWidget(label);
    };
    auto *title = new QLabel(QStringLiteral("<b>Período de corte</b>"), legenda);
    title->setWordWrap(true);
    legendLayout_->addWidget(title);
    if (!shown_)
        return;
    const PlanSettings &settings = shown_->request.settings;
    const int periods = static_cast<int>(settings.periods());
    const std::vector<PlannedStand> planned = plannedStands(shown_->result.gathered, shownSolution(), settings);
    std::vector<QColor> colours(planned.size(), noValueColour());
    std::vector<bool> used(static_cast<size_t>(periods), false);
    bool unfelled = false;
    for (size_t s = 0; s < planned.size(); ++s) {
        const std::optional<int> &p = planned[s].fellingPeriod;
        if (p && *p >= 0 && *p < periods) {
            colours[s] = periodColour(*p, periods);
            used[static_cast<size_t>(*p)] = true;
        } else {
            unfelled = true;
        }
    }
    mapa->setColours(colours);
    for (int p = 0; p < periods; ++p)
        if (used[static_cast<size_t>(p)]) {
            const int first = settings.startYear + kPlanPeriodYears * p;
            addLine(periodColour(p, periods), QStringLiteral("%1-%2").arg(first).arg(first + kPlanPeriodYears - 1));
        }
    if (unfelled)
        addLine(noValueColour(), QStringLiteral("não cortado no horizonte"));
}

void PlanScreen::pickStand(int stand)
{
    if (syncing_)
        return;
    syncing_ = true;
    if (mapa->picked() != stand)
        mapa->pick(stand);
    tblPovoamentos->clearSelection();
    for (int r = 0; r < standsModel_->rowCount() && stand >= 0; ++r)
        if (standsModel_->item(r, 0)->data(Qt::UserRole).toInt() == stand) {
            tblPovoamentos->selectRow(r);
            tblPovoamentos->scrollTo(standsModel_->index(r, 0));
        }
    syncing_ = false;
}

void PlanScreen::tableSelectionChanged()
{
    const auto rows = tblPovoamentos->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        pickStand(standsModel_->item(rows.first().row(), 0)->data(Qt::UserRole).toInt());
}

// The chosen regime of the stand picked, played again in the stand windows step by step.
void PlanScreen::showStand()
{
    const int stand = mapa->picked();
    if (!shown_ || stand < 0 || static_cast<size_t>(stand) >= shown_->result.gathered.stands.size()) {
        ctx_.show(this, Message::information("Ver simulação", "Escolha um povoamento na tabela ou no mapa."));
        return;
    }
    const PlanInventory &inv = shown_->result.gathered;
    const PlanRequest &request = shown_->request;
    const size_t s = static_cast<size_t>(stand);
    const std::string &schedule = inv.details[s][shownSolution().chosen[s]].schedule;
    const std::string &id = inv.stands[s].id;
    std::variant<Scenario, ReplayFailure> found = ReplayFailure{ReplayFailure::Kind::StandMissing, {}};
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        found = chosenRegimeScenario(request.inventory, request.layer, s < inv.positions.size() ? inv.positions[s] : s,
                                     request.source, request.settings, schedule);
        QApplication::restoreOverrideCursor();
    }
    if (const auto *failure = std::get_if<ReplayFailure>(&found)) {
        using Kind = ReplayFailure::Kind;
        const std::string why =
            failure->kind == Kind::InventoryUnusable
                ? "Não é possível ler o inventário " + request.inventory.string() + ": " + failure->detail
            : failure->kind == Kind::StandMissing
                ? "O povoamento " + id + " já não está no inventário como estava no plano."
            : failure->kind == Kind::RegimeMissing
                ? "O regime \"" + schedule + "\" do povoamento " + id + " já não se encontra nos candidatos."
                : "O regime \"" + schedule + "\" do povoamento " + id + " já não chega ao fim: " + failure->detail;
        ctx_.show(this, Message::warning("Ver simulação", why));
        return;
    }
    const ReplayOutcome played = replayInStandWindows(ctx_, this, std::get<Scenario>(found));
    if (played.kind == ReplayOutcome::Kind::StepRefused)
        ctx_.show(this, Message::warning("Ver simulação", "O regime \"" + schedule + "\" do povoamento " + id +
                                                              " parou no passo " + std::to_string(played.step + 1) +
                                                              ": o botão desse passo não estava disponível."));
}

void PlanScreen::save()
{
    if (!shown_)
        return;
    const QString name = ctx_.services.files->saveFileName(
        this, QStringLiteral("Guardar plano"), QStringLiteral("plano.gpkg"),
        QStringLiteral("GeoPackage (*.gpkg);;Pasta com os ficheiros do plano (*)|*.gpkg"));
    if (name.isEmpty())
        return;
    if (!name.endsWith(QStringLiteral(".gpkg"), Qt::CaseInsensitive)) {
        saveToFolder(name);
        return;
    }
    // A results file already there gains this plan as one more run, once the user agrees.
    if (QFileInfo::exists(name) &&
        ctx_.show(this, Message::question("Guardar plano", "O ficheiro " + name.toStdString() +
                                                               " já existe. Juntar este plano aos resultados "
                                                               "que lá estão?")) != MessageService::Answer::Yes)
        return;
    try {
        savePlanResult(name.toStdString(), shown_->request, shown_->result, kBusyTimeoutMs);
    } catch (const std::exception &e) {
        ctx_.show(this, Message::error(fileWriteError().title, fileWriteError().text + " " + e.what()));
        return;
    }
    ctx_.show(this, Message::information("Guardar plano", "Plano guardado em " + name.toStdString() + "."));
}

// The command line's files of the plan; a folder that holds files is used
// only when the user agrees, and then only an earlier plan's files are replaced.
void PlanScreen::saveToFolder(const QString &folder)
{
    const std::filesystem::path dir = folder.toStdString();
    bool overwrite = false;
    if (QDir d(folder); d.exists() && !d.isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const auto answer = ctx_.show(
            this, Message::question("Guardar plano", "A pasta " + dir.string() +
                                                         " já tem ficheiros. Substituir os ficheiros de um plano "
                                                         "anterior que lá estejam?"));
        if (answer != MessageService::Answer::Yes)
            return;
        overwrite = true;
    }
    if (const auto problem = prepareOutputFolder(dir, overwrite, isPlanOutputFile,
                                                 {{"the inventory", shown_->request.inventory}})) {
        ctx_.show(this, Message::error("Guardar plano",
                                       "Não é possível guardar o plano na pasta " + dir.string() +
                                           (problem->callMustChange ? ": escolha uma pasta vazia ou nova."
                                                                    : ". (" + problem->why + ")")));
        return;
    }
    std::vector<std::pair<std::string, std::string>> files =
        candidateCsvFiles(shown_->request, shown_->result.gathered);
    for (auto &file : planCsvFiles(shown_->result))
        files.push_back(std::move(file));
    for (auto &file : frontCsvFiles(shown_->result))
        files.push_back(std::move(file));
    if (const auto chart = renderHarvestChart(shown_->result.periods, QStringLiteral("png")))
        files.emplace_back("harvest.png", std::string(chart->constData(), static_cast<size_t>(chart->size())));
    if (!shown_->result.front.empty())
        if (const auto chart = renderFrontChart(shown_->result.front, QStringLiteral("png")))
            files.emplace_back("front.png", std::string(chart->constData(), static_cast<size_t>(chart->size())));
    for (const auto &[file, bytes] : files) {
        // A front's plans go to folders of their own; a failure shows in the write.
        std::error_code ec;
        std::filesystem::create_directories((dir / file).parent_path(), ec);
        if (const auto why = writeWholeFile(dir / file, bytes)) {
            ctx_.show(this, Message::error(fileWriteError().title,
                                           fileWriteError().text + " " + (dir / file).string() + ": " + *why));
            return;
        }
    }
    ctx_.show(this, Message::information("Guardar plano", "Plano guardado na pasta " + dir.string() + "."));
}

void PlanScreen::setRunning(bool running)
{
    for (QLineEdit *b : findChildren<QLineEdit *>())
        b->setEnabled(!running);
    for (QComboBox *c : findChildren<QComboBox *>())
        c->setEnabled(!running);
    cmdAbrirCandidatos->setEnabled(!running);
    cmdAbrirEconomia->setEnabled(!running);
    chkFrente->setEnabled(!running);
    spnPontosFrente->setEnabled(!running);
    cmdPlanear->setEnabled(!running);
    cmdCancelar->setEnabled(running);
    cmdGuardar->setEnabled(!running && shown_);
    cmdVerSimulacao->setEnabled(!running && shown_);
    if (!running)
        flowChosen();
}

} // namespace tavelo
