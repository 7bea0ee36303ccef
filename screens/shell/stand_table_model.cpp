#include "stand_table_model.h"

#include "screens/shell/services.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QScrollBar>
#include <QTableView>

#include <algorithm>

namespace tavelo {

namespace {

constexpr int kTwipsPerPixel = 15;
// Room left and right of a cell text (the view's own margins and grid line).
constexpr int kCellPadding = 14;

} // namespace

void TextTableModel::setTable(const QStringList &headers, const QVector<QStringList> &rows)
{
    beginResetModel();
    headers_ = headers;
    rows_ = rows;
    endResetModel();
}

QString TextTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= rows_.size() || column < 0 || column >= rows_[row].size())
        return {};
    return rows_[row][column];
}

int TextTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TextTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant TextTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cell(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    case Qt::FontRole:
        if (boldLastRow_ && index.row() == rows_.size() - 1) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    default:
        return {};
    }
}

QVariant TextTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= headers_.size())
        return {};
    if (role == Qt::DisplayRole)
        return headers_[section];
    if (role == Qt::TextAlignmentRole && centredHeaders_)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
}

StandTableModel::StandTableModel(QObject *parent) : TextTableModel(parent)
{
    setBoldLastRow(true);
}

void StandTableModel::setStandTable(const std::optional<StandTable> &table)
{
    QStringList headers;
    for (const char *h : kStandTableHeaders)
        headers << QString::fromUtf8(h);
    QVector<QStringList> rows;
    if (table) {
        for (size_t r = 1; r < table->rows.size(); ++r) {
            QStringList row;
            for (const std::string &c : table->rows[r])
                row << qs(c);
            rows << row;
        }
    }
    setTable(headers, rows);
}

void sizeColumns(QTableView &view, const std::vector<int> &widthsTwips)
{
    const QAbstractItemModel *model = view.model();
    if (!model)
        return;
    QFont boldFont = view.font();
    boldFont.setBold(true);
    const QFontMetrics bold(boldFont);
    const QFontMetrics header(view.horizontalHeader()->font());
    for (int c = 0; c < model->columnCount(); ++c) {
        int w = c < static_cast<int>(widthsTwips.size()) ? widthsTwips[c] / kTwipsPerPixel : 0;
        const QString head = model->headerData(c, Qt::Horizontal).toString();
        w = std::max(w, header.horizontalAdvance(head) + kCellPadding + 4);
        for (int r = 0; r < model->rowCount(); ++r) {
            const QString text = model->index(r, c).data().toString();
            // Measured in bold, the widest a cell of the table can be drawn.
            w = std::max(w, bold.horizontalAdvance(text) + kCellPadding);
        }
        view.setColumnWidth(c, w);
    }
}

int fullTableWidth(const QTableView &view, bool rowsScroll)
{
    int w = 2 * view.frameWidth();
    if (view.verticalHeader()->isVisible())
        w += view.verticalHeader()->width();
    for (int c = 0; c < view.horizontalHeader()->count(); ++c)
        w += view.columnWidth(c);
    if (rowsScroll)
        w += view.verticalScrollBar()->sizeHint().width();
    return w;
}

} // namespace tavelo
