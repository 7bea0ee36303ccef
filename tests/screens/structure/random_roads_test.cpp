// Random roads through the windows, each played again on the flow object
// alone: the windows and the flow must leave the same log and the same record.
// A road takes in the options (reopened and closed with the close box), a stand
// entered, cancelled and entered again, a stand-data window closed while its
// density window is open, projections, thinnings refused and accepted,
// "Voltar a definir desbaste", the end and "Nova simulação".

#include "regimes/scenario.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/thinned_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "screens/results/end_screen.h"
#include "support/flow_test_support.h"
#include "session/structure/simulation_flow.h"
#include "support/stand_inputs.h"
#include "support/qtest_runner.h"

#include <QDate>
#include <QToolButton>
#include <QtTest>

#include <random>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

constexpr int kRoads = 300;

enum class StandKind { Planted, Alive, ByParameters, ByClasses };

struct Step {
    char kind = 'p'; // 'p' project, 'm' mechanical, 'b' from below, 'd' define again
    double amount = 0.0; // % of trees, or the share of the basal area left
};

struct SimulationPlan {
    std::string stumpHeight;
    bool optionsClosedAfterwards = false;
    StandKind stand = StandKind::Planted;
    bool cancelledStandFirst = false;
    bool standDataWindowClosed = false;
    std::vector<Step> steps;
};

struct Road {
    std::vector<SimulationPlan> simulations; // "Nova simulação" between them
};

Road randomRoad(std::mt19937 &rng)
{
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char *stumps[] = {"0.15", ".2", "0.30", "0.150"};
    Road road;
    const int simulations = 1 + (pick(4) == 0);
    for (int s = 0; s < simulations; ++s) {
        SimulationPlan sim;
        sim.stumpHeight = stumps[pick(4)];
        sim.optionsClosedAfterwards = pick(3) == 0;
        sim.stand = static_cast<StandKind>(pick(4));
        sim.cancelledStandFirst = pick(4) == 0;
        sim.standDataWindowClosed = pick(4) == 0;
        bool thinned = false;
        const int steps = pick(6);
        for (int i = 0; i < steps; ++i) {
            Step step;
            const int r = pick(10);
            if (thinned && r < 3) {
                step.kind = 'd';
                thinned = false;
            } else if (!thinned && r < 3) {
                step.kind = 'm';
                // Mostly inside 15 ... 50 %, now and then refused.
                step.amount = pick(5) == 0 ? 60.0 : 15.0 + pick(8) * 5.0;
                thinned = step.amount <= 50.0;
            } else if (!thinned && r < 6) {
                step.kind = 'b';
                // Clear of the 50 and 75 % bounds, which the typed residual rounds across.
                step.amount = pick(5) == 0 ? 0.4 : 0.52 + pick(5) * 0.05;
                thinned = step.amount >= 0.5;
            } else {
                step.kind = 'p';
                thinned = false;
            }
            sim.steps.push_back(step);
        }
        road.simulations.push_back(sim);
    }
    return road;
}

QString thisYear()
{
    return QString::number(QDate::currentDate().year());
}

std::string amountText(const StandState &state, const Step &step)
{
    if (step.kind == 'm')
        return QString::number(step.amount).toStdString();
    return QString::number(step.amount * state.basalArea.value(), 'f', 3).toStdString();
}

// What one simulation leaves behind.
struct Outcome {
    QByteArray log;
    std::string record;
    bool ended = false; // by the model
    bool operator==(const Outcome &) const = default;
};

// --- Through the windows --------------------------------------------------------

class WindowPlayer {
public:
    explicit WindowPlayer(FlowHarness &h) : h_(h) {}

    bool play(const SimulationPlan &sim, Outcome &out)
    {
        EntradaScreen *e = h_.window<EntradaScreen>("Entrada");
        if (!press(widget<QToolButton>(e, "cmdParametros")))
            return false;
        auto *form1 = h_.window<OptionsScreen>("Form1");
        typeInto(widget<QLineEdit>(form1, "txtAltcorte"), QString::fromStdString(sim.stumpHeight));
        if (!press(widget<QPushButton>(form1, "cmdOk")))
            return false;
        if (sim.optionsClosedAfterwards) {
            if (!press(widget<QToolButton>(e, "cmdParametros")) || !h_.window<QWidget>("Form1")->close())
                return false;
            settle();
        }
        if (!press(widget<QToolButton>(e, "cmdSimulacao")))
            return false;
        auto *form2 = h_.window<StandDataScreen>("Form2");
        if (sim.cancelledStandFirst) {
            typeStandData(form2);
            if (!press(widget<QPushButton>(form2, "cmdDPdesb")))
                return false;
            storeThinned(thinnedByParameters());
            if (!press(widget<QPushButton>(form2, "cmdCancelar")) || !press(widget<QToolButton>(e, "cmdSimulacao")))
                return false;
            form2 = h_.window<StandDataScreen>("Form2");
        }
        typeStandData(form2);
        const bool unthinned = sim.stand == StandKind::Planted || sim.stand == StandKind::Alive;
        if (!press(unthinned ? widget<QPushButton>(form2, "cmdDPndesb") : widget<QPushButton>(form2, "cmdDPdesb")))
            return false;
        if (sim.standDataWindowClosed) {
            form2->close();
            settle();
        }
        if (unthinned) {
            auto *form3 = h_.window<UnthinnedScreen>("Form3");
            choose(sim.stand == StandKind::Planted ? widget<QRadioButton>(form3, "optArvPlant") : widget<QRadioButton>(form3, "optArvVivas"));
            typeInto(widget<QLineEdit>(form3, "txtNArvVP"), sim.stand == StandKind::Planted ? QStringLiteral("1500") : QStringLiteral("900"));
            if (!press(widget<QPushButton>(form3, "cmdOk")))
                return false;
        } else {
            storeThinned(sim.stand == StandKind::ByParameters ? thinnedByParameters() : thinnedByClasses());
        }
        if (sim.standDataWindowClosed && !press(widget<QToolButton>(e, "cmdSimulacao")))
            return false;
        if (!press(widget<QPushButton>(h_.window<StandDataScreen>("Form2"), "cmdOk")))
            return false;

        for (const Step &step : sim.steps) {
            if (h_.fake.exit.exited())
                break;
            if (!playStep(step))
                return false;
        }
        if (!h_.fake.exit.exited() && !h_.finish())
            return false;
        out.log = h_.logBytes();
        out.record = recordCsv(h_.state);
        out.ended = h_.fake.exit.exited();
        return true;
    }

    bool newSimulation() { return press(widget<QPushButton>(h_.window<EndScreen>("Terminar"), "cmdNovaSimulacao")); }

    int thinnings = 0; // thinnings shown on the after-thinning window

private:
    void typeStandData(StandDataScreen *f)
    {
        typeInto(widget<QLineEdit>(f, "txtIdade"), QStringLiteral("12"));
        typeInto(widget<QLineEdit>(f, "txtADominante"), QStringLiteral("9"));
    }

    void storeThinned(const ThinnedEntryInput &in)
    {
        auto *form4 = h_.window<ThinnedScreen>("Form4");
        if (in.choice == ThinnedEntryChoice::Parameters) {
            choose(widget<QRadioButton>(form4, "optPPovoamento"));
            typeInto(widget<QLineEdit>(form4, "txtAvivas"), QString::fromStdString(in.trees));
            typeInto(widget<QLineEdit>(form4, "txtAbasal"), QString::fromStdString(in.basalArea));
            typeInto(widget<QLineEdit>(form4, "txtDmin"), QString::fromStdString(in.minDiameter));
            typeInto(widget<QLineEdit>(form4, "txtDp93"), QString::fromStdString(in.p95));
        } else {
            choose(widget<QRadioButton>(form4, "optCDap"));
            for (int k = 0; k < ThinnedScreen::kClasses; ++k)
                if (!in.classes[k].empty())
                    typeInto(classBox(form4, k), QString::fromStdString(in.classes[k]));
        }
        press(widget<QPushButton>(form4, "cmdOk"));
    }

    bool playStep(const Step &step)
    {
        switch (step.kind) {
        case 'p':
            return h_.play(simpleStep(ScenarioStep::Kind::Project));
        case 'd':
            return h_.form7() && press(widget<QPushButton>(h_.form7(), "cmdReDesbastar"));
        default:
            h_.thin(step.kind == 'm' ? ScreenEntries::Thinning::Mechanical : ScreenEntries::Thinning::FromBelow,
                    amountText(h_.state, step));
            if (h_.thinnedInFront())
                ++thinnings;
            return true;
        }
    }

    FlowHarness &h_;
};

// --- On the flow object alone -----------------------------------------------------

class FlowPlayer {
public:
    explicit FlowPlayer(const std::filesystem::path &folder) : folder_(folder) {}

    Outcome play(const SimulationPlan &sim, int number)
    {
        const std::filesystem::path log = folder_ / ("Simulacao" + std::to_string(number) + ".temp");
        state_.logName = log.filename().string();
        flow_.log().setPath(log);
        Outcome out;
        try {
            OptionsInput options;
            options.year = thisYear().toStdString();
            options.stumpHeight = sim.stumpHeight;
            flow_.typeOptions(options.year, options.stumpHeight);
            flow_.confirmOptions(options);
            if (sim.optionsClosedAfterwards)
                flow_.closeOptions(thisYear().toStdString());
            if (sim.cancelledStandFirst) {
                flow_.chooseRoute(SimulationFlow::Route::Thinned, age12Height9());
                flow_.confirmThinnedEntry(thinnedByParameters());
                flow_.cancelStandData();
            }
            switch (sim.stand) {
            case StandKind::Planted:
            case StandKind::Alive:
                flow_.chooseRoute(SimulationFlow::Route::Unthinned, age12Height9());
                flow_.confirmUnthinnedDensity(sim.stand == StandKind::Planted ? "1500" : "900",
                                              sim.stand == StandKind::Planted ? DensityChoice::Planted
                                                                              : DensityChoice::Alive);
                break;
            case StandKind::ByParameters:
            case StandKind::ByClasses:
                flow_.chooseRoute(SimulationFlow::Route::Thinned, age12Height9());
                flow_.confirmThinnedEntry(sim.stand == StandKind::ByParameters ? thinnedByParameters() : thinnedByClasses());
                break;
            }
            flow_.confirmStandData();
            flow_.loadStandScreen();
            for (const Step &step : sim.steps) {
                const bool afterThinning = flow_.stage() == SimulationFlow::Stage::AfterThinning;
                switch (step.kind) {
                case 'p':
                    flow_.project();
                    if (afterThinning)
                        flow_.loadStandScreen();
                    break;
                case 'd':
                    flow_.discardThinning();
                    break;
                default: {
                    flow_.openThinning();
                    const std::string text = amountText(state_, step);
                    flow_.thin(step.kind == 'm' ? ThinningInput::mechanical(text) : ThinningInput::fromBelow(text));
                }
                }
            }
            flow_.end();
        } catch (const ModelLimitError &) {
            out.ended = true;
        }
        out.log = readFile(QString::fromStdString(log.string()));
        out.record = recordCsv(state_);
        return out;
    }

    void newSimulation() { flow_.newSimulation(); }

private:
    std::filesystem::path folder_;
    StandState state_;
    SimulationFlow flow_{state_};
};

QString describe(const Road &road)
{
    QStringList parts;
    for (const SimulationPlan &s : road.simulations) {
        QString d = QStringLiteral("stand %1 stump %2%3%4%5 steps")
                        .arg(static_cast<int>(s.stand))
                        .arg(QString::fromStdString(s.stumpHeight))
                        .arg(s.optionsClosedAfterwards ? QStringLiteral(" options-closed") : QString())
                        .arg(s.cancelledStandFirst ? QStringLiteral(" cancelled-first") : QString())
                        .arg(s.standDataWindowClosed ? QStringLiteral(" form2-closed") : QString());
        for (const Step &st : s.steps)
            d += QStringLiteral(" %1%2").arg(QLatin1Char(st.kind)).arg(st.kind == 'p' || st.kind == 'd' ? QString() : QString::number(st.amount));
        parts << d;
    }
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class RandomRoadsTest : public QObject {
    Q_OBJECT
private slots:
    void windowsAndFlowLeaveTheSameLogAndRecord();
};

void RandomRoadsTest::windowsAndFlowLeaveTheSameLogAndRecord()
{
    std::mt19937 rng(20261208u);
    int simulations = 0;
    int thinnings = 0;
    for (int r = 0; r < kRoads; ++r) {
        const Road road = randomRoad(rng);
        const QString what = QStringLiteral("road %1: %2").arg(r).arg(describe(road));
        FlowHarness h;
        QTemporaryDir flowFolder;
        WindowPlayer windows(h);
        FlowPlayer flow(std::filesystem::path(flowFolder.path().toStdString()));
        for (size_t s = 0; s < road.simulations.size(); ++s) {
            if (s > 0) {
                QVERIFY2(windows.newSimulation(), qPrintable(what));
                flow.newSimulation();
            }
            Outcome shown;
            QVERIFY2(windows.play(road.simulations[s], shown), qPrintable(what));
            const Outcome played = flow.play(road.simulations[s], static_cast<int>(s) + 1);
            QVERIFY2(!shown.log.isEmpty(), qPrintable(what));
            QVERIFY2(shown.log == played.log, qPrintable(what));
            QVERIFY2(shown.record == played.record, qPrintable(what));
            QVERIFY2(shown.ended == played.ended, qPrintable(what));
            ++simulations;
            if (shown.ended)
                break;
        }
        thinnings += windows.thinnings;
    }
    // The roads went where they were meant to: several simulations, thinnings among them.
    QVERIFY(simulations > kRoads);
    QVERIFY(thinnings > 0);
}

TAVELO_QTEST_CLASS(RandomRoadsTest)
#include "random_roads_test.moc"
