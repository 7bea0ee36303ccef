#pragma once

// What a reader found wrong in a file the user gave (a scenario, a regime, its
// rules, a search space, an inventory): the kind of fault, where it lies (a key
// path, a column, a line and column), and the value refused. The command line
// says it in English and the windows in Portuguese, each from these fields.

#include <stdexcept>
#include <string>

namespace tavelo {

struct ReadProblem {
    enum class Kind {
        // The file as a whole.
        CannotRead,         // `file` cannot be read; `detail` may say why
        JsonSyntax,         // not JSON: `line`, `column`, `jsonError`
        JsonSyntaxAtOffset, // not JSON: `offset` (bytes), `jsonError`
        NotJsonObject,      // `path` names what the file holds ("scenario", "regime", "search space")
        // Any key (`path`).
        UnknownKey,
        Missing,
        NotObject,
        NotArray,
        NotTextArray,
        NotText,       // must hold the text as typed
        NumberNotText, // must hold the number as typed
        NotNumber,     // `value` is not a number
        // Scenario and regime files.
        VolumesChoice,
        SiteGivenTwice,
        SiteMissing,
        UnknownQualityClass,
        DensityChoice,
        ClassesShape,
        ClassNotText,
        StepsAndRules,
        UnknownStep, // `value`
        StepShape,
        StepAfterEnd,
        ThinningKind,
        MechanicalTakesPercent,
        BelowTakesResidual,
        // Management rules.
        EmptyCondition,
        AnyShape,
        UnknownVariable,
        NoComparison,
        UnknownComparison,
        RuleWithoutThinning,
        RuleBelowTakesResidual,
        MaxAgeMissing,
        MaxAgeTooHigh, // `value`: the highest age
        WhenShape,
        // Rules and search spaces.
        WholeNumberOutOfRange, // `value`: the highest number
        // Search spaces.
        MechanicalOutOfRange, // `value`
        ResidualNotPositive,  // `value`
        RepeatedInList,       // `value`
        RotationNotPositive,
        RotationToBelowFrom,
        NegativeInterval,
        NoIntensity,
        // Inventory files (`file`; the column in `path`).
        HeaderMissing,
        ColumnMissing,
        ColumnTwice,
        CsvHasNoLayers,
        NoSuchLayer,        // `path`: the layer asked for; `value`: the file's layers
        NoLayer,            // nothing but the results of earlier runs
        SeveralLayers,      // none named "stands"; `value`: the file's layers
        LayerColumnMissing, // `path`: the column; `value`: the layer
        LayerUnreadable,    // `value`: the layer; `detail`: GDAL's failures
        FeatureUnreadable,  // `value`: the layer; `found`: the feature's number, `path` its FID; `detail`
        // One row of an inventory, which is then left out.
        QuoteNotClosed,
        CellCount,               // `value` cells expected, `found` found
        IdNotFileName,
        AgeEmpty,
        SiteNotOne,              // neither or both of dominantHeight and qualityClass
        UnknownQualityClassCell, // `value`
        DensityNotOne,
        ThinnedNeedsAll,
        IdUsedTwice,          // `value`: the id
        CellBinary,           // `path`: the column
        CellNotTextOrNumber,  // `path`: the column
        BinaryInNumberColumn, // `path`: the column
        TextInNumberColumn,   // `path`: the column
        GdalChangedValue,     // `detail`: GDAL's warnings
    };
    static constexpr int kKindCount = static_cast<int>(Kind::GdalChangedValue) + 1;

    Kind kind = Kind::CannotRead;
    std::string file;  // the file, for the readers that name it
    std::string path;  // the key path ("steps[2].thin") or the column
    std::string value; // the text refused, or the bound it breaks
    std::string detail; // what another library said, in its own words
    int line = 0;
    int column = 0;
    long long offset = 0;
    int jsonError = 0; // QJsonParseError::ParseError
    long long found = 0; // CellCount
    // A value refused rather than a malformed file (rules, a search space's bounds).
    bool refusedValue = false;
};

// What is wrong with one row of an inventory.
inline ReadProblem rowProblem(ReadProblem::Kind kind, std::string value = {}, std::string column = {})
{
    ReadProblem p;
    p.kind = kind;
    p.value = std::move(value);
    p.path = std::move(column);
    return p;
}

// The command line's words for `problem`.
std::string englishText(const ReadProblem &problem);

// A reader's problem on its way through code that reports any std::exception;
// what() is the English text.
class ReadError : public std::runtime_error {
public:
    explicit ReadError(ReadProblem problem);
    const ReadProblem &problem() const { return problem_; }

private:
    ReadProblem problem_;
};

} // namespace tavelo
