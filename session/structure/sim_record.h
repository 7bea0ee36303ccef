#pragma once

#include "base/message.h"
#include "model/stand_state.h"
#include "session/structure/stand_table.h"

#include <optional>
#include <string>

namespace tavelo {

// The ten column headers of a record row, as the summary table shows them.
extern const std::array<const char *, kRecordColumns> kRecordHeaders;

// Which screen adds the row: the stand structure screen ("AD") or the
// after-thinning screen ("D"); the limit message differs between them.
enum class RecordSource { StandScreen, ThinnedScreen };

// Adds the state shown in `table` as a record row. The record keeps 34 rows;
// the 35th request returns the limit message once, later ones are dropped.
std::optional<Message> recordStand(StandState &state, const StandTable &table, RecordSource source);

// The text form of a record cell, as the summary shows it.
std::string recordCellText(const RecordCell &cell);
// The number of filled rows (the reader stops at the first empty year cell).
int recordRowCount(const StandState &state);
void clearRecord(StandState &state);

// "Nova simulação": the record is emptied and every value becomes null.
void newSimulation(StandState &state);

} // namespace tavelo
