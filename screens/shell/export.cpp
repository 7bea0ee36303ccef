#include "export.h"

#include "screens/shell/app_context.h"
#include "base/csv.h"
#include "base/whole_file.h"
#include "session/results/end_session.h"
#include "screens/shell/stand_table_model.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPixmap>

#include <filesystem>
#include <string_view>

namespace tavelo {

namespace {

// The name chosen, with the extension added when the user typed none.
QString chosenName(AppContext &ctx, QWidget *parent, const char *title, const QString &proposed, const char *filter,
                   const QString &extension)
{
    QString name = ctx.services.files->saveFileName(parent, QString::fromUtf8(title), proposed,
                                                    QString::fromUtf8(filter));
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QLatin1Char('.') + extension;
    return name;
}

// Written whole or not at all: an existing file is only replaced on success.
bool writeWhole(const QString &path, const QByteArray &bytes)
{
    return !writeWholeFile(std::filesystem::path(path.toStdString()),
                           std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
}

} // namespace

QString exportBaseName(const AppContext &ctx)
{
    const std::string base = proposedSaveName(ctx.state.logName);
    return base.empty() ? QStringLiteral("Tavelo") : QString::fromStdString(base);
}

void exportTableCsv(AppContext &ctx, QWidget *parent, const TextTableModel &table, const QString &proposedName)
{
    const QString name = chosenName(ctx, parent, kExportTableTitle, proposedName, kExportTableFilter,
                                    QStringLiteral("csv"));
    if (name.isEmpty())
        return;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> header;
    for (const QString &h : table.headers())
        header.push_back(h.toStdString());
    rows.push_back(header);
    for (int r = 0; r < table.rowCount(); ++r) {
        std::vector<std::string> row;
        for (int c = 0; c < table.columnCount(); ++c)
            row.push_back(table.cell(r, c).toStdString());
        rows.push_back(row);
    }
    if (!writeWhole(name, QByteArray::fromStdString(csvTable(rows))))
        ctx.show(parent, fileWriteError());
}

void exportPicturePng(AppContext &ctx, QWidget *parent, QWidget *picture, const QString &proposedName)
{
    const QString name = chosenName(ctx, parent, kExportChartTitle, proposedName, kExportChartFilter,
                                    QStringLiteral("png"));
    if (name.isEmpty())
        return;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QPixmap shot = picture->grab();
    if (shot.isNull() || !shot.save(&buffer, "PNG") || !writeWhole(name, bytes))
        ctx.show(parent, fileWriteError());
}

} // namespace tavelo
