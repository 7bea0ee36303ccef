#include "sim_record.h"

#include "base/numeric_text.h"

namespace tavelo {

const std::array<const char *, kRecordColumns> kRecordHeaders = {
    "Ano", "Idade", "Cod", "NArv/ha", "ABasal(m2/ha)", "Altura(m)",
    "V.Total(m3/ha)", "V.Rolaria(m3/ha)", "V.Madeira(m3/ha)", "V.Lenha(m3/ha)"};

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

    auto &row = state.record[k];
    if (state.currentYear.isText())
        row[0] = state.currentYear.text();
    else if (state.currentYear.isNumber())
        row[0] = state.currentYear.number();
    else
        row[0] = std::string(); // a null year is written as an empty text
    row[1] = state.standAge.value();
    row[2] = std::string(source == RecordSource::StandScreen ? "AD" : "D");
    const TableRow &total = table.totalRow();
    for (int c = 1; c < kStandTableColumns; ++c)
        row[c + 2] = total[c];
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
    while (n < kRecordRows - 1 && !std::holds_alternative<std::monostate>(state.record[n][0]) &&
           !recordCellText(state.record[n][0]).empty())
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
