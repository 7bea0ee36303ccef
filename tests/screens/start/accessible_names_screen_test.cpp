// Every control a user types into, chooses or presses, in every window of a
// simulation, has a name that screen readers and test robots can find it by,
// read through the accessibility interface as they read it: its own
// accessible name, its caption, or the label whose buddy it is.

#include "screens/start/entrada_screen.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "screens/entry/stand_data_screen.h"
#include "screens/entry/thinned_screen.h"
#include "screens/entry/unthinned_screen.h"
#include "screens/results/best_regime_screen.h"
#include "screens/results/economics_screen.h"
#include "screens/results/end_screen.h"
#include "screens/results/inventory_screen.h"
#include "screens/results/plan_screen.h"
#include "support/flow_test_support.h"
#include "support/qtest_runner.h"

#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSet>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

// Parts of a composite control (a spin box's text, a table's corner button)
// are named by the control they belong to.
bool insideComposite(const QWidget *w, const QWidget *window)
{
    for (const QWidget *p = w->parentWidget(); p && p != window; p = p->parentWidget())
        if (qobject_cast<const QAbstractScrollArea *>(p) || qobject_cast<const QAbstractSpinBox *>(p) ||
            qobject_cast<const QComboBox *>(p))
            return true;
    return false;
}

bool isInputControl(const QWidget *w)
{
    if (qobject_cast<const QScrollBar *>(w))
        return false;
    if (const auto *edit = qobject_cast<const QTextEdit *>(w))
        return !edit->isReadOnly();
    if (const auto *edit = qobject_cast<const QPlainTextEdit *>(w))
        return !edit->isReadOnly();
    return qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractButton *>(w) ||
           qobject_cast<const QAbstractSpinBox *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QAbstractSlider *>(w);
}

QString accessibleName(QWidget *w)
{
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(QAccessible::Name).trimmed() : QString();
}

// "window/control" for every input control of `window` without a name. A
// control that is never shown (a hidden placeholder option) is left out.
QStringList unnamedControls(QWidget *window, int *checked)
{
    QStringList out;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->window() != window || !isInputControl(w) || insideComposite(w, window) || w->isHidden())
            continue;
        ++*checked;
        if (accessibleName(w).isEmpty())
            out << window->objectName() + QLatin1Char('/') + w->objectName();
    }
    return out;
}

} // namespace

class AccessibleNamesScreenTest : public QObject {
    Q_OBJECT
private slots:
    void everyWindowOfASimulation();
    void namesReadAsTheirLabels();

private:
    // Checks every loaded window not checked yet.
    void checkLoadedWindows(FlowHarness &h)
    {
        settle();
        for (const QString &name : h.ctx->windows.loadedNames()) {
            QWidget *w = h.ctx->windows.named(name);
            if (!w || checkedWindows_.contains(name))
                continue;
            checkedWindows_ << name;
            unnamed_ << unnamedControls(w, &controls_);
        }
    }
    QSet<QString> checkedWindows_;
    QStringList unnamed_;
    int controls_ = 0;
};

void AccessibleNamesScreenTest::everyWindowOfASimulation()
{
    FlowHarness h;
    auto *entrada = h.window<EntradaScreen>("Entrada");
    QVERIFY(entrada);
    checkLoadedWindows(h);

    QVERIFY(press(widget<QToolButton>(entrada, "cmdAjuda")));
    checkLoadedWindows(h);

    QVERIFY(press(widget<QToolButton>(entrada, "cmdParametros")));
    checkLoadedWindows(h);
    QVERIFY(press(widget<QPushButton>(h.window<OptionsScreen>("Form1"), "cmdOk")));

    QVERIFY(press(widget<QToolButton>(entrada, "cmdSimulacao")));
    auto *form2 = h.window<StandDataScreen>("Form2");
    QVERIFY(form2);
    typeInto(widget<QLineEdit>(form2, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(form2, "txtADominante"), QStringLiteral("9"));
    QVERIFY(press(widget<QPushButton>(form2, "cmdDPndesb")));
    // The thinned-stand window, as "Dados povoamento desbastado" would open it.
    QVERIFY(h.ctx->windows.show(WindowId::ThinnedDensity));
    checkLoadedWindows(h);
    auto *form3 = h.window<UnthinnedScreen>("Form3");
    QVERIFY(form3);
    choose(widget<QRadioButton>(form3, "optArvPlant"));
    typeInto(widget<QLineEdit>(form3, "txtNArvVP"), QStringLiteral("1500"));
    QVERIFY(press(widget<QPushButton>(form3, "cmdOk")));
    h.ctx->windows.unload(WindowId::ThinnedDensity);
    QVERIFY(press(widget<QPushButton>(form2, "cmdOk")));
    QVERIFY(h.form5());
    checkLoadedWindows(h);

    QVERIFY(press(widget<QPushButton>(h.form5(), "cmdVGraficos")));
    checkLoadedWindows(h);
    QVERIFY(h.thin(ScreenEntries::Thinning::Mechanical, "30"));
    QVERIFY(h.form7());
    QVERIFY(press(widget<QPushButton>(h.form7(), "cmdVGrafico")));
    checkLoadedWindows(h);
    QVERIFY(h.finish());
    auto *end = h.window<EndScreen>("Terminar");
    QVERIFY(end);
    QVERIFY(press(widget<QPushButton>(end, "cmdGrafSim")));
    checkLoadedWindows(h);
    // The valuation, and the search for the best regime opened from it (a
    // window of its own, owned by the valuation).
    h.ctx->windows.show(WindowId::End);
    settle();
    QVERIFY(press(widget<QPushButton>(end, "cmdAvaliacaoEconomica")));
    auto *economics = h.window<EconomicsScreen>("frmEconomia");
    QVERIFY(economics);
    checkLoadedWindows(h);
    QVERIFY(press(widget<QPushButton>(economics, "cmdMelhorRegime")));
    QVERIFY(economics->bestRegime());
    checkedWindows_ << economics->bestRegime()->objectName();
    unnamed_ << unnamedControls(economics->bestRegime(), &controls_);
    QVERIFY2(!h.fake.exit.exited(), "the simulation ended on its own");
    widget<QAction>(h.window<EntradaScreen>("Entrada"), "Inventario")->trigger();
    settle();
    checkLoadedWindows(h);
    // The forest plan, a window of its own owned by the inventory window.
    auto *inventory = h.window<InventoryScreen>("frmInventario");
    QVERIFY(press(widget<QPushButton>(inventory, "cmdPlano")));
    QVERIFY(inventory->plan());
    checkedWindows_ << inventory->plan()->objectName();
    unnamed_ << unnamedControls(inventory->plan(), &controls_);

    const QStringList expected{"Entrada", "frmAbout", "Form1",  "Form2",    "Form3",       "Form4",
                               "Form5",   "Form6",    "form7",  "Form8",    "Form9",       "Form10",
                               "Terminar", "frmEconomia", "frmMelhorRegime", "frmInventario", "frmPlano"};
    for (const QString &name : expected)
        QVERIFY2(checkedWindows_.contains(name), qPrintable(name + QStringLiteral(" was not opened")));
    QVERIFY(controls_ > 40);
    QVERIFY2(unnamed_.isEmpty(), qPrintable(QStringLiteral("without an accessible name: ") + unnamed_.join(", ")));
}

void AccessibleNamesScreenTest::namesReadAsTheirLabels()
{
    // The boxes a robot looks for by the words on the screen.
    FlowHarness h;
    auto *entrada = h.window<EntradaScreen>("Entrada");
    QVERIFY(press(widget<QToolButton>(entrada, "cmdParametros")));
    auto *form1 = h.window<OptionsScreen>("Form1");
    QCOMPARE(accessibleName(widget<QLineEdit>(form1, "txtAno")), QStringLiteral("Ano corrente"));
    QCOMPARE(accessibleName(widget<QLineEdit>(form1, "txtAltcorte")), QStringLiteral("Altura do corte (m)"));
    QVERIFY(press(widget<QPushButton>(form1, "cmdOk")));
    QVERIFY(press(widget<QToolButton>(entrada, "cmdSimulacao")));
    auto *form2 = h.window<StandDataScreen>("Form2");
    QCOMPARE(accessibleName(widget<QLineEdit>(form2, "txtIdade")), QStringLiteral("Idade do Povoamento (anos)"));
    QCOMPARE(accessibleName(widget<QLineEdit>(form2, "txtADominante")), QStringLiteral("Altura dominante (m)"));
    typeInto(widget<QLineEdit>(form2, "txtIdade"), QStringLiteral("12"));
    typeInto(widget<QLineEdit>(form2, "txtADominante"), QStringLiteral("9"));
    QVERIFY(press(widget<QPushButton>(form2, "cmdDPndesb")));
    QVERIFY(h.ctx->windows.show(WindowId::ThinnedDensity));
    auto *form3 = h.window<UnthinnedScreen>("Form3");
    QCOMPARE(accessibleName(widget<QLineEdit>(form3, "txtNArvVP")), QStringLiteral("Nº de árvores (nº/ha)"));
    auto *form4 = h.window<ThinnedScreen>("Form4");
    QCOMPARE(accessibleName(widget<QLineEdit>(form4, "txtAvivas")), QStringLiteral("Nº de árvores vivas (nº/ha)"));
    QCOMPARE(accessibleName(classBox(form4, 0)), QStringLiteral("Nº Árvores, classe DAP 5"));
    QCOMPARE(accessibleName(classBox(form4, 12)), QStringLiteral("Nº Árvores, classe DAP 65"));
    QCOMPARE(accessibleName(widget<QToolButton>(entrada, "cmdSimulacao")), QStringLiteral("Simulação"));
}

TAVELO_QTEST_CLASS(AccessibleNamesScreenTest)
#include "accessible_names_screen_test.moc"
