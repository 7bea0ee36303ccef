#include "regime_chooser.h"

#include "regime_check.h"

#include "base/calendar.h"
#include "base/numeric_text.h"
#include "screens/shell/app_context.h"
#include "screens/shell/read_problem_text.h"

#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tavelo {

namespace {

const QString kLastRegimeFile = QStringLiteral("inventario/regime");
const QString kRecentRegimes = QStringLiteral("inventario/regimesRecentes"); // one file per line, newest first
constexpr int kRecentRegimesKept = 5;
const QString kRecentRegimesCaption = QStringLiteral("Regimes recentes");

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


// A value of the regime that no stand could take, naming its key.
std::string regimeValueText(const RegimeProblem &problem)
{
    return "O valor de \"" + problem.keyPath + "\" no regime é inválido: " + problem.text;
}

template <typename W> W *chooserControl(W *w, const char *name, const QString &accessible)
{
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessible);
    return w;
}

QPushButton *chooserButton(QWidget *parent, const char *name, const QString &caption)
{
    return chooserControl(new QPushButton(caption, parent), name, caption);
}

} // namespace

RegimeChooser::RegimeChooser(AppContext &ctx, QWidget *parent) : QObject(parent), ctx_(ctx), parent_(parent)
{
    lblFicheiro = new QLabel(QStringLiteral("Regime:"), parent);
    txtRegime = chooserControl(new QLineEdit(parent), "txtRegime", QStringLiteral("Ficheiro do regime"));
    lblFicheiro->setBuddy(txtRegime);
    cmdAbrirRegime = chooserButton(parent, "cmdAbrirRegime", QStringLiteral("Abrir regime..."));
    cmdEscreverRegime = chooserButton(parent, "cmdEscreverRegime", QStringLiteral("Escrever regime..."));
    cboRegimesRecentes =
        chooserControl(new QComboBox(parent), "cboRegimesRecentes", QStringLiteral("Regimes usados há pouco"));
    cboRegimesRecentes->addItem(kRecentRegimesCaption);
    lblEmUso = new QLabel(QStringLiteral("Regime em uso:"), parent);
    lblRegime = chooserControl(new QLabel(parent), "lblRegime", QStringLiteral("O regime"));
    lblRegime->setWordWrap(true);

    connect(cmdAbrirRegime, &QPushButton::clicked, this, &RegimeChooser::chooseFile);
    connect(txtRegime, &QLineEdit::editingFinished, this, &RegimeChooser::changed);
    connect(cmdEscreverRegime, &QPushButton::clicked, this, &RegimeChooser::writeRegime);
    connect(cboRegimesRecentes, &QComboBox::activated, this, &RegimeChooser::recentChosen);
}

void RegimeChooser::placeIn(QGridLayout *grid, int row)
{
    grid->addWidget(lblFicheiro, row, 0);
    grid->addWidget(txtRegime, row, 1);
    grid->addWidget(cmdAbrirRegime, row, 2);
    grid->addWidget(cmdEscreverRegime, row, 3);
    grid->addWidget(cboRegimesRecentes, row, 4);
    grid->addWidget(lblEmUso, row + 1, 0);
    grid->addWidget(lblRegime, row + 1, 1, 1, 4);
}

void RegimeChooser::restore()
{
    if (!ctx_.services.settings)
        return;
    const QString regime = ctx_.services.settings->value(kLastRegimeFile).value_or(QString());
    if (!regime.isEmpty() && QFileInfo::exists(regime)) {
        txtRegime->setText(regime);
        changed();
    }
    for (const QString &f : ctx_.services.settings->value(kRecentRegimes).value_or(QString()).split(u'\n'))
        if (!f.isEmpty() && QFileInfo::exists(f))
            cboRegimesRecentes->addItem(f);
}

void RegimeChooser::setEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{txtRegime, cmdAbrirRegime, cmdEscreverRegime, cboRegimesRecentes})
        w->setEnabled(enabled);
}

bool RegimeChooser::chosen() const { return !txtRegime->text().isEmpty() || typed_; }

std::variant<RegimeChooser::Chosen, Message> RegimeChooser::regime() const
{
    auto json = text();
    if (auto *problem = std::get_if<Message>(&json))
        return std::move(*problem);
    auto regime = checked(std::get<std::string>(json));
    if (auto *problem = std::get_if<Message>(&regime))
        return std::move(*problem);
    return Chosen{std::get<std::string>(std::move(json)), std::get<Regime>(std::move(regime))};
}

void RegimeChooser::remember()
{
    if (!ctx_.services.settings)
        return;
    ctx_.services.settings->setValue(kLastRegimeFile, txtRegime->text());
    if (txtRegime->text().isEmpty())
        return;
    QStringList recent{txtRegime->text()};
    for (int i = 1; i < cboRegimesRecentes->count() && recent.size() < kRecentRegimesKept; ++i)
        if (cboRegimesRecentes->itemText(i) != txtRegime->text())
            recent << cboRegimesRecentes->itemText(i);
    ctx_.services.settings->setValue(kRecentRegimes, recent.join(u'\n'));
    cboRegimesRecentes->clear();
    cboRegimesRecentes->addItem(kRecentRegimesCaption);
    cboRegimesRecentes->addItems(recent);
}

void RegimeChooser::chooseFile()
{
    const QString f = ctx_.services.files->openFileName(parent_, QStringLiteral("Abrir regime"),
                                                        QStringLiteral("Regimes (*.json);;Todos os ficheiros (*)"));
    if (f.isEmpty())
        return;
    txtRegime->setText(f);
    changed();
}

void RegimeChooser::changed()
{
    lblRegime->clear();
    if (!txtRegime->text().isEmpty())
        typed_.reset(); // a file named replaces the regime typed
    if (!chosen())
        return;
    const auto json = text();
    if (const auto *problem = std::get_if<Message>(&json)) {
        lblRegime->setText(qs(problem->text));
        return;
    }
    const auto regime = checked(std::get<std::string>(json));
    if (const auto *why = std::get_if<Message>(&regime)) {
        lblRegime->setText(QStringLiteral("Regime inválido: ") + qs(why->text));
        return;
    }
    lblRegime->setText((typed_ ? QStringLiteral("Regime escrito: ") : QString()) +
                       regimeDescription(std::get<Regime>(regime)));
}

std::variant<std::string, Message> RegimeChooser::text() const
{
    if (txtRegime->text().isEmpty() && typed_)
        return *typed_;
    if (txtRegime->text().isEmpty())
        return Message::warning("Regime", "Escolha o regime.");
    QFile f(txtRegime->text());
    if (!f.open(QIODevice::ReadOnly))
        return Message::error("Regime", "Não é possível ler " + txtRegime->text().toStdString() + ".");
    return f.readAll().toStdString();
}

std::variant<Regime, Message> RegimeChooser::checked(const std::string &json) const
{
    auto parsed = parseRegime(json, thisYear());
    if (const auto *why = std::get_if<ReadProblem>(&parsed))
        return Message::error("Regime", portugueseText(*why));
    if (const auto problem = regimeProblem(std::get<Regime>(parsed)))
        return Message::error("Regime", regimeValueText(*problem));
    return std::get<Regime>(std::move(parsed));
}

// "Escrever regime...": the regime typed as a regime file holds it, steps or
// rules, with its economics and carbon sections.
void RegimeChooser::writeRegime()
{
    if (dialog_)
        return;
    auto *dialog = new QDialog(parent_->window());
    dialog->setObjectName(QStringLiteral("frmRegimeEscrito"));
    dialog->setWindowTitle(QStringLiteral("Regime escrito"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel(QStringLiteral("O regime, como num ficheiro de regime: \"options\" e \"steps\" "
                                                "ou \"rules\", e as secções \"economics\" e \"carbon\"."),
                                 dialog));
    auto *editor = chooserControl(new QPlainTextEdit(dialog), "txtRegimeEscrito", QStringLiteral("Texto do regime"));
    const auto current = text();
    const std::string *shown = std::get_if<std::string>(&current);
    editor->setPlainText(qs(shown ? *shown : kRegimeTemplate));
    layout->addWidget(editor);
    auto *buttons = new QHBoxLayout;
    auto *ok = chooserButton(dialog, "cmdOkRegime", QStringLiteral("&Ok"));
    auto *cancel = chooserButton(dialog, "cmdCancelarRegime", QStringLiteral("Cancelar"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    dialog->resize(640, 420);
    connect(ok, &QPushButton::clicked, this, &RegimeChooser::typedRegimeAccepted);
    connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    connect(dialog, &QObject::destroyed, this, [this] { dialog_ = nullptr; });
    dialog_ = dialog;
    dialog->open();
}

void RegimeChooser::typedRegimeAccepted()
{
    auto *editor = dialog_->findChild<QPlainTextEdit *>(QStringLiteral("txtRegimeEscrito"));
    const std::string json = editor->toPlainText().toStdString();
    const auto regime = checked(json);
    if (const auto *why = std::get_if<Message>(&regime)) {
        ctx_.show(dialog_, Message::warning("Regime escrito", why->text));
        return; // the text stays to be mended
    }
    typed_ = json;
    txtRegime->clear();
    changed();
    static_cast<QDialog *>(dialog_)->accept();
}

void RegimeChooser::recentChosen(int index)
{
    if (index <= 0)
        return;
    txtRegime->setText(cboRegimesRecentes->itemText(index));
    cboRegimesRecentes->setCurrentIndex(0);
    changed();
}

} // namespace tavelo
