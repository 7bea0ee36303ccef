// "Opções do Modelo" as a user fills it: the design defaults, the year and
// dimension checks with their boxes, and the entries later screens read.

#include "support/entry_screen_test_support.h"
#include "support/widget_lookup.h"
#include "screens/entry/options_screen.h"
#include "support/qtest_runner.h"

#include <QDate>
#include <QGroupBox>
#include <QtTest>

using namespace tavelo;
using namespace tavelo::testing;

namespace {

struct OpenedOptions {
    EntradaScreen *entrada;
    OptionsScreen *form1;
};

OpenedOptions openOptions(ScreenHarness &h)
{
    EntradaScreen *e = h.start();
    click(widget<QToolButton>(e, "cmdParametros"));
    return {e, h.window<OptionsScreen>("Form1")};
}

// Which of the four dimensions hold a number afterwards.
QString storedDimensions(const StandState &s)
{
    QString out;
    for (const StateValue *v : {&s.sawlogMinDiameter, &s.sawlogMinLength, &s.stumpHeight, &s.topDiameter})
        out += v->isGiven() ? QLatin1Char('x') : QLatin1Char('-');
    return out;
}

} // namespace

class OptionsScreenTest : public QObject {
    Q_OBJECT
private slots:
    void designDefaultsConfirmed();
    void withoutBark();
    void invalidYear_data();
    void invalidYear();
    void invalidDimension_data();
    void invalidDimension();
    void entriesFollowTheTyping();
    void keptWhenReopened();
    void closeBoxBringsTheDefaultsBack();
};

void OptionsScreenTest::designDefaultsConfirmed()
{
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    QVERIFY(f && f->isVisible());
    QCOMPARE(f->windowTitle(), QStringLiteral("Opções do Modelo"));
    QCOMPARE(widget<QGroupBox>(f, "Frame1")->title(), QStringLiteral("Volumes"));
    QCOMPARE(widget<QGroupBox>(f, "Frame2")->title(), QStringLiteral("Ano corrente"));
    QCOMPARE(widget<QGroupBox>(f, "Frame3")->title(), QStringLiteral("Dimensões das classes de aproveitamento"));
    QCOMPARE(widget<QRadioButton>(f, "optVcc")->text(), QStringLiteral("Volumes com casca"));
    QCOMPARE(widget<QRadioButton>(f, "optVsc")->text(), QStringLiteral("Volumes sem casca"));
    QVERIFY(widget<QRadioButton>(f, "optVcc")->isChecked());
    QCOMPARE(widget<QLabel>(f, "lblDmin")->text(), QStringLiteral("Diâmetro mínimo para madeira (cm)"));
    QCOMPARE(widget<QLabel>(f, "lblCmin")->text(), QStringLiteral("Comprimento mínimo do toro para madeira (m)"));
    QCOMPARE(widget<QLabel>(f, "lblAltcorte")->text(), QStringLiteral("Altura do corte (m)"));
    QCOMPARE(widget<QLabel>(f, "lblDdesp")->text(), QStringLiteral("Diâmetro de desponta (cm)"));
    QCOMPARE(widget<QLineEdit>(f, "txtDmin")->text(), QStringLiteral("20.0"));
    QCOMPARE(widget<QLineEdit>(f, "txtCmin")->text(), QStringLiteral("2.30"));
    QCOMPARE(widget<QLineEdit>(f, "txtAltcorte")->text(), QStringLiteral("0.15"));
    QCOMPARE(widget<QLineEdit>(f, "txtDdesp")->text(), QStringLiteral("7"));
    const QString thisYear = QString::number(QDate::currentDate().year());
    QCOMPARE(widget<QLineEdit>(f, "txtAno")->text(), thisYear);
    QCOMPARE(widget<QPushButton>(f, "cmdOk")->text(), QStringLiteral("&Ok"));

    click(widget<QPushButton>(f, "cmdOk"));
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(h.state.withBark.value(), 1.0);
    QCOMPARE(h.state.sawlogMinDiameter.value(), 20.0);
    QCOMPARE(h.state.sawlogMinLength.value(), 2.3);
    QCOMPARE(h.state.stumpHeight.value(), 0.15);
    QCOMPARE(h.state.topDiameter.value(), 7.0);
    QVERIFY(h.state.currentYear.isText());
    QCOMPARE(QString::fromStdString(h.state.currentYear.text()), thisYear);
    // Hidden, not closed; "Simulação" is available.
    QVERIFY(!f->isVisible());
    QCOMPARE(h.window<OptionsScreen>("Form1"), f);
    QVERIFY(widget<QAction>(e, "Sim")->isEnabled() && widget<QToolButton>(e, "cmdSimulacao")->isEnabled());
}

void OptionsScreenTest::withoutBark()
{
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    choose(widget<QRadioButton>(f, "optVsc"));
    QVERIFY(widget<QRadioButton>(f, "optVsc")->isChecked() && !widget<QRadioButton>(f, "optVcc")->isChecked());
    click(widget<QPushButton>(f, "cmdOk"));
    QCOMPARE(h.state.withBark.value(), 0.0);
    QVERIFY(h.state.withBark.isGiven());
}

void OptionsScreenTest::invalidYear_data()
{
    QTest::addColumn<QString>("year");
    QTest::newRow("zero") << "0";
    QTest::newRow("negative") << "-5";
    QTest::newRow("empty") << "";
    QTest::newRow("not a number") << "dois mil";
    QTest::newRow("comma") << "2,026";
}

void OptionsScreenTest::invalidYear()
{
    QFETCH(QString, year);
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    typeInto(widget<QLineEdit>(f, "txtAno"), year);
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Dados Inválidos | Data Inválida"});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Warning);
    QCOMPARE(h.fake.messages.shown.front().parentName, QStringLiteral("Form1"));
    // The bark option is stored first; nothing after it.
    QVERIFY(h.state.withBark.isGiven());
    QVERIFY(h.state.currentYear.isEmptyOrNull());
    QCOMPARE(storedDimensions(h.state), QStringLiteral("----"));
    QVERIFY(f->isVisible());
    QVERIFY(!widget<QAction>(e, "Sim")->isEnabled());
}

void OptionsScreenTest::invalidDimension_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("yearStored");
    // A text that is not a number: the dimensions before it stay stored.
    QTest::newRow("sawlog length empty") << "txtCmin" << "" << "Dados Inválidos" << "x---" << true;
    QTest::newRow("top diameter not a number") << "txtDdesp" << "sete" << "Dados Inválidos" << "xxx-" << true;
    QTest::newRow("first dimension with a comma") << "txtDmin" << "20,0" << "Dados Inválidos" << "----" << true;
    // Zero or negative: refused, nothing stored.
    QTest::newRow("top diameter zero") << "txtDdesp" << "0" << "Dados Inválidos" << "----" << false;
    QTest::newRow("cutting height negative")
        << "txtAltcorte" << "-0.1" << "Parâmetros negativos não são aceitáveis..." << "----" << false;
    QTest::newRow("sawlog diameter negative")
        << "txtDmin" << "-20" << "Parâmetros negativos não são aceitáveis..." << "----" << false;
}

void OptionsScreenTest::invalidDimension()
{
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QFETCH(QString, stored);
    QFETCH(bool, yearStored);
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    typeInto(f->findChild<QLineEdit *>(box), text);
    click(widget<QPushButton>(f, "cmdOk"));

    QCOMPARE(boxTexts(h.fake.messages), QStringList{"Dados Inválidos | " + message});
    QCOMPARE(h.fake.messages.last().icon, Message::Icon::Warning);
    QCOMPARE(storedDimensions(h.state), stored);
    QCOMPARE(!h.state.currentYear.isEmptyOrNull(), yearStored);
    QVERIFY(f->isVisible());
    QVERIFY(!widget<QAction>(e, "Sim")->isEnabled());

    // Corrected, the options go through.
    h.fake.messages.clear();
    typeInto(f->findChild<QLineEdit *>(box), QStringLiteral("3"));
    click(widget<QPushButton>(f, "cmdOk"));
    QVERIFY(h.fake.messages.shown.empty());
    QCOMPARE(storedDimensions(h.state), QStringLiteral("xxxx"));
    QVERIFY(widget<QAction>(e, "Sim")->isEnabled());
}

void OptionsScreenTest::entriesFollowTheTyping()
{
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string("0.15"));
    QCOMPARE(QString::fromStdString(h.ctx->entries.yearText), widget<QLineEdit>(f, "txtAno")->text());
    typeInto(widget<QLineEdit>(f, "txtAltcorte"), QStringLiteral(".15"));
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string(".15"));
    typeInto(widget<QLineEdit>(f, "txtAltcorte"), QStringLiteral("0.150"));
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string("0.150"));
    typeInto(widget<QLineEdit>(f, "txtAno"), QStringLiteral("2030"));
    QCOMPARE(h.ctx->entries.yearText, std::string("2030"));
    // Texts that are refused are still what the window holds.
    typeInto(widget<QLineEdit>(f, "txtAltcorte"), QStringLiteral("abc"));
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string("abc"));
}

void OptionsScreenTest::keptWhenReopened()
{
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    choose(widget<QRadioButton>(f, "optVsc"));
    typeInto(widget<QLineEdit>(f, "txtAltcorte"), QStringLiteral(".2"));
    typeInto(widget<QLineEdit>(f, "txtAno"), QStringLiteral("2030"));
    click(widget<QPushButton>(f, "cmdOk"));
    QVERIFY(!f->isVisible());
    click(widget<QToolButton>(e, "cmdParametros"));
    QCOMPARE(h.window<OptionsScreen>("Form1"), f);
    QVERIFY(f->isVisible());
    QVERIFY(widget<QRadioButton>(f, "optVsc")->isChecked());
    QCOMPARE(widget<QLineEdit>(f, "txtAltcorte")->text(), QStringLiteral(".2"));
    QCOMPARE(widget<QLineEdit>(f, "txtAno")->text(), QStringLiteral("2030"));
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string(".2"));
}

void OptionsScreenTest::closeBoxBringsTheDefaultsBack()
{
    ScreenHarness h;
    auto [e, f] = openOptions(h);
    typeInto(widget<QLineEdit>(f, "txtAltcorte"), QStringLiteral(".2"));
    QVERIFY(f->close());
    QTRY_VERIFY(!h.window<OptionsScreen>("Form1"));
    QCOMPARE(h.ctx->entries.stumpHeightText, std::string("0.15"));
    click(widget<QToolButton>(e, "cmdParametros"));
    QCOMPARE(widget<QLineEdit>(h.window<OptionsScreen>("Form1"), "txtAltcorte")->text(), QStringLiteral("0.15"));
}

TAVELO_QTEST_CLASS(OptionsScreenTest)
#include "options_screen_test.moc"
