#pragma once

// What a simulated regime earns: every thinning and the final felling valued
// from the record's volumes as shown (two decimals), discounted to the age of
// the first recorded state. Plain C++ so that anything that has a record (a
// window, the command line, a search over regimes) can value it cheaply.

#include "base/message.h"
#include "model/stand_state.h"

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// --- Inputs ---------------------------------------------------------------------------------

// Every input in the order the window shows them.
enum class EconomicField {
    SawlogPrice,
    RoundwoodPrice,
    FirewoodPrice,
    ThinningCost,
    FinalFellingCost,
    CostPerCubicMetre,
    AnnualCost,
    EstablishmentCost,
    DiscountRate
};
inline constexpr int kEconomicFieldCount = 9;

struct EconomicFieldInfo {
    EconomicField field;
    const char *keyPath;  // "prices.sawlog": where a scenario file holds it, below "economics"
    const char *label;    // the window's Portuguese label
    const char *name;     // the control's objectName
    bool required;        // prices and rate must be typed; a cost left empty is 0
    double largest;       // the largest value accepted
};
extern const std::array<EconomicFieldInfo, kEconomicFieldCount> kEconomicFields;
const EconomicFieldInfo &economicFieldInfo(EconomicField field);

// The inputs as typed, one text per field.
struct EconomicTexts {
    std::array<std::string, kEconomicFieldCount> values{};
    std::string landValue; // the bare land's value (€/ha), for a forest plan; not a box of the window
    std::string &operator[](EconomicField f) { return values[static_cast<size_t>(f)]; }
    const std::string &operator[](EconomicField f) const { return values[static_cast<size_t>(f)]; }
    bool operator==(const EconomicTexts &) const = default;
};

// The inputs read: euros per hectare, prices per m3, the rate in % per year.
struct EconomicInputs {
    double sawlogPrice = 0.0;
    double roundwoodPrice = 0.0;
    double firewoodPrice = 0.0;
    double thinningCost = 0.0;
    double finalFellingCost = 0.0;
    double costPerCubicMetre = 0.0;
    double annualCost = 0.0;
    double establishmentCost = 0.0;
    double discountRatePercent = 0.0;
};

// A value the valuation cannot take: the field, its key path and the box.
struct EconomicRefusal {
    EconomicField field;
    std::string keyPath;
    Message message;
};

// A field of the valuation and carbon windows read with the program's numeric
// rule: a blank text takes `blankValue` (none: the field must be typed), then a
// number from `smallest` to `largest`; otherwise the box naming the field.
std::variant<double, Message> readBoundedField(const std::string &text, std::optional<double> blankValue,
                                               double smallest, double largest, const char *label);

// Reads the texts with the program's numeric rule; the first bad field is refused.
std::variant<EconomicInputs, EconomicRefusal> readEconomicInputs(const EconomicTexts &texts);

// The bare land's value (€/ha, "economics.landValue") with the same rule and
// range as the costs; empty reads as 0.
inline constexpr const char *kLandValueKeyPath = "economics.landValue";
std::variant<double, Message> readLandValue(const EconomicTexts &texts);

// --- The record as valued ---------------------------------------------------------------------

// One record row as the summary shows it, its volumes read from their texts.
struct ValuationRow {
    std::string year;    // as shown
    std::string ageText; // as shown
    double age = 0.0;
    bool afterThinning = false; // a "D" row
    double total = 0.0;
    double roundwood = 0.0;
    double sawlog = 0.0;
    double firewood = 0.0;
};

// Whether row i closes a thinning: a "D" row right after the "AD" row of the
// same age, the stand before the thinning. What was removed is the difference.
bool closesThinning(const std::vector<ValuationRow> &rows, size_t i);

// The record's rows in order; nothing when it is empty or a cell is unreadable.
std::optional<std::vector<ValuationRow>> valuationRows(const StandState &state);
// True when the stand was entered by the trees planted, the one route whose
// regime starts at planting (and so has a land expectation value).
bool enteredAsPlanted(const StandState &state);

// --- The valuation ----------------------------------------------------------------------------

enum class CashFlowKind { Thinning, FinalFelling, AnnualCosts };

// One line of the cash-flow table. Volumes are the ones removed (m3/ha);
// money in euros per hectare.
struct CashFlow {
    CashFlowKind kind = CashFlowKind::Thinning;
    std::string year;     // as recorded; for the annual costs "first–last"
    std::string ageText;  // as shown; for the annual costs "first–last"
    std::optional<double> yearNumber; // the year as a number, none for the annual costs
    std::optional<double> age;        // none for the annual costs, which span the years
    double sawlog = 0.0;
    double roundwood = 0.0;
    double firewood = 0.0;
    double total = 0.0;
    double revenue = 0.0;
    double cost = 0.0;
    double net = 0.0;
    double discounted = 0.0; // to the first recorded age
};

struct Valuation {
    double firstAge = 0.0; // t0
    double lastAge = 0.0;  // T
    double ratePercent = 0.0;
    double annualCost = 0.0;     // euros per hectare and year, from t0+1 to T
    std::vector<CashFlow> flows; // thinnings and final felling by age, then the annual costs
    CashFlow totals;              // the sums of every column
    double npv = 0.0;             // at the first recorded age
    std::optional<double> eaa;    // none when the record spans no time
    std::optional<double> lev;    // only for a planted stand and a rate above 0
};

// The valuation of a record's rows (in record order) with `inputs`.
// `planted` says whether the regime started at planting (age 0).
Valuation valueRecord(const std::vector<ValuationRow> &rows, const EconomicInputs &inputs, bool planted);

// The valuation of a simulation's record; nothing when the record is empty or
// unreadable.
std::optional<Valuation> valueSimulation(const StandState &state, const EconomicInputs &inputs);

// The net present value of the same cash flows at another rate (% per year):
// for the chart of the value against the rate, or a search over rates.
double npvAtRate(const Valuation &valuation, double ratePercent);

// Points of a chart: (age or rate, euros per hectare).
struct ChartPoint {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const ChartPoint &) const = default;
};
// The cumulative discounted cash flow year by year from the first age to the
// last: it falls with every annual cost and jumps at every harvest.
std::vector<ChartPoint> cumulativeDiscountedFlow(const Valuation &valuation);
// The net present value for rates from 0 % to `largestPercent` by `stepPercent`.
std::vector<ChartPoint> npvByRate(const Valuation &valuation, double largestPercent = 10.0,
                                  double stepPercent = 0.25);

// --- Texts ------------------------------------------------------------------------------------

// Money as shown: two decimals, no "-0.00".
std::string moneyText(double euros);
// The operation's name in the table ("Desbaste", "Corte final", "Custos anuais").
std::string operationText(CashFlowKind kind);
// Its name in the command line's JSON ("thinning", "finalFelling", "annual").
const char *operationKey(CashFlowKind kind);

// The table's headers and rows as the window shows them; the last row is the
// total. Volumes removed in m3/ha, money in euros per hectare (kCashFlowUnits).
inline constexpr const char *kCashFlowUnits = "Volumes retirados em m3/ha; receitas, custos e fluxos em €/ha";
extern const std::array<const char *, 11> kCashFlowHeaders;
std::vector<std::array<std::string, 11>> cashFlowTable(const Valuation &valuation);

// {"npv": …, "eaa": …, "lev": …, "cashFlows": [...]} with numbers to the cent.
std::string valuationJson(const Valuation &valuation);

// "Valor actual líquido (VAL): 1234.56 €/ha" and the like, for the window.
std::string npvLine(const Valuation &valuation);
std::string eaaLine(const Valuation &valuation);
std::string levLine(const Valuation &valuation);

} // namespace tavelo
