#pragma once

// The grids of the program (the stand table and the summary table) as Qt table
// models: the header row becomes the view's header, every other row a row of
// cell texts, centred, the Total row of a stand table in bold.

#include "session/structure/stand_table.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

#include <optional>
#include <vector>

class QTableView;

namespace tavelo {

// Rows of texts under a header row.
class TextTableModel : public QAbstractTableModel {
public:
    explicit TextTableModel(QObject *parent = nullptr) : QAbstractTableModel(parent) {}

    void setTable(const QStringList &headers, const QVector<QStringList> &rows);
    // The last row is a bold Total row.
    void setBoldLastRow(bool bold) { boldLastRow_ = bold; }
    // Header cells centred too (the summary table) or left as the view draws them.
    void setCentredHeaders(bool centred) { centredHeaders_ = centred; }

    const QStringList &headers() const { return headers_; }
    QString cell(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QStringList headers_;
    QVector<QStringList> rows_;
    bool boldLastRow_ = false;
    bool centredHeaders_ = false;
};

// The stand table grid `Grelha`: class rows and the bold Total row.
class StandTableModel : public TextTableModel {
public:
    explicit StandTableModel(QObject *parent = nullptr);
    void setStandTable(const std::optional<StandTable> &table);
};

// Column widths given in twips (15 twips to a pixel), widened wherever a header
// or a cell text would be cut, so that no column hides part of its numbers.
void sizeColumns(QTableView &view, const std::vector<int> &widthsTwips);
// The width the view needs to show every column without a horizontal scroll
// bar; `rowsScroll` leaves room for the vertical one.
int fullTableWidth(const QTableView &view, bool rowsScroll);

} // namespace tavelo
