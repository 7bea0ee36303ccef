#include "inventory_screen.h"

#include "colour_classes.h"
#include "plan_screen.h"
#include "screens/shell/widget_kit.h"

#include "inventory/batch.h"
#include "inventory/gdal_inventory.h"
#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "base/numeric_text.h"
#include "screens/shell/app_context.h"
#include "screens/shell/read_problem_text.h"
#include "session/structure/sim_record.h"

#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace tavelo {

namespace {

const QString kLastInventory = QStringLiteral("inventario/ficheiro");
const QString kLastLayer = QStringLiteral("inventario/camada");
// Why an inventory cannot be used: what its reader found, in Portuguese when
// it says what (the one place that turns a reader's failure into words).
Message inventoryProblem(const QString &file, const std::exception_ptr &failure)
{
    std::string why;
    try {
        std::rethrow_exception(failure);
    } catch (const ReadError &e) {
        why = portugueseText(e.problem());
    } catch (const std::exception &e) {
        why = std::string("O leitor do ficheiro diz: ") + e.what();
    }
    return Message::error("Inventário", "Não é possível usar o inventário " + file.toStdString() + ". " + why);
}

// A stand's status in the list of refused or ended stands.
QString statusText(const std::string &status)
{
    if (status == "refused")
        return QStringLiteral("recusado");
    if (status == "ended")
        return QStringLiteral("terminado pelo modelo");
    if (status == "malformed")
        return QStringLiteral("linha inválida");
    if (status == "log-failed")
        return QStringLiteral("registo não escrito");
    return qs(status);
}

const QString kInventoryFilter =
    QStringLiteral("Inventários (*.gpkg *.shp *.geojson *.json *.fgb *.sqlite *.db *.csv);;GeoPackage (*.gpkg);;"
                   "Shapefile (*.shp);;GeoJSON (*.geojson *.json);;FlatGeobuf (*.fgb);;SQLite (*.sqlite *.db);;"
                   "CSV (*.csv);;Todos os ficheiros (*)");

// The table's columns: the stand, then values of its last record row (by
// record column) and the NPV.
struct Column {
    const char *caption;
    int recordColumn; // -1: the stand's id; -2: its NPV; -3: its carbon balance
};
constexpr Column kColumns[] = {
    {"Povoamento", -1},       {"Idade final", 1},   {"Árvores (/ha)", 3}, {"Área basal (m2/ha)", 4},
    {"Volume total (m3/ha)", 6}, {"Rolaria (m3/ha)", 7}, {"Madeira (m3/ha)", 8}, {"Lenha (m3/ha)", 9},
    {"VAL (€/ha)", -2},       {"Balanço de carbono (t C/ha)", -3},
};
constexpr int kNpvColumn = 8;
constexpr int kCarbonColumn = 9;

QString cellOf(const StandOutcome &s, int recordColumn)
{
    if (recordColumn == -1)
        return qs(s.id);
    if (recordColumn == -2)
        return s.economics ? qs(s.economics->npv) : QString();
    if (recordColumn == -3)
        return s.carbon ? qs(s.carbon->balance) : QString();
    return s.record.empty() ? QString() : qs(s.record.back()[recordColumn]);
}

class Collector : public ResultSink {
public:
    explicit Collector(std::vector<StandOutcome> &out) : out_(out) {}
    void add(const std::vector<StandOutcome> &stands) override { out_.insert(out_.end(), stands.begin(), stands.end()); }
    void finish(bool) override {}

private:
    std::vector<StandOutcome> &out_;
};

} // namespace

struct InventoryScreen::RunOutput {
    QString inventory;
    QString layer;
    std::string regime;
    std::vector<StandOutcome> stands;
    std::vector<MapOutline> outlines; // by stand
    BatchSummary summary;
    std::optional<MapLayer> map;
    std::exception_ptr failure; // why the run could not be done
};

struct InventoryScreen::OutlinesRead {
    std::vector<MapOutline> stands;
    std::exception_ptr failure; // why a row could not be read
};

InventoryScreen::InventoryScreen(AppContext &ctx) : ctx_(ctx)
{
    buildWindow();
    connectControls();
    restoreLastFiles();
    setRunning(false);
    colour();
}

void InventoryScreen::buildWindow()
{
    setObjectName(QStringLiteral("frmInventario"));
    setWindowTitle(QStringLiteral("Simulação de Inventário"));
    resize(1000, 700);
    auto *main = new QVBoxLayout(this);

    auto *files = new QGroupBox(QStringLiteral("Ficheiros"), this);
    auto *grid = new QGridLayout(files);
    auto *lblInventario = new QLabel(QStringLiteral("Inventário:"), files);
    txtInventario = ui::named(new QLineEdit(files), "txtInventario", QStringLiteral("Ficheiro do inventário"));
    lblInventario->setBuddy(txtInventario);
    cmdAbrirInventario = ui::captionedButton(files, "cmdAbrirInventario", QStringLiteral("Abrir inventário..."));
    cboCamada = ui::named(new QComboBox(files), "cboCamada", QStringLiteral("Camada do inventário"));
    cboCamada->setEnabled(false);
    regime_ = new RegimeChooser(ctx_, files);
    grid->addWidget(lblInventario, 0, 0);
    grid->addWidget(txtInventario, 0, 1);
    grid->addWidget(cmdAbrirInventario, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Camada:"), files), 0, 3);
    grid->addWidget(cboCamada, 0, 4);
    regime_->placeIn(grid, 1);
    grid->setColumnStretch(1, 1);
    main->addWidget(files);

    auto *runRow = new QHBoxLayout;
    cmdSimular = ui::captionedButton(this, "cmdSimular", QStringLiteral("Simular"));
    cmdCancelar = ui::captionedButton(this, "cmdCancelar", QStringLiteral("Cancelar"));
    pbProgresso = ui::named(new QProgressBar(this), "pbProgresso", QStringLiteral("Progresso da simulação"));
    pbProgresso->setValue(0);
    lblResumo = ui::named(new QLabel(this), "lblResumo", QStringLiteral("Resumo da simulação"));
    runRow->addWidget(cmdSimular);
    runRow->addWidget(cmdCancelar);
    runRow->addWidget(pbProgresso, 1);
    main->addLayout(runRow);
    main->addWidget(lblResumo);

    auto *split = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(split);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    tblResultados = ui::named(new QTableWidget(left), "tblResultados", QStringLiteral("Resultados por povoamento"));
    tblResultados->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblResultados->setSelectionMode(QAbstractItemView::SingleSelection);
    tblResultados->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblResultados->verticalHeader()->setVisible(false);
    lstProblemas = ui::named(new QListWidget(left), "lstProblemas", QStringLiteral("Povoamentos recusados ou terminados"));
    lstProblemas->setMaximumHeight(110);
    leftLayout->addWidget(tblResultados, 1);
    leftLayout->addWidget(new QLabel(QStringLiteral("Povoamentos recusados ou terminados:"), left));
    leftLayout->addWidget(lstProblemas);

    auto *right = new QWidget(split);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto *mapRow = new QHBoxLayout;
    auto *lblCor = new QLabel(QStringLiteral("Colorir por:"), right);
    cboCor = ui::named(new QComboBox(right), "cboCor", QStringLiteral("Coluna que dá a cor ao mapa"));
    lblCor->setBuddy(cboCor);
    cmdAjustar = ui::captionedButton(right, "cmdAjustar", QStringLiteral("Ajustar"));
    mapRow->addWidget(lblCor);
    mapRow->addWidget(cboCor, 1);
    mapRow->addWidget(cmdAjustar);
    rightLayout->addLayout(mapRow);
    auto *mapAndLegend = new QHBoxLayout;
    mapa = ui::named(new StandMapView(right), "mapa", QStringLiteral("Mapa dos povoamentos"));
    legenda = ui::named(new QWidget(right), "legenda", QStringLiteral("Legenda do mapa"));
    legenda->setMinimumWidth(150);
    legendLayout_ = new QVBoxLayout(legenda);
    legendLayout_->setAlignment(Qt::AlignTop);
    mapAndLegend->addWidget(mapa, 1);
    mapAndLegend->addWidget(legenda);
    rightLayout->addLayout(mapAndLegend, 1);
    split->addWidget(left);
    split->addWidget(right);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    main->addWidget(split, 1);

    auto *bottom = new QHBoxLayout;
    cmdVerSimulacao = ui::captionedButton(this, "cmdVerSimulacao", QStringLiteral("Ver simulação"));
    cmdGuardar = ui::captionedButton(this, "cmdGuardar", QStringLiteral("Guardar resultados"));
    cmdFechar = ui::captionedButton(this, "cmdFechar", QStringLiteral("Fechar"));
    bottom->addWidget(cmdVerSimulacao);
    bottom->addWidget(cmdGuardar);
    cmdPlano = ui::captionedButton(this, "cmdPlano", QStringLiteral("Plano florestal..."));
    bottom->addWidget(cmdPlano);
    bottom->addStretch(1);
    bottom->addWidget(cmdFechar);
    main->addLayout(bottom);

    for (const Column &c : kColumns)
        if (c.recordColumn >= 0)
            cboCor->addItem(QString::fromUtf8(c.caption), c.recordColumn);
    cboCor->addItem(QString::fromUtf8(kColumns[kNpvColumn].caption), -2);
    cboCor->addItem(QString::fromUtf8(kColumns[kCarbonColumn].caption), -3);
}

void InventoryScreen::connectControls()
{
    connect(cmdAbrirInventario, &QPushButton::clicked, this, &InventoryScreen::chooseInventory);
    connect(txtInventario, &QLineEdit::editingFinished, this, &InventoryScreen::inventoryTyped);
    connect(cboCamada, &QComboBox::activated, this, &InventoryScreen::layerChosen);
    connect(cmdSimular, &QPushButton::clicked, this, &InventoryScreen::simulate);
    connect(cmdCancelar, &QPushButton::clicked, this, &InventoryScreen::cancel);
    connect(cboCor, &QComboBox::currentIndexChanged, this, &InventoryScreen::colour);
    connect(cmdAjustar, &QPushButton::clicked, mapa, &StandMapView::fit);
    connect(tblResultados, &QTableWidget::itemSelectionChanged, this, &InventoryScreen::tableSelectionChanged);
    connect(lstProblemas, &QListWidget::itemSelectionChanged, this, &InventoryScreen::problemChosen);
    connect(mapa, &StandMapView::standPicked, this, &InventoryScreen::pickStand);
    connect(cmdVerSimulacao, &QPushButton::clicked, this, &InventoryScreen::showLog);
    connect(cmdGuardar, &QPushButton::clicked, this, &InventoryScreen::save);
    connect(cmdPlano, &QPushButton::clicked, this, &InventoryScreen::openPlan);
    connect(cmdFechar, &QPushButton::clicked, this, &QWidget::close);
}

// The files of the last run, when they are still there and still read.
void InventoryScreen::restoreLastFiles()
{
    if (!ctx_.services.settings)
        return;
    const QString inventory = ctx_.services.settings->value(kLastInventory).value_or(QString());
    if (!inventory.isEmpty() && QFileInfo::exists(inventory)) {
        const QString layer = ctx_.services.settings->value(kLastLayer).value_or(QString());
        if (!useInventory(inventory, layer.isEmpty() ? std::nullopt : std::optional<QString>(layer), true))
            useInventory(inventory, std::nullopt, true);
    }
    regime_->restore();
}

InventoryScreen::~InventoryScreen()
{
    // The controls go after this part of the window: a box losing its focus,
    // the map's selection, must not reach it.
    for (QObject *control : findChildren<QObject *>())
        disconnect(control, nullptr, this, nullptr);
    stopReadingOutlines();
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
}

void InventoryScreen::chooseInventory()
{
    const QString f = ctx_.services.files->openFileName(this, QStringLiteral("Abrir inventário"), kInventoryFilter);
    if (f.isEmpty())
        return;
    txtInventario->setText(f);
    useInventory(f, std::nullopt, false);
}

void InventoryScreen::inventoryTyped()
{
    // An empty box leaves the choice to "Simular", which asks for one.
    if (txtInventario->text().isEmpty() || txtInventario->text() == inventory_)
        return;
    useInventory(txtInventario->text(), std::nullopt, false);
}

void InventoryScreen::layerChosen()
{
    if (cboCamada->currentText() != layer_)
        useInventory(inventory_, cboCamada->currentText(), false);
}

bool InventoryScreen::useInventory(const QString &file, std::optional<QString> layer, bool quiet)
{
    const std::filesystem::path path = file.toStdString();
    QStringList layers;
    std::unique_ptr<InventorySource> source;
    try {
        // A GIS dataset's layers: "stands" unless another is asked for, else the first.
        if (gdalReadsInventory(path)) {
            for (const std::string &name : gdalLayerNames(path))
                layers << qs(name);
            if (!layer || !layers.contains(*layer))
                layer = layers.contains(QStringLiteral("stands")) || layers.isEmpty() ? QStringLiteral("stands")
                                                                                       : layers.first();
        } else {
            layer = QString();
        }
        source = openInventory(path, layer->toStdString());
        inventoryStands_ = source->count();
    } catch (const std::exception &) {
        // The inventory before stays, with its results.
        txtInventario->setText(inventory_);
        cboCamada->clear();
        cboCamada->addItems(layers_);
        cboCamada->setCurrentIndex(std::max<qsizetype>(0, layers_.indexOf(layer_)));
        cboCamada->setEnabled(!running() && cboCamada->count() > 1);
        if (!quiet)
            ctx_.show(this, inventoryProblem(file, std::current_exception()));
        return false;
    }
    txtInventario->setText(file);
    cboCamada->clear();
    cboCamada->addItems(layers);
    cboCamada->setCurrentIndex(std::max<qsizetype>(0, layers.indexOf(*layer)));
    cboCamada->setEnabled(!running() && cboCamada->count() > 1);
    if (file == inventory_ && *layer == layer_)
        return true;
    inventory_ = file;
    layer_ = *layer;
    layers_ = layers;
    if (plan_)
        plan_->setInventory(inventory_, layer_);
    // Results are shown only beside the inventory they came from.
    if (!stands_.empty() && (ranInventory_ != inventory_ || ranLayer_ != layer_))
        clearResults();
    if (stands_.empty()) {
        mapa->setOutlines({});
        readOutlines(std::move(source));
        lblResumo->setText(inventoryStands_ == 1 ? QStringLiteral("Inventário com 1 povoamento, por simular.")
                                                 : QStringLiteral("Inventário com %1 povoamentos, por simular.")
                                                       .arg(inventoryStands_));
        summary_ = lblResumo->text();
    }
    return true;
}

void InventoryScreen::clearResults()
{
    stands_.clear();
    map_.reset();
    valued_ = withCarbon_ = false;
    pickedStand_ = -1;
    ranInventory_.clear();
    ranLayer_.clear();
    ranRegime_.clear();
    fillTable();
    fillProblems();
    pbProgresso->setRange(0, 1);
    pbProgresso->setValue(0);
    setRunning(running());
}

// The outlines are read apart from the window: a large inventory takes a while.
void InventoryScreen::readOutlines(std::unique_ptr<InventorySource> source)
{
    stopReadingOutlines();
    stopOutlines_ = false;
    const int generation = ++outlinesGeneration_;
    outlineWorker_ = std::thread([this, generation, source = std::move(source)]() mutable {
        auto read = std::make_shared<OutlinesRead>();
        try {
            InventoryRow row;
            while (!stopOutlines_ && source->next(row))
                read->stands.push_back({qs(row.rawId), outlineOf(row.geometry)});
        } catch (const std::exception &) {
            read->failure = std::current_exception();
        }
        source.reset(); // closed on the thread that read it
        QMetaObject::invokeMethod(this, [this, generation, read] { outlinesRead(generation, read); },
                                  Qt::QueuedConnection);
    });
}

void InventoryScreen::stopReadingOutlines()
{
    ++outlinesGeneration_; // what the stopped read posts is not wanted
    stopOutlines_ = true;
    if (outlineWorker_.joinable())
        outlineWorker_.join();
}

void InventoryScreen::outlinesRead(int generation, const std::shared_ptr<OutlinesRead> &read)
{
    // A read stopped for a later choice was joined then.
    if (generation != outlinesGeneration_)
        return;
    outlineWorker_.join();
    if (read->failure) {
        ctx_.show(this, inventoryProblem(inventory_, read->failure));
        return;
    }
    // A run's own map may already be there.
    if (!stands_.empty())
        return;
    mapa->setOutlines(read->stands);
    pickedStand_ = -1;
    colour();
}

void InventoryScreen::setRunning(bool running)
{
    for (QWidget *w : std::initializer_list<QWidget *>{txtInventario, cmdAbrirInventario, cmdSimular, cmdGuardar,
                                                       cmdVerSimulacao})
        w->setEnabled(!running);
    regime_->setEnabled(!running);
    cboCamada->setEnabled(!running && cboCamada->count() > 1);
    cmdCancelar->setEnabled(running);
    if (!running) {
        cmdGuardar->setEnabled(!stands_.empty());
        cmdVerSimulacao->setEnabled(!stands_.empty());
    }
}

// The files simulated come back at the next opening, the regime among the recent ones.
void InventoryScreen::rememberRun()
{
    if (!ctx_.services.settings)
        return;
    ctx_.services.settings->setValue(kLastInventory, inventory_);
    ctx_.services.settings->setValue(kLastLayer, layer_);
    regime_->remember();
}

void InventoryScreen::simulate()
{
    if (running())
        return;
    // A name typed and not yet checked is checked now.
    if (!txtInventario->text().isEmpty() && txtInventario->text() != inventory_ &&
        !useInventory(txtInventario->text(), std::nullopt, false))
        return;
    if (inventory_.isEmpty() || !regime_->chosen()) {
        ctx_.show(this, Message::warning("Simulação de Inventário", "Escolha o inventário e o regime."));
        return;
    }
    auto chosen = regime_->regime();
    if (const auto *problem = std::get_if<Message>(&chosen)) {
        ctx_.show(this, *problem);
        return;
    }
    auto &[json, regime] = std::get<RegimeChooser::Chosen>(chosen);
    rememberRun();
    // The results shown stay until this run brings its own.
    lblResumo->setText(QStringLiteral("A simular..."));
    pbProgresso->setRange(0, 0);
    stop_ = false;
    runTotal_ = inventoryStands_;
    setRunning(true);

    auto out = std::make_shared<RunOutput>();
    out->inventory = inventory_;
    out->layer = layer_;
    out->regime = json;
    worker_ = std::thread([this, out, regime = std::move(regime)] {
        const std::filesystem::path inventory = out->inventory.toStdString();
        const std::string layer = out->layer.toStdString();
        try {
            {
                const auto source = openInventory(inventory, layer);
                if (!source->geometryType().empty())
                    out->map = MapLayer{source->geometryType(), source->crs()};
            }
            Collector collect(out->stands);
            BatchOptions options;
            options.table = layer;
            options.extraSink = &collect;
            options.keepLogs = true;
            options.stop = &stop_;
            options.progress = [this](size_t done, size_t total) {
                QMetaObject::invokeMethod(this, [this, done, total] { progress(done, total); }, Qt::QueuedConnection);
            };
            out->summary = runBatch(inventory, regime, {}, options);
            for (const StandOutcome &s : out->stands)
                out->outlines.push_back({qs(s.id), outlineOf(s.geometry)});
        } catch (const std::exception &) {
            out->failure = std::current_exception();
        }
        QMetaObject::invokeMethod(this, [this, out] { finished(out); }, Qt::QueuedConnection);
    });
}

void InventoryScreen::cancel()
{
    stop_ = true;
    lblResumo->setText(QStringLiteral("A cancelar..."));
}

void InventoryScreen::progress(size_t done, size_t total)
{
    runTotal_ = total;
    pbProgresso->setRange(0, static_cast<int>(std::min<size_t>(total, INT32_MAX)));
    pbProgresso->setValue(static_cast<int>(std::min({done, total, size_t{INT32_MAX}})));
}

void InventoryScreen::finished(const std::shared_ptr<RunOutput> &out)
{
    worker_.join();
    if (out->failure) {
        // Nothing new to show: the results before stay.
        pbProgresso->setRange(0, 1);
        pbProgresso->setValue(0);
        lblResumo->setText(summary_);
        setRunning(false);
        ctx_.show(this, inventoryProblem(out->inventory, out->failure));
        return;
    }
    // The stand picked before is picked again when the new run has it.
    const QString picked = pickedStand_ >= 0 && static_cast<size_t>(pickedStand_) < stands_.size()
                               ? qs(stands_[pickedStand_].id)
                               : QString();
    stands_ = std::move(out->stands);
    map_ = out->map;
    ranInventory_ = out->inventory;
    ranLayer_ = out->layer;
    ranRegime_ = out->regime;
    valued_ = std::any_of(stands_.begin(), stands_.end(), [](const StandOutcome &s) { return s.economics.has_value(); });
    withCarbon_ = std::any_of(stands_.begin(), stands_.end(), [](const StandOutcome &s) { return s.carbon.has_value(); });
    const BatchSummary &s = out->summary;
    // After a cancel the bar shows the share done, not a whole bar.
    const size_t total = std::max(runTotal_, stands_.size());
    pbProgresso->setRange(0, static_cast<int>(std::min<size_t>(std::max<size_t>(total, 1), INT32_MAX)));
    pbProgresso->setValue(s.interrupted ? static_cast<int>(std::min<size_t>(stands_.size(), INT32_MAX))
                                        : pbProgresso->maximum());
    summary_ = QString::number(s.stands) + QStringLiteral(" povoamentos: ") + QString::number(s.done) +
               QStringLiteral(" simulados, ") + QString::number(s.refused) + QStringLiteral(" recusados, ") +
               QString::number(s.endedByModel) + QStringLiteral(" terminados pelo modelo, ") +
               QString::number(s.malformed) + QStringLiteral(" linhas inválidas") +
               (s.interrupted ? QStringLiteral(" (cancelado)") : QString());
    lblResumo->setText(summary_);
    stopReadingOutlines(); // the run's own outlines replace them
    mapa->setOutlines(out->outlines);
    pickedStand_ = -1;
    fillTable();
    fillProblems();
    colour();
    for (size_t i = 0; i < stands_.size() && !picked.isEmpty(); ++i)
        if (qs(stands_[i].id) == picked)
            pickStand(static_cast<int>(i));
    setRunning(false);
}

void InventoryScreen::fillTable()
{
    tblResultados->setSortingEnabled(false);
    tblResultados->clear();
    // The value and the carbon columns only when the regime has them.
    std::vector<int> shown;
    for (int c = 0; c < static_cast<int>(std::size(kColumns)); ++c)
        if ((c != kNpvColumn || valued_) && (c != kCarbonColumn || withCarbon_))
            shown.push_back(c);
    const int columns = static_cast<int>(shown.size());
    tblResultados->setColumnCount(columns);
    QStringList headers;
    for (int c : shown)
        headers << QString::fromUtf8(kColumns[c].caption);
    tblResultados->setHorizontalHeaderLabels(headers);
    int rows = 0;
    tblResultados->setRowCount(static_cast<int>(stands_.size()));
    for (size_t i = 0; i < stands_.size(); ++i) {
        const StandOutcome &s = stands_[i];
        if (s.kind != StandOutcome::Kind::Done)
            continue;
        for (int c = 0; c < columns; ++c) {
            const QString text = cellOf(s, kColumns[shown[c]].recordColumn);
            auto *item = new QTableWidgetItem;
            bool number = false;
            const double value = text.toDouble(&number);
            // Numbers sort as numbers.
            if (c > 0 && number)
                item->setData(Qt::DisplayRole, value);
            else
                item->setText(text);
            if (c == 0)
                item->setData(Qt::UserRole, static_cast<qulonglong>(i));
            tblResultados->setItem(rows, c, item);
        }
        ++rows;
    }
    tblResultados->setRowCount(rows);
    tblResultados->setSortingEnabled(true);
    tblResultados->resizeColumnsToContents();
    const int npv = cboCor->findData(-2);
    const int carbon = cboCor->findData(-3);
    if ((npv >= 0 && !valued_ && cboCor->currentIndex() == npv) ||
        (carbon >= 0 && !withCarbon_ && cboCor->currentIndex() == carbon))
        cboCor->setCurrentIndex(0);
}

// The stands refused or ended, each with its message; a choice shows it on the map.
void InventoryScreen::fillProblems()
{
    const QSignalBlocker quiet(lstProblemas);
    lstProblemas->clear();
    for (size_t i = 0; i < stands_.size(); ++i)
        for (const StandOutcome::Error &e : stands_[i].errors) {
            auto *item = new QListWidgetItem(qs(stands_[i].id) + QStringLiteral(" (") + statusText(e.status) +
                                             QStringLiteral("): ") +
                                             qs(e.problem             ? portugueseText(*e.problem)
                                                : e.title.empty() ? e.text
                                                                  : e.title + " - " + e.text));
            item->setData(Qt::UserRole, static_cast<qulonglong>(i));
            lstProblemas->addItem(item);
        }
}

// The map's colours: classes of the column chosen over the stands simulated.
void InventoryScreen::colour()
{
    while (QLayoutItem *item = legendLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int column = cboCor->currentData().toInt();
    std::vector<std::optional<double>> values(stands_.size());
    for (size_t i = 0; i < stands_.size(); ++i) {
        bool ok = false;
        const double v = cellOf(stands_[i], column).toDouble(&ok);
        if (ok && stands_[i].kind == StandOutcome::Kind::Done)
            values[i] = v;
    }
    const ColourClasses classes = colourClasses(values);
    std::vector<QColor> colours(std::max(stands_.size(), mapa->standCount()), noValueColour());
    for (size_t i = 0; i < stands_.size(); ++i)
        if (classes.classOf[i] >= 0)
            colours[i] = classes.classes[classes.classOf[i]].colour;
    mapa->setColours(colours);

    auto addEntry = [&](const QColor &c, const QString &text) {
        auto *label = new QLabel(legenda);
        label->setText(QStringLiteral("<span style=\"background-color:%1\">&nbsp;&nbsp;&nbsp;&nbsp;</span> %2")
                           .arg(c.name(), text.toHtmlEscaped()));
        label->setAccessibleName(text);
        legendLayout_->addWidget(label);
    };
    auto *title = new QLabel(QStringLiteral("<b>%1</b>").arg(cboCor->currentText().toHtmlEscaped()), legenda);
    title->setWordWrap(true);
    legendLayout_->addWidget(title);
    if (stands_.empty()) {
        if (mapa->standCount() > 0)
            addEntry(noValueColour(), QStringLiteral("por simular"));
        return;
    }
    for (const LegendEntry &entry : legendOf(classes))
        addEntry(entry.colour, entry.text);
}

void InventoryScreen::pickStand(int stand)
{
    if (syncing_)
        return;
    syncing_ = true;
    pickedStand_ = stand;
    if (mapa->picked() != stand)
        mapa->pick(stand);
    tblResultados->clearSelection();
    for (int r = 0; r < tblResultados->rowCount() && stand >= 0; ++r) {
        if (tblResultados->item(r, 0)->data(Qt::UserRole).toInt() == stand) {
            tblResultados->selectRow(r);
            tblResultados->scrollToItem(tblResultados->item(r, 0));
        }
    }
    lstProblemas->clearSelection();
    for (int r = 0; r < lstProblemas->count() && stand >= 0; ++r) {
        if (lstProblemas->item(r)->data(Qt::UserRole).toInt() == stand) {
            lstProblemas->setCurrentRow(r);
            lstProblemas->scrollToItem(lstProblemas->item(r));
            break;
        }
    }
    syncing_ = false;
}

void InventoryScreen::tableSelectionChanged()
{
    const auto rows = tblResultados->selectionModel()->selectedRows();
    const QTableWidgetItem *item = rows.isEmpty() ? nullptr : tblResultados->item(rows.first().row(), 0);
    if (item)
        pickStand(item->data(Qt::UserRole).toInt());
}

void InventoryScreen::problemChosen()
{
    const auto items = lstProblemas->selectedItems();
    if (!items.isEmpty())
        pickStand(items.first()->data(Qt::UserRole).toInt());
}

void InventoryScreen::showLog()
{
    const int stand = pickedStand_ >= 0 && static_cast<size_t>(pickedStand_) < stands_.size() ? pickedStand_ : -1;
    if (stand < 0) {
        ctx_.show(this, Message::information("Ver simulação", "Escolha um povoamento na tabela ou no mapa."));
        return;
    }
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("frmSimulacaoPovoamento"));
    dialog.setWindowTitle(QStringLiteral("Simulação do povoamento ") + qs(stands_[stand].id));
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = ui::named(new QPlainTextEdit(&dialog), "txtSimulacao", QStringLiteral("Registo da simulação"));
    text->setReadOnly(true);
    text->setFont(QFont(QStringLiteral("DejaVu Sans Mono")));
    // The log's own bytes are Windows-1252 lines ending in CR LF.
    text->setPlainText(qs(cp1252ToUtf8(stands_[stand].log)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    auto *close = ui::captionedButton(&dialog, "cmdFecharSimulacao", QStringLiteral("Fechar"));
    connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(text);
    layout->addWidget(close);
    dialog.resize(760, 560);
    dialog.exec();
}

void InventoryScreen::save()
{
    if (stands_.empty())
        return;
    const QString name = ctx_.services.files->saveFileName(
        this, QStringLiteral("Guardar resultados"), QStringLiteral("resultados.gpkg"),
        QStringLiteral("GeoPackage (*.gpkg);;CSV (*.csv)|*.gpkg"));
    if (name.isEmpty())
        return;
    const std::filesystem::path path = name.toStdString();
    try {
        if (path.extension() == ".csv") {
            // The record under the name chosen, the errors and the values beside it.
            const std::filesystem::path stem = path.parent_path() / path.stem();
            const std::filesystem::path economics = stem.string() + "_economia.csv";
            const std::filesystem::path events = stem.string() + "_eventos.csv";
            const bool underRules = std::any_of(stands_.begin(), stands_.end(),
                                                [](const StandOutcome &s) { return !s.events.empty(); });
            const std::filesystem::path carbon = stem.string() + "_carbono.csv";
            saveBatchCsv(stands_, path, stem.string() + "_erros.csv", valued_ ? &economics : nullptr,
                         underRules ? &events : nullptr, withCarbon_ ? &carbon : nullptr);
        } else {
            const RunIdentity identity =
                runIdentityOf(ranInventory_.toStdString(), ranLayer_.toStdString(), ranRegime_);
            DatabaseSink db(path, identity, static_cast<int64_t>(stands_.size()), false, kBusyTimeoutMs,
                            map_ ? &*map_ : nullptr);
            db.add(stands_);
            db.finish(true);
        }
    } catch (const std::exception &e) {
        ctx_.show(this, Message::error(fileWriteError().title, fileWriteError().text + " " + e.what()));
        return;
    }
    ctx_.show(this, Message::information("Guardar resultados", "Resultados guardados em " + path.string() + "."));
}

// The plan is made for the inventory and layer chosen here, whether simulated or not.
void InventoryScreen::openPlan()
{
    if (!txtInventario->text().isEmpty() && txtInventario->text() != inventory_ &&
        !useInventory(txtInventario->text(), std::nullopt, false))
        return;
    if (!plan_) {
        plan_ = new PlanScreen(ctx_, this);
        // As large as the inventory window: the map and the tables need the room.
        plan_->resize(size());
        plan_->move(pos());
    }
    plan_->setInventory(inventory_, layer_);
    plan_->show();
    plan_->raise();
    plan_->activateWindow();
}

QGraphicsPathItem *InventoryScreen::standShape(const QString &id) const
{
    for (size_t i = 0; i < mapa->standCount(); ++i)
        if (QGraphicsPathItem *shape = mapa->shape(static_cast<int>(i)); shape && shape->toolTip() == id)
            return shape;
    return nullptr;
}

} // namespace tavelo
