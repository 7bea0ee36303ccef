#pragma once

// Exports from the windows through the ordinary save dialog: a table as CSV
// (the cells as shown, headers first) and a chart as a PNG picture. Cancel
// writes nothing; a file that cannot be written gets the program's error box.

#include <QString>

class QWidget;

namespace tavelo {

class AppContext;
class TextTableModel;

inline constexpr const char *kExportTableTitle = "Exportar a tabela";
inline constexpr const char *kExportTableFilter = "CSV (*.csv)|*.csv";
inline constexpr const char *kExportChartTitle = "Exportar o gráfico";
inline constexpr const char *kExportChartFilter = "PNG (*.png)|*.png";

void exportTableCsv(AppContext &ctx, QWidget *parent, const TextTableModel &table, const QString &proposedName);
void exportPicturePng(AppContext &ctx, QWidget *parent, QWidget *picture, const QString &proposedName);

// "Simulacao3" from "Simulacao3.temp": the start of every proposed name.
QString exportBaseName(const AppContext &ctx);

} // namespace tavelo
