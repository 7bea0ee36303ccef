#include "best_regime_screen.h"

#include "base/whole_file.h"
#include "screens/shell/app_context.h"
#include "screens/shell/widget_kit.h"
#include "screens/shell/stand_table_model.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QShortcut>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

namespace tavelo {

namespace {

QStringList headers()
{
    QStringList out;
    for (const char *h : kRankingHeaders)
        out << QString::fromUtf8(h);
    return out;
}

// Column widths (twips) of the table of regimes; the schedule takes the rest.
const std::vector<int> kRegimeColumnTwips = {500, 1000, 1000, 900, 1000, 900, 900, 800, 4000};
constexpr int kVisibleRegimes = 10;
constexpr int kScheduleColumn = 8;
// The widest the table grows before it scrolls: the window stays within 1024 pixels.
constexpr int kWidestTable = 960;

// The schedule reads from the left, like a sentence, and shows whole on hover.
class RankingModel : public TextTableModel {
public:
    using TextTableModel::TextTableModel;
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (index.isValid() && index.column() == kScheduleColumn) {
            if (role == Qt::TextAlignmentRole)
                return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
            if (role == Qt::ToolTipRole)
                return cell(index.row(), index.column());
        }
        return TextTableModel::data(index, role);
    }
};

} // namespace

BestRegimeScreen::BestRegimeScreen(AppContext &ctx, QWidget *owner, std::optional<EconomicTexts> economics)
    : QWidget(owner, Qt::Window), ctx_(ctx), economics_(std::move(economics))
{
    setObjectName(QStringLiteral("frmMelhorRegime"));
    setWindowTitle(QString::fromUtf8(kSearchTitle));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto *space = new QGroupBox(QStringLiteral("Espaço de procura"), this);
    space->setObjectName(QStringLiteral("frmEspaco"));
    auto *form = new QFormLayout;
    auto *form2 = new QFormLayout;
    for (const SearchFieldInfo &info : kSearchFields) {
        auto *box = new QLineEdit(space);
        box->setObjectName(QLatin1String(info.name));
        const bool list = info.field == SearchField::Mechanical || info.field == SearchField::Below;
        box->setMaximumWidth(list ? 200 : 80);
        inputs[static_cast<size_t>(info.field)] = box;
        (static_cast<int>(info.field) < 4 ? form : form2)->addRow(QString::fromUtf8(info.label), box);
        connect(box, &QLineEdit::returnPressed, this, &BestRegimeScreen::start);
    }
    cboObjectivo = new QComboBox(space);
    cboObjectivo->setObjectName(QStringLiteral("cboObjectivo"));
    for (const ObjectiveChoice &c : kObjectiveChoices)
        cboObjectivo->addItem(QString::fromUtf8(c.label), static_cast<int>(c.objective));
    form2->addRow(QStringLiteral("Objectivo"), cboObjectivo);
    auto *spaceRow = new QHBoxLayout(space);
    spaceRow->addLayout(form);
    spaceRow->addSpacing(24);
    spaceRow->addLayout(form2);

    cmdProcurar = ui::button(this, "cmdProcurar", QStringLiteral("Procurar"));
    cmdCancelar = ui::button(this, "cmdCancelar", QStringLiteral("Cancelar"));
    cmdCancelar->setEnabled(false);
    barProgresso = new QProgressBar(this);
    barProgresso->setObjectName(QStringLiteral("barProgresso"));
    barProgresso->setAccessibleName(QStringLiteral("Progresso da procura"));
    barProgresso->setRange(0, 100);
    barProgresso->setValue(0);
    auto *run = new QHBoxLayout;
    run->addWidget(cmdProcurar);
    run->addWidget(cmdCancelar);
    run->addWidget(barProgresso, 1);

    lblResumo = new QLabel(this);
    lblResumo->setObjectName(QStringLiteral("lblResumo"));
    model_ = new RankingModel(this);
    model_->setCentredHeaders(true);
    model_->setTable(headers(), {});
    GrelhaRegimes = ui::grid(this, "GrelhaRegimes");
    GrelhaRegimes->setModel(model_);
    GrelhaRegimes->setSelectionBehavior(QAbstractItemView::SelectRows);
    GrelhaRegimes->setSelectionMode(QAbstractItemView::SingleSelection);
    sizeColumns(*GrelhaRegimes, kRegimeColumnTwips);
    GrelhaRegimes->horizontalHeader()->setStretchLastSection(true);
    ui::fitGridHeight(*GrelhaRegimes, kVisibleRegimes);

    cmdGuardar = ui::button(this, "cmdGuardar", QStringLiteral("Guardar regime"));
    cmdGuardar->setEnabled(false);
    cmdFechar = ui::button(this, "cmdFechar", QStringLiteral("Fechar"));
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdGuardar);
    buttons->addStretch(1);
    buttons->addWidget(cmdFechar);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(space);
    layout->addLayout(run);
    layout->addWidget(lblResumo);
    layout->addWidget(GrelhaRegimes, 1);
    layout->addLayout(buttons);

    connect(cmdProcurar, &QPushButton::clicked, this, &BestRegimeScreen::start);
    connect(cmdCancelar, &QPushButton::clicked, this, [this] { cancel_ = true; });
    connect(cmdGuardar, &QPushButton::clicked, this, &BestRegimeScreen::save);
    connect(cmdFechar, &QPushButton::clicked, this, &QWidget::close);
    // Escape closes it as it closes a dialog.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

BestRegimeScreen::~BestRegimeScreen() { stopWorker(); }

void BestRegimeScreen::closeEvent(QCloseEvent *event)
{
    cancel_ = true;
    QWidget::closeEvent(event);
}

void BestRegimeScreen::stopWorker()
{
    cancel_ = true;
    if (worker_.joinable())
        worker_.join();
}

void BestRegimeScreen::start()
{
    if (searching())
        return;
    SearchSpaceTexts texts;
    for (const SearchFieldInfo &info : kSearchFields)
        texts[info.field] = input(info.field)->text().toStdString();
    auto read = readSearchSpace(texts);
    if (const auto *refusal = std::get_if<SearchSpaceRefusal>(&read)) {
        ctx_.show(this, refusal->message);
        input(refusal->field)->setFocus();
        input(refusal->field)->selectAll();
        return;
    }
    const auto objective = static_cast<Objective>(cboObjectivo->currentData().toInt());
    OptimizeOptions options;
    options.objective = objective;
    if (economics_) {
        const auto prices = readEconomicInputs(*economics_);
        if (const auto *inputs = std::get_if<EconomicInputs>(&prices))
            options.economics = *inputs;
    }
    if (objectiveNeedsPrices(objective) && !options.economics) {
        ctx_.show(this, Message::warning(kSearchTitle, "O VAL e o VES precisam dos preços e custos da avaliação "
                                                       "económica: calcule-a primeiro."));
        return;
    }
    auto stand = searchStandOf(ctx_.flow.enteredStand(), options.economics ? economics_ : std::nullopt);
    if (!stand) {
        ctx_.show(this, Message::warning(kSearchTitle, "Não há um povoamento introduzido para procurar."));
        return;
    }

    // The last search's results stay until this one has its own.
    stand_ = std::move(stand);
    cancel_ = false;
    options.cancel = &cancel_;
    // The window shows how far the search is and can cancel it: any space may
    // be searched.
    options.maxRegimes = std::numeric_limits<double>::infinity();
    QPointer<BestRegimeScreen> self(this);
    options.progress = [self](size_t done, size_t total) {
        const int percent = total ? static_cast<int>(100 * done / total) : 100;
        QMetaObject::invokeMethod(
            self, [self, percent] { if (self) self->barProgresso->setValue(percent); }, Qt::QueuedConnection);
    };
    cmdProcurar->setEnabled(false);
    cmdCancelar->setEnabled(true);
    cmdGuardar->setEnabled(false);
    barProgresso->setValue(0);
    lblResumo->setText(QStringLiteral("A procurar…"));
    worker_ = std::thread([this, self, scenario = stand_->scenario, space = std::get<SearchSpace>(read), options] {
        OptimizeResult result = optimizeRegime(scenario, space, options);
        // Delivered on the window's thread; dropped when the window has gone.
        QMetaObject::invokeMethod(
            self, [self, result = std::move(result)] { if (self) self->finished(result); }, Qt::QueuedConnection);
    });
}

void BestRegimeScreen::finished(const OptimizeResult &result)
{
    if (worker_.joinable())
        worker_.join();
    cmdProcurar->setEnabled(true);
    cmdCancelar->setEnabled(false);
    const SearchOutcome outcome = searchOutcome(result);
    lblResumo->setText(qs(outcome.summary));
    if (result.status == OptimizeResult::Status::Done) {
        barProgresso->setValue(100);
        best_ = result.best;
        QVector<QStringList> rows;
        for (const auto &r : rankingTable(best_)) {
            QStringList row;
            for (const std::string &c : r)
                row << qs(c);
            rows << row;
        }
        model_->setTable(headers(), rows);
        sizeColumns(*GrelhaRegimes, kRegimeColumnTwips);
        GrelhaRegimes->resizeColumnToContents(kScheduleColumn);
        GrelhaRegimes->setMinimumWidth(std::min(kWidestTable, fullTableWidth(*GrelhaRegimes, false)));
        if (!rows.isEmpty())
            GrelhaRegimes->selectRow(0);
        cmdGuardar->setEnabled(!best_.empty());
    } else {
        cmdGuardar->setEnabled(!best_.empty());
    }
    if (outcome.message)
        ctx_.show(this, *outcome.message);
}

void BestRegimeScreen::save()
{
    const QModelIndexList rows = GrelhaRegimes->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? 0 : rows.first().row();
    if (!stand_ || row < 0 || static_cast<size_t>(row) >= best_.size())
        return;
    QString name = ctx_.services.files->saveFileName(this, QStringLiteral("Guardar regime"),
                                                     QStringLiteral("regime-%1.json").arg(row + 1),
                                                     QStringLiteral("Cenário (*.json)|*.json"));
    if (name.isEmpty())
        return;
    if (QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".json");
    const std::string json = rankedRegimeJson(*stand_, best_[static_cast<size_t>(row)]);
    if (const auto why = writeWholeFile(std::filesystem::path(name.toStdString()), json))
        ctx_.show(this, Message::error(kSearchTitle, "Não foi possível guardar o regime em " + name.toStdString() +
                                                         ": " + *why));
}

} // namespace tavelo
