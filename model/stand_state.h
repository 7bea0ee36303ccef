#pragma once

#include "state_value.h"

#include <array>
#include <string>
#include <variant>

namespace tavelo {

// The calendar year of the current state: the text typed on the options screen
// until the first projection step adds 5 to it, a number from then on; null
// after a new simulation.
class YearValue {
public:
    bool isEmptyOrNull() const { return std::holds_alternative<std::monostate>(v_); }
    bool isText() const { return std::holds_alternative<std::string>(v_); }
    bool isNumber() const { return std::holds_alternative<double>(v_); }
    const std::string &text() const { return std::get<std::string>(v_); }
    double number() const { return std::get<double>(v_); }
    void setText(std::string s) { v_ = std::move(s); }
    void setNumber(double d) { v_ = d; }
    void setNull() { v_ = std::monostate{}; }

private:
    std::variant<std::monostate, std::string, double> v_;
};

// One cell of the simulation record: empty until written, then a text (the
// year as typed, the code, the stand table's formatted totals) or a number
// (the age, the projected year).
using RecordCell = std::variant<std::monostate, std::string, double>;

inline constexpr int kRecordRows = 36;

// The record's columns, in order: when and where the row was taken, then the
// stand table's Total row from the trees on.
enum class RecordColumn {
    Year,
    Age,
    Code, // "AD" on the stand screen, "D" right after a thinning
    Trees,
    BasalArea,
    Height,
    TotalVolume,
    RoundwoodVolume,
    SawlogVolume,
    FirewoodVolume,
};
inline constexpr int kRecordColumns = static_cast<int>(RecordColumn::FirewoodVolume) + 1;
using RecordRow = std::array<RecordCell, kRecordColumns>;

inline const RecordCell &recordCell(const RecordRow &row, RecordColumn column)
{
    return row[static_cast<size_t>(column)];
}
inline RecordCell &recordCell(RecordRow &row, RecordColumn column)
{
    return row[static_cast<size_t>(column)];
}
inline constexpr int kRecordMaxWritten = 34;

// The stand state shared by every screen and the model for one simulation.
struct StandState {
    // Model options
    StateValue withBark;
    StateValue sawlogMinDiameter;
    StateValue sawlogMinLength;
    StateValue stumpHeight;
    StateValue topDiameter;
    YearValue currentYear;

    // Stand at the current age
    StateValue enteredUnthinned;
    StateValue standAge;
    StateValue dominantHeight;
    StateValue siteIndex;
    StateValue treesPlanted;
    StateValue treesAlive;
    StateValue basalArea;
    StateValue minDiameter;
    StateValue weibullA;
    StateValue weibullB;
    StateValue weibullC;

    // Stand left by the last thinning
    StateValue residualBasalArea;
    StateValue residualWeibullA;
    StateValue residualWeibullB;
    StateValue residualWeibullC;
    StateValue residualTrees;

    // Bookkeeping
    std::string logName;
    std::array<RecordRow, kRecordRows> record{};
    int recordLast = -1;
    // Beside a record shown under bark, each row's volumes with bark (total,
    // roundwood, sawlog, fuelwood as the table would show them): the carbon
    // account needs the whole stem. Empty when the record is over bark.
    std::array<std::array<std::string, 4>, kRecordRows> overBarkVolumes{};
    // "Nova simulação" was pressed: closing the start screen no longer ends the program.
    bool newSimulationStarted = false;
    // The current stand was reached by a projection step.
    bool projected = false;
    // The never-thinned stand was entered by its trees planted (not alive, not
    // thinned): its regime starts at planting, as the land's value needs.
    bool enteredPlanted = false;
};

// The assortment dimensions the volume functions read from the stand state.
struct AssortmentDimensions {
    double sawlogMinDiameter = 0.0;
    double stumpHeight = 0.0;
    double topDiameter = 0.0;

    static AssortmentDimensions from(const StandState &s)
    {
        return {s.sawlogMinDiameter.value(), s.stumpHeight.value(), s.topDiameter.value()};
    }
};

} // namespace tavelo
