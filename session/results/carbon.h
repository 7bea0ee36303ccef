#pragma once

// The carbon of a simulated regime: the stand's stock at every record row,
// the wood its thinnings and final felling send to products that decay, and
// what goes to the air, all from the record's volumes as shown (over bark).
// Plain C++ like the valuation, so that a window, the command line or a
// search over regimes can use it.

#include "base/message.h"
#include "model/stand_state.h"
#include "session/results/economics.h"

#include <array>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace tavelo {

// --- Factors --------------------------------------------------------------------------------

enum class CarbonField { BasicDensity, ExpansionFactor, RootToShoot, CarbonFraction, SawlogHalfLife, RoundwoodHalfLife };
inline constexpr int kCarbonFieldCount = 6;

struct CarbonFieldInfo {
    CarbonField field;
    const char *keyPath;  // "halfLives.sawlog": where a scenario file holds it, below "carbon"
    const char *label;    // the window's Portuguese label
    const char *name;     // the control's objectName
    double defaultValue;  // maritime pine, from the default tables of the greenhouse gas guidelines
    double smallest;
    double largest;
};
extern const std::array<CarbonFieldInfo, kCarbonFieldCount> kCarbonFields;
const CarbonFieldInfo &carbonFieldInfo(CarbonField field);

// The factors as typed; an empty text takes the field's default.
struct CarbonTexts {
    std::array<std::string, kCarbonFieldCount> values{};
    std::string &operator[](CarbonField f) { return values[static_cast<size_t>(f)]; }
    const std::string &operator[](CarbonField f) const { return values[static_cast<size_t>(f)]; }
    bool operator==(const CarbonTexts &) const = default;
};

struct CarbonFactors {
    double basicDensity = 0.0;     // t dry matter per m3 of stem wood over bark
    double expansionFactor = 0.0;  // above-ground biomass per stem biomass
    double rootToShoot = 0.0;      // below-ground per above-ground biomass
    double carbonFraction = 0.0;   // t C per t dry matter
    double sawlogHalfLife = 0.0;   // years, sawnwood
    double roundwoodHalfLife = 0.0; // years, wood panels
};

struct CarbonRefusal {
    CarbonField field;
    std::string keyPath; // "carbon.basicDensity"
    Message message;
};

// The account's default factors (those of empty texts).
CarbonFactors defaultCarbonFactors();

// Reads the texts with the program's numeric rule; the first bad field is refused.
std::variant<CarbonFactors, CarbonRefusal> readCarbonFactors(const CarbonTexts &texts);

// --- The account ------------------------------------------------------------------------------

// The record's rows with their volumes over bark (the same rows as the
// valuation's when the record shows them with bark); nothing when the record
// is empty or a volume unreadable.
std::optional<std::vector<ValuationRow>> carbonRows(const StandState &state);
// `row` with the volumes of a Total row (total, roundwood, sawlog, fuelwood as
// shown); false when one is unreadable.
bool takeVolumes(ValuationRow &row, const std::array<std::string, 4> &volumes);

// t C/ha at one record row.
struct CarbonRow {
    std::string year;
    std::string ageText;
    std::optional<double> yearNumber;
    double age = 0.0;
    bool afterThinning = false;
    double stand = 0.0;
    double products = 0.0; // both pools at the row's age
    double emitted = 0.0;  // from the first row to this one
    double total = 0.0;    // stand + products
};

// What a thinning or the final felling removes (t C/ha).
struct CarbonRemoval {
    double age = 0.0;
    bool finalFelling = false;
    double sawlog = 0.0;    // into the sawlog pool
    double roundwood = 0.0; // into the roundwood pool
    double emitted = 0.0;   // fuelwood, branches and roots
};

struct CarbonAccount {
    double firstAge = 0.0; // t0
    double lastAge = 0.0;  // T
    std::vector<CarbonRow> rows;
    std::vector<CarbonRemoval> removals;
    // Each pool's stock C(y) for y = t0, t0+1, …, T (at the start of each year).
    std::vector<double> sawlogPool;
    std::vector<double> roundwoodPool;
    double start = 0.0;   // total at the first row
    double end = 0.0;     // total at the last row
    double balance = 0.0; // end - start
    double meanStand = 0.0;
    double meanProducts = 0.0;
    double meanStock = 0.0; // meanStand + meanProducts
};

// Tonnes of carbon as tonnes of CO2 equivalent.
inline constexpr double kCo2PerCarbon = 44.0 / 12.0;

// The account of a record's rows (in record order, volumes over bark).
CarbonAccount carbonAccount(const std::vector<ValuationRow> &rows, const CarbonFactors &factors);
// The account of a simulation's record; nothing when it is empty or unreadable.
std::optional<CarbonAccount> carbonOfSimulation(const StandState &state, const CarbonFactors &factors);

// A regime's carbon over a plan's horizon of `years` years from its first
// row (t C/ha): the stand linear between record rows and nothing once felled
// within the horizon (the new plantation is not counted), the product pools
// year by year, decaying on after the regime's end.
struct HorizonCarbon {
    double mean = 0.0; // over the horizon: the stand's time mean plus the pools' mean over years 1..years
    // The stock at each 5-year step's end (years 5, 10, …), the stand as it
    // stands before anything cut that year.
    std::vector<double> atPeriodEnds;
};
HorizonCarbon horizonCarbon(const CarbonAccount &account, const CarbonFactors &factors, int years, int periodYears);

// The chart's three lines over age: the stand (a thinning is a drop at its
// age), the products year by year, and their sum.
struct CarbonChart {
    std::vector<ChartPoint> stand;
    std::vector<ChartPoint> products;
    std::vector<ChartPoint> total;
};
CarbonChart carbonChart(const CarbonAccount &account);

// --- Texts ------------------------------------------------------------------------------------

// Tonnes as shown: two decimals, no "-0.00".
std::string carbonText(double tonnes);

inline constexpr const char *kCarbonUnits = "Carbono em t C/ha; emitido acumulado desde a primeira linha";
extern const std::array<const char *, 7> kCarbonHeaders;
// One line per record row, as the window shows it.
std::vector<std::array<std::string, 7>> carbonTable(const CarbonAccount &account);
// Start, end, balance, mean stock, its two parts and the emissions, one line
// each: "Stock no início (12 anos): 17.73 t C/ha (65.00 t CO2e/ha)".
std::vector<std::string> carbonTotalsLines(const CarbonAccount &account);

// {"rows": [...], "start", "end", "balance", "meanStock"} in t C/ha.
std::string carbonJson(const CarbonAccount &account);

} // namespace tavelo
