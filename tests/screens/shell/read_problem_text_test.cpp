// What a reader found wrong reaches the window in Portuguese: every kind of
// fault, with its key path, column or value as the file has them, and none of
// the command line's English words.

#include "inventory/batch.h"
#include "inventory/inventory_source.h"
#include "regimes/scenario.h"
#include "regimes/search_space.h"
#include "screens/shell/read_problem_text.h"
#include "support/qtest_runner.h"

#include <QFile>
#include <QJsonParseError>
#include <QTemporaryDir>
#include <QtTest>

using namespace tavelo;

namespace {

// Words of the command line's sentences that a Portuguese one never holds.
const char *const kEnglishWords[] = {"must", "missing", "unknown", "give ", "line ", "column ", "header",
                                     "cannot", " the ", " is ", "takes", "needs", "offset", "tavelo-cli", "--"};

ReadProblem problemOf(ReadProblem::Kind kind)
{
    ReadProblem p;
    p.kind = kind;
    p.file = "/dados/inventário.csv";
    p.path = kind == ReadProblem::Kind::NotJsonObject ? "search space" : "steps[2].percent";
    p.value = "3O";
    p.line = 4;
    p.column = 17;
    p.offset = 123;
    p.jsonError = QJsonParseError::IllegalValue;
    return p;
}

} // namespace

class ReadProblemTextTest : public QObject {
    Q_OBJECT
private slots:
    void everyKindInPortuguese_data();
    void everyKindInPortuguese();
    void everyJsonFaultInPortuguese_data();
    void everyJsonFaultInPortuguese();
    void whatUsersMet_data();
    void whatUsersMet();
    void fromTheReaders_data();
    void fromTheReaders();
};

void ReadProblemTextTest::everyKindInPortuguese_data()
{
    QTest::addColumn<int>("kind");
    for (int k = 0; k < ReadProblem::kKindCount; ++k)
        QTest::addRow("kind %d", k) << k;
}

void ReadProblemTextTest::everyKindInPortuguese()
{
    QFETCH(int, kind);
    const ReadProblem p = problemOf(static_cast<ReadProblem::Kind>(kind));
    const std::string english = englishText(p);
    const std::string text = portugueseText(p);
    QVERIFY2(text.size() > 12, text.c_str());
    QVERIFY2(text != english, text.c_str());
    for (const char *word : kEnglishWords)
        QVERIFY2(text.find(word) == std::string::npos, (text + " holds \"" + word + "\"").c_str());
    // Where the English names the file, the key path or the value, so does the
    // Portuguese; a file that is not a JSON object is named by what it holds.
    const std::string path = p.kind == ReadProblem::Kind::NotJsonObject ? p.file : p.path;
    for (const std::string &named : {p.file, path, "\"" + p.value + "\"", std::string("4, coluna 17")}) {
        const bool inEnglish = english.find(named) != std::string::npos ||
                               (named == "4, coluna 17" && english.find("4, column 17") != std::string::npos);
        QVERIFY2(!inEnglish || text.find(named) != std::string::npos, (text + " lacks " + named).c_str());
    }
    QVERIFY2(text.back() == '.', text.c_str());
}

void ReadProblemTextTest::everyJsonFaultInPortuguese_data()
{
    QTest::addColumn<int>("error");
    for (int e = QJsonParseError::UnterminatedObject; e <= QJsonParseError::GarbageAtEnd; ++e)
        QTest::addRow("error %d", e) << e;
}

void ReadProblemTextTest::everyJsonFaultInPortuguese()
{
    QFETCH(int, error);
    ReadProblem p = problemOf(ReadProblem::Kind::JsonSyntax);
    p.jsonError = error;
    const std::string text = portugueseText(p);
    QJsonParseError qt{};
    qt.error = static_cast<QJsonParseError::ParseError>(error);
    QVERIFY2(text.find(qt.errorString().toStdString()) == std::string::npos, text.c_str());
    QVERIFY2(text.rfind("Linha 4, coluna 17: ", 0) == 0 && text.size() > 25, text.c_str());
    QVERIFY2(text.find("erro de sintaxe") == std::string::npos, text.c_str()); // each fault has its own words
}

// The messages users met in English, word for word in Portuguese.
void ReadProblemTextTest::whatUsersMet_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("jsonError");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("portuguese");
    using K = ReadProblem::Kind;
    QTest::newRow("column missing") << int(K::ColumnMissing) << "id" << 0
                                    << "inv.csv: line 1: column \"id\" missing from the header"
                                    << "inv.csv: linha 1: falta a coluna \"id\" no cabeçalho.";
    QTest::newRow("illegal value") << int(K::JsonSyntax) << "" << int(QJsonParseError::IllegalValue)
                                   << "line 1, column 1: illegal value" << "Linha 1, coluna 1: valor inválido.";
    QTest::newRow("unterminated array") << int(K::JsonSyntax) << "" << int(QJsonParseError::UnterminatedArray)
                                        << "line 1, column 1: unterminated array"
                                        << "Linha 1, coluna 1: uma lista não está fechada.";
    QTest::newRow("unknown key") << int(K::UnknownKey) << "regime.stepz" << 0 << "regime.stepz: unknown key"
                                 << "regime.stepz: chave desconhecida.";
}

void ReadProblemTextTest::whatUsersMet()
{
    QFETCH(int, kind);
    QFETCH(QString, where);
    QFETCH(int, jsonError);
    QFETCH(QString, english);
    QFETCH(QString, portuguese);
    ReadProblem p;
    p.kind = static_cast<ReadProblem::Kind>(kind);
    p.file = "inv.csv";
    p.path = where.toStdString();
    p.line = p.column = 1;
    p.jsonError = jsonError;
    QCOMPARE(QString::fromStdString(englishText(p)), english);
    QCOMPARE(QString::fromStdString(portugueseText(p)), portuguese);
}

// The readers' own problems, as the inventory window gets them: the regime
// typed or opened, a search space, an inventory whose header lacks a column.
void ReadProblemTextTest::fromTheReaders_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("portuguese");
    QTest::newRow("regime, not JSON") << "regime" << "regime: project" << "line 1, column 1: illegal value"
                                      << "Linha 1, coluna 1: valor inválido.";
    QTest::newRow("regime, list not closed") << "regime" << "{\"steps\": [\n  \"project\", \"end\"}"
                                             << "line 2, column 19: unterminated array"
                                             << "Linha 2, coluna 19: uma lista não está fechada.";
    QTest::newRow("regime, step") << "regime" << "{\"steps\": [\"grow\"]}"
                                  << "steps[0]: unknown step \"grow\" (project, discard, end or a thin object)"
                                  << "steps[0]: passo desconhecido \"grow\" (project, discard, end ou um objecto thin).";
    QTest::newRow("regime, rules") << "regime" << "{\"rules\": {\"maxAge\": \"600\"}}"
                                   << "rules.maxAge: must be at most 500 years"
                                   << "rules.maxAge: tem de ser no máximo 500 anos.";
    QTest::newRow("regime, economics") << "regime" << "{\"economics\": {\"prices\": {\"sawlog\": 40}}}"
                                       << "economics.prices.sawlog: must be a string (the text as typed)"
                                       << "economics.prices.sawlog: tem de ser um texto (o valor como se escreve).";
    QTest::newRow("search space") << "space" << "{\"rotation\": {\"from\": \"0\", \"to\": \"40\"}}"
                                  << "rotation.from: the rotation age must be above 0"
                                  << "rotation.from: a idade de rotação tem de ser maior que 0.";
    QTest::newRow("inventory header") << "inventory" << "stand,age\n1,12\n"
                                      << "FILE: line 1: column \"id\" missing from the header"
                                      << "FILE: linha 1: falta a coluna \"id\" no cabeçalho.";
    // A row left out, each with its reason in the inventory window's list.
    QTest::newRow("row, cells") << "row" << "s1,12,9" << "expected 10 cells, found 3"
                                << "Esperavam-se 10 células; há 3.";
    QTest::newRow("row, quote") << "row" << "\"s1,12,9,,1500,,,,," << "a quoted cell does not close"
                                << "Uma célula entre aspas não fecha.";
    QTest::newRow("row, age") << "row" << "s1,,9,,1500,,,,," << "age is empty" << "A idade (age) está vazia.";
    QTest::newRow("row, quality") << "row" << "s1,12,,Óptima,1500,,,,," << "unknown qualityClass \"Óptima\""
                                  << "Classe de qualidade desconhecida: \"Óptima\".";
    QTest::newRow("row, density")
        << "row" << "s1,12,9,,1500,1400,,,,"
        << "give one density: planted, alive, or trees, basalArea, minDiameter and p95"
        << "Indique uma só densidade: planted, alive, ou trees, basalArea, minDiameter e p95.";
}

void ReadProblemTextTest::fromTheReaders()
{
    QFETCH(QString, reader);
    QFETCH(QString, input);
    QFETCH(QString, english);
    QFETCH(QString, portuguese);
    ReadProblem problem;
    if (reader == QLatin1String("regime")) {
        const auto read = parseRegime(input.toStdString(), "2026");
        QVERIFY(std::holds_alternative<ReadProblem>(read));
        problem = std::get<ReadProblem>(read);
    } else if (reader == QLatin1String("space")) {
        const auto read = parseSearchSpace(input.toStdString());
        QVERIFY(std::holds_alternative<SearchSpaceError>(read));
        problem = std::get<SearchSpaceError>(read).problem;
    } else if (reader == QLatin1String("row")) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("inventário.csv"));
        QFile f(file);
        const QByteArray text = "id,age,dominantHeight,qualityClass,planted,alive,trees,basalArea,minDiameter,p95\n" +
                                input.toUtf8() + "\n";
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(text) == text.size());
        f.close();
        const auto source = openInventory(file.toStdString(), {});
        InventoryRow row;
        QVERIFY(source->next(row));
        std::unordered_set<std::string> seen;
        const auto stand = standOfRow(row, seen);
        QVERIFY(std::holds_alternative<ReadProblem>(stand));
        problem = std::get<ReadProblem>(stand);
    } else {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("inventário.csv"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(input.toUtf8()) == input.toUtf8().size());
        f.close();
        english.replace(QLatin1String("FILE"), file);
        portuguese.replace(QLatin1String("FILE"), file);
        try {
            openInventory(file.toStdString(), {});
            QFAIL("the inventory was read");
        } catch (const ReadError &e) {
            QCOMPARE(QString::fromStdString(e.what()), english);
            problem = e.problem();
        }
    }
    QCOMPARE(QString::fromStdString(englishText(problem)), english);
    QCOMPARE(QString::fromStdString(portugueseText(problem)), portuguese);
}

TAVELO_QTEST_CLASS(ReadProblemTextTest)

#include "read_problem_text_test.moc"
