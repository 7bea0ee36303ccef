#include "sim_record.h"

#include "base/numeric_text.h"

namespace tavelo {

static_assert([] {
    for (size_t c = 0; c < kRecordColumnNames.size(); ++c)
        if (static_cast<size_t>(kRecordColumnNames[c].column) != c)
            return false;
    return true;
}(), "the record's names are listed in column order");

// The record continues the stand table's Total row from the trees on.
static_assert(kRecordColumns - static_cast<int>(RecordColumn::Trees) ==
              kStandTableColumns - static_cast<int>(TableColumn::Trees));

std::optional<Message> recordStand(StandState &state, const StandTable &table, RecordSource source)
{
    // The counter keeps going past the limit so that the message shows only once.
    if (state.recordLast < 32767)
        ++state.recordLast;
    const int k = state.recordLast;
    if (k == kRecordMaxWritten) {
        return Message::information(
            "Limite máximo de simulações atingido",
            source == RecordSource::StandScreen
                ? "Esta será a última simulação registada, pois foi atingido o limite de simulações registáveis..."
                : "Esta será a última simulação permitida, pois foi atingido o limite de simulações...");
    }
    if (k > kRecordMaxWritten)
        return std::nullopt;

    RecordRow &row = state.record[k];
    RecordCell &year = recordCell(row, RecordColumn::Year);
    if (state.currentYear.isText())
        year = state.currentYear.text();
    else if (state.currentYear.isNumber())
        year = state.currentYear.number();
    else
        year = std::string(); // a null year is written as an empty text
    recordCell(row, RecordColumn::Age) = state.standAge.value();
    recordCell(row, RecordColumn::Code) = std::string(source == RecordSource::StandScreen ? "AD" : "D");
    const TableRow &total = table.totalRow();
    constexpr int shift = static_cast<int>(RecordColumn::Trees) - static_cast<int>(TableColumn::Trees);
    for (int c = static_cast<int>(TableColumn::Trees); c < kStandTableColumns; ++c)
        row[static_cast<size_t>(c + shift)] = total[static_cast<size_t>(c)];
    return std::nullopt;
}

std::string recordCellText(const RecordCell &cell)
{
    if (const auto *s = std::get_if<std::string>(&cell))
        return *s;
    if (const auto *d = std::get_if<double>(&cell))
        return plainNumberText(*d);
    return {};
}

int recordRowCount(const StandState &state)
{
    int n = 0;
    // The summary reads up to index 34; rows 34 and 35 are never written.
    while (n < kRecordRows - 1 &&
           !std::holds_alternative<std::monostate>(recordCell(state.record[n], RecordColumn::Year)) &&
           !recordText(state.record[n], RecordColumn::Year).empty())
        ++n;
    return n;
}

void clearRecord(StandState &state)
{
    for (auto &row : state.record)
        row.fill(std::monostate{});
    state.overBarkVolumes.fill({});
    state.recordLast = -1;
}

void newSimulation(StandState &state)
{
    state.projected = false;
    state.newSimulationStarted = true;
    state.currentYear.setNull();
    clearRecord(state);
    state.enteredPlanted = false;
    for (StateValue *v :
         {&state.enteredUnthinned, &state.withBark, &state.sawlogMinDiameter, &state.topDiameter,
          &state.sawlogMinLength, &state.stumpHeight, &state.weibullA, &state.weibullB, &state.weibullC, &state.minDiameter,
          &state.siteIndex, &state.standAge, &state.dominantHeight, &state.basalArea, &state.treesAlive,
          &state.treesPlanted, &state.residualBasalArea, &state.residualWeibullA, &state.residualWeibullB,
          &state.residualWeibullC, &state.residualTrees})
        v->setNull();
}

} // namespace tavelo
