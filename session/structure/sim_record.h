#pragma once

#include "base/message.h"
#include "model/stand_state.h"
#include "session/structure/stand_table.h"

#include <optional>
#include <string>

namespace tavelo {

// Each record column's heading, as the summary table shows it, and its name
// where results are stored (CSV files, databases).
struct RecordColumnName {
    RecordColumn column;
    const char *heading;
    const char *stored;
};
inline constexpr std::array<RecordColumnName, kRecordColumns> kRecordColumnNames = {{
    {RecordColumn::Year, "Ano", "year"},
    {RecordColumn::Age, "Idade", "age"},
    {RecordColumn::Code, "Cod", "code"},
    {RecordColumn::Trees, "NArv/ha", "trees"},
    {RecordColumn::BasalArea, "ABasal(m2/ha)", "basal_area"},
    {RecordColumn::Height, "Altura(m)", "height"},
    {RecordColumn::TotalVolume, "V.Total(m3/ha)", "v_total"},
    {RecordColumn::RoundwoodVolume, "V.Rolaria(m3/ha)", "v_roundwood"},
    {RecordColumn::SawlogVolume, "V.Madeira(m3/ha)", "v_sawlog"},
    {RecordColumn::FirewoodVolume, "V.Lenha(m3/ha)", "v_firewood"},
}};

// The headings alone, in column order.
inline constexpr std::array<const char *, kRecordColumns> kRecordHeaders = [] {
    std::array<const char *, kRecordColumns> headings{};
    for (size_t c = 0; c < headings.size(); ++c)
        headings[c] = kRecordColumnNames[c].heading;
    return headings;
}();

// Which screen adds the row: the stand structure screen ("AD") or the
// after-thinning screen ("D"); the limit message differs between them.
enum class RecordSource { StandScreen, ThinnedScreen };

// Adds the state shown in `table` as a record row. The record keeps 34 rows;
// the 35th request returns the limit message once, later ones are dropped.
std::optional<Message> recordStand(StandState &state, const StandTable &table, RecordSource source);

// The text form of a record cell, as the summary shows it.
std::string recordCellText(const RecordCell &cell);
inline std::string recordText(const RecordRow &row, RecordColumn column)
{
    return recordCellText(recordCell(row, column));
}
// The number of filled rows (the reader stops at the first empty year cell).
int recordRowCount(const StandState &state);
void clearRecord(StandState &state);

// "Nova simulação": the record is emptied and every value becomes null.
void newSimulation(StandState &state);

} // namespace tavelo
