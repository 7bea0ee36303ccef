#include "read_problem.h"

#include "base/shown_text.h"

#include <QJsonParseError>

namespace tavelo {

namespace {

std::string jsonErrorText(int error)
{
    QJsonParseError e{};
    e.error = static_cast<QJsonParseError::ParseError>(error);
    return e.errorString().toStdString();
}

std::string quoted(const std::string &value) { return "\"" + shownText(value) + "\""; }

// The sentence after "path: ".
std::string keyText(const ReadProblem &p)
{
    using Kind = ReadProblem::Kind;
    switch (p.kind) {
    case Kind::UnknownKey: return "unknown key";
    case Kind::Missing: return "missing";
    case Kind::NotObject: return "must be an object";
    case Kind::NotArray: return "must be an array";
    case Kind::NotTextArray: return "must be an array of texts";
    case Kind::NotText: return "must be a string (the text as typed)";
    case Kind::NumberNotText: return "must be a string (the number as typed)";
    case Kind::NotNumber: return quoted(p.value) + " is not a number";
    case Kind::VolumesChoice: return "must be \"com casca\" or \"sem casca\"";
    case Kind::SiteGivenTwice: return "give either dominantHeight or qualityClass, not both";
    case Kind::SiteMissing: return "dominantHeight or qualityClass missing";
    case Kind::UnknownQualityClass:
        return "must be one of \"Muito Elevada\", \"Elevada\", \"Média\", \"Baixa\", \"Muito Baixa\"";
    case Kind::DensityChoice:
        return "give one of {planted}, {alive}, {trees, basalArea, minDiameter, p95} or {classes}";
    case Kind::ClassesShape: return "must be an array of 13 texts (classes 5 to 65 cm)";
    case Kind::ClassNotText: return "must be a string (\"\" for an empty box)";
    case Kind::StepsAndRules: return "give either \"steps\" or \"rules\", not both";
    case Kind::UnknownStep: return "unknown step " + quoted(p.value) + " (project, discard, end or a thin object)";
    case Kind::StepShape: return "must be a text or a thin object";
    case Kind::StepAfterEnd: return "no step can follow \"end\"";
    case Kind::ThinningKind: return "must be \"mechanical\" or \"below\"";
    case Kind::MechanicalTakesPercent: return "a mechanical thinning takes \"percent\"";
    case Kind::BelowTakesResidual: return "a thinning from below takes \"residualBasalArea\"";
    case Kind::EmptyCondition: return "a condition tests at least one of " + p.value + " or \"any\"";
    case Kind::AnyShape: return "must be a list of conditions, one of which must hold";
    case Kind::UnknownVariable: return "unknown variable (" + p.value + ")";
    case Kind::NoComparison: return "give one of " + p.value;
    case Kind::UnknownComparison: return "unknown comparison (" + p.value + ")";
    case Kind::RuleWithoutThinning:
        return "a when entry needs a thinning: \"thin\": \"mechanical\" with \"percent\", or \"below\" with "
               "\"residualBasalArea\" or \"residualBasalAreaPercent\"";
    case Kind::RuleBelowTakesResidual:
        return "a thinning from below takes \"residualBasalArea\" or \"residualBasalAreaPercent\"";
    case Kind::MaxAgeMissing: return "missing (the age at which the stand is felled at the latest)";
    case Kind::MaxAgeTooHigh: return "must be at most " + p.value + " years";
    case Kind::WhenShape: return "must be a list of thinnings, each with its condition";
    case Kind::WholeNumberOutOfRange: return "must be a whole number from 0 to " + p.value;
    case Kind::MechanicalOutOfRange: return quoted(p.value) + " must lie between 15 and 50 (% of trees removed)";
    case Kind::ResidualNotPositive: return quoted(p.value) + " must be above 0 (residual basal area, m2/ha)";
    case Kind::RepeatedInList: return quoted(p.value) + " is already in the list";
    case Kind::RotationNotPositive: return "the rotation age must be above 0";
    case Kind::RotationToBelowFrom: return "must not be below rotation.from";
    case Kind::NegativeInterval: return "must not be negative";
    case Kind::NoIntensity: return "give at least one intensity in \"mechanical\" or \"below\"";
    default: return {};
    }
}

} // namespace

std::string englishText(const ReadProblem &p)
{
    using Kind = ReadProblem::Kind;
    switch (p.kind) {
    case Kind::CannotRead: return "cannot read " + p.file + (p.detail.empty() ? "" : ": " + p.detail);
    case Kind::JsonSyntax:
        return "line " + std::to_string(p.line) + ", column " + std::to_string(p.column) + ": " +
               jsonErrorText(p.jsonError);
    case Kind::JsonSyntaxAtOffset: return "offset " + std::to_string(p.offset) + ": " + jsonErrorText(p.jsonError);
    case Kind::NotJsonObject: return "the " + p.path + " must be a JSON object";
    case Kind::HeaderMissing: return p.file + ": the header line is missing";
    case Kind::ColumnMissing: return p.file + ": line 1: column \"" + p.path + "\" missing from the header";
    case Kind::ColumnTwice: return p.file + ": line 1: column \"" + p.path + "\" is named twice in the header";
    case Kind::CsvHasNoLayers: return p.file + " is read as a CSV file, which has no layers";
    case Kind::NoSuchLayer:
        return p.file + ": no layer \"" + p.path + "\" (its layers: " + (p.value.empty() ? "none" : p.value) + ")";
    case Kind::NoLayer: return p.file + ": no layer to read";
    case Kind::SeveralLayers:
        return p.file + ": several layers and none named \"stands\"; choose one with --layer (" + p.value + ")";
    case Kind::LayerColumnMissing: return p.file + ": layer \"" + p.value + "\": column \"" + p.path + "\" missing";
    case Kind::LayerUnreadable: return p.file + ": layer \"" + p.value + "\": " + p.detail;
    case Kind::FeatureUnreadable:
        return p.file + ": layer \"" + p.value + "\": feature " + std::to_string(p.found) +
               (p.path.empty() ? "" : " (FID " + p.path + ")") + ": " + p.detail;
    case Kind::QuoteNotClosed: return "a quoted cell does not close";
    case Kind::CellCount: return "expected " + p.value + " cells, found " + std::to_string(p.found);
    case Kind::IdNotFileName: return "the id must be a usable file name (no \"/\", \"\\\" or control characters)";
    case Kind::AgeEmpty: return "age is empty";
    case Kind::SiteNotOne: return "give either dominantHeight or qualityClass";
    case Kind::UnknownQualityClassCell: return "unknown qualityClass \"" + p.value + "\"";
    case Kind::DensityNotOne: return "give one density: planted, alive, or trees, basalArea, minDiameter and p95";
    case Kind::ThinnedNeedsAll: return "a thinned stand needs all of trees, basalArea, minDiameter and p95";
    case Kind::IdUsedTwice: return "the id \"" + p.value + "\" was already used";
    case Kind::CellBinary: return "column \"" + p.path + "\" holds binary data, not a text or a number";
    case Kind::CellNotTextOrNumber: return "column \"" + p.path + "\" holds neither a text nor a number";
    case Kind::BinaryInNumberColumn: return "column \"" + p.path + "\" holds binary data, not a number";
    case Kind::TextInNumberColumn: return "column \"" + p.path + "\" holds a text, not a number";
    case Kind::GdalChangedValue: return "GDAL: " + p.detail;
    default: return p.path + ": " + keyText(p);
    }
}

ReadError::ReadError(ReadProblem problem) : std::runtime_error(englishText(problem)), problem_(std::move(problem))
{
}

} // namespace tavelo
