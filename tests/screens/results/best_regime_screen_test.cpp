// The search for the best regime driven as a user: from the valuation window
// to "Procurar o melhor regime", a small space typed, the search run on its
// thread, the table read against the optimizer itself, a long search
// cancelled, a regime saved and played again, bad input refused.

#include "regimes/best_regime_search.h"
#include "support/field_boxes.h"
#include "support/widget_lookup.h"
#include "screens/results/best_regime_screen.h"
#include "screens/results/economics_screen.h"
#include "screens/results/end_screen.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QScreen>
#include <QTableView>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

constexpr int kSearchTimeoutMs = 120000;

BestRegimeScreen *openSearch(EconomicsScreen *w)
{
    if (!w || !press(widget<QPushButton>(w, "cmdMelhorRegime")))
        return nullptr;
    return w->bestRegime();
}

void typeSpace(BestRegimeScreen *s, const char *from, const char *to, const char *max, const char *interval,
               const char *first, const char *mechanical, const char *below)
{
    typeInto(fieldBox(s, SearchField::RotationFrom), QString::fromUtf8(from));
    typeInto(fieldBox(s, SearchField::RotationTo), QString::fromUtf8(to));
    typeInto(fieldBox(s, SearchField::MaxThinnings), QString::fromUtf8(max));
    typeInto(fieldBox(s, SearchField::MinInterval), QString::fromUtf8(interval));
    typeInto(fieldBox(s, SearchField::FirstAge), QString::fromUtf8(first));
    typeInto(fieldBox(s, SearchField::Mechanical), QString::fromUtf8(mechanical));
    typeInto(fieldBox(s, SearchField::Below), QString::fromUtf8(below));
}

void chooseObjective(BestRegimeScreen *s, const QString &label)
{
    widget<QComboBox>(s, "cboObjectivo")->setCurrentIndex(widget<QComboBox>(s, "cboObjectivo")->findText(label));
}

// The finished planted stand's search over the small space, by NPV, done.
BestRegimeScreen *searchedSmallSpace(FlowHarness &h)
{
    BestRegimeScreen *s = finishedPlantedStand(h) ? openSearch(valuedWindow(h)) : nullptr;
    if (!s)
        return nullptr;
    typeSpace(s, "30", "42", "2", "10", "15", "20, 30", "16 18");
    chooseObjective(s, QStringLiteral("VAL"));
    if (!press(widget<QPushButton>(s, "cmdProcurar")))
        return nullptr;
    return QTest::qWaitFor([s] { return !s->searching(); }, kSearchTimeoutMs) ? s : nullptr;
}

// The same stand and prices as typed in the windows, for the optimizer called directly.
Scenario plantedStandWithPrices()
{
    Scenario s = exampleScenario(QStringLiteral("planted-two-thinnings"));
    s.steps.clear();
    EconomicTexts prices;
    prices[EconomicField::SawlogPrice] = "45";
    prices[EconomicField::RoundwoodPrice] = "30";
    prices[EconomicField::FirewoodPrice] = "8";
    prices[EconomicField::ThinningCost] = "250";
    prices[EconomicField::FinalFellingCost] = "400";
    prices[EconomicField::CostPerCubicMetre] = "4";
    prices[EconomicField::AnnualCost] = "15";
    prices[EconomicField::EstablishmentCost] = "1200";
    prices[EconomicField::DiscountRate] = "3";
    s.economics = prices;
    return s;
}

SearchSpace smallSpace()
{
    SearchSpace space;
    space.rotationFrom = 30;
    space.rotationTo = 42;
    space.maxThinnings = 2;
    space.minInterval = 10;
    space.firstAge = 15;
    space.mechanical = {"20", "30"};
    space.below = {"16", "18"};
    return space;
}

} // namespace

class BestRegimeScreenTest : public QObject {
    Q_OBJECT

private slots:
    void buttonOnTheValuationWindow();
    void findsWhatTheOptimizerFinds();
    void cancelsALongSearch();
    void savesARegimeThatPlaysAgainToItsValue();
    void refusesBadInput();
};

void BestRegimeScreenTest::buttonOnTheValuationWindow()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *w = valuedWindow(h);
    QVERIFY(w);
    QCOMPARE(widget<QPushButton>(w, "cmdMelhorRegime")->text(), QStringLiteral("Procurar o melhor regime"));
    // Last in the tab order.
    QCOMPARE(widget<QPushButton>(w, "cmdExportarGrafico")->nextInFocusChain(), widget<QPushButton>(w, "cmdMelhorRegime"));
    auto *s = openSearch(w);
    QVERIFY(s && s->isVisible());
    QCOMPARE(s->objectName(), QStringLiteral("frmMelhorRegime"));
    QCOMPARE(s->windowTitle(), QStringLiteral("Procurar o Melhor Regime"));
    // The valuation window stays behind it.
    QVERIFY(h.shown("frmEconomia"));
    QCOMPARE(gridRow(widget<QTableView>(s, "GrelhaRegimes"), -1), QStringList({"N.º", "Valor", "VAL", "VAE", "VES", "Volume", "Madeira",
                                                         "Rotação", "Regime"}));
    QVERIFY(!widget<QPushButton>(s, "cmdGuardar")->isEnabled());
    QVERIFY(!widget<QPushButton>(s, "cmdCancelar")->isEnabled());
    // It fits a 1024 x 768 screen.
    const QSize size = s->frameGeometry().size().expandedTo(s->sizeHint());
    QVERIFY2(size.width() <= 1024 && size.height() <= 768,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    // Opened again, the same window comes forward.
    QVERIFY(press(widget<QPushButton>(s, "cmdFechar")));
    QVERIFY(!s->isVisible());
    QCOMPARE(openSearch(w), s);
    QVERIFY(s->isVisible());
}

void BestRegimeScreenTest::findsWhatTheOptimizerFinds()
{
    FlowHarness h;
    auto *s = searchedSmallSpace(h);
    QVERIFY(s);
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(widget<QProgressBar>(s, "barProgresso")->value(), 100);
    QVERIFY(widget<QPushButton>(s, "cmdGuardar")->isEnabled());
    QVERIFY(widget<QLabel>(s, "lblResumo")->text().contains(QStringLiteral("regimes avaliados")));

    OptimizeOptions options;
    options.objective = Objective::Npv;
    const Scenario stand = plantedStandWithPrices();
    options.economics = std::get<EconomicInputs>(readEconomicInputs(*stand.economics));
    const OptimizeResult direct = optimizeRegime(stand, smallSpace(), options);
    QCOMPARE(direct.status, OptimizeResult::Status::Done);
    QVERIFY(direct.best.size() >= 2);
    QCOMPARE(widget<QTableView>(s, "GrelhaRegimes")->model()->rowCount(), int(direct.best.size()));
    const RankedRegime &best = direct.best.front();
    const QStringList row = gridRow(widget<QTableView>(s, "GrelhaRegimes"), 0);
    QCOMPARE(row[0], QStringLiteral("1"));
    QCOMPARE(row[1], QString::fromStdString(formatFixed(best.objective, 2)));
    QCOMPARE(row[2], QString::fromStdString(formatFixed(*best.npv, 2)));
    QCOMPARE(row[7], QString::fromStdString(plainNumberText(best.rotationAge)));
    QCOMPARE(row[8], QString::fromStdString(scheduleText(best.thinnings)));
    // Best first.
    QVERIFY(row[1].toDouble() >= gridRow(widget<QTableView>(s, "GrelhaRegimes"), 1)[1].toDouble());
    // A search changes nothing of the simulation.
    QCOMPARE(h.recordRows(), 9);
    if (qEnvironmentVariableIsSet("TAVELO_SCREENSHOT_DIR"))
        QVERIFY(s->grab().save(qEnvironmentVariable("TAVELO_SCREENSHOT_DIR") + QStringLiteral("/melhor-regime.png")));
}

void BestRegimeScreenTest::cancelsALongSearch()
{
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *s = openSearch(valuedWindow(h));
    QVERIFY(s);
    // Millions of regimes: far longer than the test waits.
    typeSpace(s, "20", "100", "8", "5", "12", "15 20 25 30 35 40 45 50", "8 10 12 14 16 18 20 22 24 26");
    chooseObjective(s, QStringLiteral("Volume"));
    QVERIFY(press(widget<QPushButton>(s, "cmdProcurar")));
    QVERIFY(s->searching());
    QVERIFY(!widget<QPushButton>(s, "cmdProcurar")->isEnabled());
    QVERIFY(widget<QPushButton>(s, "cmdCancelar")->isEnabled());
    QVERIFY(press(widget<QPushButton>(s, "cmdCancelar")));
    QTRY_VERIFY_WITH_TIMEOUT(!s->searching(), 20000);
    QVERIFY2(widget<QLabel>(s, "lblResumo")->text().startsWith(QStringLiteral("Procura cancelada")), qPrintable(widget<QLabel>(s, "lblResumo")->text()));
    QCOMPARE(widget<QTableView>(s, "GrelhaRegimes")->model()->rowCount(), 0);
    QVERIFY(widget<QPushButton>(s, "cmdProcurar")->isEnabled());
    QVERIFY(!widget<QPushButton>(s, "cmdCancelar")->isEnabled());
    QVERIFY(!widget<QPushButton>(s, "cmdGuardar")->isEnabled());
    QVERIFY(h.fake.messages.shown.empty());
}

void BestRegimeScreenTest::savesARegimeThatPlaysAgainToItsValue()
{
    FlowHarness h;
    auto *s = searchedSmallSpace(h);
    QVERIFY(s);
    QVERIFY(widget<QTableView>(s, "GrelhaRegimes")->model()->rowCount() >= 2);

    // The second regime, chosen in the table.
    widget<QTableView>(s, "GrelhaRegimes")->selectRow(1);
    const QStringList row = gridRow(widget<QTableView>(s, "GrelhaRegimes"), 1);
    const QString path = h.dir.path() + QStringLiteral("/segundo");
    h.fake.files.answer = path;
    QVERIFY(press(widget<QPushButton>(s, "cmdGuardar")));
    QCOMPARE(h.fake.files.asked.size(), size_t(1));
    QCOMPARE(h.fake.files.asked.back().proposedName, QStringLiteral("regime-2.json"));
    QVERIFY(h.fake.messages.shown.empty());
    const QByteArray json = readFile(path + QStringLiteral(".json"));
    QVERIFY(!json.isEmpty());

    auto parsed = parseScenario(json.toStdString(), "1999");
    QVERIFY(std::holds_alternative<Scenario>(parsed));
    const Scenario replay = std::get<Scenario>(parsed);
    QCOMPARE(replay.options.year, std::string("2026"));
    QVERIFY(replay.economics.has_value());
    QCOMPARE(replay.steps.back().kind, ScenarioStep::Kind::End);
    StandState state;
    std::string log;
    LogFile file;
    file.collectInto(&log);
    QCOMPARE(runScenario(replay, state, file).status, RunResult::Status::Completed);
    const auto valuation =
        valueSimulation(state, std::get<EconomicInputs>(readEconomicInputs(*replay.economics)));
    QVERIFY(valuation.has_value());
    QCOMPARE(QString::fromStdString(formatFixed(valuation->npv, 2)), row[1]);
    QCOMPARE(QString::fromStdString(plainNumberText(state.standAge.value())), row[7]);

    // A save that fails says so and writes nothing.
    const QString nowhere = h.dir.path() + QStringLiteral("/sem-pasta/regime.json");
    h.fake.files.answer = nowhere;
    QVERIFY(press(widget<QPushButton>(s, "cmdGuardar")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QCOMPARE(h.fake.messages.last().title, std::string("Procurar o Melhor Regime"));
    QVERIFY(h.fake.messages.last().text.find("Não foi possível guardar o regime") != std::string::npos);
    QVERIFY(!QFileInfo::exists(nowhere));
    // The first file is still whole.
    QCOMPARE(readFile(path + QStringLiteral(".json")), json);
    // Cancelling the dialog writes nothing and says nothing.
    h.fake.files.answer.clear();
    QVERIFY(press(widget<QPushButton>(s, "cmdGuardar")));
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
}

void BestRegimeScreenTest::refusesBadInput()
{
    struct Case {
        const char *name;
        std::array<const char *, 7> texts;
        SearchField field;
        const char *says;
    };
    const Case cases[] = {
        {"percent outside the dialogue", {"30", "42", "2", "10", "15", "20 10", "16"}, SearchField::Mechanical,
         "\"10\" não é aceite. As percentagens do desbaste mecânico têm de ser números entre 15 e 50, sem repetições."},
        {"not a number", {"30", "42", "2", "", "", "", "16,x"}, SearchField::Below, "\"x\" não é aceite."},
        {"rotation backwards", {"40", "30", "0", "", "", "", ""}, SearchField::RotationTo,
         "A idade de rotação final tem de ser um número não inferior à inicial."},
        {"no rotation", {"", "30", "0", "", "", "", ""}, SearchField::RotationFrom,
         "A idade de rotação inicial tem de ser um número maior que 0."},
        {"thinnings without intensity", {"30", "40", "2", "", "", "", ""}, SearchField::Mechanical,
         "Indique pelo menos uma intensidade de desbaste, mecânico ou pelo baixo."},
        {"half a thinning", {"30", "40", "1.5", "", "", "20", ""}, SearchField::MaxThinnings,
         "O número máximo de desbastes tem de ser um número inteiro de 0 a 30."},
    };
    FlowHarness h;
    QVERIFY(finishedPlantedStand(h));
    auto *s = openSearch(valuedWindow(h));
    QVERIFY(s);
    for (const Case &c : cases) {
        h.fake.messages.clear();
        const auto &t = c.texts;
        typeSpace(s, t[0], t[1], t[2], t[3], t[4], t[5], t[6]);
        QVERIFY2(press(widget<QPushButton>(s, "cmdProcurar")), c.name);
        QVERIFY2(!s->searching(), c.name);
        QCOMPARE(h.fake.messages.shown.size(), size_t(1));
        QCOMPARE(h.fake.messages.last().title, std::string("Procurar o Melhor Regime"));
        QVERIFY2(h.fake.messages.last().text.find(c.says) != std::string::npos, h.fake.messages.last().text.c_str());
        QCOMPARE(h.fake.messages.shown.back().parentName, QStringLiteral("frmMelhorRegime"));
        // The text stays as typed, nothing is searched or shown.
        QCOMPARE(fieldBox(s, SearchField::RotationTo)->text(), QString::fromUtf8(t[1]));
        QCOMPARE(widget<QTableView>(s, "GrelhaRegimes")->model()->rowCount(), 0);
        QVERIFY(widget<QLabel>(s, "lblResumo")->text().isEmpty());
    }

    // The land's value needs a stand entered as planted and a rate above 0:
    // valued again at 0 % while the search window stays open, the search
    // takes the new rate and is refused before searching.
    auto *w = h.window<EconomicsScreen>("frmEconomia");
    typeInto(fieldBox(w, EconomicField::DiscountRate), QStringLiteral("0"));
    QVERIFY(press(widget<QPushButton>(w, "cmdCalcular")));
    QVERIFY(s->isVisible());
    h.fake.messages.clear();
    typeSpace(s, "30", "35", "0", "", "", "", "");
    chooseObjective(s, QStringLiteral("VES"));
    QVERIFY(press(widget<QPushButton>(s, "cmdProcurar")));
    QTRY_VERIFY_WITH_TIMEOUT(!s->searching(), kSearchTimeoutMs);
    QCOMPARE(h.fake.messages.shown.size(), size_t(1));
    QVERIFY(h.fake.messages.last().text.find("VES") != std::string::npos);
    QCOMPARE(widget<QTableView>(s, "GrelhaRegimes")->model()->rowCount(), 0);
}

TAVELO_QTEST_CLASS(BestRegimeScreenTest)
#include "best_regime_screen_test.moc"
