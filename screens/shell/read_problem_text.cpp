#include "read_problem_text.h"

#include "base/shown_text.h"

#include <QJsonParseError>

namespace tavelo {

namespace {

std::string jsonFault(int error)
{
    switch (static_cast<QJsonParseError::ParseError>(error)) {
    case QJsonParseError::NoError: return "sem erro";
    case QJsonParseError::UnterminatedObject: return "um objecto não está fechado";
    case QJsonParseError::MissingNameSeparator: return "falta o separador \":\" depois de um nome";
    case QJsonParseError::UnterminatedArray: return "uma lista não está fechada";
    case QJsonParseError::MissingValueSeparator: return "falta o separador \",\" entre dois valores";
    case QJsonParseError::IllegalValue: return "valor inválido";
    case QJsonParseError::TerminationByNumber: return "o texto acaba a meio de um número";
    case QJsonParseError::IllegalNumber: return "número inválido";
    case QJsonParseError::IllegalEscapeSequence: return "sequência de escape inválida";
    case QJsonParseError::IllegalUTF8String: return "texto com UTF-8 inválido";
    case QJsonParseError::UnterminatedString: return "um texto não está fechado";
    case QJsonParseError::MissingObject: return "falta um objecto";
    case QJsonParseError::DeepNesting: return "demasiados níveis encaixados";
    case QJsonParseError::DocumentTooLarge: return "o ficheiro é grande demais";
    case QJsonParseError::GarbageAtEnd: return "há texto a mais depois do fim";
    }
    return "erro de sintaxe";
}

// The file named by what it holds.
std::string fileKind(const std::string &what)
{
    if (what == "scenario")
        return "cenário";
    if (what == "search space")
        return "espaço de procura";
    return what; // "regime"
}

std::string quoted(const std::string &value) { return "\"" + shownText(value) + "\""; }

// The sentence after "path: ".
std::string keyFault(const ReadProblem &p)
{
    using Kind = ReadProblem::Kind;
    switch (p.kind) {
    case Kind::UnknownKey: return "chave desconhecida";
    case Kind::Missing: return "em falta";
    case Kind::NotObject: return "tem de ser um objecto";
    case Kind::NotArray: return "tem de ser uma lista";
    case Kind::NotTextArray: return "tem de ser uma lista de textos";
    case Kind::NotText: return "tem de ser um texto (o valor como se escreve)";
    case Kind::NumberNotText: return "tem de ser um texto (o número como se escreve)";
    case Kind::NotNumber: return quoted(p.value) + " não é um número";
    case Kind::VolumesChoice: return "tem de ser \"com casca\" ou \"sem casca\"";
    case Kind::SiteGivenTwice: return "indique dominantHeight ou qualityClass, não ambos";
    case Kind::SiteMissing: return "falta dominantHeight ou qualityClass";
    case Kind::UnknownQualityClass:
        return "tem de ser uma de \"Muito Elevada\", \"Elevada\", \"Média\", \"Baixa\", \"Muito Baixa\"";
    case Kind::DensityChoice:
        return "indique um de {planted}, {alive}, {trees, basalArea, minDiameter, p95} ou {classes}";
    case Kind::ClassesShape: return "tem de ser uma lista de 13 textos (classes de 5 a 65 cm)";
    case Kind::ClassNotText: return "tem de ser um texto (\"\" para uma caixa vazia)";
    case Kind::StepsAndRules: return "indique \"steps\" ou \"rules\", não ambos";
    case Kind::UnknownStep:
        return "passo desconhecido " + quoted(p.value) + " (project, discard, end ou um objecto thin)";
    case Kind::StepShape: return "tem de ser um texto ou um objecto thin";
    case Kind::StepAfterEnd: return "nenhum passo pode vir depois de \"end\"";
    case Kind::ThinningKind: return "tem de ser \"mechanical\" ou \"below\"";
    case Kind::MechanicalTakesPercent: return "um desbaste mecânico leva \"percent\"";
    case Kind::BelowTakesResidual: return "um desbaste pelo baixo leva \"residualBasalArea\"";
    case Kind::EmptyCondition: return "uma condição testa pelo menos uma de " + p.value + " ou \"any\"";
    case Kind::AnyShape: return "tem de ser uma lista de condições, das quais uma tem de se verificar";
    case Kind::UnknownVariable: return "variável desconhecida (" + p.value + ")";
    case Kind::NoComparison: return "indique uma de " + p.value;
    case Kind::UnknownComparison: return "comparação desconhecida (" + p.value + ")";
    case Kind::RuleWithoutThinning:
        return "cada entrada de when precisa de um desbaste: \"thin\": \"mechanical\" com \"percent\", ou \"below\" "
               "com \"residualBasalArea\" ou \"residualBasalAreaPercent\"";
    case Kind::RuleBelowTakesResidual:
        return "um desbaste pelo baixo leva \"residualBasalArea\" ou \"residualBasalAreaPercent\"";
    case Kind::MaxAgeMissing: return "em falta (a idade a que o povoamento é cortado, o mais tardar)";
    case Kind::MaxAgeTooHigh: return "tem de ser no máximo " + p.value + " anos";
    case Kind::WhenShape: return "tem de ser uma lista de desbastes, cada um com a sua condição";
    case Kind::WholeNumberOutOfRange: return "tem de ser um número inteiro de 0 a " + p.value;
    case Kind::MechanicalOutOfRange: return quoted(p.value) + " tem de estar entre 15 e 50 (% de árvores retiradas)";
    case Kind::ResidualNotPositive: return quoted(p.value) + " tem de ser maior que 0 (área basal residual, m2/ha)";
    case Kind::RepeatedInList: return quoted(p.value) + " já está na lista";
    case Kind::RotationNotPositive: return "a idade de rotação tem de ser maior que 0";
    case Kind::RotationToBelowFrom: return "não pode ser inferior a rotation.from";
    case Kind::NegativeInterval: return "não pode ser negativo";
    case Kind::NoIntensity: return "indique pelo menos uma intensidade em \"mechanical\" ou \"below\"";
    default: return {};
    }
}

} // namespace

std::string portugueseText(const ReadProblem &p)
{
    using Kind = ReadProblem::Kind;
    switch (p.kind) {
    case Kind::CannotRead:
        return "Não é possível ler " + p.file + (p.detail.empty() ? "." : " (o GDAL diz: " + p.detail + ").");
    case Kind::JsonSyntax:
        return "Linha " + std::to_string(p.line) + ", coluna " + std::to_string(p.column) + ": " +
               jsonFault(p.jsonError) + ".";
    case Kind::JsonSyntaxAtOffset:
        return "No byte " + std::to_string(p.offset) + " do ficheiro: " + jsonFault(p.jsonError) + ".";
    case Kind::NotJsonObject: return "O ficheiro de " + fileKind(p.path) + " tem de ser um objecto JSON.";
    case Kind::HeaderMissing: return p.file + ": falta a linha de cabeçalho.";
    case Kind::ColumnMissing: return p.file + ": linha 1: falta a coluna \"" + p.path + "\" no cabeçalho.";
    case Kind::ColumnTwice:
        return p.file + ": linha 1: a coluna \"" + p.path + "\" aparece duas vezes no cabeçalho.";
    case Kind::CsvHasNoLayers: return p.file + " é lido como um ficheiro CSV, que não tem camadas.";
    case Kind::NoSuchLayer:
        return p.file + ": não tem a camada \"" + p.path + "\" (as suas camadas: " +
               (p.value.empty() ? "nenhuma" : p.value) + ").";
    case Kind::NoLayer: return p.file + ": não tem nenhuma camada para ler.";
    case Kind::SeveralLayers:
        return p.file + ": tem várias camadas e nenhuma se chama \"stands\"; escolha uma (" + p.value + ").";
    case Kind::LayerColumnMissing:
        return p.file + ": camada \"" + p.value + "\": falta a coluna \"" + p.path + "\".";
    case Kind::LayerUnreadable:
        return p.file + ": o GDAL não consegue ler a camada \"" + p.value + "\" (o GDAL diz: " + p.detail + ").";
    case Kind::FeatureUnreadable:
        return p.file + ": o GDAL não consegue ler o elemento " + std::to_string(p.found) +
               (p.path.empty() ? "" : " (FID " + p.path + ")") + " da camada \"" + p.value + "\" (o GDAL diz: " +
               p.detail + ").";
    case Kind::QuoteNotClosed: return "Uma célula entre aspas não fecha.";
    case Kind::CellCount: return "Esperavam-se " + p.value + " células; há " + std::to_string(p.found) + ".";
    case Kind::IdNotFileName:
        return "O id tem de servir de nome de ficheiro (sem \"/\", \"\\\" nem caracteres de controlo).";
    case Kind::AgeEmpty: return "A idade (age) está vazia.";
    case Kind::SiteNotOne:
        return "Indique a altura dominante (dominantHeight) ou a classe de qualidade (qualityClass), uma só.";
    case Kind::UnknownQualityClassCell: return "Classe de qualidade desconhecida: \"" + p.value + "\".";
    case Kind::DensityNotOne:
        return "Indique uma só densidade: planted, alive, ou trees, basalArea, minDiameter e p95.";
    case Kind::ThinnedNeedsAll:
        return "Um povoamento desbastado precisa de trees, basalArea, minDiameter e p95, todos.";
    case Kind::IdUsedTwice: return "O id \"" + p.value + "\" já foi usado.";
    case Kind::CellBinary: return "A coluna \"" + p.path + "\" tem dados binários, não um texto nem um número.";
    case Kind::CellNotTextOrNumber: return "A coluna \"" + p.path + "\" não tem um texto nem um número.";
    case Kind::BinaryInNumberColumn: return "A coluna \"" + p.path + "\" tem dados binários, não um número.";
    case Kind::TextInNumberColumn: return "A coluna \"" + p.path + "\" tem um texto, não um número.";
    case Kind::GdalChangedValue:
        return "O GDAL teve de mudar um valor para o ler (o GDAL diz: " + p.detail + ").";
    default: return p.path + ": " + keyFault(p) + ".";
    }
}

} // namespace tavelo
