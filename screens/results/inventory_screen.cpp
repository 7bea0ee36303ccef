#include "inventory_screen.h"

#include "inventory/batch.h"
#include "inventory/gdal_inventory.h"
#include "inventory/results_db.h"
#include "inventory/results_map.h"
#include "base/calendar.h"
#include "base/numeric_text.h"
#include "screens/shell/app_context.h"
#include "session/structure/sim_record.h"

#include <ogr_geometry.h>

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsPathItem>
#include <QGraphicsScene>
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
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace tavelo {

namespace {

const QString kLastInventory = QStringLiteral("inventario/ficheiro");
const QString kLastLayer = QStringLiteral("inventario/camada");
const QString kLastRegime = QStringLiteral("inventario/regime");
const QString kRecentRegimes = QStringLiteral("inventario/regimesRecentes"); // one file per line, newest first
constexpr int kRecentRegimesKept = 5;

// What a new typed regime starts from: options and steps, to be changed or replaced by rules.
const char *kRegimeTemplate = R"({
  "options": {"volumes": "com casca"},
  "steps": ["project", {"thin": "mechanical", "percent": "30"}, "project", "project",
            {"thin": "below", "residualBasalArea": "14"}, "project", "project", "end"]
}
)";

QString regimeDescription(const Regime &r)
{
    return (r.rules ? QStringLiteral("Regras de gestão (idade máxima ") +
                          QString::fromStdString(plainNumberText(r.rules->maxAge)) + QStringLiteral(")")
                    : QString::number(r.steps.size()) + QStringLiteral(" passos")) +
           (r.economics ? QStringLiteral(", com avaliação económica") : QString());
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

// Five classes from light to dark green.
const QColor kClassColours[] = {QColor(237, 248, 233), QColor(186, 228, 179), QColor(116, 196, 118),
                                QColor(49, 163, 84), QColor(0, 109, 44)};
const QColor kNoValue(200, 200, 200);

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

void addRing(QPainterPath &path, const OGRLinearRing *ring)
{
    if (!ring || ring->getNumPoints() == 0)
        return;
    path.moveTo(ring->getX(0), ring->getY(0));
    for (int i = 1; i < ring->getNumPoints(); ++i)
        path.lineTo(ring->getX(i), ring->getY(i));
    path.closeSubpath();
}

void addPolygon(QPainterPath &path, const OGRPolygon *polygon)
{
    addRing(path, polygon->getExteriorRing());
    for (int i = 0; i < polygon->getNumInteriorRings(); ++i)
        addRing(path, polygon->getInteriorRing(i));
}

// The stand's outline; points and lines get a small square each.
QPainterPath outline(const StandGeometry &g)
{
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    OGRGeometry *geometry = nullptr;
    if (OGRGeometryFactory::createFromWkb(g.wkb.data(), nullptr, &geometry, g.wkb.size()) != OGRERR_NONE ||
        !geometry)
        return path;
    const std::unique_ptr<OGRGeometry> owned(geometry);
    const OGRwkbGeometryType type = wkbFlatten(geometry->getGeometryType());
    if (type == wkbPolygon) {
        addPolygon(path, geometry->toPolygon());
    } else if (type == wkbMultiPolygon) {
        for (const OGRPolygon *p : *geometry->toMultiPolygon())
            addPolygon(path, p);
    } else {
        const double side = std::max({g.maxX - g.minX, g.maxY - g.minY, 1.0});
        path.addRect(QRectF(g.minX, g.minY, side, side));
    }
    return path;
}

class Collector : public ResultSink {
public:
    explicit Collector(std::vector<StandOutcome> &out) : out_(out) {}
    void add(const std::vector<StandOutcome> &stands) override { out_.insert(out_.end(), stands.begin(), stands.end()); }
    void finish(bool) override {}

private:
    std::vector<StandOutcome> &out_;
};

QPushButton *button(QWidget *parent, const char *name, const QString &caption)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(caption);
    return b;
}

template <typename W> W *named(W *w, const char *name, const QString &accessible)
{
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}

} // namespace

struct InventoryScreen::RunOutput {
    std::vector<StandOutcome> stands;
    BatchSummary summary;
    std::optional<MapLayer> map;
    std::string error; // why the run could not be done
};

StandMapView::StandMapView(QWidget *parent) : QGraphicsView(parent)
{
    setDragMode(QGraphicsView::ScrollHandDrag);
    setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    setRenderHint(QPainter::Antialiasing);
    // Map coordinates grow northwards.
    setTransform(QTransform::fromScale(1, -1));
}

void StandMapView::fit()
{
    if (scene() && !scene()->itemsBoundingRect().isEmpty())
        fitInView(scene()->itemsBoundingRect().marginsAdded(QMarginsF(10, 10, 10, 10)), Qt::KeepAspectRatio);
}

void StandMapView::wheelEvent(QWheelEvent *event)
{
    const double factor = std::pow(1.0015, event->angleDelta().y());
    scale(factor, factor);
    event->accept();
}

InventoryScreen::InventoryScreen(AppContext &ctx) : ctx_(ctx)
{
    setObjectName(QStringLiteral("frmInventario"));
    setWindowTitle(QStringLiteral("Simulação de Inventário"));
    resize(1000, 700);
    auto *main = new QVBoxLayout(this);

    auto *files = new QGroupBox(QStringLiteral("Ficheiros"), this);
    auto *grid = new QGridLayout(files);
    auto *lblInventario = new QLabel(QStringLiteral("Inventário:"), files);
    txtInventario = named(new QLineEdit(files), "txtInventario", QStringLiteral("Ficheiro do inventário"));
    lblInventario->setBuddy(txtInventario);
    cmdAbrirInventario = button(files, "cmdAbrirInventario", QStringLiteral("Abrir inventário..."));
    cboCamada = named(new QComboBox(files), "cboCamada", QStringLiteral("Camada do inventário"));
    cboCamada->setEnabled(false);
    auto *lblRegimeFile = new QLabel(QStringLiteral("Regime:"), files);
    txtRegime = named(new QLineEdit(files), "txtRegime", QStringLiteral("Ficheiro do regime"));
    lblRegimeFile->setBuddy(txtRegime);
    cmdAbrirRegime = button(files, "cmdAbrirRegime", QStringLiteral("Abrir regime..."));
    cmdEscreverRegime = button(files, "cmdEscreverRegime", QStringLiteral("Escrever regime..."));
    cboRegimesRecentes = named(new QComboBox(files), "cboRegimesRecentes", QStringLiteral("Regimes usados há pouco"));
    cboRegimesRecentes->addItem(QStringLiteral("Regimes recentes"));
    lblRegime = named(new QLabel(files), "lblRegime", QStringLiteral("O regime"));
    lblRegime->setWordWrap(true);
    grid->addWidget(lblInventario, 0, 0);
    grid->addWidget(txtInventario, 0, 1);
    grid->addWidget(cmdAbrirInventario, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Camada:"), files), 0, 3);
    grid->addWidget(cboCamada, 0, 4);
    grid->addWidget(lblRegimeFile, 1, 0);
    grid->addWidget(txtRegime, 1, 1);
    grid->addWidget(cmdAbrirRegime, 1, 2);
    grid->addWidget(cmdEscreverRegime, 1, 3);
    grid->addWidget(cboRegimesRecentes, 1, 4);
    grid->addWidget(new QLabel(QStringLiteral("Regime em uso:"), files), 2, 0);
    grid->addWidget(lblRegime, 2, 1, 1, 4);
    grid->setColumnStretch(1, 1);
    main->addWidget(files);

    auto *runRow = new QHBoxLayout;
    cmdSimular = button(this, "cmdSimular", QStringLiteral("Simular"));
    cmdCancelar = button(this, "cmdCancelar", QStringLiteral("Cancelar"));
    pbProgresso = named(new QProgressBar(this), "pbProgresso", QStringLiteral("Progresso da simulação"));
    pbProgresso->setValue(0);
    lblResumo = named(new QLabel(this), "lblResumo", QStringLiteral("Resumo da simulação"));
    runRow->addWidget(cmdSimular);
    runRow->addWidget(cmdCancelar);
    runRow->addWidget(pbProgresso, 1);
    main->addLayout(runRow);
    main->addWidget(lblResumo);

    auto *split = new QSplitter(Qt::Horizontal, this);
    auto *left = new QWidget(split);
    auto *leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    tblResultados = named(new QTableWidget(left), "tblResultados", QStringLiteral("Resultados por povoamento"));
    tblResultados->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblResultados->setSelectionMode(QAbstractItemView::SingleSelection);
    tblResultados->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblResultados->verticalHeader()->setVisible(false);
    lstProblemas = named(new QListWidget(left), "lstProblemas", QStringLiteral("Povoamentos recusados ou terminados"));
    lstProblemas->setMaximumHeight(110);
    leftLayout->addWidget(tblResultados, 1);
    leftLayout->addWidget(new QLabel(QStringLiteral("Povoamentos recusados ou terminados:"), left));
    leftLayout->addWidget(lstProblemas);

    auto *right = new QWidget(split);
    auto *rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    auto *mapRow = new QHBoxLayout;
    auto *lblCor = new QLabel(QStringLiteral("Colorir por:"), right);
    cboCor = named(new QComboBox(right), "cboCor", QStringLiteral("Coluna que dá a cor ao mapa"));
    lblCor->setBuddy(cboCor);
    cmdAjustar = button(right, "cmdAjustar", QStringLiteral("Ajustar"));
    mapRow->addWidget(lblCor);
    mapRow->addWidget(cboCor, 1);
    mapRow->addWidget(cmdAjustar);
    rightLayout->addLayout(mapRow);
    auto *mapAndLegend = new QHBoxLayout;
    mapa = named(new StandMapView(right), "mapa", QStringLiteral("Mapa dos povoamentos"));
    scene_ = new QGraphicsScene(mapa);
    mapa->setScene(scene_);
    legenda = named(new QWidget(right), "legenda", QStringLiteral("Legenda do mapa"));
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
    cmdVerSimulacao = button(this, "cmdVerSimulacao", QStringLiteral("Ver simulação"));
    cmdGuardar = button(this, "cmdGuardar", QStringLiteral("Guardar resultados"));
    cmdFechar = button(this, "cmdFechar", QStringLiteral("Fechar"));
    bottom->addWidget(cmdVerSimulacao);
    bottom->addWidget(cmdGuardar);
    bottom->addStretch(1);
    bottom->addWidget(cmdFechar);
    main->addLayout(bottom);

    for (const Column &c : kColumns)
        if (c.recordColumn >= 0)
            cboCor->addItem(QString::fromUtf8(c.caption), c.recordColumn);
    cboCor->addItem(QString::fromUtf8(kColumns[kNpvColumn].caption), -2);
    cboCor->addItem(QString::fromUtf8(kColumns[kCarbonColumn].caption), -3);

    connect(cmdAbrirInventario, &QPushButton::clicked, this, &InventoryScreen::chooseInventory);
    connect(cmdAbrirRegime, &QPushButton::clicked, this, &InventoryScreen::chooseRegime);
    connect(txtInventario, &QLineEdit::editingFinished, this, &InventoryScreen::inventoryChanged);
    connect(txtRegime, &QLineEdit::editingFinished, this, &InventoryScreen::regimeChanged);
    connect(cmdEscreverRegime, &QPushButton::clicked, this, &InventoryScreen::writeRegime);
    connect(cboRegimesRecentes, &QComboBox::activated, this, &InventoryScreen::recentRegimeChosen);
    connect(cmdSimular, &QPushButton::clicked, this, &InventoryScreen::simulate);
    connect(cmdCancelar, &QPushButton::clicked, this, &InventoryScreen::cancel);
    connect(cboCor, &QComboBox::currentIndexChanged, this, &InventoryScreen::colour);
    connect(cmdAjustar, &QPushButton::clicked, mapa, &StandMapView::fit);
    connect(tblResultados, &QTableWidget::itemSelectionChanged, this, &InventoryScreen::tableSelectionChanged);
    connect(scene_, &QGraphicsScene::selectionChanged, this, &InventoryScreen::mapSelectionChanged);
    connect(cmdVerSimulacao, &QPushButton::clicked, this, &InventoryScreen::showLog);
    connect(cmdGuardar, &QPushButton::clicked, this, &InventoryScreen::save);
    connect(cmdFechar, &QPushButton::clicked, this, &QWidget::close);

    // The files of the last run, when they are still there.
    if (ctx_.services.settings) {
        const QString inventory = ctx_.services.settings->value(kLastInventory).value_or(QString());
        const QString regime = ctx_.services.settings->value(kLastRegime).value_or(QString());
        if (!inventory.isEmpty() && QFileInfo::exists(inventory)) {
            txtInventario->setText(inventory);
            inventoryChanged();
            const int layer = cboCamada->findText(ctx_.services.settings->value(kLastLayer).value_or(QString()));
            if (layer >= 0)
                cboCamada->setCurrentIndex(layer);
        }
        if (!regime.isEmpty() && QFileInfo::exists(regime)) {
            txtRegime->setText(regime);
            regimeChanged();
        }
        for (const QString &f : ctx_.services.settings->value(kRecentRegimes).value_or(QString()).split(u'\n'))
            if (!f.isEmpty() && QFileInfo::exists(f))
                cboRegimesRecentes->addItem(f);
    }
    setRunning(false);
}

InventoryScreen::~InventoryScreen()
{
    // The scene goes after the table it would update.
    disconnect(scene_, nullptr, this, nullptr);
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
    inventoryChanged();
}

void InventoryScreen::chooseRegime()
{
    const QString f = ctx_.services.files->openFileName(this, QStringLiteral("Abrir regime"),
                                                        QStringLiteral("Regimes (*.json);;Todos os ficheiros (*)"));
    if (f.isEmpty())
        return;
    txtRegime->setText(f);
    regimeChanged();
}

// The layer list of a GIS inventory; several layers let the user choose.
void InventoryScreen::inventoryChanged()
{
    cboCamada->clear();
    cboCamada->setEnabled(false);
    const std::filesystem::path path = txtInventario->text().toStdString();
    if (txtInventario->text().isEmpty() || !gdalReadsInventory(path))
        return;
    try {
        for (const std::string &name : gdalLayerNames(path))
            cboCamada->addItem(qs(name));
    } catch (const std::exception &e) {
        ctx_.show(this, Message::error("Inventário", e.what()));
        return;
    }
    const int stands = cboCamada->findText(QStringLiteral("stands"));
    if (stands >= 0)
        cboCamada->setCurrentIndex(stands);
    cboCamada->setEnabled(cboCamada->count() > 1);
}

void InventoryScreen::regimeChanged()
{
    lblRegime->clear();
    if (!txtRegime->text().isEmpty())
        typedRegime_.reset(); // a file named replaces the regime typed
    if (txtRegime->text().isEmpty() && !typedRegime_)
        return;
    const auto text = regimeText();
    if (const auto *problem = std::get_if<Message>(&text)) {
        lblRegime->setText(qs(problem->text));
        return;
    }
    const auto regime = parseRegime(std::get<std::string>(text), thisYear());
    if (const auto *why = std::get_if<std::string>(&regime)) {
        lblRegime->setText(QStringLiteral("Regime inválido: ") + qs(*why));
        return;
    }
    lblRegime->setText((typedRegime_ ? QStringLiteral("Regime escrito: ") : QString()) +
                       regimeDescription(std::get<Regime>(regime)));
}

std::variant<std::string, Message> InventoryScreen::regimeText() const
{
    if (txtRegime->text().isEmpty() && typedRegime_)
        return *typedRegime_;
    if (txtRegime->text().isEmpty())
        return Message::warning("Regime", "Escolha o regime.");
    QFile f(txtRegime->text());
    if (!f.open(QIODevice::ReadOnly))
        return Message::error("Regime", "Não é possível ler " + txtRegime->text().toStdString() + ".");
    return f.readAll().toStdString();
}

// "Escrever regime...": the regime typed as a regime file holds it, steps or
// rules, with its economics and carbon sections.
void InventoryScreen::writeRegime()
{
    if (regimeDialog_)
        return;
    auto *dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("frmRegimeEscrito"));
    dialog->setWindowTitle(QStringLiteral("Regime escrito"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("O regime, como num ficheiro de regime: \"options\" e \"steps\" "
                                                "ou \"rules\", e as secções \"economics\" e \"carbon\"."),
                                 dialog));
    auto *editor = named(new QPlainTextEdit(dialog), "txtRegimeEscrito", QStringLiteral("Texto do regime"));
    const auto current = regimeText();
    const std::string *text = std::get_if<std::string>(&current);
    editor->setPlainText(qs(text ? *text : kRegimeTemplate));
    layout->addWidget(editor);
    auto *buttons = new QHBoxLayout;
    auto *ok = button(dialog, "cmdOkRegime", QStringLiteral("&Ok"));
    auto *cancel = button(dialog, "cmdCancelarRegime", QStringLiteral("Cancelar"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    dialog->resize(640, 420);
    connect(ok, &QPushButton::clicked, this, &InventoryScreen::typedRegimeAccepted);
    connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    connect(dialog, &QObject::destroyed, this, [this] { regimeDialog_ = nullptr; });
    regimeDialog_ = dialog;
    dialog->open();
}

void InventoryScreen::typedRegimeAccepted()
{
    auto *editor = regimeDialog_->findChild<QPlainTextEdit *>(QStringLiteral("txtRegimeEscrito"));
    const std::string json = editor->toPlainText().toStdString();
    const auto regime = parseRegime(json, thisYear());
    if (const auto *why = std::get_if<std::string>(&regime)) {
        ctx_.show(regimeDialog_, Message::warning("Regime escrito", *why));
        return; // the text stays to be mended
    }
    typedRegime_ = json;
    txtRegime->clear();
    regimeChanged();
    static_cast<QDialog *>(regimeDialog_)->accept();
}

void InventoryScreen::recentRegimeChosen(int index)
{
    if (index <= 0)
        return;
    txtRegime->setText(cboRegimesRecentes->itemText(index));
    cboRegimesRecentes->setCurrentIndex(0);
    regimeChanged();
}

void InventoryScreen::setRunning(bool running)
{
    for (QWidget *w : std::initializer_list<QWidget *>{txtInventario, cmdAbrirInventario, txtRegime, cmdAbrirRegime,
                                                       cmdEscreverRegime, cboRegimesRecentes,
                                                       cmdSimular, cmdGuardar, cmdVerSimulacao})
        w->setEnabled(!running);
    cboCamada->setEnabled(!running && cboCamada->count() > 1);
    cmdCancelar->setEnabled(running);
    if (!running) {
        cmdGuardar->setEnabled(!stands_.empty());
        cmdVerSimulacao->setEnabled(!stands_.empty());
    }
}

void InventoryScreen::simulate()
{
    if (running())
        return;
    if (txtInventario->text().isEmpty() || (txtRegime->text().isEmpty() && !typedRegime_)) {
        ctx_.show(this, Message::warning("Simulação de Inventário", "Escolha o inventário e o regime."));
        return;
    }
    const auto text = regimeText();
    if (const auto *problem = std::get_if<Message>(&text)) {
        ctx_.show(this, *problem);
        return;
    }
    const std::string json = std::get<std::string>(text);
    auto parsed = parseRegime(json, thisYear());
    if (const auto *why = std::get_if<std::string>(&parsed)) {
        ctx_.show(this, Message::error("Regime", *why));
        return;
    }
    if (ctx_.services.settings) {
        ctx_.services.settings->setValue(kLastInventory, txtInventario->text());
        ctx_.services.settings->setValue(kLastLayer, cboCamada->currentText());
        ctx_.services.settings->setValue(kLastRegime, txtRegime->text());
        if (!txtRegime->text().isEmpty()) {
            QStringList recent{txtRegime->text()};
            for (int i = 1; i < cboRegimesRecentes->count() && recent.size() < kRecentRegimesKept; ++i)
                if (cboRegimesRecentes->itemText(i) != txtRegime->text())
                    recent << cboRegimesRecentes->itemText(i);
            ctx_.services.settings->setValue(kRecentRegimes, recent.join(u'\n'));
            cboRegimesRecentes->clear();
            cboRegimesRecentes->addItem(QStringLiteral("Regimes recentes"));
            cboRegimesRecentes->addItems(recent);
        }
    }
    stands_.clear();
    fillTable();
    drawMap();
    lstProblemas->clear();
    lblResumo->setText(QStringLiteral("A simular..."));
    pbProgresso->setRange(0, 0);
    stop_ = false;
    ranInventory_ = txtInventario->text();
    ranLayer_ = cboCamada->currentText();
    ranRegime_ = json;
    setRunning(true);

    const std::filesystem::path inventory = ranInventory_.toStdString();
    const std::string layer = ranLayer_.toStdString();
    worker_ = std::thread([this, inventory, layer, regime = std::get<Regime>(std::move(parsed))] {
        auto out = std::make_shared<RunOutput>();
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
        } catch (const std::exception &e) {
            out->error = e.what();
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
    pbProgresso->setRange(0, static_cast<int>(std::min<size_t>(total, INT32_MAX)));
    pbProgresso->setValue(static_cast<int>(std::min(done, total)));
}

void InventoryScreen::finished(std::shared_ptr<RunOutput> out)
{
    worker_.join();
    map_ = out->map;
    pbProgresso->setRange(0, 1);
    pbProgresso->setValue(out->error.empty() ? 1 : 0);
    if (!out->error.empty()) {
        lblResumo->clear();
        setRunning(false);
        ctx_.show(this, Message::error("Simulação de Inventário", out->error));
        return;
    }
    stands_ = std::move(out->stands);
    valued_ = std::any_of(stands_.begin(), stands_.end(), [](const StandOutcome &s) { return s.economics.has_value(); });
    withCarbon_ = std::any_of(stands_.begin(), stands_.end(), [](const StandOutcome &s) { return s.carbon.has_value(); });
    const BatchSummary &s = out->summary;
    lblResumo->setText(QString::number(s.stands) + QStringLiteral(" povoamentos: ") + QString::number(s.done) +
                       QStringLiteral(" simulados, ") + QString::number(s.refused) + QStringLiteral(" recusados, ") +
                       QString::number(s.endedByModel) + QStringLiteral(" terminados pelo modelo, ") +
                       QString::number(s.malformed) + QStringLiteral(" linhas inválidas") +
                       (s.interrupted ? QStringLiteral(" (cancelado)") : QString()));
    for (const StandOutcome &stand : stands_)
        for (const StandOutcome::Error &e : stand.errors)
            lstProblemas->addItem(qs(stand.id) + QStringLiteral(" (") + qs(e.status) + QStringLiteral("): ") +
                                  qs(e.title.empty() ? e.text : e.title + " - " + e.text));
    fillTable();
    drawMap();
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

void InventoryScreen::drawMap()
{
    scene_->clear();
    shapes_.assign(stands_.size(), nullptr);
    for (size_t i = 0; i < stands_.size(); ++i) {
        if (stands_[i].geometry.wkb.empty())
            continue;
        auto *item = scene_->addPath(outline(stands_[i].geometry));
        item->setFlag(QGraphicsItem::ItemIsSelectable);
        item->setData(0, static_cast<qulonglong>(i));
        item->setToolTip(qs(stands_[i].id));
        shapes_[i] = item;
    }
    colour();
    mapa->fit();
}

// Five classes of equal width between the smallest and largest value shown.
void InventoryScreen::colour()
{
    while (QLayoutItem *item = legendLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    const int column = cboCor->currentData().toInt();
    std::vector<std::optional<double>> values(stands_.size());
    double lo = 0, hi = 0;
    bool any = false;
    for (size_t i = 0; i < stands_.size(); ++i) {
        bool ok = false;
        const double v = cellOf(stands_[i], column).toDouble(&ok);
        if (!ok || stands_[i].kind != StandOutcome::Kind::Done)
            continue;
        values[i] = v;
        lo = any ? std::min(lo, v) : v;
        hi = any ? std::max(hi, v) : v;
        any = true;
    }
    const int classes = static_cast<int>(std::size(kClassColours));
    const double width = hi > lo ? (hi - lo) / classes : 1.0;
    for (size_t i = 0; i < stands_.size(); ++i) {
        QGraphicsPathItem *shape = shapes_[i];
        if (!shape)
            continue;
        const int k = values[i] ? std::clamp(static_cast<int>((*values[i] - lo) / width), 0, classes - 1) : -1;
        shape->setBrush(k < 0 ? kNoValue : kClassColours[k]);
        QPen pen(shape->isSelected() ? QColor(220, 30, 30) : QColor(60, 60, 60));
        pen.setCosmetic(true);
        pen.setWidth(shape->isSelected() ? 3 : 1);
        shape->setPen(pen);
    }
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
    if (any) {
        for (int k = 0; k < classes && (k == 0 || hi > lo); ++k)
            addEntry(kClassColours[hi > lo ? k : classes - 1],
                     hi > lo ? QString::number(lo + k * width, 'f', 1) + QStringLiteral(" a ") +
                                   QString::number(lo + (k + 1) * width, 'f', 1)
                             : QString::number(lo, 'f', 1));
    }
    addEntry(kNoValue, QStringLiteral("sem valor"));
}

int InventoryScreen::selectedStand() const
{
    const auto rows = tblResultados->selectionModel() ? tblResultados->selectionModel()->selectedRows()
                                                      : QModelIndexList();
    if (rows.isEmpty())
        return -1;
    const QTableWidgetItem *item = tblResultados->item(rows.first().row(), 0);
    return item ? static_cast<int>(item->data(Qt::UserRole).toULongLong()) : -1;
}

void InventoryScreen::tableSelectionChanged()
{
    if (syncing_)
        return;
    syncing_ = true;
    const int stand = selectedStand();
    scene_->clearSelection();
    if (stand >= 0 && shapes_[stand]) {
        shapes_[stand]->setSelected(true);
        mapa->ensureVisible(shapes_[stand]);
    }
    colour();
    syncing_ = false;
}

void InventoryScreen::mapSelectionChanged()
{
    if (syncing_)
        return;
    syncing_ = true;
    const auto selected = scene_->selectedItems();
    tblResultados->clearSelection();
    if (!selected.isEmpty()) {
        const qulonglong stand = selected.first()->data(0).toULongLong();
        for (int r = 0; r < tblResultados->rowCount(); ++r) {
            if (tblResultados->item(r, 0)->data(Qt::UserRole).toULongLong() == stand) {
                tblResultados->selectRow(r);
                tblResultados->scrollToItem(tblResultados->item(r, 0));
            }
        }
    }
    colour();
    syncing_ = false;
}

void InventoryScreen::showLog()
{
    const int stand = selectedStand();
    if (stand < 0) {
        ctx_.show(this, Message::information("Ver simulação", "Escolha um povoamento na tabela ou no mapa."));
        return;
    }
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("frmSimulacaoPovoamento"));
    dialog.setWindowTitle(QStringLiteral("Simulação do povoamento ") + qs(stands_[stand].id));
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = named(new QPlainTextEdit(&dialog), "txtSimulacao", QStringLiteral("Registo da simulação"));
    text->setReadOnly(true);
    text->setFont(QFont(QStringLiteral("DejaVu Sans Mono")));
    // The log's own bytes are Windows-1252 lines ending in CR LF.
    text->setPlainText(qs(cp1252ToUtf8(stands_[stand].log)).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    auto *close = button(&dialog, "cmdFecharSimulacao", QStringLiteral("Fechar"));
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
            DatabaseSink db(path, identity, static_cast<int64_t>(stands_.size()), false, 5000,
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

QGraphicsPathItem *InventoryScreen::standShape(const QString &id) const
{
    for (size_t i = 0; i < stands_.size(); ++i)
        if (qs(stands_[i].id) == id)
            return shapes_[i];
    return nullptr;
}

} // namespace tavelo
