#include "summary_screen.h"

#include "screens/shell/app_context.h"
#include "screens/shell/export.h"
#include "screens/shell/log_printer.h"
#include "session/structure/sim_record.h"
#include "screens/structure/stand_screen.h"
#include "screens/shell/stand_table_model.h"

#include <QChartView>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace tavelo {

namespace {

const QString kSummaryCaption = QStringLiteral("Características Simuladas do Povoamento");
// Rows shown without scrolling; the chart needs the rest of a 768-pixel screen.
constexpr int kVisibleSummaryRows = 9;

} // namespace

SummaryScreen::SummaryScreen(AppContext &ctx)
    : ReturningWindow(ctx, WindowId::Summary, WindowId::End)
{
    setWindowTitle(kSummaryCaption);

    // The table: the title line and one row per recorded state.
    const SummaryTable table = summaryTable(ctx.state, ctx.entries);
    lblV = new QLabel(qs(table.lblV), this);
    lblV->setObjectName(QStringLiteral("lblV"));
    QFont bold = lblV->font();
    bold.setBold(true);
    lblV->setFont(bold);

    model_ = new TextTableModel(this);
    model_->setCentredHeaders(true);
    QStringList headers;
    for (const char *h : kRecordHeaders)
        headers << QString::fromUtf8(h);
    QVector<QStringList> rows;
    for (const SummaryRow &r : table.rows) {
        QStringList row;
        for (const std::string &c : r)
            row << qs(c);
        rows << row;
    }
    model_->setTable(headers, rows);
    GrelhaTotal = ui::grid(this, "GrelhaTotal");
    GrelhaTotal->setModel(model_);
    sizeColumns(*GrelhaTotal, std::vector<int>(kSummaryWidthsTwips.begin(), kSummaryWidthsTwips.end()));
    GrelhaTotal->setFixedWidth(fullTableWidth(*GrelhaTotal, model_->rowCount() > kVisibleSummaryRows));
    ui::fitGridHeight(*GrelhaTotal, std::min(model_->rowCount(), kVisibleSummaryRows));

    // The chart: built from the table just filled. The legend names three long
    // series; 8-point type keeps it readable at a glance.
    MSChart1 = barChart(this, "MSChart1", volumeOverAge(summaryVolumes(table)),
                        {QStringLiteral("Idade (anos)"), QStringLiteral("Volume (m3/ha)"),
                         {chart_colours::kBlue, chart_colours::kGreen, chart_colours::kVermilion}, 8.0});
    MSChart1->setMinimumSize(GrelhaTotal->width(), 340);

    QHBoxLayout *buttons = resultButtons({QStringLiteral("Imprimir o gráfico"), QStringLiteral("Exportar gráfico (PNG)"),
                                          QStringLiteral("-resumo")},
                                         *model_, MSChart1, [this] { print(); });
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(lblV);
    layout->addWidget(GrelhaTotal, 0, Qt::AlignHCenter);
    layout->addWidget(MSChart1, 1);
    layout->addLayout(buttons);
}

void SummaryScreen::print()
{
    const QPixmap chart = sharpPicture(MSChart1);
    whileBusy([&] { printSummary(ctx_, this, kSummaryCaption, lblV->text(), chart); });
}

QWidget *createSummaryScreen(AppContext &ctx)
{
    auto *w = new SummaryScreen(ctx);
    makeWindow(w, ctx.windows.entrada());
    ui::placeCentred(w, ctx.windows.entrada());
    return w;
}

} // namespace tavelo
