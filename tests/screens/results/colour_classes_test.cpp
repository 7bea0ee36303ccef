// The inventory map's colour classes, without a window: whole-number limits
// for whole columns, no empty class, one class for one value, no class and
// no NaN for stands without a value.

#include "screens/results/colour_classes.h"
#include "support/qtest_runner.h"

#include <QtTest>

#include <cmath>
#include <limits>

using namespace tavelo;

namespace {

// "45 46 - nan" → 45, 46, no value, NaN.
std::vector<std::optional<double>> valuesOf(const QString &text)
{
    std::vector<std::optional<double>> values;
    for (const QString &v : text.split(u' ', Qt::SkipEmptyParts)) {
        if (v == QLatin1String("-"))
            values.emplace_back();
        else if (v == QLatin1String("nan"))
            values.emplace_back(std::numeric_limits<double>::quiet_NaN());
        else if (v == QLatin1String("inf"))
            values.emplace_back(std::numeric_limits<double>::infinity());
        else
            values.emplace_back(v.toDouble());
    }
    return values;
}

} // namespace

class ColourClassesTest : public QObject {
    Q_OBJECT
private slots:
    void classesFitTheColumn_data();
    void classesFitTheColumn();
};

void ColourClassesTest::classesFitTheColumn_data()
{
    QTest::addColumn<QString>("values");
    QTest::addColumn<QStringList>("legend");
    QTest::addColumn<QList<int>>("classOf");

    QTest::newRow("ages: whole limits") << "45 46 47 48 49 50" << QStringList{"45 a 46", "47 a 48", "49 a 50"}
                                        << QList<int>{0, 0, 1, 1, 2, 2};
    QTest::newRow("one value a class") << "1 2 3 4 5" << QStringList{"1", "2", "3", "4", "5"}
                                       << QList<int>{0, 1, 2, 3, 4};
    QTest::newRow("a hundred ages") << "1 20 21 40 41 60 61 80 81 100"
                                    << QStringList{"1 a 20", "21 a 40", "41 a 60", "61 a 80", "81 a 100"}
                                    << QList<int>{0, 0, 1, 1, 2, 2, 3, 3, 4, 4};
    QTest::newRow("empty classes left out") << "10 11 50" << QStringList{"10 a 18", "46 a 50"} << QList<int>{0, 0, 1};
    QTest::newRow("negative whole numbers") << "-3 0 3" << QStringList{"-3 a -2", "-1 a 0", "3"}
                                            << QList<int>{0, 1, 2};
    QTest::newRow("a single value") << "7 7 7" << QStringList{"7"} << QList<int>{0, 0, 0};
    QTest::newRow("a single fractional value") << "12.4 12.4" << QStringList{"12.4"} << QList<int>{0, 0};
    QTest::newRow("fractions") << "0 1 2.5 10" << QStringList{"0.0 a 2.0", "2.0 a 4.0", "8.0 a 10.0"}
                               << QList<int>{0, 0, 1, 2};
    QTest::newRow("narrow fractions") << "0.11 0.125 0.16" << QStringList{"0.110 a 0.120", "0.120 a 0.130", "0.150 a 0.160"}
                                      << QList<int>{0, 1, 2};
    QTest::newRow("refused stands: no value") << "- 5 -" << QStringList{"5", "sem valor"} << QList<int>{-1, 0, -1};
    QTest::newRow("every stand refused") << "- - -" << QStringList{"sem valor"} << QList<int>{-1, -1, -1};
    QTest::newRow("no stand") << "" << QStringList{} << QList<int>{};
    QTest::newRow("NaN and infinity: no value") << "nan 5 inf 6" << QStringList{"5", "6", "sem valor"}
                                               << QList<int>{-1, 0, -1, 1};
}

void ColourClassesTest::classesFitTheColumn()
{
    QFETCH(QString, values);
    QFETCH(QStringList, legend);
    QFETCH(QList<int>, classOf);

    const ColourClasses classes = colourClasses(valuesOf(values));
    QStringList shown;
    for (const LegendEntry &e : legendOf(classes))
        shown << e.text;
    QCOMPARE(shown, legend);
    QCOMPARE(QList<int>(classes.classOf.begin(), classes.classOf.end()), classOf);

    QColor previous = QColor(255, 255, 255);
    for (const ColourClass &c : classes.classes) {
        QVERIFY(c.stands > 0);
        QVERIFY(std::isfinite(c.low) && std::isfinite(c.high) && c.low <= c.high);
        // Darker greens for larger values, none of them the grey of "sem valor".
        QVERIFY(c.colour.lightness() < previous.lightness());
        QVERIFY(c.colour != noValueColour());
        previous = c.colour;
    }
}

TAVELO_QTEST_CLASS(ColourClassesTest)
#include "colour_classes_test.moc"
