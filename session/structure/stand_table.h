#pragma once

#include "session/entry/screen_entries.h"
#include "model/stand_state.h"

#include <array>
#include <string>
#include <vector>

namespace tavelo {

// The stand table's columns, in order.
enum class TableColumn {
    DiameterClass,
    Trees,
    BasalArea,
    Height,
    TotalVolume,
    RoundwoodVolume,
    SawlogVolume,
    FirewoodVolume,
};
inline constexpr int kStandTableColumns = static_cast<int>(TableColumn::FirewoodVolume) + 1;
using TableRow = std::array<std::string, kStandTableColumns>;

inline const std::string &tableCell(const TableRow &row, TableColumn column)
{
    return row[static_cast<size_t>(column)];
}

// Column headers and widths (twips) of the stand table grid.
extern const std::array<const char *, kStandTableColumns> kStandTableHeaders;
extern const std::array<int, kStandTableColumns> kStandTableWidthsTwips;

// The stand as passed to the table procedures (the current or the residual stand).
struct TableStand {
    double age = 0.0;
    double dominantHeight = 0.0;
    double trees = 0.0;     // live trees per ha
    double basalArea = 0.0; // m2/ha
    double a = 0.0;         // Weibull location, scale and shape
    double b = 0.0;
    double c = 0.0;
    double withBark = 1.0; // 1 with bark, 0 without
};

// One class of the table with the unrounded values behind its cells.
struct StandClass {
    double centre = 0.0;
    double trees = 0.0;
    double basalArea = 0.0;
    double height = 0.0;
    double totalVolume = 0.0;
    double roundwoodVolume = 0.0;
    double sawlogVolume = 0.0;
};

// What a stand table screen shows: the header fields and the grid (row 0 the
// headers, then the shown classes in ascending order, last the Total row).
struct StandTable {
    std::string txtIdade;
    std::string txtADom;
    std::string txtAno;
    std::string txtCQualidd;
    std::string txtDmedio;
    std::string txtA;
    std::string txtB;
    std::string txtC;
    std::string frameCaption;   // Frame1
    std::string lblDesbasteMS;  // after thinning only
    std::string lblTGrelha;
    std::vector<TableRow> rows;
    std::vector<StandClass> classes; // one per class row
    bool afterThinning = false;
    TableStand stand; // the stand the grid shows

    const TableRow &totalRow() const { return rows.back(); }
    int classRowCount() const { return static_cast<int>(rows.size()) - 2; }
};


std::string yearText(const YearValue &year);
std::string barkText(double withBark);
// "Volumes com casca, corte a 0.15 m:" with the cutting height as typed.
std::string volumesTitle(double withBark, const std::string &stumpHeightText);

// How much of a table is built. A regime search reads the Total row alone
// and builds thousands of tables: Totals leaves the header's texts and the
// classes' rows out (rows holds the Total row only), with the same Total row
// and the same checks as the whole table.
enum class TableDetail { Whole, Totals };

// The stand structure screen's table, with its two consistency checks (throws
// ModelLimitError when the stand lies outside the model).
StandTable buildStandTable(const StandState &state, const ScreenEntries &entries, const TableStand &stand,
                           TableDetail detail = TableDetail::Whole);
// The after-thinning screen's table (no checks).
StandTable buildThinnedStandTable(const StandState &state, const ScreenEntries &entries, const TableStand &stand,
                   const std::string &previousDesbasteLabel = {}, TableDetail detail = TableDetail::Whole);

// The Total row of the same stand's table with bark, whatever the options show:
// the carbon account needs the whole stem.
TableRow overBarkTotals(const StandState &state, const TableStand &stand);

// "Mecânico com 30% de árvores a retirar" / "Pelo baixo com 14 m2 de área basal residual".
std::string thinningDescription(const ScreenEntries &entries, const std::string &previous);

} // namespace tavelo
